// The byte exchanges: echo check, reply read, time-out, and the two handlers.
#include <gtest/gtest.h>

#include <functional>

#include "tests/signlink/sign_rig.h"

namespace letrador::testing {
namespace {

using platform::ScriptedSerialLink;

class PuertoSerieTest : public ::testing::Test {
  protected:
    void SetUp() override {
        rig.link.setPort(3);
        ASSERT_TRUE(rig.link.open(nullptr));
        // Every line the exchanges write starts a new line; an empty first line shows up as "".
    }
    std::vector<std::string> logLines() const { return rig.view.lines(); }
    SignRig rig;
};

TEST_F(PuertoSerieTest, EqualEchoIsTrueAndLogsNothing) {
    EXPECT_TRUE(rig.puerto.EnviarComparar(0x41));
    EXPECT_EQ(rig.link.written, Bytes({0x41}));
    EXPECT_EQ(rig.view.log().text(), "");
    EXPECT_FALSE(rig.puerto.ErrorParrafo);
    EXPECT_FALSE(rig.puerto.ErrorGrabacion);
}

TEST_F(PuertoSerieTest, DifferentEchoIsLoggedSetsBothFlagsAndStillTrue) {
    rig.link.queue(ScriptedSerialLink::Reply(13));
    EXPECT_TRUE(rig.puerto.EnviarComparar(12));
    EXPECT_EQ(rig.view.log().text(), "\r\nError de comparación. E: 12 R: 13");
    EXPECT_TRUE(rig.puerto.ErrorParrafo);
    EXPECT_TRUE(rig.puerto.ErrorGrabacion);
}

TEST_F(PuertoSerieTest, MismatchValuesAreWrittenInDecimal) {
    rig.link.queue(ScriptedSerialLink::Reply(0x00));
    EXPECT_TRUE(rig.puerto.EnviarComparar(0xC9));
    EXPECT_EQ(logLines().back(), "Error de comparación. E: 201 R: 0");
}

TEST_F(PuertoSerieTest, NoReplyTimesOutAfterTenTicks) {
    rig.link.queue(ScriptedSerialLink::Silence());
    const long long before = rig.ticker.now();
    EXPECT_FALSE(rig.puerto.EnviarComparar(0x41));
    EXPECT_EQ(rig.ticker.now() - before, 10);
    EXPECT_EQ(rig.view.log().text(), "\r\nError de Timeout.");
    EXPECT_FALSE(rig.puerto.ErrorGrabacion);

    rig.link.queue(ScriptedSerialLink::Silence());
    EXPECT_EQ(rig.puerto.EnviarLeer(0xC3), -1);
    EXPECT_EQ(logLines(), (std::vector<std::string>{"", "Error de Timeout.", "Error de Timeout."}));
}

TEST_F(PuertoSerieTest, ReplyArrivingWithTheLastTickIsAccepted) {
    rig.link.queue(ScriptedSerialLink::ReplyAtTick(0x77, 10));
    EXPECT_EQ(rig.puerto.EnviarLeer(0xC3), 0x77);
    EXPECT_EQ(rig.view.log().text(), "");

    rig.link.queue(ScriptedSerialLink::ReplyAtTick(0x41, 10));
    EXPECT_TRUE(rig.puerto.EnviarComparar(0x41));
    EXPECT_EQ(rig.view.log().text(), "");
}

TEST_F(PuertoSerieTest, ReplyOneTickTooLateIsATimeOut) {
    rig.link.queue(ScriptedSerialLink::ReplyAtTick(0x77, 11));
    EXPECT_EQ(rig.puerto.EnviarLeer(0xC3), -1);
    EXPECT_EQ(logLines().back(), "Error de Timeout.");
}

TEST_F(PuertoSerieTest, ReplyAtTickNineIsAcceptedBeforeTheLimit) {
    rig.link.queue(ScriptedSerialLink::ReplyAtTick(0x10, 9));
    const long long before = rig.ticker.now();
    EXPECT_EQ(rig.puerto.EnviarLeer(0x10), 0x10);
    EXPECT_EQ(rig.ticker.now() - before, 9);
}

TEST_F(PuertoSerieTest, TwoBytesTogetherTheSecondIsTheReply) {
    rig.link.queue(ScriptedSerialLink::Together({0x11, 0x22}));
    EXPECT_EQ(rig.puerto.EnviarLeer(0xC3), 0x22);

    rig.link.queue(ScriptedSerialLink::Together({0x41, 0x42}));
    EXPECT_TRUE(rig.puerto.EnviarComparar(0x41));
    EXPECT_EQ(logLines().back(), "Error de comparación. E: 65 R: 66");
}

TEST_F(PuertoSerieTest, ZeroIsAValidReply) {
    rig.link.queue(ScriptedSerialLink::Reply(0x00));
    EXPECT_EQ(rig.puerto.EnviarLeer(0x01), 0);
    rig.link.queue(ScriptedSerialLink::Reply(0x00));
    EXPECT_TRUE(rig.puerto.EnviarComparar(0x00));
    EXPECT_EQ(rig.view.log().text(), "");
}

TEST_F(PuertoSerieTest, ReplyArrivingWhileTheOutputDrainsIsNotLost) {
    rig.link.drainEvents = 3;
    rig.link.queue(ScriptedSerialLink::Reply(0x5A));
    EXPECT_EQ(rig.puerto.EnviarLeer(0x01), 0x5A);
    EXPECT_EQ(rig.view.log().text(), "");
}

TEST_F(PuertoSerieTest, StrayByteBeforeTheExchangeIsNotTakenAsItsReply) {
    rig.link.injectArrival({0x41});
    rig.pump.processPending();
    EXPECT_EQ(rig.puerto.ByteRecibido, 0x41);
    rig.link.queue(ScriptedSerialLink::Silence());
    EXPECT_FALSE(rig.puerto.EnviarComparar(0x41));
    EXPECT_EQ(logLines().back(), "Error de Timeout.");
}

TEST_F(PuertoSerieTest, OneLoopTurnPerTickWhileWaiting) {
    rig.link.queue(ScriptedSerialLink::Silence());
    rig.puerto.EnviarLeer(0xC3);
    // Each turn of the wait blocks until something happens: here, one tick each time.
    EXPECT_EQ(rig.pump.waits, 10);
}

// A line lost at some moment: the exchange that meets it ends at once with the loss line and a
// time-out; later ones write nothing and wait for nothing; the pauses end too. Opening the port
// again makes the line good, and a second loss is reported again.
TEST_F(PuertoSerieTest, LostLineEndsEveryExchangeAtOnce) {
    struct Case {
        const char* name;
        std::function<void(SignRig&)> lose;  // runs after one good exchange
        long long ticksOfFirst;              // simulated ticks the first lost exchange takes
        std::size_t bytesOfFirst;            // bytes it writes
    };
    const std::vector<Case> cases = {
        {"the write fails", [](SignRig& r) { r.link.queue(ScriptedSerialLink::Lost()); }, 0, 1},
        {"failed write while draining",
         [](SignRig& r) {
             r.link.drainEvents = 5;
             r.link.queue(ScriptedSerialLink::Lost());
         },
         0, 1},
        {"hang-up while waiting", [](SignRig& r) { r.link.queue(ScriptedSerialLink::Lost(4)); }, 4,
         1},
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
            EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
                      (std::vector<std::string>{"Se perdió la conexión con el puerto COM 7.",
                                                "Error de Timeout.", "Error de Timeout."}));
            ASSERT_TRUE(r.link.open(nullptr));
        }
        EXPECT_EQ(r.view.lines().size(), 7u);  // "" and the three lines of each round
    }
}

TEST(Timer1Timer, CountsUpToTenThousandThenFallsBackToTen) {
    SignRig rig;
    rig.puerto.ContadorTicks = 0;
    for (int k = 0; k < 10000; ++k) rig.puerto.Timer1_Timer();
    EXPECT_EQ(rig.puerto.ContadorTicks, 10000);
    rig.puerto.Timer1_Timer();
    EXPECT_EQ(rig.puerto.ContadorTicks, 10);
    rig.puerto.Timer1_Timer();
    EXPECT_EQ(rig.puerto.ContadorTicks, 11);
}

TEST(Timer1Timer, IsTheTickersHandler) {
    SignRig rig;
    rig.puerto.ContadorTicks = 0;
    rig.ticker.advance();
    rig.ticker.advance();
    EXPECT_EQ(rig.puerto.ContadorTicks, 2);
}

TEST(MSComm1OnComm, ReadsEveryWaitingByteAndKeepsTheLast) {
    SignRig rig;
    rig.link.setPort(1);
    ASSERT_TRUE(rig.link.open(nullptr));
    rig.link.injectArrival({1, 2, 3});
    rig.pump.processPending();
    EXPECT_EQ(rig.puerto.ByteRecibido, 3);
    EXPECT_EQ(rig.link.bytesAvailable(), 0);
}

TEST(Pausa, WaitsExactlyTheGivenTicks) {
    SignRig rig;
    ASSERT_TRUE(rig.link.open(nullptr));
    const long long before = rig.ticker.now();
    rig.puerto.Pausa(5);
    EXPECT_EQ(rig.ticker.now() - before, 5);
    EXPECT_EQ(rig.puerto.ContadorTicks, 5);
}

}  // namespace
}  // namespace letrador::testing
