// The main window's enabled state and focus without a window, for the chooser's logic tests.
#pragma once

#include "files/chooser_view.h"

namespace letrador {

class PlainMainWindow : public MainWindowControl {
  public:
    void setMainWindowEnabled(bool enabled) override { enabled_ = enabled; }
    void focusMainWindow() override { focused_ = true; }
    bool enabled() const { return enabled_; }
    bool focused() const { return focused_; }

  private:
    bool enabled_ = true;
    bool focused_ = false;
};

}  // namespace letrador
