#include "settings/port_mapping.h"

#include <fstream>
#include <system_error>

namespace letrador {
namespace {

std::string MappedDevice(const std::filesystem::path& entry) {
    std::error_code ec;
    auto status = std::filesystem::symlink_status(entry, ec);
    if (ec || !std::filesystem::exists(status)) return {};
    if (std::filesystem::is_symlink(status)) {
        // The link itself opens the device, and keeps a relative target meaningful.
        return entry.string();
    }
    std::ifstream in(entry);
    std::string line;
    if (!std::getline(in, line)) return {};
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.pop_back();
    std::size_t start = line.find_first_not_of(" \t");
    return start == std::string::npos ? std::string() : line.substr(start);
}

}  // namespace

std::string PortDevicePath(const std::filesystem::path& workFolder, int number) {
    if (number < kFirstPort || number > kLastPort) return {};
    std::string mapped = MappedDevice(workFolder / "puertos" / ("COM" + std::to_string(number)));
    if (!mapped.empty()) return mapped;
    if (number <= 32) return "/dev/ttyS" + std::to_string(number - 1);
    if (number <= 64) return "/dev/ttyUSB" + std::to_string(number - 33);
    if (number <= 96) return "/dev/ttyACM" + std::to_string(number - 65);
    return {};
}

}  // namespace letrador
