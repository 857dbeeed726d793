// "Grabación": the recording window of a one-sign recording ("&Total", "&Parcial", the turn
// displays), with its log, its progress label, "&Detener" while it records and "Cerrar" once
// it has closed. It hands the job to the engine and only watches its events.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "signlink/recording_engine.h"
#include "signlink/recording_job.h"
#include "signlink/recording_log.h"

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace letrador {

class frmGraba : public QWidget {
public:
    struct MainWindowHooks {
        std::function<void(bool)> setMainWindowEnabled;
        // Shows, enables and activates the main window, focusing its editor when enabled.
        std::function<void()> returnToMainWindow;
    };

    frmGraba(RecordingEngine& engine, MainWindowHooks hooks, QWidget* parent = nullptr);
    ~frmGraba() override;

    // Records `what` into the sign on port `port` (the chosen entry of the port list): the main
    // window goes off and the window shows with an empty log at once; the rest follows the
    // recording's events.
    void grabar(WhatToRecord what, const std::string& port);

    // What the events do to the window; the opening and the closing of a recording call them.
    // Disables the main window, shows the window, hides cmdCerrar and empties txtLog.
    void prepare();
    void AgregarLog(std::string_view texto, bool nuevaLinea);
    void setProgress(std::string_view texto);
    // Shows cmdCerrar and gives it the focus; "&Detener" goes.
    void showClose();

    void cmdCerrar_Click();
    // Asks the recording to stop at its next exchange.
    void cmdDetener_Click();

    // The log exactly as written: lines separated by CR LF.
    const RecordingLog& log() const { return log_; }
    // True from the opening until the closing shows the Close button.
    bool recordingRunning() const { return running_; }
    // The verdict of the last recording once it has ended.
    std::optional<Verdict> verdict() const { return verdict_; }

protected:
    // The frame's close button acts as "Cerrar" once that shows, and does nothing before.
    void closeEvent(QCloseEvent* event) override;

private:
    void onEvent(std::uint64_t job, const RecordingEvent& e);

    RecordingEngine& engine_;
    MainWindowHooks hooks_;
    RecordingLog log_;
    bool running_ = false;
    std::optional<Verdict> verdict_;
    std::shared_ptr<RecordingRun> run_;
    // Counts the recordings, so that a late event of an earlier one is told apart.
    std::uint64_t job_ = 0;
    QGroupBox* frmEstado_;
    QPlainTextEdit* txtLog_;
    QLabel* lblProgreso_;
    QPushButton* cmdDetener_;
    QPushButton* cmdCerrar_;
};

}  // namespace letrador
