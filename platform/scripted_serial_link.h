// Test doubles for the serial line and the event loop, with simulated time.
//
// ScriptedSerialLink answers every byte written from a script: the next queued Step if there is
// one, otherwise the responder (echo by default). A reply travels as an "arrival": its bytes
// come in together, at a moment of the simulated clock. SimulatedEventPump runs one thing per
// waitForNext(): a due arrival (the receive handler sees its bytes), else the draining of the
// output, else one tick of the SimulatedTicker (the tick handler runs, then whatever arrives at
// that same tick). No real time passes.
#pragma once

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
    // Ticks since the start.
    long long now() const { return now_; }
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
        // 0: arrives at once (before the next tick, even before the output has drained);
        // N > 0: arrives together with the N-th tick after the write, just after it.
        long long atTick = 0;
    };
    static Step Reply(std::uint8_t b) { return {{b}, 0}; }
    static Step Silence() { return {{}, 0}; }
    static Step ReplyAtTick(std::uint8_t b, long long tick) { return {{b}, tick}; }
    static Step Together(std::vector<std::uint8_t> bytes) { return {std::move(bytes), 0}; }

    using Responder = std::function<Step(std::uint8_t written)>;

    explicit ScriptedSerialLink(const SimulatedTicker* clock = nullptr) : clock_(clock) {
        for (int n = 1; n <= 255; ++n) openable_.insert(n);
    }

    // --- scripting ---
    void setClock(const SimulatedTicker* clock) { clock_ = clock; }
    // Steps for the next bytes written, in order; after them the responder answers.
    void queue(Step s) { script_.push_back(std::move(s)); }
    void queueReplies(const std::vector<std::uint8_t>& bytes) {
        for (auto b : bytes) queue(Reply(b));
    }
    void setResponder(Responder r) { responder_ = std::move(r); }
    // Ports that open; every other one fails with `openFailureReason`.
    void setOpenablePorts(std::set<int> ports) { openable_ = std::move(ports); }
    std::string openFailureReason = "el dispositivo no existe";
    // Events the pump must run after each write before bytesToWrite() drops to 0.
    int drainEvents = 0;
    // Bytes that come in from the line with no byte written (a stray byte), delivered at once.
    void injectArrival(std::vector<std::uint8_t> bytes) {
        arrivals_.push_back({nowTick(), std::move(bytes)});
    }

    // --- what happened ---
    std::vector<std::uint8_t> written;  // every byte written, in order
    int writesWhileClosed = 0;
    std::vector<int> openedPorts;  // the port of each successful open()
    std::vector<int> triedPorts;   // the port of each open() call
    int closeCount = 0;

    // --- SerialLink ---
    void setPort(int number) override { port_ = number; }
    int port() const override { return port_; }
    bool open(std::string* reason) override {
        triedPorts.push_back(port_);
        if (!openable_.count(port_)) {
            if (reason) *reason = openFailureReason;
            return false;
        }
        open_ = true;
        openedPorts.push_back(port_);
        return true;
    }
    void close() override {
        if (open_) ++closeCount;
        open_ = false;
    }
    bool isOpen() const override { return open_; }
    bool isLost() const override { return lost_; }

    void writeByte(std::uint8_t byte) override {
        written.push_back(byte);
        if (!open_) {
            ++writesWhileClosed;
            return;
        }
        pendingDrain_ = drainEvents;
        Step s;
        if (!script_.empty()) {
            s = std::move(script_.front());
            script_.pop_front();
        } else if (responder_) {
            s = responder_(byte);
        } else {
            s = Reply(byte);
        }
        if (s.reply.empty()) return;
        const long long at = nowTick() + (s.atTick > 0 ? s.atTick : 0);
        arrivals_.push_back({at, std::move(s.reply)});
    }
    int bytesToWrite() const override { return pendingDrain_ > 0 ? 1 : 0; }
    int bytesAvailable() const override { return static_cast<int>(inBuffer_.size()); }
    int readByte() override {
        if (inBuffer_.empty()) return -1;
        int b = inBuffer_.front();
        inBuffer_.pop_front();
        return b;
    }
    void setReceiveHandler(std::function<void()> handler) override {
        onReceive_ = std::move(handler);
    }

    // --- driven by SimulatedEventPump ---
    // Delivers the first arrival due at or before `now`; false when none is due.
    bool deliverOneDue(long long now) {
        for (auto it = arrivals_.begin(); it != arrivals_.end(); ++it) {
            if (it->at > now) continue;
            for (auto b : it->bytes) inBuffer_.push_back(b);
            arrivals_.erase(it);
            if (onReceive_) onReceive_();
            return true;
        }
        return false;
    }
    bool drainStep() {
        if (pendingDrain_ <= 0) return false;
        --pendingDrain_;
        return true;
    }
    bool hasPendingArrivals() const { return !arrivals_.empty(); }
    std::size_t scriptLeft() const { return script_.size(); }

  private:
    struct Arrival {
        long long at;
        std::vector<std::uint8_t> bytes;
    };
    long long nowTick() const { return clock_ ? clock_->now() : 0; }

    const SimulatedTicker* clock_;
    std::deque<Step> script_;
    Responder responder_;
    std::set<int> openable_;
    int port_ = 1;
    bool open_ = false;
    bool lost_ = false;
    int pendingDrain_ = 0;
    std::deque<Arrival> arrivals_;
    std::deque<std::uint8_t> inBuffer_;
    std::function<void()> onReceive_;
};

class SimulatedEventPump : public EventPump {
  public:
    SimulatedEventPump(ScriptedSerialLink& link, SimulatedTicker& ticker)
        : link_(link), ticker_(ticker) {
        link_.setClock(&ticker_);
    }

    // Waiting code that never finishes would hang a test; past this many ticks it throws.
    long long maxTicks = 10'000'000;
    long long waits = 0;

    void processPending() override {
        while (link_.deliverOneDue(ticker_.now())) {
        }
        while (link_.drainStep()) {
        }
    }
    void waitForNext() override {
        ++waits;
        if (link_.deliverOneDue(ticker_.now())) return;
        if (link_.drainStep()) return;
        if (ticker_.now() >= maxTicks) throw std::runtime_error("simulated time ran out");
        ticker_.advance();
        while (link_.deliverOneDue(ticker_.now())) {
        }
    }

  private:
    ScriptedSerialLink& link_;
    SimulatedTicker& ticker_;
};

}  // namespace platform
