#include "settings/network_ports.h"

#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/system_error.h"
#include "settings/port_mapping.h"

namespace letrador {
namespace {

namespace fs = std::filesystem;
using Kind = platform::NetAddress::Kind;

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A whole number written with digits only, within 1..`top`; nothing otherwise.
std::optional<int> Number(const std::string& text, int top) {
    const std::string t = Trimmed(text);
    if (t.empty() || t.size() > 6 || t.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int value = std::stoi(t);
    if (value < 1 || value > top) return std::nullopt;
    return value;
}

fs::path EntryPath(const fs::path& workFolder, int numero) {
    return workFolder / "puertos" / ("COM" + std::to_string(numero));
}

bool Fail(std::string* reason, int errnum) {
    if (reason) *reason = SystemErrorText(errnum);
    return false;
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string KindText(Kind kind) {
    return kind == Kind::Rfc2217 ? "rfc2217" : "tcp";
}

std::string AddressText(const NetworkPort& entry) {
    const bool ipv6 = entry.host.find(':') != std::string::npos;
    return KindText(entry.kind) + "://" + (ipv6 ? "[" + entry.host + "]" : entry.host) + ":" +
           std::to_string(entry.port);
}

CheckedNetworkPort CheckNetworkPort(const std::string& numero, const std::string& kind,
                                    const std::string& host, const std::string& port) {
    NetworkPort entry;
    const auto n = Number(numero, kLastPort);
    if (!n) return {std::nullopt, "El número de puerto COM debe estar entre 1 y 255."};
    entry.numero = *n;
    if (kind == "tcp") {
        entry.kind = Kind::Tcp;
    } else if (kind == "rfc2217") {
        entry.kind = Kind::Rfc2217;
    } else {
        return {std::nullopt, "El tipo debe ser tcp o rfc2217."};
    }
    entry.host = Trimmed(host);
    if (entry.host.size() >= 2 && entry.host.front() == '[' && entry.host.back() == ']')
        entry.host = entry.host.substr(1, entry.host.size() - 2);
    if (entry.host.empty()) return {std::nullopt, "Falta el servidor: su nombre o su dirección."};
    for (unsigned char c : entry.host) {
        if (c <= ' ' || c == 0x7F || c == '/' || c == '@' || c == '[' || c == ']')
            return {std::nullopt, "El servidor no puede tener espacios ni los caracteres / @ [ ]."};
    }
    const auto p = Number(port, 65535);
    if (!p) return {std::nullopt, "El puerto de red debe estar entre 1 y 65535."};
    entry.port = *p;
    // The link reads the line back with this same rule.
    if (!platform::ParseNetAddress(AddressText(entry)))
        return {std::nullopt, "La dirección " + AddressText(entry) + " no es válida."};
    return {entry, {}};
}

std::vector<ListedNetworkPort> ReadNetworkPorts(const fs::path& workFolder) {
    std::vector<ListedNetworkPort> found;
    for (int n = kFirstPort; n <= kLastPort; ++n) {
        const std::string address = PortDevicePath(workFolder, n);
        if (!platform::LooksLikeNetAddress(address)) continue;
        ListedNetworkPort listed{n, address, std::nullopt};
        if (const auto parsed = platform::ParseNetAddress(address))
            listed.entry = NetworkPort{n, parsed->kind, parsed->host, parsed->port};
        found.push_back(std::move(listed));
    }
    return found;
}

PortTarget WhatPortLeadsTo(const fs::path& workFolder, int numero) {
    using K = PortTarget::Kind;
    const fs::path entry = EntryPath(workFolder, numero);
    const std::string device = PortDevicePath(workFolder, numero);
    if (platform::LooksLikeNetAddress(device)) return {K::Network, device};
    std::error_code ec;
    const auto status = fs::symlink_status(entry, ec);
    if (!ec && fs::exists(status)) {
        if (fs::is_symlink(status)) {
            const fs::path target = fs::read_symlink(entry, ec);
            return {K::Device, ec ? entry.string() : target.string()};
        }
        if (device.empty()) return {K::Other, {}};
        return {K::Device, device};
    }
    if (!device.empty() && fs::exists(device, ec)) return {K::Device, device};
    return {};
}

bool SaveNetworkPort(const fs::path& workFolder, const NetworkPort& entry, std::string* reason) {
    const fs::path folder = workFolder / "puertos";
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) return Fail(reason, ec.value());
    // Written beside it and renamed over it, so that the entry is always whole.
    std::string temporary = (folder / (".COM" + std::to_string(entry.numero) + ".XXXXXX")).string();
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return Fail(reason, errno);
    const bool written = ::fchmod(fd, 0644) == 0 && WriteAll(fd, AddressText(entry) + "\r\n");
    const int writeError = errno;
    if (::close(fd) != 0 || !written) {
        const int err = written ? errno : writeError;
        ::unlink(temporary.c_str());
        return Fail(reason, err);
    }
    if (::rename(temporary.c_str(), EntryPath(workFolder, entry.numero).c_str()) != 0) {
        const int err = errno;
        ::unlink(temporary.c_str());
        return Fail(reason, err);
    }
    return true;
}

bool RemoveNetworkPort(const fs::path& workFolder, int numero, std::string* reason) {
    if (WhatPortLeadsTo(workFolder, numero).kind != PortTarget::Kind::Network) {
        if (reason)
            *reason = "El puerto COM " + std::to_string(numero) + " no es un puerto de red.";
        return false;
    }
    if (::unlink(EntryPath(workFolder, numero).c_str()) != 0) return Fail(reason, errno);
    return true;
}

}  // namespace letrador
