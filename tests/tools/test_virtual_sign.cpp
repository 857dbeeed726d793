// cartel-virtual: its answers and faults, the listing of what it received, what its display and
// window show of it, and --ventana with a display and without one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTest>

#include "app/led_preview.h"
#include "signlink/turnero_digits.h"
#include "tests/support/virtual_sign_process.h"
#include "tools/cartel-virtual/sign_display.h"
#include "tools/cartel-virtual/sign_window.h"
#include "tools/cartel-virtual/virtual_sign.h"

// Faults are written naming only the fields a case sets; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace letrador::cartel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::Cat;
using Replies = std::vector<int>;  // -1: no reply
using Texts = std::vector<std::string>;

const Bytes kOpening = {0xC3, 0x01, 0xC3, 0x02}, kClosing = {0xC9, 0xD2, 0xC5};
// Two paragraphs, each ended with C9: "<4>", 7F 08 7F, a blank, the code 00 of a tag that is no
// effect, 7E; then 41, "<A>" (C9 D1), 41, "<3>".
const Bytes kMessage = {0xC3, 0x01, 0xC3, 0x02, 0xCA, 0x7F, 0x08, 0x7F, 0x80, 0x00, 0x7E, 0xC9,
                        0x41, 0xC9, 0xD1, 0x41, 0xC8, 0xC9, 0xC9, 0xD2, 0xC5};

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
Replies Answer(VirtualSign& sign, const Bytes& in, long long nowMs = 0) {
    Replies out;
    for (std::uint8_t b : in)
        if (const auto r = sign.receive(b, nowMs)) out.push_back(r->byte);
        else out.push_back(-1);
    return out;
}

TEST(VirtualSign, AnswersAndFaults) {
    using S = VirtualSign::State;
    const Bytes text = {0x7E, 0xC3, 0x01, 0x02, 0xC5, 0x80, 0xD0, 0xC9, 0xD2, 0x00};
    const Bytes opened = {0xC4, 0x5A, 0xC4, 0xC4}, in = {0xC3, 0x01, 0xC3, 0x02, 0x7F};
    auto ints = [](const Bytes& b) { return Replies(b.begin(), b.end()); };
    const std::tuple<Faults, Bytes, Replies, S> rows[] = {
        // A recording echoes every text byte; only C9 D2 C5 ends it.
        {{}, Cat({kOpening, text, kClosing}), ints(Cat({opened, text, {0xC9, 0xD2, 0xC4}})), S::Idle},
        // The model query and the start count only right after an attention.
        {{}, {0x01, 0x02, 0xC5, 0xC3, 0x7F, 0x02}, {0x01, 0x02, 0xC4, 0xC4, 0x7F, 0x02}, S::Idle},
        {{}, {0xC3, 0xC3, 0x02}, {0xC4, 0xC4, 0xC4}, S::Recording},
        // Faults change the reply only: the state moves on as usual.
        {Faults{.silentFrom = 2}, in, {0xC4, 0x5A, -1, -1, -1}, S::Recording},
        {Faults{.silentAt = {1, 3}}, in, {0xC4, -1, 0xC4, -1, 0x7F}, S::Recording},
        {Faults{.wrongReply = {{1, std::nullopt}, {4, 0x33}}}, in, {0xC4, 0x5B, 0xC4, 0xC4, 0x33}, S::Recording},
        {Faults{.model = kOtroModelo}, {0xC3, 0x01}, {0xC4, 0x5B}, S::Idle},
        {Faults{.refuseStart = true}, in, {0xC4, 0x5A, 0xC4, kRechazoInicio, 0x7F}, S::Idle},
    };
    for (const auto& [faults, bytes, replies, state] : rows) {
        const bool first = &faults == &std::get<0>(rows[0]);
        SCOPED_TRACE(::testing::PrintToString(bytes));
        VirtualSign sign(faults);
        EXPECT_EQ(Answer(sign, bytes), replies);
        EXPECT_EQ(sign.state(), state);
        EXPECT_EQ(sign.recordingsClosed(), first ? 1 : 0);
        EXPECT_EQ(sign.lastEndedRecording(), first);
        EXPECT_EQ(sign.received(), static_cast<long long>(bytes.size()));
    }
    // A recording the host abandoned ends after a quiet spell longer than a time-out.
    VirtualSign quiet;
    Answer(quiet, Cat({kOpening, {0x7E}}), 0);
    EXPECT_EQ(Answer(quiet, {0xC3}, 1000), Replies{0xC3});
    EXPECT_EQ(Answer(quiet, kOpening, 1000 + kReposoMs), ints(opened));
}

// Every session the bytes show, as the listing of --registro names it, and read back.
TEST(SignDecoder, TheListingNamesEverySessionAndReadsBack) {
    const Bytes stream = Cat({
        {0x55},                                // a stray byte
        {0xC3, 0xC3, 0xC3, 0xC3, 0x01},        // a silent line, then another model: one session
        {0xC3, 0x01, 0xC3, 0x02, 0x7F, 0x09},  // a recording cut by a time-out
        kOpening, {0xCA, 0x7E, 0x09, 0x80, 0xC9, 0xC9, 0xD1, 0xC8, 0x00, 0x7F, 0xC9},  // effects
        {0xC9, 0x7F, 0x80, 0xCF, 0x7F, 0xD0, 0xC9},  // an empty paragraph, joined ones, no turn
        kClosing, {0x44},
        {0xC3, 0x01, 0xC3},  // a second recognition opens a new session
        kOpening, TurnBody(3, 0, 2), {0x3E, 0x41}});
    const std::string listing =
        "cartel-virtual registro 1\nrecibidos 73\najenos 2\n"
        "grabacion 1 desde 1 atenciones 4 modelo si comienzo no cierre no otros 0\n"
        "grabacion 2 desde 6 atenciones 2 modelo si comienzo si cierre no otros 0\nmensaje\nparrafo 7F 09\n"
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
    for (const std::string& bad : Texts{"", "hola\n", listing.substr(0, 50), "cartel-virtual registro 1\nparrafo 7F\nfin\n"})
        EXPECT_FALSE(ParseListing(bad)) << bad;
}

using Marks = std::vector<std::tuple<std::size_t, char32_t, std::string>>;  // column, code, tool tip
Marks MarksOf(const std::vector<PreviewMarker>& markers) {
    Marks out;
    for (const auto& m : markers) out.emplace_back(m.column, m.code, m.toolTip);
    return out;
}

// Recordings fed in pieces: the display's status, strips and turn cells at each stage, its
// decoding the same as the whole stream's, and the window showing what the display holds.
TEST(SignDisplay, TheDisplayAndItsWindowAtEachStage) {
    static int argc = 1;
    static char name[] = "test_virtual_sign", *argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    const Bytes next = Cat({kOpening, {0x1C, 0xC9}, kClosing}), turn = Cat({kOpening, TurnBody(1), kClosing});
    const std::size_t half = 4 + 15 * 50, size = kMessage.size();
    auto receiving = [](std::size_t n) { return "Recibiendo: " + std::to_string(n) + " bytes"; };
    const struct {
        std::span<const std::uint8_t> bytes;
        std::string status;
        std::size_t strips;
        int stripsRecording, turnStyle, turnCells;
    } rows[] = {
        {{}, "Esperando...", 0, 0, 0, 0},
        {std::span(kMessage).first(4), receiving(4), 0, 0, 0, 0},  // the opening
        {std::span(kMessage).subspan(4, 1), receiving(5), 1, 1, 0, 0},
        {std::span(kMessage).subspan(5, size - 8), receiving(size - 3), 2, 1, 0, 0},
        {std::span(kMessage).last(3), "Grabación completa", 2, 1, 0, 0},  // the closing
        // The next message takes the old one's place with its first byte of text.
        {std::span(next).first(4), receiving(size + 4), 2, 1, 0, 0},
        {std::span(next).subspan(4), "Grabación completa", 1, 2, 0, 0},
        // A turn display fills its cells as its entries come, and leaves the message as it is.
        {std::span(turn).first(half), receiving(size + next.size() + half), 1, 2, 1, 50},
        {std::span(turn).subspan(half), "Grabación completa", 1, 2, 1, 100},
    };
    SignDisplay display;
    SignWindow window(display);
    EXPECT_EQ(window.windowTitle().toStdString(), "Cartel virtual");
    Bytes fed;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.status);
        display.append(r.bytes);
        fed.insert(fed.end(), r.bytes.begin(), r.bytes.end());
        window.refresh();
        EXPECT_EQ(display.record(), DecodeStream(fed));
        EXPECT_EQ(std::tuple(display.statusText(), display.stripsRecording(), display.turnStyle()),
                  std::tuple(r.status, r.stripsRecording, r.turnStyle));
        EXPECT_EQ(window.statusLabel()->text().toStdString(), r.status);
        ASSERT_EQ(window.paragraphStrips().size(), r.strips);
        ASSERT_EQ(display.strips().size(), r.strips);
        for (std::size_t k = 0; k < r.strips; ++k) {
            EXPECT_EQ(window.paragraphStrips()[k]->columns(), display.strips()[k].columns);
            EXPECT_EQ(MarksOf(window.paragraphStrips()[k]->markers()), MarksOf(display.strips()[k].markers));
            EXPECT_EQ(window.paragraphLabels()[k]->text().toStdString(), "Párrafo " + std::to_string(k + 1));
        }
        if (r.stripsRecording == 1 && r.strips == 2) {
            // Each strip the paragraph's columns, with a mark and its tool tip where each tag stands.
            EXPECT_EQ(display.strips()[1].columns, (Bytes{0x41, 0x41}));
            EXPECT_EQ(MarksOf(display.strips()[0].markers),
                      (Marks{{0, U'4', "4 - Barrido izq."}, {4, U'?', "<?>: no es un efecto (se graba 0)"}}));
            EXPECT_EQ(MarksOf(display.strips()[1].markers), (Marks{{1, U'A', "A - Separa Msj."}, {2, U'3', "3 - Pausa larga"}}));
        }
        EXPECT_EQ(window.turnGrid()->isHidden(), r.turnStyle == 0);
        EXPECT_EQ(window.turnLabel()->text().toStdString(),
                  r.turnStyle ? "Turnero (estilo 1)" : "Turnero: no se recibió ninguno");
        for (int n = 0; n < kTurnNumbers; ++n) {
            EXPECT_EQ(display.turnCells()[n], (n < r.turnCells ? TurnCell{TurnColumns(n, 1), true, true} : TurnCell{}));
            EXPECT_EQ(window.turnCell(n)->columns(), display.turnCells()[n].columns);
            EXPECT_EQ(window.turnCellLabel(n)->text(), QString::asprintf("%02d", n));
        }
    }
    EXPECT_EQ(display.strips()[0].columns, (Bytes{0x1C}));
    // Bytes in a row are drawn once the event loop runs.
    for (std::uint8_t b : kMessage) {
        display.append(std::span(&b, 1));
        window.scheduleRefresh();
    }
    EXPECT_EQ(window.paragraphStrips().size(), 1u);
    QTest::qWait(300);
    EXPECT_EQ(window.statusLabel()->text().toStdString(), "Grabación completa");
    EXPECT_EQ(window.paragraphStrips().size(), 2u);
    EXPECT_EQ(window.paragraphStrips()[0]->columns(), (Bytes{0x7F, 0x08, 0x7F, 0x80, 0x7E}));
}

// Whether the process loaded a Qt platform plugin: it made a window.
bool MadeAWindow(pid_t pid) {
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.find("platforms/libq") != std::string::npos) return true;
    return false;
}

TEST(CartelVirtualVentana, WithADisplayOrWithoutItAnswersAsTheStateMachine) {
    const Bytes turn = Cat({kOpening, TurnBody(2), kClosing});
    const std::tuple<bool, Texts, Faults, Bytes, bool> rows[] = {
        // with a display, its options, its faults, what is sent, the notice
        // The late reply comes within the wait.
        {true, {"--ventana", "--silencio-solo", "1", "--eco-erroneo", "40:0x33", "--tarde", "50:200"},
         Faults{.silentAt = {1}, .lateMs = {{50, 200}}, .wrongReply = {{40, 0x33}}}, turn, false},
        {false, {"--ventana"}, {}, kMessage, true},
        {false, {}, {}, kMessage, false},
    };
    const std::string notice = "Sin pantalla: el cartel virtual sigue sin ventana.\n";
    for (const auto& [display, args, faults, sent, told] : rows) {
        SCOPED_TRACE(::testing::PrintToString(args) + (display ? " display" : ""));
        // An empty variable names no display.
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) ::setenv(name, "", 1);
        if (display) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        testing::ScratchFolder work;
        testing::VirtualSignProcess sign(work.path(), 7, args);
        ASSERT_TRUE(sign.start());
        VirtualSign expected(faults);
        EXPECT_EQ(testing::ExchangeWithSign(sign.linkPath(), sent, 500), Answer(expected, sent));
        EXPECT_EQ(MadeAWindow(sign.pid()), display);
        const auto rec = sign.stop();
        EXPECT_EQ(rec.exitCode, 0);
        // Without a display nothing but the notice; with one, whatever Qt says but no notice.
        EXPECT_EQ(rec.errors.find(notice) != std::string::npos, told) << rec.errors;
        if (!display) { EXPECT_EQ(rec.errors, told ? notice : ""); }
        EXPECT_EQ(rec.bytes, sent);
        EXPECT_EQ(rec.decoded, DecodeStream(sent)) << rec.listing;
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(sign.linkPath())));
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

}  // namespace
}  // namespace letrador::cartel
