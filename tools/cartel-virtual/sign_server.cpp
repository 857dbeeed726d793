#include "tools/cartel-virtual/sign_server.h"

#include <errno.h>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
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

bool SignServer::openListener(std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listen_ < 0) return fail(SystemError("socket"));
    const int yes = 1;
    ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(options_.tcpPort));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        return fail(SystemError("127.0.0.1:" + std::to_string(options_.tcpPort)));
    if (::listen(listen_, 4) != 0) return fail(SystemError("listen"));
    device_ = std::string(options_.telnet ? "rfc2217://" : "tcp://") + "127.0.0.1:" +
              std::to_string(options_.tcpPort);
    return true;
}

void SignServer::accept() {
    const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    client_ = fd;
    const int yes = 1;
    ::setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    if (options_.telnet) {
        telnet_.emplace(platform::telnet::Codec::Role::Server);
        const auto hello = telnet_->greeting();
        WriteAll(client_, hello.data(), hello.size());
    }
}

// A client that went away takes its unsent replies with it; the next one starts afresh.
void SignServer::dropClient() {
    if (client_ >= 0) ::close(client_);
    client_ = -1;
    telnet_.reset();
    pending_.clear();
    blocked_ = false;
}

bool SignServer::open(std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    if (network()) {
        if (!openListener(error)) return false;
    } else if (!openLine(error)) {
        return false;
    }
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
        // A network address is named by the first line of a file, as a port entry names it.
        const bool made = network() ? ReplaceFile(options_.linkPath, device_ + "\n")
                                    : ::symlink(device_.c_str(), link.c_str()) == 0;
        if (!made) return fail(SystemError(options_.linkPath));
        linked_ = true;
    }
    return true;
}

bool SignServer::openLine(std::string* error) {
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
    return true;
}

void SignServer::finish() {
    if (finished_) return;
    finished_ = true;
    if (line() >= 0) {
        // Whatever came in last still counts.
        readable(NowMs());
    }
    if (!options_.recordPath.empty() && binFd_ >= 0) writeListing();
    if (binFd_ >= 0) ::close(binFd_);
    binFd_ = -1;
    if (linked_) {
        std::string target;
        if (network()) {
            std::ifstream in(options_.linkPath);
            std::getline(in, target);
        } else {
            char buf[4096];
            const ssize_t n = ::readlink(options_.linkPath.c_str(), buf, sizeof buf - 1);
            if (n >= 0) target.assign(buf, static_cast<std::size_t>(n));
        }
        // Someone else may have taken the name over meanwhile; that link is theirs.
        if (target == device_) ::unlink(options_.linkPath.c_str());
        linked_ = false;
    }
    if (slaveKeep_ >= 0) ::close(slaveKeep_);
    if (master_ >= 0) ::close(master_);
    if (client_ >= 0) ::close(client_);
    if (listen_ >= 0) ::close(listen_);
    slaveKeep_ = master_ = client_ = listen_ = -1;
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

void SignServer::takeBytes(const std::uint8_t* bytes, std::size_t count, long long nowMs,
                           bool& ended) {
    if (binFd_ >= 0) WriteAll(binFd_, bytes, count);
    for (std::size_t k = 0; k < count; ++k) {
        received_.push_back(bytes[k]);
        if (const auto reply = sign_.receive(bytes[k], nowMs)) {
            pending_.emplace(nowMs + reply->delayMs, reply->byte);
        }
        ended = ended || sign_.lastEndedRecording();
    }
}

void SignServer::readable(long long nowMs) {
    if (network() && client_ < 0) {
        if (listen_ >= 0) accept();
        return;
    }
    if (line() < 0) return;
    bool any = false;
    std::uint8_t buf[512];
    while (true) {
        const ssize_t n = ::read(line(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 && network()) {
            dropClient();
            break;
        }
        if (n <= 0) break;
        bool ended = false;
        if (telnet_) {
            platform::telnet::Bytes data, answer;
            telnet_->decode(buf, static_cast<std::size_t>(n), data, answer);
            WriteAll(client_, answer.data(), answer.size());
            any = any || !data.empty();
            takeBytes(data.data(), data.size(), nowMs, ended);
        } else {
            any = true;
            takeBytes(buf, static_cast<std::size_t>(n), nowMs, ended);
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
    while (line() >= 0 && !pending_.empty() && pending_.begin()->first <= nowMs) {
        const std::uint8_t b = pending_.begin()->second;
        platform::telnet::Bytes out;
        if (telnet_) {
            platform::telnet::Codec::encode(b, out);
        } else {
            out.push_back(b);
        }
        const ssize_t n = network() ? ::send(client_, out.data(), out.size(), MSG_NOSIGNAL)
                                    : ::write(master_, out.data(), out.size());
        if (n == static_cast<ssize_t>(out.size())) {
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
