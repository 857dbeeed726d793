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
#include <QTextCursor>
#include <QVBoxLayout>

#include "signlink/recording_commands.h"

namespace letrador {

namespace {

QString Q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

// Each sign's thread hands its reports to the window's thread; a report that arrives after the
// window is gone is dropped with it.
class frmVarios::QueuedReport : public SignReport {
  public:
    explicit QueuedReport(frmVarios& window) : window_(window) {}

    void AgregarLog(std::size_t sign, std::string_view texto, bool nuevaLinea) override {
        QMetaObject::invokeMethod(
            &window_, [w = &window_, sign, t = std::string(texto), nuevaLinea] {
                w->onLog(sign, t, nuevaLinea);
            },
            Qt::QueuedConnection);
    }
    void setProgress(std::size_t sign, std::string_view texto) override {
        QMetaObject::invokeMethod(
            &window_, [w = &window_, sign, t = std::string(texto)] { w->onProgress(sign, t); },
            Qt::QueuedConnection);
    }
    void finished(std::size_t sign, const std::string& veredicto) override {
        QMetaObject::invokeMethod(
            &window_, [w = &window_, sign, veredicto] { w->onFinished(sign, veredicto); },
            Qt::QueuedConnection);
    }

  private:
    frmVarios& window_;
};

frmVarios::frmVarios(Services services, QWidget* parent)
    : QWidget(parent, Qt::Window),
      services_(std::move(services)),
      report_(std::make_unique<QueuedReport>(*this)) {
    setObjectName(QStringLiteral("frmVarios"));
    setWindowTitle(QStringLiteral("Varios carteles"));

    fraPuertos_ = new QGroupBox(QStringLiteral("Carteles"));
    fraPuertos_->setObjectName(QStringLiteral("fraPuertos"));
    lstPuertos_ = new QListWidget;
    lstPuertos_->setObjectName(QStringLiteral("lstPuertos"));
    lstPuertos_->setToolTip(QStringLiteral("Marque los carteles que se graban."));
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
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setWidget(inner);
    (new QVBoxLayout(fraCarteles_))->addWidget(scroll);

    cmdGrabar_ = new QPushButton(QStringLiteral("&Grabar"));
    cmdGrabar_->setObjectName(QStringLiteral("cmdGrabar"));
    cmdGrabar_->setToolTip(QStringLiteral("Graba en todos los carteles marcados a la vez."));
    cmdCerrar_ = new QPushButton(QStringLiteral("Cerrar"));
    cmdCerrar_->setObjectName(QStringLiteral("cmdCerrar"));
    cmdCerrar_->setToolTip(QStringLiteral("Cierra la ventana."));

    auto* top = new QHBoxLayout;
    top->addWidget(fraPuertos_, 1);
    top->addWidget(fraQueGrabar_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdGrabar_);
    buttons->addWidget(cmdCerrar_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(fraCarteles_, 1);
    layout->addLayout(buttons);
    resize(720, 560);

    connect(cmdGrabar_, &QPushButton::clicked, this, [this] { cmdGrabar_Click(); });
    connect(cmdCerrar_, &QPushButton::clicked, this, [this] { cmdCerrar_Click(); });
}

frmVarios::~frmVarios() {
    // The signs' threads end before the report they write to.
    recording_.reset();
}

void frmVarios::mostrar(const std::vector<Puerto>& puertos) {
    lstPuertos_->clear();
    for (const Puerto& p : puertos) {
        const std::string where = p.dispositivo.empty() ? "sin dispositivo" : p.dispositivo;
        auto* item = new QListWidgetItem(Q("COM " + p.texto + " (" + where + ")"), lstPuertos_);
        item->setData(Qt::UserRole, Q(p.texto));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
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
}

void frmVarios::cmdGrabar_Click() {
    if (running_) return;
    std::vector<std::string> marcados;
    for (int k = 0; k < lstPuertos_->count(); ++k) {
        const QListWidgetItem* item = lstPuertos_->item(k);
        if (item->checkState() == Qt::Checked)
            marcados.push_back(item->data(Qt::UserRole).toString().toStdString());
    }
    if (marcados.empty()) {
        services_.dialogs.information("Marque al menos un cartel para grabar.");
        return;
    }
    SignJob job;
    if (optGrabTotal_->isChecked()) {
        auto parrafos = PrepararMensajeTotal(services_.commands, services_.store,
                                             services_.editor, services_.dialogs);
        if (!parrafos) return;
        job = WholeMessageJob(std::move(*parrafos), services_.joined && services_.joined(),
                              services_.store.SpaceWidth);
    } else {
        if (!ConfirmarTurnero(services_.dialogs)) return;
        job = TurneroJob(cboTurnEstilo_->currentIndex() + 1);
    }

    recording_.reset();
    signs_ = std::move(marcados);
    logs_.assign(signs_.size(), RecordingLog());
    verdicts_.assign(signs_.size(), std::string());
    ended_ = 0;
    buildSignBoxes();
    running_ = true;
    setChoosing(false);
    recording_ = std::make_unique<MultiRecording>(services_.threads, *report_);
    recording_->start(signs_, job);
}

void frmVarios::buildSignBoxes() {
    while (QLayoutItem* item = carteles_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    boxes_.clear();
    for (std::size_t k = 0; k < signs_.size(); ++k) {
        const QString name = Q("COM" + signs_[k]);
        auto* frame = new QGroupBox(Q("COM " + signs_[k]));
        frame->setObjectName(QStringLiteral("fraCartel") + name);
        auto* log = new QPlainTextEdit;
        log->setObjectName(QStringLiteral("txtLog") + name);
        log->setReadOnly(true);
        log->setLineWrapMode(QPlainTextEdit::NoWrap);
        auto* progress = new QLabel(QStringLiteral("Grabando"));
        progress->setObjectName(QStringLiteral("lblProgreso") + name);
        auto* verdict = new QLabel;
        verdict->setObjectName(QStringLiteral("lblVeredicto") + name);
        auto* v = new QVBoxLayout(frame);
        v->addWidget(log, 1);
        v->addWidget(progress);
        v->addWidget(verdict);
        frame->setMinimumHeight(200);
        carteles_->addWidget(frame, static_cast<int>(k / 2), static_cast<int>(k % 2));
        boxes_.push_back({log, progress, verdict});
    }
}

void frmVarios::onLog(std::size_t sign, const std::string& texto, bool nuevaLinea) {
    if (sign >= boxes_.size()) return;
    logs_[sign].AgregarLog(texto, nuevaLinea);
    QPlainTextEdit* box = boxes_[sign].log;
    QTextCursor cursor = box->textCursor();
    cursor.movePosition(QTextCursor::End);
    if (nuevaLinea) cursor.insertBlock();
    cursor.insertText(Q(texto));
    box->setTextCursor(cursor);
    box->ensureCursorVisible();
}

void frmVarios::onProgress(std::size_t sign, const std::string& texto) {
    if (sign < boxes_.size()) boxes_[sign].progress->setText(Q(texto));
}

void frmVarios::onFinished(std::size_t sign, const std::string& veredicto) {
    if (sign >= boxes_.size()) return;
    verdicts_[sign] = veredicto;
    boxes_[sign].verdict->setText(Q(veredicto));
    if (++ended_ < signs_.size()) return;
    // Every thread has reported its end; they are joined here, which takes no time.
    recording_->wait();
    running_ = false;
    setChoosing(true);
    cmdCerrar_->setFocus(Qt::OtherFocusReason);
}

void frmVarios::cmdCerrar_Click() {
    if (running_) return;
    hide();
    if (services_.returnToMainWindow) services_.returnToMainWindow();
}

void frmVarios::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (!running_) cmdCerrar_Click();
}

}  // namespace letrador
