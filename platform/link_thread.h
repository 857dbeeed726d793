// A thread of its own for one sign: its serial link, event pump and 100 ms tick are made on that
// thread, so that several signs can be recorded at the same time, each waiting on its own events.
#pragma once

#include <functional>
#include <memory>

#include "platform/event_pump.h"
#include "platform/serial_link.h"

namespace platform {

class LinkThread {
  public:
    using Job = std::function<void(SerialLink&, EventPump&, Ticker&)>;

    // Waits for the job to end.
    virtual ~LinkThread() = default;
    // Runs `job` on the thread with the link, pump and ticker made there; returns at once.
    virtual void start(Job job) = 0;
    // Blocks until the job has returned (at once when it never started).
    virtual void wait() = 0;
};

using LinkThreadMaker = std::function<std::unique_ptr<LinkThread>()>;

}  // namespace platform
