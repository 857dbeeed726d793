// "Varios carteles": records the current message ("Total") or a turn display into every checked
// sign at the same time, with one log per sign, each sign's verdict marked in the list as it
// ends, a summary, and a second try of the signs that failed.
#pragma once

#include <QWidget>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "message/editor_view.h"
#include "message/paragraph_commands.h"
#include "message/paragraph_store.h"
#include "platform/dialogs.h"
#include "signlink/recording_engine.h"
#include "signlink/recording_log.h"

class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace letrador {

class frmVarios : public QWidget {
  public:
    struct Services {
        ParagraphCommands& commands;
        const ParagraphStore& store;
        const EditorView& editor;
        platform::Dialogs& dialogs;
        // "Párrafos unidos" of the options.
        std::function<bool()> joined;
        RecordingEngine& engine;
        std::function<void(bool)> setMainWindowEnabled;
        // Shows, enables and activates the main window again.
        std::function<void()> returnToMainWindow;
    };
    // An entry of the port list: its text ("3") and its device or address.
    struct Puerto {
        std::string texto;
        std::string dispositivo;
    };

    explicit frmVarios(Services services, QWidget* parent = nullptr);
    ~frmVarios() override;

    // Disables the main window and shows the window with `puertos` to choose from, none checked
    // and the last run's logs gone. The whole message can be chosen only when "&Total" could
    // record it.
    void mostrar(const std::vector<Puerto>& puertos);

    void cmdGrabar_Click();
    // Records again, as last time, only the signs whose recording did not end clean.
    void cmdReintentar_Click();
    void cmdDetener_Click();
    void cmdCerrar_Click();

    // True from the start of a recording until every sign has ended.
    bool recordingRunning() const { return running_; }
    // The port texts of the recording under way or last made, in order.
    const std::vector<std::string>& recordedPorts() const { return signs_; }
    // Each sign's log exactly as written, and its verdict once it has ended.
    const RecordingLog& log(std::size_t sign) const { return logs_[sign]; }
    std::optional<Verdict> verdict(std::size_t sign) const { return verdicts_[sign]; }

  protected:
    // Closing while signs record asks whether to stop them; otherwise it is "Cerrar".
    void closeEvent(QCloseEvent* event) override;

  private:
    struct SignBox {
        QPlainTextEdit* log;
        QLabel* progress;
        QLabel* verdict;
    };

    void record(WhatToRecord what, std::vector<std::string> ports);
    void onEvent(std::uint64_t job, const RecordingEvent& e);
    void buildSignBoxes();
    void setChoosing(bool enabled);
    QListWidgetItem* itemOf(const std::string& port) const;
    void showSummary();
    // Asks whether to stop the signs still recording; true when they are being stopped.
    bool askToStop();

    Services services_;
    std::shared_ptr<RecordingRun> run_;
    bool running_ = false;
    std::uint64_t job_ = 0;
    std::optional<WhatToRecord> lastWhat_;
    bool closeWhenEnded_ = false;
    std::vector<std::string> signs_;
    std::vector<RecordingLog> logs_;
    std::vector<std::optional<Verdict>> verdicts_;
    std::vector<SignBox> boxes_;

    QGroupBox* fraPuertos_;
    QListWidget* lstPuertos_;
    QGroupBox* fraQueGrabar_;
    QRadioButton* optGrabTotal_;
    QRadioButton* optGrabTurnero_;
    QComboBox* cboTurnEstilo_;
    QGroupBox* fraCarteles_;
    QGridLayout* carteles_;
    QLabel* lblResumen_;
    QPushButton* cmdGrabar_;
    QPushButton* cmdReintentar_;
    QPushButton* cmdDetener_;
    QPushButton* cmdCerrar_;
};

}  // namespace letrador
