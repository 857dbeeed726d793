// The Qt event pump and ticker, and what the Qt links refuse: a port without a device, a sign
// another link has open, a name that is never found. Bytes over real devices and servers are the
// end-to-end tests'.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <future>

#include "platform/qt_event_pump.h"
#include "platform/qt_network_link.h"
#include "platform/qt_port_link.h"
#include "platform/qt_serial_link.h"

namespace {

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "test_signlink_qt";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

TEST(QtEventPump, WaitingBlocksInsteadOfSpinningAndTheTickerTicksMeanwhile) {
    App();
    platform::QtEventPump pump;
    bool fired = false;
    QTimer::singleShot(50, [&] { fired = true; });
    int turns = 0;
    for (; !fired && turns < 1000; ++turns) pump.waitForNext();
    EXPECT_TRUE(fired);
    EXPECT_LT(turns, 20);  // a busy loop would turn thousands of times in 50 ms
    platform::QtTicker ticker;
    int ticks = 0;
    ticker.setTickHandler([&] { ++ticks; });
    for (turns = 0; ticks < 3 && turns < 1000; ++turns) pump.waitForNext();
    EXPECT_EQ(ticks, 3);
    EXPECT_LT(turns, 30);
}

TEST(QtSerialLink, PortWithoutADeviceOrWithAMissingOneDoesNotOpen) {
    App();
    for (std::string device : {"", "/dev/letrador-no-existe"}) {
        platform::QtSerialLink link([&](int) { return device; });
        link.setPort(9);
        std::string reason;
        EXPECT_FALSE(link.open(&reason));
        EXPECT_FALSE(link.isOpen());
        if (device.empty()) EXPECT_EQ(reason, "no existe el dispositivo del puerto COM 9");
        else EXPECT_FALSE(reason.empty());
    }
}

// One writer per sign: while a link has a sign's device open, no other link opens it, under any
// port number or name that leads there; once it is closed, another one does.
TEST(QtPortLink, ASignThatOneLinkHasOpenDoesNotOpenForAnother) {
    App();
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master) | ::unlockpt(master), 0);
    const std::string slave = ::ptsname(master);
    const auto alias = std::filesystem::temp_directory_path() / ("letrador-alias-" + std::to_string(::getpid()));
    std::filesystem::remove(alias);
    std::filesystem::create_symlink(slave, alias);
    platform::QtPortLink first([&](int) { return slave; });
    platform::QtPortLink second([&](int n) { return n == 4 ? alias.string() : slave; });
    first.setPort(3);
    std::string reason;
    ASSERT_TRUE(first.open(&reason)) << reason;
    for (int port : {3, 4}) {
        second.setPort(port);
        EXPECT_FALSE(second.open(&reason)) << port;
        EXPECT_EQ(reason, "lo está usando otro programa.");
    }
    first.close();
    EXPECT_TRUE(second.open(&reason)) << reason;
    EXPECT_FALSE(first.open(&reason));
    second.close();
    std::filesystem::remove(alias);
    ::close(master);
}

// A name server that never answers: the opening gives up when its time is over, with the reason,
// and nothing waits for the lookup afterwards.
TEST(QtNetworkLink, ANameThatIsNeverFoundEndsTheOpeningInTime) {
    App();
    platform::QtNetworkLink link([](int) { return std::string("tcp://cartel.sin.respuesta:4001"); });
    link.connectTimeoutMs = 300;
    static std::promise<void> never;
    link.lookup = [](const std::string&) {
        never.get_future().wait();
        return std::vector<std::string>{};
    };
    const auto start = std::chrono::steady_clock::now();
    std::string reason;
    EXPECT_FALSE(link.open(&reason));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(reason, "no se encontró el servidor cartel.sin.respuesta a tiempo");
    EXPECT_FALSE(link.isOpen());
}

}  // namespace
