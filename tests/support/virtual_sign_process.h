// The built cartel-virtual (LETRADOR_CARTEL_VIRTUAL_PATH) as a child process, its pseudo-terminal
// linked as WORK/puertos/COMn, and what it recorded, read back once it is stopped.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <iterator>
#include <optional>
#include <thread>
#include <utility>

#include "tests/support/sample_font.h"
#include "tools/cartel-virtual/sign_decoder.h"

#ifndef LETRADOR_CARTEL_VIRTUAL_PATH
#error "LETRADOR_CARTEL_VIRTUAL_PATH must name the cartel-virtual program"
#endif

extern char** environ;

namespace letrador::testing {

using Bytes = std::vector<std::uint8_t>;
inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Child processes: input from /dev/null, output to the pipe `outFd` or to `outPath`, errors to
// `errPath` or (none given) with the output; in the folder `cwd` when one is given.
struct ChildProcess {
    static pid_t Spawn(std::vector<std::string> argv, int outFd, const std::string& outPath,
                       const std::string& errPath, const std::filesystem::path& cwd = {}) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        const int flags = O_WRONLY | O_CREAT | O_TRUNC;
        if (outFd >= 0) posix_spawn_file_actions_adddup2(&actions, outFd, 1);
        else posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), flags, 0600);
        if (errPath.empty()) posix_spawn_file_actions_adddup2(&actions, 1, 2);
        else posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), flags, 0600);
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        pid_t pid = -1;
        const bool spawned = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        return spawned ? pid : -1;
    }
    // Waits up to `ms` for `pid` to end, then kills it; its exit code, or -1.
    static int Reap(pid_t pid, int ms) {
        int status = 0;
        for (int k = 0; pid > 0 && k < ms / 10; ++k) {
            if (::waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (pid > 0 && ::kill(pid, SIGKILL) == 0) ::waitpid(pid, &status, 0);
        return -1;
    }
    static std::string FileText(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
};

class VirtualSignProcess {
  public:
    struct Record {
        int exitCode = -1;  // -1: it had to be killed, or never ran
        std::string listing;
        std::vector<std::uint8_t> bytes;
        std::optional<cartel::SignRecord> decoded;  // the listing read back
        std::string errors;                         // its standard error
    };

    // The sign for port `port` of `workFolder`, started with `extraArgs` (faults, say).
    VirtualSignProcess(std::filesystem::path workFolder, int port, std::vector<std::string> extraArgs = {})
        : work_(std::move(workFolder)), port_(port), extra_(std::move(extraArgs)) {}
    ~VirtualSignProcess() { ChildProcess::Reap(pid_, 0); }

    std::filesystem::path linkPath() const { return work_ / "puertos" / ("COM" + std::to_string(port_)); }
    std::filesystem::path recordPath() const { return scratch_.path() / "registro.txt"; }
    const std::string& device() const { return device_; }  // the slave device it printed first
    pid_t pid() const { return pid_; }
    bool sendSignal(int sig) { return pid_ > 0 && ::kill(pid_, sig) == 0; }
    // Whether byte `n` (counted from 0) has come in.
    bool received(long long n) const {
        std::error_code ec;
        return std::filesystem::file_size(bytesPath(), ec) > static_cast<std::uintmax_t>(n) && !ec;
    }
    // Waits up to `within` for byte `n`; whether it came.
    bool awaitByte(long long n, std::chrono::milliseconds within) const {
        for (const auto until = std::chrono::steady_clock::now() + within; !received(n);
             std::this_thread::sleep_for(std::chrono::milliseconds(2)))
            if (std::chrono::steady_clock::now() >= until) return false;
        return true;
    }

    // Starts it and waits up to 5 s for its first line; false, with `problem`, when none came.
    bool start(std::string* problem = nullptr) {
        std::filesystem::create_directories(linkPath().parent_path());
        std::vector<std::string> args{LETRADOR_CARTEL_VIRTUAL_PATH, "--enlace", linkPath().string(), "--registro",
                                      recordPath().string()};
        args.insert(args.end(), extra_.begin(), extra_.end());
        // Its output and errors go to files, so that no pipe of the test runner stays held.
        pid_ = ChildProcess::Spawn(args, -1, outPath(), errPath());
        for (int k = 0; pid_ > 0 && k < 500 && device_.find('\n') == std::string::npos; ++k) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            device_ = ChildProcess::FileText(outPath());
        }
        if (device_.find('\n') == std::string::npos) {
            if (problem) *problem = "no first line from cartel-virtual: " + ChildProcess::FileText(errPath());
            return false;
        }
        device_.resize(device_.find('\n'));
        return true;
    }

    // Stops it with SIGTERM (SIGKILL after 5 s) and reads its record.
    Record stop() {
        sendSignal(SIGTERM);
        const int code = ChildProcess::Reap(std::exchange(pid_, -1), 5000);
        const std::string listing = ChildProcess::FileText(recordPath()), raw = ChildProcess::FileText(bytesPath());
        return {code, listing, {raw.begin(), raw.end()}, cartel::ParseListing(listing), ChildProcess::FileText(errPath())};
    }

  private:
    std::string outPath() const { return (scratch_.path() / "stdout.txt").string(); }
    std::string errPath() const { return (scratch_.path() / "stderr.txt").string(); }
    std::string bytesPath() const { return recordPath().string() + ".bin"; }  // what --registro keeps raw

    std::filesystem::path work_;
    int port_;
    std::vector<std::string> extra_;
    ScratchFolder scratch_;
    pid_t pid_ = -1;
    std::string device_;
};

// A client of the sign's port, as a serial program opens it: each byte sent gets its reply, or
// -1 when none came within `replyWaitMs`. Empty when the port does not open.
inline std::vector<int> ExchangeWithSign(const std::filesystem::path& port, const std::vector<std::uint8_t>& bytes,
                                         int replyWaitMs) {
    std::vector<int> out;
    const int fd = ::open(port.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) return out;
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    for (std::uint8_t b : bytes) {
        pollfd p{fd, POLLIN, 0};
        std::uint8_t r = 0;
        const bool got = ::write(fd, &b, 1) == 1 && ::poll(&p, 1, replyWaitMs) > 0 && ::read(fd, &r, 1) == 1;
        out.push_back(got ? r : -1);
    }
    ::close(fd);
    return out;
}

}  // namespace letrador::testing
