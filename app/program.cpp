#include "app/program.h"

namespace letrador {

Program::Program(const std::filesystem::path& workFolder)
    : core_(workFolder),
      window_({store_, dialogs_, desktop_, core_.portSearch(), core_.engine(), core_.threads(),
               workFolder, core_.deviceOf()}) {
    // Message boxes belong to the main window, or to the window in use while it is off.
    dialogs_.setParent(&window_);
}

}  // namespace letrador
