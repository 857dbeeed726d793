#include "signlink/frm_varios.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>
#include <map>
#include <type_traits>

#include "signlink/log_box.h"
#include "signlink/recording_commands.h"

namespace letrador {

namespace {

QString Q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

constexpr int kPortRole = Qt::UserRole;
constexpr int kCaptionRole = Qt::UserRole + 1;

}  // namespace

frmVarios::frmVarios(Services services, QWidget* parent)
    : QWidget(parent, Qt::Window), services_(std::move(services)) {
    setObjectName(QStringLiteral("frmVarios"));
    setWindowTitle(QStringLiteral("Varios carteles"));

    fraPuertos_ = new QGroupBox(QStringLiteral("Carteles"));
    fraPuertos_->setObjectName(QStringLiteral("fraPuertos"));
    lstPuertos_ = new QListWidget;
    lstPuertos_->setObjectName(QStringLiteral("lstPuertos"));
    lstPuertos_->setToolTip(QStringLiteral("Marque los carteles que se graban."));
    // The room goes to the signs' logs; the list scrolls.
    lstPuertos_->setMaximumHeight(130);
    (new QVBoxLayout(fraPuertos_))->addWidget(lstPuertos_);

    fraQueGrabar_ = new QGroupBox(QStringLiteral("Grabar"));
    fraQueGrabar_->setObjectName(QStringLiteral("fraQueGrabar"));
    optGrabTotal_ = new QRadioButton(QStringLiteral("&Mensaje actual (Total)"));
    optGrabTotal_->setObjectName(QStringLiteral("optGrabTotal"));
    optGrabTotal_->setChecked(true);
    optGrabTurnero_ = new QRadioButton(QStringLiteral("T&urnero"));
    optGrabTurnero_->setObjectName(QStringLiteral("optGrabTurnero"));
    cboTurnEstilo_ = new QComboBox;
    cboTurnEstilo_->setObjectName(QStringLiteral("cboTurnEstilo"));
    cboTurnEstilo_->addItems({QStringLiteral("Turnero 1"), QStringLiteral("Turnero 2"),
                              QStringLiteral("Turnero 3")});
    auto* que = new QVBoxLayout(fraQueGrabar_);
    que->addWidget(optGrabTotal_);
    auto* turnero = new QHBoxLayout;
    turnero->addWidget(optGrabTurnero_);
    turnero->addWidget(cboTurnEstilo_);
    turnero->addStretch();
    que->addLayout(turnero);
    que->addStretch();

    fraCarteles_ = new QGroupBox(QStringLiteral("Estado de la grabación"));
    fraCarteles_->setObjectName(QStringLiteral("fraCarteles"));
    auto* inner = new QWidget;
    carteles_ = new QGridLayout(inner);
    carteles_->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("scrCarteles"));
    scroll->setWidgetResizable(true);
    scroll->setWidget(inner);
    lblResumen_ = new QLabel;
    lblResumen_->setObjectName(QStringLiteral("lblResumen"));
    auto* estado = new QVBoxLayout(fraCarteles_);
    estado->addWidget(scroll, 1);
    estado->addWidget(lblResumen_);

    cmdGrabar_ = new QPushButton(QStringLiteral("&Grabar"));
    cmdGrabar_->setObjectName(QStringLiteral("cmdGrabar"));
    cmdGrabar_->setToolTip(QStringLiteral("Graba en todos los carteles marcados a la vez."));
    cmdReintentar_ = new QPushButton(QStringLiteral("&Reintentar los que fallaron"));
    cmdReintentar_->setObjectName(QStringLiteral("cmdReintentar"));
    cmdReintentar_->setToolTip(
        QStringLiteral("Graba otra vez, lo mismo, solo en los carteles que no terminaron sin errores."));
    cmdReintentar_->setEnabled(false);
    cmdDetener_ = new QPushButton(QStringLiteral("&Detener"));
    cmdDetener_->setObjectName(QStringLiteral("cmdDetener"));
    cmdDetener_->setToolTip(QStringLiteral("Detiene la grabación en todos los carteles."));
    cmdDetener_->setEnabled(false);
    cmdCerrar_ = new QPushButton(QStringLiteral("Cerrar"));
    cmdCerrar_->setObjectName(QStringLiteral("cmdCerrar"));
    cmdCerrar_->setToolTip(QStringLiteral("Cierra la ventana."));

    auto* top = new QHBoxLayout;
    top->addWidget(fraPuertos_, 1);
    top->addWidget(fraQueGrabar_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdGrabar_);
    buttons->addWidget(cmdReintentar_);
    buttons->addWidget(cmdDetener_);
    buttons->addWidget(cmdCerrar_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(fraCarteles_, 1);
    layout->addLayout(buttons);
    resize(760, 620);

    connect(cmdGrabar_, &QPushButton::clicked, this, [this] { cmdGrabar_Click(); });
    connect(cmdReintentar_, &QPushButton::clicked, this, [this] { cmdReintentar_Click(); });
    connect(cmdDetener_, &QPushButton::clicked, this, [this] { cmdDetener_Click(); });
    connect(cmdCerrar_, &QPushButton::clicked, this, [this] { cmdCerrar_Click(); });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] { cmdCerrar_Click(); });
}

frmVarios::~frmVarios() {
    // The signs' events are addressed to this window: they end before it does.
    if (run_) {
        run_->stop();
        run_->wait();
    }
}

void frmVarios::mostrar(const std::vector<Puerto>& puertos) {
    lstPuertos_->clear();
    for (const Puerto& p : puertos) {
        const std::string where = p.dispositivo.empty() ? "sin dispositivo" : p.dispositivo;
        const QString caption = Q("COM " + p.texto + " (" + where + ")");
        auto* item = new QListWidgetItem(caption, lstPuertos_);
        item->setData(kPortRole, Q(p.texto));
        item->setData(kCaptionRole, caption);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    // What "&Total" could not record is not offered here either.
    const bool total = services_.editor.isEnabled(EditorControl::menGrabTotal);
    optGrabTotal_->setEnabled(total);
    (total ? optGrabTotal_ : optGrabTurnero_)->setChecked(true);
    // A new visit starts with no signs and no logs of the last one.
    signs_.clear();
    logs_.clear();
    verdicts_.clear();
    lastWhat_.reset();
    buildSignBoxes();
    lblResumen_->clear();
    setChoosing(true);
    if (services_.setMainWindowEnabled) services_.setMainWindowEnabled(false);
    show();
    raise();
    activateWindow();
}

void frmVarios::setChoosing(bool enabled) {
    fraPuertos_->setEnabled(enabled);
    fraQueGrabar_->setEnabled(enabled);
    cmdGrabar_->setEnabled(enabled);
    cmdCerrar_->setEnabled(enabled);
    cmdDetener_->setEnabled(!enabled);
    bool failed = false;
    for (const auto& v : verdicts_) failed = failed || (v && *v != Verdict::Clean);
    cmdReintentar_->setEnabled(enabled && lastWhat_ && failed);
}

QListWidgetItem* frmVarios::itemOf(const std::string& port) const {
    for (int k = 0; k < lstPuertos_->count(); ++k) {
        QListWidgetItem* item = lstPuertos_->item(k);
        if (item->data(kPortRole).toString() == Q(port)) return item;
    }
    return nullptr;
}

void frmVarios::cmdGrabar_Click() {
    if (running_) return;
    std::vector<std::string> marcados;
    for (int k = 0; k < lstPuertos_->count(); ++k) {
        const QListWidgetItem* item = lstPuertos_->item(k);
        if (item->checkState() == Qt::Checked)
            marcados.push_back(item->data(kPortRole).toString().toStdString());
    }
    if (marcados.empty()) {
        services_.dialogs.information("Marque al menos un cartel para grabar.");
        return;
    }
    if (optGrabTotal_->isChecked()) {
        auto message = PrepararMensajeTotal(services_.commands, services_.store, services_.editor,
                                            services_.dialogs,
                                            services_.joined && services_.joined());
        if (!message) return;
        record(std::move(*message), std::move(marcados));
    } else {
        if (!ConfirmarTurnero(services_.dialogs)) return;
        record(TurnDisplay{cboTurnEstilo_->currentIndex() + 1, std::nullopt}, std::move(marcados));
    }
}

void frmVarios::cmdReintentar_Click() {
    if (running_ || !lastWhat_) return;
    std::vector<std::string> failed;
    for (std::size_t k = 0; k < signs_.size(); ++k)
        if (verdicts_[k] != Verdict::Clean) failed.push_back(signs_[k]);
    if (failed.empty()) return;
    record(*lastWhat_, std::move(failed));
}

void frmVarios::record(WhatToRecord what, std::vector<std::string> ports) {
    lastWhat_ = what;
    signs_ = std::move(ports);
    logs_.assign(signs_.size(), RecordingLog());
    verdicts_.assign(signs_.size(), std::nullopt);
    for (const std::string& port : signs_) {
        if (QListWidgetItem* item = itemOf(port)) {
            item->setText(item->data(kCaptionRole).toString());
            item->setForeground(palette().text());
        }
    }
    buildSignBoxes();
    lblResumen_->clear();
    const std::uint64_t job = ++job_;
    running_ = true;
    setChoosing(false);
    run_ = services_.engine.prepare({std::move(what), signs_}, [this, job](const RecordingEvent& e) {
        QMetaObject::invokeMethod(this, [this, job, e] { onEvent(job, e); }, Qt::AutoConnection);
    });
    // Held before it starts: a job may end, its events heard on this very thread, before
    // start() returns.
    services_.engine.start(std::shared_ptr<RecordingRun>(run_));
}

void frmVarios::buildSignBoxes() {
    while (QLayoutItem* item = carteles_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    boxes_.clear();
    // Every sign's log in sight at once: side by side, two or three to a row.
    const std::size_t n = signs_.size();
    const std::size_t columns = n <= 1 ? 1 : (n <= 4 ? 2 : 3);
    for (std::size_t k = 0; k < n; ++k) {
        const QString name = Q("COM" + signs_[k]);
        auto* frame = new QGroupBox(Q("COM " + signs_[k]));
        frame->setObjectName(QStringLiteral("fraCartel") + name);
        auto* log = new QPlainTextEdit;
        log->setObjectName(QStringLiteral("txtLog") + name);
        SetUpLogBox(*log);
        auto* progress = new QLabel(QStringLiteral("Grabando"));
        progress->setObjectName(QStringLiteral("lblProgreso") + name);
        // A long label is cut rather than widening the sign's box.
        progress->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        auto* verdict = new QLabel;
        verdict->setObjectName(QStringLiteral("lblVeredicto") + name);
        auto* v = new QVBoxLayout(frame);
        v->addWidget(log, 1);
        // The label and the verdict share a row, so that every sign's log stays in sight.
        auto* row = new QHBoxLayout;
        row->addWidget(progress, 1);
        row->addWidget(verdict);
        v->addLayout(row);
        log->setMinimumHeight(80);
        carteles_->addWidget(frame, static_cast<int>(k / columns), static_cast<int>(k % columns));
        boxes_.push_back({log, progress, verdict});
    }
}

void frmVarios::onEvent(std::uint64_t job, const RecordingEvent& e) {
    if (job != job_) return;
    std::visit(
        [this](const auto& ev) {
            using T = std::decay_t<decltype(ev)>;
            if constexpr (std::is_same_v<T, event::LogLine>) {
                if (ev.sign >= boxes_.size()) return;
                logs_[ev.sign].AgregarLog(ev.text, ev.newLine);
                AppendToLogBox(*boxes_[ev.sign].log, ev.text, ev.newLine);
            } else if constexpr (std::is_same_v<T, event::Progress>) {
                if (ev.sign < boxes_.size()) boxes_[ev.sign].progress->setText(Q(ev.label));
            } else if constexpr (std::is_same_v<T, event::SignEnded>) {
                if (ev.sign >= boxes_.size()) return;
                verdicts_[ev.sign] = ev.verdict;
                const bool clean = ev.verdict == Verdict::Clean;
                const QString mark = QString::fromUtf8(clean ? "✔ " : "✘ ") + Q(VerdictWords(ev.verdict));
                boxes_[ev.sign].verdict->setText(mark);
                if (QListWidgetItem* item = itemOf(signs_[ev.sign])) {
                    item->setText(item->data(kCaptionRole).toString() + " " + mark);
                    item->setForeground(clean ? QColor(0, 110, 0) : QColor(190, 0, 0));
                }
            } else {
                running_ = false;
                run_.reset();
                showSummary();
                setChoosing(true);
                cmdCerrar_->setFocus(Qt::OtherFocusReason);
                if (closeWhenEnded_) {
                    closeWhenEnded_ = false;
                    cmdCerrar_Click();
                }
            }
        },
        e);
}

void frmVarios::showSummary() {
    // "Resumen: 2 sin errores, 1 no se pudo abrir el puerto." in the order of the verdicts.
    std::map<Verdict, int> counts;
    for (const auto& v : verdicts_) ++counts[v.value_or(Verdict::Errors)];
    std::string text = "Resumen: ";
    bool first = true;
    for (const auto& [verdict, count] : counts) {
        if (!first) text += ", ";
        first = false;
        text += std::to_string(count) + " " + std::string(VerdictWords(verdict));
    }
    lblResumen_->setText(Q(text + "."));
}

void frmVarios::cmdDetener_Click() {
    if (run_) run_->stop();
    cmdDetener_->setEnabled(false);
}

bool frmVarios::askToStop() {
    if (!services_.dialogs.question(
            "Hay carteles que se están grabando.\r\nDesea detener la grabación?",
            "Varios carteles")) {
        return false;
    }
    cmdDetener_Click();
    return true;
}

void frmVarios::cmdCerrar_Click() {
    if (running_) {
        // The window goes once every sign has stopped.
        if (askToStop()) closeWhenEnded_ = true;
        return;
    }
    hide();
    if (services_.returnToMainWindow) services_.returnToMainWindow();
}

void frmVarios::closeEvent(QCloseEvent* event) {
    event->ignore();
    cmdCerrar_Click();
}

}  // namespace letrador
