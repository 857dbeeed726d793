#include "platform/qt_event_pump.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace platform {

void QtEventPump::processPending() {
    QCoreApplication::processEvents();
}

void QtEventPump::waitForNext() {
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

QtTicker::QtTicker() {
    timer_.setInterval(100);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (onTick_) onTick_();
    });
    timer_.start();
}

}  // namespace platform
