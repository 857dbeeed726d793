// A LinkThread double for tests: each job runs on a real thread of its own, over a
// ScriptedSerialLink with simulated time that `script` sets up first (ports that open, the
// sign's replies). What each job did (its thread, the ports it opened, the bytes it wrote) is
// kept for the test to read once the job has ended.
#pragma once

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/link_thread.h"
#include "platform/scripted_serial_link.h"

namespace platform {

class ScriptedLinkThreads {
  public:
    struct Run {
        std::thread::id thread;
        std::vector<int> openedPorts;
        std::vector<std::uint8_t> written;
    };

    // Prepares each new thread's link before its job runs.
    std::function<void(ScriptedSerialLink&)> script;

    LinkThreadMaker maker() {
        return [this]() -> std::unique_ptr<LinkThread> { return std::make_unique<Thread>(*this); };
    }

    // The jobs that have ended, in the order they ended.
    std::vector<Run> runs() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return runs_;
    }

  private:
    class Thread : public LinkThread {
      public:
        explicit Thread(ScriptedLinkThreads& owner) : owner_(owner) {}
        ~Thread() override { wait(); }
        void start(Job job) override {
            wait();
            thread_ = std::thread([this, job = std::move(job)] {
                SimulatedTicker ticker;
                ScriptedSerialLink link(&ticker);
                SimulatedEventPump pump(link, ticker);
                if (owner_.script) owner_.script(link);
                job(link, pump, ticker);
                std::lock_guard<std::mutex> lock(owner_.mutex_);
                owner_.runs_.push_back(
                    {std::this_thread::get_id(), link.openedPorts, link.written});
            });
        }
        void wait() override {
            if (thread_.joinable()) thread_.join();
        }

      private:
        ScriptedLinkThreads& owner_;
        std::thread thread_;
    };

    mutable std::mutex mutex_;
    std::vector<Run> runs_;
};

}  // namespace platform
