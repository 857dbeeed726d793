// A message recorded through the Qt serial stack into cartel-virtual on a pseudo-terminal, in real
// time: what goes over the line byte for byte, what the sign read, and what the log says.
#include "tests/e2e/e2e_bench.h"

namespace letrador::testing {
namespace {

// "<4>HE A": the tag, H and its separation, E with its inner dark column sent as 80 and its
// separation, three blank columns, A and its separation; "I<A>I<3>": I, the code of "A", I, "3".
const Bytes kParagraph1 = {0xCA, 0x7F, 0x08, 0x08, 0x7F, 0x80, 0x80, 0x7F, 0x49, 0x80, 0x49, 0x41,
                           0x80, 0x80, 0x80, 0x80, 0x80, 0x7E, 0x09, 0x09, 0x7E, 0x80, 0x80};
const Bytes kOpening = {0xC3, 0x01, 0xC3, 0x02};

TEST(E2eRecording, TwoParagraphsOnTimeLateAndSilent) {
    const Lines clean = {"Grabando párrafo 1 de 2... OK.", "Grabando párrafo 2 de 2... OK.", "Finalizando grabación...",
                         "La grabación se realizó sin errores.", "Grabación finalizada."};
    const Bytes whole = Cat({kOpening, kParagraph1, {0xC9, 0x7F, 0xC9, 0xD1, 0x7F, 0xC8, 0xC9, 0xC9, 0xD2, 0xC5}});
    const std::string p1 = "<4> 7F 08 08 7F 80 80 7F 49 80";
    const Lines both = {p1 + " 49 41 80 80 80 80 80 7E 09 09 7E 80 80 separador", "7F <A> 7F <3> separador"};
    const struct {
        const char* name;
        std::vector<std::string> faults;
        Verdict verdict;
        Lines lines;  // after the four lines of the opening
        Bytes bytes;
        Lines paragraphs;  // as the sign read them
    } cases[] = {
        {"clean", {}, Verdict::Clean, clean, whole, both},
        // The start acknowledge comes 400 ms late, inside the wait.
        {"late but timely reply", {"--tarde", "3:400"}, Verdict::Clean, clean, whole, both},
        // Byte 13 is the dark third column of E (80); nothing is answered from there on.
        {"time-out", {"--silencio", "13"}, Verdict::Errors,
         {"Grabando párrafo 1 de 2...", "Error de Timeout.", "Error: caracter 5 (E) no se grabó correctamente.",
          "Hubo errores en la grabación.", "Grabación finalizada."},
         Cat({kOpening, Bytes(kParagraph1.begin(), kParagraph1.begin() + 10)}), {p1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        E2eBench bench(5, c.faults);
        ASSERT_TRUE(bench.startSign());
        EXPECT_EQ(bench.recordTwoParagraphs(), c.verdict);
        Lines lines = {"Usando puerto COM 5.", "Reconociendo dispositivo...", "Cartel electrónico compatible.",
                       "Comenzando grabación..."};
        lines.insert(lines.end(), c.lines.begin(), c.lines.end());
        EXPECT_EQ(bench.view.lines(), lines);
        const auto rec = bench.sign.stop();
        EXPECT_EQ(rec.exitCode, 0);
        EXPECT_EQ(rec.bytes, c.bytes);
        ASSERT_TRUE(rec.decoded) << rec.listing;
        ASSERT_EQ(rec.decoded->recordings.size(), 1u);
        const auto& r = rec.decoded->recordings[0];
        EXPECT_EQ(r.attentions, 2);
        EXPECT_EQ(r.closed, c.verdict == Verdict::Clean);
        Lines read;
        for (const auto& p : r.paragraphs) read.push_back(cartel::FormatParagraph(p));
        EXPECT_EQ(read, c.paragraphs);
    }
}

}  // namespace
}  // namespace letrador::testing
