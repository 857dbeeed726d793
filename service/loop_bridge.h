// The service's event loop as the web server's threads and the engine's threads reach it: a call
// run there and waited for, and an event posted there. This is the only way anything outside the
// loop touches the service's state.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class QObject;

namespace letrador::service {

class LoopBridge {
  public:
    // Made on the loop's thread; `context` lives on it until close().
    explicit LoopBridge(QObject* context);

    // Runs `fn` on the loop and waits for it to end (at once when already on the loop). False
    // when the service is closing and `fn` never ran.
    bool run(const std::function<void()>& fn);
    // Queues `fn` on the loop; dropped once closing.
    void post(std::function<void()> fn);
    // From now on nothing new runs on the loop; a call already running there ends normally.
    void close();

  private:
    QObject* context_;
    std::mutex mutex_;
    bool closing_ = false;
};

}  // namespace letrador::service
