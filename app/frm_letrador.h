// The main window "Letrador de Mensajes": the editing controls, the menus, and the handlers
// that start every command. It is also the editing view the paragraph commands drive.
#pragma once

#include <QMainWindow>
#include <filesystem>
#include <functional>
#include <memory>

#include "message/editor_view.h"
#include "message/paragraph_commands.h"
#include "message/paragraph_store.h"
#include "message/sign_preview.h"
#include "app/main_window_ui.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "platform/link_thread.h"
#include "platform/port_search.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFileSystemWatcher;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace letrador {

class FileCommands;
class LedPreview;
class MessageFiles;
class RecordingEngine;
class TagHighlighter;
class frmAyuda;
class frmArchivo;
class frmAvanzadas;
class frmFuentes;
class frmGraba;
class frmVarios;

class frmLetrador : public QMainWindow, public EditorView {
public:
    struct Services {
        ParagraphStore& store;
        platform::Dialogs& dialogs;
        platform::Desktop& desktop;
        // Finds the ports that open, at start-up and for "Actualizar".
        platform::PortSearch& ports;
        // Records every job of the recording menus, off this window's thread.
        RecordingEngine& engine;
        // A thread for each sign a window probes ("Puertos de red…").
        platform::LinkThreadMaker threads;
        std::filesystem::path workFolder;
        std::function<std::string(int)> deviceOf;
    };

    explicit frmLetrador(Services services);
    ~frmLetrador() override;

    // The window's own enabled state and focus, beside the controls' (EditorView).
    using QMainWindow::isEnabled;
    using QMainWindow::setEnabled;
    using QMainWindow::setFocus;

    // The load sequence. False when the program must end (no serial port at all).
    bool Form_Load();
    // Unloads the other windows, in the order the program closes them.
    void Form_Unload();

    frmAvanzadas& avanzadas() { return *frmAvanzadas_; }
    frmArchivo& archivo() { return *frmArchivo_; }
    frmGraba& graba() { return *frmGraba_; }
    // The help window, once "&Ayuda general" has needed it; null before.
    frmAyuda* ayuda() const { return frmAyuda_.get(); }
    // The font editor, made the first time it is opened (nullptr before).
    frmFuentes* fuentes() { return frmFuentes_.get(); }
    ParagraphCommands& paragraphCommands() { return commands_; }
    FileCommands& fileCommands() { return *fileCommands_; }

    // EditorView
    std::u32string messageText() const override;
    void setMessageText(const std::u32string& text) override;
    std::u32string selectedMessageText() const override;
    std::string fontFileText() const override;
    void setFontFileText(const std::string& text) override;
    std::string separationText() const override;
    void setSeparationText(const std::string& text) override;
    bool ignoreChecked() const override;
    void setIgnoreChecked(bool checked) override;
    std::string messageName() const override;
    void setMessageName(const std::string& text) override;
    int paragraphItemCount() const override;
    void addParagraphItem(const std::string& text) override;
    void removeFirstParagraphItem() override;
    void setCurrentParagraphIndex(int index) override;
    std::string currentParagraphText() const override;
    void setCapacityLabel(const std::string& text, bool exceeded) override;
    std::string capacityLabel() const override;
    void setEnabled(EditorControl control, bool enabled) override;
    bool isEnabled(EditorControl control) const override;
    void setFocus(EditorControl control) override;

    // Handlers.
    void cmdParNuevo_Click();
    void cmdParGuardar_Click();
    void cboParParrafos_Click();
    void cmdMsjFxAgrega_Click();
    void txtMsjMensaje_Change();
    void cmdMsjSeparMas_Click();
    void cmdMsjSeparMenos_Click();
    void txtMsjSeparSepar_Change();
    void filArchArchivos_Click(const QString& name);
    void txtMsjArchivo_Change();
    void menOpcAvanzadas_Click();
    void menEditorFuentes_Click();
    void menAyudaGeneral_Click();
    void menArchNuevo_Click();
    void MenArchAbrir_Click();
    void menArchGuardar_Click();
    void menArchGuardarComo_Click();
    void menGrabTotal_Click();
    void menGrabParcial_Click();
    // "Turnero 1" to "Turnero 3".
    void menTurn_Click(int estilo);
    // "Varios carteles…": opens the window that records several signs at once.
    void menGrabVarios_Click();
    frmVarios* varios() { return frmVarios_.get(); }

    // Fills filArchArchivos with the font files that are in FontFolder now.
    void refreshFontList();
    // Makes the paragraph's font (txtMsjArchivo) the list's current entry, or none.
    void showFontInList();
    // Redraws the LED preview and its figures from the editor now (changes ask for it to be
    // redrawn once the current event is handled).
    void updatePreview();
    LedPreview* preview() const { return ui_.vistaCartel; }
    // Gives the main window back after a secondary window closes.
    void returnFromSecondaryWindow();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Connects the controls and the menu items to their handlers.
    void connectControls();
    void connectMenus();
    QWidget* widgetFor(EditorControl control) const;
    QAction* actionFor(EditorControl control) const;
    class ChooserHost;

    // The other windows, made with the main window and living as long as it.
    void buildSecondaryWindows();

    Services services_;
    ParagraphCommands commands_;
    std::unique_ptr<frmAvanzadas> frmAvanzadas_;
    std::unique_ptr<frmGraba> frmGraba_;
    std::unique_ptr<frmVarios> frmVarios_;
    std::unique_ptr<frmArchivo> frmArchivo_;
    std::unique_ptr<frmAyuda> frmAyuda_;  // made the first time the help needs it
    std::unique_ptr<frmFuentes> frmFuentes_;
    std::unique_ptr<ChooserHost> chooserHost_;
    std::unique_ptr<MessageFiles> messageFiles_;
    std::unique_ptr<FileCommands> fileCommands_;
    // The LED preview, redrawn once after a burst of changes.
    void schedulePreview();
    QTimer* previewTimer_ = nullptr;
    SignPreviewCache previewCache_;

    MainWindowUi ui_;

    bool closingConfirmed_ = false;
};

}  // namespace letrador
