// The Qt event loop as the waiting code's pump, and the 100 ms tick as a QTimer.
#pragma once

#include <functional>

#include <QTimer>

#include "platform/event_pump.h"

namespace platform {

class QtEventPump : public EventPump {
  public:
    void processPending() override;
    // Sleeps in the event dispatcher until something happens, then runs it.
    void waitForNext() override;
};

class QtTicker : public Ticker {
  public:
    QtTicker();
    void setTickHandler(std::function<void()> handler) override { onTick_ = std::move(handler); }

  private:
    QTimer timer_;
    std::function<void()> onTick_;
};

}  // namespace platform
