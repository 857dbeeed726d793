// Sign threads for tests: each job runs at once, inside start(), on the caller's thread, over a
// scripted line and simulated time. A test then sees a whole recording happen within the call
// that starts it, with no real time passing.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
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

}  // namespace platform
