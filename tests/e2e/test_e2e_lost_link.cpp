// A sign that vanishes mid-recording, through the Qt serial stack on a real pseudo-terminal: the
// recording ends on its own, soon, with the loss in the log, the errors verdict and the port
// closed.
#include <cstdio>
#include <functional>

#include "tests/e2e/e2e_bench.h"
#include "tests/support/sign_loss.h"

namespace letrador::testing {
namespace {

using namespace std::chrono_literals;

Lines Join(std::initializer_list<Lines> parts) {
    Lines out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(E2eLostLink, TheRecordingEndsSoonAfterTheSignVanishes) {
    const Lines recognised = {"Usando puerto COM 5.", "Reconociendo dispositivo...",
                              "Cartel electrónico compatible.", "Comenzando grabación..."};
    const Lines lost = {"Se perdió la conexión con el puerto COM 5.", "Error de Timeout."};
    const Lines end = {"Hubo errores en la grabación.", "Grabación finalizada."};
    const Lines paragraph1 = {"Grabando párrafo 1 de 2..."};
    const Lines error5 = {"Error: caracter 5 (E) no se grabó correctamente."};
    const auto two = [](E2eBench& b) { return b.recordTwoParagraphs(); };
    struct Case {
        const char* name;
        std::function<Verdict(E2eBench&)> record;
        long long atByte;  // the byte whose reply the sign holds when it goes
        bool stopOutput;   // the program's next byte is still waiting to drain when it goes
        std::chrono::milliseconds bound;
        Lines lines;
    };
    // Two paragraphs: bytes 4 to 26, separator 27, 28 to 32, separator 33, closing 34 to 36.
    const std::vector<Case> cases = {
        {"handshake", two, 0, false, 6000ms,
         Join({{"Usando puerto COM 5.", "Reconociendo dispositivo..."}, lost,
               {"  -Reintento 1 de 3", "Error de Timeout.", "  -Reintento 2 de 3",
                "Error de Timeout.", "  -Reintento 3 de 3", "Error: reintentos superados."},
               end})},
        {"paragraph", two, 12, false, 1500ms, Join({recognised, paragraph1, lost, error5, end})},
        {"separator", two, 27, false, 1500ms, Join({recognised, paragraph1, lost, end})},
        {"closing", two, 35, false, 1500ms,
         Join({recognised,
               {"Grabando párrafo 1 de 2... OK.", "Grabando párrafo 2 de 2... OK.",
                "Finalizando grabación..."},
               lost, end})},
        // Byte 62 is a column of the entry 05.
        {"turn display", [](E2eBench& b) { return b.record(TurnDisplay{2, std::nullopt}); },
         62, false, 1500ms,
         Join({{"Usando puerto COM 5.", "Reconociendo modelo de cartel...",
                "Cartel electrónico compatible.", "Comenzando grabación..."},
               lost, end})},
        // Byte 11 is the first column of E; its second one never leaves.
        {"output draining", two, 11, true, 1500ms, Join({recognised, paragraph1, lost, error5, end})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The held reply outlasts the kill; when the output is stopped it comes first.
        E2eBench bench(5, {"--tarde", std::to_string(c.atByte) + (c.stopOutput ? ":400" : ":800")});
        ASSERT_TRUE(bench.startSign());
        SignLoss loss(bench.sign, {c.atByte, c.stopOutput ? 900ms : 150ms, c.stopOutput});
        EXPECT_EQ(c.record(bench), Verdict::LinkLost);
        const auto ended = SignLoss::Clock::now();
        loss.join();
        ASSERT_TRUE(loss.killed());
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(ended - loss.killedAt());
        std::printf("[ lost link ] %s: ended %lld ms after the sign went\n", c.name,
                    static_cast<long long>(took.count()));
        EXPECT_LE(took, c.bound);
        EXPECT_EQ(bench.view.lines(), c.lines);
        // Nothing went out after the byte the sign held.
        EXPECT_EQ(bench.sign.stop().bytes.size(), static_cast<std::size_t>(c.atByte + 1));
    }
}

}  // namespace
}  // namespace letrador::testing
