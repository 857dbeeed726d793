// letrador-servicio: requests per second that its pages answer (a process on the loopback,
// clients on threads of their own, keep-alive connections), and the time to draw the LED
// picture of a paragraph that fills the sign (preview, picture, PNG).
//
//   cmake --build build --target bench_servicio && build/bench/bench_servicio
#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>

#include "message/sign_preview.h"
#include "service/led_picture.h"
#include "tests/service/service_rig.h"

namespace {

using namespace letrador;

// "Letrador" repeated until the paragraph holds the sign's 2046 columns.
std::u32string FullSignText(const std::string& font) {
    std::u32string text;
    while (ComputeSignPreview(text + U"Letrador ", font, 1, 3).count <= 2046) text += U"Letrador ";
    return text;
}

void BM_FullSignPicture(benchmark::State& state) {
    const std::string font = std::string(LETRADOR_FONT_DIR) + "/normal.ffv";
    const std::u32string text = FullSignText(font);
    std::size_t bytes = 0;
    for (auto _ : state) {
        const SignPreview preview = ComputeSignPreview(text, font, 1, 3);
        const std::string png = service::EncodePng(service::DrawSignPicture(preview));
        bytes = png.size();
        benchmark::DoNotOptimize(png.data());
    }
    state.counters["columnas"] = ComputeSignPreview(text, font, 1, 3).count;
    state.counters["bytes_png"] = static_cast<double>(bytes);
}
BENCHMARK(BM_FullSignPicture)->Unit(benchmark::kMillisecond);

// Each of `clients` threads asks for `path` again and again on its own connection.
void Requests(benchmark::State& state, const char* path) {
    testing::ServiceRig rig;
    rig.setPassword();
    if (!rig.start()) {
        state.SkipWithError("letrador-servicio no arrancó");
        return;
    }
    std::string csrf;
    const auto headers = rig.signIn(csrf);
    const int clients = static_cast<int>(state.range(0));
    std::atomic<long> answered{0}, failed{0};
    for (auto _ : state) {
        std::vector<std::thread> threads;
        for (int c = 0; c < clients; ++c)
            threads.emplace_back([&] {
                auto client = rig.client();
                for (int k = 0; k < 50; ++k) {
                    const auto r = client->Get(path, headers);
                    (r && r->status == 200 ? answered : failed)++;
                }
            });
        for (auto& t : threads) t.join();
    }
    state.SetItemsProcessed(answered.load());
    state.counters["fallidos"] = static_cast<double>(failed.load());
}
void BM_StatusPage(benchmark::State& state) { Requests(state, "/estado"); }
void BM_ParagraphPicture(benchmark::State& state) { Requests(state, "/mensajes/imagen?m=horario.fmv&p=1"); }
void BM_Static(benchmark::State& state) { Requests(state, "/estatico/estilo.css"); }
BENCHMARK(BM_Static)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StatusPage)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ParagraphPicture)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
