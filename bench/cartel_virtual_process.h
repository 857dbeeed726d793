// The benchmarks' signs: cartel-virtual as a separate process on its own pseudo-terminal.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace letrador::bench {

// Bytes of a sign's life answered late when asked to: more than one recording of the
// benchmarks' messages sends.
constexpr int kBytesDemorados = 4000;

// cartel-virtual linked as FOLDER/COMn, the first kBytesDemorados bytes answered `lateMs` late.
class CartelVirtual {
  public:
    CartelVirtual(const std::string& folder, int port, int lateMs = 0) {
        link_ = folder + "/COM" + std::to_string(port);
        std::vector<std::string> all{LETRADOR_CARTEL_VIRTUAL_PATH, "--enlace", link_};
        for (int n = 0; lateMs > 0 && n < kBytesDemorados; ++n) {
            all.push_back("--tarde");
            all.push_back(std::to_string(n) + ":" + std::to_string(lateMs));
        }
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        if (::posix_spawn(&pid_, all[0].c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        out_ = fds[0];
        // Its first line says the pseudo-terminal is there.
        std::string line;
        while (pid_ > 0 && line.find('\n') == std::string::npos) {
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0) break;
            char buf[256];
            const ssize_t n = ::read(out_, buf, sizeof buf);
            if (n <= 0) break;
            line.append(buf, static_cast<std::size_t>(n));
        }
        ok_ = line.find('\n') != std::string::npos;
    }
    ~CartelVirtual() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
    }
    bool ok() const { return ok_; }

  private:
    std::string link_;
    pid_t pid_ = -1;
    int out_ = -1;
    bool ok_ = false;
};

}  // namespace letrador::bench
