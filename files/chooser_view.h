// The open/save chooser frmArchivo as the file commands see it, and the little of the main
// window that the chooser switches. The Qt window implements ChooserView over its widgets.
#pragma once

#include <string>
#include <vector>

namespace letrador {

class ChooserView {
  public:
    virtual ~ChooserView() = default;

    virtual std::string caption() const = 0;  // the window's caption
    virtual void setCaption(const std::string& text) = 0;
    virtual std::string actionCaption() const = 0;  // cmdAccion
    virtual void setActionCaption(const std::string& text) = 0;
    virtual std::string nameText() const = 0;  // txtNombre
    virtual void setNameText(const std::string& text) = 0;

    // filArchivo: reads the message folder again, then the entries as last read.
    virtual void refreshList() = 0;
    virtual std::vector<std::string> entries() const = 0;

    virtual void showChooser() = 0;  // non-modal
    virtual void hideChooser() = 0;
    virtual bool isShown() const = 0;
    virtual void focusName() = 0;  // keyboard focus into txtNombre
};

// The main window while the chooser is up: disabled, then enabled and focused again.
class MainWindowControl {
  public:
    virtual ~MainWindowControl() = default;
    virtual void setMainWindowEnabled(bool enabled) = 0;
    virtual void focusMainWindow() = 0;
};

}  // namespace letrador
