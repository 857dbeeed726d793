#include "signlink/frm_graba.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <type_traits>

#include "signlink/log_box.h"

namespace letrador {

frmGraba::frmGraba(RecordingEngine& engine, MainWindowHooks hooks, QWidget* parent)
    : QWidget(parent, Qt::Window), engine_(engine), hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("frmGraba"));
    setWindowTitle(QStringLiteral("Grabación"));

    frmEstado_ = new QGroupBox(QStringLiteral("Estado de la grabación"));
    frmEstado_->setObjectName(QStringLiteral("frmEstado"));
    txtLog_ = new QPlainTextEdit;
    txtLog_->setObjectName(QStringLiteral("txtLog"));
    SetUpLogBox(*txtLog_);
    lblProgreso_ = new QLabel(QStringLiteral("Grabando"));
    lblProgreso_->setObjectName(QStringLiteral("lblProgreso"));
    auto* estado = new QVBoxLayout(frmEstado_);
    estado->addWidget(txtLog_, 1);
    estado->addWidget(lblProgreso_);

    cmdDetener_ = new QPushButton(QStringLiteral("&Detener"));
    cmdDetener_->setObjectName(QStringLiteral("cmdDetener"));
    cmdDetener_->setToolTip(
        QStringLiteral("Detiene la grabación: el cartel queda con un mensaje incompleto."));
    cmdDetener_->setVisible(false);
    cmdCerrar_ = new QPushButton(QStringLiteral("Cerrar"));
    cmdCerrar_->setObjectName(QStringLiteral("cmdCerrar"));
    cmdCerrar_->setToolTip(QStringLiteral("Cierra la ventana."));
    cmdCerrar_->setVisible(false);
    // Enter presses it once it shows, as in a dialog.
    cmdCerrar_->setAutoDefault(true);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(cmdDetener_);
    row->addWidget(cmdCerrar_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frmEstado_, 1);
    layout->addLayout(row);
    resize(460, 320);

    connect(cmdCerrar_, &QPushButton::clicked, this, [this] { cmdCerrar_Click(); });
    connect(cmdDetener_, &QPushButton::clicked, this, [this] { cmdDetener_Click(); });
    // Esc and Enter are the Close button, once it shows.
    for (auto key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        connect(shortcut, &QShortcut::activated, this, [this] {
            if (cmdCerrar_->isVisible()) cmdCerrar_Click();
        });
    }
}

frmGraba::~frmGraba() {
    // The recording's events are addressed to this window: it ends before the window does.
    if (run_) {
        run_->stop();
        run_->wait();
    }
}

void frmGraba::grabar(WhatToRecord what, const std::string& port) {
    prepare();
    verdict_.reset();
    const std::uint64_t job = ++job_;
    // Each event is handed to this window's thread; one that comes after the window has gone
    // is dropped with it.
    run_ = engine_.prepare({std::move(what), {port}}, [this, job](const RecordingEvent& e) {
        QMetaObject::invokeMethod(this, [this, job, e] { onEvent(job, e); }, Qt::AutoConnection);
    });
    // Held before it starts: a job may end, its events heard on this very thread, before
    // start() returns.
    engine_.start(std::shared_ptr<RecordingRun>(run_));
}

void frmGraba::onEvent(std::uint64_t job, const RecordingEvent& e) {
    if (job != job_) return;
    std::visit(
        [this](const auto& ev) {
            using T = std::decay_t<decltype(ev)>;
            if constexpr (std::is_same_v<T, event::LogLine>) {
                AgregarLog(ev.text, ev.newLine);
            } else if constexpr (std::is_same_v<T, event::Progress>) {
                setProgress(ev.label);
            } else if constexpr (std::is_same_v<T, event::SignEnded>) {
                verdict_ = ev.verdict;
            } else {
                run_.reset();
                showClose();
            }
        },
        e);
}

void frmGraba::prepare() {
    running_ = true;
    if (hooks_.setMainWindowEnabled) hooks_.setMainWindowEnabled(false);
    show();
    raise();
    cmdCerrar_->setVisible(false);
    cmdDetener_->setVisible(true);
    cmdDetener_->setEnabled(true);
    log_.clear();
    txtLog_->clear();
}

void frmGraba::AgregarLog(std::string_view texto, bool nuevaLinea) {
    log_.AgregarLog(texto, nuevaLinea);
    AppendToLogBox(*txtLog_, texto, nuevaLinea);
}

void frmGraba::setProgress(std::string_view texto) {
    lblProgreso_->setText(QString::fromUtf8(texto.data(), static_cast<qsizetype>(texto.size())));
}

void frmGraba::showClose() {
    running_ = false;
    cmdDetener_->setVisible(false);
    cmdCerrar_->setVisible(true);
    cmdCerrar_->setFocus(Qt::OtherFocusReason);
}

void frmGraba::cmdDetener_Click() {
    if (!run_) return;
    run_->stop();
    // Pressed once: the stop is on its way.
    cmdDetener_->setEnabled(false);
}

void frmGraba::cmdCerrar_Click() {
    cmdCerrar_->setVisible(false);
    lblProgreso_->clear();
    hide();
    if (hooks_.returnToMainWindow) hooks_.returnToMainWindow();
}

void frmGraba::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (!running_) cmdCerrar_Click();
}

}  // namespace letrador
