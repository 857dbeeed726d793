// Sign threads for tests, over scripted lines and simulated time.
//
// ScriptedLinkThread and ScriptedSigns run each job at once, inside start(), on the caller's
// thread: a test sees a whole recording happen within the call that starts it, with no real
// time passing. ScriptedLinkThreads runs each job on a real thread of its own, for a test of
// what happens while a job is still under way elsewhere.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/link_thread.h"
#include "platform/scripted_serial_link.h"

namespace platform {

class ScriptedLinkThread : public LinkThread {
  public:
    ScriptedLinkThread(SerialLink& link, EventPump& pump, Ticker& ticker)
        : link_(link), pump_(pump), ticker_(ticker) {}
    void start(Job job) override { job(link_, pump_, ticker_); }
    void wait() override {}

    // Every thread over the same line and clock (a window test's one sign).
    static LinkThreadMaker over(ScriptedSerialLink& link, EventPump& pump, Ticker& ticker) {
        return [&link, &pump, &ticker]() -> std::unique_ptr<LinkThread> {
            return std::make_unique<ScriptedLinkThread>(link, pump, ticker);
        };
    }

  private:
    SerialLink& link_;
    EventPump& pump_;
    Ticker& ticker_;
};

// A line and a clock of its own for every thread made, as several real signs have; the test
// scripts each one as it is made (in the order the signs are listed) and reads it afterwards.
class ScriptedSigns {
  public:
    struct Sign {
        SimulatedTicker ticker;
        ScriptedSerialLink link{&ticker};
        SimulatedEventPump pump{link, ticker};
    };

    // Called for each new sign before its job runs; `index` counts the signs made so far.
    std::function<void(std::size_t index, ScriptedSerialLink& link)> script;
    std::vector<std::shared_ptr<Sign>> signs;

    LinkThreadMaker maker() {
        return [this]() -> std::unique_ptr<LinkThread> {
            signs.push_back(std::make_shared<Sign>());
            Sign& s = *signs.back();
            if (script) script(signs.size() - 1, s.link);
            return std::make_unique<ScriptedLinkThread>(s.link, s.pump, s.ticker);
        };
    }
};

// Each job on a real thread of its own, over a line that `script` sets up first; what each job
// did (its thread, the ports it opened, the bytes it wrote) is kept for the test to read.
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
