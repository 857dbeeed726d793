// Takes the sign away in the middle of a recording, as an unplugged adapter does: a thread of
// the test watches what the virtual sign has received and, once byte `atByte` (counted from 0)
// is in, kills it (or runs `kill`: the server in front of it, say), optionally stopping the
// line's output first so that the program's next byte stays waiting to drain.
#pragma once

#include <termios.h>

#include <atomic>
#include <functional>

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

    SignLoss(VirtualSignProcess& sign, Plan plan, std::function<bool()> kill = {}) {
        if (!kill) kill = [&sign] { return sign.sendSignal(SIGKILL); };
        thread_ = std::thread([this, &sign, plan, kill = std::move(kill)] {
            for (const auto giveUp = Clock::now() + std::chrono::seconds(60); !sign.received(plan.atByte);
                 std::this_thread::sleep_for(std::chrono::milliseconds(2)))
                if (quit_ || Clock::now() >= giveUp) return;
            const int flags = O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
            const int slave = plan.stopOutput ? ::open(sign.device().c_str(), flags) : -1;
            if (slave >= 0) ::tcflow(slave, TCOOFF);
            std::this_thread::sleep_for(plan.after);
            killedAt_ = Clock::now();
            killed_ = kill();
            if (slave >= 0) ::close(slave);
        });
    }
    ~SignLoss() { join(); }
    void join() {
        quit_ = true;
        if (thread_.joinable()) thread_.join();
    }
    bool killed() const { return killed_; }
    Clock::time_point killedAt() const { return killedAt_; }

  private:
    std::atomic<bool> quit_{false}, killed_{false};
    Clock::time_point killedAt_{};
    std::thread thread_;
};

}  // namespace letrador::testing
