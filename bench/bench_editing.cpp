// Editing costs on the paragraphs that fill the sign, with the shipped fonts:
//
//  - BM_ContarColumnas/<font>: a text of exactly 2046 columns (letters, spaces and tags).
//  - BM_ContarColumnas_SoloEtiquetas: 2046 tags "<4>", the longest text that still fits
//    (6138 characters, each tag one column).
//  - BM_ContarColumnas_FuenteGrande/<MiB>: a font file of that many MiB, read afresh on every
//    iteration, and a text counted with it; the character it draws last is in its last record.
//    maxrss_MiB is the process's peak resident memory, which the font's size does not raise.
//  - BM_Rehighlight_*: QTextDocument with the editor's TagHighlighter, rehighlight() of the whole
//    text; the same texts, plus the tags-only one in the editor widget itself (laid out).
//
// Run: build-X/bench/bench_editing  (QT_QPA_PLATFORM=offscreen is set by the program).
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <cstdio>
#include <optional>
#include <string>

#include "app/led_preview.h"
#include "message/font_file.h"
#include "message/sign_preview.h"
#include "message/tag_highlighter.h"

namespace {

using namespace letrador;

constexpr Int16 kCapacity = 2046;
constexpr Int16 kSpaceWidth = 3;
constexpr Int16 kSeparation = 1;

QApplication& App() {
    static int argc = 1;
    static char name[] = "bench_editing";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        return new QApplication(argc, argv);
    }();
    return *app;
}

std::string FontPath(const char* name) {
    return std::string(LETRADOR_FONT_DIR) + "/" + name + ".ffv";
}

// A Spanish text repeated until the next character would pass the sign's capacity, then filled
// up to exactly 2046 columns with one-column tags.
std::u32string FullParagraph(const std::string& font) {
    const std::u32string phrase =
        U"<4>BIENVENIDOS A LA FERRETERIA DON JOSE. <2>Abierto de 8 a 20 hs, sabados hasta "
        U"las 13. <0>OFERTAS<3> en pinturas y herramientas! ";
    std::u32string text;
    Int16 count = 0;
    for (std::size_t i = 0;; ++i) {
        std::u32string next = text;
        const char32_t c = phrase[i % phrase.size()];
        if (c == U'<') {
            next += phrase.substr(i % phrase.size(), 3);
            i += 2;
        } else {
            next += c;
        }
        const Int16 n = ContarColumnas(next, font, kSeparation, kSpaceWidth);
        if (n > kCapacity) break;
        text = std::move(next);
        count = n;
    }
    for (; count < kCapacity; ++count) text += U"<4>";
    return text;
}

std::u32string TagsOnly() {
    std::u32string text;
    for (int i = 0; i < kCapacity; ++i) text += U"<4>";
    return text;
}

void CheckFits(benchmark::State& state, const std::u32string& text, const std::string& font) {
    const Int16 n = ContarColumnas(text, font, kSeparation, kSpaceWidth);
    if (n != kCapacity) state.SkipWithError("the paragraph does not take exactly 2046 columns");
    state.counters["caracteres"] = static_cast<double>(text.size());
}

void BM_ContarColumnas(benchmark::State& state, const char* fontName) {
    const std::string font = FontPath(fontName);
    const std::u32string text = FullParagraph(font);
    CheckFits(state, text, font);
    for (auto _ : state) {
        benchmark::DoNotOptimize(ContarColumnas(text, font, kSeparation, kSpaceWidth));
    }
}
BENCHMARK_CAPTURE(BM_ContarColumnas, normal, "normal")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ContarColumnas, negrita, "negrita")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ContarColumnas, angosta, "angosta")->Unit(benchmark::kMicrosecond);

void BM_ContarColumnas_SoloEtiquetas(benchmark::State& state) {
    const std::string font = FontPath("normal");
    const std::u32string text = TagsOnly();
    CheckFits(state, text, font);
    for (auto _ : state) {
        benchmark::DoNotOptimize(ContarColumnas(text, font, kSeparation, kSpaceWidth));
    }
}
BENCHMARK(BM_ContarColumnas_SoloEtiquetas)->Unit(benchmark::kMicrosecond);

// A font of `mib` MiB: one record for «A», then records whose one-byte key repeats one already
// seen (they draw nothing), and a record for «Z» at the very end.
std::string LargeFont(int mib) {
    const std::string path = "/tmp/bench_editing_fuente_" + std::to_string(mib) + ".ffv";
    std::string record(24, '\0'), block;
    record[0] = 1;
    record[2] = 'A';
    record[3] = 0x7F;
    const std::size_t records = static_cast<std::size_t>(mib) * 1024 * 1024 / 24;
    for (int i = 0; i < 4096; ++i) block += record;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    for (std::size_t done = 1; done + 4096 < records; done += 4096) std::fwrite(block.data(), 1, block.size(), f);
    record[2] = 'Z';
    std::fwrite(record.data(), 1, record.size(), f);
    std::fclose(f);
    return path;
}

void BM_ContarColumnas_FuenteGrande(benchmark::State& state) {
    const std::string font = LargeFont(static_cast<int>(state.range(0)));
    struct stat info {};
    ::stat(font.c_str(), &info);
    for (auto _ : state) {
        state.PauseTiming();
        ::chmod(font.c_str(), info.st_mode & 07777);  // a new inode change time: read again
        state.ResumeTiming();
        if (ContarColumnas(U"AZ AZ", font, kSeparation, kSpaceWidth) != 2 * (2 + 2) + kSpaceWidth)
            state.SkipWithError("the last record was not read");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * info.st_size);
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["maxrss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    ::unlink(font.c_str());
}
BENCHMARK(BM_ContarColumnas_FuenteGrande)->Arg(64)->Arg(600)->Unit(benchmark::kMillisecond)->Iterations(3);

void Rehighlight(benchmark::State& state, const std::u32string& text) {
    App();
    QTextDocument document;
    document.setPlainText(QString::fromStdU32String(text));
    TagHighlighter highlighter(&document);
    state.counters["caracteres"] = static_cast<double>(text.size());
    for (auto _ : state) highlighter.rehighlight();
}

void BM_Rehighlight_Texto(benchmark::State& state) {
    Rehighlight(state, FullParagraph(FontPath("angosta")));
}
BENCHMARK(BM_Rehighlight_Texto)->Unit(benchmark::kMicrosecond);

void BM_Rehighlight_SoloEtiquetas(benchmark::State& state) { Rehighlight(state, TagsOnly()); }
BENCHMARK(BM_Rehighlight_SoloEtiquetas)->Unit(benchmark::kMicrosecond);

// The editor as the window has it: a laid-out QPlainTextEdit, so the re-highlight also redoes
// the layout of the block.
void BM_Rehighlight_EnEditor_SoloEtiquetas(benchmark::State& state) {
    App();
    QPlainTextEdit editor;
    editor.resize(480, 200);
    editor.setPlainText(QString::fromStdU32String(TagsOnly()));
    TagHighlighter highlighter(editor.document());
    editor.show();
    QApplication::processEvents();
    for (auto _ : state) {
        highlighter.rehighlight();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_Rehighlight_EnEditor_SoloEtiquetas)->Unit(benchmark::kMicrosecond);

// One keystroke in the editor as the window has it: a character typed at the end of the
// paragraph, then the re-highlight, the layout and the paint that follow it.
void Keystroke(benchmark::State& state, const std::u32string& text, bool highlighted = true) {
    App();
    QPlainTextEdit editor;
    editor.resize(480, 200);
    editor.setPlainText(QString::fromStdU32String(text));
    std::optional<TagHighlighter> highlighter;
    if (highlighted) highlighter.emplace(editor.document());
    editor.show();
    QApplication::processEvents();
    QTextCursor cursor = editor.textCursor();
    cursor.movePosition(QTextCursor::End);
    editor.setTextCursor(cursor);
    for (auto _ : state) {
        editor.insertPlainText(QStringLiteral("x"));
        QApplication::processEvents();
        state.PauseTiming();
        editor.textCursor().deletePreviousChar();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["caracteres"] = static_cast<double>(text.size());
}
void BM_Tecla_EnEditor_Texto(benchmark::State& state) {
    Keystroke(state, FullParagraph(FontPath("angosta")));
}
BENCHMARK(BM_Tecla_EnEditor_Texto)->Unit(benchmark::kMicrosecond);
void BM_Tecla_EnEditor_SoloEtiquetas(benchmark::State& state) { Keystroke(state, TagsOnly()); }
BENCHMARK(BM_Tecla_EnEditor_SoloEtiquetas)->Unit(benchmark::kMicrosecond);
// The same keystroke in an editor without highlighting: what Qt's own layout and paint cost.
void BM_Tecla_EnEditor_SoloEtiquetas_SinResaltar(benchmark::State& state) {
    Keystroke(state, TagsOnly(), false);
}
BENCHMARK(BM_Tecla_EnEditor_SoloEtiquetas_SinResaltar)->Unit(benchmark::kMicrosecond);

// The LED preview after a keystroke on a paragraph that fills the sign: the preview recomputed
// (one character more), handed to the strip, and the part in view painted.
void BM_VistaPrevia_Tecla(benchmark::State& state) {
    App();
    const std::string font = FontPath("angosta");
    const std::u32string text = FullParagraph(font);
    LedPreview preview;
    preview.resize(480, 120);
    preview.show();
    SignPreviewCache cache;
    bool longer = false;
    for (auto _ : state) {
        longer = !longer;
        cache.update(longer ? text + U"x" : text, font, kSeparation, kSpaceWidth);
        preview.setPreview(cache.preview());
        preview.setTotal(cache.preview().count, kCapacity);
        preview.repaint();
    }
    state.counters["columnas"] = static_cast<double>(cache.preview().columns.size());
}
BENCHMARK(BM_VistaPrevia_Tecla)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
