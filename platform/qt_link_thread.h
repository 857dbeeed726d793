// A LinkThread over QThread: the job runs with a QtPortLink, QtEventPump and QtTicker made on
// the new thread, whose own event dispatcher wakes it for received bytes and ticks.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/link_thread.h"

class QThread;

namespace platform {

class QtLinkThread : public LinkThread {
  public:
    // `resolver` gives what a port number leads to (a device path or a network address), as for
    // QtPortLink.
    explicit QtLinkThread(std::function<std::string(int)> resolver);
    ~QtLinkThread() override;
    QtLinkThread(const QtLinkThread&) = delete;
    QtLinkThread& operator=(const QtLinkThread&) = delete;

    void start(Job job) override;
    void wait() override;

    // A maker of such threads, all resolving port numbers with `resolver`.
    static LinkThreadMaker maker(std::function<std::string(int)> resolver);

  private:
    std::function<std::string(int)> resolver_;
    std::unique_ptr<QThread> thread_;
};

}  // namespace platform
