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

#include "platform/qt_event_pump.h"
#include "platform/qt_serial_link.h"

namespace {

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "test_signlink_qt";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// The master side of a pseudo-terminal, raw; its slave stands for the sign's port.
class Pty {
  public:
    Pty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        slave_ = ::ptsname(master_);
        termios t{};
        ::tcgetattr(master_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(master_, TCSANOW, &t);
    }
    ~Pty() {
        if (master_ >= 0) ::close(master_);
    }
    bool ok() const { return master_ >= 0 && !slave_.empty(); }
    const std::string& slave() const { return slave_; }
    void write(const std::vector<unsigned char>& bytes) {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Reads `n` bytes, running the event loop meanwhile so the link can send.
    std::vector<unsigned char> read(std::size_t n, platform::EventPump& pump) {
        std::vector<unsigned char> out;
        for (int rounds = 0; out.size() < n && rounds < 2000; ++rounds) {
            pump.processPending();
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 5) > 0) {
                unsigned char buf[512];
                ssize_t got = ::read(master_, buf, sizeof buf);
                if (got > 0) out.insert(out.end(), buf, buf + got);
            }
        }
        return out;
    }

  private:
    int master_ = -1;
    std::string slave_;
};

std::vector<unsigned char> AllByteValues() {
    std::vector<unsigned char> v;
    for (int b = 0; b < 256; ++b) v.push_back(static_cast<unsigned char>(b));
    return v;
}

TEST(QtEventPump, WaitingForASingleShotTimerBlocksInsteadOfSpinning) {
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
    // A busy loop would turn thousands of times in 50 ms.
    EXPECT_LT(turns, 20);
}

TEST(QtTicker, TicksWhileThePumpWaits) {
    App();
    platform::QtEventPump pump;
    platform::QtTicker ticker;
    int ticks = 0;
    ticker.setTickHandler([&] { ++ticks; });
    int turns = 0;
    while (ticks < 3 && turns < 1000) {
        pump.waitForNext();
        ++turns;
    }
    EXPECT_EQ(ticks, 3);
    EXPECT_LT(turns, 30);
}

TEST(QtSerialLink, NumberWithoutADeviceDoesNotOpen) {
    App();
    platform::QtSerialLink link([](int) { return std::string(); });
    link.setPort(9);
    std::string reason;
    EXPECT_FALSE(link.open(&reason));
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(reason, "no existe el dispositivo del puerto COM 9");
}

TEST(QtSerialLink, MissingDeviceGivesTheSystemsReason) {
    App();
    platform::QtSerialLink link([](int) { return std::string("/dev/letrador-no-existe"); });
    link.setPort(2);
    std::string reason;
    EXPECT_FALSE(link.open(&reason));
    EXPECT_FALSE(reason.empty());
}

TEST(QtSerialLink, EveryByteValueTravelsUnchangedBothWays) {
    App();
    Pty pty;
    ASSERT_TRUE(pty.ok());
    int asked = 0;
    platform::QtSerialLink link([&](int n) {
        asked = n;
        return pty.slave();
    });
    platform::QtEventPump pump;
    link.setPort(5);
    std::string reason;
    ASSERT_TRUE(link.open(&reason)) << reason;
    EXPECT_EQ(asked, 5);

    const auto all = AllByteValues();
    for (auto b : all) link.writeByte(b);
    EXPECT_EQ(pty.read(all.size(), pump), all);

    std::vector<unsigned char> received;
    link.setReceiveHandler([&] {
        int b;
        while (link.bytesAvailable() > 0 && (b = link.readByte()) >= 0) {
            received.push_back(static_cast<unsigned char>(b));
        }
    });
    pty.write(all);
    for (int turns = 0; received.size() < all.size() && turns < 2000; ++turns) {
        QTimer::singleShot(5, [] {});
        pump.waitForNext();
    }
    EXPECT_EQ(received, all);
    link.close();
    EXPECT_FALSE(link.isOpen());
}

TEST(QtSerialLink, OutputDrains) {
    App();
    Pty pty;
    ASSERT_TRUE(pty.ok());
    platform::QtSerialLink link([&](int) { return pty.slave(); });
    platform::QtEventPump pump;
    ASSERT_TRUE(link.open(nullptr));
    link.writeByte(0xC3);
    QTimer guard;
    guard.start(10);
    for (int turns = 0; link.bytesToWrite() != 0 && turns < 1000; ++turns) pump.waitForNext();
    EXPECT_EQ(link.bytesToWrite(), 0);
    EXPECT_EQ(pty.read(1, pump), std::vector<unsigned char>({0xC3}));
}

}  // namespace
