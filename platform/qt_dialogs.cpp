#include "platform/qt_dialogs.h"

#include <QMessageBox>
#include <QPushButton>
#include <QString>

namespace platform {
namespace {

// Texts carry CR LF line breaks; a label shows a plain line feed.
QString Q(const std::string& s) { return QString::fromStdString(s).replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

}  // namespace

void QtDialogs::information(const std::string& text, const std::string& title) {
    QMessageBox box(QMessageBox::NoIcon, Q(title), Q(text), QMessageBox::Ok, parent_);
    box.exec();
}

bool QtDialogs::question(const std::string& text, const std::string& title) {
    QMessageBox box(QMessageBox::NoIcon, Q(title), Q(text), QMessageBox::NoButton, parent_);
    QPushButton* yes = box.addButton(QStringLiteral("&Sí"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    // Only an explicit No stops: closing the box otherwise counts as going on, as the question's
    // callers expect.
    return box.clickedButton() != no;
}

}  // namespace platform
