// A sign behind a serial device server: the address a port entry names, `tcp://HOST:PORT`
// (raw bytes) or `rfc2217://HOST:PORT` (Telnet with COM-PORT-CONTROL). Plain C++.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

struct NetAddress {
    enum class Kind { Tcp, Rfc2217 };
    Kind kind = Kind::Tcp;
    std::string host;  // a name, an IPv4 address, or an IPv6 address without its brackets
    std::uint16_t port = 0;
};

// True when `text` starts like a network address (even a wrong one), so that it is never taken
// for the path of a device.
bool LooksLikeNetAddress(const std::string& text);

// The address `text` names, or nothing when it is not a well-formed one: a known scheme, a
// host, and a port 1-65535 in decimal.
std::optional<NetAddress> ParseNetAddress(const std::string& text);

}  // namespace platform
