#include "app/frm_letrador.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileSystemWatcher>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QVBoxLayout>

#include "app/brand.h"
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
#include "platform/qt_link_thread.h"
#include "signlink/frm_graba.h"
#include "signlink/frm_varios.h"
#include "signlink/grabacion.h"
#include "signlink/puerto_serie.h"
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

template <typename W>
W* Named(W* widget, const char* name) {
    widget->setObjectName(QString::fromUtf8(name));
    return widget;
}

// A strip of dark LED dots with a few lit ones: the window's decoration.
QPixmap DecorationPixmap() {
    QPixmap pixmap(120, 22);
    pixmap.fill(QColor(20, 20, 20));
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    for (int col = 0; col < 20; ++col) {
        for (int row = 0; row < 3; ++row) {
            bool lit = (col + row) % 3 == 0;
            p.setBrush(lit ? QColor(255, 40, 30) : QColor(70, 20, 20));
            p.setPen(Qt::NoPen);
            p.drawEllipse(QPointF(3 + col * 6, 4 + row * 7), 2.2, 2.2);
        }
    }
    return pixmap;
}

}  // namespace

frmLetrador::frmLetrador(Services services)
    : services_(std::move(services)),
      commands_(services_.store, *this, services_.dialogs,
                [this] { return frmAvanzadas_ && frmAvanzadas_->joinedChecked(); }) {
    setObjectName(QStringLiteral("frmLetrador"));
    setWindowTitle(QStringLiteral("Letrador de Mensajes"));
    buildControls();
    buildMenus();
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
    frmAvanzadas_ = std::make_unique<frmAvanzadas>(frmAvanzadas::Services{
        services_.link, services_.store.SpaceWidth, services_.deviceOf,
        [this] { returnFromSecondaryWindow(); }, services_.workFolder, services_.dialogs,
        platform::QtLinkThread::maker(services_.deviceOf)});
    // The space width and "Párrafos unidos" change what the preview shows and its total.
    if (auto* width = frmAvanzadas_->findChild<QLineEdit*>(QStringLiteral("txtParEspacio")))
        connect(width, &QLineEdit::textChanged, this, [this] { schedulePreview(); });
    if (auto* joined = frmAvanzadas_->findChild<QCheckBox*>(QStringLiteral("chkParUnidos")))
        connect(joined, &QCheckBox::toggled, this, [this] { schedulePreview(); });
    frmGraba_ = std::make_unique<frmGraba>(frmGraba::MainWindowHooks{
        [this](bool enabled) { QMainWindow::setEnabled(enabled); },
        [this] {
            show();
            returnFromSecondaryWindow();
            if (txtMsjMensaje_->isEnabled()) txtMsjMensaje_->setFocus(Qt::OtherFocusReason);
        }});
    frmArchivo_ = std::make_unique<frmArchivo>(services_.store.MessageFolder);
    chooserHost_ = std::make_unique<ChooserHost>(*this);
    messageFiles_ = std::make_unique<MessageFiles>(services_.store, *this, *frmAvanzadas_,
                                                   commands_, services_.dialogs);
    fileCommands_ =
        std::make_unique<FileCommands>(services_.store, *this, commands_, *messageFiles_,
                                       *frmArchivo_, *chooserHost_, services_.dialogs);
    frmArchivo_->setCommands(fileCommands_.get());
    puertoSerie_ = std::make_unique<PuertoSerie>(services_.link, services_.pump, *frmGraba_);
    puertoSerie_->connect(services_.ticker);
    grabador_ = std::make_unique<Grabador>(*puertoSerie_, *frmGraba_);
}

frmLetrador::~frmLetrador() { Form_Unload(); }

void frmLetrador::buildControls() {
    auto* central = new QWidget;
    setCentralWidget(central);

    frmNomMensaje_ = Named(new QGroupBox(QStringLiteral("Nombre de Mensaje")), "frmNomMensaje");
    txtNomMensaje_ = Named(new QLineEdit, "txtNomMensaje");
    // The name comes from opening or saving a file; typing one would make "Guardar" write
    // somewhere the operator never chose.
    txtNomMensaje_->setReadOnly(true);
    (new QVBoxLayout(frmNomMensaje_))->addWidget(txtNomMensaje_);

    lblArchVelmora_ = Named(new QLabel, "lblArchVelmora");
    lblArchVelmora_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    imgArchVelmora_ = Named(new QLabel, "imgArchVelmora");
    imgArchVelmora_->setAlignment(Qt::AlignCenter);
    imgArchVelmora_->setMaximumSize(160, 64);
    imgArchVelmora_->setScaledContents(false);
    Image1_ = Named(new QLabel, "Image1");
    Image1_->setPixmap(DecorationPixmap());

    frmArchivos_ = Named(new QGroupBox(QStringLiteral("Archivos de Fuentes")), "frmArchivos");
    filArchArchivos_ = Named(new QListWidget, "filArchArchivos");
    filArchArchivos_->setToolTip(QStringLiteral("Para seleccionar el tipo de letra de un párrafo."));
    filArchArchivos_->setMinimumWidth(150);
    (new QVBoxLayout(frmArchivos_))->addWidget(filArchArchivos_);

    frmMensaje_ = Named(new QGroupBox(QStringLiteral("Edición de Mensaje")), "frmMensaje");
    txtMsjMensaje_ = Named(new QPlainTextEdit, "txtMsjMensaje");
    QFont editorFont(QStringLiteral("MS Sans Serif"));
    editorFont.setStyleHint(QFont::SansSerif);
    editorFont.setPointSize(11);
    txtMsjMensaje_->setFont(editorFont);
    txtMsjMensaje_->setMinimumSize(360, 140);
    highlighter_ = new TagHighlighter(txtMsjMensaje_->document());
    preview_ = Named(new LedPreview, "vistaCartel");
    preview_->setToolTip(QStringLiteral("El párrafo como lo mostrará el cartel."));
    // Several changes in one go (a paragraph loaded, a file read) redraw the preview once.
    previewTimer_ = new QTimer(this);
    previewTimer_->setSingleShot(true);
    previewTimer_->setInterval(0);
    connect(previewTimer_, &QTimer::timeout, this, [this] { updatePreview(); });

    frmSepar_ = Named(new QGroupBox(QStringLiteral("Separación entre caracteres")), "frmSepar");
    txtMsjSeparSepar_ = Named(new QLineEdit(QStringLiteral("1")), "txtMsjSeparSepar");
    txtMsjSeparSepar_->setReadOnly(true);
    txtMsjSeparSepar_->setAlignment(Qt::AlignCenter);
    txtMsjSeparSepar_->setMaximumWidth(48);
    txtMsjSeparSepar_->setToolTip(QStringLiteral("Columnas de separación entre los caracteres."));
    cmdMsjSeparMas_ = Named(new QPushButton(QStringLiteral("+")), "cmdMsjSeparMas");
    cmdMsjSeparMas_->setToolTip(QStringLiteral("Aumenta la separación."));
    cmdMsjSeparMenos_ = Named(new QPushButton(QStringLiteral("-")), "cmdMsjSeparMenos");
    cmdMsjSeparMenos_->setToolTip(QStringLiteral("Disminuye la separación."));
    for (QPushButton* b : {cmdMsjSeparMas_, cmdMsjSeparMenos_}) b->setMaximumWidth(32);
    auto* separLayout = new QHBoxLayout(frmSepar_);
    separLayout->addWidget(cmdMsjSeparMenos_);
    separLayout->addWidget(txtMsjSeparSepar_);
    separLayout->addWidget(cmdMsjSeparMas_);

    lblMsjArchivo_ = Named(new QLabel(QStringLiteral("Archivo de Fuente")), "lblMsjArchivo");
    txtMsjArchivo_ = Named(new QLineEdit, "txtMsjArchivo");
    txtMsjArchivo_->setReadOnly(true);
    txtMsjArchivo_->setToolTip(QStringLiteral("Fuente que tiene asignada un párrafo."));
    lblMsjArchivo_->setBuddy(txtMsjArchivo_);

    frmEfectos_ = Named(new QGroupBox(QStringLiteral("Efectos")), "frmEfectos");
    frmEfectos_->setToolTip(QStringLiteral("Efectos para hacer el mensaje más llamativo."));
    cboMsjFxEfectos_ = Named(new QComboBox, "cboMsjFxEfectos");
    cboMsjFxEfectos_->setEditable(false);
    cboMsjFxEfectos_->setToolTip(QStringLiteral("Listado de los efectos."));
    cboMsjFxEfectos_->setMinimumContentsLength(16);
    cmdMsjFxAgrega_ = Named(new QPushButton(QStringLiteral("Agregar")), "cmdMsjFxAgrega");
    cmdMsjFxAgrega_->setToolTip(QStringLiteral("Inserta el efecto en el texto del párrafo."));
    auto* fxLayout = new QHBoxLayout(frmEfectos_);
    fxLayout->addWidget(cboMsjFxEfectos_, 1);
    fxLayout->addWidget(cmdMsjFxAgrega_);

    lblMsjCapacidad_ = Named(new QLabel(Q(kCapacidadInicial)), "lblMsjCapacidad");

    auto* fontRow = new QHBoxLayout;
    fontRow->addWidget(lblMsjArchivo_);
    fontRow->addWidget(txtMsjArchivo_, 1);
    auto* toolsRow = new QHBoxLayout;
    toolsRow->addWidget(frmSepar_);
    toolsRow->addWidget(frmEfectos_, 1);
    auto* mensajeLayout = new QVBoxLayout(frmMensaje_);
    mensajeLayout->addWidget(txtMsjMensaje_, 1);
    mensajeLayout->addWidget(preview_);
    mensajeLayout->addLayout(toolsRow);
    mensajeLayout->addLayout(fontRow);
    mensajeLayout->addWidget(lblMsjCapacidad_);

    frmParrafos_ = Named(new QGroupBox(QStringLiteral("Párrafos")), "frmParrafos");
    chkMsjIgnora_ =
        Named(new QCheckBox(QStringLiteral("Ignorar párrafo para la grabación")), "chkMsjIgnora");
    cboParParrafos_ = Named(new QComboBox, "cboParParrafos");
    // Choice only from the list: a typed number naming no paragraph can never reach the store.
    cboParParrafos_->setEditable(false);
    cboParParrafos_->setToolTip(
        QStringLiteral("Permite seleccionar entre los párrafos existentes."));
    cmdParGuardar_ = Named(new QPushButton(QStringLiteral("Guardar párrafo")), "cmdParGuardar");
    cmdParGuardar_->setToolTip(
        QStringLiteral("Guarda los párrafos con el contenido del formulario."));
    cmdParNuevo_ = Named(new QPushButton(QStringLiteral("Nuevo Párrafo")), "cmdParNuevo");
    cmdParNuevo_->setToolTip(QStringLiteral("Crea párrafos nuevos."));
    auto* parLayout = new QVBoxLayout(frmParrafos_);
    parLayout->addWidget(new QLabel(QStringLiteral("Párrafo:")));
    parLayout->addWidget(cboParParrafos_);
    parLayout->addWidget(cmdParNuevo_);
    parLayout->addWidget(cmdParGuardar_);
    parLayout->addWidget(chkMsjIgnora_);
    parLayout->addStretch();

    auto* brand = new QVBoxLayout;
    brand->addWidget(imgArchVelmora_, 0, Qt::AlignRight);
    brand->addWidget(lblArchVelmora_);
    auto* top = new QHBoxLayout;
    top->addWidget(frmNomMensaje_, 1);
    top->addWidget(Image1_, 0, Qt::AlignBottom);
    top->addLayout(brand);

    auto* middle = new QHBoxLayout;
    middle->addWidget(frmArchivos_);
    middle->addWidget(frmMensaje_, 1);
    middle->addWidget(frmParrafos_);

    auto* layout = new QVBoxLayout(central);
    layout->addLayout(top);
    layout->addLayout(middle, 1);
    resize(900, 480);

    connect(cmdParNuevo_, &QPushButton::clicked, this, [this] { cmdParNuevo_Click(); });
    connect(cmdParGuardar_, &QPushButton::clicked, this, [this] { cmdParGuardar_Click(); });
    connect(cboParParrafos_, &QComboBox::activated, this, [this] { cboParParrafos_Click(); });
    connect(cmdMsjFxAgrega_, &QPushButton::clicked, this, [this] { cmdMsjFxAgrega_Click(); });
    connect(txtMsjMensaje_, &QPlainTextEdit::textChanged, this, [this] { txtMsjMensaje_Change(); });
    connect(cmdMsjSeparMas_, &QPushButton::clicked, this, [this] { cmdMsjSeparMas_Click(); });
    connect(cmdMsjSeparMenos_, &QPushButton::clicked, this, [this] { cmdMsjSeparMenos_Click(); });
    connect(txtMsjSeparSepar_, &QLineEdit::textChanged, this,
            [this] { txtMsjSeparSepar_Change(); });
    connect(txtMsjArchivo_, &QLineEdit::textChanged, this, [this] { txtMsjArchivo_Change(); });
    // Besides the three boxes above, the ignore flag and the paragraph shown change the
    // preview's total.
    connect(chkMsjIgnora_, &QCheckBox::toggled, this, [this] { schedulePreview(); });
    connect(cboParParrafos_, &QComboBox::currentIndexChanged, this, [this] { schedulePreview(); });
    // A choice is a click or a move of the selection with the keys; a click on the entry that
    // is already current chooses it again.
    connect(filArchArchivos_, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem* item) {
                // Tabbing into a list with no current entry makes the first one current: that
                // is Qt's doing, not a choice.
                if (listTakingFocus_) {
                    listTakingFocus_ = false;
                    return;
                }
                if (item) filArchArchivos_Click(item->text());
            });
    connect(filArchArchivos_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (item && filArchArchivos_->row(item) == fontRowBeforePress_)
            filArchArchivos_Click(item->text());
    });
    filArchArchivos_->viewport()->installEventFilter(this);
    filArchArchivos_->installEventFilter(this);
    // Ctrl+A must reach "Abrir" from every text box, not select their text.
    for (QWidget* box : std::initializer_list<QWidget*>{txtMsjMensaje_, txtNomMensaje_, txtMsjArchivo_,
                                                        txtMsjSeparSepar_})
        box->installEventFilter(this);
}

void frmLetrador::buildMenus() {
    auto action = [this](QMenu* menu, const char* name, const QString& caption,
                         const QKeySequence& shortcut = {}) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QString::fromUtf8(name));
        if (!shortcut.isEmpty()) a->setShortcut(shortcut);
        return a;
    };
    menArchivo_ = Named(menuBar()->addMenu(QStringLiteral("&Mensaje")), "menArchivo");
    menArchNuevo_ = action(menArchivo_, "menArchNuevo", QStringLiteral("&Nuevo"),
                           QKeySequence(Qt::CTRL | Qt::Key_N));
    MenArchAbrir_ = action(menArchivo_, "MenArchAbrir", QStringLiteral("&Abrir"),
                           QKeySequence(Qt::CTRL | Qt::Key_A));
    menArchGuardar_ = action(menArchivo_, "menArchGuardar", QStringLiteral("&Guardar"),
                             QKeySequence(Qt::CTRL | Qt::Key_G));
    menArchGuardarComo_ =
        action(menArchivo_, "menArchGuardarComo", QStringLiteral("Guardar &Como"));

    menConfiguracion_ =
        Named(menuBar()->addMenu(QStringLiteral("&Configuración")), "menConfiguración");
    menOpcAvanzadas_ = action(menConfiguracion_, "menOpcAvanzadas",
                              QStringLiteral("&Opciones Avanzadas"),
                              QKeySequence(Qt::CTRL | Qt::Key_O));
    menEditorFuentes_ = action(menConfiguracion_, "menEditorFuentes",
                               QStringLiteral("Editor de &fuentes…"));

    menGrabacion_ = Named(menuBar()->addMenu(QStringLiteral("&Grabación")), "menGrabacion");
    menGrabTotal_ = action(menGrabacion_, "menGrabTotal", QStringLiteral("&Total"),
                           QKeySequence(Qt::CTRL | Qt::Key_T));
    menGrabParcial_ = action(menGrabacion_, "menGrabParcial", QStringLiteral("&Parcial"),
                             QKeySequence(Qt::CTRL | Qt::Key_P));
    menGrabVarios_ = action(menGrabacion_, "menGrabVarios", QStringLiteral("&Varios carteles…"));

    menTurneros_ = Named(menuBar()->addMenu(QStringLiteral("&Turneros")), "menTurneros");
    menTurn1_ = action(menTurneros_, "menTurn1", QStringLiteral("Turnero &1"));
    menTurn2_ = action(menTurneros_, "menTurn2", QStringLiteral("Turnero &2"));
    menTurn3_ = action(menTurneros_, "menTurn3", QStringLiteral("Turnero &3"));

    menAyuda_ = Named(menuBar()->addMenu(QStringLiteral("&Ayuda")), "menAyuda");
    menAyudaGeneral_ = action(menAyuda_, "menAyudaGeneral", QStringLiteral("&Ayuda general"),
                              QKeySequence(Qt::CTRL | Qt::Key_H));

    connect(menArchNuevo_, &QAction::triggered, this, [this] { menArchNuevo_Click(); });
    connect(MenArchAbrir_, &QAction::triggered, this, [this] { MenArchAbrir_Click(); });
    connect(menArchGuardar_, &QAction::triggered, this, [this] { menArchGuardar_Click(); });
    connect(menArchGuardarComo_, &QAction::triggered, this,
            [this] { menArchGuardarComo_Click(); });
    connect(menOpcAvanzadas_, &QAction::triggered, this, [this] { menOpcAvanzadas_Click(); });
    connect(menEditorFuentes_, &QAction::triggered, this, [this] { menEditorFuentes_Click(); });
    connect(menGrabTotal_, &QAction::triggered, this, [this] { menGrabTotal_Click(); });
    connect(menGrabParcial_, &QAction::triggered, this, [this] { menGrabParcial_Click(); });
    connect(menGrabVarios_, &QAction::triggered, this, [this] { menGrabVarios_Click(); });
    connect(menTurn1_, &QAction::triggered, this, [this] { menTurn_Click(1); });
    connect(menTurn2_, &QAction::triggered, this, [this] { menTurn_Click(2); });
    connect(menTurn3_, &QAction::triggered, this, [this] { menTurn_Click(3); });
    connect(menAyudaGeneral_, &QAction::triggered, this, [this] { menAyudaGeneral_Click(); });
}

// ---- Start-up and shutdown ----

void frmLetrador::LoadBrandLogo() {
    QPixmap logo;
    if (logo.load(QString::fromStdString(BrandLogoPath(services_.workFolder).string()))) {
        imgArchVelmora_->setPixmap(logo.scaled(imgArchVelmora_->maximumSize(),
                                               Qt::KeepAspectRatio, Qt::SmoothTransformation));
        imgArchVelmora_->setEnabled(true);
    } else {
        imgArchVelmora_->clear();
        imgArchVelmora_->setEnabled(false);
    }
}

bool frmLetrador::Form_Load() {
    ParagraphStore& store = services_.store;
    // The protocol values belong to the serial layer and are fixed when it is made.
    LoadBrandLogo();
    lblArchVelmora_->setText(Q(ReadBrandText(services_.workFolder)));
    store.ParagraphEndMarker = "fin_parrafo";
    store.DefaultSeparation = 1;
    for (const Effect& e : kEffects) cboMsjFxEfectos_->addItem(QString::fromUtf8(e.listText));
    cboMsjFxEfectos_->setCurrentIndex(-1);

    QDir().mkpath(QString::fromStdString((services_.workFolder / "tipografias").string()));
    store.FontFolder = (services_.workFolder / "tipografias").string();
    fontWatcher_ = new QFileSystemWatcher(this);
    fontWatcher_->addPath(Q(store.FontFolder));
    connect(fontWatcher_, &QFileSystemWatcher::directoryChanged, this,
            [this] { refreshFontList(); });
    refreshFontList();

    QDir().mkpath(QString::fromStdString((services_.workFolder / "mensajes").string()));
    store.MessageFolder = (services_.workFolder / "mensajes").string();
    frmArchivo_->setFolder(store.MessageFolder);

    if (cboParParrafos_->count() == 0) commands_.DisableEditing();
    store.MaxParagraphs = 50;
    store.SignCapacity = 2046;
    store.SpaceWidth = 3;

    Int16 found = BuscarPuertos(services_.link, *frmAvanzadas_, services_.deviceOf);
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
    grabador_.reset();
    puertoSerie_.reset();
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

void frmLetrador::paintEvent(QPaintEvent* event) {
    // The font list shows the folder as it is whenever the window repaints; after the paint,
    // since refilling the list repaints it.
    QTimer::singleShot(0, this, [this] { refreshFontList(); });
    QMainWindow::paintEvent(event);
}

void frmLetrador::changeEvent(QEvent* event) {
    // The font list shows the folder as it is whenever the window comes back to the front.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) refreshFontList();
    QMainWindow::changeEvent(event);
}

bool frmLetrador::eventFilter(QObject* watched, QEvent* event) {
    if (watched == filArchArchivos_->viewport() && event->type() == QEvent::MouseButtonPress) {
        fontRowBeforePress_ = filArchArchivos_->currentRow();
    }
    if (watched == filArchArchivos_ && event->type() == QEvent::FocusIn &&
        !filArchArchivos_->currentItem() &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::MouseFocusReason) {
        listTakingFocus_ = true;
        // Whatever the list does on taking the focus happens now; later moves are choices.
        QTimer::singleShot(0, this, [this] { listTakingFocus_ = false; });
    }
    if (event->type() == QEvent::ShortcutOverride &&
        (watched == txtMsjMensaje_ || watched == txtNomMensaje_ || watched == txtMsjArchivo_ ||
         watched == txtMsjSeparSepar_)) {
        // Ctrl+A is "Abrir" here, not the box's select-all.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::ControlModifier && key->key() == Qt::Key_A) {
            event->ignore();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmLetrador::refreshFontList() {
    QDir dir(Q(services_.store.FontFolder));
    QStringList names = dir.entryList({QStringLiteral("*.ffv")}, QDir::Files, QDir::Name);
    QStringList shown;
    for (int i = 0; i < filArchArchivos_->count(); ++i) shown << filArchArchivos_->item(i)->text();
    if (names == shown) return;
    {
        // Rebuilding the list is not a choice of the operator's.
        QSignalBlocker block(filArchArchivos_);
        filArchArchivos_->clear();
        filArchArchivos_->addItems(names);
    }
    showFontInList();
}

void frmLetrador::showFontInList() {
    const QList<QListWidgetItem*> found =
        filArchArchivos_->findItems(txtMsjArchivo_->text(), Qt::MatchExactly);
    QListWidgetItem* item = txtMsjArchivo_->text().isEmpty() ? nullptr : found.value(0);
    if (filArchArchivos_->currentItem() == item && (item || filArchArchivos_->selectedItems().isEmpty()))
        return;
    // Showing the paragraph's font is not a choice: nothing is checked or marked as changed.
    QSignalBlocker block(filArchArchivos_);
    if (item) {
        filArchArchivos_->setCurrentItem(item);
    } else {
        filArchArchivos_->setCurrentItem(nullptr);
        filArchArchivos_->clearSelection();
    }
}

void frmLetrador::schedulePreview() { previewTimer_->start(); }

void frmLetrador::updatePreview() {
    previewTimer_->stop();
    const ParagraphStore& store = services_.store;
    const Int16 separation = WholeValue(txtMsjSeparSepar_->text().toStdString());
    // No font chosen yet: nothing to read, every character is left out.
    const std::string fontFile = fontFileText();
    const std::string font = fontFile.empty() ? std::string() : store.fontPath(fontFile);
    if (previewCache_.update(messageText(), font, separation, store.SpaceWidth))
        preview_->setPreview(previewCache_.preview());
    const int current = commands_.currentParagraphNumber();
    const bool joined = frmAvanzadas_ && frmAvanzadas_->joinedChecked();
    preview_->setTotal(TotalWithEditor(store, current, previewCache_.preview().count,
                                       chkMsjIgnora_->isChecked(), joined),
                       store.SignCapacity);
}

void frmLetrador::returnFromSecondaryWindow() {
    QMainWindow::setEnabled(true);
    activateWindow();
    raise();
}

// ---- EditorView ----

std::u32string frmLetrador::messageText() const { return ToStoreText(txtMsjMensaje_->toPlainText()); }

void frmLetrador::setMessageText(const std::u32string& text) {
    // Qt reports a change even when the box already holds the text; that is no change of the
    // message, and keeping the box as it is keeps its undo history too.
    const QString shown = ToEditorText(text);
    if (shown == txtMsjMensaje_->toPlainText()) return;
    txtMsjMensaje_->setPlainText(shown);
}

std::u32string frmLetrador::selectedMessageText() const {
    return ToStoreText(txtMsjMensaje_->textCursor().selection().toPlainText());
}

std::string frmLetrador::fontFileText() const { return txtMsjArchivo_->text().toStdString(); }
void frmLetrador::setFontFileText(const std::string& text) {
    if (txtMsjArchivo_->text() != Q(text)) txtMsjArchivo_->setText(Q(text));
    showFontInList();
}
std::string frmLetrador::separationText() const {
    return txtMsjSeparSepar_->text().toStdString();
}
void frmLetrador::setSeparationText(const std::string& text) {
    if (txtMsjSeparSepar_->text() != Q(text)) txtMsjSeparSepar_->setText(Q(text));
}
bool frmLetrador::ignoreChecked() const { return chkMsjIgnora_->isChecked(); }
void frmLetrador::setIgnoreChecked(bool checked) { chkMsjIgnora_->setChecked(checked); }
std::string frmLetrador::messageName() const { return txtNomMensaje_->text().toStdString(); }
void frmLetrador::setMessageName(const std::string& text) { txtNomMensaje_->setText(Q(text)); }
int frmLetrador::paragraphItemCount() const { return cboParParrafos_->count(); }
void frmLetrador::addParagraphItem(const std::string& text) { cboParParrafos_->addItem(Q(text)); }
void frmLetrador::removeFirstParagraphItem() { cboParParrafos_->removeItem(0); }
void frmLetrador::setCurrentParagraphIndex(int index) { cboParParrafos_->setCurrentIndex(index); }
std::string frmLetrador::currentParagraphText() const {
    return cboParParrafos_->currentText().toStdString();
}

void frmLetrador::setCapacityLabel(const std::string& text, bool exceeded) {
    lblMsjCapacidad_->setText(Q(text));
    lblMsjCapacidad_->setStyleSheet(exceeded ? QStringLiteral("color: rgb(255,0,0); font-weight: bold;")
                                             : QStringLiteral("color: rgb(0,0,0); font-weight: normal;"));
}
std::string frmLetrador::capacityLabel() const { return lblMsjCapacidad_->text().toStdString(); }

QWidget* frmLetrador::widgetFor(EditorControl control) const {
    switch (control) {
        case C::txtMsjMensaje: return txtMsjMensaje_;
        case C::frmMensaje: return frmMensaje_;
        case C::frmArchivos: return frmArchivos_;
        case C::frmSepar: return frmSepar_;
        case C::frmEfectos: return frmEfectos_;
        case C::chkMsjIgnora: return chkMsjIgnora_;
        case C::cmdParGuardar: return cmdParGuardar_;
        case C::cmdParNuevo: return cmdParNuevo_;
        case C::cboParParrafos: return cboParParrafos_;
        default: return nullptr;
    }
}

QAction* frmLetrador::actionFor(EditorControl control) const {
    switch (control) {
        case C::menGrabTotal: return menGrabTotal_;
        case C::menGrabParcial: return menGrabParcial_;
        case C::menArchGuardar: return menArchGuardar_;
        case C::menArchGuardarComo: return menArchGuardarComo_;
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
    int index = cboMsjFxEfectos_->currentIndex();
    if (index < 0) {
        services_.dialogs.information("Debe seleccionar un efecto de la lista.");
        return;
    }
    // Typed in at the start of the selection, which stays behind the tag: one step that Ctrl+Z
    // takes back, with the earlier typing still undoable.
    QTextCursor cursor = txtMsjMensaje_->textCursor();
    const int p = cursor.selectionStart();
    cursor.setPosition(p);
    cursor.insertText(QString::fromStdU32String(EffectTag(index)));
    txtMsjMensaje_->setTextCursor(cursor);
    txtMsjMensaje_->setFocus(Qt::OtherFocusReason);
}

void frmLetrador::txtMsjMensaje_Change() {
    services_.store.MessageModified = true;
    schedulePreview();
    // Highlighting follows by itself (TagHighlighter); the box keeps its caret and, as after
    // every change, the focus.
    if (txtMsjMensaje_->isEnabled() && isVisible()) txtMsjMensaje_->setFocus(Qt::OtherFocusReason);
}

void frmLetrador::cmdMsjSeparMas_Click() {
    double v = NumericValue(txtMsjSeparSepar_->text().toStdString());
    if (v < 5) txtMsjSeparSepar_->setText(Q(DecimalNumberText(v + 1)));
}

void frmLetrador::cmdMsjSeparMenos_Click() {
    double v = NumericValue(txtMsjSeparSepar_->text().toStdString());
    if (v > 0) txtMsjSeparSepar_->setText(Q(DecimalNumberText(v - 1)));
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
    GrabarMensajeTotal(commands_, services_.store, *this, services_.dialogs, *grabador_,
                       frmAvanzadas_->chosenPortText(), frmAvanzadas_->joinedChecked());
}

void frmLetrador::menGrabParcial_Click() {
    ParagraphStore& store = services_.store;
    std::u32string text = messageText();
    if (text.empty()) {
        services_.dialogs.information(kMsgTextoVacio);
        txtMsjMensaje_->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (fontFileText().empty()) {
        services_.dialogs.information(kMsgSinFuente);
        return;
    }
    std::string fontPath = store.fontPath(fontFileText());
    Int16 separation = WholeValue(separationText());
    // The whole text must fit, even when only a selection is recorded.
    if (ContarColumnas(text, fontPath, separation, store.SpaceWidth) > store.SignCapacity) {
        services_.dialogs.information(
            "El texto supera la capacidad del cartel. Debe reducir el texto.");
        return;
    }
    RecordCurrentParagraph(*grabador_, text, selectedMessageText(), fontPath, separation,
                           {frmAvanzadas_->chosenPortText(), frmAvanzadas_->joinedChecked(),
                            store.SpaceWidth});
}

void frmLetrador::menTurn_Click(int estilo) {
    GrabarTurneroConfirmado(services_.dialogs, *grabador_, estilo, frmAvanzadas_->chosenPortText());
}

void frmLetrador::menGrabVarios_Click() {
    if (!frmVarios_) {
        frmVarios_ = std::make_unique<frmVarios>(frmVarios::Services{
            commands_, services_.store, *this, services_.dialogs,
            [this] { return frmAvanzadas_->joinedChecked(); },
            platform::QtLinkThread::maker(services_.deviceOf),
            [this](bool enabled) { QMainWindow::setEnabled(enabled); },
            [this] {
                show();
                returnFromSecondaryWindow();
                if (txtMsjMensaje_->isEnabled()) txtMsjMensaje_->setFocus(Qt::OtherFocusReason);
            }});
    }
    std::vector<frmVarios::Puerto> puertos;
    for (int k = 0; k < frmAvanzadas_->portCount(); ++k)
        puertos.push_back({frmAvanzadas_->portText(k), frmAvanzadas_->portDevice(k)});
    frmVarios_->mostrar(puertos);
}

}  // namespace letrador
