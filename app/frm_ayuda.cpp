#include "app/frm_ayuda.h"

#include <QKeySequence>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace letrador {

frmAyuda::frmAyuda(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmAyuda"));
    setWindowTitle(QStringLiteral("Ayuda general"));
    txtAyuda_ = new QTextBrowser;
    txtAyuda_->setObjectName(QStringLiteral("txtAyuda"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(txtAyuda_);
    resize(640, 520);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
}

void frmAyuda::showPage(const std::string& path) {
    txtAyuda_->setSource(QUrl::fromLocalFile(QString::fromStdString(path)));
    show();
    raise();
    activateWindow();
}

}  // namespace letrador
