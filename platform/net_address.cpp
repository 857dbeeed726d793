#include "platform/net_address.h"

#include <string_view>

namespace platform {
namespace {

constexpr std::string_view kTcp = "tcp://";
constexpr std::string_view kRfc2217 = "rfc2217://";

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

bool LooksLikeNetAddress(const std::string& text) {
    return StartsWith(text, kTcp) || StartsWith(text, kRfc2217);
}

std::optional<NetAddress> ParseNetAddress(const std::string& text) {
    NetAddress a;
    std::string_view rest = text;
    if (StartsWith(rest, kTcp)) {
        a.kind = NetAddress::Kind::Tcp;
        rest.remove_prefix(kTcp.size());
    } else if (StartsWith(rest, kRfc2217)) {
        a.kind = NetAddress::Kind::Rfc2217;
        rest.remove_prefix(kRfc2217.size());
    } else {
        return std::nullopt;
    }
    std::string_view portText;
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':')
            return std::nullopt;
        a.host = std::string(rest.substr(1, close - 1));
        portText = rest.substr(close + 2);
    } else {
        const auto colon = rest.rfind(':');
        if (colon == std::string_view::npos) return std::nullopt;
        a.host = std::string(rest.substr(0, colon));
        // An IPv6 address must come in brackets, or its last group would pass for the port.
        if (a.host.find(':') != std::string::npos) return std::nullopt;
        portText = rest.substr(colon + 1);
    }
    if (a.host.empty() || a.host.find_first_of(" \t/[]@") != std::string::npos)
        return std::nullopt;
    if (portText.empty() || portText.size() > 5) return std::nullopt;
    unsigned value = 0;
    for (char c : portText) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value < 1 || value > 65535) return std::nullopt;
    a.port = static_cast<std::uint16_t>(value);
    return a;
}

}  // namespace platform
