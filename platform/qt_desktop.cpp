#include "platform/qt_desktop.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace platform {

bool QtDesktop::openFile(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

}  // namespace platform
