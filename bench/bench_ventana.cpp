// How long the main window's thread goes without running its events while a recording runs:
// the real window (offscreen), its start-up and its recording engine, with a 10 ms timer on the
// window's thread; the figure is the longest gap between two of its ticks, from the menu press to
// the moment the recording window shows "Cerrar". Four signs: cartel-virtual on a
// pseudo-terminal, an RFC 2217 server that accepts and then says nothing, an address whose
// connection never opens, and 8 cartel-virtual signs at once through "Varios carteles…".
//
//   cmake --build build --target bench_ventana && build/bench/bench_ventana
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

#include "app/app_core.h"
#include "app/frm_letrador.h"
#include "bench/cartel_virtual_process.h"
#include "platform/desktop.h"
#include "platform/scripted_dialogs.h"
#include "settings/frm_avanzadas.h"
#include "signlink/frm_graba.h"
#include "signlink/frm_varios.h"

namespace {

namespace fs = std::filesystem;
using namespace letrador;
using letrador::bench::CartelVirtual;

QApplication& App() {
    static int argc = 1;
    static char name[] = "bench_ventana";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

class NoDesktop : public platform::Desktop {
  public:
    void openFile(const std::string&, std::function<void()> notOpened) override {
        if (notOpened) notOpened();
    }
};

// A listener on the loopback. `silent`: it accepts and never says anything. Otherwise its queue
// is full, so that a connection to it neither opens nor fails.
class Listener {
  public:
    explicit Listener(bool silent) : silent_(silent) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd_, silent ? 8 : 0);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        if (!silent) {
            filler_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            ::connect(filler_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        } else {
            thread_ = std::thread([this] {
                while (!stop_) {
                    pollfd p{fd_, POLLIN, 0};
                    if (::poll(&p, 1, 20) > 0) accepted_.push_back(::accept(fd_, nullptr, nullptr));
                }
            });
        }
    }
    ~Listener() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        for (int fd : accepted_) ::close(fd);
        if (filler_ >= 0) ::close(filler_);
        ::close(fd_);
    }
    int port() const { return port_; }

  private:
    bool silent_;
    int fd_ = -1, filler_ = -1, port_ = 0;
    std::atomic<bool> stop_{false};
    std::vector<int> accepted_;
    std::thread thread_;
};

// A working folder with the built fonts and an empty puertos/.
struct Work {
    Work() {
        char templ[] = "/tmp/bench_ventana-XXXXXX";
        folder = ::mkdtemp(templ) ? templ : "/tmp";
        fs::create_directories(folder / "puertos");
        fs::copy(LETRADOR_FONT_DIR, folder / "tipografias");
    }
    ~Work() {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    void map(int port, const std::string& target) const {
        std::ofstream(folder / "puertos" / ("COM" + std::to_string(port))) << target << "\n";
    }
    fs::path folder;
};

// The window over the program's start-up, one paragraph written in it.
struct Window {
    explicit Window(const Work& work) : core(work.folder) {
        window = std::make_unique<frmLetrador>(frmLetrador::Services{
            store, dialogs, desktop, core.portSearch(), core.engine(), core.threads(),
            work.folder, core.deviceOf()});
        ok = window->Form_Load();
        window->show();
        press("cmdParNuevo");
        window->findChild<QPlainTextEdit*>(QStringLiteral("txtMsjMensaje"))
            ->setPlainText(QStringLiteral("<4>Bienvenidos, atendemos de 8 a 13 hs.<2>"));
        window->setFontFileText("normal.ffv");
        press("cmdParGuardar");
    }
    void press(const char* name) const {
        window->findChild<QPushButton*>(QString::fromUtf8(name))->click();
    }
    // Records with `start` while a 10 ms timer runs on this thread, until `running` is false;
    // the longest gap between two ticks, in milliseconds.
    double longestGap(const std::function<void()>& start, const std::function<bool()>& running) {
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0, longest = 0;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            longest = std::max(longest, now - last);
            last = now;
        });
        tick.start(10);
        last = clock.nsecsElapsed();
        start();
        while (running()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        longest = std::max(longest, clock.nsecsElapsed() - last);
        return static_cast<double>(longest) / 1e6;
    }

    AppCore core;
    ParagraphStore store;
    platform::ScriptedDialogs dialogs;
    NoDesktop desktop;
    std::unique_ptr<frmLetrador> window;
    bool ok = false;
};

enum Scenario { kPty, kSilentRfc2217, kUnreachable, kEightSigns };

void BM_Ventana(benchmark::State& state) {
    App();
    const auto scenario = static_cast<Scenario>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        Work work;
        std::vector<std::unique_ptr<CartelVirtual>> signs;
        std::unique_ptr<Listener> listener;
        const int first = 201;
        const int count = scenario == kEightSigns ? 8 : 1;
        if (scenario == kPty || scenario == kEightSigns) {
            for (int k = 0; k < count; ++k) {
                signs.push_back(std::make_unique<CartelVirtual>(
                    (work.folder / "puertos").string(), first + k, 2));
                if (!signs.back()->ok()) return state.SkipWithError("cartel-virtual did not start");
            }
        } else {
            listener = std::make_unique<Listener>(scenario == kSilentRfc2217);
            work.map(first, std::string(scenario == kSilentRfc2217 ? "rfc2217" : "tcp") +
                                "://127.0.0.1:" + std::to_string(listener->port()));
        }
        Window w(work);
        if (!w.ok) return state.SkipWithError("the window found no port");
        frmAvanzadas& options = w.window->avanzadas();
        if (scenario == kUnreachable) options.addPort(std::to_string(first), "");
        for (int k = 0; k < options.portCount(); ++k)
            if (options.portText(k) == std::to_string(first)) options.choosePort(k);
        state.ResumeTiming();
        double gap = 0;
        if (scenario == kEightSigns) {
            w.window->findChild<QAction*>(QStringLiteral("menGrabVarios"))->trigger();
            frmVarios& varios = *w.window->varios();
            auto* list = varios.findChild<QListWidget*>(QStringLiteral("lstPuertos"));
            for (int k = 0; k < list->count(); ++k) {
                const int n = list->item(k)->data(Qt::UserRole).toString().toInt();
                list->item(k)->setCheckState(n >= first ? Qt::Checked : Qt::Unchecked);
            }
            auto* grabar = varios.findChild<QPushButton*>(QStringLiteral("cmdGrabar"));
            gap = w.longestGap([grabar] { grabar->click(); },
                               [&varios] { return varios.recordingRunning(); });
            if (varios.recordedPorts().size() != 8) return state.SkipWithError("not 8 signs");
        } else {
            QAction* total = w.window->findChild<QAction*>(QStringLiteral("menGrabTotal"));
            frmGraba& graba = w.window->graba();
            gap = w.longestGap([total] { total->trigger(); },
                               [&graba] { return graba.recordingRunning(); });
        }
        state.counters["hueco_max_ms"] = gap;
        state.PauseTiming();
        w.window.reset();
        signs.clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Ventana)
    ->ArgName("escenario")
    ->Arg(kPty)
    ->Arg(kSilentRfc2217)
    ->Arg(kUnreachable)
    ->Arg(kEightSigns)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
