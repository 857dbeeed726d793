// Opening (of a recording and of a turn display), paragraph sending and closing, byte by byte and
// line by line.
#include <gtest/gtest.h>

#include <algorithm>

#include "signlink/turnero.h"
#include "tests/signlink/sign_rig.h"

namespace letrador::testing {
namespace {

// A recording's opening retries; a turn display's makes one attempt, then closes.
TEST(Grabacion, OpeningsOfARecordingAndOfATurnDisplay) {
    const std::string r1 = "  -Reintento 1 de 3", r2 = "  -Reintento 2 de 3", r3 = "  -Reintento 3 de 3",
                      timeOut = "Error de Timeout.", ready = "Cartel electrónico compatible.|Comenzando grabación...",
                      noPort = "No se pudo abrir el puerto COM 3: el dispositivo no existe",
                      failed = "Hubo errores en la grabación.|Grabación finalizada.";
    const struct {
        const char* name;
        bool turn;  // GrabarTurnero(1, "3"), which closes too; else AbrirGrabacion("3")
        std::vector<Step> steps;
        bool ok;
        std::string written;
        std::string log;       // after "Usando puerto COM 3." and the recognition line
        long long ticks = -1;  // simulated, when checked
    } cases[] = {
        {"clean (two pauses of five ticks)", false, {}, true, "C3 01 C3 02", ready, 10},
        // 5 after opening, 3 x (10 waiting + 5 pause), 5 at the end.
        {"silent line", false, {kMute, kMute, kMute}, false, "C3 C3 C3",
         timeOut + "|" + r1 + "|" + timeOut + "|" + r2 + "|" + timeOut + "|" + r3 + "|Error: reintentos superados.",
         5 + 3 * 15 + 5},
        {"recognised at the third attempt", false, {Ans(0), kMute}, true, "C3 C3 C3 01 C3 02",
         r1 + "|" + timeOut + "|" + r2 + "|" + ready},
        {"wrong model, not retried", false, {Ans(0xC4), Ans(0x33)}, false, "C3 01",
         "Error: el modelo de cartel no coincide."},
        {"silent model query", false, {Ans(0xC4), kMute}, false, "C3 01",
         timeOut + "|Error: el modelo de cartel no coincide."},
        {"start retries attention, not the start byte", false, {Ans(0xC4), Ans(0x5A), Ans(0), Ans(0xC4), Ans(7)},
         false, "C3 01 C3 C3 02", ready + "|" + r1},
        {"start gives up silently", false, {Ans(0xC4), Ans(0x5A), Ans(0), Ans(0), Ans(0)}, false, "C3 01 C3 C3 C3",
         ready + "|" + r1 + "|" + r2 + "|" + r3},
        {"port that does not open", false, {}, false, "", noPort},
        // The turn display: the one-tick pause after the recognition, and waits; none after opening.
        {"turn: silent", true, {kMute}, false, "C3", timeOut + "|" + failed, 10 + 1},
        {"turn: wrong attention reply", true, {Ans(0)}, false, "C3", failed, 1},
        {"turn: wrong model", true, {Ans(0xC4), Ans(0x11)}, false, "C3 01",
         "El modelo de cartel no coincide.|" + failed, 1},
        {"turn: not ready to start", true, {Ans(0xC4), Ans(0x5A), Ans(0xC4), Ans(0x03)}, false, "C3 01 C3 02",
         ready + "|" + failed, 1},
        {"turn: no acknowledge to attention before the start", true, {Ans(0xC4), Ans(0x5A), Ans(0x03)}, false,
         "C3 01 C3", ready + "|" + failed, 1},
        {"turn: port that does not open", true, {}, false, "", noPort + "|" + failed, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SignRig r;
        r.view.AgregarLog("the last recording's log", false);
        r.script(c.steps);
        if (c.written.empty()) r.link.setOpenablePorts({1});
        EXPECT_EQ(c.turn ? Turnero(r.grabador).GrabarTurnero(1, "3") : r.grabador.AbrirGrabacion("3"), c.ok);
        EXPECT_EQ(r.link.written, Hex(c.written));
        EXPECT_EQ(r.link.triedPorts, std::vector<int>{3});
        const std::string recognition = c.turn ? "modelo de cartel" : "dispositivo";
        EXPECT_EQ(r.log(), "Usando puerto COM 3.|Reconociendo " + recognition + "...|" + c.log);
        std::vector<std::string> phases = {"Reconociendo dispositivo..."};
        if (c.log.find("Comenzando") != std::string::npos) phases.push_back("Comenzando grabación...");
        if (c.turn) phases.push_back("Grabación finalizada.");
        EXPECT_EQ(r.view.progressHistory(), phases);
        if (c.ticks >= 0) { EXPECT_EQ(r.ticker.now(), c.ticks); }
    }
}

// A line lost at every opening, before the first byte, twice with the same rig: each recording
// writes the loss line once, and its verdict is the lost link.
TEST(Grabacion, EveryRecordingInWhichTheLineIsLostSaysSoOnce) {
    SignRig r;
    for (int round = 0; round < 2; ++round) {
        r.link.loseLine();  // it goes during the pause after the port opens
        EXPECT_FALSE(r.grabador.AbrirGrabacion("3"));
        r.grabador.CerrarGrabacion(false);
        const auto lines = r.view.lines();
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "Se perdió la conexión con el puerto COM 3."), 1);
        EXPECT_EQ(r.grabador.verdict(), Verdict::LinkLost);
    }
    EXPECT_TRUE(r.link.written.empty());
}

TEST(Grabacion, PortEntryIsReadAsARoundedNumber) {
    SignRig rig;
    for (auto [text, port] : {std::pair{"12", 12}, {" 4.5", 4}, {"5.5", 6}}) {
        rig.grabador.AbrirGrabacion(text);
        EXPECT_EQ(rig.link.triedPorts.back(), port) << text;
    }
    EXPECT_EQ(rig.view.lines().front(), "Usando puerto COM 5.5.");
}

TEST(Grabacion, Paragraphs) {
    const RoomFont font;
    const std::string timeOut = "|Error de Timeout.|Error: caracter ", err = " no se grabó correctamente.";
    const struct {
        std::u32string text;
        Int16 separation, space;
        std::vector<Step> steps;
        bool ok;
        std::string written;
        std::string log;            // from an empty one: its first line is empty
        std::vector<int> percents;  // of the "Grabando: N% completado" labels, when checked
        bool flagged = false;       // ErrorGrabacion and ErrorParrafo
        const char* fontFile = "f.ffv";
    } cases[] = {
        // A + separation, three blank columns, <3>, G with its inner dark column + separation.
        {U"A <3>G", 2, 3, {}, true, "7E09097E 8080 808080 C8 418022 8080", "", {16, 33, 83, 100}},
        {U"", 1, 3, {}, true, "", "", {}},
        // Missing and dark glyphs send nothing, not even their separation.
        {U"BZ\r\n", 2, 3, {}, true, "", "", {25, 50, 75, 100}},
        {U" ", 4, 5, {}, true, "8080808080", "", {100}},
        {U"<a><9>", 1, 3, {}, true, "00 CF", "", {50, 100}},
        {U"<3", 0, 3, {}, true, "10 33", "", {50, 100}},
        {U"<0><1><2><3><4><5><6><7><8><9><A>", 0, 3, {}, true, "D3 C9 D4 C8 CA CB CD CE CC CF C9D1", "", {}},
        {U"A <4>", 1, 2, {}, true, "8080 CA", "", {}, false, "no.ffv"},  // no font: blanks and tags only
        {U"<A>A", 1, 3, {kMute}, false, "C9", timeOut + "1 (efecto A)" + err, {}},
        // A time-out on a tag gives the position of its opening bracket.
        {U"A <3>A", 1, 3, {Ans(0x7E), Ans(9), Ans(9), Ans(0x7E), Ans(0x80), Ans(0x80), Ans(0x80), Ans(0x80), kMute},
         false, "7E09097E 80 808080 C8", timeOut + "3 (efecto 3)" + err, {}},
        // The second «x» stops after its first column; nothing of «A» goes out.
        {U"xxAA", 0, 3, {Ans(0x78), Ans(0x78), kMute}, false, "7878 78", timeOut + "2 (x)" + err, {25, 50}},
        // A blank's first column times out: logged, but the paragraph goes on; its last stops it.
        {U" x", 0, 3, {kMute}, true, "808080 7878", timeOut + "1 ( )" + err, {}},
        {U" x", 0, 3, {Ans(0x80), Ans(0x80), kMute}, false, "808080", timeOut + "1 ( )" + err, {}},
        // A separation column times out and the next one is good.
        {U"xA", 2, 3, {Ans(0x78), Ans(0x78), kMute}, true, "7878 8080 7E09097E 8080", "|Error de Timeout.", {}},
        {U"xA", 0, 3, {Ans(0x7F)}, true, "7878 7E09097E", "|Error de comparación. E: 120 R: 127", {}, true},
        // A column outside a byte keeps the character back; the rest goes on.
        {U"WA", 1, 3, {}, true, "7E09097E 80", "|Error: caracter 1 (W)" + err, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text) + " " + std::to_string(c.separation));
        SignRig r;
        ASSERT_TRUE(r.link.open(nullptr));
        r.script(c.steps);
        const std::string path = (font.scratch.path() / c.fontFile).string();
        EXPECT_EQ(r.grabador.GrabarParrafo(c.text, path, c.separation, c.space), c.ok);
        EXPECT_EQ(r.link.written, Hex(c.written));
        EXPECT_EQ(r.log(), c.log);
        std::vector<std::string> labels;
        for (int p : c.percents) labels.push_back("Grabando: " + std::to_string(p) + "% completado");
        if (!labels.empty()) { EXPECT_EQ(r.percentLabels(), labels); }
        if (!labels.empty()) { EXPECT_EQ(r.view.percent(), c.percents.back()); }
        EXPECT_EQ(r.puerto.ErrorGrabacion, c.flagged);
        EXPECT_EQ(r.puerto.ErrorParrafo, c.flagged);
    }
    SignRig r;  // one character, its font read by path
    ASSERT_TRUE(r.link.open(nullptr));
    EXPECT_TRUE(r.grabador.EnviarCaracter(U'G', font.path, 1));
    EXPECT_EQ(r.link.written, Hex("418022 80"));
}

TEST(Grabacion, Closings) {
    const std::string good = "La grabación se realizó sin errores.", bad = "Hubo errores en la grabación.";
    const struct {
        const char* name;
        std::vector<Step> steps;
        bool earlierEchoError, clean, ok;
        std::string written;
        std::string log;  // between "Finalizando grabación..." and "Grabación finalizada."
        Verdict verdict;
    } cases[] = {
        {"clean", {}, false, true, true, "C9 D2 C5", good, Verdict::Clean},
        // Only a missing reply or an echo error makes the verdict bad.
        {"unexpected reply", {Ans(0xC9), Ans(0x11)}, false, true, false, "C9 D2", good, Verdict::Clean},
        {"no final acknowledge", {Ans(0xC9), Ans(0xD2), kMute}, false, true, false, "C9 D2 C5",
         "Error de Timeout.|" + bad, Verdict::Errors},
        {"after an echo error", {}, true, true, true, "C9 D2 C5", bad, Verdict::Errors},
        {"a failed recording sends nothing", {}, false, false, false, "", bad, Verdict::Errors},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SignRig r;
        ASSERT_TRUE(r.link.open(nullptr));
        r.script(c.steps);
        r.puerto.ErrorGrabacion = c.earlierEchoError;
        EXPECT_EQ(r.grabador.CerrarGrabacion(c.clean), c.ok);
        EXPECT_EQ(r.grabador.verdict(), c.verdict);
        EXPECT_EQ(r.link.written, Hex(c.written));
        EXPECT_EQ(r.log(), std::string(c.clean ? "|Finalizando grabación...|" : "|") + c.log + "|Grabación finalizada.");
        EXPECT_FALSE(r.link.isOpen());
        EXPECT_EQ(r.view.progressHistory().front(), c.clean ? "Finalizando grabación..." : "Grabación finalizada.");
        EXPECT_EQ(r.view.progress(), "Grabación finalizada.");
        EXPECT_TRUE(r.view.closeButtonShown);
    }
}

}  // namespace
}  // namespace letrador::testing
