// The turn display: digit styles, entries on the wire, the question, opening, time-outs and the
// verdict.
#include <gtest/gtest.h>

#include "platform/scripted_dialogs.h"
#include "signlink/recording_commands.h"
#include "signlink/turnero.h"
#include "signlink/turnero_digits.h"
#include "tests/signlink/sign_rig.h"

namespace letrador::testing {
namespace {

using Lines = std::vector<std::string>;

Bytes Digit(int d, int style) {
    auto cols = ColumnasDigito(d, style);
    return Bytes(cols.begin(), cols.end());
}

TEST(TurneroDigits, EveryStyleHasItsWidthAndSevenDotsWithoutAZeroByte) {
    const int widths[] = {6, 4, 5};
    for (int style = 1; style <= 3; ++style) {
        EXPECT_EQ(AnchoDigito(style), widths[style - 1]);
        for (int d = 0; d <= 9; ++d) {
            SCOPED_TRACE("style " + std::to_string(style) + " digit " + std::to_string(d));
            const Bytes cols = Digit(d, style);
            ASSERT_EQ(cols.size(), static_cast<std::size_t>(widths[style - 1]));
            for (auto b : cols) EXPECT_TRUE(b != 0 && (b == 0x80 || b < 0x80)) << int(b);
        }
    }
    EXPECT_TRUE(ColumnasDigito(10, 1).empty());
    EXPECT_TRUE(ColumnasDigito(-1, 1).empty());
    EXPECT_TRUE(ColumnasDigito(0, 4).empty());
    EXPECT_EQ(AnchoDigito(0), 0);
}

TEST(TurneroDigits, Cells) {
    const struct {
        int digit, style;
        Bytes cols;
    } cases[] = {
        {0, 1, {0x3E, 0x7F, 0x63, 0x63, 0x7F, 0x3E}}, {1, 1, {0x80, 0x04, 0x46, 0x7F, 0x7F, 0x40}},
        {7, 1, {0x03, 0x03, 0x71, 0x79, 0x0F, 0x07}}, {1, 2, {0x80, 0x80, 0x80, 0x7F}},
        {6, 2, {0x7F, 0x48, 0x48, 0x78}},             {7, 2, {0x01, 0x01, 0x01, 0x7F}},
        {9, 2, {0x0F, 0x09, 0x09, 0x7F}},             {2, 3, {0x80, 0x62, 0x51, 0x49, 0x46}},
        {4, 3, {0x0F, 0x08, 0x08, 0x08, 0x7E}},       {5, 3, {0x27, 0x49, 0x49, 0x49, 0x31}},
        {9, 3, {0x26, 0x49, 0x49, 0x49, 0x3E}},
    };
    for (const auto& c : cases) EXPECT_EQ(Digit(c.digit, c.style), c.cols) << c.digit << "/" << c.style;
}

TEST(Turnero, EveryStyleSendsTheHundredEntriesInOrderThenTheClosing) {
    for (auto [style, bytes] : {std::pair{1, 1500}, {2, 1100}, {3, 1300}}) {
        SCOPED_TRACE(style);
        SignRig rig;
        EXPECT_TRUE(Turnero(rig.grabador).GrabarTurnero(style, "3"));
        const Bytes& all = rig.link.written;
        ASSERT_EQ(all.size(), kCleanOpening.size() + bytes + kCleanClosing.size());
        EXPECT_EQ(Bytes(all.begin(), all.begin() + 4), kCleanOpening);
        EXPECT_EQ(Bytes(all.end() - 3, all.end()), kCleanClosing);
        const int entry = bytes / 100;
        for (int n : {0, 9, 10, 17, 42, 99}) {
            Bytes expected = Digit(n / 10, style);
            expected.push_back(0x80);
            const Bytes u = Digit(n % 10, style);
            expected.insert(expected.end(), u.begin(), u.end());
            expected.insert(expected.end(), {0xD0, 0xC9});
            const auto at = all.begin() + 4 + n * entry;
            EXPECT_EQ(Bytes(at, at + entry), expected) << "entry " << n;
        }
        const auto labels = rig.percentLabels();
        ASSERT_EQ(labels.size(), 100u);
        EXPECT_EQ(labels.front(), "Grabando: 00% completado.");
        EXPECT_EQ(labels[41], "Grabando: 41% completado.");
        EXPECT_EQ(labels.back(), "Grabando: 99% completado.");
        EXPECT_EQ(rig.view.log().text(),
                  "Usando puerto COM 3.\r\nReconociendo modelo de cartel...\r\n"
                  "Cartel electrónico compatible.\r\nComenzando grabación...\r\n"
                  "Finalizando grabación...\r\nLa grabación se realizó sin errores.\r\n"
                  "Grabación finalizada.");
    }
}

TEST(Turnero, TheQuestionAndItsAnswer) {
    for (bool yes : {false, true}) {
        platform::ScriptedDialogs dialogs;
        dialogs.answerNext(yes);
        EXPECT_EQ(ConfirmarTurnero(dialogs), yes);
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_TRUE(dialogs.shown[0].isQuestion);
        EXPECT_EQ(dialogs.shown[0].title, "Grabación de turnero");
        EXPECT_EQ(dialogs.shown[0].text,
                  "Se está por hacer una grabación de turnero.\r\nDesea continuar?");
    }
}

TEST(Turnero, TimeOutsInsideTheEntries) {
    const struct {
        const char* name;
        std::size_t silentAt;  // 1-based byte left unanswered, in style 1
        bool ok;
        std::size_t written;
        std::string lastLabel;
    } cases[] = {
        {"the D0 of entry 42", 4 + 42 * 15 + 14, false, 4 + 42 * 15 + 14, "41%"},
        {"the last column of a digit", 4 + 42 * 15 + 6, false, 4 + 42 * 15 + 6, "41%"},
        // Only a digit's last column decides; the verdict looks at the closing and echo errors.
        {"an inner column of a digit", 4 + 42 * 15 + 3, true, 4 + 1500 + 3, "99%"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SignRig rig;
        rig.link.setResponder([&rig, at = c.silentAt, sign = CompatibleSign()](std::uint8_t b) mutable {
            return rig.link.written.size() == at ? kMute : sign(b);
        });
        EXPECT_EQ(Turnero(rig.grabador).GrabarTurnero(1, "3"), c.ok);
        EXPECT_EQ(rig.link.written.size(), c.written);
        EXPECT_EQ(rig.percentLabels().back(), "Grabando: " + c.lastLabel + " completado.");
        Lines lines = {"Usando puerto COM 3.", "Reconociendo modelo de cartel...",
                       "Cartel electrónico compatible.", "Comenzando grabación...",
                       "Error de Timeout."};
        if (c.ok) lines.insert(lines.end(), {"Finalizando grabación...", "La grabación se realizó sin errores."});
        else lines.push_back("Hubo errores en la grabación.");
        lines.push_back("Grabación finalizada.");
        EXPECT_EQ(rig.view.lines(), lines);
    }
}

TEST(Turnero, EchoErrorGoesOnAndSpoilsTheVerdictButAStaleOneDoesNot) {
    SignRig rig;
    rig.puerto.ErrorGrabacion = true;
    rig.script({Ans(0xC4), Ans(0x5A), Ans(0xC4), Ans(0xC4), Ans(0)});
    EXPECT_TRUE(Turnero(rig.grabador).GrabarTurnero(2, "3"));
    EXPECT_EQ(rig.link.written.size(), 4u + 1100 + 3);
    Lines lines = rig.view.lines();
    EXPECT_EQ(lines[4], "Error de comparación. E: 127 R: 0");
    EXPECT_EQ(lines[lines.size() - 2], "Hubo errores en la grabación.");
    EXPECT_TRUE(Turnero(rig.grabador).GrabarTurnero(2, "3"));
    lines = rig.view.lines();
    EXPECT_EQ(lines[lines.size() - 2], "La grabación se realizó sin errores.");
}

TEST(Turnero, FailedOpeningsMakeOneAttemptOnly) {
    const struct {
        const char* name;
        std::vector<Step> steps;
        bool silent;
        Bytes written;
        Lines lines;  // after "Usando puerto COM 3." and "Reconociendo modelo de cartel..."
        bool noDevice = false;
    } cases[] = {
        {"silent", {}, true, {0xC3}, {"Error de Timeout."}},
        {"wrong attention reply", {Ans(0)}, false, {0xC3}, {}},
        {"wrong model", {Ans(0xC4), Ans(0x11)}, false, {0xC3, 0x01},
         {"El modelo de cartel no coincide."}},
        {"not ready to start", {Ans(0xC4), Ans(0x5A), Ans(0xC4), Ans(0x03)}, false, kCleanOpening,
         {"Cartel electrónico compatible.", "Comenzando grabación..."}},
        {"port that does not open", {}, false, {},
         {"No se pudo abrir el puerto COM 3: el dispositivo no existe"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SignRig rig;
        rig.script(c.steps);
        if (c.silent) rig.link.setResponder([](std::uint8_t) { return kMute; });
        if (c.noDevice) rig.link.setOpenablePorts({});
        EXPECT_FALSE(Turnero(rig.grabador).GrabarTurnero(1, "3"));
        EXPECT_EQ(rig.link.written, c.written);
        Lines lines = {"Usando puerto COM 3.", "Reconociendo modelo de cartel..."};
        lines.insert(lines.end(), c.lines.begin(), c.lines.end());
        lines.insert(lines.end(), {"Hubo errores en la grabación.", "Grabación finalizada."});
        EXPECT_EQ(rig.view.lines(), lines);
        EXPECT_EQ(rig.view.progressHistory().front(), "Reconociendo dispositivo...");
        // Ten ticks of waiting and the one-tick pause; no pause after opening the port.
        if (c.silent) { EXPECT_EQ(rig.ticker.now(), 11); }
    }
}

}  // namespace
}  // namespace letrador::testing
