#include "platform/qt_interrupts.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>

namespace platform {
namespace {

// The write end of the pipe of the one Interrupts object: a signal handler can reach nothing else.
std::atomic<int> gWriteEnd{-1};

void OnSignal(int signal) {
    const int fd = gWriteEnd.load();
    if (fd < 0) return;
    const unsigned char byte = static_cast<unsigned char>(signal);
    // Nothing to do when the pipe is full: enough signals are waiting already.
    [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
}

void Handle(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signal, &action, nullptr);
}

}  // namespace

Interrupts::Interrupts(std::function<void(int)> handler) : handler_(std::move(handler)) {
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        unsigned char byte = 0;
        while (::read(pipe_[0], &byte, 1) == 1) {
            if (handler_) handler_(byte);
        }
    });
    gWriteEnd.store(pipe_[1]);
    Handle(SIGINT, OnSignal);
    Handle(SIGTERM, OnSignal);
}

Interrupts::~Interrupts() {
    Handle(SIGINT, SIG_DFL);
    Handle(SIGTERM, SIG_DFL);
    gWriteEnd.store(-1);
    notifier_.reset();
    for (int fd : pipe_)
        if (fd >= 0) ::close(fd);
}

}  // namespace platform
