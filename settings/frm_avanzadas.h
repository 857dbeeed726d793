// "Opciones Avanzadas": the port list, the space width and "Párrafos unidos".
#pragma once

#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>

#include "message/numeric.h"
#include "platform/port_search.h"
#include "platform/dialogs.h"
#include "platform/link_thread.h"
#include "settings/options_view.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QGroupBox;
class QLabel;

namespace letrador {

class frmPuertosRed;

class frmAvanzadas : public QWidget, public OptionsView {
public:
    struct Services {
        platform::PortSearch& ports;
        Int16& spaceWidth;
        std::function<std::string(int)> deviceOf;
        // Gives the main window back (enabled and focused) when the window closes.
        std::function<void()> returnToMainWindow;
        // The space width or "Párrafos unidos" changed: what the message measures changes.
        std::function<void()> changed;
        // For "Puertos de red…": where its entries are, its message boxes, and the threads
        // its probes run on.
        std::filesystem::path workFolder;
        platform::Dialogs& dialogs;
        platform::LinkThreadMaker threads;
    };

    explicit frmAvanzadas(Services services, QWidget* parent = nullptr);
    ~frmAvanzadas() override;

    // OptionsView
    std::string spaceWidthText() const override;
    void setSpaceWidthText(const std::string& text) override;
    bool joinedChecked() const override;
    void setJoinedChecked(bool checked) override;
    int portCount() const override;
    void clearPorts() override;
    void addPort(const std::string& number, const std::string& device) override;
    void choosePort(int index) override;
    std::string chosenPortText() const override;
    std::string portText(int index) const override;
    std::string portDevice(int index) const override;
    void setEnabled(OptionsControl control, bool enabled) override;
    bool isEnabled(OptionsControl control) const override;

    void cmdActualizar_Click();
    void cmdParEspaMas_Click();
    void cmdParEspaMenos_Click();
    void cmdCerrar_Click();
    // "Puertos de red…": opens the network ports' window; this one stays off meanwhile.
    void cmdPuertosRed_Click();
    // The network ports' window, made the first time it is opened (nullptr before).
    frmPuertosRed* puertosRed() const { return frmPuertosRed_.get(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QPushButton* button(OptionsControl control) const;

    Services services_;
    QGroupBox* fraPuerto_;
    QLabel* lblNumCom_;
    QComboBox* cboPuertoCom_;
    QPushButton* cmdActualizar_;
    QPushButton* cmdPuertosRed_;
    std::unique_ptr<frmPuertosRed> frmPuertosRed_;
    QGroupBox* fraParrafos_;
    QLabel* lblParEspacio_;
    QLineEdit* txtParEspacio_;
    QPushButton* cmdParEspaMas_;
    QPushButton* cmdParEspaMenos_;
    QCheckBox* chkParUnidos_;
    QPushButton* cmdCerrar_;
};

}  // namespace letrador
