// The same message recorded into 1, 8 and 64 signs at once, each sign a cartel-virtual process
// on its own pseudo-terminal that answers every byte 2 ms late, each recording on a thread of its
// own (one job of the recording engine over QtLinkThread). The figure is the wall time of the
// whole recording, from the first opening to the last verdict; at the end the program prints the
// ratios of 8 and of 64 to 1.
//
//   cmake --build build --target bench_multi && build/bench/bench_multi
#include <benchmark/benchmark.h>

#include <stdlib.h>
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

#include "bench/cartel_virtual_process.h"
#include "platform/qt_link_thread.h"
#include "signlink/recording_engine.h"

namespace {

using namespace letrador;
using letrador::bench::CartelVirtual;

constexpr int kDemoraMs = 2;

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "bench_multi";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

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
            carteles.push_back(std::make_unique<CartelVirtual>(folder, k, kDemoraMs));
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
    ->Arg(64)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (int many : {8, 64}) {
        if (!g_secondsPerRecording.count(1) || !g_secondsPerRecording.count(many)) continue;
        std::printf("%d carteles: %.3f s, 1 cartel: %.3f s, razón %d/1: %.2f\n", many,
                    g_secondsPerRecording[many], g_secondsPerRecording[1], many,
                    g_secondsPerRecording[many] / g_secondsPerRecording[1]);
    }
    return 0;
}
