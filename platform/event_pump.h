// The event loop as the waiting code sees it, and the program's 100 ms tick.
#pragma once

#include <functional>

namespace platform {

class EventPump {
public:
    virtual ~EventPump() = default;
    // Runs the events that are pending and returns at once.
    virtual void processPending() = 0;
    // Blocks until at least one event (a received byte, a tick, a repaint...) has been run.
    virtual void waitForNext() = 0;
};

class Ticker {
public:
    virtual ~Ticker() = default;
    // The handler runs on the event loop every 100 ms, from now on.
    virtual void setTickHandler(std::function<void()> handler) = 0;
};

}  // namespace platform
