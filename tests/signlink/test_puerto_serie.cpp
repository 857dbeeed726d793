// The byte exchanges: echo check, reply read, time-out, the handlers and the lost line.
#include <gtest/gtest.h>

#include <functional>

#include "tests/signlink/sign_rig.h"

namespace letrador::testing {
namespace {

using Lines = std::vector<std::string>;
using L = platform::ScriptedSerialLink;

TEST(PuertoSerie, Exchanges) {
    const std::string timeOut = "\r\nError de Timeout.";
    const struct {
        const char* name;
        Step step;
        bool compare;  // EnviarComparar, else EnviarLeer
        std::uint8_t sent;
        int result;        // EnviarLeer's reply, or EnviarComparar's 1/0
        long long ticks;   // simulated ticks it takes, when checked
        std::string log;
        bool flagged = false;  // ErrorParrafo and ErrorGrabacion
        int drainEvents = 0;
    } cases[] = {
        {"equal echo", Ans(0x41), true, 0x41, 1, -1, ""},
        {"different echo", Ans(13), true, 12, 1, -1, "\r\nError de comparación. E: 12 R: 13", true},
        {"values in decimal", Ans(0), true, 0xC9, 1, -1, "\r\nError de comparación. E: 201 R: 0", true},
        {"no echo", kMute, true, 0x41, 0, 10, timeOut},
        {"no reply", kMute, false, 0xC3, -1, 10, timeOut},
        {"reply with the last tick", L::ReplyAtTick(0x77, 10), false, 0xC3, 0x77, 10, ""},
        {"echo with the last tick", L::ReplyAtTick(0x41, 10), true, 0x41, 1, 10, ""},
        {"reply a tick too late", L::ReplyAtTick(0x77, 11), false, 0xC3, -1, 10, timeOut},
        {"reply at tick nine", L::ReplyAtTick(0x10, 9), false, 0x10, 0x10, 9, ""},
        {"two bytes together: the second is the reply", L::Together({0x11, 0x22}), false, 0xC3, 0x22, -1, ""},
        {"two bytes together: the second is the echo", L::Together({0x41, 0x42}), true, 0x41, 1, -1,
         "\r\nError de comparación. E: 65 R: 66", true},
        {"zero reply", Ans(0), false, 0x01, 0, -1, ""},
        {"zero echo", Ans(0), true, 0x00, 1, -1, ""},
        {"reply while the output drains", Ans(0x5A), false, 0x01, 0x5A, -1, "", false, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SignRig rig;
        rig.link.setPort(3);
        ASSERT_TRUE(rig.link.open(nullptr));
        rig.link.drainEvents = c.drainEvents;
        rig.link.queue(c.step);
        const long long before = rig.ticker.now();
        EXPECT_EQ(c.compare ? int(rig.puerto.EnviarComparar(c.sent)) : rig.puerto.EnviarLeer(c.sent),
                  c.result);
        EXPECT_EQ(rig.link.written, Bytes{c.sent});
        if (c.ticks >= 0) { EXPECT_EQ(rig.ticker.now() - before, c.ticks); }
        EXPECT_EQ(rig.view.log().text(), c.log);
        EXPECT_EQ(rig.puerto.ErrorParrafo, c.flagged);
        EXPECT_EQ(rig.puerto.ErrorGrabacion, c.flagged);
        // Each turn of the wait blocks until something happens: here, one tick each time.
        if (c.step.reply.empty()) { EXPECT_EQ(rig.pump.waits, 10); }
    }
}

TEST(PuertoSerie, StrayByteBeforeTheExchangeIsNotTakenAsItsReply) {
    SignRig rig;
    ASSERT_TRUE(rig.link.open(nullptr));
    rig.link.injectArrival({1, 2, 0x41});
    rig.pump.processPending();
    // The handler reads every waiting byte and keeps the last.
    EXPECT_EQ(rig.puerto.ByteRecibido, 0x41);
    EXPECT_EQ(rig.link.bytesAvailable(), 0);
    rig.link.queue(kMute);
    EXPECT_FALSE(rig.puerto.EnviarComparar(0x41));
    EXPECT_EQ(rig.view.lines().back(), "Error de Timeout.");
}

// A line lost at some moment: the exchange that meets it ends at once with the loss line and a
// time-out; later ones write nothing and wait for nothing; the pauses end too. Opening the port
// again makes the line good, and a second loss is reported again.
TEST(PuertoSerie, LostLineEndsEveryExchangeAtOnce) {
    struct Case {
        const char* name;
        std::function<void(SignRig&)> lose;  // runs after one good exchange
        long long ticksOfFirst;              // simulated ticks the first lost exchange takes
        std::size_t bytesOfFirst;            // bytes it writes
    };
    const std::vector<Case> cases = {
        {"the write fails", [](SignRig& r) { r.link.queue(L::Lost()); }, 0, 1},
        {"failed write while draining",
         [](SignRig& r) {
             r.link.drainEvents = 5;
             r.link.queue(L::Lost());
         },
         0, 1},
        {"hang-up while waiting", [](SignRig& r) { r.link.queue(L::Lost(4)); }, 4, 1},
        {"lost between exchanges",
         [](SignRig& r) {
             r.link.loseLine();
             r.pump.processPending();
         },
         0, 0},
        {"port closed under us", [](SignRig& r) { r.link.close(); }, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SignRig r;
        r.link.setPort(7);
        ASSERT_TRUE(r.link.open(nullptr));
        for (int round = 0; round < 2; ++round) {
            EXPECT_TRUE(r.puerto.EnviarComparar(0x41));
            const std::size_t before = r.link.written.size();
            c.lose(r);
            const long long t0 = r.ticker.now();
            EXPECT_FALSE(r.puerto.EnviarComparar(0x42));
            EXPECT_EQ(r.ticker.now() - t0, c.ticksOfFirst);
            EXPECT_EQ(r.link.written.size(), before + c.bytesOfFirst);
            EXPECT_EQ(r.puerto.EnviarLeer(0xC3), -1);
            r.puerto.Pausa(5);
            EXPECT_EQ(r.ticker.now() - t0, c.ticksOfFirst);
            EXPECT_EQ(r.link.written.size(), before + c.bytesOfFirst);
            EXPECT_EQ(r.link.writesWhileLost + r.link.writesWhileClosed, 0);
            const auto lines = r.view.lines();
            ASSERT_GE(lines.size(), 3u);
            EXPECT_EQ(Lines(lines.end() - 3, lines.end()),
                      (Lines{"Se perdió la conexión con el puerto COM 7.", "Error de Timeout.",
                             "Error de Timeout."}));
            ASSERT_TRUE(r.link.open(nullptr));
        }
        EXPECT_EQ(r.view.lines().size(), 7u);  // "" and the three lines of each round
    }
}

TEST(PuertoSerie, TickerCountsUpToTenThousandThenFallsBackToTenAndPausaWaitsItsTicks) {
    SignRig rig;
    rig.puerto.ContadorTicks = 0;
    rig.ticker.advance();
    rig.ticker.advance();
    EXPECT_EQ(rig.puerto.ContadorTicks, 2);
    for (int k = 2; k < 10000; ++k) rig.puerto.Timer1_Timer();
    EXPECT_EQ(rig.puerto.ContadorTicks, 10000);
    rig.puerto.Timer1_Timer();
    EXPECT_EQ(rig.puerto.ContadorTicks, 10);
    rig.puerto.Timer1_Timer();
    EXPECT_EQ(rig.puerto.ContadorTicks, 11);
    ASSERT_TRUE(rig.link.open(nullptr));
    const long long before = rig.ticker.now();
    rig.puerto.Pausa(5);
    EXPECT_EQ(rig.ticker.now() - before, 5);
    EXPECT_EQ(rig.puerto.ContadorTicks, 5);
}

}  // namespace
}  // namespace letrador::testing
