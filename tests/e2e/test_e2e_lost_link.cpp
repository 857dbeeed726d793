// A sign that vanishes mid-recording, through the Qt serial stack on a real pseudo-terminal: the
// recording ends on its own, soon, with the loss in the log, the errors verdict and the port
// closed.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>

#include "signlink/recording_commands.h"
#include "signlink/turnero.h"
#include "tests/e2e/e2e_bench.h"
#include "tests/support/sign_loss.h"

namespace letrador::testing {
namespace {

using namespace std::chrono_literals;

const std::vector<std::string> kRecognised = {"Usando puerto COM 5.", "Reconociendo dispositivo...",
                                              "Cartel electrónico compatible.",
                                              "Comenzando grabación..."};
const std::vector<std::string> kLost = {"Se perdió la conexión con el puerto COM 5.",
                                        "Error de Timeout."};
const std::vector<std::string> kEnd = {"Hubo errores en la grabación.", "Grabación finalizada."};

std::vector<std::string> Lines(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

bool RecordTwoParagraphs(E2eBench& b) {
    OpcionesGrabacion o;
    o.textoPuerto = b.portText;
    o.spaceWidth = 3;
    // "<4>HE A" with separation 2 (bytes 4 to 26, then the separator 27), "I<A>I<3>" (28 to
    // 32, separator 33), closing 34 to 36.
    return RecordWholeMessage(b.grabador,
                              {{U"<4>HE A", b.font, 2, false}, {U"I<A>I<3>", b.font, 0, false}}, o);
}

bool RecordTurnDisplay(E2eBench& b) {
    return Turnero(b.grabador).GrabarTurnero(2, b.portText);
}

TEST(E2eLostLink, TheRecordingEndsSoonAfterTheSignVanishes) {
    struct Case {
        const char* name;
        std::function<bool(E2eBench&)> record;
        long long atByte;  // the byte whose reply the sign holds when it goes
        bool stopOutput;   // the program's next byte is still waiting to drain when it goes
        std::chrono::milliseconds bound;
        std::vector<std::string> lines;
    };
    const std::string error5 = "Error: caracter 5 (E) no se grabó correctamente.";
    const std::vector<Case> cases = {
        {"handshake", RecordTwoParagraphs, 0, false, 6000ms,
         Lines({{"Usando puerto COM 5.", "Reconociendo dispositivo..."},
                kLost,
                {"  -Reintento 1 de 3", "Error de Timeout.", "  -Reintento 2 de 3",
                 "Error de Timeout.", "  -Reintento 3 de 3", "Error: reintentos superados."},
                kEnd})},
        {"paragraph", RecordTwoParagraphs, 12, false, 1500ms,
         Lines({kRecognised, {"Grabando párrafo 1 de 2..."}, kLost, {error5}, kEnd})},
        {"separator", RecordTwoParagraphs, 27, false, 1500ms,
         Lines({kRecognised, {"Grabando párrafo 1 de 2..."}, kLost, kEnd})},
        {"closing", RecordTwoParagraphs, 35, false, 1500ms,
         Lines({kRecognised,
                {"Grabando párrafo 1 de 2... OK.", "Grabando párrafo 2 de 2... OK.",
                 "Finalizando grabación..."},
                kLost,
                kEnd})},
        // Byte 62 is a column of the entry 05.
        {"turn display", RecordTurnDisplay, 62, false, 1500ms,
         Lines({{"Usando puerto COM 5.", "Reconociendo modelo de cartel...",
                 "Cartel electrónico compatible.", "Comenzando grabación..."},
                kLost,
                kEnd})},
        // Byte 11 is the first column of E; its second one never leaves.
        {"output draining", RecordTwoParagraphs, 11, true, 1500ms,
         Lines({kRecognised, {"Grabando párrafo 1 de 2..."}, kLost, {error5}, kEnd})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The held reply outlasts the kill; when the output is stopped it comes first.
        const std::string hold = c.stopOutput ? ":400" : ":800";
        E2eBench bench(5, {"--tarde", std::to_string(c.atByte) + hold});
        ASSERT_TRUE(bench.startSign());
        SignLoss loss(bench.sign, {c.atByte, c.stopOutput ? 900ms : 150ms, c.stopOutput});
        EXPECT_FALSE(c.record(bench));
        const auto ended = SignLoss::Clock::now();
        loss.join();
        ASSERT_TRUE(loss.killed());
        const auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(ended - loss.killedAt());
        std::printf("[ lost link ] %s: ended %lld ms after the sign went\n", c.name,
                    static_cast<long long>(took.count()));
        EXPECT_LE(took, c.bound);
        EXPECT_EQ(bench.view.lines(), c.lines);
        EXPECT_FALSE(bench.link.isOpen());
        // Nothing went out after the byte the sign held.
        EXPECT_EQ(bench.sign.stop().bytes.size(), static_cast<std::size_t>(c.atByte + 1));
    }
}

}  // namespace
}  // namespace letrador::testing
