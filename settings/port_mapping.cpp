#include "settings/port_mapping.h"

#include <cerrno>
#include <optional>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace letrador {
namespace {

// An entry naming a device holds one short line; anything much larger is not such an entry.
constexpr off_t kMaxEntryBytes = 4096;

// The first line of a regular file of sane size, without its blanks around; nullopt for
// anything else. Opened without following a link and without blocking, and checked on the open
// file itself, so that a FIFO or a device put there can never make the caller wait.
std::optional<std::string> FirstLineOfSmallFile(const std::filesystem::path& entry) {
    int fd = ::open(entry.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaxEntryBytes) {
        ::close(fd);
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(kMaxEntryBytes), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(got);
    std::string line = bytes.substr(0, bytes.find('\n'));
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.pop_back();
    std::size_t start = line.find_first_not_of(" \t");
    return start == std::string::npos ? std::string() : line.substr(start);
}

// nullopt when there is no entry; otherwise the device it names, "" for none.
std::optional<std::string> MappedDevice(const std::filesystem::path& entry) {
    std::error_code ec;
    auto status = std::filesystem::symlink_status(entry, ec);
    if (ec || !std::filesystem::exists(status)) return std::nullopt;
    if (std::filesystem::is_symlink(status)) {
        // The link itself opens the device, and keeps a relative target meaningful.
        return entry.string();
    }
    if (!std::filesystem::is_regular_file(status)) return std::string();  // FIFO, socket, ...
    return FirstLineOfSmallFile(entry).value_or(std::string());
}

}  // namespace

std::string PortDevicePath(const std::filesystem::path& workFolder, int number) {
    if (number < kFirstPort || number > kLastPort) return {};
    const auto mapped =
        MappedDevice(workFolder / "puertos" / ("COM" + std::to_string(number)));
    if (mapped) return *mapped;
    if (number <= 32) return "/dev/ttyS" + std::to_string(number - 1);
    if (number <= 64) return "/dev/ttyUSB" + std::to_string(number - 33);
    if (number <= 96) return "/dev/ttyACM" + std::to_string(number - 65);
    return {};
}

}  // namespace letrador
