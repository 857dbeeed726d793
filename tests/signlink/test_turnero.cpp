// The turn display: digit styles, entries on the wire, opening, time-outs and the verdict.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "signlink/turnero.h"
#include "signlink/turnero_digits.h"
#include "tests/signlink/sign_rig.h"

namespace letrador::testing {
namespace {

using platform::ScriptedSerialLink;
using Lines = std::vector<std::string>;

Bytes Digit(int d, int style) {
    auto cols = ColumnasDigito(d, style);
    return Bytes(cols.begin(), cols.end());
}

TEST(TurneroDigits, EveryStyleHasItsWidthAndNoZeroByte) {
    const int widths[] = {6, 4, 5};
    for (int style = 1; style <= 3; ++style) {
        EXPECT_EQ(AnchoDigito(style), widths[style - 1]);
        for (int d = 0; d <= 9; ++d) {
            const Bytes cols = Digit(d, style);
            ASSERT_EQ(cols.size(), static_cast<std::size_t>(widths[style - 1]));
            for (auto b : cols) {
                EXPECT_NE(b, 0x00) << "style " << style << " digit " << d;
                // Seven dots high: bit 7 is set only in the dark column itself.
                if (b & 0x80) {
                    EXPECT_EQ(b, 0x80) << "style " << style << " digit " << d;
                }
            }
        }
    }
}

TEST(TurneroDigits, IrregularCellsOfTheThinStyle) {
    EXPECT_EQ(Digit(4, 3), Bytes({0x0F, 0x08, 0x08, 0x08, 0x7E}));
    EXPECT_EQ(Digit(2, 3), Bytes({0x80, 0x62, 0x51, 0x49, 0x46}));
}

TEST(TurneroDigits, SomeCellsOfEachStyle) {
    EXPECT_EQ(Digit(1, 1), Bytes({0x80, 0x04, 0x46, 0x7F, 0x7F, 0x40}));
    EXPECT_EQ(Digit(7, 1), Bytes({0x03, 0x03, 0x71, 0x79, 0x0F, 0x07}));
    EXPECT_EQ(Digit(6, 2), Bytes({0x7F, 0x48, 0x48, 0x78}));
    EXPECT_EQ(Digit(9, 2), Bytes({0x0F, 0x09, 0x09, 0x7F}));
    EXPECT_EQ(Digit(5, 3), Bytes({0x27, 0x49, 0x49, 0x49, 0x31}));
    EXPECT_EQ(Digit(9, 3), Bytes({0x26, 0x49, 0x49, 0x49, 0x3E}));
}

TEST(TurneroDigits, OutOfRangeGivesNothing) {
    EXPECT_TRUE(ColumnasDigito(10, 1).empty());
    EXPECT_TRUE(ColumnasDigito(0, 4).empty());
    EXPECT_EQ(AnchoDigito(0), 0);
}

TEST(TurneroQuestion, Texts) {
    EXPECT_EQ(kTurneroTitulo, "Grabación de turnero");
    EXPECT_EQ(kTurneroPregunta, "Se está por hacer una grabación de turnero.\r\nDesea continuar?");
}

class TurneroTest : public ::testing::Test {
  protected:
    SignRig rig;
    Turnero turnero{rig.grabador};
};

TEST_F(TurneroTest, FirstEntryInStyleOne) {
    EXPECT_TRUE(turnero.GrabarTurnero(1, "3"));
    const Bytes after = rig.writtenAfter(kCleanOpening.size());
    ASSERT_GE(after.size(), 15u);
    EXPECT_EQ(Bytes(after.begin(), after.begin() + 15),
              Bytes({0x3E, 0x7F, 0x63, 0x63, 0x7F, 0x3E, 0x80, 0x3E, 0x7F, 0x63, 0x63, 0x7F, 0x3E,
                     0xD0, 0xC9}));
    EXPECT_EQ(rig.percentLabels().front(), "Grabando: 00% completado.");
    EXPECT_EQ(rig.percentLabels().back(), "Grabando: 99% completado.");
    EXPECT_EQ(rig.percentLabels().size(), 100u);
}

TEST_F(TurneroTest, EntrySeventeenInStyleTwo) {
    turnero.GrabarTurnero(2, "3");
    const Bytes after = rig.writtenAfter(kCleanOpening.size() + 17 * 11);
    ASSERT_GE(after.size(), 11u);
    EXPECT_EQ(Bytes(after.begin(), after.begin() + 11),
              Bytes({0x80, 0x80, 0x80, 0x7F, 0x80, 0x01, 0x01, 0x01, 0x7F, 0xD0, 0xC9}));
}

class TurneroCount : public TurneroTest,
                     public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(TurneroCount, FullRunSendsAHundredEntriesThenTheClosing) {
    const auto [style, bytes] = GetParam();
    EXPECT_TRUE(turnero.GrabarTurnero(style, "3"));
    ASSERT_EQ(rig.link.written.size(), kCleanOpening.size() + bytes + kCleanClosing.size());
    EXPECT_EQ(Bytes(rig.link.written.begin(), rig.link.written.begin() + 4), kCleanOpening);
    EXPECT_EQ(Bytes(rig.link.written.end() - 3, rig.link.written.end()), kCleanClosing);
    EXPECT_EQ(rig.view.log().text(),
              "Usando puerto COM 3.\r\n"
              "Reconociendo modelo de cartel...\r\n"
              "Cartel electrónico compatible.\r\n"
              "Comenzando grabación...\r\n"
              "Finalizando grabación...\r\n"
              "La grabación se realizó sin errores.\r\n"
              "Grabación finalizada.");
}

INSTANTIATE_TEST_SUITE_P(Styles, TurneroCount,
                         ::testing::Values(std::pair{1, 1500}, std::pair{2, 1100},
                                           std::pair{3, 1300}));

TEST_F(TurneroTest, EntriesGoInOrderFromZeroToNinetyNine) {
    turnero.GrabarTurnero(3, "3");
    const Bytes all = rig.link.written;
    for (int n : {0, 9, 10, 42, 99}) {
        Bytes expected = Digit(n / 10, 3);
        expected.push_back(0x80);
        const Bytes u = Digit(n % 10, 3);
        expected.insert(expected.end(), u.begin(), u.end());
        expected.push_back(0xD0);
        expected.push_back(0xC9);
        const auto at = all.begin() + 4 + n * 13;
        EXPECT_EQ(Bytes(at, at + 13), expected) << "entry " << n;
    }
}

// A responder that leaves byte number `silentAt` (1-based) unanswered.
ScriptedSerialLink::Responder SilentAt(const ScriptedSerialLink* link, std::size_t silentAt) {
    return [link, silentAt, sign = CompatibleSign()](std::uint8_t b) mutable {
        if (link->written.size() == silentAt) return ScriptedSerialLink::Silence();
        return sign(b);
    };
}

TEST_F(TurneroTest, TimeOutAtEntryFortyTwoStopsBeforeFortyThree) {
    // The 0xD0 of entry 42 gets no answer.
    const std::size_t silentAt = 4 + 42 * 15 + 14;
    rig.link.setResponder(SilentAt(&rig.link, silentAt));
    EXPECT_FALSE(turnero.GrabarTurnero(1, "3"));
    EXPECT_EQ(rig.link.written.size(), silentAt);
    EXPECT_EQ(rig.link.written.back(), 0xD0);
    EXPECT_EQ(rig.percentLabels().back(), "Grabando: 41% completado.");
    EXPECT_EQ(rig.view.lines(), (Lines{"Usando puerto COM 3.", "Reconociendo modelo de cartel...",
                                       "Cartel electrónico compatible.", "Comenzando grabación...",
                                       "Error de Timeout.", "Hubo errores en la grabación.",
                                       "Grabación finalizada."}));
}

TEST_F(TurneroTest, TimeOutOnTheLastColumnOfADigitStops) {
    const std::size_t silentAt = 4 + 42 * 15 + 6;
    rig.link.setResponder(SilentAt(&rig.link, silentAt));
    EXPECT_FALSE(turnero.GrabarTurnero(1, "3"));
    EXPECT_EQ(rig.link.written.size(), silentAt);
    EXPECT_EQ(rig.percentLabels().back(), "Grabando: 41% completado.");
}

TEST_F(TurneroTest, TimeOutOnAnInnerColumnOfADigitDoesNotStop) {
    // Only a digit's last column decides; the verdict looks at the closing and echo errors.
    rig.link.setResponder(SilentAt(&rig.link, 4 + 42 * 15 + 3));
    EXPECT_TRUE(turnero.GrabarTurnero(1, "3"));
    EXPECT_EQ(rig.link.written.size(), 4u + 1500 + 3);
    EXPECT_EQ(rig.percentLabels().back(), "Grabando: 99% completado.");
    EXPECT_EQ(rig.view.lines()[4], "Error de Timeout.");
}

TEST_F(TurneroTest, StaleEchoErrorDoesNotSpoilACleanRun) {
    rig.puerto.ErrorGrabacion = true;
    turnero.GrabarTurnero(2, "3");
    const Lines lines = rig.view.lines();
    EXPECT_EQ(lines[lines.size() - 2], "La grabación se realizó sin errores.");
}

TEST_F(TurneroTest, EchoErrorGoesOnAndSpoilsTheVerdict) {
    rig.link.queueReplies({0xC4, 0x5A, 0xC4, 0xC4, 0x00});
    EXPECT_TRUE(turnero.GrabarTurnero(2, "3"));
    EXPECT_EQ(rig.link.written.size(), 4u + 1100 + 3);
    const Lines lines = rig.view.lines();
    EXPECT_EQ(lines[4], "Error de comparación. E: 127 R: 0");
    EXPECT_EQ(lines[lines.size() - 2], "Hubo errores en la grabación.");
}

TEST_F(TurneroTest, OpeningMakesOneAttemptOnly) {
    rig.link.setResponder([](std::uint8_t) { return ScriptedSerialLink::Silence(); });
    const long long before = rig.ticker.now();
    EXPECT_FALSE(turnero.GrabarTurnero(1, "3"));
    EXPECT_EQ(rig.link.written, Bytes({0xC3}));
    // Ten ticks of waiting and the one-tick pause; no pause after opening the port.
    EXPECT_EQ(rig.ticker.now() - before, 11);
    EXPECT_EQ(rig.view.lines(), (Lines{"Usando puerto COM 3.", "Reconociendo modelo de cartel...",
                                       "Error de Timeout.", "Hubo errores en la grabación.",
                                       "Grabación finalizada."}));
    EXPECT_EQ(rig.view.progressHistory().front(), "Reconociendo dispositivo...");
}

TEST_F(TurneroTest, WrongAttentionReplyEndsWithoutALine) {
    rig.link.queue(ScriptedSerialLink::Reply(0x00));
    EXPECT_FALSE(turnero.GrabarTurnero(1, "3"));
    EXPECT_EQ(rig.view.lines(), (Lines{"Usando puerto COM 3.", "Reconociendo modelo de cartel...",
                                       "Hubo errores en la grabación.", "Grabación finalizada."}));
}

TEST_F(TurneroTest, WrongModel) {
    rig.link.queueReplies({0xC4, 0x11});
    EXPECT_FALSE(turnero.GrabarTurnero(1, "3"));
    EXPECT_EQ(rig.link.written, Bytes({0xC3, 0x01}));
    EXPECT_EQ(rig.view.lines()[2], "El modelo de cartel no coincide.");
}

TEST_F(TurneroTest, SignNotReadyToStart) {
    rig.link.queueReplies({0xC4, 0x5A, 0xC4, 0x03});
    EXPECT_FALSE(turnero.GrabarTurnero(1, "3"));
    EXPECT_EQ(rig.link.written, kCleanOpening);
    EXPECT_EQ(rig.view.lines()[4], "Hubo errores en la grabación.");
}

TEST_F(TurneroTest, PortThatDoesNotOpen) {
    rig.link.setOpenablePorts({});
    EXPECT_FALSE(turnero.GrabarTurnero(1, "7"));
    EXPECT_TRUE(rig.link.written.empty());
    EXPECT_EQ(rig.view.lines()[2], "No se pudo abrir el puerto COM 7: el dispositivo no existe");
    EXPECT_EQ(rig.view.lines()[3], "Hubo errores en la grabación.");
}

}  // namespace
}  // namespace letrador::testing
