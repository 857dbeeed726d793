// Which Linux device a port number 1..255 stands for.
//
// `puertos/COMn` in the working folder, a symbolic link or a small regular file whose first line
// is a device path, names the device of port n; a first line `tcp://HOST:PORT` or
// `rfc2217://HOST:PORT` names a sign on the network instead, and is given back as it stands. Any
// other kind of entry (a FIFO, a socket, a device, a folder, a huge file) or an empty first line
// gives port n no device. Without it, COM1-COM32 are /dev/ttyS0-31, COM33-COM64 /dev/ttyUSB0-31
// and COM65-COM96 /dev/ttyACM0-31; other numbers have no device.
#pragma once

#include <filesystem>
#include <string>

namespace letrador {

inline constexpr int kFirstPort = 1;
inline constexpr int kLastPort = 255;

// The device path of port `number`, or "" when it has none.
std::string PortDevicePath(const std::filesystem::path& workFolder, int number);

}  // namespace letrador
