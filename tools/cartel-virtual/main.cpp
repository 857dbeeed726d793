// cartel-virtual: a compatible sign on a pseudo-terminal. Prints the device path as its first
// line, answers whatever the program sends there, and ends on SIGTERM, SIGINT or SIGHUP, or
// when the process that started it is gone. With --tcp it stands behind a network address
// instead of the pseudo-terminal (with --rfc2217 speaking Telnet there). With --ventana it also shows what it received in a
// window, served by the Qt event loop instead of the ppoll() loop below.
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/cartel-virtual/sign_server.h"
#include "tools/cartel-virtual/sign_window.h"
#include "tools/cartel-virtual/virtual_sign.h"
#include "letrador/version.h"

namespace {

using letrador::cartel::Faults;
using letrador::cartel::ServerOptions;

constexpr const char* kHelp =
    "Uso: cartel-virtual [opciones]\n"
    "\n"
    "Un cartel electrónico compatible simulado sobre un pseudo-terminal. La primera línea\n"
    "que escribe es el dispositivo que hay que abrir como puerto serie.\n"
    "\n"
    "Opciones:\n"
    "  --enlace RUTA          crea RUTA como enlace simbólico al dispositivo (reemplaza lo\n"
    "                         que hubiera) y lo quita al terminar; p. ej. trabajo/puertos/COM5\n"
    "  --registro ARCHIVO     escribe en ARCHIVO lo recibido, decodificado (grabaciones,\n"
    "                         párrafos, efectos, columnas, entradas del turnero), y en\n"
    "                         ARCHIVO.bin los bytes recibidos tal cual\n"
    "  --tcp PUERTO           escucha en 127.0.0.1:PUERTO en lugar de usar un\n"
    "                         pseudo-terminal, un cliente por vez; la primera línea es\n"
    "                         entonces la dirección (tcp://127.0.0.1:PUERTO) y --enlace crea\n"
    "                         un archivo cuya primera línea es esa dirección\n"
    "  --rfc2217              con --tcp, habla Telnet con COM-PORT-CONTROL (RFC 2217), y\n"
    "                         la dirección empieza con rfc2217:// en lugar de tcp://\n"
    "  --ventana              muestra lo recibido en la ventana «Cartel virtual»: cada\n"
    "                         párrafo con sus puntos y efectos, los números del turnero y el\n"
    "                         estado; sin pantalla sigue trabajando sin ventana\n"
    "  --ayuda, --help        muestra esta ayuda\n"
    "  --version              muestra la versión\n"
    "\n"
    "Fallas simuladas (N es la posición de un byte recibido, contando desde 0 a lo largo de\n"
    "toda la vida del cartel; las opciones con N pueden repetirse):\n"
    "  --silencio N           no contesta nada desde el byte N en adelante (0: mudo)\n"
    "  --silencio-solo N      no contesta el byte N; los siguientes sí\n"
    "  --tarde N:MS           contesta el byte N con MS milisegundos de demora\n"
    "  --eco-erroneo N[:V]    contesta el byte N con V (decimal o 0xHH) o, sin V, con la\n"
    "                         respuesta correcta con su bit más bajo invertido\n"
    "  --otro-modelo          contesta la consulta de modelo con 0x5B en lugar de 0x5A\n"
    "  --modelo V             contesta la consulta de modelo con V\n"
    "  --rechazar-inicio      contesta 0x15 al comienzo de grabación y no graba\n"
    "  --reposo MS            sin bytes durante MS milisegundos, da por abandonada la\n"
    "                         grabación en curso (1200 si no se indica; 0 nunca)\n"
    "\n"
    "Termina con SIGTERM, SIGINT o SIGHUP (Ctrl+C), o cuando termina el programa que lo\n"
    "inició (o al cerrar su ventana), y deja entonces el registro completo.\n";

struct Options {
    ServerOptions server;
    Faults faults;
    long long reposoMs = letrador::cartel::kReposoMs;
    bool help = false;
    bool version = false;
    bool window = false;
};

constexpr long long kMaxTcpPort = 65535;

std::optional<long long> Number(std::string_view text) {
    if (text.empty()) return std::nullopt;
    const std::string s(text);
    char* end = nullptr;
    errno = 0;
    const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
    const long long v = std::strtoll(s.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
    if (errno != 0 || end == s.c_str() + (hex ? 2 : 0) || *end != '\0' || v < 0)
        return std::nullopt;
    return v;
}

std::optional<std::uint8_t> ByteValue(std::string_view text) {
    const auto v = Number(text);
    if (!v || *v > 255) return std::nullopt;
    return static_cast<std::uint8_t>(*v);
}

// "N" and an optional ":X" after it.
bool SplitPair(std::string_view text, std::string_view& first,
               std::optional<std::string_view>& second) {
    const auto colon = text.find(':');
    first = text.substr(0, colon);
    if (colon == std::string_view::npos) {
        second.reset();
    } else {
        second = text.substr(colon + 1);
    }
    return !first.empty();
}

// Nothing, after a message on standard error, when the command line is wrong.
std::optional<Options> ParseOptions(int argc, char** argv) {
    Options o;
    auto bad = [](const std::string& why) -> std::optional<Options> {
        std::fprintf(stderr, "cartel-virtual: %s\n(cartel-virtual --ayuda lista las opciones)\n",
                     why.c_str());
        return std::nullopt;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        auto value = [&]() -> std::optional<std::string_view> {
            if (i + 1 >= argc) return std::nullopt;
            return std::string_view(argv[++i]);
        };
        if (a == "--ayuda" || a == "--help") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (a == "--enlace" || a == "--registro") {
            const auto v = value();
            if (!v || v->empty()) return bad(std::string(a) + " necesita una ruta");
            (a == "--enlace" ? o.server.linkPath : o.server.recordPath) = std::string(*v);
        } else if (a == "--silencio" || a == "--silencio-solo") {
            const auto v = value();
            const auto n = v ? Number(*v) : std::nullopt;
            if (!n) return bad(std::string(a) + " necesita la posición de un byte");
            if (a == "--silencio") {
                o.faults.silentFrom = *n;
            } else {
                o.faults.silentAt.insert(*n);
            }
        } else if (a == "--tarde") {
            const auto v = value();
            std::string_view first;
            std::optional<std::string_view> second;
            const auto n = v && SplitPair(*v, first, second) ? Number(first) : std::nullopt;
            const auto ms = second ? Number(*second) : std::nullopt;
            if (!n || !ms || *ms > 600000) return bad("--tarde necesita N:MS");
            o.faults.lateMs[*n] = static_cast<int>(*ms);
        } else if (a == "--eco-erroneo") {
            const auto v = value();
            std::string_view first;
            std::optional<std::string_view> second;
            const auto n = v && SplitPair(*v, first, second) ? Number(first) : std::nullopt;
            if (!n) return bad("--eco-erroneo necesita N o N:V");
            std::optional<std::uint8_t> replacement;
            if (second) {
                replacement = ByteValue(*second);
                if (!replacement) return bad("--eco-erroneo: V va de 0 a 255");
            }
            o.faults.wrongReply[*n] = replacement;
        } else if (a == "--otro-modelo") {
            o.faults.model = letrador::cartel::kOtroModelo;
        } else if (a == "--modelo") {
            const auto v = value();
            const auto m = v ? ByteValue(*v) : std::nullopt;
            if (!m) return bad("--modelo necesita un valor de 0 a 255");
            o.faults.model = *m;
        } else if (a == "--rechazar-inicio") {
            o.faults.refuseStart = true;
        } else if (a == "--reposo") {
            const auto v = value();
            const auto ms = v ? Number(*v) : std::nullopt;
            if (!ms) return bad("--reposo necesita los milisegundos");
            o.reposoMs = *ms;
        } else if (a == "--tcp") {
            const auto v = value();
            const auto port = v ? Number(*v) : std::nullopt;
            if (!port || *port < 1 || *port > kMaxTcpPort)
                return bad("--tcp necesita un puerto de 1 a 65535");
            o.server.tcpPort = static_cast<int>(*port);
        } else if (a == "--rfc2217") {
            o.server.telnet = true;
        } else if (a == "--ventana") {
            o.window = true;
        } else {
            return bad("opción desconocida: " + std::string(a));
        }
    }
    if (o.server.telnet && o.server.tcpPort == 0) return bad("--rfc2217 va con --tcp PUERTO");
    if (o.window && o.server.tcpPort != 0) return bad("--ventana no se puede usar con --tcp");
    return o;
}

// A window can be shown: a platform chosen by hand (offscreen, say), or an X or Wayland display.
bool DisplayAvailable() {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* v = ::getenv(name);
        if (v && *v) return true;
    }
    return false;
}

volatile sig_atomic_t gStop = 0;

void OnSignal(int) {
    gStop = 1;
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = ParseOptions(argc, argv);
    if (!options) return 2;
    if (options->help) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (options->version) {
        std::puts("cartel-virtual " LETRADOR_VERSION);
        return 0;
    }

    // The stop signals are only let through while waiting, so none is lost between the check
    // of the flag and the wait.
    sigset_t stopSignals, waitMask;
    sigemptyset(&stopSignals);
    for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&stopSignals, s);
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    for (int s : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction sa {};
        sa.sa_handler = OnSignal;
        sigemptyset(&sa.sa_mask);
        sigaction(s, &sa, nullptr);
    }
    signal(SIGPIPE, SIG_IGN);
    const pid_t parent = ::getppid();

    bool window = options->window;
    if (window && !DisplayAvailable()) {
        std::fputs("Sin pantalla: el cartel virtual sigue sin ventana.\n", stderr);
        window = false;
    }
    // Made before the pseudo-terminal, with the stop signals already blocked, so that the
    // toolkit's threads keep them blocked too and a display that cannot be reached ends the
    // program before any link exists.
    std::unique_ptr<QApplication> app;
    if (window) app = std::make_unique<QApplication>(argc, argv);

    letrador::cartel::VirtualSign sign(options->faults, options->reposoMs);
    letrador::cartel::SignServer server(sign, options->server);
    std::string error;
    if (!server.open(&error)) {
        std::fprintf(stderr, "cartel-virtual: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", server.devicePath().c_str());
    std::fflush(stdout);

    if (app) {
        const int result = letrador::cartel::RunWindowLoop(server, stopSignals, parent);
        server.finish();
        return result;
    }

    // Looks after the parent once a second at most, so an orphan does not stay behind.
    constexpr long long kParentCheckMs = 1000;
    while (!gStop) {
        const long long now = letrador::cartel::NowMs();
        long long wait = server.msUntilDue(now);
        if (wait < 0 || wait > kParentCheckMs) wait = kParentCheckMs;
        pollfd p{server.fd(), static_cast<short>(POLLIN | (server.wantsWrite() ? POLLOUT : 0)), 0};
        const timespec ts{static_cast<time_t>(wait / 1000),
                          static_cast<long>(wait % 1000) * 1000000L};
        const int r = ::ppoll(&p, 1, &ts, &waitMask);
        if (r < 0 && errno != EINTR) {
            std::perror("cartel-virtual: ppoll");
            break;
        }
        // A client's connection that ends is read to its end (0 bytes) and dropped.
        if (r > 0 && (p.revents & (POLLERR | POLLHUP)) && server.network()) p.revents |= POLLIN;
        if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) && !(p.revents & POLLIN)) {
            // Cannot happen while the server holds the slave side open; never spin on it.
            std::fprintf(stderr, "cartel-virtual: el pseudo-terminal se cerró\n");
            break;
        }
        const long long after = letrador::cartel::NowMs();
        if (r > 0 && (p.revents & POLLIN)) server.readable(after);
        server.due(after);
        if (::getppid() != parent) break;
    }
    server.finish();
    return 0;
}
