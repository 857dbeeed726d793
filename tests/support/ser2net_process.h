// Debian's ser2net run by a test in the foreground, with a configuration the test writes: one
// loopback accepter (raw TCP or Telnet with RFC 2217) in front of a serial device, usually the
// pseudo-terminal of cartel-virtual.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "tests/support/virtual_sign_process.h"

namespace letrador::testing {

inline constexpr const char* kSer2netPath = "/usr/sbin/ser2net";

// A loopback TCP port nobody listens on right now.
inline int FreeTcpPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    const bool ok = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0;
    if (fd >= 0) ::close(fd);
    return ok ? ntohs(a.sin_port) : -1;
}

// True once something accepts connections on 127.0.0.1:`port`, waiting up to `ms`.
inline bool AcceptsConnections(int port, int ms) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int k = 0; k < ms / 20; ++k) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        if (::close(fd) == 0 && ok) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

class Ser2netProcess {
  public:
    enum class Accepter { Tcp, Rfc2217 };

    ~Ser2netProcess() { kill(SIGTERM); }
    // Starts it on a free loopback port in front of `device`; false with `problem` when it did
    // not come up (not installed included).
    bool start(Accepter accepter, const std::string& device, std::string* problem) {
        const auto log = scratch_.path() / "ser2net.log", config = scratch_.path() / "ser2net.yaml";
        std::string why;
        if (::access(kSer2netPath, X_OK) != 0)
            why = std::string(kSer2netPath) + " is missing: install Debian's ser2net (tools/dev.sh does)";
        else if ((port_ = FreeTcpPort()) <= 0)
            why = "no free loopback port";
        if (!why.empty()) {
            *problem = why;
            return false;
        }
        std::ofstream(config) << "%YAML 1.1\n---\nconnection: &sign\n  accepter: "
                              << (accepter == Accepter::Rfc2217 ? "telnet(rfc2217),tcp," : "tcp,")
                              << "127.0.0.1," << port_ << "\n  connector: serialdev," << device
                              << ",9600n81,local\n  options:\n    kickolduser: true\n";
        // -n: in the foreground, -u: no UUCP lock files, -c: our configuration only.
        pid_ = ChildProcess::Spawn({kSer2netPath, "-n", "-u", "-c", config.string()}, -1,
                                   log.string(), "");
        if (pid_ > 0 && AcceptsConnections(port_, 5000)) return true;
        *problem = "ser2net does not listen on port " + std::to_string(port_) + ": " +
                   ChildProcess::FileText(log);
        return false;
    }

    std::string address(Accepter accepter) const {
        return std::string(accepter == Accepter::Rfc2217 ? "rfc2217" : "tcp") +
               "://127.0.0.1:" + std::to_string(port_);
    }

    // Ends it with `sig` and waits for it.
    void kill(int sig) {
        if (pid_ > 0 && ::kill(pid_, sig) == 0) ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    ScratchFolder scratch_;
    pid_t pid_ = -1;
    int port_ = -1;
};

}  // namespace letrador::testing
