// A message recorded through the Qt serial stack into cartel-virtual on a pseudo-terminal, in real
// time: what goes over the line byte for byte, what the sign read, and what the log says; and a
// sign that vanishes mid-recording: the recording ends on its own, soon, with the loss in the log.
#include <cstdio>

#include "tests/e2e/e2e_bench.h"

namespace letrador::testing {
namespace {

using namespace std::chrono_literals;

// "<4>HE A": the tag, H and its separation, E with its inner dark column sent as 80 and its
// separation, three blank columns, A and its separation; "I<A>I<3>": I, the code of "A", I, "3".
const Bytes kParagraph1 = {0xCA, 0x7F, 0x08, 0x08, 0x7F, 0x80, 0x80, 0x7F, 0x49, 0x80, 0x49, 0x41,
                           0x80, 0x80, 0x80, 0x80, 0x80, 0x7E, 0x09, 0x09, 0x7E, 0x80, 0x80};
const Bytes kOpening = {0xC3, 0x01, 0xC3, 0x02};

TEST(E2eRecording, TwoParagraphsOnTimeLateSilentOrWithTheSignGone) {
    const Bytes whole = Cat({kOpening, kParagraph1, {0xC9, 0x7F, 0xC9, 0xD1, 0x7F, 0xC8, 0xC9, 0xC9, 0xD2, 0xC5}});
    const std::string p1 = "<4> 7F 08 08 7F 80 80 7F 49 80";
    const Lines both = {p1 + " 49 41 80 80 80 80 80 7E 09 09 7E 80 80 separador", "7F <A> 7F <3> separador"};
    const std::string found = "Reconociendo dispositivo...|Cartel electrónico compatible.|Comenzando grabación...|",
                      first = found + "Grabando párrafo 1 de 2...|",
                      sent = found + "Grabando párrafo 1 de 2... OK.|Grabando párrafo 2 de 2... OK.|"
                                     "Finalizando grabación...|",
                      clean = sent + "La grabación se realizó sin errores.|Grabación finalizada.",
                      lost = "Se perdió la conexión con el puerto COM 5.|Error de Timeout.|",
                      notE = "Error: caracter 5 (E) no se grabó correctamente.|",
                      end = "Hubo errores en la grabación.|Grabación finalizada.";
    using Plan = SignLoss::Plan;
    const struct {
        const char* name;
        std::vector<std::string> faults;
        Verdict verdict;
        std::string log;   // after "Usando puerto COM 5."
        Bytes bytes;       // what the sign received
        Lines paragraphs;  // as the sign read them
        // The sign goes once this byte is in, holding its reply; the recording ends within `bound`.
        std::optional<Plan> loss = std::nullopt;
        std::chrono::milliseconds bound{};
        bool turns = false;  // a turn display in style 2, else the two paragraphs
    } cases[] = {
        {"clean", {}, Verdict::Clean, clean, whole, both},
        // The start acknowledge comes 400 ms late, inside the wait.
        {"late but timely reply", {"--tarde", "3:400"}, Verdict::Clean, clean, whole, both},
        // Byte 13 is the dark third column of E (80); nothing is answered from there on.
        {"time-out", {"--silencio", "13"}, Verdict::Errors, first + "Error de Timeout.|" + notE + end,
         Cat({kOpening, Bytes(kParagraph1.begin(), kParagraph1.begin() + 10)}), {p1}},
        {"lost in the handshake", {}, Verdict::LinkLost,
         "Reconociendo dispositivo...|" + lost + "  -Reintento 1 de 3|Error de Timeout.|  -Reintento 2 de 3|"
         "Error de Timeout.|  -Reintento 3 de 3|Error: reintentos superados.|" + end, {}, {}, Plan{0}, 6000ms},
        {"lost in a paragraph", {}, Verdict::LinkLost, first + lost + notE + end, {}, {}, Plan{12}, 1500ms},
        // Byte 27 is the first separator; bytes 34 to 36 are the closing.
        {"lost at a separator", {}, Verdict::LinkLost, first + lost + end, {}, {}, Plan{27}, 1500ms},
        {"lost in the closing", {}, Verdict::LinkLost, sent + lost + end, {}, {}, Plan{35}, 1500ms},
        // Byte 62 is a column of the entry 05.
        {"lost in a turn display", {}, Verdict::LinkLost,
         "Reconociendo modelo de cartel...|Cartel electrónico compatible.|Comenzando grabación...|" + lost + end,
         {}, {}, Plan{62}, 1500ms, true},
        // Byte 11 is the first column of E; its second one never leaves.
        {"lost while output drains", {}, Verdict::LinkLost, first + lost + notE + end, {}, {}, Plan{11, 900ms, true},
         1500ms},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto faults = c.faults;
        // The held reply outlasts the kill; when the output is stopped it comes first.
        if (c.loss) faults = {"--tarde", std::to_string(c.loss->atByte) + (c.loss->stopOutput ? ":400" : ":800")};
        E2eBench bench(5, faults);
        ASSERT_TRUE(bench.startSign());
        std::optional<SignLoss> loss;
        if (c.loss) loss.emplace(bench.sign, *c.loss);
        EXPECT_EQ(c.turns ? bench.record(TurnDisplay{2, std::nullopt}) : bench.recordTwoParagraphs(), c.verdict);
        const auto ended = SignLoss::Clock::now();
        std::string log;
        for (const auto& line : bench.view.lines()) log += (log.empty() ? "" : "|") + line;
        EXPECT_EQ(log, "Usando puerto COM 5.|" + c.log);
        if (loss) {
            loss->join();
            ASSERT_TRUE(loss->killed());
            const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(ended - loss->killedAt());
            std::printf("[ lost link ] %s: ended %lld ms after the sign went\n", c.name,
                        static_cast<long long>(took.count()));
            EXPECT_LE(took, c.bound);
            // Nothing went out after the byte the sign held.
            EXPECT_EQ(bench.sign.stop().bytes.size(), static_cast<std::size_t>(c.loss->atByte + 1));
            continue;
        }
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
