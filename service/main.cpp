// letrador-servicio: the signs' web page, turn keypads and daily programme, with no window. It
// starts as the program does (working folder, ports, recording engine), answers the pages on
// cpp-httplib's threads and keeps its state on the Qt event loop.
#include <malloc.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QObject>
#include <QTimer>
#include <cstdio>
#include <iostream>
#include <memory>
#include <thread>

#include "app/app_core.h"
#include "app/work_folder.h"
#include "letrador/version.h"
#include "platform/qt_interrupts.h"
#include "service/guard.h"
#include "service/loop_bridge.h"
#include "service/message_desk.h"
#include "service/service_options.h"
#include "service/service_state.h"
#include "service/web.h"
#include "settings/plain_options_view.h"

namespace {

namespace fs = std::filesystem;
using namespace letrador;
using namespace letrador::service;

constexpr const char* kName = "letrador-servicio";

// A line typed on the terminal without echo, or read from standard input when it is not one.
std::optional<std::string> ReadSecret(const char* prompt) {
    const bool tty = ::isatty(STDIN_FILENO);
    termios old{};
    if (tty) {
        std::fputs(prompt, stderr);
        ::tcgetattr(STDIN_FILENO, &old);
        termios quiet = old;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    std::string line;
    const bool got = static_cast<bool>(std::getline(std::cin, line));
    if (tty) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &old);
        std::fputs("\n", stderr);
    }
    if (!got) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

int SetPassword(const fs::path& work) {
    const auto first = ReadSecret("Clave nueva: ");
    const auto second = first ? ReadSecret("Repita la clave: ") : std::nullopt;
    if (!first || !second) {
        std::fprintf(stderr, "%s: no se leyó la clave.\n", kName);
        return 1;
    }
    if (*first != *second) {
        std::fprintf(stderr, "%s: las claves no coinciden; no se cambió nada.\n", kName);
        return 1;
    }
    if (first->size() < 8) {
        std::fprintf(stderr, "%s: la clave debe tener al menos 8 caracteres.\n", kName);
        return 1;
    }
    const auto hash = HashPassword(*first);
    std::string problem = "no se pudo calcular el resumen";
    if (!hash || !SavePasswordHash(work / kPasswordFile, *hash, &problem)) {
        std::fprintf(stderr, "%s: no se guardó la clave en %s: %s\n", kName, (work / kPasswordFile).c_str(),
                     problem.c_str());
        return 1;
    }
    std::fprintf(stderr, "%s: clave guardada en %s.\n", kName, (work / kPasswordFile).c_str());
    return 0;
}

// The pages shipped with the program: share/letrador/servicio beside its bin/, or installed.
fs::path PagesFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    const fs::path beside = exe.parent_path().parent_path() / "share" / "letrador" / "servicio";
    if (fs::is_regular_file(beside / "pagina.html", ec)) return beside;
    return fs::path(LETRADOR_INSTALLED_DATA) / "servicio";
}

std::vector<FoundSign> SearchSigns(AppCore& core) {
    PlainOptionsView options;
    core.loadPorts(options);
    std::vector<FoundSign> signs;
    for (int k = 0; k < options.portCount(); ++k) signs.push_back({options.portText(k), options.portDevice(k)});
    return signs;
}

}  // namespace

int main(int argc, char** argv) {
    // Thirty-two workers would each get a memory arena of their own and keep it: some 110 MB
    // under load where two arenas hold the same work in 30 MB.
    ::mallopt(M_ARENA_MAX, 2);
    QCoreApplication app(argc, argv);
    std::string error;
    const ServiceOptions o = ParseServiceOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!error.empty()) {
        std::fprintf(stderr, "%s: %s\nUse \"%s --help\" para ver el uso.\n", kName, error.c_str(), kName);
        return 2;
    }
    if (o.help) {
        std::fputs(ServiceHelp(), stdout);
        return 0;
    }
    if (o.version) {
        std::printf("%s %s\n", kName, LETRADOR_VERSION);
        return 0;
    }

    fs::path work;
    std::string problem;
    if (o.carpeta) {
        std::error_code ec;
        work = fs::absolute(*o.carpeta, ec);
        PrepareWorkFolder(work, InstalledDataFolder(fs::read_symlink("/proc/self/exe", ec)), &problem);
    } else {
        work = FindWorkFolder(&problem);
    }
    if (!problem.empty())
        std::fprintf(stderr, "%s: no se pudo preparar la carpeta de trabajo %s: %s\n", kName, work.c_str(),
                     problem.c_str());
    if (o.ponerClave) return SetPassword(work);

    WebSettings settings;
    settings.pages = PagesFolder();
    settings.passwordHash = LoadPasswordHash(work / kPasswordFile);
    settings.tls = o.certificado.has_value();
    if (!IsLoopback(o.host) && !settings.passwordHash) {
        std::fprintf(stderr,
                     "%s: no se atiende en %s mientras no haya clave: póngala antes con \"%s --poner-clave\".\n",
                     kName, o.host.c_str(), kName);
        return 2;
    }

    AppCore core(work);
    ServiceClock clock(o.horaInicial);
    QObject loopContext;
    LoopBridge bridge(&loopContext);
    const MessageDesk desk(core);
    ServiceState state(
        work, clock,
        [&](RecordingJob job, int runId) {
            return core.engine().start(std::move(job), [&bridge, &state, runId](const RecordingEvent& e) {
                bridge.post([&state, runId, e] { state.onEvent(runId, e); });
            });
        },
        [&desk](const std::string& name, std::string& why) { return desk.whole(name, why); }, std::cerr);
    state.setSigns(SearchSigns(core));

    std::unique_ptr<httplib::Server> server;
    if (settings.tls) {
        server = std::make_unique<httplib::SSLServer>(o.certificado->c_str(), o.clavePrivada->c_str());
        if (!server->is_valid()) {
            std::fprintf(stderr, "%s: no se pudo usar el certificado %s con la clave %s.\n", kName,
                         o.certificado->c_str(), o.clavePrivada->c_str());
            return 1;
        }
    } else {
        server = std::make_unique<httplib::Server>();
    }
    WebService web(*server, settings, [&bridge](const std::function<void()>& fn) { return bridge.run(fn); }, state,
                   desk);
    web.searchSigns = [&] { bridge.run([&] { state.setSigns(SearchSigns(core)); }); };

    int port = o.port;
    const bool bound = port == 0 ? (port = server->bind_to_any_port(o.host)) > 0 : server->bind_to_port(o.host, port);
    if (!bound) {
        std::fprintf(stderr, "%s: no se pudo atender en %s:%d.\n", kName, o.host.c_str(), o.port);
        return 1;
    }
    web.widenAcceptQueue();
    platform::Interrupts interrupts([&](int) {
        std::fprintf(stderr, "%s: deteniendo.\n", kName);
        state.close();
        bridge.close();
        core.engine().stopAll();
        server->stop();
        app.quit();
    });
    std::thread listening([&] { server->listen_after_bind(); });
    // Only once it accepts, and SIGTERM is handled (stop() does nothing to a server not yet
    // running), may anyone be told where it listens.
    for (int k = 0; k < 2000 && !server->is_running(); ++k) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const std::string shownHost = o.host.find(':') != std::string::npos ? "[" + o.host + "]" : o.host;
    std::fprintf(stderr, "%s: atendiendo en %s://%s:%d/ (carpeta de trabajo %s)\n", kName,
                 settings.tls ? "https" : "http", shownHost.c_str(), port, work.c_str());
    if (!settings.passwordHash)
        std::fprintf(stderr, "%s: no hay clave puesta: se entra sin clave, solo desde este equipo.\n", kName);

    // The programme: what is due now at once (after a restart), then every second.
    QTimer programme;
    QObject::connect(&programme, &QTimer::timeout, [&] { state.tick(); });
    programme.start(1000);
    QTimer::singleShot(0, [&] { state.tick(); });

    const int code = app.exec();
    bridge.close();
    server->stop();
    listening.join();
    // No event may reach the bridge or the state once they are gone.
    state.close();
    core.engine().stopAll();
    state.waitAll();
    return code;
}
