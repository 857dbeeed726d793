// frmArchivo: the small open/save chooser over the message folder. Its controls hold their
// contents for the whole run; the file commands decide what it shows and does.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

#include "files/chooser_view.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace letrador {

class FileCommands;

class frmArchivo : public QWidget, public ChooserView {
  public:
    // `folder` is the message folder that filArchivo lists.
    explicit frmArchivo(std::string folder, QWidget* parent = nullptr);

    // The handlers the buttons, the list and the name box forward to; none until set.
    void setCommands(FileCommands* commands) { commands_ = commands; }
    void setFolder(std::string folder) { folder_ = std::move(folder); }

    // ChooserView
    std::string caption() const override;
    void setCaption(const std::string& text) override;
    std::string actionCaption() const override;
    void setActionCaption(const std::string& text) override;
    std::string nameText() const override;
    void setNameText(const std::string& text) override;
    void refreshList() override;
    std::vector<std::string> entries() const override;
    void showChooser() override;
    void hideChooser() override;
    bool isShown() const override;
    void focusName() override;

  protected:
    // Closing by the window frame is the Cancel button.
    void closeEvent(QCloseEvent* event) override;

  private:
    std::string folder_;
    FileCommands* commands_ = nullptr;
    QLabel* lblNombre_;
    QLineEdit* txtNombre_;
    QListWidget* filArchivo_;
    QPushButton* cmdAccion_;
    QPushButton* cmdCancelar_;
};

}  // namespace letrador
