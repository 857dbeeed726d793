// "&Total" and "&Parcial" from the opening to the closing: what follows the opening on the wire,
// and how the log ends.
#include <gtest/gtest.h>

#include <optional>

#include "signlink/recording_commands.h"
#include "tests/signlink/sign_rig.h"

namespace letrador::testing {
namespace {

const std::string kClosed = "Finalizando grabación...|La grabación se realizó sin errores.|Grabación finalizada.",
                  kFailed = "Hubo errores en la grabación.|Grabación finalizada.";

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
        EXPECT_EQ(r.writtenAfter(kCleanOpening.size()), Hex(c.written));
        EXPECT_EQ(r.log(4), c.log);
    }
}

}  // namespace
}  // namespace letrador::testing
