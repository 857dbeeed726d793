// The desktop's opener (xdg-open) run as a process of its own: the program learns from how it
// ends whether a browser took the page, which QDesktopServices cannot tell (it answers yes as soon
// as xdg-open starts).
#pragma once

#include <memory>
#include <string>

#include "platform/desktop.h"

class QObject;

namespace platform {

class QtDesktop : public Desktop {
  public:
    // `opener`: the program that opens a file with the desktop's default program for it.
    explicit QtDesktop(std::string opener = "xdg-open");
    // Openers still running are ended (a browser they started stays) and report nothing.
    ~QtDesktop() override;
    QtDesktop(const QtDesktop&) = delete;
    QtDesktop& operator=(const QtDesktop&) = delete;

    void openFile(const std::string& path, std::function<void()> notOpened) override;

    // Openings whose outcome is not known yet (an opener still running).
    int pending() const { return pending_; }

  private:
    std::string opener_;
    // Parent of the running opener processes.
    std::unique_ptr<QObject> openers_;
    int pending_ = 0;
};

}  // namespace platform
