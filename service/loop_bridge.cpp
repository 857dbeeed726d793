#include "service/loop_bridge.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <condition_variable>

namespace letrador::service {

namespace {
// One call handed to the loop. The caller may give up on it while it waits, and then it must
// never run: it refers to the caller's own variables.
struct Call {
    std::mutex mutex;
    std::condition_variable changed;
    enum { Waiting, Running, Done, Abandoned } state = Waiting;
};
}  // namespace

LoopBridge::LoopBridge(QObject* context) : context_(context) {}

bool LoopBridge::run(const std::function<void()>& fn) {
    if (QThread::currentThread() == context_->thread()) {
        fn();
        return true;
    }
    auto call = std::make_shared<Call>();
    {
        std::lock_guard lock(mutex_);
        if (closing_) return false;
        QMetaObject::invokeMethod(
            context_,
            [call, &fn] {
                {
                    std::lock_guard l(call->mutex);
                    if (call->state == Call::Abandoned) return;
                    call->state = Call::Running;
                }
                fn();
                std::lock_guard l(call->mutex);
                call->state = Call::Done;
                call->changed.notify_all();
            },
            Qt::QueuedConnection);
    }
    std::unique_lock l(call->mutex);
    while (call->state != Call::Done) {
        call->changed.wait_for(l, std::chrono::milliseconds(50));
        if (call->state == Call::Waiting) {
            std::lock_guard lock(mutex_);
            if (closing_) {
                call->state = Call::Abandoned;
                return false;
            }
        }
    }
    return true;
}

void LoopBridge::post(std::function<void()> fn) {
    std::lock_guard lock(mutex_);
    if (closing_) return;
    QMetaObject::invokeMethod(context_, std::move(fn), Qt::QueuedConnection);
}

void LoopBridge::close() {
    std::lock_guard lock(mutex_);
    closing_ = true;
}

}  // namespace letrador::service
