// letrador-cli: the program's commands without a window. It counts a message file as the main
// window does after opening it, records a whole message as "Grabación > Total" does, and records
// the turn display as "Turneros" does, over the same libraries, port rules and working folder.
#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include <QEventLoop>

#include "app/app_core.h"
#include "app/windowless_message.h"
#include "app/work_folder.h"
#include "letrador/version.h"
#include "message/numeric.h"
#include "message/sign_preview.h"
#include "platform/console_dialogs.h"
#include "platform/qt_interrupts.h"
#include "platform/qt_port_link.h"
#include "settings/port_mapping.h"
#include "signlink/recording_commands.h"
#include "signlink/recording_engine.h"
#include "signlink/recording_printer.h"

namespace {

namespace fs = std::filesystem;
using namespace letrador;

constexpr const char* kName = "letrador-cli";

// Exit codes, as the help text lists them.
enum Exit : int {
    kOk = 0,
    kRecordingErrors = 1,
    kUsage = 2,
    kFileError = 3,
    kPortError = 4,
    kRefused = 5,
    // Stopped with Ctrl+C, as a shell reports a command ended by SIGINT.
    kInterrupted = 130,
};

void PrintHelp(std::FILE* to) {
    std::fputs(
        "Uso:\n"
        "  letrador-cli contar MENSAJE.fmv [--carpeta DIR]\n"
        "  letrador-cli grabar MENSAJE.fmv [--puerto N[,N...]] [--carpeta DIR]\n"
        "  letrador-cli turnero ESTILO [--puerto N[,N...]] [--si] [--carpeta DIR]\n"
        "  letrador-cli --help | --version\n"
        "\n"
        "Comandos:\n"
        "  contar   Lee el mensaje como lo abre el programa (\"Nuevo Párrafo\" y \"Guardar\n"
        "           párrafo\" por cada párrafo) y muestra las columnas de cada párrafo, el\n"
        "           total y la línea de capacidad tal como la muestra la ventana principal.\n"
        "           Por cada párrafo con caracteres que su fuente no tiene, escribe en la\n"
        "           salida de error \"Párrafo N: Sin dibujo en «fuente.ffv»: ...\".\n"
        "  grabar   Lee el mensaje y lo graba entero en el cartel como \"Grabación > Total\":\n"
        "           los mismos bytes y las mismas líneas del registro, que se escriben en la\n"
        "           salida estándar a medida que se completan.\n"
        "  turnero  Graba en el cartel los números 00 a 99 en el ESTILO de dígitos 1, 2 o 3,\n"
        "           como \"Turneros > Turnero N\". Antes hace la misma pregunta que el menú.\n"
        "\n"
        "Opciones:\n"
        "  --puerto N     Puerto COM del cartel, un número de 1 a 255. Sin esta opción se usa,\n"
        "                 como en el programa, el puerto más alto de los que se pueden abrir.\n"
        "                 Varios números separados por comas (--puerto 3,7,12) graban todos\n"
        "                 esos carteles a la vez: cada línea del registro lleva delante su\n"
        "                 puerto (\"COM 7: Grabando párrafo 1 de 3... OK.\") y al final un\n"
        "                 resumen da una línea por cartel con su resultado.\n"
        "  --si           Responde \"Sí\" a la pregunta de turnero. Sin --si la pregunta se\n"
        "                 contesta por el terminal (s, si o sí es Sí; cualquier otra cosa, No);\n"
        "                 cuando la entrada no es un terminal, la respuesta es No.\n"
        "  --carpeta DIR  Carpeta de trabajo (con tipografias/ y mensajes/) en lugar de la\n"
        "                 que elige el programa. Se usa tal cual: no se crea nada en ella.\n"
        "  --help, --ayuda  Muestra esta ayuda.\n"
        "  --version      Muestra la versión.\n"
        "\n"
        "Carpeta de trabajo: la actual cuando contiene tipografias/; si no,\n"
        "$XDG_DATA_HOME/letrador (normalmente ~/.local/share/letrador), que se crea y se llena\n"
        "con los datos instalados la primera vez. Un MENSAJE con ruta relativa se busca en la\n"
        "carpeta actual y, si no está allí, en mensajes/ de la carpeta de trabajo.\n"
        "\n"
        "Puertos: el número N corresponde a un dispositivo así:\n"
        "  puertos/COMN en la carpeta de trabajo, si existe: el dispositivo que nombra (un\n"
        "    enlace simbólico a él, o un archivo pequeño cuya primera línea es su ruta), o\n"
        "    un cartel en la red si esa primera línea es tcp://HOST:PUERTO (bytes tal cual)\n"
        "    o rfc2217://HOST:PUERTO (Telnet con COM-PORT-CONTROL, p. ej. ser2net);\n"
        "    cualquier otra cosa, como una FIFO, no nombra ningún dispositivo;\n"
        "  COM1-COM32   /dev/ttyS0-/dev/ttyS31\n"
        "  COM33-COM64  /dev/ttyUSB0-/dev/ttyUSB31\n"
        "  COM65-COM96  /dev/ttyACM0-/dev/ttyACM31\n"
        "  otros números no tienen dispositivo.\n"
        "  Un puerto existe cuando su dispositivo se puede abrir y cerrar (uno en la red,\n"
        "  cuando la conexión se abre en poco tiempo).\n"
        "\n"
        "Los mensajes que el programa mostraría en una ventana se escriben en la salida de\n"
        "error, precedidos de \"letrador-cli: \".\n"
        "\n"
        "Códigos de salida:\n"
        "  0  contar: el mensaje se leyó. grabar y turnero: la grabación terminó con\n"
        "     \"La grabación se realizó sin errores.\" (con varios puertos, la de todos\n"
        "     los carteles)\n"
        "  1  La grabación terminó con \"Hubo errores en la grabación.\" (con varios\n"
        "     puertos, la de al menos un cartel)\n"
        "  2  Uso incorrecto: comando, opción o valor no válido.\n"
        "  3  Error de archivo: el mensaje no existe, está vacío, no es un mensaje completo\n"
        "     o no se puede leer, o la carpeta de --carpeta no existe.\n"
        "  4  Error de puerto: el puerto no tiene dispositivo o no se puede abrir, o no se\n"
        "     encontró ningún puerto.\n"
        "  5  No se grabó nada: el mensaje excede la capacidad del cartel, o la pregunta de\n"
        "     turnero se respondió No.\n"
        "  130  La grabación se detuvo con Ctrl+C: cada cartel termina en su próximo\n"
        "     intercambio, cierra su puerto y su registro termina con \"Grabación detenida\n"
        "     por el operador.\"\n",
        to);
}

int UsageError(const std::string& why) {
    std::fprintf(stderr, "%s: %s\n", kName, why.c_str());
    std::fprintf(stderr, "Use \"%s --help\" para ver el uso.\n", kName);
    return kUsage;
}

// A whole number written with digits only, within [low, high].
std::optional<int> StrictNumber(const std::string& text, int low, int high) {
    if (text.empty() || text.size() > 4) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high) return std::nullopt;
    return value;
}

struct Arguments {
    std::string command;
    std::vector<std::string> operands;
    std::optional<fs::path> carpeta;
    std::optional<int> puerto;
    // Every number of --puerto; more than one records all those signs at once.
    std::vector<int> puertos;
    bool si = false;
    bool help = false;
    bool version = false;
};

// Parses the command line; on a mistake returns the reason in `error`.
Arguments Parse(int argc, char** argv, std::string& error) {
    Arguments a;
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        auto value = [&](const char* option) -> std::optional<std::string> {
            if (k + 1 >= argc) {
                error = std::string("falta el valor de ") + option + ".";
                return std::nullopt;
            }
            return std::string(argv[++k]);
        };
        if (arg == "--help" || arg == "--ayuda" || arg == "-h") {
            a.help = true;
        } else if (arg == "--version") {
            a.version = true;
        } else if (arg == "--si") {
            a.si = true;
        } else if (arg == "--puerto") {
            auto v = value("--puerto");
            if (!v) return a;
            a.puertos.clear();
            std::size_t start = 0;
            while (true) {
                const std::size_t comma = v->find(',', start);
                const std::string one = v->substr(start, comma - start);
                const auto n = StrictNumber(one, kFirstPort, kLastPort);
                if (!n) {
                    error = "el puerto debe ser un número de 1 a 255: " + one;
                    return a;
                }
                for (int seen : a.puertos) {
                    if (seen == *n) {
                        error = "el puerto " + one + " está repetido.";
                        return a;
                    }
                }
                a.puertos.push_back(*n);
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
            a.puerto = a.puertos.front();
        } else if (arg == "--carpeta") {
            auto v = value("--carpeta");
            if (!v) return a;
            if (v->empty()) {
                error = "la carpeta no puede estar vacía.";
                return a;
            }
            a.carpeta = fs::path(*v);
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "opción desconocida: " + arg;
            return a;
        } else if (a.command.empty()) {
            a.command = arg;
        } else {
            a.operands.push_back(arg);
        }
    }
    return a;
}

// MENSAJE as given when absolute; a relative one from the current folder, else from mensajes/.
std::optional<fs::path> FindMessage(const std::string& given, const fs::path& work) {
    std::error_code ec;
    const fs::path p(given);
    if (p.is_absolute()) return fs::is_regular_file(p, ec) ? std::optional(p) : std::nullopt;
    if (fs::is_regular_file(p, ec)) return fs::absolute(p, ec);
    const fs::path inFolder = work / "mensajes" / p;
    if (fs::is_regular_file(inFolder, ec)) return inFolder;
    return std::nullopt;
}

int ReadMessage(WindowlessMessage& m, const std::string& given, const fs::path& work) {
    const auto path = FindMessage(given, work);
    if (!path) {
        std::fprintf(stderr, "%s: no existe el archivo de mensaje %s (ni en %s).\n", kName,
                     given.c_str(), (work / "mensajes").c_str());
        return kFileError;
    }
    return m.files.LeerMensaje(path->string()) ? kOk : kFileError;
}

int Contar(const Arguments& a, AppCore& core) {
    if (a.operands.size() != 1) return UsageError("contar necesita un archivo de mensaje.");
    if (a.puerto || a.si) return UsageError("contar no usa --puerto ni --si.");
    const fs::path& work = core.workFolder();
    platform::ConsoleDialogs dialogs(std::cerr, kName);
    WindowlessMessage m(core, dialogs);
    if (int r = ReadMessage(m, a.operands[0], work); r != kOk) return r;
    for (int k = 1; k <= m.view.paragraphItemCount() && m.store.hasParagraph(k); ++k) {
        const ParagraphRecord& p = m.store.paragraph(k);
        std::cout << "Párrafo " << k << ": " << p.Columns << " columnas"
                  << (p.Ignore ? " (ignorado)" : "") << '\n';
        // Characters the font lacks take no room and are not sent: say so, once per paragraph.
        const std::string missing = MissingLine(ComputeSignPreview(
            p.Text, m.store.fontPath(p.FontFile), p.Separation, m.store.SpaceWidth));
        if (!missing.empty()) {
            std::cout.flush();
            std::cerr << kName << ": Párrafo " << k << ": " << missing << '\n';
        }
    }
    std::cout << "Total: " << m.commands.TotalColumns() << " columnas de " << m.store.SignCapacity
              << '\n';
    std::cout << m.view.capacityLabel() << '\n';
    return kOk;
}

// Port `n` has a device and it opens and closes.
int CheckPort(int n, AppCore& core) {
    const std::string device = core.deviceOf()(n);
    const std::string text = DecimalText(n);
    if (device.empty()) {
        std::fprintf(stderr, "%s: el puerto COM %s no tiene dispositivo.\n", kName, text.c_str());
        return kPortError;
    }
    platform::QtPortLink link(core.deviceOf());
    link.setPort(n);
    std::string reason;
    if (!link.open(&reason)) {
        std::fprintf(stderr, "%s: no se pudo abrir el puerto COM %s (%s): %s\n", kName,
                     text.c_str(), device.c_str(), reason.c_str());
        return kPortError;
    }
    link.close();
    return kOk;
}

// The ports to record on, as port list texts: every one of --puerto when each has a device that
// opens; without --puerto, as the program's start-up chooses, the highest one that opens.
int ChoosePorts(const Arguments& a, AppCore& core, platform::Dialogs& dialogs,
                std::vector<std::string>& ports) {
    if (!a.puertos.empty()) {
        for (int n : a.puertos) {
            if (int r = CheckPort(n, core); r != kOk) return r;
            ports.push_back(DecimalText(n));
        }
        return kOk;
    }
    PlainOptionsView options;
    if (core.loadPorts(options) == 0) {
        dialogs.information(
            "No se encontraron puertos COM en el sistema.\r\nEl programa no puede continuar.");
        return kPortError;
    }
    ports.push_back(options.chosenPortText());
    return kOk;
}

// Records `what` into every sign of `ports` at once, printing each sign's log as its lines
// complete (with several signs, each line after its port, and then the summary). Ctrl+C stops
// every sign at its next exchange. 0 only when every sign's recording was clean.
int Record(AppCore& core, WhatToRecord what, const std::vector<std::string>& ports) {
    RecordingPrinter printer(std::cout, ports);
    QEventLoop loop;
    bool interrupted = false;
    std::shared_ptr<RecordingRun> run;
    platform::Interrupts interrupts([&](int) {
        interrupted = true;
        if (run) run->stop();
    });
    run = core.engine().start({std::move(what), ports}, [&printer, &loop](const RecordingEvent& e) {
        printer(e);
        if (std::holds_alternative<event::JobEnded>(e))
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    if (interrupted) run->stop();
    if (!run->ended()) loop.exec();
    run->wait();
    if (ports.size() > 1) printer.printSummary();
    if (interrupted) return kInterrupted;
    return printer.allClean() ? kOk : kRecordingErrors;
}

int Grabar(const Arguments& a, AppCore& core) {
    if (a.operands.size() != 1) return UsageError("grabar necesita un archivo de mensaje.");
    if (a.si) return UsageError("grabar no usa --si.");
    platform::ConsoleDialogs dialogs(std::cerr, kName);
    WindowlessMessage m(core, dialogs);
    if (int r = ReadMessage(m, a.operands[0], core.workFolder()); r != kOk) return r;
    std::vector<std::string> ports;
    if (int r = ChoosePorts(a, core, dialogs, ports); r != kOk) return r;
    auto message = PrepararMensajeTotal(m.commands, m.store, m.view, m.dialogs,
                                        m.options.joinedChecked());
    if (!message) return kRefused;
    return Record(core, std::move(*message), ports);
}

int GrabarTurnero(const Arguments& a, AppCore& core) {
    if (a.operands.size() != 1) return UsageError("turnero necesita el estilo: 1, 2 o 3.");
    const auto estilo = StrictNumber(a.operands[0], 1, 3);
    if (!estilo) return UsageError("el estilo de turnero debe ser 1, 2 o 3: " + a.operands[0]);
    platform::ConsoleDialogs dialogs(std::cerr, kName);
    std::vector<std::string> ports;
    if (int r = ChoosePorts(a, core, dialogs, ports); r != kOk) return r;
    if (a.si) {
        dialogs.setRule(platform::ConsoleDialogs::Rule::Yes);
    } else if (::isatty(STDIN_FILENO)) {
        dialogs.setRule(platform::ConsoleDialogs::Rule::AskWhenInteractive, &std::cin);
    } else {
        dialogs.setRule(platform::ConsoleDialogs::Rule::No);
    }
    if (!ConfirmarTurnero(dialogs)) return kRefused;
    return Record(core, TurnDisplay{*estilo, std::nullopt}, ports);
}

}  // namespace

int main(int argc, char** argv) {
    // The serial port and the timer need Qt's event loop; no window is ever made.
    QCoreApplication app(argc, argv);

    std::string error;
    const Arguments a = Parse(argc, argv, error);
    if (!error.empty()) return UsageError(error);
    if (a.help) {
        PrintHelp(stdout);
        return kOk;
    }
    if (a.version) {
        std::printf("%s %s\n", kName, LETRADOR_VERSION);
        return kOk;
    }
    if (a.command.empty()) {
        PrintHelp(stderr);
        return kUsage;
    }
    if (a.command != "contar" && a.command != "grabar" && a.command != "turnero") {
        return UsageError("comando desconocido: " + a.command);
    }

    fs::path work;
    if (a.carpeta) {
        std::error_code ec;
        if (!fs::is_directory(*a.carpeta, ec)) {
            std::fprintf(stderr, "%s: no existe la carpeta de trabajo %s.\n", kName,
                         a.carpeta->c_str());
            return kFileError;
        }
        work = fs::absolute(*a.carpeta, ec);
    } else {
        std::string problem;
        work = FindWorkFolder(&problem);
        if (!problem.empty()) {
            std::fprintf(stderr, "%s: no se pudo preparar la carpeta de trabajo %s: %s\n", kName,
                         work.c_str(), problem.c_str());
        }
    }

    AppCore core(work);
    if (a.command == "contar") return Contar(a, core);
    if (a.command == "grabar") return Grabar(a, core);
    return GrabarTurnero(a, core);
}
