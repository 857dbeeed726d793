// The byte exchange PuertoSerie::EnviarComparar over the real Qt serial stack (QtSerialLink,
// QtEventPump, QtTicker) against a sign on the master side of a pseudo-terminal, served by a
// thread of this program.
//
//  - BM_EnviarComparar_Inmediato: the sign echoes at once; the figure is exchanges per second.
//  - BM_EnviarComparar_Demora50ms: the sign echoes 50 ms after each byte; the figure is the
//    processor time of the whole process (user + system, every thread) over the wall time,
//    which shows whether the wait blocks or spins.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "platform/qt_event_pump.h"
#include "platform/qt_serial_link.h"
#include "signlink/puerto_serie.h"
#include "signlink/recording_log.h"

namespace {

using namespace letrador;

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "bench_serial";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// Counts the log lines instead of keeping them: any line means an exchange went wrong.
class CountingLog : public LogWriter {
  public:
    void AgregarLog(std::string_view, bool) override { ++lines; }
    long long lines = 0;
};

// Echoes every byte from the master side of a pty, after `delay`.
class PtyEcho {
  public:
    explicit PtyEcho(std::chrono::milliseconds delay) : delay_(delay) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        slave_ = ::ptsname(master_);
        termios t{};
        ::tcgetattr(master_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(master_, TCSANOW, &t);
        keep_ = ::open(slave_.c_str(), O_RDWR | O_NOCTTY);
        thread_ = std::thread([this] { serve(); });
    }
    ~PtyEcho() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (keep_ >= 0) ::close(keep_);
        if (master_ >= 0) ::close(master_);
    }
    bool ok() const { return master_ >= 0 && keep_ >= 0; }
    const std::string& slave() const { return slave_; }

  private:
    void serve() {
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0 || !(p.revents & POLLIN)) continue;
            unsigned char buf[256];
            const ssize_t got = ::read(master_, buf, sizeof buf);
            if (got <= 0) continue;
            if (delay_.count() > 0) std::this_thread::sleep_for(delay_);
            [[maybe_unused]] ssize_t w = ::write(master_, buf, static_cast<std::size_t>(got));
        }
    }

    std::chrono::milliseconds delay_;
    int master_ = -1;
    int keep_ = -1;
    std::string slave_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The serial stack of the program, open on the pty.
struct Stack {
    explicit Stack(const std::string& device)
        : link([device](int) { return device; }), puerto(link, pump, log) {
        puerto.connect(ticker);
        link.setPort(1);
        opened = link.open(&reason);
    }
    ~Stack() { link.close(); }

    platform::QtSerialLink link;
    platform::QtEventPump pump;
    platform::QtTicker ticker;
    CountingLog log;
    PuertoSerie puerto;
    bool opened = false;
    std::string reason;
};

double ProcessCpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    auto s = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

double WallSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

void RunExchanges(benchmark::State& state, std::chrono::milliseconds delay) {
    App();
    PtyEcho sign(delay);
    if (!sign.ok()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    Stack stack(sign.slave());
    if (!stack.opened) {
        state.SkipWithError(("the pty does not open: " + stack.reason).c_str());
        return;
    }
    std::uint8_t b = 0;
    long long failed = 0;
    const double cpu0 = ProcessCpuSeconds();
    const double wall0 = WallSeconds();
    for (auto _ : state) {
        if (!stack.puerto.EnviarComparar(b)) ++failed;
        b = static_cast<std::uint8_t>(b + 1);
    }
    const double wall = WallSeconds() - wall0;
    const double cpu = ProcessCpuSeconds() - cpu0;
    if (failed > 0 || stack.log.lines > 0 || stack.puerto.ErrorGrabacion) {
        state.SkipWithError("an exchange timed out or was echoed wrong");
        return;
    }
    state.counters["intercambios/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["cpu_%"] = wall > 0 ? 100.0 * cpu / wall : 0.0;
    state.counters["cpu_us/intercambio"] =
        state.iterations() > 0 ? 1e6 * cpu / static_cast<double>(state.iterations()) : 0.0;
}

void BM_EnviarComparar_Inmediato(benchmark::State& state) {
    RunExchanges(state, std::chrono::milliseconds(0));
}
BENCHMARK(BM_EnviarComparar_Inmediato)->UseRealTime()->Unit(benchmark::kMicrosecond)->MinTime(2.0);

void BM_EnviarComparar_Demora50ms(benchmark::State& state) {
    RunExchanges(state, std::chrono::milliseconds(50));
}
BENCHMARK(BM_EnviarComparar_Demora50ms)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(60);

}  // namespace

BENCHMARK_MAIN();
