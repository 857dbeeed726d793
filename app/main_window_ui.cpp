#include "app/main_window_ui.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/font_list_box.h"
#include "app/led_preview.h"
#include "message/paragraph_commands.h"
#include "message/tag_highlighter.h"

namespace letrador {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

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

void MainWindowUi::setup(QMainWindow& window) {
    auto* central = new QWidget;
    window.setCentralWidget(central);

    frmNomMensaje = Named(new QGroupBox(QStringLiteral("Nombre de Mensaje")), "frmNomMensaje");
    txtNomMensaje = Named(new QLineEdit, "txtNomMensaje");
    // The name comes from opening or saving a file; typing one would make "Guardar" write
    // somewhere the operator never chose.
    txtNomMensaje->setReadOnly(true);
    (new QVBoxLayout(frmNomMensaje))->addWidget(txtNomMensaje);

    lblArchVelmora = Named(new QLabel, "lblArchVelmora");
    lblArchVelmora->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    imgArchVelmora = Named(new QLabel, "imgArchVelmora");
    imgArchVelmora->setAlignment(Qt::AlignCenter);
    imgArchVelmora->setMaximumSize(160, 64);
    imgArchVelmora->setScaledContents(false);
    Image1 = Named(new QLabel, "Image1");
    Image1->setPixmap(DecorationPixmap());

    frmArchivos = Named(new QGroupBox(QStringLiteral("Archivos de Fuentes")), "frmArchivos");
    filArchArchivos = Named(new FontListBox, "filArchArchivos");
    filArchArchivos->setToolTip(QStringLiteral("Para seleccionar el tipo de letra de un párrafo."));
    filArchArchivos->setMinimumWidth(150);
    (new QVBoxLayout(frmArchivos))->addWidget(filArchArchivos);

    frmMensaje = Named(new QGroupBox(QStringLiteral("Edición de Mensaje")), "frmMensaje");
    txtMsjMensaje = Named(new QPlainTextEdit, "txtMsjMensaje");
    QFont editorFont(QStringLiteral("MS Sans Serif"));
    editorFont.setStyleHint(QFont::SansSerif);
    editorFont.setPointSize(11);
    txtMsjMensaje->setFont(editorFont);
    txtMsjMensaje->setMinimumSize(360, 140);
    highlighter = new TagHighlighter(txtMsjMensaje->document());
    vistaCartel = Named(new LedPreview, "vistaCartel");
    vistaCartel->setToolTip(QStringLiteral("El párrafo como lo mostrará el cartel."));
    frmSepar = Named(new QGroupBox(QStringLiteral("Separación entre caracteres")), "frmSepar");
    txtMsjSeparSepar = Named(new QLineEdit(QStringLiteral("1")), "txtMsjSeparSepar");
    txtMsjSeparSepar->setReadOnly(true);
    txtMsjSeparSepar->setAlignment(Qt::AlignCenter);
    txtMsjSeparSepar->setMaximumWidth(48);
    txtMsjSeparSepar->setToolTip(QStringLiteral("Columnas de separación entre los caracteres."));
    cmdMsjSeparMas = Named(new QPushButton(QStringLiteral("+")), "cmdMsjSeparMas");
    cmdMsjSeparMas->setToolTip(QStringLiteral("Aumenta la separación."));
    cmdMsjSeparMenos = Named(new QPushButton(QStringLiteral("-")), "cmdMsjSeparMenos");
    cmdMsjSeparMenos->setToolTip(QStringLiteral("Disminuye la separación."));
    for (QPushButton* b : {cmdMsjSeparMas, cmdMsjSeparMenos}) b->setMaximumWidth(32);
    auto* separLayout = new QHBoxLayout(frmSepar);
    separLayout->addWidget(cmdMsjSeparMenos);
    separLayout->addWidget(txtMsjSeparSepar);
    separLayout->addWidget(cmdMsjSeparMas);

    lblMsjArchivo = Named(new QLabel(QStringLiteral("Archivo de Fuente")), "lblMsjArchivo");
    txtMsjArchivo = Named(new QLineEdit, "txtMsjArchivo");
    txtMsjArchivo->setReadOnly(true);
    txtMsjArchivo->setToolTip(QStringLiteral("Fuente que tiene asignada un párrafo."));
    lblMsjArchivo->setBuddy(txtMsjArchivo);

    frmEfectos = Named(new QGroupBox(QStringLiteral("Efectos")), "frmEfectos");
    frmEfectos->setToolTip(QStringLiteral("Efectos para hacer el mensaje más llamativo."));
    cboMsjFxEfectos = Named(new QComboBox, "cboMsjFxEfectos");
    cboMsjFxEfectos->setEditable(false);
    cboMsjFxEfectos->setToolTip(QStringLiteral("Listado de los efectos."));
    cboMsjFxEfectos->setMinimumContentsLength(16);
    cmdMsjFxAgrega = Named(new QPushButton(QStringLiteral("Agregar")), "cmdMsjFxAgrega");
    cmdMsjFxAgrega->setToolTip(QStringLiteral("Inserta el efecto en el texto del párrafo."));
    auto* fxLayout = new QHBoxLayout(frmEfectos);
    fxLayout->addWidget(cboMsjFxEfectos, 1);
    fxLayout->addWidget(cmdMsjFxAgrega);

    lblMsjCapacidad = Named(new QLabel(Q(kCapacidadInicial)), "lblMsjCapacidad");

    auto* fontRow = new QHBoxLayout;
    fontRow->addWidget(lblMsjArchivo);
    fontRow->addWidget(txtMsjArchivo, 1);
    auto* toolsRow = new QHBoxLayout;
    toolsRow->addWidget(frmSepar);
    toolsRow->addWidget(frmEfectos, 1);
    auto* mensajeLayout = new QVBoxLayout(frmMensaje);
    mensajeLayout->addWidget(txtMsjMensaje, 1);
    mensajeLayout->addWidget(vistaCartel);
    mensajeLayout->addLayout(toolsRow);
    mensajeLayout->addLayout(fontRow);
    mensajeLayout->addWidget(lblMsjCapacidad);

    frmParrafos = Named(new QGroupBox(QStringLiteral("Párrafos")), "frmParrafos");
    chkMsjIgnora =
        Named(new QCheckBox(QStringLiteral("Ignorar párrafo para la grabación")), "chkMsjIgnora");
    cboParParrafos = Named(new QComboBox, "cboParParrafos");
    // Choice only from the list: a typed number naming no paragraph can never reach the store.
    cboParParrafos->setEditable(false);
    cboParParrafos->setToolTip(
        QStringLiteral("Permite seleccionar entre los párrafos existentes."));
    cmdParGuardar = Named(new QPushButton(QStringLiteral("Guardar párrafo")), "cmdParGuardar");
    cmdParGuardar->setToolTip(
        QStringLiteral("Guarda los párrafos con el contenido del formulario."));
    cmdParNuevo = Named(new QPushButton(QStringLiteral("Nuevo Párrafo")), "cmdParNuevo");
    cmdParNuevo->setToolTip(QStringLiteral("Crea párrafos nuevos."));
    auto* parLayout = new QVBoxLayout(frmParrafos);
    parLayout->addWidget(new QLabel(QStringLiteral("Párrafo:")));
    parLayout->addWidget(cboParParrafos);
    parLayout->addWidget(cmdParNuevo);
    parLayout->addWidget(cmdParGuardar);
    parLayout->addWidget(chkMsjIgnora);
    parLayout->addStretch();

    auto* brand = new QVBoxLayout;
    brand->addWidget(imgArchVelmora, 0, Qt::AlignRight);
    brand->addWidget(lblArchVelmora);
    auto* top = new QHBoxLayout;
    top->addWidget(frmNomMensaje, 1);
    top->addWidget(Image1, 0, Qt::AlignBottom);
    top->addLayout(brand);

    auto* middle = new QHBoxLayout;
    middle->addWidget(frmArchivos);
    middle->addWidget(frmMensaje, 1);
    middle->addWidget(frmParrafos);

    auto* layout = new QVBoxLayout(central);
    layout->addLayout(top);
    layout->addLayout(middle, 1);
    window.resize(900, 480);
    setupMenus(window);
}

void MainWindowUi::showBrand(const std::filesystem::path& logoPath, const std::string& text) {
    QPixmap logo;
    if (logo.load(QString::fromStdString(logoPath.string()))) {
        imgArchVelmora->setPixmap(logo.scaled(imgArchVelmora->maximumSize(), Qt::KeepAspectRatio,
                                              Qt::SmoothTransformation));
        imgArchVelmora->setEnabled(true);
    } else {
        imgArchVelmora->clear();
        imgArchVelmora->setEnabled(false);
    }
    lblArchVelmora->setText(Q(text));
}

void MainWindowUi::setupMenus(QMainWindow& window) {
    auto action = [](QMenu* menu, const char* name, const QString& caption,
                         const QKeySequence& shortcut = {}) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QString::fromUtf8(name));
        if (!shortcut.isEmpty()) a->setShortcut(shortcut);
        return a;
    };
    menArchivo = Named(window.menuBar()->addMenu(QStringLiteral("&Mensaje")), "menArchivo");
    menArchNuevo = action(menArchivo, "menArchNuevo", QStringLiteral("&Nuevo"),
                           QKeySequence(Qt::CTRL | Qt::Key_N));
    MenArchAbrir = action(menArchivo, "MenArchAbrir", QStringLiteral("&Abrir"),
                           QKeySequence(Qt::CTRL | Qt::Key_A));
    menArchGuardar = action(menArchivo, "menArchGuardar", QStringLiteral("&Guardar"),
                             QKeySequence(Qt::CTRL | Qt::Key_G));
    menArchGuardarComo =
        action(menArchivo, "menArchGuardarComo", QStringLiteral("Guardar &Como"));

    menConfiguracion =
        Named(window.menuBar()->addMenu(QStringLiteral("&Configuración")), "menConfiguración");
    menOpcAvanzadas = action(menConfiguracion, "menOpcAvanzadas",
                              QStringLiteral("&Opciones Avanzadas"),
                              QKeySequence(Qt::CTRL | Qt::Key_O));
    menEditorFuentes = action(menConfiguracion, "menEditorFuentes",
                               QStringLiteral("Editor de &fuentes…"));

    menGrabacion = Named(window.menuBar()->addMenu(QStringLiteral("&Grabación")), "menGrabacion");
    menGrabTotal = action(menGrabacion, "menGrabTotal", QStringLiteral("&Total"),
                           QKeySequence(Qt::CTRL | Qt::Key_T));
    menGrabParcial = action(menGrabacion, "menGrabParcial", QStringLiteral("&Parcial"),
                             QKeySequence(Qt::CTRL | Qt::Key_P));
    menGrabVarios = action(menGrabacion, "menGrabVarios", QStringLiteral("&Varios carteles…"));

    menTurneros = Named(window.menuBar()->addMenu(QStringLiteral("&Turneros")), "menTurneros");
    menTurn1 = action(menTurneros, "menTurn1", QStringLiteral("Turnero &1"));
    menTurn2 = action(menTurneros, "menTurn2", QStringLiteral("Turnero &2"));
    menTurn3 = action(menTurneros, "menTurn3", QStringLiteral("Turnero &3"));

    menAyuda = Named(window.menuBar()->addMenu(QStringLiteral("&Ayuda")), "menAyuda");
    menAyudaGeneral = action(menAyuda, "menAyudaGeneral", QStringLiteral("&Ayuda general"),
                              QKeySequence(Qt::CTRL | Qt::Key_H));
}

}  // namespace letrador
