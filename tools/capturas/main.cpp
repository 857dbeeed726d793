// Takes the README's pictures from the real program: starts the main window exactly as the
// program does, with the virtual sign in its window, opens an example message through the
// file commands, records it with "Grabación > Total" and saves each window as a PNG file.
// Needs a real X display (Xvfb); run through tools/capturas/capturas.sh.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "app/frm_letrador.h"
#include "app/program.h"
#include "app/virtual_sign_launcher.h"
#include "app/work_folder.h"
#include <QListWidget>
#include <QPushButton>
#include <memory>
#include <vector>

#include "files/file_commands.h"
#include "signlink/frm_graba.h"
#include "signlink/frm_varios.h"

namespace {

constexpr int kVirtualSignPort = 255;

void Settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool Save(const QPixmap& picture, const QString& path) {
    if (picture.isNull() || !picture.save(path, "PNG")) {
        std::fprintf(stderr, "No se pudo guardar %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s (%dx%d)\n", qPrintable(path), picture.width(), picture.height());
    return true;
}

// The X window of the virtual sign, another process's window, found by its title.
WId FindSignWindow() {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000) {
        QProcess info;
        info.start(QStringLiteral("xwininfo"), {QStringLiteral("-name"), QStringLiteral("Cartel virtual")});
        if (info.waitForFinished(3000) && info.exitCode() == 0) {
            const auto match = QRegularExpression(QStringLiteral("Window id: (0x[0-9a-fA-F]+)"))
                                   .match(QString::fromLocal8Bit(info.readAllStandardOutput()));
            if (match.hasMatch()) return static_cast<WId>(match.captured(1).toULongLong(nullptr, 16));
        }
        Settle(200);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Letrador de Mensajes"));
    if (argc != 3) {
        std::fprintf(stderr, "Uso: letrador-capturas CARPETA_DE_SALIDA MENSAJE.fmv\n");
        return 2;
    }
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::fprintf(stderr, "letrador-capturas necesita una pantalla X (Xvfb).\n");
        return 2;
    }
    const QString outDir = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const std::string messageName = argv[2];
    QDir().mkpath(outDir);

    std::string problem;
    const std::filesystem::path workFolder = letrador::FindWorkFolder(&problem);
    QDir::setCurrent(QString::fromStdString(workFolder.string()));

    letrador::VirtualSignLauncher sign;
    QString why;
    if (!sign.start(workFolder, kVirtualSignPort, {QStringLiteral("--ventana")}, &why)) {
        std::fprintf(stderr, "No se pudo iniciar el cartel virtual: %s\n", qPrintable(why));
        return 1;
    }

    // Two more signs, without windows, for "Varios carteles…".
    std::vector<std::unique_ptr<letrador::VirtualSignLauncher>> others;
    for (int port : {kVirtualSignPort - 2, kVirtualSignPort - 1}) {
        others.push_back(std::make_unique<letrador::VirtualSignLauncher>());
        if (!others.back()->start(workFolder, port, {}, &why)) {
            std::fprintf(stderr, "No se pudo iniciar el cartel virtual: %s\n", qPrintable(why));
            return 1;
        }
    }

    letrador::Program program(workFolder);
    letrador::frmLetrador& window = program.window();
    if (!window.Form_Load()) return 1;
    window.resize(window.sizeHint().expandedTo(QSize(980, 640)));
    window.show();
    Settle(500);

    // Open the example as the operator does: "Abrir", a click on its name, the action button.
    window.fileCommands().MenArchAbrir_Click();
    window.fileCommands().filArchivo_Click(messageName);
    window.fileCommands().cmdAccion_Click();
    Settle(800);
    bool ok = Save(window.grab(), outDir + QStringLiteral("/ventana-principal.png"));

    // "Grabación > Total" runs on the sign's own thread; the picture is taken once it has ended.
    window.menGrabTotal_Click();
    for (int k = 0; k < 600 && window.graba().recordingRunning(); ++k) Settle(50);
    Settle(800);
    ok = Save(window.graba().grab(), outDir + QStringLiteral("/grabacion.png")) && ok;
    window.graba().cmdCerrar_Click();

    // "Varios carteles…" into the three signs at once, once every one has ended.
    window.menGrabVarios_Click();
    letrador::frmVarios& varios = *window.varios();
    auto* list = varios.findChild<QListWidget*>(QStringLiteral("lstPuertos"));
    for (int k = 0; k < list->count(); ++k) {
        const int n = list->item(k)->data(Qt::UserRole).toString().toInt();
        list->item(k)->setCheckState(n >= kVirtualSignPort - 2 ? Qt::Checked : Qt::Unchecked);
    }
    varios.findChild<QPushButton*>(QStringLiteral("cmdGrabar"))->click();
    for (int k = 0; k < 600 && varios.recordingRunning(); ++k) Settle(50);
    Settle(800);
    ok = Save(varios.grab(), outDir + QStringLiteral("/varios-carteles.png")) && ok;
    varios.cmdCerrar_Click();

    // The sign's window belongs to the cartel-virtual process: grab it from the screen, with
    // this program's windows out of the way.
    window.hide();
    Settle(1500);
    const WId signWindow = FindSignWindow();
    if (signWindow == 0) {
        std::fprintf(stderr, "No se encontró la ventana \"Cartel virtual\" (¿falta xwininfo?).\n");
        return 1;
    }
    ok = Save(QGuiApplication::primaryScreen()->grabWindow(signWindow),
              outDir + QStringLiteral("/cartel-virtual.png")) && ok;
    return ok ? 0 : 1;
}
