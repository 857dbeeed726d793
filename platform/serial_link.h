// The serial line to the sign: one port at a time, raw bytes, 9600 8N1, no flow control.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

class SerialLink {
public:
    virtual ~SerialLink() = default;

    // Port number 1..255; takes effect at the next open().
    virtual void setPort(int number) = 0;
    virtual int port() const = 0;

    // Opens the port with the line settings; on failure returns false and, when `reason` is
    // given, the system's reason in words.
    virtual bool open(std::string* reason = nullptr) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // True from the moment the device or connection is gone (a failed write, a hang-up, a
    // resource error) until the next open(). When the link notices the loss it also runs the
    // receive handler once, so that a waiting exchange wakes up and sees it.
    virtual bool isLost() const = 0;

    virtual void writeByte(std::uint8_t byte) = 0;
    // Bytes written but not yet sent.
    virtual int bytesToWrite() const = 0;
    // Bytes received and not yet read.
    virtual int bytesAvailable() const = 0;
    // The next received byte, or -1 when none is waiting.
    virtual int readByte() = 0;

    // Called on the event loop whenever bytes have arrived.
    virtual void setReceiveHandler(std::function<void()> handler) = 0;

    // Those of `numbers` that open and close again, in the same order; leaves the link set to
    // the last number. The port search asks for all of them in one call so that a link whose
    // opening may wait (a network connection) can try them side by side.
    virtual std::vector<int> probePorts(const std::vector<int>& numbers) {
        std::vector<int> found;
        for (int n : numbers) {
            setPort(n);
            if (!open()) continue;
            close();
            found.push_back(n);
        }
        return found;
    }
};

}  // namespace platform
