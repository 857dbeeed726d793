// "Grabación": the recording window with its log, its progress label and its Close button.
#pragma once

#include <QWidget>
#include <functional>

#include "signlink/recording_log.h"

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace letrador {

class frmGraba : public QWidget, public RecordingView {
public:
    struct MainWindowHooks {
        std::function<void(bool)> setMainWindowEnabled;
        // Shows, enables and activates the main window, focusing its editor when enabled.
        std::function<void()> returnToMainWindow;
    };

    explicit frmGraba(MainWindowHooks hooks, QWidget* parent = nullptr);

    // RecordingView
    void prepare() override;
    void AgregarLog(std::string_view texto, bool nuevaLinea) override;
    void setProgress(std::string_view texto) override;
    void showClose() override;

    void cmdCerrar_Click();

    // The log exactly as written: lines separated by CR LF.
    const RecordingLog& log() const { return log_; }
    // True from the opening until the closing shows the Close button.
    bool recordingRunning() const { return running_; }

protected:
    // The frame's close button waits for the recording to end, then acts as "Cerrar".
    void closeEvent(QCloseEvent* event) override;

private:
    MainWindowHooks hooks_;
    RecordingLog log_;
    bool running_ = false;
    QGroupBox* frmEstado_;
    QPlainTextEdit* txtLog_;
    QLabel* lblProgreso_;
    QPushButton* cmdCerrar_;
};

}  // namespace letrador
