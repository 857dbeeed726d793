// Whole-message and current-paragraph recordings, from the opening to the closing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "signlink/recording_commands.h"
#include "tests/signlink/sign_rig.h"
#include "tests/support/sample_font.h"

namespace letrador::testing {
namespace {

using platform::ScriptedSerialLink;
using Lines = std::vector<std::string>;

class RecordingCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        font = (scratch.path() / "f.ffv").string();
        WriteFont(font, {{"A", {0x7E, 0x09, 0x09, 0x7E}}, {"I", {0x7F}}});
        opciones.textoPuerto = "3";
    }
    ParrafoAGrabar paragraph(std::u32string text, Int16 sep = 1, bool ignore = false) {
        return {std::move(text), font, sep, ignore};
    }
    ScratchFolder scratch;
    std::string font;
    OpcionesGrabacion opciones;
    SignRig rig;
};

TEST_F(RecordingCommandsTest, CleanTwoParagraphRecordingLeavesTheNineLineLog) {
    EXPECT_TRUE(RecordWholeMessage(rig.grabador, {paragraph(U"AI"), paragraph(U"I")}, opciones));
    EXPECT_EQ(rig.view.log().text(),
              "Usando puerto COM 3.\r\n"
              "Reconociendo dispositivo...\r\n"
              "Cartel electrónico compatible.\r\n"
              "Comenzando grabación...\r\n"
              "Grabando párrafo 1 de 2... OK.\r\n"
              "Grabando párrafo 2 de 2... OK.\r\n"
              "Finalizando grabación...\r\n"
              "La grabación se realizó sin errores.\r\n"
              "Grabación finalizada.");
    EXPECT_EQ(
        rig.view.progressHistory(),
        (Lines{"Reconociendo dispositivo...", "Comenzando grabación...", "Grabando: 50% completado",
               "Grabando: 100% completado", "Grabando: 100% completado", "Finalizando grabación...",
               "Grabación finalizada."}));
    EXPECT_FALSE(rig.link.isOpen());
    EXPECT_TRUE(rig.view.closeButtonShown);
}

TEST_F(RecordingCommandsTest, SeparatorFollowsEveryParagraphWhenNotJoined) {
    RecordWholeMessage(rig.grabador, {paragraph(U"I", 0), paragraph(U"A", 0)}, opciones);
    EXPECT_EQ(rig.writtenAfter(kCleanOpening.size()),
              Bytes({0x7F, 0xC9, 0x7E, 0x09, 0x09, 0x7E, 0xC9, 0xC9, 0xD2, 0xC5}));
}

TEST_F(RecordingCommandsTest, NoSeparatorWhenJoined) {
    opciones.joined = true;
    RecordWholeMessage(rig.grabador, {paragraph(U"I", 0), paragraph(U"A", 0)}, opciones);
    EXPECT_EQ(rig.writtenAfter(kCleanOpening.size()),
              Bytes({0x7F, 0x7E, 0x09, 0x09, 0x7E, 0xC9, 0xD2, 0xC5}));
}

TEST_F(RecordingCommandsTest, IgnoredParagraphsKeepTheirNumbersAndSendNothing) {
    RecordWholeMessage(
        rig.grabador, {paragraph(U"I", 0), paragraph(U"A", 0, true), paragraph(U"I", 0)}, opciones);
    const Lines lines = rig.view.lines();
    EXPECT_EQ(lines[4], "Grabando párrafo 1 de 3... OK.");
    EXPECT_EQ(lines[5], "Grabando párrafo 3 de 3... OK.");
    EXPECT_EQ(lines[6], "Finalizando grabación...");
    EXPECT_EQ(rig.writtenAfter(kCleanOpening.size()),
              Bytes({0x7F, 0xC9, 0x7F, 0xC9, 0xC9, 0xD2, 0xC5}));
}

TEST_F(RecordingCommandsTest, EveryParagraphIgnoredStillOpensAndClosesCleanly) {
    RecordWholeMessage(rig.grabador, {paragraph(U"I", 0, true)}, opciones);
    EXPECT_EQ(rig.view.lines(),
              (Lines{"Usando puerto COM 3.", "Reconociendo dispositivo...",
                     "Cartel electrónico compatible.", "Comenzando grabación...",
                     "Finalizando grabación...", "La grabación se realizó sin errores.",
                     "Grabación finalizada."}));
    EXPECT_EQ(rig.writtenAfter(kCleanOpening.size()), kCleanClosing);
}

TEST_F(RecordingCommandsTest, TimeOutMidParagraphStopsTheRecording) {
    // Opening, then «A» answers its first two columns and falls silent.
    rig.link.queueReplies({0xC4, 0x5A, 0xC4, 0xC4, 0x7E, 0x09});
    rig.link.queue(ScriptedSerialLink::Silence());
    EXPECT_FALSE(RecordWholeMessage(rig.grabador, {paragraph(U"AI"), paragraph(U"I")}, opciones));
    EXPECT_EQ(rig.writtenAfter(kCleanOpening.size()), Bytes({0x7E, 0x09, 0x09}));
    const Lines lines = rig.view.lines();
    EXPECT_EQ(Lines(lines.begin() + 4, lines.end()),
              (Lines{"Grabando párrafo 1 de 2...", "Error de Timeout.",
                     "Error: caracter 1 (A) no se grabó correctamente.",
                     "Hubo errores en la grabación.", "Grabación finalizada."}));
}

TEST_F(RecordingCommandsTest, UnansweredSeparatorStopsTheRecording) {
    rig.link.queueReplies({0xC4, 0x5A, 0xC4, 0xC4, 0x7F});
    rig.link.queue(ScriptedSerialLink::Silence());
    EXPECT_FALSE(
        RecordWholeMessage(rig.grabador, {paragraph(U"I", 0), paragraph(U"I", 0)}, opciones));
    EXPECT_EQ(rig.writtenAfter(kCleanOpening.size()), Bytes({0x7F, 0xC9}));
    EXPECT_EQ(rig.view.lines()[4], "Grabando párrafo 1 de 2...");
    EXPECT_EQ(rig.view.lines()[5], "Error de Timeout.");
    EXPECT_EQ(rig.view.lines()[6], "Hubo errores en la grabación.");
}

TEST_F(RecordingCommandsTest, EchoErrorRemovesOnlyThatParagraphsOkMark) {
    rig.link.queueReplies({0xC4, 0x5A, 0xC4, 0xC4, 0x70});
    RecordWholeMessage(rig.grabador, {paragraph(U"I", 0), paragraph(U"I", 0)}, opciones);
    const Lines lines = rig.view.lines();
    EXPECT_EQ(lines[4], "Grabando párrafo 1 de 2...");
    EXPECT_EQ(lines[5], "Error de comparación. E: 127 R: 112");
    EXPECT_EQ(lines[6], "Grabando párrafo 2 de 2... OK.");
    EXPECT_EQ(lines[8], "Hubo errores en la grabación.");
}

TEST_F(RecordingCommandsTest, OkMarkLandsOnAnErrorLineThatDidNotStopTheParagraph) {
    // A blank whose first column times out, followed by good ones.
    rig.link.queueReplies({0xC4, 0x5A, 0xC4, 0xC4});
    rig.link.queue(ScriptedSerialLink::Silence());
    opciones.joined = true;
    RecordWholeMessage(rig.grabador, {paragraph(U" I", 0)}, opciones);
    EXPECT_EQ(rig.view.lines()[6], "Error: caracter 1 ( ) no se grabó correctamente. OK.");
}

TEST_F(RecordingCommandsTest, FailedOpeningGoesStraightToTheClosing) {
    rig.link.setResponder([](std::uint8_t) { return ScriptedSerialLink::Silence(); });
    EXPECT_FALSE(RecordWholeMessage(rig.grabador, {paragraph(U"I")}, opciones));
    const Lines lines = rig.view.lines();
    EXPECT_EQ(Lines(lines.end() - 3, lines.end()),
              (Lines{"Error: reintentos superados.", "Hubo errores en la grabación.",
                     "Grabación finalizada."}));
    EXPECT_EQ(rig.link.written, Bytes({0xC3, 0xC3, 0xC3}));
}

TEST_F(RecordingCommandsTest, WholeMessageClearsAnEarlierRecordingsErrors) {
    rig.puerto.ErrorGrabacion = true;
    rig.puerto.ErrorParrafo = true;
    RecordWholeMessage(rig.grabador, {paragraph(U"I")}, opciones);
    EXPECT_EQ(rig.view.lines()[4], "Grabando párrafo 1 de 1... OK.");
    EXPECT_EQ(rig.view.lines()[6], "La grabación se realizó sin errores.");
}

TEST_F(RecordingCommandsTest, SelectionIsRecordedAloneWithoutOkMarkOrSeparator) {
    RecordCurrentParagraph(rig.grabador, U"IAI", U"AI", font, 1, opciones);
    EXPECT_EQ(rig.view.lines()[4], "Grabando selección: AI");
    EXPECT_EQ(rig.view.lines()[5], "Finalizando grabación...");
    EXPECT_EQ(rig.writtenAfter(kCleanOpening.size()),
              Bytes({0x7E, 0x09, 0x09, 0x7E, 0x80, 0x7F, 0x80, 0xC9, 0xD2, 0xC5}));
}

TEST_F(RecordingCommandsTest, SelectionTextIsLoggedInUtf8) {
    RecordCurrentParagraph(rig.grabador, U"año", U"ñ", font, 1, opciones);
    EXPECT_EQ(rig.view.lines()[4], "Grabando selección: ñ");
}

TEST_F(RecordingCommandsTest, CurrentParagraphGetsItsOkMark) {
    RecordCurrentParagraph(rig.grabador, U"IA", U"", font, 0, opciones);
    EXPECT_EQ(rig.view.lines()[4], "Grabando párrafo actual...OK");
    EXPECT_EQ(rig.writtenAfter(kCleanOpening.size()),
              Bytes({0x7F, 0x7E, 0x09, 0x09, 0x7E, 0xC9, 0xD2, 0xC5}));
}

TEST_F(RecordingCommandsTest, CurrentParagraphAfterAnEarlierFaultyRecordingIsClean) {
    rig.puerto.ErrorGrabacion = true;
    rig.puerto.ErrorParrafo = true;
    RecordCurrentParagraph(rig.grabador, U"I", U"", font, 0, opciones);
    EXPECT_EQ(rig.view.lines()[4], "Grabando párrafo actual...OK");
    EXPECT_EQ(rig.view.lines()[6], "La grabación se realizó sin errores.");
}

TEST_F(RecordingCommandsTest, CurrentParagraphWithAnEchoErrorHasNoOkMark) {
    rig.link.queueReplies({0xC4, 0x5A, 0xC4, 0xC4, 0x00});
    RecordCurrentParagraph(rig.grabador, U"I", U"", font, 0, opciones);
    EXPECT_EQ(rig.view.lines()[4], "Grabando párrafo actual...");
    EXPECT_EQ(rig.view.lines()[5], "Error de comparación. E: 127 R: 0");
    EXPECT_EQ(rig.view.lines()[7], "Hubo errores en la grabación.");
}

}  // namespace
}  // namespace letrador::testing
