// Message recordings through the Qt serial stack against cartel-virtual on a pseudo-terminal:
// what goes over the line, byte for byte, what the sign read, and what the log says.
#include "tests/e2e/e2e_bench.h"

namespace letrador::testing {
namespace {

using cartel::FormatParagraph;

// "<4>HE A": the tag, H and its separation, E with its inner dark column sent as 80 and its
// separation, three blank columns, A and its separation; "I<A>I<3>": I, the code of "A", I, "3".
const Bytes kParagraph1 = {0xCA, 0x7F, 0x08, 0x08, 0x7F, 0x80, 0x80, 0x7F, 0x49, 0x80, 0x49, 0x41,
                           0x80, 0x80, 0x80, 0x80, 0x80, 0x7E, 0x09, 0x09, 0x7E, 0x80, 0x80};
const Bytes kParagraph2 = {0x7F, 0xC9, 0xD1, 0x7F, 0xC8};
const Bytes kWhole = Cat({kOpening, kParagraph1, {0xC9}, kParagraph2, {0xC9}, kClosing});
const Lines kRecognised = {"Usando puerto COM 5.", "Reconociendo dispositivo...",
                           "Cartel electrónico compatible.", "Comenzando grabación..."};
const std::string kP1Items = "<4> 7F 08 08 7F 80 80 7F 49 80 49 41 80 80 80 80 80 7E 09 09 7E 80 80";

TEST(E2eRecording, TwoParagraphsAndTheSignsFaults) {
    const Lines clean = {"Grabando párrafo 1 de 2... OK.", "Grabando párrafo 2 de 2... OK.",
                         "Finalizando grabación...", "La grabación se realizó sin errores.",
                         "Grabación finalizada."};
    const Lines whole = {kP1Items + " separador", "7F <A> 7F <3> separador"};
    const struct {
        const char* name;
        std::vector<std::string> faults;
        Verdict verdict;
        bool closed;  // the sign saw the closing sequence
        Lines lines;  // after the four lines of the opening
        Bytes bytes;
        Lines paragraphs;  // as the sign read them
    } cases[] = {
        {"clean", {}, Verdict::Clean, true, clean, kWhole, whole},
        // The start acknowledge comes 400 ms late, inside the wait.
        {"late but timely reply", {"--tarde", "3:400"}, Verdict::Clean, true, clean, kWhole, whole},
        // Byte 5 is the first column of H (7F); the sign answers 7E and received it all.
        {"echo mismatch", {"--eco-erroneo", "5"}, Verdict::Errors, true,
         {"Grabando párrafo 1 de 2...", "Error de comparación. E: 127 R: 126",
          "Grabando párrafo 2 de 2... OK.", "Finalizando grabación...",
          "Hubo errores en la grabación.", "Grabación finalizada."},
         kWhole, whole},
        // Byte 13 is the dark third column of E (80); nothing is answered from there on.
        {"time-out", {"--silencio", "13"}, Verdict::Errors, false,
         {"Grabando párrafo 1 de 2...", "Error de Timeout.",
          "Error: caracter 5 (E) no se grabó correctamente.", "Hubo errores en la grabación.",
          "Grabación finalizada."},
         Cat({kOpening, Bytes(kParagraph1.begin(), kParagraph1.begin() + 10)}),
         {"<4> 7F 08 08 7F 80 80 7F 49 80"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        E2eBench bench(5, c.faults);
        ASSERT_TRUE(bench.startSign());
        EXPECT_EQ(bench.recordTwoParagraphs(), c.verdict);
        Lines lines = kRecognised;
        lines.insert(lines.end(), c.lines.begin(), c.lines.end());
        EXPECT_EQ(bench.view.lines(), lines);
        const auto rec = bench.sign.stop();
        EXPECT_EQ(rec.exitCode, 0);
        EXPECT_EQ(rec.bytes, c.bytes);
        ASSERT_TRUE(rec.decoded) << rec.listing;
        ASSERT_EQ(rec.decoded->recordings.size(), 1u);
        const auto& r = rec.decoded->recordings[0];
        EXPECT_EQ(r.attentions, 2);
        EXPECT_EQ(r.closed, c.closed);
        Lines read;
        for (const auto& p : r.paragraphs) read.push_back(FormatParagraph(p));
        EXPECT_EQ(read, c.paragraphs);
    }
}

TEST(E2eRecording, PartialRecordsTheSelectionThenTheWholeParagraph) {
    E2eBench bench;
    ASSERT_TRUE(bench.startSign());
    // "&Parcial" with "E A" selected in "<4>HE A": only the selection, no OK mark, no separator.
    EXPECT_EQ(bench.record(CurrentParagraph{U"<4>HE A", U"E A", bench.font, 1, 3}), Verdict::Clean);
    EXPECT_EQ(bench.view.lines().at(4), "Grabando selección: E A");
    EXPECT_EQ(bench.view.lines().at(6), "La grabación se realizó sin errores.");
    EXPECT_EQ(bench.record(CurrentParagraph{U"I<3>", U"", bench.font, 1, 3}), Verdict::Clean);
    EXPECT_EQ(bench.view.lines().at(4), "Grabando párrafo actual...OK");
    const auto rec = bench.sign.stop();
    const Bytes selection = {0x7F, 0x49, 0x80, 0x49, 0x41, 0x80, 0x80,
                             0x80, 0x80, 0x7E, 0x09, 0x09, 0x7E, 0x80};
    EXPECT_EQ(rec.bytes, Cat({kOpening, selection, kClosing, kOpening, {0x7F, 0x80, 0xC8}, kClosing}));
}

// The turn display in every style, as the sign reads it.
TEST(E2eRecording, TurnDisplayInEveryStyle) {
    for (auto [style, bytes] : {std::pair{1, 1500}, {2, 1100}, {3, 1300}}) {
        SCOPED_TRACE(style);
        E2eBench bench;
        ASSERT_TRUE(bench.startSign());
        EXPECT_EQ(bench.record(TurnDisplay{style, std::nullopt}), Verdict::Clean);
        EXPECT_EQ(bench.view.lines().at(5), "La grabación se realizó sin errores.");
        const auto rec = bench.sign.stop();
        EXPECT_EQ(rec.bytes.size(), kOpening.size() + bytes + kClosing.size());
        ASSERT_TRUE(rec.decoded) << rec.listing;
        ASSERT_EQ(rec.decoded->recordings.size(), 1u);
        const auto& r = rec.decoded->recordings[0];
        EXPECT_EQ(r.kind, cartel::Recording::Kind::TurnDisplay);
        EXPECT_TRUE(r.closed);
        EXPECT_EQ(r.turn.style, style);
        ASSERT_EQ(r.turn.entries.size(), 100u);
        for (int n = 0; n < 100; ++n) {
            EXPECT_EQ(r.turn.entries[n].number, n);
            EXPECT_TRUE(r.turn.entries[n].complete);
        }
    }
}

}  // namespace
}  // namespace letrador::testing
