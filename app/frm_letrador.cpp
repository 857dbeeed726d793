#include "app/frm_letrador.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

#include <QTextDocumentFragment>
#include <QTimer>

#include "app/app_core.h"
#include "app/brand.h"
#include "app/font_list_box.h"
#include "app/frm_ayuda.h"
#include "app/frm_fuentes.h"
#include "app/led_preview.h"
#include "files/file_commands.h"
#include "files/frm_archivo.h"
#include "files/message_files.h"
#include "message/effect_tags.h"
#include "message/font_file.h"
#include "message/tag_highlighter.h"
#include "settings/frm_avanzadas.h"
#include "settings/port_discovery.h"
#include "signlink/frm_graba.h"
#include "signlink/frm_varios.h"
#include "signlink/recording_commands.h"

namespace letrador {
namespace {

using C = EditorControl;

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The editor holds line breaks as "\n"; the store and files hold CR LF.
std::u32string ToStoreText(const QString& editorText) {
    QString t = editorText;
    t.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    t.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return t.toStdU32String();
}

QString ToEditorText(const std::u32string& storeText) {
    QString t = QString::fromStdU32String(storeText);
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return t;
}

}  // namespace

frmLetrador::frmLetrador(Services services)
    : services_(std::move(services)),
      commands_(services_.store, *this, services_.dialogs,
                [this] { return frmAvanzadas_ && frmAvanzadas_->joinedChecked(); }) {
    setObjectName(QStringLiteral("frmLetrador"));
    setWindowTitle(QStringLiteral("Letrador de Mensajes"));
    ui_.setup(*this);
    connectControls();
    connectMenus();
    buildSecondaryWindows();
}

// The chooser switches the main window off while it is up, and gives it back.
class frmLetrador::ChooserHost : public MainWindowControl {
public:
    explicit ChooserHost(frmLetrador& window) : window_(window) {}
    void setMainWindowEnabled(bool enabled) override { window_.QMainWindow::setEnabled(enabled); }
    void focusMainWindow() override { window_.returnFromSecondaryWindow(); }

private:
    frmLetrador& window_;
};

void frmLetrador::buildSecondaryWindows() {
    // The space width and "Párrafos unidos" change what the preview shows and its total.
    frmAvanzadas_ = std::make_unique<frmAvanzadas>(frmAvanzadas::Services{
        services_.ports, services_.store.SpaceWidth, services_.deviceOf,
        [this] { returnFromSecondaryWindow(); }, [this] { schedulePreview(); },
        services_.workFolder, services_.dialogs, services_.threads});
    frmGraba_ = std::make_unique<frmGraba>(services_.engine, frmGraba::MainWindowHooks{
        [this](bool enabled) { QMainWindow::setEnabled(enabled); },
        [this] {
            show();
            returnFromSecondaryWindow();
            if (ui_.txtMsjMensaje->isEnabled()) ui_.txtMsjMensaje->setFocus(Qt::OtherFocusReason);
        }});
    frmArchivo_ = std::make_unique<frmArchivo>(services_.store.MessageFolder);
    chooserHost_ = std::make_unique<ChooserHost>(*this);
    messageFiles_ = std::make_unique<MessageFiles>(services_.store, *this, *frmAvanzadas_,
                                                   commands_, services_.dialogs);
    fileCommands_ =
        std::make_unique<FileCommands>(services_.store, *this, commands_, *messageFiles_,
                                       *frmArchivo_, *chooserHost_, services_.dialogs);
    frmArchivo_->setCommands(fileCommands_.get());
}

frmLetrador::~frmLetrador() { Form_Unload(); }

void frmLetrador::connectControls() {
    // Several changes in one go (a paragraph loaded, a file read) redraw the preview once.
    previewTimer_ = new QTimer(this);
    previewTimer_->setSingleShot(true);
    previewTimer_->setInterval(0);
    connect(previewTimer_, &QTimer::timeout, this, [this] { updatePreview(); });

    connect(ui_.cmdParNuevo, &QPushButton::clicked, this, [this] { cmdParNuevo_Click(); });
    connect(ui_.cmdParGuardar, &QPushButton::clicked, this, [this] { cmdParGuardar_Click(); });
    connect(ui_.cboParParrafos, &QComboBox::activated, this, [this] { cboParParrafos_Click(); });
    connect(ui_.cmdMsjFxAgrega, &QPushButton::clicked, this, [this] { cmdMsjFxAgrega_Click(); });
    connect(ui_.txtMsjMensaje, &QPlainTextEdit::textChanged, this, [this] { txtMsjMensaje_Change(); });
    connect(ui_.cmdMsjSeparMas, &QPushButton::clicked, this, [this] { cmdMsjSeparMas_Click(); });
    connect(ui_.cmdMsjSeparMenos, &QPushButton::clicked, this, [this] { cmdMsjSeparMenos_Click(); });
    connect(ui_.txtMsjSeparSepar, &QLineEdit::textChanged, this,
            [this] { txtMsjSeparSepar_Change(); });
    connect(ui_.txtMsjArchivo, &QLineEdit::textChanged, this, [this] { txtMsjArchivo_Change(); });
    // Besides the three boxes above, the ignore flag and the paragraph shown change the
    // preview's total.
    connect(ui_.chkMsjIgnora, &QCheckBox::toggled, this, [this] { schedulePreview(); });
    connect(ui_.cboParParrafos, &QComboBox::currentIndexChanged, this, [this] { schedulePreview(); });
    // A choice is a click or a move of the selection with the keys; a click on the entry that
    // is already current chooses it again.
    ui_.filArchArchivos->chosen = [this](const QString& name) { filArchArchivos_Click(name); };
    // Ctrl+A must reach "Abrir" from every text box, not select their text.
    for (QWidget* box : std::initializer_list<QWidget*>{ui_.txtMsjMensaje, ui_.txtNomMensaje, ui_.txtMsjArchivo,
                                                        ui_.txtMsjSeparSepar})
        box->installEventFilter(this);
}

void frmLetrador::connectMenus() {
    connect(ui_.menArchNuevo, &QAction::triggered, this, [this] { menArchNuevo_Click(); });
    connect(ui_.MenArchAbrir, &QAction::triggered, this, [this] { MenArchAbrir_Click(); });
    connect(ui_.menArchGuardar, &QAction::triggered, this, [this] { menArchGuardar_Click(); });
    connect(ui_.menArchGuardarComo, &QAction::triggered, this,
            [this] { menArchGuardarComo_Click(); });
    connect(ui_.menOpcAvanzadas, &QAction::triggered, this, [this] { menOpcAvanzadas_Click(); });
    connect(ui_.menEditorFuentes, &QAction::triggered, this, [this] { menEditorFuentes_Click(); });
    connect(ui_.menGrabTotal, &QAction::triggered, this, [this] { menGrabTotal_Click(); });
    connect(ui_.menGrabParcial, &QAction::triggered, this, [this] { menGrabParcial_Click(); });
    connect(ui_.menGrabVarios, &QAction::triggered, this, [this] { menGrabVarios_Click(); });
    connect(ui_.menTurn1, &QAction::triggered, this, [this] { menTurn_Click(1); });
    connect(ui_.menTurn2, &QAction::triggered, this, [this] { menTurn_Click(2); });
    connect(ui_.menTurn3, &QAction::triggered, this, [this] { menTurn_Click(3); });
    connect(ui_.menAyudaGeneral, &QAction::triggered, this, [this] { menAyudaGeneral_Click(); });
}

// ---- Start-up and shutdown ----

bool frmLetrador::Form_Load() {
    ParagraphStore& store = services_.store;
    // The protocol values belong to the serial layer and are fixed when it is made.
    ui_.showBrand(BrandLogoPath(services_.workFolder), ReadBrandText(services_.workFolder));
    for (const Effect& e : kEffects) ui_.cboMsjFxEfectos->addItem(QString::fromUtf8(e.listText));
    ui_.cboMsjFxEfectos->setCurrentIndex(-1);
    PrepareStore(store, services_.workFolder);
    ui_.filArchArchivos->setFolder(store.FontFolder);
    frmArchivo_->setFolder(store.MessageFolder);
    if (ui_.cboParParrafos->count() == 0) commands_.DisableEditing();

    Int16 found = BuscarPuertos(services_.ports, *frmAvanzadas_, services_.deviceOf);
    if (found > 0) {
        frmAvanzadas_->choosePort(frmAvanzadas_->portCount() - 1);
    } else {
        services_.dialogs.information(
            "No se encontraron puertos COM en el sistema.\r\nEl programa no puede continuar.");
        Form_Unload();
        return false;
    }
    store.MessageModified = false;
    return true;
}

void frmLetrador::Form_Unload() {
    // The commands and the serial layer refer to the windows: they go first.
    frmVarios_.reset();
    frmAyuda_.reset();
    fileCommands_.reset();
    messageFiles_.reset();
    frmGraba_.reset();
    frmAvanzadas_.reset();
    frmArchivo_.reset();
    frmFuentes_.reset();
}

void frmLetrador::closeEvent(QCloseEvent* event) {
    // A recording runs inside its command; the program ends only after it has closed.
    if ((frmGraba_ && frmGraba_->recordingRunning()) ||
        (frmVarios_ && frmVarios_->recordingRunning())) {
        event->ignore();
        return;
    }
    if (!closingConfirmed_ &&
        !services_.dialogs.question("Desea salir del programa?", "Salir de la aplicación?")) {
        event->ignore();
        return;
    }
    closingConfirmed_ = true;
    Form_Unload();
    event->accept();
}

void frmLetrador::changeEvent(QEvent* event) {
    // The font list shows the folder as it is whenever the window comes back to the front.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        ui_.filArchArchivos->refresh();
    QMainWindow::changeEvent(event);
}

bool frmLetrador::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride &&
        (watched == ui_.txtMsjMensaje || watched == ui_.txtNomMensaje || watched == ui_.txtMsjArchivo ||
         watched == ui_.txtMsjSeparSepar)) {
        // Ctrl+A is "Abrir" here, not the box's select-all.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::ControlModifier && key->key() == Qt::Key_A) {
            event->ignore();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmLetrador::refreshFontList() { ui_.filArchArchivos->refresh(); }

void frmLetrador::showFontInList() { ui_.filArchArchivos->showFont(ui_.txtMsjArchivo->text()); }

void frmLetrador::schedulePreview() { previewTimer_->start(); }

void frmLetrador::updatePreview() {
    previewTimer_->stop();
    const ParagraphStore& store = services_.store;
    const Int16 separation = WholeValue(ui_.txtMsjSeparSepar->text().toStdString());
    // No font chosen yet: nothing to read, every character is left out.
    const std::string fontFile = fontFileText();
    const std::string font = fontFile.empty() ? std::string() : store.fontPath(fontFile);
    if (previewCache_.update(messageText(), font, separation, store.SpaceWidth))
        ui_.vistaCartel->setPreview(previewCache_.preview());
    const int current = commands_.currentParagraphNumber();
    const bool joined = frmAvanzadas_ && frmAvanzadas_->joinedChecked();
    ui_.vistaCartel->setTotal(TotalWithEditor(store, current, previewCache_.preview().count,
                                       ui_.chkMsjIgnora->isChecked(), joined),
                       store.SignCapacity);
}

void frmLetrador::returnFromSecondaryWindow() {
    QMainWindow::setEnabled(true);
    activateWindow();
    raise();
}

// ---- EditorView ----

std::u32string frmLetrador::messageText() const { return ToStoreText(ui_.txtMsjMensaje->toPlainText()); }

void frmLetrador::setMessageText(const std::u32string& text) {
    // Qt reports a change even when the box already holds the text; that is no change of the
    // message, and keeping the box as it is keeps its undo history too.
    const QString shown = ToEditorText(text);
    if (shown == ui_.txtMsjMensaje->toPlainText()) return;
    ui_.txtMsjMensaje->setPlainText(shown);
}

std::u32string frmLetrador::selectedMessageText() const {
    return ToStoreText(ui_.txtMsjMensaje->textCursor().selection().toPlainText());
}

std::string frmLetrador::fontFileText() const { return ui_.txtMsjArchivo->text().toStdString(); }
void frmLetrador::setFontFileText(const std::string& text) {
    if (ui_.txtMsjArchivo->text() != Q(text)) ui_.txtMsjArchivo->setText(Q(text));
    showFontInList();
}
std::string frmLetrador::separationText() const {
    return ui_.txtMsjSeparSepar->text().toStdString();
}
void frmLetrador::setSeparationText(const std::string& text) {
    if (ui_.txtMsjSeparSepar->text() != Q(text)) ui_.txtMsjSeparSepar->setText(Q(text));
}
bool frmLetrador::ignoreChecked() const { return ui_.chkMsjIgnora->isChecked(); }
void frmLetrador::setIgnoreChecked(bool checked) { ui_.chkMsjIgnora->setChecked(checked); }
std::string frmLetrador::messageName() const { return ui_.txtNomMensaje->text().toStdString(); }
void frmLetrador::setMessageName(const std::string& text) { ui_.txtNomMensaje->setText(Q(text)); }
int frmLetrador::paragraphItemCount() const { return ui_.cboParParrafos->count(); }
void frmLetrador::addParagraphItem(const std::string& text) { ui_.cboParParrafos->addItem(Q(text)); }
void frmLetrador::removeFirstParagraphItem() { ui_.cboParParrafos->removeItem(0); }
void frmLetrador::setCurrentParagraphIndex(int index) { ui_.cboParParrafos->setCurrentIndex(index); }
std::string frmLetrador::currentParagraphText() const {
    return ui_.cboParParrafos->currentText().toStdString();
}

void frmLetrador::setCapacityLabel(const std::string& text, bool exceeded) {
    ui_.lblMsjCapacidad->setText(Q(text));
    ui_.lblMsjCapacidad->setStyleSheet(exceeded ? QStringLiteral("color: rgb(255,0,0); font-weight: bold;")
                                             : QStringLiteral("color: rgb(0,0,0); font-weight: normal;"));
}
std::string frmLetrador::capacityLabel() const { return ui_.lblMsjCapacidad->text().toStdString(); }

QWidget* frmLetrador::widgetFor(EditorControl control) const {
    switch (control) {
        case C::txtMsjMensaje: return ui_.txtMsjMensaje;
        case C::frmMensaje: return ui_.frmMensaje;
        case C::frmArchivos: return ui_.frmArchivos;
        case C::frmSepar: return ui_.frmSepar;
        case C::frmEfectos: return ui_.frmEfectos;
        case C::chkMsjIgnora: return ui_.chkMsjIgnora;
        case C::cmdParGuardar: return ui_.cmdParGuardar;
        case C::cmdParNuevo: return ui_.cmdParNuevo;
        case C::cboParParrafos: return ui_.cboParParrafos;
        default: return nullptr;
    }
}

QAction* frmLetrador::actionFor(EditorControl control) const {
    switch (control) {
        case C::menGrabTotal: return ui_.menGrabTotal;
        case C::menGrabParcial: return ui_.menGrabParcial;
        case C::menArchGuardar: return ui_.menArchGuardar;
        case C::menArchGuardarComo: return ui_.menArchGuardarComo;
        default: return nullptr;
    }
}

void frmLetrador::setEnabled(EditorControl control, bool enabled) {
    if (QWidget* w = widgetFor(control)) w->setEnabled(enabled);
    if (QAction* a = actionFor(control)) a->setEnabled(enabled);
}

bool frmLetrador::isEnabled(EditorControl control) const {
    if (QWidget* w = widgetFor(control)) return w->isEnabled();
    if (QAction* a = actionFor(control)) return a->isEnabled();
    return false;
}

void frmLetrador::setFocus(EditorControl control) {
    if (QWidget* w = widgetFor(control)) w->setFocus(Qt::OtherFocusReason);
}

// ---- Handlers ----

void frmLetrador::cmdParNuevo_Click() { commands_.cmdParNuevo_Click(); }
void frmLetrador::cmdParGuardar_Click() { commands_.cmdParGuardar_Click(); }
void frmLetrador::cboParParrafos_Click() { commands_.cboParParrafos_Click(); }

void frmLetrador::cmdMsjFxAgrega_Click() {
    int index = ui_.cboMsjFxEfectos->currentIndex();
    if (index < 0) {
        services_.dialogs.information("Debe seleccionar un efecto de la lista.");
        return;
    }
    // Typed in at the start of the selection, which stays behind the tag: one step that Ctrl+Z
    // takes back, with the earlier typing still undoable.
    QTextCursor cursor = ui_.txtMsjMensaje->textCursor();
    const int p = cursor.selectionStart();
    cursor.setPosition(p);
    cursor.insertText(QString::fromStdU32String(EffectTag(index)));
    ui_.txtMsjMensaje->setTextCursor(cursor);
    ui_.txtMsjMensaje->setFocus(Qt::OtherFocusReason);
}

void frmLetrador::txtMsjMensaje_Change() {
    services_.store.MessageModified = true;
    schedulePreview();
    // Highlighting follows by itself (TagHighlighter); the box keeps its caret and, as after
    // every change, the focus.
    if (ui_.txtMsjMensaje->isEnabled() && isVisible()) ui_.txtMsjMensaje->setFocus(Qt::OtherFocusReason);
}

void frmLetrador::cmdMsjSeparMas_Click() {
    double v = NumericValue(ui_.txtMsjSeparSepar->text().toStdString());
    if (v < 5) ui_.txtMsjSeparSepar->setText(Q(DecimalNumberText(v + 1)));
}

void frmLetrador::cmdMsjSeparMenos_Click() {
    double v = NumericValue(ui_.txtMsjSeparSepar->text().toStdString());
    if (v > 0) ui_.txtMsjSeparSepar->setText(Q(DecimalNumberText(v - 1)));
}

void frmLetrador::txtMsjSeparSepar_Change() {
    services_.store.MessageModified = true;
    schedulePreview();
}
void frmLetrador::txtMsjArchivo_Change() {
    services_.store.MessageModified = true;
    schedulePreview();
}

void frmLetrador::filArchArchivos_Click(const QString& name) {
    FontCheck check = CheckFontFile(services_.store.fontPath(name.toStdString()));
    switch (check.result) {
        case FontCheck::Result::Ok: setFontFileText(name.toStdString()); break;
        case FontCheck::Result::NotAFont:
            services_.dialogs.information("Error: El archivo no tiene el formato adecuado.");
            break;
        case FontCheck::Result::Failure:
            services_.dialogs.information("Error: " + DecimalText(check.errorNumber) + " , " +
                                          check.description);
            break;
    }
    // A refused file does not stay marked as the paragraph's font; the list finishes handling
    // the click first.
    if (check.result != FontCheck::Result::Ok)
        QTimer::singleShot(0, this, [this] { showFontInList(); });
}

void frmLetrador::menOpcAvanzadas_Click() {
    frmAvanzadas_->show();
    frmAvanzadas_->raise();
    frmAvanzadas_->activateWindow();
    QMainWindow::setEnabled(false);
}

void frmLetrador::menEditorFuentes_Click() {
    if (!frmFuentes_) {
        frmFuentes_ = std::make_unique<frmFuentes>(frmFuentes::Services{
            services_.dialogs, [this] { return services_.store.FontFolder; },
            services_.store.SpaceWidth, [this] { returnFromSecondaryWindow(); },
            [this] {
                refreshFontList();
                schedulePreview();  // the paragraph's own font may be the one just saved
            }});
    }
    frmFuentes_->refreshFiles();
    frmFuentes_->show();
    frmFuentes_->raise();
    frmFuentes_->activateWindow();
    QMainWindow::setEnabled(false);
}

void frmLetrador::menAyudaGeneral_Click() {
    const std::string page = (services_.workFolder / "ayuda" / "letrador.html").string();
    services_.desktop.openFile(page, [self = QPointer<frmLetrador>(this), page] {
        // No browser opened it: the page still shows, in a window of our own.
        if (!self) return;
        if (!self->frmAyuda_) self->frmAyuda_ = std::make_unique<frmAyuda>();
        self->frmAyuda_->showPage(page);
    });
}

}  // namespace letrador

namespace letrador {

void frmLetrador::menArchNuevo_Click() { fileCommands_->menArchNuevo_Click(); }
void frmLetrador::MenArchAbrir_Click() { fileCommands_->MenArchAbrir_Click(); }
void frmLetrador::menArchGuardar_Click() { fileCommands_->menArchGuardar_Click(); }
void frmLetrador::menArchGuardarComo_Click() { fileCommands_->menArchGuardarComo_Click(); }

void frmLetrador::menGrabTotal_Click() {
    if (auto message = PrepararMensajeTotal(commands_, services_.store, *this, services_.dialogs,
                                            frmAvanzadas_->joinedChecked()))
        frmGraba_->grabar(std::move(*message), frmAvanzadas_->chosenPortText());
}

void frmLetrador::menGrabParcial_Click() {
    if (auto paragraph = PrepararParrafoActual(services_.store, *this, services_.dialogs))
        frmGraba_->grabar(std::move(*paragraph), frmAvanzadas_->chosenPortText());
}

void frmLetrador::menTurn_Click(int estilo) {
    if (ConfirmarTurnero(services_.dialogs))
        frmGraba_->grabar(TurnDisplay{estilo, std::nullopt}, frmAvanzadas_->chosenPortText());
}

void frmLetrador::menGrabVarios_Click() {
    if (!frmVarios_) {
        frmVarios_ = std::make_unique<frmVarios>(frmVarios::Services{
            commands_, services_.store, *this, services_.dialogs,
            [this] { return frmAvanzadas_->joinedChecked(); }, services_.engine,
            [this](bool enabled) { QMainWindow::setEnabled(enabled); },
            [this] {
                show();
                returnFromSecondaryWindow();
                if (ui_.txtMsjMensaje->isEnabled()) ui_.txtMsjMensaje->setFocus(Qt::OtherFocusReason);
            }});
    }
    std::vector<frmVarios::Puerto> puertos;
    for (int k = 0; k < frmAvanzadas_->portCount(); ++k)
        puertos.push_back({frmAvanzadas_->portText(k), frmAvanzadas_->portDevice(k)});
    frmVarios_->mostrar(puertos);
}

}  // namespace letrador
