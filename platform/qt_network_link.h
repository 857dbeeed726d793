// A sign behind a serial device server, over QTcpSocket: `tcp://HOST:PORT` carries the bytes
// unchanged, `rfc2217://HOST:PORT` speaks Telnet with COM-PORT-CONTROL and asks the server for
// 9600 8N1 without flow control. Same interface as the serial line.
//
// Opening runs the calling thread's own event loop, driven by the socket, with every wait
// bounded: the name lookup and the connection end within connectTimeoutMs in all, the RFC 2217
// agreement within settingsTimeoutMs whatever the server sends. A server that refuses or
// acknowledges other line settings fails the opening at once, with the reason. Once open, a
// server that breaks the Telnet protocol, stops reading, or lets output wait longer than
// drainTimeoutMs is a lost link. Nothing it sends can make the link hold more than a few kB.
#pragma once

#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/host_lookup.h"
#include "platform/net_address.h"
#include "platform/serial_link.h"
#include "platform/telnet_codec.h"

class QEventLoop;
class QTcpSocket;

namespace platform {

// Output the server has not taken yet, beyond which it counts as not reading.
inline constexpr int kMaxNetworkOutput = 64 * 1024;
// Received data not yet read, beyond which the oldest bytes are dropped, as a serial port's
// input buffer overflows.
inline constexpr std::size_t kMaxNetworkInput = 4096;

class QtNetworkLink : public SerialLink {
  public:
    // `resolver` gives the address of a port number ("tcp://..." or "rfc2217://...").
    explicit QtNetworkLink(std::function<std::string(int)> resolver);
    ~QtNetworkLink() override;
    QtNetworkLink(const QtNetworkLink&) = delete;
    QtNetworkLink& operator=(const QtNetworkLink&) = delete;

    void setPort(int number) override { port_ = number; }
    int port() const override { return port_; }

    bool open(std::string* reason = nullptr) override;
    void close() override;
    bool isOpen() const override { return open_; }
    bool isLost() const override { return lost_; }

    void writeByte(std::uint8_t byte) override;
    int bytesToWrite() const override;
    int bytesAvailable() const override { return static_cast<int>(in_.size()); }
    int readByte() override;

    void setReceiveHandler(std::function<void()> handler) override;

    int connectTimeoutMs = 3000;
    int settingsTimeoutMs = 2000;
    int drainTimeoutMs = 1000;
    // Looks host names up; the system's resolver unless a test gives another.
    HostLookup::Resolver lookup;

  private:
    // Runs this thread's event loop until `done` holds or `ms` have passed; `done` at the end.
    bool waitFor(const std::function<bool()>& done, qint64 ms);
    // Something happened that a wait may be waiting for.
    void wake();
    void received();
    void markLost();
    void send(const telnet::Bytes& bytes);

    std::function<std::string(int)> resolver_;
    int port_ = 1;
    bool open_ = false;
    bool lost_ = false;
    bool outputRefused_ = false;  // lost because the server took nothing
    QObject context_;  // lives on the link's thread: late wake-ups are delivered to it
    std::unique_ptr<QTcpSocket> socket_;
    QTimer drainTimer_;
    QEventLoop* waiting_ = nullptr;
    std::function<bool()> waitDone_;
    std::optional<telnet::Codec> telnet_;  // only for rfc2217://
    std::deque<std::uint8_t> in_;
    std::function<void()> onReceive_;
};

// Tries to connect to every address at the same time, names looked up on threads of their own;
// true for each one that connected within `waitMs`. Each connection is closed at once.
std::vector<bool> ConnectAll(const std::vector<NetAddress>& addresses, int waitMs);

}  // namespace platform
