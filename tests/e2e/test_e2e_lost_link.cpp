// A sign that vanishes mid-recording, through the Qt serial stack on a real pseudo-terminal: the
// recording ends on its own, soon, with the loss in the log, its verdict and the port closed.
#include <cstdio>

#include "tests/e2e/e2e_bench.h"
#include "tests/support/sign_loss.h"

namespace letrador::testing {
namespace {

using namespace std::chrono_literals;

TEST(E2eLostLink, TheRecordingEndsSoonAfterTheSignVanishes) {
    const std::string opened = "Usando puerto COM 5.|Reconociendo dispositivo...|Cartel electrónico compatible.|"
                               "Comenzando grabación...|",
                      lost = "Se perdió la conexión con el puerto COM 5.|Error de Timeout.|",
                      end = "Hubo errores en la grabación.|Grabación finalizada.";
    const struct {
        const char* name;
        long long atByte;  // the byte whose reply the sign holds when it goes
        bool stopOutput;   // the program's next byte is still waiting to drain when it goes
        bool turns;        // a turn display in style 2, else the two paragraphs
        std::chrono::milliseconds bound;
        std::string log;
    } cases[] = {
        {"handshake", 0, false, false, 6000ms,
         "Usando puerto COM 5.|Reconociendo dispositivo...|" + lost + "  -Reintento 1 de 3|Error de Timeout.|"
         "  -Reintento 2 de 3|Error de Timeout.|  -Reintento 3 de 3|Error: reintentos superados.|" + end},
        {"paragraph", 12, false, false, 1500ms,
         opened + "Grabando párrafo 1 de 2...|" + lost + "Error: caracter 5 (E) no se grabó correctamente.|" + end},
        // Byte 27 is the first separator; bytes 34 to 36 are the closing.
        {"separator", 27, false, false, 1500ms, opened + "Grabando párrafo 1 de 2...|" + lost + end},
        {"closing", 35, false, false, 1500ms,
         opened + "Grabando párrafo 1 de 2... OK.|Grabando párrafo 2 de 2... OK.|Finalizando grabación...|" + lost + end},
        // Byte 11 is the first column of E; its second one never leaves.
        // Byte 62 is a column of the entry 05.
        {"turn display", 62, false, true, 1500ms,
         "Usando puerto COM 5.|Reconociendo modelo de cartel...|Cartel electrónico compatible.|"
         "Comenzando grabación...|" + lost + end},
        {"output draining", 11, true, false, 1500ms,
         opened + "Grabando párrafo 1 de 2...|" + lost + "Error: caracter 5 (E) no se grabó correctamente.|" + end},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The held reply outlasts the kill; when the output is stopped it comes first.
        E2eBench bench(5, {"--tarde", std::to_string(c.atByte) + (c.stopOutput ? ":400" : ":800")});
        ASSERT_TRUE(bench.startSign());
        SignLoss loss(bench.sign, {c.atByte, c.stopOutput ? 900ms : 150ms, c.stopOutput});
        const Verdict verdict = c.turns ? bench.record(TurnDisplay{2, std::nullopt}) : bench.recordTwoParagraphs();
        EXPECT_EQ(verdict, Verdict::LinkLost);
        const auto ended = SignLoss::Clock::now();
        loss.join();
        ASSERT_TRUE(loss.killed());
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(ended - loss.killedAt());
        std::printf("[ lost link ] %s: ended %lld ms after the sign went\n", c.name, static_cast<long long>(took.count()));
        EXPECT_LE(took, c.bound);
        std::string log;
        for (const auto& line : bench.view.lines()) log += (log.empty() ? "" : "|") + line;
        EXPECT_EQ(log, c.log);
        // Nothing went out after the byte the sign held.
        EXPECT_EQ(bench.sign.stop().bytes.size(), static_cast<std::size_t>(c.atByte + 1));
    }
}

}  // namespace
}  // namespace letrador::testing
