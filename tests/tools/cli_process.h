// Runs the built letrador-cli as a child process and collects what it wrote, and a sign on the
// master side of a pseudo-terminal answered from a thread of the test.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/scripted_serial_link.h"
#include "tests/support/sample_font.h"

extern char** environ;

namespace letrador::testing {

struct CliRun {
    int exitCode = -1;  // -1 when it did not end by itself within the time allowed
    std::string out;
    std::string err;

    // Standard output split into lines ("\n"; a last line without one counts too).
    std::vector<std::string> outLines() const {
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start < out.size()) {
            std::size_t end = out.find('\n', start);
            if (end == std::string::npos) end = out.size();
            lines.push_back(out.substr(start, end - start));
            start = end + 1;
        }
        return lines;
    }
};

inline std::string FileText(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs `program` with `args` in `cwd` (the test's own when empty), standard input from
// /dev/null, and waits up to `limit` for it to end.
inline CliRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& cwd = {},
                         std::chrono::seconds limit = std::chrono::seconds(60)) {
    ScratchFolder scratch;
    const std::string outPath = (scratch.path() / "out").string();
    const std::string errPath = (scratch.path() / "err").string();

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());

    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);

    CliRun run;
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        run.err = "posix_spawn failed";
        return run;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (true) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    run.out = FileText(outPath);
    run.err = FileText(errPath);
    return run;
}

inline CliRun RunCli(const std::vector<std::string>& args, const std::filesystem::path& cwd = {}) {
    return RunProgram(LETRADOR_CLI_PATH, args, cwd);
}

// A sign on the master side of a pty: each byte that comes in is answered by `answer` (no
// reply when it gives an empty one). The slave side is held open too, so that the program under
// test may open and close it as often as it likes.
class PtyThreadSign {
  public:
    using Answer = std::function<platform::ScriptedSerialLink::Step(std::uint8_t)>;

    explicit PtyThreadSign(Answer answer) : answer_(std::move(answer)) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        slave_ = ::ptsname(master_);
        termios t{};
        ::tcgetattr(master_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(master_, TCSANOW, &t);
        keep_ = ::open(slave_.c_str(), O_RDWR | O_NOCTTY);
        thread_ = std::thread([this] { serve(); });
    }
    ~PtyThreadSign() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (keep_ >= 0) ::close(keep_);
        if (master_ >= 0) ::close(master_);
    }
    bool ok() const { return master_ >= 0 && keep_ >= 0; }
    const std::string& slave() const { return slave_; }
    std::vector<std::uint8_t> received() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }

  private:
    void serve() {
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0 || !(p.revents & POLLIN)) continue;
            unsigned char buf[256];
            const ssize_t got = ::read(master_, buf, sizeof buf);
            for (ssize_t k = 0; k < got; ++k) {
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    received_.push_back(buf[k]);
                }
                const auto step = answer_(buf[k]);
                if (!step.reply.empty()) {
                    [[maybe_unused]] ssize_t w = ::write(master_, step.reply.data(), step.reply.size());
                }
            }
        }
    }

    Answer answer_;
    int master_ = -1;
    int keep_ = -1;
    std::string slave_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<std::uint8_t> received_;
};

}  // namespace letrador::testing
