// Loopback servers for the network tests: Debian's ser2net in the foreground with a configuration
// the test writes (one raw TCP or Telnet RFC 2217 accepter in front of a serial device, usually
// cartel-virtual's pseudo-terminal), and a listener whose connections hang.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "tests/support/virtual_sign_process.h"

namespace letrador::testing {

inline sockaddr_in Loopback(int port = 0) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

inline int TcpSocket() { return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0); }
// Binds `fd` to a free loopback port: that port, or -1.
inline int BindLoopback(int fd) {
    sockaddr_in a = Loopback();
    socklen_t len = sizeof a;
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0;
    return ok ? ntohs(a.sin_port) : -1;
}
inline bool ConnectLoopback(int fd, int port) {
    sockaddr_in a = Loopback(port);
    return ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

// A loopback TCP port nobody listens on right now.
inline int FreeTcpPort() {
    const int fd = TcpSocket(), port = BindLoopback(fd);
    ::close(fd);
    return port;
}

// A listener whose queue is full: a connection to it neither opens nor fails, it hangs.
struct HangingListener {
    int hole = TcpSocket(), filler = TcpSocket(), port = BindLoopback(hole);
    HangingListener() {
        ::listen(hole, 0);
        ConnectLoopback(filler, port);
    }
    ~HangingListener() { ::close(filler), ::close(hole); }
};

class Ser2netProcess {
  public:
    enum class Accepter { Tcp, Rfc2217 };

    ~Ser2netProcess() { kill(SIGTERM); }
    // Starts it on a free loopback port in front of `device`; false with `problem` when it did not
    // come up (not installed included).
    bool start(Accepter accepter, const std::string& device, std::string* problem) {
        const auto log = scratch_.path() / "ser2net.log", config = scratch_.path() / "ser2net.yaml";
        if (::access("/usr/sbin/ser2net", X_OK) != 0) {
            *problem = "/usr/sbin/ser2net is missing: install Debian's ser2net (tools/dev.sh does)";
            return false;
        }
        port_ = FreeTcpPort();
        std::ofstream(config) << "%YAML 1.1\n---\nconnection: &sign\n  accepter: "
                              << (accepter == Accepter::Rfc2217 ? "telnet(rfc2217),tcp," : "tcp,") << "127.0.0.1,"
                              << port_ << "\n  connector: serialdev," << device
                              << ",9600n81,local\n  options:\n    kickolduser: true\n";
        // -n: in the foreground, -u: no UUCP lock files, -c: our configuration only.
        pid_ = ChildProcess::Spawn({"/usr/sbin/ser2net", "-n", "-u", "-c", config.string()}, -1, log, "");
        for (int k = 0; pid_ > 0 && k < 250; ++k) {  // up to 5 s for it to accept connections
            const int fd = TcpSocket();
            const bool up = ConnectLoopback(fd, port_);
            ::close(fd);
            if (up) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        *problem = "ser2net does not listen on port " + std::to_string(port_) + ": " + ChildProcess::FileText(log);
        return false;
    }
    std::string address(Accepter accepter) const {
        return std::string(accepter == Accepter::Rfc2217 ? "rfc2217" : "tcp") + "://127.0.0.1:" + std::to_string(port_);
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
