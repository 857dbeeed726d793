#include "tools/cartel-virtual/sign_server.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <system_error>

namespace letrador::cartel {
namespace {

std::string SystemError(const std::string& what) {
    return what + ": " + ::strerror(errno);
}

// Writes the whole buffer, retrying on interruption. False on any other failure.
bool WriteAll(int fd, const void* data, std::size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Replaces `path` with `text` in one step, so that a reader never sees half a file.
bool ReplaceFile(const std::string& path, const std::string& text) {
    const std::string temp = path + ".tmp";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = WriteAll(fd, text.data(), text.size());
    ::close(fd);
    if (!ok) return false;
    return ::rename(temp.c_str(), path.c_str()) == 0;
}

}  // namespace

long long NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

SignServer::SignServer(VirtualSign& sign, ServerOptions options)
    : sign_(sign), options_(std::move(options)) {}

SignServer::~SignServer() {
    finish();
}

bool SignServer::open(std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) return fail(SystemError("posix_openpt"));
    if (::grantpt(master_) != 0) return fail(SystemError("grantpt"));
    if (::unlockpt(master_) != 0) return fail(SystemError("unlockpt"));
    const char* name = ::ptsname(master_);
    if (!name) return fail(SystemError("ptsname"));
    device_ = name;
    slaveKeep_ = ::open(device_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveKeep_ < 0) return fail(SystemError(device_));
    // Raw bytes both ways: above all no echo of the replies back to the sign, and no line
    // editing. A client that opens the port sets its own line settings anyway.
    termios t{};
    if (::tcgetattr(slaveKeep_, &t) == 0) {
        ::cfmakeraw(&t);
        ::cfsetispeed(&t, B9600);
        ::cfsetospeed(&t, B9600);
        ::tcsetattr(slaveKeep_, TCSANOW, &t);
    }
    const int flags = ::fcntl(master_, F_GETFL);
    ::fcntl(master_, F_SETFL, flags | O_NONBLOCK);

    if (!options_.recordPath.empty()) {
        const std::string bin = options_.recordPath + ".bin";
        binFd_ = ::open(bin.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (binFd_ < 0) return fail(SystemError(bin));
        if (!ReplaceFile(options_.recordPath, FormatListing(decoded())))
            return fail(SystemError(options_.recordPath));
    }
    if (!options_.linkPath.empty()) {
        namespace fs = std::filesystem;
        const fs::path link(options_.linkPath);
        std::error_code ec;
        if (link.has_parent_path()) fs::create_directories(link.parent_path(), ec);
        const auto st = fs::symlink_status(link, ec);
        if (fs::exists(st)) {
            if (fs::is_directory(st)) return fail(options_.linkPath + ": es una carpeta");
            if (::unlink(link.c_str()) != 0) return fail(SystemError(options_.linkPath));
        }
        if (::symlink(device_.c_str(), link.c_str()) != 0)
            return fail(SystemError(options_.linkPath));
        linked_ = true;
    }
    return true;
}

void SignServer::finish() {
    if (finished_) return;
    finished_ = true;
    if (master_ >= 0) {
        // Whatever came in last still counts.
        readable(NowMs());
    }
    if (!options_.recordPath.empty() && binFd_ >= 0) writeListing();
    if (binFd_ >= 0) ::close(binFd_);
    binFd_ = -1;
    if (linked_) {
        char target[4096];
        const ssize_t n = ::readlink(options_.linkPath.c_str(), target, sizeof target - 1);
        // Someone else may have taken the name over meanwhile; that link is theirs.
        if (n >= 0 && std::string(target, static_cast<std::size_t>(n)) == device_)
            ::unlink(options_.linkPath.c_str());
        linked_ = false;
    }
    if (slaveKeep_ >= 0) ::close(slaveKeep_);
    if (master_ >= 0) ::close(master_);
    slaveKeep_ = master_ = -1;
}

long long SignServer::msUntilDue(long long nowMs) const {
    long long next = -1;
    auto consider = [&](long long at) {
        const long long wait = at > nowMs ? at - nowMs : 0;
        if (next < 0 || wait < next) next = wait;
    };
    if (!pending_.empty() && !blocked_) consider(pending_.begin()->first);
    if (listingDueMs_ >= 0) consider(listingDueMs_);
    return next;
}

void SignServer::readable(long long nowMs) {
    if (master_ < 0) return;
    bool any = false;
    std::uint8_t buf[512];
    while (true) {
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        any = true;
        if (binFd_ >= 0) WriteAll(binFd_, buf, static_cast<std::size_t>(n));
        bool ended = false;
        for (ssize_t k = 0; k < n; ++k) {
            received_.push_back(buf[k]);
            if (const auto reply = sign_.receive(buf[k], nowMs)) {
                pending_.emplace(nowMs + reply->delayMs, reply->byte);
            }
            ended = ended || sign_.lastEndedRecording();
        }
        // A finished recording is on disk before its last acknowledge leaves, so whoever got
        // the acknowledge may read the record at once.
        if (ended && !options_.recordPath.empty()) writeListing();
        // The replies due at once leave before the next batch is read.
        sendDue(nowMs);
    }
    if (!any) return;
    if (!options_.recordPath.empty() && listingDueMs_ < 0 &&
        static_cast<long long>(received_.size()) != listedBytes_) {
        listingDueMs_ = nowMs + options_.listingDelayMs;
    }
    if (onReceived_) onReceived_();
}

void SignServer::due(long long nowMs) {
    sendDue(nowMs);
    if (listingDueMs_ >= 0 && nowMs >= listingDueMs_) writeListing();
}

void SignServer::sendDue(long long nowMs) {
    blocked_ = false;
    while (!pending_.empty() && pending_.begin()->first <= nowMs) {
        const std::uint8_t b = pending_.begin()->second;
        const ssize_t n = ::write(master_, &b, 1);
        if (n == 1) {
            pending_.erase(pending_.begin());
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        // The line is full: wait until it can take more.
        blocked_ = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        if (!blocked_) pending_.erase(pending_.begin());
        if (blocked_) return;
    }
}

SignRecord SignServer::decoded() const {
    return DecodeStream(received_);
}

void SignServer::writeListing() {
    listingDueMs_ = -1;
    listedBytes_ = static_cast<long long>(received_.size());
    ReplaceFile(options_.recordPath, FormatListing(decoded()));
}

}  // namespace letrador::cartel
