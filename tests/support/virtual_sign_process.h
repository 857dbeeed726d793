// Runs the built cartel-virtual as a child process, its pseudo-terminal linked as
// WORK/puertos/COMn, and reads back what it recorded once it is stopped.
//
// Needs LETRADOR_CARTEL_VIRTUAL_PATH (the program, e.g. "$<TARGET_FILE:cartel-virtual>") and
// the letrador_virtual_sign library for reading the listing.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/sample_font.h"
#include "tools/cartel-virtual/sign_decoder.h"

#ifndef LETRADOR_CARTEL_VIRTUAL_PATH
#error "LETRADOR_CARTEL_VIRTUAL_PATH must name the cartel-virtual program"
#endif

extern char** environ;

namespace letrador::testing {

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
    VirtualSignProcess(std::filesystem::path workFolder, int port,
                       std::vector<std::string> extraArgs = {})
        : work_(std::move(workFolder)), port_(port), extra_(std::move(extraArgs)) {}
    ~VirtualSignProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
    }
    VirtualSignProcess(const VirtualSignProcess&) = delete;
    VirtualSignProcess& operator=(const VirtualSignProcess&) = delete;

    std::filesystem::path linkPath() const {
        return work_ / "puertos" / ("COM" + std::to_string(port_));
    }
    std::filesystem::path recordPath() const { return scratch_.path() / "registro.txt"; }
    // The slave device it printed first.
    const std::string& device() const { return device_; }
    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    // Sends `sig` to it while it runs; stop() still collects it and its record.
    bool sendSignal(int sig) { return pid_ > 0 && ::kill(pid_, sig) == 0; }

    // Starts it and waits (up to 5 s) for its first line. False, with `problem`, when it did
    // not come.
    bool start(std::string* problem = nullptr) {
        auto fail = [&](const std::string& why) {
            if (problem) *problem = why;
            return false;
        };
        std::filesystem::create_directories(linkPath().parent_path());
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) != 0) return fail("pipe2");
        const std::string errPath = (scratch_.path() / "stderr.txt").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
        // Its standard error goes to a file, so that no pipe of the test runner stays held.
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        std::vector<std::string> all{LETRADOR_CARTEL_VIRTUAL_PATH, "--enlace", linkPath().string(),
                                     "--registro", recordPath().string()};
        all.insert(all.end(), extra_.begin(), extra_.end());
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int spawned =
            ::posix_spawn(&pid_, all[0].c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        out_ = pipeFds[0];
        if (spawned != 0) {
            pid_ = -1;
            return fail("posix_spawn: " + all[0]);
        }
        std::string line;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (line.find('\n') == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return fail("no first line from cartel-virtual");
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            char buf[256];
            const ssize_t n = ::read(out_, buf, sizeof buf);
            if (n <= 0) return fail("cartel-virtual ended: " + FileText(errPath));
            line.append(buf, static_cast<std::size_t>(n));
        }
        device_ = line.substr(0, line.find('\n'));
        return true;
    }

    // Stops it with SIGTERM (SIGKILL after 5 s) and reads its record.
    Record stop() {
        Record rec;
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            int status = 0;
            while (true) {
                if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                    if (WIFEXITED(status)) rec.exitCode = WEXITSTATUS(status);
                    break;
                }
                if (std::chrono::steady_clock::now() > deadline) {
                    ::kill(pid_, SIGKILL);
                    ::waitpid(pid_, &status, 0);
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            pid_ = -1;
        }
        rec.listing = FileText(recordPath());
        const std::string raw = FileText(recordPath().string() + ".bin");
        rec.bytes.assign(raw.begin(), raw.end());
        rec.decoded = cartel::ParseListing(rec.listing);
        rec.errors = FileText(scratch_.path() / "stderr.txt");
        return rec;
    }

    static std::string FileText(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

  private:
    std::filesystem::path work_;
    int port_;
    std::vector<std::string> extra_;
    ScratchFolder scratch_;
    pid_t pid_ = -1;
    int out_ = -1;
    std::string device_;
};

}  // namespace letrador::testing
