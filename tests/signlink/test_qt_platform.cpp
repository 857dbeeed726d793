// The Qt serial link, event pump and ticker, over a pseudo-terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <string>
#include <vector>

#include <filesystem>

#include <chrono>
#include <future>

#include "platform/qt_event_pump.h"
#include "platform/qt_network_link.h"
#include "platform/qt_port_link.h"
#include "platform/qt_serial_link.h"

namespace {

using Bytes = std::vector<unsigned char>;

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
    while (!fired && turns < 1000) {
        pump.waitForNext();
        ++turns;
    }
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

TEST(QtSerialLink, EveryByteValueTravelsUnchangedBothWaysAndTheOutputDrains) {
    App();
    // The master side of a raw pseudo-terminal; its slave stands for the sign's port.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master) | ::unlockpt(master), 0);
    const std::string slave = ::ptsname(master);
    termios t{};
    ::tcgetattr(master, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(master, TCSANOW, &t);
    int asked = 0;
    platform::QtSerialLink link([&](int n) {
        asked = n;
        return slave;
    });
    platform::QtEventPump pump;
    link.setPort(5);
    std::string reason;
    ASSERT_TRUE(link.open(&reason)) << reason;
    EXPECT_EQ(asked, 5);

    link.writeByte(0xC3);
    QTimer guard;
    guard.start(10);
    for (int turns = 0; link.bytesToWrite() != 0 && turns < 1000; ++turns) pump.waitForNext();
    EXPECT_EQ(link.bytesToWrite(), 0);

    Bytes all{0xC3};
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<unsigned char>(b));
    for (std::size_t k = 1; k < all.size(); ++k) link.writeByte(all[k]);
    Bytes out;
    for (int rounds = 0; out.size() < all.size() && rounds < 2000; ++rounds) {
        pump.processPending();
        pollfd p{master, POLLIN, 0};
        unsigned char buf[512];
        ssize_t got = 0;
        if (::poll(&p, 1, 5) > 0 && (got = ::read(master, buf, sizeof buf)) > 0)
            out.insert(out.end(), buf, buf + got);
    }
    EXPECT_EQ(out, all);

    Bytes received;
    link.setReceiveHandler([&] {
        int b;
        while (link.bytesAvailable() > 0 && (b = link.readByte()) >= 0)
            received.push_back(static_cast<unsigned char>(b));
    });
    ASSERT_EQ(::write(master, all.data() + 1, 256), 256);
    for (int turns = 0; received.size() < 256 && turns < 2000; ++turns) pump.waitForNext();
    EXPECT_EQ(received, Bytes(all.begin() + 1, all.end()));
    link.close();
    EXPECT_FALSE(link.isOpen());
    ::close(master);
}

// One writer per sign: while a link has a sign's device open, no other link opens it, under any
// port number or name that leads there; once it is closed, another one does.
TEST(QtPortLink, ASignThatOneLinkHasOpenDoesNotOpenForAnother) {
    App();
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master) | ::unlockpt(master), 0);
    const std::string slave = ::ptsname(master);
    const std::string alias =
        (std::filesystem::temp_directory_path() / ("letrador-alias-" + std::to_string(::getpid())))
            .string();
    std::filesystem::remove(alias);
    std::filesystem::create_symlink(slave, alias);
    platform::QtPortLink first([&](int) { return slave; });
    platform::QtPortLink second([&](int n) { return n == 4 ? alias : slave; });
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
