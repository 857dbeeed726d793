#include "app/program.h"

#include "settings/port_mapping.h"

namespace letrador {

Program::Program(const std::filesystem::path& workFolder)
    : deviceOf_([workFolder](int n) { return PortDevicePath(workFolder, n); }),
      link_(deviceOf_),
      window_({store_, dialogs_, desktop_, link_, pump_, ticker_, workFolder, deviceOf_}) {
    // Message boxes belong to the main window, or to the window in use while it is off.
    dialogs_.setParent(&window_);
}

}  // namespace letrador
