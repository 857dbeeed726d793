// A sign behind a serial device server, over QTcpSocket: `tcp://HOST:PORT` carries the bytes
// unchanged, `rfc2217://HOST:PORT` speaks Telnet with COM-PORT-CONTROL and asks the server for
// 9600 8N1 without flow control. Same interface as the serial line.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/net_address.h"
#include "platform/serial_link.h"
#include "platform/telnet_codec.h"

class QTcpSocket;

namespace platform {

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

    // How long a recording waits for the connection, and an RFC 2217 server for its answers.
    int connectTimeoutMs = 3000;
    int settingsTimeoutMs = 2000;

  private:
    void received();
    void markLost();
    void send(const telnet::Bytes& bytes);

    std::function<std::string(int)> resolver_;
    int port_ = 1;
    bool open_ = false;
    bool lost_ = false;
    std::unique_ptr<QTcpSocket> socket_;
    std::optional<telnet::Codec> telnet_;  // only for rfc2217://
    std::deque<std::uint8_t> in_;
    std::function<void()> onReceive_;
};

// Tries to connect to every address at the same time and runs `meanwhile` while they are under
// way; true for each one that connected within `waitMs`. Each connection is closed at once.
std::vector<bool> ConnectAll(const std::vector<NetAddress>& addresses, int waitMs,
                             const std::function<void()>& meanwhile);

}  // namespace platform
