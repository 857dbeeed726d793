#include "platform/qt_desktop.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace platform {

void QtDesktop::openFile(const std::string& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

}  // namespace platform
