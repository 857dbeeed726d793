#include "platform/qt_link_thread.h"

#include <QThread>

#include "platform/qt_event_pump.h"
#include "platform/qt_port_link.h"

namespace platform {

QtLinkThread::QtLinkThread(std::function<std::string(int)> resolver)
    : resolver_(std::move(resolver)) {}

QtLinkThread::~QtLinkThread() { wait(); }

void QtLinkThread::start(Job job) {
    wait();
    // Everything is made inside the thread, so that the port's notifier and the timer belong to
    // its event dispatcher and not to the caller's.
    thread_.reset(QThread::create([resolver = resolver_, job = std::move(job)] {
        QtPortLink link(resolver);
        QtEventPump pump;
        QtTicker ticker;
        job(link, pump, ticker);
    }));
    thread_->start();
}

void QtLinkThread::wait() {
    if (thread_) thread_->wait();
}

LinkThreadMaker QtLinkThread::maker(std::function<std::string(int)> resolver) {
    return [resolver = std::move(resolver)]() -> std::unique_ptr<LinkThread> {
        return std::make_unique<QtLinkThread>(resolver);
    };
}

}  // namespace platform
