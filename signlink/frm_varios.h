// "Varios carteles": records the current message ("Total") or a turn display into every checked
// sign at the same time, with one log per sign and each sign's verdict as it ends.
#pragma once

#include <QWidget>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "message/editor_view.h"
#include "message/paragraph_commands.h"
#include "message/paragraph_store.h"
#include "platform/dialogs.h"
#include "platform/link_thread.h"
#include "signlink/multi_recording.h"
#include "signlink/recording_log.h"

class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QListWidget;
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
        // Makes each sign's thread, with its link.
        platform::LinkThreadMaker threads;
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

    // Disables the main window and shows the window with `puertos` to choose from, none checked.
    void mostrar(const std::vector<Puerto>& puertos);

    void cmdGrabar_Click();
    void cmdCerrar_Click();

    // True from the start of a recording until every sign has ended.
    bool recordingRunning() const { return running_; }
    // The port texts of the recording under way or last made, in order.
    const std::vector<std::string>& recordedPorts() const { return signs_; }
    // Each sign's log exactly as written, and its verdict once it has ended ("" before).
    const RecordingLog& log(std::size_t sign) const { return logs_[sign]; }
    const std::string& verdict(std::size_t sign) const { return verdicts_[sign]; }

  protected:
    // Closing waits for every sign, then gives the main window back.
    void closeEvent(QCloseEvent* event) override;

  private:
    class QueuedReport;
    struct SignBox {
        QPlainTextEdit* log;
        QLabel* progress;
        QLabel* verdict;
    };

    void buildSignBoxes();
    void setChoosing(bool enabled);
    void onLog(std::size_t sign, const std::string& texto, bool nuevaLinea);
    void onProgress(std::size_t sign, const std::string& texto);
    void onFinished(std::size_t sign, const std::string& veredicto);

    Services services_;
    std::unique_ptr<QueuedReport> report_;
    std::unique_ptr<MultiRecording> recording_;
    bool running_ = false;
    std::size_t ended_ = 0;
    std::vector<std::string> signs_;
    std::vector<RecordingLog> logs_;
    std::vector<std::string> verdicts_;
    std::vector<SignBox> boxes_;

    QGroupBox* fraPuertos_;
    QListWidget* lstPuertos_;
    QGroupBox* fraQueGrabar_;
    QRadioButton* optGrabTotal_;
    QRadioButton* optGrabTurnero_;
    QComboBox* cboTurnEstilo_;
    QGroupBox* fraCarteles_;
    QGridLayout* carteles_;
    QPushButton* cmdGrabar_;
    QPushButton* cmdCerrar_;
};

}  // namespace letrador
