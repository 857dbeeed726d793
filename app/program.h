// The program as it runs: its start-up (the working folder, the ports, the recording engine) and
// the real dialogs and desktop, with the main window over them.
#pragma once

#include <filesystem>

#include "app/app_core.h"
#include "app/frm_letrador.h"
#include "message/paragraph_store.h"
#include "platform/qt_desktop.h"
#include "platform/qt_dialogs.h"

namespace letrador {

class Program {
public:
    explicit Program(const std::filesystem::path& workFolder);
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    frmLetrador& window() { return window_; }
    platform::Dialogs& dialogs() { return dialogs_; }

private:
    // Qt's own texts in Spanish before any window is made.
    platform::SpanishQtTexts qtTexts_;
    AppCore core_;
    ParagraphStore store_;
    platform::QtDialogs dialogs_;
    platform::QtDesktop desktop_;
    frmLetrador window_;
};

}  // namespace letrador
