#include "settings/frm_avanzadas.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "settings/frm_puertos_red.h"
#include "settings/options_commands.h"

namespace letrador {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

template <typename W>
W* Named(W* widget, const char* name) {
    widget->setObjectName(QString::fromUtf8(name));
    return widget;
}

}  // namespace

frmAvanzadas::frmAvanzadas(Services services, QWidget* parent)
    : QWidget(parent, Qt::Window), services_(std::move(services)) {
    setObjectName(QStringLiteral("frmAvanzadas"));
    setWindowTitle(QStringLiteral("Opciones Avanzadas"));

    fraPuerto_ = Named(new QGroupBox(QStringLiteral("Puerto")), "fraPuerto");
    fraPuerto_->setToolTip(QStringLiteral("Seteo de la dirección del puerto."));
    lblNumCom_ = Named(
        new QLabel(QStringLiteral("Seleccione uno de los puertos COM disponibles en el sistema.")),
        "lblNumCom");
    lblNumCom_->setWordWrap(true);
    cboPuertoCom_ = Named(new QComboBox, "cboPuertoCom");
    cboPuertoCom_->setEditable(false);
    cboPuertoCom_->setToolTip(QStringLiteral("Puertos COM disponibles en el sistema."));
    cmdActualizar_ = Named(new QPushButton(QStringLiteral("Actualizar")), "cmdActualizar");
    cmdPuertosRed_ = Named(new QPushButton(QStringLiteral("Puertos de red…")), "cmdPuertosRed");
    cmdPuertosRed_->setToolTip(
        QStringLiteral("Carteles detrás de un servidor de puertos serie en la red."));
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(cboPuertoCom_, 1);
    portRow->addWidget(cmdActualizar_);
    auto* networkRow = new QHBoxLayout;
    networkRow->addStretch();
    networkRow->addWidget(cmdPuertosRed_);
    auto* portLayout = new QVBoxLayout(fraPuerto_);
    portLayout->addWidget(lblNumCom_);
    portLayout->addLayout(portRow);
    portLayout->addLayout(networkRow);

    fraParrafos_ = Named(new QGroupBox(QStringLiteral("Párrafos")), "fraParrafos");
    lblParEspacio_ = Named(new QLabel(QStringLiteral("Tamaño del espaciado")), "lblParEspacio");
    txtParEspacio_ = Named(new QLineEdit(QStringLiteral("3")), "txtParEspacio");
    txtParEspacio_->setAlignment(Qt::AlignCenter);
    txtParEspacio_->setToolTip(QStringLiteral("Cantidad de columnas de espaciado."));
    txtParEspacio_->setMaximumWidth(60);
    cmdParEspaMas_ = Named(new QPushButton(QStringLiteral("+")), "cmdParEspaMas");
    cmdParEspaMas_->setToolTip(QStringLiteral("Aumenta el espaciado."));
    cmdParEspaMenos_ = Named(new QPushButton(QStringLiteral("-")), "cmdParEspaMenos");
    cmdParEspaMenos_->setToolTip(QStringLiteral("Disminuye el espaciado."));
    for (QPushButton* b : {cmdParEspaMas_, cmdParEspaMenos_}) b->setMaximumWidth(32);
    chkParUnidos_ = Named(new QCheckBox(QStringLiteral("Párrafos unidos")), "chkParUnidos");
    chkParUnidos_->setToolTip(QStringLiteral("Párrafos unidos o separados."));
    auto* widthRow = new QHBoxLayout;
    widthRow->addWidget(lblParEspacio_);
    widthRow->addStretch();
    widthRow->addWidget(cmdParEspaMenos_);
    widthRow->addWidget(txtParEspacio_);
    widthRow->addWidget(cmdParEspaMas_);
    auto* parLayout = new QVBoxLayout(fraParrafos_);
    parLayout->addLayout(widthRow);
    parLayout->addWidget(chkParUnidos_);

    cmdCerrar_ = Named(new QPushButton(QStringLiteral("Cerrar")), "cmdCerrar");
    cmdCerrar_->setToolTip(QStringLiteral("Cierra la ventana."));
    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch();
    closeRow->addWidget(cmdCerrar_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fraPuerto_);
    layout->addWidget(fraParrafos_);
    layout->addLayout(closeRow);
    resize(380, 290);

    connect(cmdActualizar_, &QPushButton::clicked, this, [this] { cmdActualizar_Click(); });
    connect(cmdParEspaMas_, &QPushButton::clicked, this, [this] { cmdParEspaMas_Click(); });
    connect(cmdParEspaMenos_, &QPushButton::clicked, this, [this] { cmdParEspaMenos_Click(); });
    connect(cmdCerrar_, &QPushButton::clicked, this, [this] { cmdCerrar_Click(); });
    connect(txtParEspacio_, &QLineEdit::textChanged, this, [this] {
        if (services_.changed) services_.changed();
    });
    connect(chkParUnidos_, &QCheckBox::toggled, this, [this] {
        if (services_.changed) services_.changed();
    });
    connect(cmdPuertosRed_, &QPushButton::clicked, this, [this] { cmdPuertosRed_Click(); });
    // Esc is "Cerrar", when that is allowed.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] {
        if (cmdCerrar_->isEnabled()) cmdCerrar_Click();
    });
}

frmAvanzadas::~frmAvanzadas() = default;

std::string frmAvanzadas::spaceWidthText() const { return txtParEspacio_->text().toStdString(); }
void frmAvanzadas::setSpaceWidthText(const std::string& text) { txtParEspacio_->setText(Q(text)); }
bool frmAvanzadas::joinedChecked() const { return chkParUnidos_->isChecked(); }
void frmAvanzadas::setJoinedChecked(bool checked) { chkParUnidos_->setChecked(checked); }
int frmAvanzadas::portCount() const { return cboPuertoCom_->count(); }
void frmAvanzadas::clearPorts() { cboPuertoCom_->clear(); }

void frmAvanzadas::addPort(const std::string& number, const std::string& device) {
    cboPuertoCom_->addItem(Q(number));
    QString tip = device.empty() ? QStringLiteral("Sin dispositivo")
                                 : QStringLiteral("Dispositivo: ") + Q(device);
    cboPuertoCom_->setItemData(cboPuertoCom_->count() - 1, tip, Qt::ToolTipRole);
    cboPuertoCom_->setItemData(cboPuertoCom_->count() - 1, Q(device), Qt::UserRole);
}

std::string frmAvanzadas::portText(int index) const {
    return cboPuertoCom_->itemText(index).toStdString();
}

std::string frmAvanzadas::portDevice(int index) const {
    return cboPuertoCom_->itemData(index, Qt::UserRole).toString().toStdString();
}

void frmAvanzadas::choosePort(int index) {
    // The list keeps its own tool tip; each entry's device shows as the entry's tool tip.
    cboPuertoCom_->setCurrentIndex(index);
}

std::string frmAvanzadas::chosenPortText() const {
    return cboPuertoCom_->currentIndex() < 0 ? std::string()
                                             : cboPuertoCom_->currentText().toStdString();
}

QPushButton* frmAvanzadas::button(OptionsControl control) const {
    return control == OptionsControl::cmdActualizar ? cmdActualizar_ : cmdCerrar_;
}
void frmAvanzadas::setEnabled(OptionsControl control, bool enabled) {
    button(control)->setEnabled(enabled);
}
bool frmAvanzadas::isEnabled(OptionsControl control) const {
    return button(control)->isEnabled();
}

void frmAvanzadas::cmdActualizar_Click() {
    // The list is filled when the search ends, while the window lives.
    letrador::cmdActualizar_Click(services_.ports, *this, services_.deviceOf);
}
void frmAvanzadas::cmdParEspaMas_Click() {
    letrador::cmdParEspaMas_Click(*this, services_.spaceWidth);
}
void frmAvanzadas::cmdParEspaMenos_Click() {
    letrador::cmdParEspaMenos_Click(*this, services_.spaceWidth);
}

void frmAvanzadas::cmdCerrar_Click() {
    if (services_.returnToMainWindow) services_.returnToMainWindow();
    hide();
}

void frmAvanzadas::cmdPuertosRed_Click() {
    if (!frmPuertosRed_) {
        frmPuertosRed_ = std::make_unique<frmPuertosRed>(frmPuertosRed::Services{
            services_.workFolder, services_.dialogs, services_.threads, [this] {
                QWidget::setEnabled(true);
                activateWindow();
            }});
    }
    QWidget::setEnabled(false);
    frmPuertosRed_->mostrar();
}

void frmAvanzadas::closeEvent(QCloseEvent* event) {
    // The frame's close button is "Cerrar" when that is allowed, and nothing otherwise: with
    // no port found the window must stay until "Actualizar" finds one.
    event->ignore();
    if (cmdCerrar_->isEnabled()) cmdCerrar_Click();
}

}  // namespace letrador
