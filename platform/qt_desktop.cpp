#include "platform/qt_desktop.h"

#include <QMetaObject>
#include <QObject>
#include <QProcess>
#include <QString>

namespace platform {

QtDesktop::QtDesktop(std::string opener)
    : opener_(std::move(opener)), openers_(std::make_unique<QObject>()) {}

QtDesktop::~QtDesktop() {
    for (QProcess* opener : openers_->findChildren<QProcess*>()) {
        opener->disconnect();
        if (opener->state() == QProcess::NotRunning) continue;
        opener->kill();
        opener->waitForFinished(1000);
    }
}

void QtDesktop::openFile(const std::string& path, std::function<void()> notOpened) {
    auto* opener = new QProcess(openers_.get());
    opener->setProgram(QString::fromStdString(opener_));
    opener->setArguments({QString::fromStdString(path)});
    opener->setStandardInputFile(QProcess::nullDevice());
    // Its words (and those of a browser it starts in the foreground) go where ours go; a pipe
    // that nobody reads could make them wait.
    opener->setProcessChannelMode(QProcess::ForwardedChannels);
    ++pending_;
    auto settle = [this, opener, notOpened = std::move(notOpened)](bool opened) {
        --pending_;
        opener->disconnect();
        opener->deleteLater();
        if (!opened && notOpened) notOpened();
    };
    // A generic desktop's xdg-open stays until the browser it started is closed: only its end
    // tells anything, and the window never waits for it.
    QObject::connect(opener, &QProcess::finished, opener,
                     [settle](int code, QProcess::ExitStatus status) {
                         settle(status == QProcess::NormalExit && code == 0);
                     });
    QObject::connect(opener, &QProcess::errorOccurred, opener,
                     [opener, settle](QProcess::ProcessError e) {
                         if (e != QProcess::FailedToStart) return;
                         // Told later like every other outcome, even when start() itself finds
                         // no such program.
                         QMetaObject::invokeMethod(
                             opener, [settle] { settle(false); }, Qt::QueuedConnection);
                     });
    opener->start();
}

}  // namespace platform
