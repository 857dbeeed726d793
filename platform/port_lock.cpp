#include "platform/port_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/net_address.h"

namespace platform {

std::string DefaultLockFolder() {
    for (const char* candidate :
         std::initializer_list<const char*>{"/run/lock", std::getenv("XDG_RUNTIME_DIR")}) {
        if (candidate && *candidate && ::access(candidate, W_OK | X_OK) == 0) return candidate;
    }
    return "/tmp";
}

PortLock::PortLock(std::string folder)
    : folder_(folder.empty() ? DefaultLockFolder() : std::move(folder)) {}

std::string PortLock::pathOf(const std::string& target) const {
    std::string key;
    if (const auto address = ParseNetAddress(target)) {
        // tcp:// and rfc2217:// to one server and port reach one sign.
        key = "red-" + address->host + "-" + std::to_string(address->port);
    } else {
        std::error_code ec;
        const auto real = std::filesystem::weakly_canonical(target, ec);
        key = ec ? target : real.string();
    }
    for (char& c : key) {
        if (c == '/' || c == ':' || c == '[' || c == ']' || static_cast<unsigned char>(c) < 0x20)
            c = '_';
    }
    return folder_ + "/letrador-" + key + ".lock";
}

bool PortLock::take(const std::string& target, std::string* why) {
    release();
    const std::string path = pathOf(target);
    // Readable and writable by every user, so that whoever comes next can lock it too.
    const mode_t old = ::umask(0);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    ::umask(old);
    const int usable = fd >= 0 ? fd : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (usable < 0) {
        // A lock that cannot be made must not keep the sign from being recorded.
        return true;
    }
    if (::flock(usable, LOCK_EX | LOCK_NB) != 0) {
        const bool busy = errno == EWOULDBLOCK;
        ::close(usable);
        if (!busy) return true;
        if (why) *why = kPortInUse;
        return false;
    }
    fd_ = usable;
    return true;
}

void PortLock::release() {
    if (fd_ < 0) return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}

}  // namespace platform
