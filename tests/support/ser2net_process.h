// Debian's ser2net run by a test in the foreground, with a configuration the test writes: one
// loopback accepter (raw TCP or Telnet with RFC 2217) in front of a serial device, usually the
// pseudo-terminal of cartel-virtual.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/sample_font.h"

extern char** environ;

namespace letrador::testing {

inline constexpr const char* kSer2netPath = "/usr/sbin/ser2net";

// A loopback TCP port nobody listens on right now.
inline int FreeTcpPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = -1;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
        port = ntohs(a.sin_port);
    }
    if (fd >= 0) ::close(fd);
    return port;
}

// True once something accepts connections on 127.0.0.1:`port`, waiting up to `ms`.
inline bool AcceptsConnections(int port, int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < deadline) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(fd);
        if (ok) return true;
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
        auto fail = [&](const std::string& why) {
            if (problem) *problem = why;
            return false;
        };
        if (::access(kSer2netPath, X_OK) != 0)
            return fail(std::string(kSer2netPath) +
                        " is missing: install Debian's ser2net (tools/dev.sh does)");
        port_ = FreeTcpPort();
        if (port_ <= 0) return fail("no free loopback port");
        const auto config = scratch_.path() / "ser2net.yaml";
        std::ofstream(config) << "%YAML 1.1\n---\n"
                              << "connection: &sign\n"
                              << "  accepter: "
                              << (accepter == Accepter::Rfc2217 ? "telnet(rfc2217),tcp,"
                                                                : "tcp,")
                              << "127.0.0.1," << port_ << "\n"
                              << "  connector: serialdev," << device << ",9600n81,local\n"
                              << "  options:\n    kickolduser: true\n";
        const std::string log = (scratch_.path() / "ser2net.log").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        // -n: in the foreground, -u: no UUCP lock files, -c: our configuration only.
        std::vector<std::string> all{kSer2netPath, "-n", "-u", "-c", config.string()};
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int spawned = ::posix_spawn(&pid_, kSer2netPath, &actions, nullptr, argv.data(),
                                          environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            pid_ = -1;
            return fail("posix_spawn " + std::string(kSer2netPath));
        }
        if (!AcceptsConnections(port_, 5000))
            return fail("ser2net does not listen on port " + std::to_string(port_) + ": " +
                        FileText(log));
        return true;
    }

    int port() const { return port_; }
    std::string address(Accepter accepter) const {
        return std::string(accepter == Accepter::Rfc2217 ? "rfc2217" : "tcp") +
               "://127.0.0.1:" + std::to_string(port_);
    }

    // Ends it with `sig` and waits for it.
    void kill(int sig) {
        if (pid_ <= 0) return;
        ::kill(pid_, sig);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    static std::string FileText(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    ScratchFolder scratch_;
    pid_t pid_ = -1;
    int port_ = -1;
};

}  // namespace letrador::testing
