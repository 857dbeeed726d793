// The byte exchange PuertoSerie::EnviarComparar over the real Qt serial stack (QtSerialLink,
// QtEventPump, QtTicker) against a sign on a pseudo-terminal: either an echo served by a thread
// of this program (…_Hilo), or cartel-virtual run as a separate process, in a recording that it
// has accepted (…_CartelVirtual; built only when cartel-virtual is).
//
//  - BM_EnviarComparar_Inmediato_*: the sign answers at once; the figure is exchanges per second.
//  - BM_EnviarComparar_Demora50ms_*: the sign answers 50 ms after each byte; the figure is the
//    processor time of this process (user + system, every thread) over the wall time, which
//    shows whether the wait blocks or spins. cartel-virtual's own time is not in it.
//  - BM_Suelo_SinQt/D: the machine's floor for one exchange with an echo D ms late, plain
//    system calls without Qt; every exchange benchmark reports x_suelo, its time per exchange
//    over that floor, since absolute figures differ from machine to machine.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
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
#include <vector>

#include "platform/qt_event_pump.h"
#include "platform/qt_serial_link.h"
#include "signlink/puerto_serie.h"
#include "signlink/recording_log.h"

extern char** environ;

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

double WallSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

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

#ifdef LETRADOR_CARTEL_VIRTUAL_PATH
// cartel-virtual as a child process, linked as a file of a scratch folder; its first line on
// standard output is its device.
class CartelVirtual {
  public:
    explicit CartelVirtual(const std::vector<std::string>& faults) {
        char templ[] = "/tmp/bench_serial-XXXXXX";
        if (!::mkdtemp(templ)) return;
        folder_ = templ;
        std::vector<std::string> all{LETRADOR_CARTEL_VIRTUAL_PATH, "--enlace", folder_ + "/COM1"};
        all.insert(all.end(), faults.begin(), faults.end());
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        if (::posix_spawn(&pid_, all[0].c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        std::string line;
        while (pid_ > 0 && line.find('\n') == std::string::npos) {
            pollfd p{fds[0], POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0) break;
            char buf[256];
            const ssize_t n = ::read(fds[0], buf, sizeof buf);
            if (n <= 0) break;
            line.append(buf, static_cast<std::size_t>(n));
        }
        out_ = fds[0];
        if (line.find('\n') != std::string::npos) device_ = line.substr(0, line.find('\n'));
    }
    ~CartelVirtual() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
        if (!folder_.empty()) ::rmdir(folder_.c_str());
    }
    bool ok() const { return !device_.empty(); }
    const std::string& slave() const { return device_; }

  private:
    std::string folder_;
    pid_t pid_ = -1;
    int out_ = -1;
    std::string device_;
};
#endif

// The machine's floor for one exchange with an echo that answers after `delay`: plain
// stop-and-wait over a pty without Qt (write one byte, drain, poll, read the echo that a
// thread sends back).
class FloorProbe {
  public:
    explicit FloorProbe(std::chrono::milliseconds delay) : sign_(delay) {
        if (!sign_.ok()) return;
        fd_ = ::open(sign_.slave().c_str(), O_RDWR | O_NOCTTY);
        if (fd_ < 0) return;
        termios t{};
        ::tcgetattr(fd_, &t);
        ::cfmakeraw(&t);
        ::cfsetispeed(&t, B9600);
        ::cfsetospeed(&t, B9600);
        ::tcsetattr(fd_, TCSANOW, &t);
    }
    ~FloorProbe() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    // One exchange; its wall time in seconds, or a negative value when it failed.
    double exchange() {
        const double start = WallSeconds();
        unsigned char echo = 0;
        if (::write(fd_, &byte_, 1) != 1 || ::tcdrain(fd_) != 0) return -1;
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 1000) != 1 || ::read(fd_, &echo, 1) != 1 || echo != byte_) return -1;
        ++byte_;
        return WallSeconds() - start;
    }

  private:
    PtyEcho sign_;
    int fd_ = -1;
    unsigned char byte_ = 0;
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

// Exchanges over `device`; `recording` first makes the opening handshakes (attention, model,
// attention, start), after which a compatible sign echoes every byte. Each exchange of the
// program's stack is followed by one of the floor with the same answer delay, so that both meet
// the same load of the machine; only the stack's exchanges are timed.
void RunExchanges(benchmark::State& state, const std::string& device, bool recording,
                  std::chrono::milliseconds delay) {
    FloorProbe floor(delay);
    Stack stack(device);
    if (!stack.opened || !floor.ok()) {
        state.SkipWithError(("the pty does not open: " + stack.reason).c_str());
        return;
    }
    if (recording && !(stack.puerto.EnviarLeer(CodAtencion) == CodAcuse &&
                       stack.puerto.EnviarLeer(CodModelo) == ModeloCartel &&
                       stack.puerto.EnviarLeer(CodAtencion) == CodAcuse &&
                       stack.puerto.EnviarLeer(CodGrabar) == CodAcuse)) {
        state.SkipWithError("the sign did not accept the recording");
        return;
    }
    std::uint8_t b = 0;
    long long failed = 0;
    double wall = 0, cpu = 0, floorWall = 0;
    for (auto _ : state) {
        const double cpu0 = ProcessCpuSeconds();
        const double wall0 = WallSeconds();
        if (!stack.puerto.EnviarComparar(b)) ++failed;
        const double took = WallSeconds() - wall0;
        cpu += ProcessCpuSeconds() - cpu0;
        wall += took;
        state.SetIterationTime(took);
        b = static_cast<std::uint8_t>(b + 1);
        const double f = floor.exchange();
        if (f < 0) ++failed;
        floorWall += f;
    }
    if (failed > 0 || stack.log.lines > 0 || stack.puerto.ErrorGrabacion) {
        state.SkipWithError("an exchange timed out or was echoed wrong");
        return;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["intercambios/s"] = wall > 0 ? n / wall : 0.0;
    state.counters["cpu_%"] = wall > 0 ? 100.0 * cpu / wall : 0.0;
    state.counters["cpu_us/intercambio"] = n > 0 ? 1e6 * cpu / n : 0.0;
    state.counters["suelo_us"] = n > 0 ? 1e6 * floorWall / n : 0.0;
    state.counters["x_suelo"] = floorWall > 0 ? wall / floorWall : 0.0;
}

void WithThread(benchmark::State& state, std::chrono::milliseconds delay) {
    App();
    PtyEcho sign(delay);
    if (!sign.ok()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    RunExchanges(state, sign.slave(), false, delay);
}

constexpr int kDelayedIterations = 60;

// The floor alone, as its own line of the report.
void BM_Suelo_SinQt(benchmark::State& state) {
    FloorProbe floor(std::chrono::milliseconds(state.range(0)));
    if (!floor.ok()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    for (auto _ : state) {
        const double took = floor.exchange();
        if (took < 0) {
            state.SkipWithError("the echo did not come back");
            return;
        }
        state.SetIterationTime(took);
    }
}
BENCHMARK(BM_Suelo_SinQt)->Arg(0)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);

void BM_EnviarComparar_Inmediato_Hilo(benchmark::State& state) {
    WithThread(state, std::chrono::milliseconds(0));
}
BENCHMARK(BM_EnviarComparar_Inmediato_Hilo)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(2.0);

void BM_EnviarComparar_Demora50ms_Hilo(benchmark::State& state) {
    WithThread(state, std::chrono::milliseconds(50));
}
BENCHMARK(BM_EnviarComparar_Demora50ms_Hilo)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kDelayedIterations);

#ifdef LETRADOR_CARTEL_VIRTUAL_PATH
void WithCartelVirtual(benchmark::State& state, const std::vector<std::string>& faults,
                       std::chrono::milliseconds delay) {
    App();
    CartelVirtual sign(faults);
    if (!sign.ok()) {
        state.SkipWithError("cartel-virtual did not start");
        return;
    }
    RunExchanges(state, sign.slave(), true, delay);
}

void BM_EnviarComparar_Inmediato_CartelVirtual(benchmark::State& state) {
    WithCartelVirtual(state, {}, std::chrono::milliseconds(0));
}
BENCHMARK(BM_EnviarComparar_Inmediato_CartelVirtual)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(2.0);

void BM_EnviarComparar_Demora50ms_CartelVirtual(benchmark::State& state) {
    // Every byte after the four of the opening is answered 50 ms late.
    std::vector<std::string> faults;
    for (int n = 4; n < 4 + kDelayedIterations + 8; ++n) {
        faults.push_back("--tarde");
        faults.push_back(std::to_string(n) + ":50");
    }
    WithCartelVirtual(state, faults, std::chrono::milliseconds(50));
}
BENCHMARK(BM_EnviarComparar_Demora50ms_CartelVirtual)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kDelayedIterations);
#endif

}  // namespace

BENCHMARK_MAIN();
