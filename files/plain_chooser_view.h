// The chooser's state without a window, for logic tests and tools; the list is read from a real
// folder as the window's is.
#pragma once

#include <string>
#include <vector>

#include "files/chooser_view.h"
#include "files/message_folder.h"

namespace letrador {

class PlainChooserView : public ChooserView {
  public:
    explicit PlainChooserView(std::string folder) : folder_(std::move(folder)) {}

    std::string caption() const override { return caption_; }
    void setCaption(const std::string& text) override { caption_ = text; }
    std::string actionCaption() const override { return action_; }
    void setActionCaption(const std::string& text) override { action_ = text; }
    std::string nameText() const override { return name_; }
    void setNameText(const std::string& text) override { name_ = text; }

    void refreshList() override { entries_ = ListMessageFiles(folder_); }
    std::vector<std::string> entries() const override { return entries_; }

    void showChooser() override { shown_ = true; }
    void hideChooser() override { shown_ = false; }
    bool isShown() const override { return shown_; }
    void focusName() override { nameFocused_ = true; }
    bool nameFocused() const { return nameFocused_; }
    void clearFocus() { nameFocused_ = false; }

  private:
    std::string folder_;
    std::string caption_, action_, name_;
    std::vector<std::string> entries_;
    bool shown_ = false;
    bool nameFocused_ = false;
};

// The main window's enabled state and focus without a window.
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
