#include "tools/cartel-virtual/sign_window.h"

#include <errno.h>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QSocketNotifier>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

#include "app/led_preview.h"

namespace letrador::cartel {
namespace {

// Redraws wait this long after a batch of bytes, so a recording of thousands of one-byte
// exchanges redraws a few times a second, not once per byte.
constexpr int kRefreshDelayMs = 50;

QString TwoDigits(int n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

bool SameStrip(const LedStrip& strip, const SignPreview& preview) {
    if (strip.columns() != preview.columns) return false;
    const auto& marks = strip.markers();
    if (marks.size() != preview.markers.size()) return false;
    for (std::size_t k = 0; k < marks.size(); ++k) {
        if (marks[k].column != preview.markers[k].column ||
            marks[k].code != preview.markers[k].code)
            return false;
    }
    return true;
}

}  // namespace

SignWindow::SignWindow(const SignDisplay& display, QWidget* parent)
    : QMainWindow(parent), display_(display) {
    setWindowTitle(QStringLiteral("Cartel virtual"));

    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);

    messageTitle_ = new QLabel(QStringLiteral("Mensaje"));
    QFont bold = messageTitle_->font();
    bold.setBold(true);
    messageTitle_->setFont(bold);
    column->addWidget(messageTitle_);
    auto* strips = new QWidget;
    stripsLayout_ = new QVBoxLayout(strips);
    stripsLayout_->setContentsMargins(0, 0, 0, 0);
    column->addWidget(strips);

    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    column->addWidget(line);

    turnTitle_ = new QLabel(QStringLiteral("Turnero"));
    turnTitle_->setFont(bold);
    column->addWidget(turnTitle_);
    auto* grid = new QWidget;
    turnGrid_ = grid;
    // Shown once a turn display begins to arrive.
    grid->setVisible(false);
    auto* gridLayout = new QGridLayout(grid);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    gridLayout->setHorizontalSpacing(6);
    gridLayout->setVerticalSpacing(2);
    for (int n = 0; n < kTurnNumbers; ++n) {
        auto* cell = new QWidget;
        auto* cellLayout = new QVBoxLayout(cell);
        cellLayout->setContentsMargins(0, 0, 0, 0);
        cellLayout->setSpacing(0);
        auto* label = new QLabel(TwoDigits(n));
        auto* strip = new LedStrip;
        cellLayout->addWidget(label);
        cellLayout->addWidget(strip);
        cellLayout->addStretch();
        gridLayout->addWidget(cell, n / 10, n % 10, Qt::AlignLeft | Qt::AlignTop);
        cells_[static_cast<std::size_t>(n)] = strip;
        cellLabels_[static_cast<std::size_t>(n)] = label;
    }
    column->addWidget(grid, 0, Qt::AlignLeft);
    column->addStretch();

    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setWidget(content);
    setCentralWidget(scroll);

    status_ = new QLabel;
    statusBar()->addWidget(status_, 1);

    refreshTimer_ = new QTimer(this);
    refreshTimer_->setSingleShot(true);
    refreshTimer_->setInterval(kRefreshDelayMs);
    connect(refreshTimer_, &QTimer::timeout, this, [this] { refresh(); });

    resize(1000, 640);
    refresh();
}

void SignWindow::scheduleRefresh() {
    if (!refreshTimer_->isActive()) refreshTimer_->start();
}

void SignWindow::refresh() {
    refreshTimer_->stop();
    status_->setText(QString::fromStdString(display_.statusText()));
    if (display_.revision() == shownRevision_) return;
    shownRevision_ = display_.revision();

    const auto& previews = display_.strips();
    messageTitle_->setText(display_.stripsRecording() > 0
                               ? QStringLiteral("Mensaje (grabación %1)")
                                     .arg(display_.stripsRecording())
                               : QStringLiteral("Mensaje"));
    // The rows are kept and reused; only strips whose contents changed are set again.
    while (strips_.size() > previews.size()) {
        delete stripRows_.back();
        stripRows_.pop_back();
        strips_.pop_back();
        stripLabels_.pop_back();
    }
    while (strips_.size() < previews.size()) {
        auto* row = new QWidget;
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(0, 0, 0, 0);
        auto* label = new QLabel(QStringLiteral("Párrafo %1").arg(strips_.size() + 1));
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("Párrafo 000")));
        auto* strip = new LedStrip;
        rowLayout->addWidget(label, 0, Qt::AlignTop);
        rowLayout->addWidget(strip, 0, Qt::AlignLeft | Qt::AlignTop);
        rowLayout->addStretch();
        stripsLayout_->addWidget(row);
        stripRows_.push_back(row);
        strips_.push_back(strip);
        stripLabels_.push_back(label);
    }
    for (std::size_t k = 0; k < previews.size(); ++k) {
        if (!SameStrip(*strips_[k], previews[k])) strips_[k]->setPreview(previews[k]);
    }

    const int style = display_.turnStyle();
    turnTitle_->setText(style > 0 ? QStringLiteral("Turnero (estilo %1)").arg(style)
                                  : QStringLiteral("Turnero: no se recibió ninguno"));
    turnGrid_->setVisible(style > 0);
    const auto& cells = display_.turnCells();
    for (std::size_t n = 0; n < cells.size(); ++n) {
        if (cells_[n]->columns() == cells[n].columns) continue;
        SignPreview p;
        p.columns = cells[n].columns;
        cells_[n]->setPreview(p);
    }
}

int RunWindowLoop(SignServer& server, const sigset_t& stopSignals, pid_t parent) {
    SignDisplay display;
    SignWindow window(display);
    std::size_t fed = 0;
    server.setOnReceived([&] {
        const auto& bytes = server.received();
        display.append(std::span(bytes).subspan(fed));
        fed = bytes.size();
        window.scheduleRefresh();
    });
    // Bytes that came before the loop began.
    display.append(server.received());
    fed = server.received().size();
    window.refresh();

    int result = 0;
    const int sigFd = ::signalfd(-1, &stopSignals, SFD_NONBLOCK | SFD_CLOEXEC);
    if (sigFd < 0) {
        std::perror("cartel-virtual: signalfd");
        return 1;
    }
    QSocketNotifier stopNotifier(sigFd, QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, [&] {
        signalfd_siginfo info;
        while (::read(sigFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        }
        QApplication::quit();
    });

    QSocketNotifier readNotifier(server.fd(), QSocketNotifier::Read);
    QSocketNotifier writeNotifier(server.fd(), QSocketNotifier::Write);
    QTimer dueTimer;
    dueTimer.setSingleShot(true);
    // After every event: the next due time and whether the line must take more replies.
    auto reschedule = [&] {
        const long long wait = server.msUntilDue(NowMs());
        if (wait < 0) {
            dueTimer.stop();
        } else {
            dueTimer.start(static_cast<int>(std::min<long long>(wait, 1 << 30)));
        }
        writeNotifier.setEnabled(server.wantsWrite());
    };
    QObject::connect(&readNotifier, &QSocketNotifier::activated, [&] {
        pollfd p{server.fd(), POLLIN, 0};
        if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) &&
            !(p.revents & POLLIN)) {
            // Cannot happen while the server holds the slave side open; never spin on it.
            std::fprintf(stderr, "cartel-virtual: el pseudo-terminal se cerró\n");
            readNotifier.setEnabled(false);
            result = 0;
            QApplication::quit();
            return;
        }
        const long long now = NowMs();
        server.readable(now);
        server.due(now);
        reschedule();
    });
    QObject::connect(&writeNotifier, &QSocketNotifier::activated, [&] {
        server.due(NowMs());
        reschedule();
    });
    QObject::connect(&dueTimer, &QTimer::timeout, [&] {
        server.due(NowMs());
        reschedule();
    });
    // Looks after the parent once a second, so an orphan does not stay behind.
    QTimer parentTimer;
    QObject::connect(&parentTimer, &QTimer::timeout, [&] {
        if (::getppid() != parent) QApplication::quit();
    });
    parentTimer.start(1000);
    reschedule();

    window.show();
    result = QApplication::exec();
    server.setOnReceived(nullptr);
    ::close(sigFd);
    return result;
}

}  // namespace letrador::cartel
