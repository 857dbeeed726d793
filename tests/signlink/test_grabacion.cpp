// Opening, paragraph sending and closing of a recording, byte by byte and line by line.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "tests/signlink/sign_rig.h"
#include "tests/support/sample_font.h"

namespace letrador::testing {
namespace {

using Lines = std::vector<std::string>;

class GrabacionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // «G» has an empty column inside, «B» is all dark, «W» has a column outside a byte, «<»
        // makes a lone "<" visible.
        WriteFont(font, {{"A", {0x7E, 0x09, 0x09, 0x7E}}, {"G", {0x41, 0x00, 0x22}}, {"B", {}},
                         {"W", {0x01, 300, 0x02}}, {"<", {0x10}}, {"3", {0x33}},
                         {"x", {0x78, 0x78}}});
    }
    void openPort() {
        rig.link.setPort(3);
        ASSERT_TRUE(rig.link.open(nullptr));
    }
    ScratchFolder scratch;
    std::string font = (scratch.path() / "prueba.ffv").string();
    SignRig rig;
};

TEST_F(GrabacionTest, CleanOpeningEmptiesTheOldLogAndSendsBothHandshakes) {
    rig.view.AgregarLog("vieja", false);
    rig.view.closeButtonShown = true;
    EXPECT_TRUE(rig.grabador.AbrirGrabacion("3"));
    EXPECT_EQ(rig.link.written, kCleanOpening);
    EXPECT_EQ(rig.link.openedPorts, std::vector<int>({3}));
    EXPECT_EQ(rig.view.lines(), (Lines{"Usando puerto COM 3.", "Reconociendo dispositivo...",
                                       "Cartel electrónico compatible.", "Comenzando grabación..."}));
    EXPECT_EQ(rig.view.progressHistory(),
              (Lines{"Reconociendo dispositivo...", "Comenzando grabación..."}));
    EXPECT_FALSE(rig.view.mainWindowEnabled);
    EXPECT_TRUE(rig.view.windowShown);
    EXPECT_FALSE(rig.view.closeButtonShown);
    EXPECT_EQ(rig.ticker.now(), 10);  // two pauses of five ticks; the sign answers at once
}

// A line lost while the opening pauses, twice with the same objects: each recording writes the
// loss line once, and its verdict is the lost link.
TEST(GrabacionLoss, EveryRecordingInWhichTheLineIsLostSaysSoOnce) {
    struct LostAtOpening : platform::ScriptedSerialLink {
        using ScriptedSerialLink::ScriptedSerialLink;
        bool open(std::string* reason) override {
            const bool ok = ScriptedSerialLink::open(reason);
            if (ok) loseLine();
            return ok;
        }
    };
    platform::SimulatedTicker ticker;
    LostAtOpening link(&ticker);
    platform::SimulatedEventPump pump(link, ticker);
    PlainRecordingView view;
    PuertoSerie puerto(link, pump, view);
    puerto.connect(ticker);
    Grabador grabador(puerto, view);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        EXPECT_FALSE(grabador.AbrirGrabacion("3"));
        grabador.CerrarGrabacion(false);
        const Lines lines = view.lines();
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "Se perdió la conexión con el puerto COM 3."), 1);
        EXPECT_EQ(grabador.verdict(), Verdict::LinkLost);
    }
    EXPECT_TRUE(link.written.empty());
}

TEST_F(GrabacionTest, FailedOpenings) {
    struct Case {
        const char* name;
        std::vector<Step> steps;
        bool silent;  // the line never answers
        Bytes written;
        Lines lines;  // after "Usando puerto COM 3." and "Reconociendo dispositivo..."
        bool ok = false;
        bool noDevice = false;
    };
    const Lines retries = {"  -Reintento 1 de 3", "  -Reintento 2 de 3", "  -Reintento 3 de 3"};
    const Case cases[] = {
        {"silent line", {}, true, {0xC3, 0xC3, 0xC3},
         {"Error de Timeout.", retries[0], "Error de Timeout.", retries[1], "Error de Timeout.",
          retries[2], "Error: reintentos superados."}},
        {"recognised at the third attempt", {Ans(0), kMute}, false,
         {0xC3, 0xC3, 0xC3, 0x01, 0xC3, 0x02},
         {retries[0], "Error de Timeout.", retries[1], "Cartel electrónico compatible.",
          "Comenzando grabación..."}, true},
        {"wrong model, not retried", {Ans(0xC4), Ans(0x33)}, false, {0xC3, 0x01},
         {"Error: el modelo de cartel no coincide."}},
        {"silent model query", {Ans(0xC4), kMute}, false, {0xC3, 0x01},
         {"Error de Timeout.", "Error: el modelo de cartel no coincide."}},
        {"start retries attention, not the start byte",
         {Ans(0xC4), Ans(0x5A), Ans(0), Ans(0xC4), Ans(7)}, false, {0xC3, 0x01, 0xC3, 0xC3, 0x02},
         {"Cartel electrónico compatible.", "Comenzando grabación...", retries[0]}},
        {"start gives up silently", {Ans(0xC4), Ans(0x5A), Ans(0), Ans(0), Ans(0)}, false,
         {0xC3, 0x01, 0xC3, 0xC3, 0xC3},
         {"Cartel electrónico compatible.", "Comenzando grabación...", retries[0], retries[1],
          retries[2]}},
        {"port that does not open", {}, false, {},
         {"No se pudo abrir el puerto COM 3: el dispositivo no existe"}, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SignRig r;
        r.script(c.steps);
        if (c.silent) r.link.setResponder([](std::uint8_t) { return kMute; });
        if (c.noDevice) r.link.setOpenablePorts({1});
        EXPECT_EQ(r.grabador.AbrirGrabacion("3"), c.ok);
        EXPECT_EQ(r.link.written, c.written);
        Lines lines = {"Usando puerto COM 3.", "Reconociendo dispositivo..."};
        lines.insert(lines.end(), c.lines.begin(), c.lines.end());
        EXPECT_EQ(r.view.lines(), lines);
        // 5 after opening, 3 x (10 waiting + 5 pause), 5 at the end.
        if (c.silent) { EXPECT_EQ(r.ticker.now(), 5 + 3 * 15 + 5); }
    }
}

TEST_F(GrabacionTest, PortEntryIsReadAsARoundedNumber) {
    for (auto [text, port] : {std::pair{"12", 12}, {" 4.5", 4}, {"5.5", 6}}) {
        rig.grabador.AbrirGrabacion(text);
        EXPECT_EQ(rig.link.triedPorts.back(), port) << text;
    }
    EXPECT_EQ(rig.view.lines().front(), "Usando puerto COM 5.5.");
}

TEST_F(GrabacionTest, Paragraphs) {
    struct Case {
        std::u32string text;
        Int16 separation, space;
        std::vector<Step> steps;
        bool ok;
        Bytes written;
        Lines lines;            // the log after it, from an empty one
        std::string lastLabel;  // the last "Grabando: ..." label, when checked
        bool flagged = false;   // ErrorGrabacion and ErrorParrafo
    };
    const std::string err = " no se grabó correctamente.";
    const Case cases[] = {
        // A + separation, three blank columns, <3>, G with its inner dark column + separation.
        {U"A <3>G", 2, 3, {}, true,
         {0x7E, 0x09, 0x09, 0x7E, 0x80, 0x80, 0x80, 0x80, 0x80, 0xC8, 0x41, 0x80, 0x22, 0x80, 0x80},
         {""}, "Grabando: 100% completado"},
        {U"", 1, 3, {}, true, {}, {""}, ""},
        // Missing and dark glyphs send nothing, not even their separation.
        {U"BZ\r\n", 2, 3, {}, true, {}, {""}, "Grabando: 100% completado"},
        {U" ", 4, 5, {}, true, Bytes(5, 0x80), {""}, ""},
        {U"<a><9>", 1, 3, {}, true, {0x00, 0xCF}, {""}, ""},
        {U"<3", 0, 3, {}, true, {0x10, 0x33}, {""}, ""},
        {U"<0><1><2><3><4><5><6><7><8><9><A>", 0, 3, {}, true,
         {0xD3, 0xC9, 0xD4, 0xC8, 0xCA, 0xCB, 0xCD, 0xCE, 0xCC, 0xCF, 0xC9, 0xD1}, {""}, ""},
        {U"<A>A", 1, 3, {kMute}, false, {0xC9},
         {"", "Error de Timeout.", "Error: caracter 1 (efecto A)" + err}, ""},
        // A time-out on a tag gives the position of its opening bracket.
        {U"A <3>A", 1, 3,
         {Ans(0x7E), Ans(0x09), Ans(0x09), Ans(0x7E), Ans(0x80), Ans(0x80), Ans(0x80), Ans(0x80),
          kMute},
         false, {0x7E, 0x09, 0x09, 0x7E, 0x80, 0x80, 0x80, 0x80, 0xC8},
         {"", "Error de Timeout.", "Error: caracter 3 (efecto 3)" + err}, ""},
        // The second «x» stops after its first column; nothing of «A» goes out.
        {U"xxAA", 0, 3, {Ans(0x78), Ans(0x78), kMute}, false, {0x78, 0x78, 0x78},
         {"", "Error de Timeout.", "Error: caracter 2 (x)" + err}, "Grabando: 50% completado"},
        // A blank's first column times out: logged, but the paragraph goes on; its last stops it.
        {U" x", 0, 3, {kMute}, true, {0x80, 0x80, 0x80, 0x78, 0x78},
         {"", "Error de Timeout.", "Error: caracter 1 ( )" + err}, ""},
        {U" x", 0, 3, {Ans(0x80), Ans(0x80), kMute}, false, {0x80, 0x80, 0x80},
         {"", "Error de Timeout.", "Error: caracter 1 ( )" + err}, ""},
        // A separation column times out and the next one is good.
        {U"xA", 2, 3, {Ans(0x78), Ans(0x78), kMute}, true,
         {0x78, 0x78, 0x80, 0x80, 0x7E, 0x09, 0x09, 0x7E, 0x80, 0x80}, {"", "Error de Timeout."},
         ""},
        {U"xA", 0, 3, {Ans(0x7F)}, true, {0x78, 0x78, 0x7E, 0x09, 0x09, 0x7E},
         {"", "Error de comparación. E: 120 R: 127"}, "", true},
        // A column outside a byte keeps the character back; the rest goes on.
        {U"WA", 1, 3, {}, true, {0x7E, 0x09, 0x09, 0x7E, 0x80},
         {"", "Error: caracter 1 (W)" + err}, "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text) + " " + std::to_string(c.separation));
        SignRig r;
        r.link.setPort(3);
        ASSERT_TRUE(r.link.open(nullptr));
        r.script(c.steps);
        EXPECT_EQ(r.grabador.GrabarParrafo(c.text, font, c.separation, c.space), c.ok);
        EXPECT_EQ(r.link.written, c.written);
        EXPECT_EQ(r.view.lines(), c.lines);
        if (!c.lastLabel.empty()) { EXPECT_EQ(r.percentLabels().back(), c.lastLabel); }
        EXPECT_EQ(r.puerto.ErrorGrabacion, c.flagged);
        EXPECT_EQ(r.puerto.ErrorParrafo, c.flagged);
    }
}

TEST_F(GrabacionTest, ProgressLabelsFollowTheCharacters) {
    openPort();
    EXPECT_TRUE(rig.grabador.GrabarParrafo(U"A <3>G", font, 2, 3));
    EXPECT_EQ(rig.percentLabels(),
              (Lines{"Grabando: 16% completado", "Grabando: 33% completado",
                     "Grabando: 83% completado", "Grabando: 100% completado"}));
}

TEST_F(GrabacionTest, FontIsReadByPathAndAMissingOneSendsOnlyBlanksAndTags) {
    openPort();
    EXPECT_TRUE(rig.grabador.EnviarCaracter(U'G', font, 1));
    EXPECT_TRUE(rig.grabador.GrabarParrafo(U"A <4>", (scratch.path() / "no.ffv").string(), 1, 2));
    EXPECT_EQ(rig.link.written, Bytes({0x41, 0x80, 0x22, 0x80, 0x80, 0x80, 0xCA}));
}

TEST_F(GrabacionTest, Closings) {
    struct Case {
        const char* name;
        std::vector<Step> steps;
        bool earlierEchoError, clean, ok;
        Bytes written;
        Lines lines;  // after the empty first line, up to "Grabación finalizada."
    };
    const std::string good = "La grabación se realizó sin errores.", fin = "Finalizando grabación...";
    const std::string bad = "Hubo errores en la grabación.";
    const Case cases[] = {
        {"clean", {}, false, true, true, kCleanClosing, {fin, good}},
        // Only a missing reply or an echo error makes the verdict bad.
        {"unexpected reply", {Ans(0xC9), Ans(0x11)}, false, true, false, {0xC9, 0xD2}, {fin, good}},
        {"no final acknowledge", {Ans(0xC9), Ans(0xD2), kMute}, false, true, false, kCleanClosing,
         {fin, "Error de Timeout.", bad}},
        {"after an echo error", {}, true, true, true, kCleanClosing, {fin, bad}},
        {"a failed recording sends nothing", {}, false, false, false, {}, {bad}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SignRig r;
        ASSERT_TRUE(r.link.open(nullptr));
        r.script(c.steps);
        r.puerto.ErrorGrabacion = c.earlierEchoError;
        EXPECT_EQ(r.grabador.CerrarGrabacion(c.clean), c.ok);
        EXPECT_EQ(r.link.written, c.written);
        Lines lines = {""};
        lines.insert(lines.end(), c.lines.begin(), c.lines.end());
        lines.push_back("Grabación finalizada.");
        EXPECT_EQ(r.view.lines(), lines);
        EXPECT_FALSE(r.link.isOpen());
        EXPECT_EQ(r.view.progress(), "Grabación finalizada.");
        EXPECT_TRUE(r.view.closeButtonShown);
        EXPECT_TRUE(r.view.closeButtonFocused);
    }
}

}  // namespace
}  // namespace letrador::testing
