// The main window's controls and menus, named as the window's design names them: made and laid
// out once, as a form designer would, so that the window itself only connects them and gives
// them their behaviour.
#pragma once

#include <filesystem>
#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMainWindow;
class QMenu;
class QPlainTextEdit;
class QPushButton;

namespace letrador {

class FontListBox;
class LedPreview;
class TagHighlighter;

struct MainWindowUi {
    // Makes every control and menu item of `window`, with its caption, tool tip, shortcut and
    // place; connects nothing.
    void setup(QMainWindow& window);
    // The brand: its logo (dimmed when it does not load) and the first line of its text.
    void showBrand(const std::filesystem::path& logo, const std::string& text);

    // Controls, named as the window's design names them.
    QGroupBox* frmNomMensaje = nullptr;
    QLineEdit* txtNomMensaje = nullptr;
    QGroupBox* frmArchivos = nullptr;
    FontListBox* filArchArchivos = nullptr;
    QGroupBox* frmMensaje = nullptr;
    QPlainTextEdit* txtMsjMensaje = nullptr;
    TagHighlighter* highlighter = nullptr;
    LedPreview* vistaCartel = nullptr;
    QGroupBox* frmSepar = nullptr;
    QLineEdit* txtMsjSeparSepar = nullptr;
    QPushButton* cmdMsjSeparMas = nullptr;
    QPushButton* cmdMsjSeparMenos = nullptr;
    QLineEdit* txtMsjArchivo = nullptr;
    QGroupBox* frmEfectos = nullptr;
    QPushButton* cmdMsjFxAgrega = nullptr;
    QComboBox* cboMsjFxEfectos = nullptr;
    QLabel* lblMsjCapacidad = nullptr;
    QLabel* lblMsjArchivo = nullptr;
    QGroupBox* frmParrafos = nullptr;
    QCheckBox* chkMsjIgnora = nullptr;
    QComboBox* cboParParrafos = nullptr;
    QPushButton* cmdParGuardar = nullptr;
    QPushButton* cmdParNuevo = nullptr;
    QLabel* lblArchVelmora = nullptr;
    QLabel* imgArchVelmora = nullptr;
    QLabel* Image1 = nullptr;
    QMenu* menArchivo = nullptr;
    QAction* menArchNuevo = nullptr;
    QAction* MenArchAbrir = nullptr;
    QAction* menArchGuardar = nullptr;
    QAction* menArchGuardarComo = nullptr;
    QMenu* menConfiguracion = nullptr;
    QAction* menOpcAvanzadas = nullptr;
    QAction* menEditorFuentes = nullptr;
    QMenu* menGrabacion = nullptr;
    QAction* menGrabTotal = nullptr;
    QAction* menGrabParcial = nullptr;
    QAction* menGrabVarios = nullptr;
    QMenu* menTurneros = nullptr;
    QAction* menTurn1 = nullptr;
    QAction* menTurn2 = nullptr;
    QAction* menTurn3 = nullptr;
    QMenu* menAyuda = nullptr;
    QAction* menAyudaGeneral = nullptr;

  private:
    void setupMenus(QMainWindow& window);
};

}  // namespace letrador
