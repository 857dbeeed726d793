// "Puertos de red": the signs behind serial device servers, each a `puertos/COMn` entry holding
// `tcp://HOST:PORT` or `rfc2217://HOST:PORT`, listed to add, change, remove and probe. Opened
// from the advanced options, which stay off while it is up.
#pragma once

#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "platform/dialogs.h"
#include "platform/link_thread.h"
#include "settings/network_ports.h"
#include "settings/sign_probe.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace letrador {

class frmPuertosRed : public QWidget {
  public:
    struct Services {
        std::filesystem::path workFolder;
        platform::Dialogs& dialogs;
        // Makes the thread a probe runs on, with its link.
        platform::LinkThreadMaker threads;
        // Gives the options window back when this one closes.
        std::function<void()> returnToOptions;
    };

    explicit frmPuertosRed(Services services, QWidget* parent = nullptr);
    // Waits for a probe under way.
    ~frmPuertosRed() override;

    // Reads the entries again, empties the fields and shows the window.
    void mostrar();

    void lstPuertosRed_Click();
    void cmdRedNuevo_Click();
    void cmdRedGuardar_Click();
    void cmdRedQuitar_Click();
    void cmdRedProbar_Click();
    void cmdCerrar_Click();

    // True from "Probar" until its answer is shown.
    bool probing() const { return probing_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void fillList(int select);
    void showEntry(const ListedNetworkPort& listed);
    int selectedNumero() const;
    void updateButtons();
    void probeEnded(int numero, const SignProbe& probe);

    Services services_;
    // The number of the entry the fields show, 0 for a new one.
    int editing_ = 0;
    bool probing_ = false;
    std::unique_ptr<platform::LinkThread> probeThread_;

    QListWidget* lstPuertosRed_;
    QLineEdit* txtRedNumero_;
    QComboBox* cboRedTipo_;
    QLineEdit* txtRedServidor_;
    QLineEdit* txtRedPuerto_;
    QPushButton* cmdRedNuevo_;
    QPushButton* cmdRedGuardar_;
    QPushButton* cmdRedQuitar_;
    QPushButton* cmdRedProbar_;
    QLabel* lblRedResultado_;
    QPushButton* cmdCerrar_;
};

}  // namespace letrador
