// Ctrl+C (SIGINT) and SIGTERM for the programs without windows: the handler runs on the event
// loop's thread, never inside the signal, so it may stop a recording or quit the loop. While an
// Interrupts object lives the two signals no longer end the process by themselves.
#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace platform {

class Interrupts {
  public:
    // `handler` hears the number of the signal, once for each one that arrives.
    explicit Interrupts(std::function<void(int signal)> handler);
    // Gives SIGINT and SIGTERM back their default action.
    ~Interrupts();
    Interrupts(const Interrupts&) = delete;
    Interrupts& operator=(const Interrupts&) = delete;

  private:
    std::function<void(int)> handler_;
    int pipe_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace platform
