// The program's main window, offscreen, started as the program starts it on a working folder that
// a service also uses: for what happens when both want one sign.
#pragma once

#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/app_core.h"
#include "app/frm_letrador.h"
#include "platform/desktop.h"
#include "platform/scripted_dialogs.h"
#include "settings/frm_avanzadas.h"
#include "signlink/frm_graba.h"

namespace letrador::testing {

class WindowOnWorkFolder {
  public:
    explicit WindowOnWorkFolder(const std::filesystem::path& work) : core_(work) {
        static int argc = 1;
        static char name[] = "test_service";
        static char* argv[] = {name, nullptr};
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static QApplication* app = new QApplication(argc, argv);
        (void)app;
        window_ = std::make_unique<frmLetrador>(frmLetrador::Services{
            store_, dialogs_, desktop_, core_.portSearch(), core_.engine(), core_.threads(), work,
            core_.deviceOf()});
        loaded_ = window_->Form_Load();
    }

    // "&Total" of a one-paragraph message on port `port`, until the recording window shows
    // Close; its log.
    std::string recordTotalOnPort(int port) {
        if (!loaded_) return "the window did not load";
        frmAvanzadas& options = window_->avanzadas();
        options.addPort(std::to_string(port), core_.deviceOf()(port));
        options.choosePort(options.portCount() - 1);
        window_->findChild<QPushButton*>(QStringLiteral("cmdParNuevo"))->click();
        window_->findChild<QPlainTextEdit*>(QStringLiteral("txtMsjMensaje"))
            ->setPlainText(QStringLiteral("Hola"));
        window_->setFontFileText("normal.ffv");
        window_->findChild<QPushButton*>(QStringLiteral("cmdParGuardar"))->click();
        window_->findChild<QAction*>(QStringLiteral("menGrabTotal"))->trigger();
        for (int k = 0; k < 600 && window_->graba().recordingRunning(); ++k)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        return window_->graba().log().text();
    }
    std::optional<Verdict> verdict() const { return window_->graba().verdict(); }

  private:
    class NoDesktop : public platform::Desktop {
      public:
        void openFile(const std::string&, std::function<void()> notOpened) override {
            if (notOpened) notOpened();
        }
    };
    AppCore core_;
    ParagraphStore store_;
    platform::ScriptedDialogs dialogs_;
    NoDesktop desktop_;
    std::unique_ptr<frmLetrador> window_;
    bool loaded_ = false;
};

}  // namespace letrador::testing
