// Opening, paragraph sending and closing of a recording, byte by byte and line by line.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/signlink/sign_rig.h"
#include "tests/support/sample_font.h"

namespace letrador::testing {
namespace {

using platform::ScriptedSerialLink;
using Lines = std::vector<std::string>;

// «A» 7E 09 09 7E (width 4); «G» 41 00 22 (an empty column inside); «B» all dark;
// «W» with a column that does not fit in a byte; «<» 10 (so a lone "<" is visible).
std::vector<SampleGlyph> TestGlyphs() {
    return {
        {"A", {0x7E, 0x09, 0x09, 0x7E}},
        {"G", {0x41, 0x00, 0x22}},
        {"B", {}},
        {"W", {0x01, 300, 0x02}},
        {"<", {0x10}},
        {"3", {0x33}},
        {"x", {0x78, 0x78}},
    };
}

class GrabacionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        font = (scratch.path() / "prueba.ffv").string();
        WriteFont(font, TestGlyphs());
    }
    // Opens the port without any handshake, for tests of the sending alone.
    void openPort() {
        rig.link.setPort(3);
        ASSERT_TRUE(rig.link.open(nullptr));
    }
    ScratchFolder scratch;
    std::string font;
    SignRig rig;
};

// --- Opening ---

TEST_F(GrabacionTest, CleanOpeningSendsBothHandshakes) {
    EXPECT_TRUE(rig.grabador.AbrirGrabacion("3"));
    EXPECT_EQ(rig.link.written, kCleanOpening);
    EXPECT_EQ(rig.link.openedPorts, std::vector<int>({3}));
    EXPECT_EQ(rig.view.lines(),
              (Lines{"Usando puerto COM 3.", "Reconociendo dispositivo...",
                     "Cartel electrónico compatible.", "Comenzando grabación..."}));
    EXPECT_EQ(rig.view.progressHistory(),
              (Lines{"Reconociendo dispositivo...", "Comenzando grabación..."}));
    EXPECT_FALSE(rig.view.mainWindowEnabled);
    EXPECT_TRUE(rig.view.windowShown);
    EXPECT_FALSE(rig.view.closeButtonShown);
    // Two pauses of five ticks; the sign answers at once.
    EXPECT_EQ(rig.ticker.now(), 10);
}

TEST_F(GrabacionTest, OpeningEmptiesTheLogOfTheLastRecording) {
    rig.view.AgregarLog("vieja", false);
    rig.view.closeButtonShown = true;
    rig.grabador.AbrirGrabacion("3");
    EXPECT_EQ(rig.view.lines().front(), "Usando puerto COM 3.");
    EXPECT_FALSE(rig.view.closeButtonShown);
}

TEST_F(GrabacionTest, SilentLineGivesThreeTimeOutsWithRetryLines) {
    rig.link.setResponder([](std::uint8_t) { return ScriptedSerialLink::Silence(); });
    EXPECT_FALSE(rig.grabador.AbrirGrabacion("3"));
    EXPECT_EQ(rig.view.lines(),
              (Lines{"Usando puerto COM 3.", "Reconociendo dispositivo...", "Error de Timeout.",
                     "  -Reintento 1 de 3", "Error de Timeout.", "  -Reintento 2 de 3",
                     "Error de Timeout.", "  -Reintento 3 de 3", "Error: reintentos superados."}));
    EXPECT_EQ(rig.link.written, Bytes({0xC3, 0xC3, 0xC3}));
    // 5 after opening, 3 x (10 waiting + 5 pause), 5 at the end.
    EXPECT_EQ(rig.ticker.now(), 5 + 3 * 15 + 5);

    rig.grabador.CerrarGrabacion(false);
    EXPECT_EQ(rig.link.written, Bytes({0xC3, 0xC3, 0xC3}));
    EXPECT_FALSE(rig.link.isOpen());
    const Lines lines = rig.view.lines();
    EXPECT_EQ(Lines(lines.end() - 2, lines.end()),
              (Lines{"Hubo errores en la grabación.", "Grabación finalizada."}));
}

TEST_F(GrabacionTest, RecognitionSucceedsOnTheThirdAttempt) {
    rig.link.queue(ScriptedSerialLink::Reply(0x00));
    rig.link.queue(ScriptedSerialLink::Silence());
    EXPECT_TRUE(rig.grabador.AbrirGrabacion("3"));
    EXPECT_EQ(rig.view.lines(),
              (Lines{"Usando puerto COM 3.", "Reconociendo dispositivo...", "  -Reintento 1 de 3",
                     "Error de Timeout.", "  -Reintento 2 de 3", "Cartel electrónico compatible.",
                     "Comenzando grabación..."}));
    EXPECT_EQ(rig.link.written, Bytes({0xC3, 0xC3, 0xC3, 0x01, 0xC3, 0x02}));
}

TEST_F(GrabacionTest, WrongModelIsNotRetried) {
    rig.link.queueReplies({0xC4, 0x33});
    EXPECT_FALSE(rig.grabador.AbrirGrabacion("3"));
    EXPECT_EQ(rig.view.lines(), (Lines{"Usando puerto COM 3.", "Reconociendo dispositivo...",
                                       "Error: el modelo de cartel no coincide."}));
    EXPECT_EQ(rig.link.written, Bytes({0xC3, 0x01}));
}

TEST_F(GrabacionTest, SilentModelQueryCountsAsAWrongModel) {
    rig.link.queue(ScriptedSerialLink::Reply(0xC4));
    rig.link.queue(ScriptedSerialLink::Silence());
    EXPECT_FALSE(rig.grabador.AbrirGrabacion("3"));
    const Lines lines = rig.view.lines();
    EXPECT_EQ(Lines(lines.end() - 2, lines.end()),
              (Lines{"Error de Timeout.", "Error: el modelo de cartel no coincide."}));
}

TEST_F(GrabacionTest, StartPhaseRetriesAttentionButNotTheStartByte) {
    rig.link.queueReplies({0xC4, 0x5A, 0x00, 0xC4, 0x07});
    EXPECT_FALSE(rig.grabador.AbrirGrabacion("3"));
    EXPECT_EQ(rig.link.written, Bytes({0xC3, 0x01, 0xC3, 0xC3, 0x02}));
    EXPECT_EQ(rig.view.lines().back(), "  -Reintento 1 de 3");
}

TEST_F(GrabacionTest, StartPhaseGivesUpSilentlyAfterThreeAttempts) {
    rig.link.queueReplies({0xC4, 0x5A, 0x00, 0x00, 0x00});
    EXPECT_FALSE(rig.grabador.AbrirGrabacion("3"));
    EXPECT_EQ(rig.link.written, Bytes({0xC3, 0x01, 0xC3, 0xC3, 0xC3}));
    const Lines lines = rig.view.lines();
    EXPECT_EQ(Lines(lines.end() - 4, lines.end()),
              (Lines{"Comenzando grabación...", "  -Reintento 1 de 3", "  -Reintento 2 de 3",
                     "  -Reintento 3 de 3"}));
}

TEST_F(GrabacionTest, PortThatDoesNotOpenIsLoggedAndNothingIsSent) {
    rig.link.setOpenablePorts({1});
    EXPECT_FALSE(rig.grabador.AbrirGrabacion("3"));
    EXPECT_EQ(rig.view.lines(),
              (Lines{"Usando puerto COM 3.", "Reconociendo dispositivo...",
                     "No se pudo abrir el puerto COM 3: el dispositivo no existe"}));
    EXPECT_TRUE(rig.link.written.empty());
    rig.grabador.CerrarGrabacion(false);
    EXPECT_TRUE(rig.link.written.empty());
    EXPECT_EQ(rig.view.lines().back(), "Grabación finalizada.");
    EXPECT_TRUE(rig.view.closeButtonShown);
}

TEST_F(GrabacionTest, PortEntryIsReadAsARoundedNumber) {
    rig.grabador.AbrirGrabacion("12");
    EXPECT_EQ(rig.link.triedPorts.back(), 12);
    rig.grabador.AbrirGrabacion(" 4.5");
    EXPECT_EQ(rig.link.triedPorts.back(), 4);
    rig.grabador.AbrirGrabacion("5.5");
    EXPECT_EQ(rig.link.triedPorts.back(), 6);
    EXPECT_EQ(rig.view.lines().front(), "Usando puerto COM 5.5.");
}

// --- Paragraph ---

TEST_F(GrabacionTest, ParagraphStreamWithTagBlankInnerGapAndSeparation) {
    openPort();
    EXPECT_TRUE(rig.grabador.GrabarParrafo(U"A <3>G", font, 2, 3));
    EXPECT_EQ(rig.link.written, Bytes({0x7E, 0x09, 0x09, 0x7E, 0x80, 0x80,  // A + separation
                                       0x80, 0x80, 0x80,                    // blank
                                       0xC8,                                // <3>
                                       0x41, 0x80, 0x22, 0x80, 0x80}));     // G + separation
    EXPECT_EQ(rig.view.log().text(), "");
    EXPECT_EQ(rig.percentLabels(),
              (Lines{"Grabando: 16% completado", "Grabando: 33% completado",
                     "Grabando: 83% completado", "Grabando: 100% completado"}));
}

TEST_F(GrabacionTest, EmptyTextSendsNothing) {
    openPort();
    EXPECT_TRUE(rig.grabador.GrabarParrafo(U"", font, 1, 3));
    EXPECT_TRUE(rig.link.written.empty());
}

TEST_F(GrabacionTest, MissingAndDarkGlyphsSendNothingNotEvenTheSeparation) {
    openPort();
    EXPECT_TRUE(rig.grabador.GrabarParrafo(U"BZ\r\n", font, 2, 3));
    EXPECT_TRUE(rig.link.written.empty());
    EXPECT_EQ(rig.view.log().text(), "");
    EXPECT_EQ(rig.percentLabels().back(), "Grabando: 100% completado");
}

TEST_F(GrabacionTest, SpaceWidthIsTakenFromTheCaller) {
    openPort();
    EXPECT_TRUE(rig.grabador.GrabarParrafo(U" ", font, 4, 5));
    EXPECT_EQ(rig.link.written, Bytes(5, 0x80));
}

TEST_F(GrabacionTest, UnknownTagCharacterSendsZero) {
    openPort();
    EXPECT_TRUE(rig.grabador.GrabarParrafo(U"<a><9>", font, 1, 3));
    EXPECT_EQ(rig.link.written, Bytes({0x00, 0xCF}));
}

TEST_F(GrabacionTest, IncompleteTagIsSentAsOrdinaryCharacters) {
    openPort();
    EXPECT_TRUE(rig.grabador.GrabarParrafo(U"<3", font, 0, 3));
    EXPECT_EQ(rig.link.written, Bytes({0x10, 0x33}));
}

TEST_F(GrabacionTest, EveryEffectHasItsCode) {
    openPort();
    EXPECT_TRUE(rig.grabador.GrabarParrafo(U"<0><1><2><3><4><5><6><7><8><9><A>", font, 0, 3));
    EXPECT_EQ(rig.link.written,
              Bytes({0xD3, 0xC9, 0xD4, 0xC8, 0xCA, 0xCB, 0xCD, 0xCE, 0xCC, 0xCF, 0xC9, 0xD1}));
}

TEST_F(GrabacionTest, SeparatorTagUnansweredNamesEffectAAndStops) {
    openPort();
    rig.link.queue(ScriptedSerialLink::Silence());
    EXPECT_FALSE(rig.grabador.GrabarParrafo(U"<A>A", font, 1, 3));
    EXPECT_EQ(rig.link.written, Bytes({0xC9}));
    EXPECT_EQ(rig.view.lines(), (Lines{"", "Error de Timeout.",
                                       "Error: caracter 1 (efecto A) no se grabó correctamente."}));
}

TEST_F(GrabacionTest, TagTimeOutGivesThePositionOfItsOpeningBracket) {
    openPort();
    rig.link.queueReplies({0x7E, 0x09, 0x09, 0x7E, 0x80, 0x80, 0x80, 0x80});
    rig.link.queue(ScriptedSerialLink::Silence());
    EXPECT_FALSE(rig.grabador.GrabarParrafo(U"A <3>A", font, 1, 3));
    EXPECT_EQ(rig.view.lines().back(), "Error: caracter 3 (efecto 3) no se grabó correctamente.");
    EXPECT_EQ(rig.link.written.size(), 9u);
}

TEST_F(GrabacionTest, TimeOutOnAGlyphStopsTheParagraph) {
    openPort();
    rig.link.queueReplies({0x78, 0x78});
    rig.link.queue(ScriptedSerialLink::Silence());
    EXPECT_FALSE(rig.grabador.GrabarParrafo(U"xxAA", font, 0, 3));
    // The second «x» stops after its first column; nothing of «A» goes out.
    EXPECT_EQ(rig.link.written, Bytes({0x78, 0x78, 0x78}));
    EXPECT_EQ(rig.view.lines().back(), "Error: caracter 2 (x) no se grabó correctamente.");
    EXPECT_EQ(rig.percentLabels().back(), "Grabando: 50% completado");
}

TEST_F(GrabacionTest, TimeOutOnAnEarlyBlankColumnIsLoggedButTheParagraphGoesOn) {
    openPort();
    rig.link.queue(ScriptedSerialLink::Silence());
    EXPECT_TRUE(rig.grabador.GrabarParrafo(U" x", font, 0, 3));
    EXPECT_EQ(rig.link.written, Bytes({0x80, 0x80, 0x80, 0x78, 0x78}));
    EXPECT_EQ(rig.view.lines(),
              (Lines{"", "Error de Timeout.", "Error: caracter 1 ( ) no se grabó correctamente."}));
}

TEST_F(GrabacionTest, TimeOutOnTheLastBlankColumnStops) {
    openPort();
    rig.link.queueReplies({0x80, 0x80});
    rig.link.queue(ScriptedSerialLink::Silence());
    EXPECT_FALSE(rig.grabador.GrabarParrafo(U" x", font, 0, 3));
    EXPECT_EQ(rig.link.written, Bytes({0x80, 0x80, 0x80}));
}

TEST_F(GrabacionTest, TimeOutOnASeparationColumnFollowedByAGoodOneGoesOn) {
    openPort();
    rig.link.queueReplies({0x78, 0x78});
    rig.link.queue(ScriptedSerialLink::Silence());
    EXPECT_TRUE(rig.grabador.GrabarParrafo(U"xA", font, 2, 3));
    EXPECT_EQ(rig.link.written,
              Bytes({0x78, 0x78, 0x80, 0x80, 0x7E, 0x09, 0x09, 0x7E, 0x80, 0x80}));
    EXPECT_EQ(rig.view.lines(), (Lines{"", "Error de Timeout."}));
}

TEST_F(GrabacionTest, EchoMismatchIsLoggedAndTheParagraphGoesOn) {
    openPort();
    rig.link.queue(ScriptedSerialLink::Reply(0x7F));
    EXPECT_TRUE(rig.grabador.GrabarParrafo(U"xA", font, 0, 3));
    EXPECT_EQ(rig.link.written, Bytes({0x78, 0x78, 0x7E, 0x09, 0x09, 0x7E}));
    EXPECT_EQ(rig.view.lines(), (Lines{"", "Error de comparación. E: 120 R: 127"}));
    EXPECT_TRUE(rig.puerto.ErrorParrafo);
    EXPECT_TRUE(rig.puerto.ErrorGrabacion);
}

TEST_F(GrabacionTest, ColumnOutsideAByteKeepsTheCharacterBackAndGoesOn) {
    openPort();
    EXPECT_TRUE(rig.grabador.GrabarParrafo(U"WA", font, 1, 3));
    EXPECT_EQ(rig.link.written, Bytes({0x7E, 0x09, 0x09, 0x7E, 0x80}));
    EXPECT_EQ(rig.view.lines(), (Lines{"", "Error: caracter 1 (W) no se grabó correctamente."}));
    EXPECT_TRUE(rig.puerto.ErrorGrabacion);
}

TEST_F(GrabacionTest, EnviarCaracterReadsTheFontByPath) {
    openPort();
    EXPECT_TRUE(rig.grabador.EnviarCaracter(U'G', font, 1));
    EXPECT_EQ(rig.link.written, Bytes({0x41, 0x80, 0x22, 0x80}));
}

TEST_F(GrabacionTest, MissingFontFileSendsOnlyBlanksAndTags) {
    openPort();
    EXPECT_TRUE(rig.grabador.GrabarParrafo(U"A <4>", (scratch.path() / "no.ffv").string(), 1, 2));
    EXPECT_EQ(rig.link.written, Bytes({0x80, 0x80, 0xCA}));
}

// --- Closing ---

TEST_F(GrabacionTest, CleanClosing) {
    openPort();
    EXPECT_TRUE(rig.grabador.CerrarGrabacion(true));
    EXPECT_EQ(rig.link.written, kCleanClosing);
    EXPECT_FALSE(rig.link.isOpen());
    EXPECT_EQ(rig.view.lines(),
              (Lines{"", "Finalizando grabación...", "La grabación se realizó sin errores.",
                     "Grabación finalizada."}));
    EXPECT_EQ(rig.view.progress(), "Grabación finalizada.");
    EXPECT_TRUE(rig.view.closeButtonShown);
    EXPECT_TRUE(rig.view.closeButtonFocused);
}

TEST_F(GrabacionTest, ClosingStopsAtTheFirstUnexpectedReply) {
    openPort();
    rig.link.queue(ScriptedSerialLink::Reply(0xC9));
    rig.link.queue(ScriptedSerialLink::Reply(0x11));
    EXPECT_FALSE(rig.grabador.CerrarGrabacion(true));
    EXPECT_EQ(rig.link.written, Bytes({0xC9, 0xD2}));
    // Only a missing reply or an echo error makes the verdict bad.
    EXPECT_EQ(rig.view.lines()[2], "La grabación se realizó sin errores.");
}

TEST_F(GrabacionTest, ClosingWithoutTheFinalAcknowledge) {
    openPort();
    rig.link.queueReplies({0xC9, 0xD2});
    rig.link.queue(ScriptedSerialLink::Silence());
    EXPECT_FALSE(rig.grabador.CerrarGrabacion(true));
    EXPECT_EQ(rig.view.lines()[3], "Hubo errores en la grabación.");
}

TEST_F(GrabacionTest, ClosingAfterAnEchoErrorReportsErrors) {
    openPort();
    rig.puerto.ErrorGrabacion = true;
    EXPECT_TRUE(rig.grabador.CerrarGrabacion(true));
    EXPECT_EQ(rig.view.lines()[2], "Hubo errores en la grabación.");
}

TEST_F(GrabacionTest, FailedClosingSendsNothing) {
    openPort();
    EXPECT_FALSE(rig.grabador.CerrarGrabacion(false));
    EXPECT_TRUE(rig.link.written.empty());
    EXPECT_FALSE(rig.link.isOpen());
    EXPECT_EQ(rig.view.lines(),
              (Lines{"", "Hubo errores en la grabación.", "Grabación finalizada."}));
}

}  // namespace
}  // namespace letrador::testing
