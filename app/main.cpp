// Letrador de Mensajes: composes the messages of an LED sign and records them over a serial port.
#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "app/program.h"
#include "app/virtual_sign_launcher.h"
#include "app/work_folder.h"
#include "letrador/version.h"

namespace {

constexpr int kVirtualSignPort = 255;
constexpr int kExitSinPantalla = 1;

void PrintHelp() {
    std::puts(
        "Uso: letrador [--cartel-virtual]\n"
        "     letrador --help | --version\n"
        "\n"
        "  --cartel-virtual   inicia un cartel simulado y lo ofrece como puerto 255,\n"
        "                     para probar el programa sin un cartel conectado.\n"
        "  --ayuda, --help    muestra esta ayuda.\n"
        "  --version          muestra la versión.\n"
        "\n"
        "La carpeta de trabajo es la actual cuando contiene tipografias/; si no,\n"
        "$XDG_DATA_HOME/letrador (normalmente ~/.local/share/letrador), que se crea y se\n"
        "llena con los datos instalados la primera vez.\n"
        "\n"
        "Los puertos de red, un cartel detrás de un servidor de puertos serie\n"
        "(tcp://HOST:PUERTO o rfc2217://HOST:PUERTO), se agregan, cambian, quitan y\n"
        "prueban en Configuración > Opciones Avanzadas > Puertos de red…; cada uno\n"
        "queda en el archivo puertos/COMn de la carpeta de trabajo.\n"
        "\n"
        "Sin pantalla (sin DISPLAY ni WAYLAND_DISPLAY), QT_QPA_PLATFORM=vnc letrador\n"
        "muestra el programa a un visor VNC en el puerto 5900.");
}

// Qt cannot show a window with no display server and no platform asked for, and ends with an
// abort and its own advice to reinstall; say what is missing, and the way round it, instead.
bool SinPantalla(int argc, char** argv) {
    for (int k = 1; k < argc; ++k) {
        const std::string_view a = argv[k];
        if (a == "-platform" || a == "--platform") return false;
    }
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return false;
    }
    return true;
}

void PrintSinPantalla() {
    std::fputs(
        "letrador: no hay pantalla donde mostrar la ventana (no están definidas DISPLAY,\n"
        "WAYLAND_DISPLAY ni QT_QPA_PLATFORM).\n"
        "Para ver el programa igual, por ejemplo desde otra máquina, arránquelo con la\n"
        "plataforma vnc de Qt poniendo QT_QPA_PLATFORM=vnc delante de la orden:\n"
        "    QT_QPA_PLATFORM=vnc letrador\n"
        "y conecte un visor VNC al puerto 5900 de esta máquina (vncviewer MAQUINA:5900).\n"
        "Ese servidor VNC no pide contraseña: fuera de una red de confianza, use un túnel\n"
        "(ssh -L 5900:localhost:5900 MAQUINA) y conecte el visor a localhost:5900.\n"
        "La plataforma vnc viene en el paquete qt6-qpa-plugins de Debian\n"
        "(apt install qt6-qpa-plugins).\n",
        stderr);
}

}  // namespace

int main(int argc, char** argv) {
    // Answered before the toolkit starts, so that they work on a console without a display.
    for (int k = 1; k < argc; ++k) {
        const std::string_view a = argv[k];
        if (a == "--help" || a == "--ayuda") {
            PrintHelp();
            return 0;
        }
        if (a == "--version") {
            std::puts("letrador " LETRADOR_VERSION);
            return 0;
        }
    }
    if (SinPantalla(argc, argv)) {
        PrintSinPantalla();
        return kExitSinPantalla;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Letrador de Mensajes"));
    // Lets the desktop match the window to its installed entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(LETRADOR_APP_ID));

    bool virtualSign = false;
    QStringList signArgs;
    const QStringList args = QApplication::arguments().mid(1);
    for (const QString& a : args) {
        if (a == QLatin1String("--cartel-virtual")) {
            virtualSign = true;
        } else {
            std::fprintf(stderr, "Opción desconocida: %s\n", qPrintable(a));
            PrintHelp();
            return 2;
        }
    }

    std::string problem;
    const std::filesystem::path workFolder = letrador::FindWorkFolder(&problem);
    if (!problem.empty()) {
        std::fprintf(stderr, "No se pudo preparar la carpeta de trabajo %s: %s\n",
                     workFolder.c_str(), problem.c_str());
    }
    QDir::setCurrent(QString::fromStdString(workFolder.string()));

    letrador::VirtualSignLauncher sign;
    if (virtualSign) {
        // On a real screen the virtual sign shows what it receives in its own window. Over VNC
        // its window would take the VNC port before ours does, so it works unseen.
        const QString platform = QGuiApplication::platformName();
        if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal") &&
            platform != QLatin1String("vnc"))
            signArgs << QStringLiteral("--ventana");
        QString why;
        if (!sign.start(workFolder, kVirtualSignPort, signArgs, &why)) {
            std::fprintf(stderr, "No se pudo iniciar el cartel virtual: %s\n", qPrintable(why));
        }
    }

    letrador::Program program(workFolder);
    letrador::frmLetrador& window = program.window();
    if (!window.Form_Load()) return 0;
    window.show();
    return app.exec();
}
