// The link a port number leads to: the serial line for a device, the network link for a
// `tcp://` or `rfc2217://` address. The program, letrador-cli and the tests all use this one.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/port_lock.h"
#include "platform/qt_network_link.h"
#include "platform/qt_serial_link.h"
#include "platform/serial_link.h"

namespace platform {

class QtPortLink : public SerialLink {
  public:
    // `resolver` gives what a port number leads to: a device path, a network address, or "".
    explicit QtPortLink(std::function<std::string(int)> resolver);

    void setPort(int number) override;
    int port() const override { return port_; }

    // Picks the serial or the network link by what the port leads to now. The sign's lock is
    // taken first, and held while the port is open: a sign another program is recording into
    // does not open ("lo está usando otro programa").
    bool open(std::string* reason = nullptr) override;
    void close() override;
    bool isOpen() const override { return active_->isOpen(); }
    bool isLost() const override { return active_->isLost(); }

    void writeByte(std::uint8_t byte) override { active_->writeByte(byte); }
    int bytesToWrite() const override { return active_->bytesToWrite(); }
    int bytesAvailable() const override { return active_->bytesAvailable(); }
    int readByte() override { return active_->readByte(); }
    void setReceiveHandler(std::function<void()> handler) override;

    // Network ports are tried all at once while the serial ones are tried in turn, so that
    // servers that do not answer cost one short wait together.
    std::vector<int> probePorts(const std::vector<int>& numbers) override;
    int probeWaitMs = 500;

  private:
    std::function<std::string(int)> resolver_;
    int port_ = 1;
    QtSerialLink serial_;
    QtNetworkLink network_;
    SerialLink* active_ = &serial_;
    PortLock lock_;
};

}  // namespace platform
