// The network entries of `puertos/`: port numbers whose `puertos/COMn` holds the address of a
// sign behind a serial device server (`tcp://HOST:PORT` or `rfc2217://HOST:PORT`), read,
// checked, written and removed as the "Puertos de red" window does it. Plain C++.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/net_address.h"

namespace letrador {

struct NetworkPort {
    int numero = 0;  // the COM number, 1..255
    platform::NetAddress::Kind kind = platform::NetAddress::Kind::Tcp;
    std::string host;  // a name or an address; an IPv6 address without its brackets
    int port = 0;      // 1..65535
};

// "tcp" or "rfc2217", as the entry's address starts.
std::string KindText(platform::NetAddress::Kind kind);
// The first line of the entry: "tcp://HOST:PORT", an IPv6 host in brackets.
std::string AddressText(const NetworkPort& entry);

// The entry that the window's four fields describe, or the reason, in Spanish, why it cannot be
// saved. `kind` is "tcp" or "rfc2217"; a host may come in brackets.
struct CheckedNetworkPort {
    std::optional<NetworkPort> entry;
    std::string problem;
};
CheckedNetworkPort CheckNetworkPort(const std::string& numero, const std::string& kind,
                                    const std::string& host, const std::string& port);

// The network entries of the working folder, by rising number. `address` keeps an entry's line
// as it stands; `entry` is empty when that line is not a well-formed address.
struct ListedNetworkPort {
    int numero = 0;
    std::string address;
    std::optional<NetworkPort> entry;
};
std::vector<ListedNetworkPort> ReadNetworkPorts(const std::filesystem::path& workFolder);

// What port `numero` leads to before it is given a network address: nothing, a network entry,
// a device (a `puertos/` entry naming one, or the default device when it exists), or a
// `puertos/` entry that names nothing (a FIFO, a folder, ...). `text` is the address or device.
struct PortTarget {
    enum class Kind { None, Network, Device, Other };
    Kind kind = Kind::None;
    std::string text;
};
PortTarget WhatPortLeadsTo(const std::filesystem::path& workFolder, int numero);

// Writes `puertos/COMn` as the entry's address, one line ended by CR LF, in place of whatever
// entry was there (a link is replaced, never followed). False with the reason when it cannot;
// nothing half-written stays.
bool SaveNetworkPort(const std::filesystem::path& workFolder, const NetworkPort& entry,
                     std::string* reason);
// Removes `puertos/COMn` when it is a network entry; false with the reason otherwise.
bool RemoveNetworkPort(const std::filesystem::path& workFolder, int numero, std::string* reason);

}  // namespace letrador
