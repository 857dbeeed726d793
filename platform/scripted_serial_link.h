// Test doubles for the serial line and the event loop, with simulated time. ScriptedSerialLink
// answers each byte written with the next queued Step, else the responder (echo by default); a
// reply arrives whole at a tick of the simulated clock. SimulatedEventPump runs one thing per
// waitForNext(): a due arrival, else a drain step of the output, else one tick (then whatever
// arrives with it). A step can lose the line as an unplugged adapter does: isLost() turns true
// and the receive handler runs once.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/event_pump.h"
#include "platform/serial_link.h"

namespace platform {

class SimulatedTicker : public Ticker {
  public:
    void setTickHandler(std::function<void()> handler) override { onTick_ = std::move(handler); }
    long long now() const { return now_; }  // ticks since the start
    void advance() {
        ++now_;
        if (onTick_) onTick_();
    }

  private:
    long long now_ = 0;
    std::function<void()> onTick_;
};

class ScriptedSerialLink : public SerialLink {
  public:
    // The sign's answer to one byte.
    struct Step {
        std::vector<std::uint8_t> reply;  // empty: no answer at all
        // 0: arrives at once, even before the output has drained; N: just after the N-th tick.
        long long atTick = 0;
        // The line is lost instead: at 0 the write fails (its byte never drains), at N it hangs
        // up with the N-th tick.
        bool losesLine = false;
    };
    static Step Reply(std::uint8_t b) { return {{b}, 0}; }
    static Step Silence() { return {{}, 0}; }
    static Step ReplyAtTick(std::uint8_t b, long long tick) { return {{b}, tick}; }
    static Step Together(std::vector<std::uint8_t> bytes) { return {std::move(bytes), 0}; }
    static Step Lost(long long atTick = 0) { return {{}, atTick, true}; }

    using Responder = std::function<Step(std::uint8_t written)>;

    explicit ScriptedSerialLink(const SimulatedTicker* clock = nullptr) : clock_(clock) {
        for (int n = 1; n <= 255; ++n) openable_.insert(n);
    }

    void setClock(const SimulatedTicker* clock) { clock_ = clock; }
    // Steps for the next bytes written, in order; after them the responder answers.
    void queue(Step s) { script_.push_back(std::move(s)); }
    void queueReplies(const std::vector<std::uint8_t>& bytes) { for (auto b : bytes) queue(Reply(b)); }
    void setResponder(Responder r) { responder_ = std::move(r); }
    // Ports that open; every other one fails with `openFailureReason`.
    void setOpenablePorts(std::set<int> ports) { openable_ = std::move(ports); }
    std::string openFailureReason = "el dispositivo no existe";
    // Events the pump must run after each write before bytesToWrite() drops to 0.
    int drainEvents = 0;
    // Bytes that come in with no byte written, delivered at once.
    void injectArrival(std::vector<std::uint8_t> bytes) { arrivals_.push_back({nowTick(), std::move(bytes)}); }
    // The line goes now, outside any exchange.
    void loseLine() { arrivals_.push_back({nowTick(), {}, true}); }

    std::vector<std::uint8_t> written;  // every byte written, in order, open or not
    std::vector<int> openedPorts;       // the port of each successful open()
    std::vector<int> triedPorts;        // the port of each open() call

    void setPort(int number) override { port_ = number; }
    int port() const override { return port_; }
    bool open(std::string* reason) override {
        triedPorts.push_back(port_);
        if (!openable_.count(port_)) {
            if (reason) *reason = openFailureReason;
            return false;
        }
        open_ = true;
        lost_ = stuck_ = false;
        openedPorts.push_back(port_);
        return true;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool isLost() const override { return lost_; }

    void writeByte(std::uint8_t byte) override {
        written.push_back(byte);
        if (!open_ || lost_) return;
        pendingDrain_ = drainEvents;
        Step s;
        if (!script_.empty()) {
            s = std::move(script_.front());
            script_.pop_front();
        } else {
            s = responder_ ? responder_(byte) : Reply(byte);
        }
        const long long at = nowTick() + (s.atTick > 0 ? s.atTick : 0);
        // A failed write is noticed on the event loop, with its byte still waiting to go.
        if (s.losesLine && s.atTick <= 0) stuck_ = true;
        if (s.losesLine || !s.reply.empty()) arrivals_.push_back({at, std::move(s.reply), s.losesLine});
    }
    int bytesToWrite() const override { return pendingDrain_ > 0 || stuck_ ? 1 : 0; }
    int bytesAvailable() const override { return static_cast<int>(inBuffer_.size()); }
    int readByte() override {
        if (inBuffer_.empty()) return -1;
        const int b = inBuffer_.front();
        inBuffer_.pop_front();
        return b;
    }
    void setReceiveHandler(std::function<void()> handler) override { onReceive_ = std::move(handler); }

    // Driven by SimulatedEventPump: delivers the first arrival due by `now`; false when none is.
    bool deliverOneDue(long long now) {
        const auto it = std::find_if(arrivals_.begin(), arrivals_.end(), [now](auto& a) { return a.at <= now; });
        if (it == arrivals_.end()) return false;
        inBuffer_.insert(inBuffer_.end(), it->bytes.begin(), it->bytes.end());
        const bool loses = it->losesLine;
        arrivals_.erase(it);
        if (loses && (!open_ || lost_)) return true;  // a line already gone is not lost twice
        lost_ = lost_ || loses;
        if (onReceive_) onReceive_();
        return true;
    }
    bool drainStep() {
        if (pendingDrain_ <= 0) return false;
        --pendingDrain_;
        return true;
    }

  private:
    struct Arrival {
        long long at;
        std::vector<std::uint8_t> bytes;
        bool losesLine = false;
    };
    long long nowTick() const { return clock_ ? clock_->now() : 0; }

    const SimulatedTicker* clock_;
    std::deque<Step> script_;
    Responder responder_;
    std::set<int> openable_;
    int port_ = 1;
    bool open_ = false, lost_ = false, stuck_ = false;  // stuck_: a failed write, its byte never drains
    int pendingDrain_ = 0;
    std::deque<Arrival> arrivals_;
    std::deque<std::uint8_t> inBuffer_;
    std::function<void()> onReceive_;
};

class SimulatedEventPump : public EventPump {
  public:
    SimulatedEventPump(ScriptedSerialLink& link, SimulatedTicker& ticker) : link_(link), ticker_(ticker) {
        link_.setClock(&ticker_);
    }

    // Waiting code that never finishes would hang a test; past this many ticks it throws.
    long long maxTicks = 10'000'000;
    long long waits = 0;

    void processPending() override {
        deliverAllDue();
        while (link_.drainStep()) continue;
    }
    void waitForNext() override {
        ++waits;
        if (link_.deliverOneDue(ticker_.now()) || link_.drainStep()) return;
        if (ticker_.now() >= maxTicks) throw std::runtime_error("simulated time ran out");
        ticker_.advance();
        deliverAllDue();
    }

  private:
    void deliverAllDue() { while (link_.deliverOneDue(ticker_.now())) continue; }
    ScriptedSerialLink& link_;
    SimulatedTicker& ticker_;
};

}  // namespace platform
