// The program as it runs: the real dialogs, desktop, serial port, event pump and tick, and the
// main window over them, for one working folder.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "app/frm_letrador.h"
#include "message/paragraph_store.h"
#include "platform/qt_desktop.h"
#include "platform/qt_dialogs.h"
#include "platform/qt_event_pump.h"
#include "platform/qt_port_link.h"

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
    std::function<std::string(int)> deviceOf_;
    ParagraphStore store_;
    platform::QtDialogs dialogs_;
    platform::QtDesktop desktop_;
    platform::QtPortLink link_;
    platform::QtEventPump pump_;
    platform::QtTicker ticker_;
    frmLetrador window_;
};

}  // namespace letrador
