#include "files/frm_archivo.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "files/file_commands.h"
#include "files/message_folder.h"

namespace letrador {
namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
std::string S(const QString& s) {
    return s.toStdString();
}

template <typename W>
W* Named(W* widget, const char* name) {
    widget->setObjectName(QString::fromUtf8(name));
    return widget;
}

}  // namespace

frmArchivo::frmArchivo(std::string folder, QWidget* parent)
    : QWidget(parent, Qt::Window), folder_(std::move(folder)) {
    setObjectName(QStringLiteral("frmArchivo"));
    setWindowTitle(Q(kCaptionAbrir));
    setWindowModality(Qt::NonModal);

    lblNombre_ = Named(new QLabel(Q(kLabelNombre)), "lblNombre");
    txtNombre_ = Named(new QLineEdit, "txtNombre");
    lblNombre_->setBuddy(txtNombre_);
    filArchivo_ = Named(new QListWidget, "filArchivo");
    filArchivo_->setSelectionMode(QAbstractItemView::SingleSelection);
    filArchivo_->setToolTip(QStringLiteral("Mensajes guardados en la carpeta de mensajes."));
    cmdAccion_ = Named(new QPushButton(Q(kAccionAbrir)), "cmdAccion");
    cmdCancelar_ = Named(new QPushButton(QStringLiteral("Cancelar")), "cmdCancelar");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdAccion_);
    buttons->addWidget(cmdCancelar_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblNombre_);
    layout->addWidget(txtNombre_);
    layout->addWidget(filArchivo_, 1);
    layout->addLayout(buttons);
    resize(320, 340);

    connect(cmdAccion_, &QPushButton::clicked, this, [this] {
        if (commands_) commands_->cmdAccion_Click();
    });
    connect(cmdCancelar_, &QPushButton::clicked, this, [this] {
        if (commands_) commands_->cmdCancelar_Click();
    });
    connect(txtNombre_, &QLineEdit::returnPressed, this, [this] {
        if (commands_) commands_->cmdAccion_Click();
    });
    connect(filArchivo_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (commands_ && item) commands_->filArchivo_Click(S(item->text()));
    });
    connect(filArchivo_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        if (commands_ && item) commands_->filArchivo_DblClick(S(item->text()));
    });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] {
        if (commands_) commands_->cmdCancelar_Click();
    });
}

std::string frmArchivo::caption() const {
    return S(windowTitle());
}
void frmArchivo::setCaption(const std::string& text) {
    setWindowTitle(Q(text));
}
std::string frmArchivo::actionCaption() const {
    return S(cmdAccion_->text());
}
void frmArchivo::setActionCaption(const std::string& text) {
    cmdAccion_->setText(Q(text));
}
std::string frmArchivo::nameText() const {
    return S(txtNombre_->text());
}
void frmArchivo::setNameText(const std::string& text) {
    txtNombre_->setText(Q(text));
}

void frmArchivo::refreshList() {
    filArchivo_->clear();
    for (const std::string& name : ListMessageFiles(folder_)) filArchivo_->addItem(Q(name));
}

std::vector<std::string> frmArchivo::entries() const {
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(filArchivo_->count()));
    for (int i = 0; i < filArchivo_->count(); ++i) out.push_back(S(filArchivo_->item(i)->text()));
    return out;
}

void frmArchivo::showChooser() {
    show();
    raise();
    activateWindow();
}

void frmArchivo::hideChooser() {
    hide();
}
bool frmArchivo::isShown() const {
    return isVisible();
}
void frmArchivo::focusName() {
    txtNombre_->setFocus(Qt::OtherFocusReason);
}

void frmArchivo::closeEvent(QCloseEvent* event) {
    // The window stays alive for the next use (closing only hides it); Cancel gives the main
    // window back.
    if (commands_) commands_->cmdCancelar_Click();
    event->accept();
}

}  // namespace letrador
