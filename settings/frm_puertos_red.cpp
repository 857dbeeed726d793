#include "settings/frm_puertos_red.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMetaObject>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace letrador {
namespace {

constexpr const char* kTitulo = "Puertos de red";
// Each list entry keeps its number (Qt::UserRole) and its address as it stands.
constexpr int kAddressRole = Qt::UserRole + 1;

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

template <typename W>
W* Named(W* widget, const char* name) {
    widget->setObjectName(QString::fromUtf8(name));
    return widget;
}

std::string Com(int numero) {
    return "COM " + std::to_string(numero);
}

std::string ReplaceQuestion(int numero, const PortTarget& there) {
    switch (there.kind) {
        case PortTarget::Kind::Network:
            return "El puerto " + Com(numero) + " ya es el puerto de red " + there.text +
                   ".\r\n¿Desea reemplazarlo?";
        case PortTarget::Kind::Device:
            return "El puerto " + Com(numero) + " ya lleva al dispositivo " + there.text +
                   ".\r\n¿Desea que lleve al servidor de red en su lugar?";
        case PortTarget::Kind::Other:
        case PortTarget::Kind::None:
            break;
    }
    return "Ya hay una entrada puertos/COM" + std::to_string(numero) +
           " que no es un puerto de red.\r\n¿Desea reemplazarla?";
}

}  // namespace

frmPuertosRed::frmPuertosRed(Services services, QWidget* parent)
    : QWidget(parent, Qt::Window), services_(std::move(services)) {
    setObjectName(QStringLiteral("frmPuertosRed"));
    setWindowTitle(Q(kTitulo));

    auto* lblLista = new QLabel(QStringLiteral(
        "Carteles detrás de un servidor de puertos serie en la red, cada uno con su número de "
        "puerto COM:"));
    lblLista->setWordWrap(true);
    lstPuertosRed_ = Named(new QListWidget, "lstPuertosRed");
    lstPuertosRed_->setToolTip(QStringLiteral("Elija uno para cambiarlo, quitarlo o probarlo."));

    txtRedNumero_ = Named(new QLineEdit, "txtRedNumero");
    txtRedNumero_->setToolTip(QStringLiteral("Número del puerto COM, de 1 a 255."));
    txtRedNumero_->setMaximumWidth(60);
    cboRedTipo_ = Named(new QComboBox, "cboRedTipo");
    cboRedTipo_->addItems({QStringLiteral("tcp"), QStringLiteral("rfc2217")});
    cboRedTipo_->setToolTip(QStringLiteral(
        "tcp: los bytes pasan tal cual (ser2net en modo tcp, adaptadores serie-Ethernet en modo "
        "servidor TCP).\nrfc2217: Telnet con COM-PORT-CONTROL (ser2net en modo "
        "telnet(rfc2217))."));
    txtRedServidor_ = Named(new QLineEdit, "txtRedServidor");
    txtRedServidor_->setToolTip(QStringLiteral("Nombre o dirección del servidor."));
    txtRedPuerto_ = Named(new QLineEdit, "txtRedPuerto");
    txtRedPuerto_->setToolTip(QStringLiteral("Puerto TCP del servidor, de 1 a 65535."));
    txtRedPuerto_->setMaximumWidth(80);

    auto* numberRow = new QHBoxLayout;
    numberRow->addWidget(txtRedNumero_);
    auto* lblTipo = new QLabel(QStringLiteral("&Tipo:"));
    lblTipo->setBuddy(cboRedTipo_);
    numberRow->addWidget(lblTipo);
    numberRow->addWidget(cboRedTipo_);
    numberRow->addStretch();
    auto* serverRow = new QHBoxLayout;
    serverRow->addWidget(txtRedServidor_, 1);
    auto* lblPuerto = new QLabel(QStringLiteral("P&uerto:"));
    lblPuerto->setBuddy(txtRedPuerto_);
    serverRow->addWidget(lblPuerto);
    serverRow->addWidget(txtRedPuerto_);
    auto* fields = new QFormLayout;
    auto* lblNumero = new QLabel(QStringLiteral("Nú&mero COM:"));
    lblNumero->setBuddy(txtRedNumero_);
    fields->addRow(lblNumero, numberRow);
    auto* lblServidor = new QLabel(QStringLiteral("&Servidor:"));
    lblServidor->setBuddy(txtRedServidor_);
    fields->addRow(lblServidor, serverRow);

    cmdRedNuevo_ = Named(new QPushButton(QStringLiteral("&Nuevo")), "cmdRedNuevo");
    cmdRedNuevo_->setToolTip(QStringLiteral("Vacía los campos para un puerto nuevo."));
    cmdRedGuardar_ = Named(new QPushButton(QStringLiteral("&Guardar")), "cmdRedGuardar");
    cmdRedGuardar_->setToolTip(QStringLiteral("Guarda el puerto de los campos."));
    cmdRedQuitar_ = Named(new QPushButton(QStringLiteral("&Quitar")), "cmdRedQuitar");
    cmdRedQuitar_->setToolTip(QStringLiteral("Quita el puerto elegido en la lista."));
    cmdRedProbar_ = Named(new QPushButton(QStringLiteral("&Probar")), "cmdRedProbar");
    cmdRedProbar_->setToolTip(
        QStringLiteral("Pregunta al cartel del puerto elegido en la lista, tal como está guardado, "
                       "si contesta."));
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {cmdRedNuevo_, cmdRedGuardar_, cmdRedQuitar_, cmdRedProbar_})
        buttons->addWidget(b);
    buttons->addStretch();

    lblRedResultado_ = Named(new QLabel, "lblRedResultado");
    lblRedResultado_->setWordWrap(true);
    lblRedResultado_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* lblRedAyuda = Named(
        new QLabel(QStringLiteral("Cada puerto queda en el archivo puertos/COMn de la carpeta de "
                                  "trabajo. Tras un cambio, «Actualizar» en Opciones Avanzadas "
                                  "lo muestra en la lista de puertos.")),
        "lblRedAyuda");
    lblRedAyuda->setWordWrap(true);

    cmdCerrar_ = Named(new QPushButton(QStringLiteral("&Cerrar")), "cmdCerrar");
    cmdCerrar_->setToolTip(QStringLiteral("Cierra la ventana."));
    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch();
    closeRow->addWidget(cmdCerrar_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblLista);
    layout->addWidget(lstPuertosRed_, 1);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    layout->addWidget(lblRedResultado_);
    layout->addWidget(lblRedAyuda);
    layout->addLayout(closeRow);
    resize(480, 420);

    connect(lstPuertosRed_, &QListWidget::itemSelectionChanged, this,
            [this] { lstPuertosRed_Click(); });
    connect(cmdRedNuevo_, &QPushButton::clicked, this, [this] { cmdRedNuevo_Click(); });
    connect(cmdRedGuardar_, &QPushButton::clicked, this, [this] { cmdRedGuardar_Click(); });
    connect(cmdRedQuitar_, &QPushButton::clicked, this, [this] { cmdRedQuitar_Click(); });
    connect(cmdRedProbar_, &QPushButton::clicked, this, [this] { cmdRedProbar_Click(); });
    connect(cmdCerrar_, &QPushButton::clicked, this, [this] { cmdCerrar_Click(); });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] { cmdCerrar_Click(); });
    updateButtons();
}

frmPuertosRed::~frmPuertosRed() {
    // The probe's thread writes to this window until it ends.
    probeThread_.reset();
}

void frmPuertosRed::mostrar() {
    cmdRedNuevo_Click();
    fillList(0);
    show();
    raise();
    activateWindow();
}

void frmPuertosRed::fillList(int select) {
    const QSignalBlocker quiet(lstPuertosRed_);
    lstPuertosRed_->clear();
    for (const ListedNetworkPort& listed : ReadNetworkPorts(services_.workFolder)) {
        auto* item =
            new QListWidgetItem(Q(Com(listed.numero) + "   " + listed.address), lstPuertosRed_);
        item->setData(Qt::UserRole, listed.numero);
        item->setData(kAddressRole, Q(listed.address));
        if (!listed.entry) item->setToolTip(QStringLiteral("La dirección no es válida."));
        if (listed.numero == select) item->setSelected(true);
    }
    updateButtons();
}

int frmPuertosRed::selectedNumero() const {
    const auto selected = lstPuertosRed_->selectedItems();
    return selected.isEmpty() ? 0 : selected.front()->data(Qt::UserRole).toInt();
}

void frmPuertosRed::updateButtons() {
    const bool chosen = selectedNumero() != 0;
    cmdRedQuitar_->setEnabled(chosen);
    cmdRedProbar_->setEnabled(chosen && !probing_);
}

void frmPuertosRed::showEntry(const ListedNetworkPort& listed) {
    editing_ = listed.numero;
    txtRedNumero_->setText(QString::number(listed.numero));
    if (listed.entry) {
        cboRedTipo_->setCurrentText(Q(KindText(listed.entry->kind)));
        txtRedServidor_->setText(Q(listed.entry->host));
        txtRedPuerto_->setText(QString::number(listed.entry->port));
        return;
    }
    // A line that is not a well-formed address: what follows the scheme, to be put right.
    const std::string rest = listed.address.substr(listed.address.find("://") + 3);
    cboRedTipo_->setCurrentText(Q(listed.address.substr(0, listed.address.find(':'))));
    txtRedServidor_->setText(Q(rest));
    txtRedPuerto_->clear();
}

void frmPuertosRed::lstPuertosRed_Click() {
    const int numero = selectedNumero();
    updateButtons();
    if (numero == 0) return;
    for (const ListedNetworkPort& listed : ReadNetworkPorts(services_.workFolder)) {
        if (listed.numero == numero) showEntry(listed);
    }
}

void frmPuertosRed::cmdRedNuevo_Click() {
    lstPuertosRed_->clearSelection();
    editing_ = 0;
    txtRedNumero_->clear();
    cboRedTipo_->setCurrentIndex(0);
    txtRedServidor_->clear();
    txtRedPuerto_->clear();
    txtRedNumero_->setFocus(Qt::OtherFocusReason);
}

void frmPuertosRed::cmdRedGuardar_Click() {
    const CheckedNetworkPort checked = CheckNetworkPort(
        txtRedNumero_->text().toStdString(), cboRedTipo_->currentText().toStdString(),
        txtRedServidor_->text().toStdString(), txtRedPuerto_->text().toStdString());
    if (!checked.entry) {
        services_.dialogs.information(checked.problem);
        return;
    }
    const NetworkPort& entry = *checked.entry;
    if (entry.numero != editing_) {
        const PortTarget there = WhatPortLeadsTo(services_.workFolder, entry.numero);
        if (there.kind != PortTarget::Kind::None &&
            !services_.dialogs.question(ReplaceQuestion(entry.numero, there), kTitulo))
            return;
    }
    std::string reason;
    if (!SaveNetworkPort(services_.workFolder, entry, &reason)) {
        services_.dialogs.information("No se pudo guardar el puerto " + Com(entry.numero) + ": " +
                                      reason);
        return;
    }
    // A changed number moves the entry.
    if (editing_ != 0 && editing_ != entry.numero &&
        !RemoveNetworkPort(services_.workFolder, editing_, &reason)) {
        services_.dialogs.information("No se pudo quitar el puerto " + Com(editing_) + ": " +
                                      reason);
    }
    editing_ = entry.numero;
    fillList(entry.numero);
    lblRedResultado_->setText(
        Q("Se guardó el puerto " + Com(entry.numero) + ": " + AddressText(entry) + "."));
}

void frmPuertosRed::cmdRedQuitar_Click() {
    const int numero = selectedNumero();
    if (numero == 0) return;
    const std::string address =
        lstPuertosRed_->selectedItems().front()->data(kAddressRole).toString().toStdString();
    if (!services_.dialogs.question(
            "¿Desea quitar el puerto de red " + Com(numero) + " (" + address + ")?", kTitulo))
        return;
    std::string reason;
    if (!RemoveNetworkPort(services_.workFolder, numero, &reason)) {
        services_.dialogs.information("No se pudo quitar el puerto " + Com(numero) + ": " + reason);
        return;
    }
    cmdRedNuevo_Click();
    fillList(0);
    lblRedResultado_->setText(Q("Se quitó el puerto " + Com(numero) + "."));
}

void frmPuertosRed::cmdRedProbar_Click() {
    const int numero = selectedNumero();
    if (numero == 0 || probing_) return;
    probing_ = true;
    updateButtons();
    lblRedResultado_->setText(Q("Probando el puerto " + Com(numero) + "…"));
    // The exchange waits on the sign for seconds: on a thread of its own, never on this one.
    probeThread_.reset();
    probeThread_ = services_.threads();
    probeThread_->start([this, numero](platform::SerialLink& link, platform::EventPump& pump,
                                       platform::Ticker& ticker) {
        const SignProbe probe = ProbeSign(link, pump, ticker, numero);
        QMetaObject::invokeMethod(
            this, [this, numero, probe] { probeEnded(numero, probe); }, Qt::QueuedConnection);
    });
}

void frmPuertosRed::probeEnded(int numero, const SignProbe& probe) {
    probing_ = false;
    updateButtons();
    lblRedResultado_->setText(Q(Com(numero) + ": " + ProbeText(probe)));
}

void frmPuertosRed::cmdCerrar_Click() {
    hide();
    if (services_.returnToOptions) services_.returnToOptions();
}

void frmPuertosRed::closeEvent(QCloseEvent* event) {
    event->ignore();
    cmdCerrar_Click();
}

}  // namespace letrador
