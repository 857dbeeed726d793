// cartel-virtual: its answers and faults, the listing of what it received, what it shows of the
// program's own recordings (display and window), and --ventana with a display and without one.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QTimer>
#include <functional>
#include <tuple>

#include "app/led_preview.h"
#include "message/effect_tags.h"
#include "message/sign_preview.h"
#include "signlink/recording_commands.h"
#include "signlink/turnero.h"
#include "signlink/turnero_digits.h"
#include "tests/signlink/sign_rig.h"
#include "tests/support/virtual_sign_process.h"
#include "tools/cartel-virtual/sign_display.h"
#include "tools/cartel-virtual/sign_window.h"
#include "tools/cartel-virtual/virtual_sign.h"

namespace letrador::cartel {
namespace {

namespace fs = std::filesystem;
using letrador::testing::Bytes;
using Replies = std::vector<int>;  // -1: no reply
using Texts = std::vector<std::string>;

const Bytes kOpening = {0xC3, 0x01, 0xC3, 0x02};
const Bytes kClosing = {0xC9, 0xD2, 0xC5};

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// The columns of turn number `n`: tens, a blank, units.
Bytes TurnColumns(int n, int style) {
    const auto tens = ColumnasDigito(n / 10, style), units = ColumnasDigito(n % 10, style);
    return Cat({Bytes(tens.begin(), tens.end()), {0x80}, Bytes(units.begin(), units.end())});
}

// Turn entries `from` to `to` - 1, each ended with D0 C9.
Bytes TurnBody(int style, int from = 0, int to = 100) {
    Bytes out;
    for (int n = from; n < to; ++n) out = Cat({out, TurnColumns(n, style), {0xD0, 0xC9}});
    return out;
}

using F = Faults&;
Faults With(void (*set)(F)) {
    Faults f;
    return set(f), f;
}

Replies Answer(VirtualSign& sign, const Bytes& in, long long nowMs = 0) {
    Replies out;
    for (std::uint8_t b : in) {
        const auto r = sign.receive(b, nowMs);
        out.push_back(r ? r->byte : -1);
    }
    return out;
}

TEST(VirtualSign, AnswersAndFaults) {
    using S = VirtualSign::State;
    struct Row {
        Faults faults;
        Bytes in;
        Replies replies;
        S state;
    };
    const Bytes text = {0x7E, 0xC3, 0x01, 0x02, 0xC5, 0x80, 0xD0, 0xC9, 0xD2, 0x00};
    const Bytes opened = {0xC4, 0x5A, 0xC4, 0xC4}, in = {0xC3, 0x01, 0xC3, 0x02, 0x7F};
    auto ints = [](const Bytes& b) { return Replies(b.begin(), b.end()); };
    // clang-format off
    const Row rows[] = {
        // A recording echoes every text byte; only C9 D2 C5 ends it.
        {{}, Cat({kOpening, text, kClosing}), ints(Cat({opened, text, {0xC9, 0xD2, 0xC4}})),
         S::Idle},
        // The model query and the start count only right after an attention.
        {{}, {0x01, 0x02, 0xC5, 0xC3, 0x7F, 0x02}, {0x01, 0x02, 0xC4, 0xC4, 0x7F, 0x02}, S::Idle},
        {{}, {0xC3, 0xC3, 0x02}, {0xC4, 0xC4, 0xC4}, S::Recording},
        // Faults change the reply only: the state moves on as usual.
        {With([](F f) { f.silentFrom = 2; }), in, {0xC4, 0x5A, -1, -1, -1}, S::Recording},
        {With([](F f) { f.silentAt = {1, 3}; }), in, {0xC4, -1, 0xC4, -1, 0x7F}, S::Recording},
        {With([](F f) { f.wrongReply = {{1, std::nullopt}, {4, 0x33}}; }), in,
         {0xC4, 0x5B, 0xC4, 0xC4, 0x33}, S::Recording},
        {With([](F f) { f.model = kOtroModelo; }), {0xC3, 0x01}, {0xC4, 0x5B}, S::Idle},
        {With([](F f) { f.refuseStart = true; }), in, {0xC4, 0x5A, 0xC4, kRechazoInicio, 0x7F},
         S::Idle},
    };
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(&r - rows);
        VirtualSign sign(r.faults);
        EXPECT_EQ(Answer(sign, r.in), r.replies);
        EXPECT_EQ(sign.state(), r.state);
        EXPECT_EQ(sign.recordingsClosed(), &r == rows ? 1 : 0);
        EXPECT_EQ(sign.lastEndedRecording(), &r == rows);
        EXPECT_EQ(sign.received(), static_cast<long long>(r.in.size()));
    }
    // A recording the host abandoned ends after a quiet spell longer than a time-out.
    VirtualSign quiet;
    Answer(quiet, Cat({kOpening, {0x7E}}), 0);
    EXPECT_EQ(Answer(quiet, {0xC3}, 1000), Replies{0xC3});
    EXPECT_EQ(Answer(quiet, kOpening, 1000 + kReposoMs), ints(opened));
}

// Every session the bytes show, as the listing of --registro names it, and read back.
TEST(SignDecoder, TheListingNamesEverySessionAndReadsBack) {
    // clang-format off
    const Bytes stream = Cat({
        {0x55},                                // a stray byte
        {0xC3, 0xC3, 0xC3, 0xC3, 0x01},        // a silent line, then another model: one session
        {0xC3, 0x01, 0xC3, 0x02, 0x7F, 0x09},  // a recording cut by a time-out
        kOpening, {0xCA, 0x7E, 0x09, 0x80, 0xC9, 0xC9, 0xD1, 0xC8, 0x00, 0x7F, 0xC9},  // effects
        {0xC9, 0x7F, 0x80, 0xCF, 0x7F, 0xD0, 0xC9},  // an empty paragraph, joined ones, no turn
        kClosing, {0x44},
        {0xC3, 0x01, 0xC3},                    // a second recognition opens a new session
        kOpening, TurnBody(3, 0, 2), {0x3E, 0x41}});
    // clang-format on
    const std::string listing =
        "cartel-virtual registro 1\nrecibidos 73\najenos 2\n"
        "grabacion 1 desde 1 atenciones 4 modelo si comienzo no cierre no otros 0\n"
        "grabacion 2 desde 6 atenciones 2 modelo si comienzo si cierre no otros 0\n"
        "mensaje\nparrafo 7F 09\n"
        "grabacion 3 desde 12 atenciones 2 modelo si comienzo si cierre si otros 0\n"
        "mensaje\nparrafo <4> 7E 09 80 separador\nparrafo <A> <3> <?> 7F separador\n"
        "parrafo separador\nparrafo 7F 80 <9> 7F D0 separador\n"
        "grabacion 4 desde 38 atenciones 1 modelo si comienzo no cierre no otros 0\n"
        "grabacion 5 desde 40 atenciones 3 modelo si comienzo si cierre no otros 0\n"
        "turnero 3\nentrada 00 3E 41 41 41 3E 80 3E 41 41 41 3E\n"
        "entrada 01 3E 41 41 41 3E 80 80 80 04 02 7F\nentrada -- 3E 41 incompleta\nfin\n";
    EXPECT_EQ(FormatListing(DecodeStream(stream)), listing);
    for (const Bytes& s : {stream, Cat({kOpening, TurnBody(2), kClosing}), Bytes{}}) {
        const SignRecord rec = DecodeStream(s);
        std::string text = FormatListing(rec), crlf;
        for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        EXPECT_EQ(ParseListing(text), rec) << text;
        EXPECT_EQ(ParseListing(crlf), rec);
    }
    for (const std::string& bad :
         Texts{"", "hola\n", listing.substr(0, 50), "cartel-virtual registro 1\nparrafo 7F\nfin\n"})
        EXPECT_FALSE(ParseListing(bad)) << bad;
}

std::string ShippedFont(const std::string& name) {
    return (fs::path(LETRADOR_BINARY_DIR) / "work" / "tipografias" / (name + ".ffv")).string();
}

// The bytes the program's own recording code puts on the line, answered by the virtual sign.
Bytes Recorded(const std::function<bool(Grabador&)>& record) {
    letrador::testing::SignRig rig;
    VirtualSign sign;
    rig.link.setResponder([&](std::uint8_t b) {
        const auto r = sign.receive(b);
        return r ? platform::ScriptedSerialLink::Reply(r->byte)
                 : platform::ScriptedSerialLink::Silence();
    });
    EXPECT_TRUE(record(rig.grabador));
    EXPECT_EQ(sign.recordingsClosed(), 1);
    return rig.link.written;
}

// "&Total" of `parrafos`, and "Turnero `style`".
Bytes RecordMessage(const std::vector<ParrafoAGrabar>& parrafos, bool joined = false,
                    Int16 space = 3) {
    OpcionesGrabacion o;
    o.textoPuerto = "3";
    o.joined = joined;
    o.spaceWidth = space;
    return Recorded([&](Grabador& g) { return RecordWholeMessage(g, parrafos, o); });
}
Bytes RecordTurnDisplay(int style) {
    return Recorded([=](Grabador& g) { return Turnero(g).GrabarTurnero(style, "3"); });
}

using Marks = std::vector<std::tuple<std::size_t, char32_t, std::string>>;
Marks MarksOf(const std::vector<PreviewMarker>& markers, bool effectsOnly = false) {
    Marks out;
    for (const auto& m : markers)
        if (!effectsOnly || m.kind == PreviewMarker::Kind::Effect)
            out.emplace_back(m.column, m.code, effectsOnly ? EffectListText(m.code) : m.toolTip);
    return out;
}

// A strip shows the preview's columns, with a marker and the effect's list text where each
// effect of the preview stands, and nothing else.
void ExpectStripIs(const SignPreview& strip, const SignPreview& preview) {
    EXPECT_EQ(strip.columns, preview.columns);
    EXPECT_EQ(MarksOf(strip.markers), MarksOf(preview.markers, true));
}

// Each paragraph a strip with the preview's columns and effects, for every digit separation; an
// ignored paragraph is not sent; joined paragraphs reach the sign as one; "<x>" goes as 00, an
// effect naming nothing; "<1>" sends the separator, so the sign sees two paragraphs.
TEST(SignDisplay, ARecordedMessageIsOneStripPerParagraphSent) {
    const std::string font = ShippedFont("normal");
    auto preview = [&](const std::u32string& t, Int16 separation, Int16 space = 3) {
        return ComputeSignPreview(t, font, separation, space);
    };
    const std::vector<std::u32string> texts = {U"<4>HOLA MUNDO<7>", U"$ 1.250,99 <0>¡Oferta!<3>",
                                               U"", U"<2>ñandú<A>Sale<5><6><8><9> fin"};
    std::vector<ParrafoAGrabar> parrafos;
    for (std::size_t k = 0; k < texts.size(); ++k)
        parrafos.push_back({texts[k], font, static_cast<Int16>(k % 3), false});
    const std::vector<ParrafoAGrabar> three = {
        {U"UNO<3>", font, 1, false}, {U"DOS", font, 1, true}, {U"TRES", font, 2, false}};
    SignDisplay whole, separated, joined, tags;
    whole.append(RecordMessage(parrafos, false, 1));
    separated.append(RecordMessage(three));
    joined.append(RecordMessage(three, true));
    tags.append(RecordMessage({{U"A<x>B<1>C", font, 1, false}}));
    ASSERT_EQ(whole.strips().size(), texts.size());
    for (std::size_t k = 0; k < texts.size(); ++k)
        ExpectStripIs(whole.strips()[k], preview(texts[k], parrafos[k].Separation, 1));
    ASSERT_TRUE(separated.strips().size() == 2 && joined.strips().size() == 1);
    ExpectStripIs(separated.strips()[1], preview(U"TRES", 2));
    SignPreview both = preview(U"UNO<3>", 1);
    both.columns = Cat({both.columns, preview(U"TRES", 2).columns});
    ExpectStripIs(joined.strips()[0], both);
    ASSERT_EQ(tags.strips().size(), 2u);
    EXPECT_EQ(MarksOf(tags.strips()[0].markers),
              (Marks{{preview(U"A", 1).columns.size(), U'?', TagToolTip(U'?')}}));
    EXPECT_EQ(tags.strips()[0].columns, preview(U"AB", 1).columns);
    EXPECT_EQ(tags.strips()[1].columns, preview(U"C", 1).columns);
}

QApplication& App() {
    static int argc = 1;
    static char name[] = "test_virtual_sign";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

// Recordings fed in pieces: the display's status and strips at each stage, its decoding the
// same as the whole stream's, and the window showing what the display holds.
TEST(SignDisplay, TheDisplayAndItsWindowAtEachStage) {
    App();
    const std::string font = ShippedFont("negrita");
    const Bytes sent =
        RecordMessage({{U"HOLA", font, 1, false}, {U"<3>CHAU ¡ya!", font, 1, false}});
    const Bytes next = RecordMessage({{U"OTRO", font, 0, false}}), turn = RecordTurnDisplay(1);
    const std::size_t half = 4 + 15 * 50;
    auto receiving = [](std::size_t n) { return "Recibiendo: " + std::to_string(n) + " bytes"; };
    struct Row {
        std::span<const std::uint8_t> bytes;
        std::string status;
        std::size_t strips;
        int stripsRecording, turnStyle, turnCells;
    };
    // clang-format off
    const Row rows[] = {
        {{}, "Esperando...", 0, 0, 0, 0},
        {std::span(sent).first(4), receiving(4), 0, 0, 0, 0},  // the opening
        {std::span(sent).subspan(4, 6), receiving(10), 1, 1, 0, 0},
        {std::span(sent).subspan(10, sent.size() - 13), receiving(sent.size() - 3), 2, 1, 0, 0},
        {std::span(sent).last(3), "Grabación completa", 2, 1, 0, 0},  // the closing
        // The next message takes the old one's place with its first byte of text.
        {std::span(next).first(4), receiving(sent.size() + 4), 2, 1, 0, 0},
        {std::span(next).subspan(4), "Grabación completa", 1, 2, 0, 0},
        // A turn display fills its cells as its entries come, and leaves the message as it is.
        {std::span(turn).first(half), receiving(sent.size() + next.size() + half), 1, 2, 1, 50},
        {std::span(turn).subspan(half), "Grabación completa", 1, 2, 1, 100},
    };
    // clang-format on
    SignDisplay display;
    SignWindow window(display);
    EXPECT_EQ(window.windowTitle().toStdString(), "Cartel virtual");
    Bytes fed;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.status);
        display.append(r.bytes);
        fed.insert(fed.end(), r.bytes.begin(), r.bytes.end());
        window.refresh();
        EXPECT_EQ(display.record(), DecodeStream(fed));
        EXPECT_EQ(display.statusText(), r.status);
        EXPECT_EQ(display.stripsRecording(), r.stripsRecording);
        EXPECT_EQ(display.turnStyle(), r.turnStyle);
        EXPECT_EQ(window.statusLabel()->text().toStdString(), r.status);
        ASSERT_EQ(window.paragraphStrips().size(), r.strips);
        ASSERT_EQ(display.strips().size(), r.strips);
        for (std::size_t k = 0; k < r.strips; ++k) {
            EXPECT_EQ(window.paragraphStrips()[k]->columns(), display.strips()[k].columns);
            EXPECT_EQ(MarksOf(window.paragraphStrips()[k]->markers()),
                      MarksOf(display.strips()[k].markers));
            EXPECT_EQ(window.paragraphLabels()[k]->text().toStdString(),
                      "Párrafo " + std::to_string(k + 1));
        }
        EXPECT_EQ(window.turnGrid()->isHidden(), r.turnStyle == 0);
        EXPECT_EQ(window.turnLabel()->text().toStdString(),
                  r.turnStyle ? "Turnero (estilo 1)" : "Turnero: no se recibió ninguno");
        for (int n = 0; n < kTurnNumbers; ++n) {
            EXPECT_EQ(display.turnCells()[n],
                      (n < r.turnCells ? TurnCell{TurnColumns(n, 1), true, true} : TurnCell{}));
            EXPECT_EQ(window.turnCell(n)->columns(), display.turnCells()[n].columns);
            EXPECT_EQ(window.turnCellLabel(n)->text(), QString::asprintf("%02d", n));
        }
    }
    EXPECT_EQ(display.strips()[0].columns, ComputeSignPreview(U"OTRO", font, 0, 3).columns);
    // Bytes in a row are drawn once the event loop runs.
    for (std::uint8_t b : sent) {
        display.append(std::span(&b, 1));
        window.scheduleRefresh();
    }
    EXPECT_EQ(window.paragraphStrips().size(), 1u);
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(window.statusLabel()->text().toStdString(), "Grabación completa");
    EXPECT_EQ(window.paragraphStrips().size(), 2u);
}


// Whether the process loaded a Qt platform plugin: it made a window.
bool MadeAWindow(pid_t pid) {
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.find("platforms/libq") != std::string::npos) return true;
    return false;
}

TEST(CartelVirtualVentana, WithADisplayOrWithoutItAnswersAsTheStateMachine) {
    const Bytes message = RecordMessage({{U"<4>HOLA", ShippedFont("angosta"), 1, false}});
    struct Row {
        bool display;
        Texts args;
        Faults faults;
        Bytes sent;
        bool notice;
    };
    // clang-format off
    const Row rows[] = {
        {true, {"--ventana"}, {}, message, false},
        // The late reply comes within the wait.
        {true, {"--ventana", "--silencio-solo", "1", "--eco-erroneo", "40:0x33", "--tarde",
                "50:200"},
         With([](F f) { f.silentAt = {1}, f.lateMs = {{50, 200}}, f.wrongReply = {{40, 0x33}}; }),
         RecordTurnDisplay(2), false},
        {false, {"--ventana"}, {}, message, true},
        {false, {}, {}, message, false},
    };
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(&r - rows);
        // An empty variable names no display.
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            ::setenv(name, "", 1);
        if (r.display) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        letrador::testing::ScratchFolder work;
        letrador::testing::VirtualSignProcess sign(work.path(), 7, r.args);
        std::string why;
        ASSERT_TRUE(sign.start(&why)) << why;
        VirtualSign expected(r.faults);
        EXPECT_EQ(testing::ExchangeWithSign(sign.linkPath(), r.sent, 500), Answer(expected, r.sent));
        EXPECT_EQ(MadeAWindow(sign.pid()), r.display);
        const auto rec = sign.stop();
        EXPECT_EQ(rec.exitCode, 0);
        // Without a display nothing but the notice; with one, whatever Qt says but no notice.
        const std::string notice = "Sin pantalla: el cartel virtual sigue sin ventana.\n";
        EXPECT_EQ(rec.errors.find(notice) != std::string::npos, r.notice) << rec.errors;
        if (!r.display) {
            EXPECT_EQ(rec.errors, r.notice ? notice : "");
        }
        EXPECT_EQ(rec.bytes, r.sent);
        EXPECT_EQ(rec.decoded, DecodeStream(r.sent)) << rec.listing;
        EXPECT_FALSE(fs::exists(fs::symlink_status(sign.linkPath())));
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

}  // namespace
}  // namespace letrador::cartel
