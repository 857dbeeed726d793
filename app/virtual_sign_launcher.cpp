#include "app/virtual_sign_launcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace letrador {
namespace {

QString FindVirtualSign() {
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& candidate :
         {dir + QStringLiteral("/cartel-virtual"),
          dir + QStringLiteral("/../tools/cartel-virtual/cartel-virtual")}) {
        QFileInfo info(candidate);
        if (info.isExecutable()) return info.canonicalFilePath();
    }
    return QStandardPaths::findExecutable(QStringLiteral("cartel-virtual"));
}

}  // namespace

VirtualSignLauncher::~VirtualSignLauncher() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(2000)) process_.kill();
        process_.waitForFinished(1000);
    }
}

bool VirtualSignLauncher::start(const std::filesystem::path& workFolder, int port,
                                const QStringList& extraArgs, QString* problem) {
    QString program = FindVirtualSign();
    if (program.isEmpty()) {
        if (problem) *problem = QStringLiteral("no se encontró el programa cartel-virtual");
        return false;
    }
    std::filesystem::path link = workFolder / "puertos" / ("COM" + std::to_string(port));
    QDir().mkpath(QString::fromStdString(link.parent_path().string()));
    QStringList args{QStringLiteral("--enlace"), QString::fromStdString(link.string())};
    args << extraArgs;
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(program, args);
    if (!process_.waitForStarted(5000)) {
        if (problem) *problem = process_.errorString();
        return false;
    }
    // Its first line is the device path; by then the link is made.
    while (!process_.canReadLine()) {
        if (!process_.waitForReadyRead(5000)) {
            if (problem) *problem = QStringLiteral("el cartel virtual no respondió");
            return false;
        }
    }
    process_.readLine();
    return true;
}

}  // namespace letrador
