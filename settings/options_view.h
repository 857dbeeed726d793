// The advanced options window's controls as the rest of the program reads them: the port list,
// the space width box and "Párrafos unidos". The Qt window implements it over its widgets;
// PlainOptionsView holds the same values without a window.
#pragma once

#include <string>

namespace letrador {

enum class OptionsControl { cmdActualizar, cmdCerrar };

class OptionsView {
public:
    virtual ~OptionsView() = default;

    virtual std::string spaceWidthText() const = 0;  // txtParEspacio
    virtual void setSpaceWidthText(const std::string& text) = 0;
    virtual bool joinedChecked() const = 0;  // chkParUnidos
    virtual void setJoinedChecked(bool checked) = 0;

    // cboPuertoCom: entries are port numbers as decimal text; `device` is shown as tool tip.
    virtual int portCount() const = 0;
    virtual void clearPorts() = 0;
    virtual void addPort(const std::string& number, const std::string& device) = 0;
    virtual void choosePort(int index) = 0;
    virtual std::string chosenPortText() const = 0;  // "" when none is chosen
    // Entry `index` (0-based) of the list: its text and its device.
    virtual std::string portText(int index) const = 0;
    virtual std::string portDevice(int index) const = 0;

    virtual void setEnabled(OptionsControl control, bool enabled) = 0;
    virtual bool isEnabled(OptionsControl control) const = 0;
};

}  // namespace letrador
