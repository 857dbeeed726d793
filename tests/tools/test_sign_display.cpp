// What the virtual sign shows: recordings made by the program's own recording code, answered by
// the virtual sign's state machine, decoded into one strip per paragraph, the turn display's
// grid and the status line.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "message/effect_tags.h"
#include "message/sign_preview.h"
#include "signlink/recording_commands.h"
#include "signlink/turnero.h"
#include "signlink/turnero_digits.h"
#include "tests/signlink/sign_rig.h"
#include "tools/cartel-virtual/sign_display.h"
#include "tools/cartel-virtual/virtual_sign.h"

namespace letrador::cartel {
namespace {

namespace fs = std::filesystem;
using letrador::testing::Bytes;
using letrador::testing::SignRig;

std::string ShippedFont(const std::string& name) {
    return (fs::path(LETRADOR_BINARY_DIR) / "work" / "tipografias" / (name + ".ffv")).string();
}

// A rig whose line is answered by the virtual sign itself.
struct VirtualRig : SignRig {
    VirtualSign sign;
    VirtualRig() {
        link.setResponder([this](std::uint8_t b) {
            const auto r = sign.receive(b);
            return r ? platform::ScriptedSerialLink::Reply(r->byte)
                     : platform::ScriptedSerialLink::Silence();
        });
    }
};

OpcionesGrabacion Options(bool joined, Int16 spaceWidth) {
    OpcionesGrabacion o;
    o.textoPuerto = "3";
    o.joined = joined;
    o.spaceWidth = spaceWidth;
    return o;
}

// The bytes a whole-message recording of `parrafos` puts on the line.
Bytes RecordMessage(const std::vector<ParrafoAGrabar>& parrafos, bool joined = false,
                    Int16 spaceWidth = 3) {
    VirtualRig rig;
    EXPECT_TRUE(RecordWholeMessage(rig.grabador, parrafos, Options(joined, spaceWidth)));
    EXPECT_EQ(rig.sign.recordingsClosed(), 1);
    return rig.link.written;
}

Bytes RecordTurnDisplay(int style) {
    VirtualRig rig;
    Turnero turnero(rig.grabador);
    EXPECT_TRUE(turnero.GrabarTurnero(style, "3"));
    return rig.link.written;
}

void ExpectStripIs(const SignPreview& strip, const SignPreview& expected, const std::string& what) {
    EXPECT_EQ(strip.columns, expected.columns) << what;
    std::vector<std::pair<std::size_t, char32_t>> want, got;
    for (const PreviewMarker& m : expected.markers) {
        if (m.kind == PreviewMarker::Kind::Effect) want.emplace_back(m.column, m.code);
    }
    for (const PreviewMarker& m : strip.markers) {
        EXPECT_EQ(m.kind, PreviewMarker::Kind::Effect) << what;
        EXPECT_EQ(m.toolTip, EffectListText(m.code)) << what;
        got.emplace_back(m.column, m.code);
    }
    EXPECT_EQ(got, want) << what;
}

const std::vector<std::u32string> kTexts = {
    U"<4>HOLA MUNDO<7>",
    U"Precio: $ 1.250,99 <0>¡Oferta!<3>",
    U"",
    U"<2>ñandú<A>Sale<5><6><8><9> fin",
};

TEST(SignDisplay, RecordedMessageIsOneStripPerParagraphWithTheSentColumns) {
    for (const std::string name : {"normal", "negrita", "angosta"}) {
        const std::string font = ShippedFont(name);
        ASSERT_TRUE(fs::exists(font)) << font;
        for (Int16 space : {1, 3}) {
            std::vector<ParrafoAGrabar> parrafos;
            for (std::size_t k = 0; k < kTexts.size(); ++k)
                parrafos.push_back({kTexts[k], font, static_cast<Int16>(k % 3), false});
            const Bytes sent = RecordMessage(parrafos, false, space);

            SignDisplay display;
            display.append(sent);
            ASSERT_EQ(display.strips().size(), kTexts.size()) << name;
            EXPECT_EQ(display.stripsRecording(), 1);
            for (std::size_t k = 0; k < kTexts.size(); ++k) {
                const SignPreview expected =
                    ComputeSignPreview(kTexts[k], font, parrafos[k].Separation, space);
                ExpectStripIs(display.strips()[k], expected,
                              name + " paragraph " + std::to_string(k + 1));
            }
            EXPECT_EQ(display.state(), SignDisplay::State::Complete);
            EXPECT_EQ(display.turnStyle(), 0);
            EXPECT_FALSE(display.turnCells()[0].received);
        }
    }
}

TEST(SignDisplay, IgnoredAndJoinedParagraphs) {
    const std::string font = ShippedFont("normal");
    const std::vector<ParrafoAGrabar> parrafos = {
        {U"UNO<3>", font, 1, false}, {U"DOS", font, 1, true}, {U"TRES", font, 2, false}};
    // An ignored paragraph is not sent.
    SignDisplay separated;
    separated.append(RecordMessage(parrafos));
    ASSERT_EQ(separated.strips().size(), 2u);
    ExpectStripIs(separated.strips()[1], ComputeSignPreview(U"TRES", font, 2, 3), "TRES");
    // Joined paragraphs reach the sign as one.
    SignDisplay joined;
    joined.append(RecordMessage(parrafos, true));
    ASSERT_EQ(joined.strips().size(), 1u);
    SignPreview both = ComputeSignPreview(U"UNO<3>", font, 1, 3);
    const SignPreview tres = ComputeSignPreview(U"TRES", font, 2, 3);
    both.columns.insert(both.columns.end(), tres.columns.begin(), tres.columns.end());
    ExpectStripIs(joined.strips()[0], both, "joined");
}

TEST(SignDisplay, EffectNamingNothingAndEffectOne) {
    const std::string font = ShippedFont("normal");
    SignDisplay display;
    display.append(RecordMessage({{U"A<x>B<1>C", font, 1, false}}));
    // "<x>" goes as 00; "<1>" sends the separator byte, so the sign sees two paragraphs.
    ASSERT_EQ(display.strips().size(), 2u);
    const SignPreview& first = display.strips()[0];
    ASSERT_EQ(first.markers.size(), 1u);
    EXPECT_EQ(first.markers[0].code, U'?');
    EXPECT_EQ(first.markers[0].toolTip, TagToolTip(U'?'));
    EXPECT_EQ(first.markers[0].column, ComputeSignPreview(U"A", font, 1, 3).columns.size());
    EXPECT_EQ(first.columns, ComputeSignPreview(U"AB", font, 1, 3).columns);
    EXPECT_EQ(display.strips()[1].columns, ComputeSignPreview(U"C", font, 1, 3).columns);
}

TEST(SignDisplay, TurnDisplayFillsTheHundredCells) {
    for (int style = 1; style <= 3; ++style) {
        SignDisplay display;
        display.append(RecordTurnDisplay(style));
        EXPECT_EQ(display.turnStyle(), style);
        EXPECT_TRUE(display.strips().empty());
        EXPECT_EQ(display.state(), SignDisplay::State::Complete);
        for (int n = 0; n < kTurnNumbers; ++n) {
            Bytes expected;
            for (auto b : ColumnasDigito(n / 10, style)) expected.push_back(b);
            expected.push_back(0x80);
            for (auto b : ColumnasDigito(n % 10, style)) expected.push_back(b);
            const TurnCell& cell = display.turnCells()[static_cast<std::size_t>(n)];
            EXPECT_TRUE(cell.received) << n;
            EXPECT_TRUE(cell.complete) << n;
            EXPECT_EQ(cell.columns, expected) << "style " << style << " number " << n;
        }
    }
}

TEST(SignDisplay, StatusAtEachStage) {
    const std::string font = ShippedFont("normal");
    const Bytes sent = RecordMessage({{U"HOLA", font, 1, false}, {U"<3>CHAU", font, 1, false}});
    SignDisplay display;
    EXPECT_EQ(display.state(), SignDisplay::State::Waiting);
    EXPECT_EQ(display.statusText(), "Esperando...");
    EXPECT_TRUE(display.strips().empty());

    display.append(std::span(sent).first(4));  // the opening
    EXPECT_EQ(display.statusText(), "Recibiendo: 4 bytes");
    EXPECT_TRUE(display.strips().empty());

    display.append(std::span(sent).subspan(4, 6));
    EXPECT_EQ(display.statusText(), "Recibiendo: 10 bytes");
    ASSERT_EQ(display.strips().size(), 1u);
    EXPECT_EQ(display.strips()[0].columns, Bytes(sent.begin() + 4, sent.begin() + 10));

    // Everything but the last byte of the closing.
    display.append(std::span(sent).subspan(10, sent.size() - 11));
    EXPECT_EQ(display.statusText(), "Recibiendo: " + std::to_string(sent.size() - 1) + " bytes");
    display.append(std::span(sent).last(1));
    EXPECT_EQ(display.state(), SignDisplay::State::Complete);
    EXPECT_EQ(display.statusText(), "Grabación completa");
    ASSERT_EQ(display.strips().size(), 2u);

    // The next recording: the old message stays until the new text begins.
    const Bytes next = RecordMessage({{U"OTRO", font, 0, false}});
    display.append(std::span(next).first(4));
    EXPECT_EQ(display.statusText(),
              "Recibiendo: " + std::to_string(sent.size() + 4) + " bytes");
    EXPECT_EQ(display.strips().size(), 2u);
    EXPECT_EQ(display.stripsRecording(), 1);
    display.append(std::span(next).subspan(4));
    EXPECT_EQ(display.statusText(), "Grabación completa");
    ASSERT_EQ(display.strips().size(), 1u);
    EXPECT_EQ(display.stripsRecording(), 2);
    EXPECT_EQ(display.strips()[0].columns, ComputeSignPreview(U"OTRO", font, 0, 3).columns);
}

TEST(SignDisplay, MessageAndTurnDisplayAreShownSideBySide) {
    const std::string font = ShippedFont("normal");
    SignDisplay display;
    display.append(RecordMessage({{U"HOLA", font, 1, false}}));
    display.append(RecordTurnDisplay(2));
    EXPECT_EQ(display.strips().size(), 1u);
    EXPECT_EQ(display.stripsRecording(), 1);
    EXPECT_EQ(display.turnStyle(), 2);
    EXPECT_TRUE(display.turnCells()[99].complete);
}

TEST(SignDisplay, FedPieceByPieceItDecodesLikeTheWholeStream) {
    const std::string font = ShippedFont("angosta");
    Bytes stream = {0x7F, 0xC5};  // stray bytes first
    // An abandoned recording, a complete one, a retried opening, a turn display cut short.
    const Bytes a = RecordMessage({{U"ABANDONADO", font, 1, false}});
    stream.insert(stream.end(), a.begin(), a.begin() + 30);
    const Bytes b = RecordMessage({{U"<4>UNO", font, 1, false}, {U"DOS<A>", font, 2, false}});
    stream.insert(stream.end(), b.begin(), b.end());
    stream.insert(stream.end(), {0x55, 0xC3, 0xC3});
    const Bytes c = RecordTurnDisplay(3);
    stream.insert(stream.end(), c.begin(), c.begin() + 400);

    // One byte at a time, checked at every step.
    SignDisplay one;
    for (std::size_t i = 0; i < stream.size(); ++i) {
        one.append(std::span(stream).subspan(i, 1));
        ASSERT_EQ(one.record(), DecodeStream(std::span(stream).first(i + 1))) << "byte " << i;
    }
    // Pieces of random sizes.
    std::mt19937 random(7);
    SignDisplay pieces;
    for (std::size_t i = 0; i < stream.size();) {
        const std::size_t n = std::min<std::size_t>(random() % 40 + 1, stream.size() - i);
        pieces.append(std::span(stream).subspan(i, n));
        i += n;
        ASSERT_EQ(pieces.record(), DecodeStream(std::span(stream).first(i)));
    }
    const SignRecord whole = DecodeStream(stream);
    EXPECT_EQ(whole.recordings.size(), 3u);
    EXPECT_EQ(pieces.strips().size(), 2u);
    EXPECT_EQ(pieces.stripsRecording(), 2);
    EXPECT_EQ(pieces.turnStyle(), 3);
    EXPECT_TRUE(pieces.turnCells()[29].complete);
    EXPECT_FALSE(pieces.turnCells()[31].received);
}

}  // namespace
}  // namespace letrador::cartel
