#include "signlink/frm_graba.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTextCursor>
#include <QVBoxLayout>

namespace letrador {

frmGraba::frmGraba(MainWindowHooks hooks, QWidget* parent)
    : QWidget(parent, Qt::Window), hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("frmGraba"));
    setWindowTitle(QStringLiteral("Grabación"));

    frmEstado_ = new QGroupBox(QStringLiteral("Estado de la grabación"));
    frmEstado_->setObjectName(QStringLiteral("frmEstado"));
    txtLog_ = new QPlainTextEdit;
    txtLog_->setObjectName(QStringLiteral("txtLog"));
    txtLog_->setReadOnly(true);
    // A long line wraps, even inside a word, so that each line's start stays in sight.
    txtLog_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    txtLog_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    txtLog_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtLog_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    lblProgreso_ = new QLabel(QStringLiteral("Grabando"));
    lblProgreso_->setObjectName(QStringLiteral("lblProgreso"));
    auto* estado = new QVBoxLayout(frmEstado_);
    estado->addWidget(txtLog_, 1);
    estado->addWidget(lblProgreso_);

    cmdCerrar_ = new QPushButton(QStringLiteral("Cerrar"));
    cmdCerrar_->setObjectName(QStringLiteral("cmdCerrar"));
    cmdCerrar_->setToolTip(QStringLiteral("Cierra la ventana."));
    cmdCerrar_->setVisible(false);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(cmdCerrar_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frmEstado_, 1);
    layout->addLayout(row);
    resize(460, 320);

    connect(cmdCerrar_, &QPushButton::clicked, this, [this] { cmdCerrar_Click(); });
    // Esc is the Close button, once it shows.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] {
        if (cmdCerrar_->isVisible()) cmdCerrar_Click();
    });
}

void frmGraba::prepare() {
    running_ = true;
    if (hooks_.setMainWindowEnabled) hooks_.setMainWindowEnabled(false);
    show();
    raise();
    cmdCerrar_->setVisible(false);
    log_.clear();
    txtLog_->clear();
}

void frmGraba::AgregarLog(std::string_view texto, bool nuevaLinea) {
    log_.AgregarLog(texto, nuevaLinea);
    // The box shows the same lines; appending keeps a long log cheap.
    QTextCursor cursor = txtLog_->textCursor();
    cursor.movePosition(QTextCursor::End);
    if (nuevaLinea) cursor.insertBlock();
    cursor.insertText(QString::fromUtf8(texto.data(), static_cast<qsizetype>(texto.size())));
    txtLog_->setTextCursor(cursor);
    txtLog_->ensureCursorVisible();
}

void frmGraba::setProgress(std::string_view texto) {
    lblProgreso_->setText(QString::fromUtf8(texto.data(), static_cast<qsizetype>(texto.size())));
}

void frmGraba::showClose() {
    running_ = false;
    cmdCerrar_->setVisible(true);
    cmdCerrar_->setFocus(Qt::OtherFocusReason);
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
