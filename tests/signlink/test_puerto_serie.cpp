// The byte exchanges (echo check, reply read, time-out, lost line), their handlers, and the log
// they write to.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "tests/signlink/sign_rig.h"

namespace letrador::testing {
namespace {

using L = platform::ScriptedSerialLink;

TEST(PuertoSerie, Exchanges) {
    const std::string timeOut = "\r\nError de Timeout.";
    const struct {
        const char* name;
        Step step;
        bool compare;  // EnviarComparar (result 1/0), else EnviarLeer (the reply)
        std::uint8_t sent;
        int result;
        long long ticks;  // simulated ticks it takes
        std::string log;  // a compare error also sets ErrorParrafo and ErrorGrabacion
        int drainEvents = 0;
        Bytes stray = {};  // come in before the exchange: all read, none taken as its reply
    } cases[] = {
        {"equal echo", Ans(0x41), true, 0x41, 1, 0, ""},
        {"different echo, in decimal", Ans(0), true, 0xC9, 1, 0, "\r\nError de comparación. E: 201 R: 0"},
        {"no echo", kMute, true, 0x41, 0, 10, timeOut},
        {"no reply", kMute, false, 0xC3, -1, 10, timeOut},
        {"reply with the last tick", L::ReplyAtTick(0x77, 10), false, 0xC3, 0x77, 10, ""},
        {"reply a tick too late", L::ReplyAtTick(0x77, 11), false, 0xC3, -1, 10, timeOut},
        {"reply at tick nine", L::ReplyAtTick(0x10, 9), false, 0x10, 0x10, 9, ""},
        {"two bytes together: the last is the reply", L::Together({0x11, 0x22}), false, 0xC3, 0x22, 0, ""},
        {"two bytes together: the last is the echo", L::Together({0x41, 0x42}), true, 0x41, 1, 0,
         "\r\nError de comparación. E: 65 R: 66"},
        {"zero reply", Ans(0), false, 0x01, 0, 0, ""},
        {"zero echo", Ans(0), true, 0x00, 1, 0, ""},
        {"reply while the output drains", Ans(0x5A), false, 0x01, 0x5A, 0, "", 3},
        {"stray bytes are not the echo", kMute, true, 0x41, 0, 10, timeOut, 0, {1, 2, 0x41}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SignRig rig;
        ASSERT_TRUE(rig.link.open(nullptr));
        rig.link.drainEvents = c.drainEvents;
        if (!c.stray.empty()) {
            rig.link.injectArrival(c.stray);
            rig.pump.processPending();
            EXPECT_EQ(rig.puerto.ByteRecibido, c.stray.back());
            EXPECT_EQ(rig.link.bytesAvailable(), 0);
        }
        rig.link.queue(c.step);
        EXPECT_EQ(c.compare ? int(rig.puerto.EnviarComparar(c.sent)) : rig.puerto.EnviarLeer(c.sent), c.result);
        EXPECT_EQ(rig.link.written, Bytes{c.sent});
        EXPECT_EQ(rig.ticker.now(), c.ticks);
        EXPECT_EQ(rig.view.log().text(), c.log);
        const bool flagged = c.log.find("comparación") != std::string::npos;
        EXPECT_EQ(rig.puerto.ErrorParrafo, flagged);
        EXPECT_EQ(rig.puerto.ErrorGrabacion, flagged);
        // Each turn of the wait blocks until something happens: here, one tick each time.
        if (c.step.reply.empty()) { EXPECT_EQ(rig.pump.waits, 10); }
    }
}

// A line lost at some moment: the exchange that meets it ends at once with the loss line and a
// time-out; later ones write nothing and wait for nothing, and pauses end at once. Opening the
// port again makes the line good, and a second loss is reported again.
TEST(PuertoSerie, LostLineEndsEveryExchangeAtOnce) {
    const struct {
        const char* name;
        std::function<void(SignRig&)> lose;  // runs after one good exchange
        long long ticks;                     // that the first lost exchange takes
        std::size_t bytes;                   // that it writes
    } cases[] = {
        {"the write fails", [](SignRig& r) { r.link.queue(L::Lost()); }, 0, 1},
        {"failed write while draining", [](SignRig& r) { r.link.drainEvents = 5, r.link.queue(L::Lost()); }, 0, 1},
        {"hang-up while waiting", [](SignRig& r) { r.link.queue(L::Lost(4)); }, 4, 1},
        {"lost between exchanges", [](SignRig& r) { r.link.loseLine(), r.pump.processPending(); }, 0, 0},
        {"port closed under us", [](SignRig& r) { r.link.close(); }, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SignRig r;
        r.link.setPort(7);
        for (int round = 0; round < 2; ++round) {
            ASSERT_TRUE(r.link.open(nullptr));
            EXPECT_TRUE(r.puerto.EnviarComparar(0x41));
            const std::size_t before = r.link.written.size();
            c.lose(r);
            const long long t0 = r.ticker.now();
            EXPECT_FALSE(r.puerto.EnviarComparar(0x42));
            EXPECT_EQ(r.puerto.EnviarLeer(0xC3), -1);
            r.puerto.Pausa(5);
            EXPECT_EQ(r.ticker.now() - t0, c.ticks);
            EXPECT_EQ(r.link.written.size(), before + c.bytes);
        }
        const std::string lost = "|Se perdió la conexión con el puerto COM 7.|Error de Timeout.|Error de Timeout.";
        EXPECT_EQ(r.log(), lost + lost);
    }
}

TEST(PuertoSerie, TicksCountToTenThousandThenFallBackToTenAndPausaWaitsItsTicks) {
    SignRig rig;
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
    rig.puerto.Pausa(5);
    EXPECT_EQ(rig.ticker.now(), 2 + 5);
    EXPECT_EQ(rig.puerto.ContadorTicks, 5);
}

// The window-less view of letrador-cli: prepare() empties the log, whose lines are joined with
// CR LF, and each line is printed once it is complete: when the next one starts or the recording
// is closed.
TEST(PlainRecordingView, PrepareEmptiesTheLogAndEachLineIsPrintedOnceComplete) {
    std::ostringstream out;
    PlainRecordingView view(&out);
    view.AgregarLog("old", false);
    view.showClose();
    out.str("");
    view.prepare();
    EXPECT_EQ(view.log().text(), "");
    EXPECT_EQ(view.prepareCount, 1);
    EXPECT_FALSE(view.closeButtonShown || view.closeButtonFocused || view.mainWindowEnabled);
    EXPECT_TRUE(view.windowShown);
    view.AgregarLog("Usando puerto COM 3.", false);
    EXPECT_EQ(out.str(), "");
    view.AgregarLog("Grabando párrafo 1 de 1...", true);
    view.AgregarLog(" OK.", false);
    EXPECT_EQ(out.str(), "Usando puerto COM 3.\n");
    view.AgregarLog("Grabación finalizada.", true);
    view.showClose();
    EXPECT_TRUE(view.closeButtonShown && view.closeButtonFocused);
    EXPECT_EQ(out.str(), "Usando puerto COM 3.\nGrabando párrafo 1 de 1... OK.\nGrabación finalizada.\n");
    EXPECT_EQ(view.log().text(), "Usando puerto COM 3.\r\nGrabando párrafo 1 de 1... OK.\r\nGrabación finalizada.");
    // A new line on an empty log leaves an empty first line, printed too.
    view.prepare();
    out.str("");
    view.AgregarLog("a", true);
    view.showClose();
    EXPECT_EQ(view.log().text(), "\r\na");
    EXPECT_EQ(out.str(), "\na\n");
    EXPECT_TRUE(RecordingLog().AgregarLog("a", true));
}

}  // namespace
}  // namespace letrador::testing
