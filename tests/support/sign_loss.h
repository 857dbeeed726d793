// Takes the virtual sign away in the middle of a recording, as an unplugged adapter does: a
// thread of the test watches what the sign has received and kills it once byte `atByte`
// (counted from 0) is in, optionally stopping the line's output first so that the program's
// next byte stays waiting to drain.
#pragma once

#include <termios.h>

#include <atomic>

#include "tests/support/virtual_sign_process.h"

namespace letrador::testing {

class SignLoss {
  public:
    using Clock = std::chrono::steady_clock;
    struct Plan {
        long long atByte = 0;
        std::chrono::milliseconds after{150};  // between seeing the byte and the kill
        bool stopOutput = false;               // stop the pseudo-terminal's output at the byte
    };

    SignLoss(VirtualSignProcess& sign, Plan plan) : sign_(sign), plan_(plan) {
        thread_ = std::thread([this] { run(); });
    }
    ~SignLoss() { join(); }

    void join() {
        quit_ = true;
        if (thread_.joinable()) thread_.join();
    }
    bool killed() const { return killed_; }
    Clock::time_point killedAt() const { return killedAt_; }

  private:
    void run() {
        const std::filesystem::path bin = sign_.recordPath().string() + ".bin";
        const auto giveUp = Clock::now() + std::chrono::seconds(60);
        std::error_code ec;
        while (!quit_ && Clock::now() < giveUp) {
            const auto size = std::filesystem::file_size(bin, ec);
            if (!ec && static_cast<long long>(size) > plan_.atByte) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        if (quit_ || Clock::now() >= giveUp) return;
        const int slave = plan_.stopOutput ? ::open(sign_.device().c_str(),
                                                    O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)
                                           : -1;
        if (slave >= 0) ::tcflow(slave, TCOOFF);
        std::this_thread::sleep_for(plan_.after);
        killedAt_ = Clock::now();
        killed_ = sign_.sendSignal(SIGKILL);
        if (slave >= 0) ::close(slave);
    }

    VirtualSignProcess& sign_;
    Plan plan_;
    std::atomic<bool> quit_{false}, killed_{false};
    Clock::time_point killedAt_{};
    std::thread thread_;
};

}  // namespace letrador::testing
