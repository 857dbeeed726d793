// Sign threads for tests, over scripted lines and simulated time. ScriptedLinkThread and
// ScriptedSigns run each job inside start(), on the caller's thread, so that a whole recording
// happens within the call; ScriptedLinkThreads runs each on a real thread of its own, for what
// happens while a job is still under way elsewhere.
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
        return [&link, &pump, &ticker] { return std::make_unique<ScriptedLinkThread>(link, pump, ticker); };
    }

  private:
    SerialLink& link_;
    EventPump& pump_;
    Ticker& ticker_;
};

// A line and a clock of its own for every thread made, as several real signs have; `script`
// prepares each (`index` in the order the signs are listed) and the test reads it afterwards.
class ScriptedSigns {
  public:
    struct Sign {
        SimulatedTicker ticker;
        ScriptedSerialLink link{&ticker};
        SimulatedEventPump pump{link, ticker};
    };
    std::function<void(std::size_t index, ScriptedSerialLink& link)> script;
    std::vector<std::shared_ptr<Sign>> signs;

    LinkThreadMaker maker() {
        return [this]() -> std::unique_ptr<LinkThread> {
            Sign& s = *signs.emplace_back(std::make_shared<Sign>());
            if (script) script(signs.size() - 1, s.link);
            return std::make_unique<ScriptedLinkThread>(s.link, s.pump, s.ticker);
        };
    }
};

// Each job on a real thread of its own, over a line `script` prepares; what each job did is kept.
class ScriptedLinkThreads {
  public:
    struct Run {
        std::thread::id thread;
        std::vector<int> openedPorts;
        std::vector<std::uint8_t> written;
    };
    std::function<void(ScriptedSerialLink&)> script;

    LinkThreadMaker maker() { return [this] { return std::make_unique<Thread>(*this); }; }
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
                ScriptedSigns::Sign s;
                if (owner_.script) owner_.script(s.link);
                job(s.link, s.pump, s.ticker);
                std::lock_guard<std::mutex> lock(owner_.mutex_);
                owner_.runs_.push_back({std::this_thread::get_id(), s.link.openedPorts, s.link.written});
            });
        }
        void wait() override { if (thread_.joinable()) thread_.join(); }

      private:
        ScriptedLinkThreads& owner_;
        std::thread thread_;
    };

    mutable std::mutex mutex_;
    std::vector<Run> runs_;
};

}  // namespace platform
