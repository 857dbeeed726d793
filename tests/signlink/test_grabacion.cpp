// Opening (of a recording and of a turn display), paragraph sending and closing, byte by byte and
// line by line; "&Total" and "&Parcial" from the opening to the closing; and the turn display's
// every entry of every digit style, its time-outs and its verdict.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "signlink/recording_commands.h"
#include "signlink/turnero.h"
#include "signlink/turnero_digits.h"
#include "tests/signlink/sign_rig.h"

namespace letrador::testing {
namespace {

// A recording's opening retries; a turn display's makes one attempt, then closes.
TEST(Grabacion, OpeningsOfARecordingAndOfATurnDisplay) {
    const std::string r1 = "  -Reintento 1 de 3", r2 = "  -Reintento 2 de 3", r3 = "  -Reintento 3 de 3",
                      timeOut = "Error de Timeout.", ready = "Cartel electrónico compatible.|Comenzando grabación...",
                      noPort = "No se pudo abrir el puerto COM 3: el dispositivo no existe";
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
        {"turn: silent", true, {kMute}, false, "C3", timeOut + "|" + kFailed, 10 + 1},
        {"turn: wrong attention reply", true, {Ans(0)}, false, "C3", kFailed, 1},
        {"turn: wrong model", true, {Ans(0xC4), Ans(0x11)}, false, "C3 01",
         "El modelo de cartel no coincide.|" + kFailed, 1},
        {"turn: not ready to start", true, {Ans(0xC4), Ans(0x5A), Ans(0xC4), Ans(0x03)}, false, "C3 01 C3 02",
         ready + "|" + kFailed, 1},
        {"turn: no acknowledge to attention before the start", true, {Ans(0xC4), Ans(0x5A), Ans(0x03)}, false,
         "C3 01 C3", ready + "|" + kFailed, 1},
        {"turn: port that does not open", true, {}, false, "", noPort + "|" + kFailed, 0},
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

std::vector<Step> Opened(std::initializer_list<Step> more) {
    std::vector<Step> s = {Ans(0xC4), Ans(0x5A), Ans(0xC4), Ans(0xC4)};
    s.insert(s.end(), more);
    return s;
}

TEST(RecordingCommands, WholeMessageAndCurrentParagraph) {
    const RoomFont font;
    const std::string p1 = "Grabando párrafo 1 de 2...", p2 = "|Grabando párrafo 2 de 2... OK.|",
                      err = " no se grabó correctamente.";
    const struct {
        const char* name;
        std::vector<std::pair<std::u32string, bool>> paragraphs;  // text, ignored
        Int16 separation;
        bool joined;
        std::vector<Step> steps;
        bool earlierErrors;
        std::string written;  // after the opening
        std::string log;      // after "Comenzando grabación..."
        // "&Parcial" instead: the first paragraph's text with this selection (empty: all of it).
        std::optional<std::u32string> selection = std::nullopt;
    } cases[] = {
        {"separator after every paragraph", {{U"I", false}, {U"A", false}}, 0, false, {}, false,
         "7F C9 7E09097E C9 C9D2C5", p1 + " OK." + p2 + kClosed},
        {"joined", {{U"I", false}, {U"A", false}}, 0, true, {}, false, "7F 7E09097E C9D2C5", p1 + " OK." + p2 + kClosed},
        {"ignored paragraphs keep their numbers", {{U"I", false}, {U"A", true}, {U"I", false}}, 0, false, {}, false,
         "7F C9 7F C9 C9D2C5", "Grabando párrafo 1 de 3... OK.|Grabando párrafo 3 de 3... OK.|" + kClosed},
        {"every paragraph ignored", {{U"I", true}}, 0, false, {}, false, "C9D2C5", kClosed},
        {"time-out mid-paragraph", {{U"AI", false}, {U"I", false}}, 1, false, Opened({Ans(0x7E), Ans(9), kMute}), false,
         "7E0909", p1 + "|Error de Timeout.|Error: caracter 1 (A)" + err + "|" + kFailed},
        {"unanswered separator", {{U"I", false}, {U"I", false}}, 0, false, Opened({Ans(0x7F), kMute}), false, "7F C9",
         p1 + "|Error de Timeout.|" + kFailed},
        {"an echo error takes only its paragraph's OK", {{U"I", false}, {U"I", false}}, 0, false, Opened({Ans(0x70)}),
         false, "7F C9 7F C9 C9D2C5",
         p1 + "|Error de comparación. E: 127 R: 112" + p2 + "Finalizando grabación...|" + kFailed},
        {"OK lands on an error line that did not stop the paragraph", {{U" I", false}}, 0, true, Opened({kMute}), false,
         "808080 7F C9D2C5", "Grabando párrafo 1 de 1...|Error de Timeout.|Error: caracter 1 ( )" + err + " OK.|" + kClosed},
        {"an earlier recording's errors are cleared", {{U"I", false}}, 0, false, {}, true, "7F C9 C9D2C5",
         "Grabando párrafo 1 de 1... OK.|" + kClosed},
        // A selection goes alone, without an OK mark or the separator.
        {"selection", {{U"IAI", false}}, 1, false, {}, false, "7E09097E 80 7F 80 C9D2C5",
         "Grabando selección: AI|" + kClosed, U"AI"},
        {"selection of a missing glyph", {{U"año", false}}, 1, false, {}, false, "C9D2C5",
         "Grabando selección: ñ|" + kClosed, U"ñ"},
        {"current paragraph", {{U"IA", false}}, 1, false, {}, false, "7F 80 7E09097E 80 C9D2C5",
         "Grabando párrafo actual...OK|" + kClosed, U""},
        {"current paragraph after errors", {{U"I", false}}, 1, false, {}, true, "7F 80 C9D2C5",
         "Grabando párrafo actual...OK|" + kClosed, U""},
        {"current paragraph with an echo error", {{U"I", false}}, 1, false, Opened({Ans(0)}), false, "7F 80 C9D2C5",
         "Grabando párrafo actual...|Error de comparación. E: 127 R: 0|Finalizando grabación...|" + kFailed, U""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SignRig r;
        r.script(c.steps);
        r.puerto.ErrorGrabacion = r.puerto.ErrorParrafo = c.earlierErrors;
        std::vector<ParrafoAGrabar> paragraphs;
        for (const auto& [text, ignored] : c.paragraphs) paragraphs.push_back({text, font.path, c.separation, ignored});
        const bool ok = c.selection ? RecordCurrentParagraph(r.grabador, c.paragraphs[0].first, *c.selection, font.path,
                                                             c.separation, {"3", false, 3})
                                    : RecordWholeMessage(r.grabador, paragraphs, {"3", c.joined, 3});
        EXPECT_EQ(ok, c.written.ends_with("C9D2C5"));
        EXPECT_EQ(r.writtenAfter(4), Hex(c.written));  // after C3 01 C3 02
        EXPECT_EQ(r.log(4), c.log);
    }
}

// Digit by digit, styles 1 | 2 | 3; a dark column is 80, never 00.
const char* const kDigits[] = {
    "3E7F63637F3E|7F41417F|3E4141413E", "8004467F7F40|8080807F|808004027F",
    "426171594F66|7949494F|8062514946", "226349497F36|4949497F|2241494936",
    "0F0F08087F7F|0F08087F|0F0808087E", "2F4F49497932|4F494979|2749494931",
    "3E7F49497932|7F484878|3E49494932", "030371790F07|0101017F|010101017F",
    "367F49497F36|7F49497F|3649494936", "264F49497F3E|0F09097F|264949493E",
};

std::string Cell(int d, int style) {
    std::string_view row = kDigits[d];
    for (int s = 1; s < style; ++s) row.remove_prefix(row.find('|') + 1);
    return std::string(row.substr(0, row.find('|')));
}

// Entry n: tens, a dark column, units, D0 and the separator C9.
TEST(Turnero, EveryStyleSendsTheHundredEntriesInOrderThenTheClosing) {
    for (int style = 1; style <= 3; ++style) {
        SCOPED_TRACE(style);
        SignRig rig;
        EXPECT_TRUE(Turnero(rig.grabador).GrabarTurnero(style, "3"));
        std::string want = "C3 01 C3 02";
        std::vector<std::string> labels;
        for (int n = 0; n < 100; ++n) {
            want += " " + Cell(n / 10, style) + " 80 " + Cell(n % 10, style) + " D0 C9";
            labels.push_back("Grabando: " + std::to_string(n / 10) + std::to_string(n % 10) + "% completado.");
        }
        EXPECT_EQ(rig.link.written, Hex(want + " C9 D2 C5"));
        EXPECT_EQ(AnchoDigito(style), static_cast<int>(Hex(Cell(0, style)).size()));
        EXPECT_EQ(rig.percentLabels(), labels);
        EXPECT_EQ(rig.view.percent(), -1);  // the closing's phase
        EXPECT_EQ(rig.log(), "Usando puerto COM 3.|Reconociendo modelo de cartel...|Cartel electrónico compatible.|"
                             "Comenzando grabación...|" + kClosed);
    }
    for (auto [d, style] : {std::pair{10, 1}, {-1, 1}, {0, 4}, {0, 0}}) EXPECT_TRUE(ColumnasDigito(d, style).empty());
    EXPECT_EQ(AnchoDigito(0) + AnchoDigito(4), 0);
}

// A reply missing or wrong inside entry 42 (style 1), with an earlier recording's echo error still
// flagged: a time-out on the last column of a digit, the blank, D0 or C9 stops the run before 43;
// on an inner column of a digit it goes on. The verdict looks only at the closing and at this
// recording's echo errors.
TEST(Turnero, TimeOutsAndEchoErrorsInsideTheEntries) {
    const std::string stop = "Error de Timeout.|" + kFailed;
    for (const auto& [at, odd, log] :
         {std::tuple{6, kMute, stop}, {7, kMute, stop}, {13, kMute, stop}, {14, kMute, stop}, {15, kMute, stop},
          {3, kMute, "Error de Timeout.|" + kClosed},
          {3, Ans(0), "Error de comparación. E: 8 R: 0|Finalizando grabación...|" + kFailed}}) {
        SCOPED_TRACE(at);
        SignRig rig;
        rig.puerto.ErrorGrabacion = true;
        const std::size_t where = 4 + 42 * 15 + at;
        const bool goesOn = at == 3;
        rig.link.setResponder([&rig, where, step = odd, sign = CompatibleSign()](std::uint8_t b) mutable {
            return rig.link.written.size() == where ? step : sign(b);
        });
        EXPECT_EQ(Turnero(rig.grabador).GrabarTurnero(1, "3"), goesOn);
        EXPECT_EQ(rig.link.written.size(), goesOn ? 4 + 1500 + 3 : where);
        EXPECT_EQ(rig.percentLabels().back(), goesOn ? "Grabando: 99% completado." : "Grabando: 41% completado.");
        EXPECT_EQ(rig.log(4), log);
    }
}

}  // namespace
}  // namespace letrador::testing
