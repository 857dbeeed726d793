// Whole-message and current-paragraph recordings, from the opening to the closing.
#include <gtest/gtest.h>

#include "signlink/recording_commands.h"
#include "tests/signlink/sign_rig.h"
#include "tests/support/sample_font.h"

namespace letrador::testing {
namespace {

using Lines = std::vector<std::string>;

const std::string kGood = "La grabación se realizó sin errores.", kBad = "Hubo errores en la grabación.",
                  kEnd = "Grabación finalizada.", kClosing = "Finalizando grabación...";

std::vector<Step> Opened(std::initializer_list<Step> more) {
    std::vector<Step> s = {Ans(0xC4), Ans(0x5A), Ans(0xC4), Ans(0xC4)};
    s.insert(s.end(), more);
    return s;
}

class RecordingCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteFont(font, {{"A", {0x7E, 0x09, 0x09, 0x7E}}, {"I", {0x7F}}});
        opciones.textoPuerto = "3";
    }
    // The log from the line after "Comenzando grabación...", or its last lines when it is short.
    void expectTail(const SignRig& r, const Lines& tail) {
        const Lines all = r.view.lines();
        ASSERT_GE(all.size(), tail.size());
        EXPECT_EQ(Lines(all.end() - static_cast<long>(tail.size()), all.end()), tail);
    }
    ScratchFolder scratch;
    std::string font = (scratch.path() / "f.ffv").string();
    OpcionesGrabacion opciones;
};

TEST_F(RecordingCommandsTest, CleanTwoParagraphRecordingLeavesTheNineLineLog) {
    SignRig rig;
    EXPECT_TRUE(RecordWholeMessage(rig.grabador, {{U"AI", font, 1, false}, {U"I", font, 1, false}},
                                   opciones));
    EXPECT_EQ(rig.view.log().text(),
              "Usando puerto COM 3.\r\nReconociendo dispositivo...\r\n"
              "Cartel electrónico compatible.\r\nComenzando grabación...\r\n"
              "Grabando párrafo 1 de 2... OK.\r\nGrabando párrafo 2 de 2... OK.\r\n"
              "Finalizando grabación...\r\nLa grabación se realizó sin errores.\r\n"
              "Grabación finalizada.");
    EXPECT_EQ(rig.view.progressHistory(),
              (Lines{"Reconociendo dispositivo...", "Comenzando grabación...",
                     "Grabando: 50% completado", "Grabando: 100% completado",
                     "Grabando: 100% completado", kClosing, kEnd}));
    EXPECT_FALSE(rig.link.isOpen());
    EXPECT_TRUE(rig.view.closeButtonShown);
}

TEST_F(RecordingCommandsTest, WholeMessage) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::u32string, bool>> paragraphs;  // text, ignored
        Int16 separation;
        bool joined;
        std::vector<Step> steps;
        bool earlierErrors;
        Bytes written;  // after the opening
        Lines tail;
    };
    const std::string p1 = "Grabando párrafo 1 de 2...", err = " no se grabó correctamente.";
    const Case cases[] = {
        {"separator after every paragraph", {{U"I", false}, {U"A", false}}, 0, false, {}, false,
         {0x7F, 0xC9, 0x7E, 0x09, 0x09, 0x7E, 0xC9, 0xC9, 0xD2, 0xC5},
         {p1 + " OK.", "Grabando párrafo 2 de 2... OK.", kClosing, kGood, kEnd}},
        {"joined", {{U"I", false}, {U"A", false}}, 0, true, {}, false,
         {0x7F, 0x7E, 0x09, 0x09, 0x7E, 0xC9, 0xD2, 0xC5},
         {p1 + " OK.", "Grabando párrafo 2 de 2... OK.", kClosing, kGood, kEnd}},
        {"ignored paragraphs keep their numbers", {{U"I", false}, {U"A", true}, {U"I", false}}, 0,
         false, {}, false, {0x7F, 0xC9, 0x7F, 0xC9, 0xC9, 0xD2, 0xC5},
         {"Comenzando grabación...", "Grabando párrafo 1 de 3... OK.",
          "Grabando párrafo 3 de 3... OK.", kClosing, kGood, kEnd}},
        {"every paragraph ignored", {{U"I", true}}, 0, false, {}, false, kCleanClosing,
         {"Comenzando grabación...", kClosing, kGood, kEnd}},
        {"time-out mid-paragraph", {{U"AI", false}, {U"I", false}}, 1, false,
         Opened({Ans(0x7E), Ans(0x09), kMute}), false, {0x7E, 0x09, 0x09},
         {"Comenzando grabación...", p1, "Error de Timeout.", "Error: caracter 1 (A)" + err, kBad,
          kEnd}},
        {"unanswered separator", {{U"I", false}, {U"I", false}}, 0, false,
         Opened({Ans(0x7F), kMute}), false, {0x7F, 0xC9},
         {"Comenzando grabación...", p1, "Error de Timeout.", kBad, kEnd}},
        {"an echo error takes only its paragraph's OK", {{U"I", false}, {U"I", false}}, 0, false,
         Opened({Ans(0x70)}), false, {0x7F, 0xC9, 0x7F, 0xC9, 0xC9, 0xD2, 0xC5},
         {p1, "Error de comparación. E: 127 R: 112", "Grabando párrafo 2 de 2... OK.", kClosing,
          kBad, kEnd}},
        {"OK lands on an error line that did not stop the paragraph", {{U" I", false}}, 0, true,
         Opened({kMute}), false, {0x80, 0x80, 0x80, 0x7F, 0xC9, 0xD2, 0xC5},
         {"Grabando párrafo 1 de 1...", "Error de Timeout.", "Error: caracter 1 ( )" + err + " OK.",
          kClosing, kGood, kEnd}},
        {"an earlier recording's errors are cleared", {{U"I", false}}, 0, false, {}, true,
         {0x7F, 0xC9, 0xC9, 0xD2, 0xC5}, {"Grabando párrafo 1 de 1... OK.", kClosing, kGood, kEnd}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SignRig r;
        r.script(c.steps);
        r.puerto.ErrorGrabacion = r.puerto.ErrorParrafo = c.earlierErrors;
        opciones.joined = c.joined;
        std::vector<ParrafoAGrabar> paragraphs;
        for (const auto& [text, ignored] : c.paragraphs)
            paragraphs.push_back({text, font, c.separation, ignored});
        const bool closed = c.written.size() >= 3 && Bytes(c.written.end() - 3, c.written.end()) == kCleanClosing;
        EXPECT_EQ(RecordWholeMessage(r.grabador, paragraphs, opciones), closed);
        EXPECT_EQ(r.writtenAfter(kCleanOpening.size()), c.written);
        expectTail(r, c.tail);
    }
}

TEST_F(RecordingCommandsTest, FailedOpeningGoesStraightToTheClosing) {
    SignRig rig;
    rig.link.setResponder([](std::uint8_t) { return kMute; });
    EXPECT_FALSE(RecordWholeMessage(rig.grabador, {{U"I", font, 1, false}}, opciones));
    expectTail(rig, {"  -Reintento 3 de 3", "Error: reintentos superados.", kBad, kEnd});
    EXPECT_EQ(rig.link.written, Bytes({0xC3, 0xC3, 0xC3}));
}

TEST_F(RecordingCommandsTest, CurrentParagraph) {
    const struct {
        std::u32string text, selection;
        std::vector<Step> steps;
        bool earlierErrors;
        Bytes written;  // after the opening
        Lines tail;     // from the fifth line on
    } cases[] = {
        // A selection goes alone, without an OK mark or the separator.
        {U"IAI", U"AI", {}, false, {0x7E, 0x09, 0x09, 0x7E, 0x80, 0x7F, 0x80, 0xC9, 0xD2, 0xC5},
         {"Grabando selección: AI", kClosing, kGood, kEnd}},
        {U"año", U"ñ", {}, false, kCleanClosing, {"Grabando selección: ñ", kClosing, kGood, kEnd}},
        {U"IA", U"", {}, false, {0x7F, 0x80, 0x7E, 0x09, 0x09, 0x7E, 0x80, 0xC9, 0xD2, 0xC5},
         {"Grabando párrafo actual...OK", kClosing, kGood, kEnd}},
        {U"I", U"", {}, true, {0x7F, 0x80, 0xC9, 0xD2, 0xC5},
         {"Grabando párrafo actual...OK", kClosing, kGood, kEnd}},
        {U"I", U"", Opened({Ans(0)}), false, {0x7F, 0x80, 0xC9, 0xD2, 0xC5},
         {"Grabando párrafo actual...", "Error de comparación. E: 127 R: 0", kClosing, kBad, kEnd}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text) + "/" + ::testing::PrintToString(c.selection));
        SignRig r;
        r.script(c.steps);
        r.puerto.ErrorGrabacion = r.puerto.ErrorParrafo = c.earlierErrors;
        RecordCurrentParagraph(r.grabador, c.text, c.selection, font, 1, opciones);
        EXPECT_EQ(r.writtenAfter(kCleanOpening.size()), c.written);
        const Lines lines = r.view.lines();
        EXPECT_EQ(Lines(lines.begin() + 4, lines.end()), c.tail);
    }
}

}  // namespace
}  // namespace letrador::testing
