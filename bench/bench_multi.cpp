// The same message recorded into 1 and into 8 signs at once, each sign a cartel-virtual process
// on its own pseudo-terminal that answers every byte 2 ms late, each recording on a thread of its
// own (MultiRecording over QtLinkThread). The figure is the wall time of the whole recording,
// from the first opening to the last verdict; at the end the program prints the ratio of 8 to 1.
//
//   cmake --build build --target bench_multi && build/bench/bench_multi
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/qt_link_thread.h"
#include "signlink/recording_engine.h"

extern char** environ;

namespace {

using namespace letrador;

constexpr int kDemoraMs = 2;
// Bytes of the sign's life answered late: more than one recording of Mensaje() sends (4000
// late bytes would take 8 s, far more than one recording lasts).
constexpr int kBytesDemorados = 4000;

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "bench_multi";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// cartel-virtual linked as FOLDER/COMn, every byte answered kDemoraMs late.
class CartelVirtual {
  public:
    CartelVirtual(const std::string& folder, int port) {
        link_ = folder + "/COM" + std::to_string(port);
        std::vector<std::string> all{LETRADOR_CARTEL_VIRTUAL_PATH, "--enlace", link_};
        for (int n = 0; n < kBytesDemorados; ++n) {
            all.push_back("--tarde");
            all.push_back(std::to_string(n) + ":" + std::to_string(kDemoraMs));
        }
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
        out_ = fds[0];
        // Its first line says the pseudo-terminal is there.
        std::string line;
        while (pid_ > 0 && line.find('\n') == std::string::npos) {
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0) break;
            char buf[256];
            const ssize_t n = ::read(out_, buf, sizeof buf);
            if (n <= 0) break;
            line.append(buf, static_cast<std::size_t>(n));
        }
        ok_ = line.find('\n') != std::string::npos;
    }
    ~CartelVirtual() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
    }
    bool ok() const { return ok_; }

  private:
    std::string link_;
    pid_t pid_ = -1;
    int out_ = -1;
    bool ok_ = false;
};

std::vector<ParrafoAGrabar> Mensaje() {
    const std::string font = std::string(LETRADOR_FONT_DIR) + "/normal.ffv";
    return {{U"<4>Bienvenidos al banco", font, 1, false},
            {U"Atención de 8 a 13 hs.<2>", font, 1, false},
            {U"<5>Turnos por la web<7>", font, 1, false},
            {U"Pague sus impuestos aquí<3>", font, 1, false},
            {U"<6>Cajeros automáticos 24 hs.", font, 1, false},
            {U"Gracias por su visita<A>", font, 1, false}};
}

std::map<int, double> g_secondsPerRecording;

void BM_VariosCarteles(benchmark::State& state) {
    App();
    const int signs = static_cast<int>(state.range(0));
    char templ[] = "/tmp/bench_multi-XXXXXX";
    if (!::mkdtemp(templ)) {
        state.SkipWithError("no scratch folder");
        return;
    }
    const std::string folder = templ;
    std::vector<std::string> puertos;
    for (int k = 1; k <= signs; ++k) puertos.push_back(std::to_string(k));
    const WholeMessage message{Mensaje(), false, 3};
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::unique_ptr<CartelVirtual>> carteles;
        for (int k = 1; k <= signs; ++k) {
            carteles.push_back(std::make_unique<CartelVirtual>(folder, k));
            if (!carteles.back()->ok()) {
                state.SkipWithError("cartel-virtual did not start");
                return;
            }
        }
        RecordingEngine engine(platform::QtLinkThread::maker(
            [folder](int n) { return folder + "/COM" + std::to_string(n); }));
        bool allClean = false;
        state.ResumeTiming();
        const auto t0 = std::chrono::steady_clock::now();
        auto run = engine.start({message, puertos}, [&allClean](const RecordingEvent& e) {
            if (const auto* end = std::get_if<event::JobEnded>(&e)) {
                allClean = std::all_of(end->verdicts.begin(), end->verdicts.end(),
                                       [](Verdict v) { return v == Verdict::Clean; });
            }
        });
        run->wait();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.PauseTiming();
        if (!allClean) {
            state.SkipWithError("a sign's recording had errors");
            return;
        }
        carteles.clear();
        state.ResumeTiming();
    }
    ::rmdir(folder.c_str());
    g_secondsPerRecording[signs] = total / static_cast<double>(state.iterations());
    state.counters["carteles"] = signs;
}
BENCHMARK(BM_VariosCarteles)
    ->Arg(1)
    ->Arg(8)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_secondsPerRecording.count(1) && g_secondsPerRecording.count(8)) {
        std::printf("8 carteles: %.3f s, 1 cartel: %.3f s, razón 8/1: %.2f\n",
                    g_secondsPerRecording[8], g_secondsPerRecording[1],
                    g_secondsPerRecording[8] / g_secondsPerRecording[1]);
    }
    return 0;
}
