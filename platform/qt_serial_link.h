// The serial line over QSerialPort: raw bytes, 9600 8N1, no flow control.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/serial_link.h"

class QSerialPort;

namespace platform {

class QtSerialLink : public SerialLink {
  public:
    // `resolver` gives the device path of a port number, "" when the number has no device.
    explicit QtSerialLink(std::function<std::string(int)> resolver);
    ~QtSerialLink() override;
    QtSerialLink(const QtSerialLink&) = delete;
    QtSerialLink& operator=(const QtSerialLink&) = delete;

    void setPort(int number) override { port_ = number; }
    int port() const override { return port_; }

    bool open(std::string* reason = nullptr) override;
    void close() override;
    bool isOpen() const override;
    bool isLost() const override { return lost_; }

    void writeByte(std::uint8_t byte) override;
    int bytesToWrite() const override;
    int bytesAvailable() const override;
    int readByte() override;

    void setReceiveHandler(std::function<void()> handler) override;

  private:
    void markLost();

    std::function<std::string(int)> resolver_;
    int port_ = 1;
    bool lost_ = false;
    std::unique_ptr<QSerialPort> serial_;
    std::function<void()> onReceive_;
};

}  // namespace platform
