// The window of cartel-virtual ("Cartel virtual"): what the sign received, drawn as its LED
// dots: one strip per paragraph of the last message, the turn display's numbers 00-99 as a
// 10 x 10 grid, and a status line. Also the Qt event loop that serves the pseudo-terminal
// while the window is up.
#pragma once

#include <QMainWindow>
#include <signal.h>
#include <sys/types.h>

#include <array>
#include <vector>

#include "tools/cartel-virtual/sign_display.h"
#include "tools/cartel-virtual/sign_server.h"

class QLabel;
class QTimer;
class QVBoxLayout;

namespace letrador {
class LedStrip;
}

namespace letrador::cartel {

class SignWindow : public QMainWindow {
  public:
    explicit SignWindow(const SignDisplay& display, QWidget* parent = nullptr);

    // Redraws from the display now.
    void refresh();
    // Redraws soon: many batches of bytes in a row cost one redraw.
    void scheduleRefresh();

    QLabel* statusLabel() const { return status_; }
    const std::vector<LedStrip*>& paragraphStrips() const { return strips_; }
    const std::vector<QLabel*>& paragraphLabels() const { return stripLabels_; }
    QLabel* messageLabel() const { return messageTitle_; }
    QLabel* turnLabel() const { return turnTitle_; }
    QWidget* turnGrid() const { return turnGrid_; }
    LedStrip* turnCell(int number) const { return cells_.at(static_cast<std::size_t>(number)); }
    QLabel* turnCellLabel(int number) const {
        return cellLabels_.at(static_cast<std::size_t>(number));
    }

  private:
    const SignDisplay& display_;
    long long shownRevision_ = -1;
    QTimer* refreshTimer_;
    QLabel* status_;
    QLabel* messageTitle_;
    QVBoxLayout* stripsLayout_;
    QWidget* turnGrid_ = nullptr;
    QLabel* turnTitle_;
    std::vector<QWidget*> stripRows_;
    std::vector<LedStrip*> strips_;
    std::vector<QLabel*> stripLabels_;
    std::array<LedStrip*, kTurnNumbers> cells_{};
    std::array<QLabel*, kTurnNumbers> cellLabels_{};
};

// Serves `server` on the Qt event loop of the running QApplication with the window shown:
// the pseudo-terminal and the stop signals (`stopSignals`, already blocked) are watched with
// socket notifiers, the replies due later with a timer. Returns when a stop signal comes, the
// process `parent` is gone, or the window is closed; the caller finishes the server.
int RunWindowLoop(SignServer& server, const sigset_t& stopSignals, pid_t parent);

}  // namespace letrador::cartel
