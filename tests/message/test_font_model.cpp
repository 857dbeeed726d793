// The shipped fonts' sources, the font held for editing (what it shows and keeps, its edits as
// the font lookup reads them, a font saved unchanged coming back byte for byte), and glyphs cut
// from a drawing into dots.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "message/font_model.h"
#include "message/glyph_cut.h"
#include "tests/support/odd_fonts.h"
#include "tests/support/shipped_fonts.h"
#include "tools/fontc/font_source.h"

namespace letrador::testing {
namespace {

std::string Bytes(const std::vector<SampleGlyph>& glyphs, const std::string& tail = {}) {
    std::string out;
    for (const auto& g : glyphs) out += FontRecordBytes(g);
    return out + tail;
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(FontSources, CompileToTheShippedBytesAndDrawEverySpanishCharacterWithinSevenDots) {
    std::u32string needed = U"¡¿ºª°€ÁÉÍÓÚÜÑáéíóúüñ";
    for (char32_t c = 0x21; c <= 0x7E; ++c) needed += c;
    const struct {
        const char* name;
        int minWidth, maxWidth;  // of a capital letter or digit
    } fonts[] = {{"normal", 5, 5}, {"negrita", 6, 7}, {"angosta", 3, 4}};
    for (const auto& font : fonts) {
        SCOPED_TRACE(font.name);
        const std::filesystem::path built = std::filesystem::path(LETRADOR_BINARY_DIR) / "work" / "tipografias" / (std::string(font.name) + ".ffv");
        const auto compiled = fontc::CompileFontSource(
            ReadAll(std::filesystem::path(LETRADOR_SOURCE_DIR) / "data" / "fonts" / (std::string(font.name) + ".txt")));
        ASSERT_TRUE(compiled.ok) << "línea " << compiled.line << ": " << compiled.error;
        ASSERT_EQ(compiled.bytes.size() % kFontRecordSize, 0u);
        EXPECT_EQ(compiled.bytes, ReadAll(built));
        // The dumped form compiles to the same bytes and is a fixed point.
        const std::string dumped = fontc::DumpFontFile(compiled.bytes);
        const auto again = fontc::CompileFontSource(dumped);
        ASSERT_TRUE(again.ok) << "línea " << again.line << ": " << again.error;
        EXPECT_EQ(again.bytes, compiled.bytes);
        EXPECT_EQ(fontc::DumpFontFile(again.bytes), dumped);
        const auto data = LoadFont(built.string());
        for (char32_t c : needed) {
            SCOPED_TRACE(static_cast<unsigned>(c));
            const Int16 n = data->find(c);
            ASSERT_GT(n, 0);
            const RegistroCaracter& r = *data->record(c);
            EXPECT_GT(GlyphWidth(r), 0);
            for (Int16 column : r.Columna) EXPECT_TRUE(column >= 0 && column < 0x80) << column;
            if (std::u32string_view(U"AHMN08").find(c) == std::u32string_view::npos) continue;
            EXPECT_GE(GlyphWidth(r), font.minWidth);
            EXPECT_LE(GlyphWidth(r), font.maxWidth);
        }
    }
}

TEST(FontModelTest, EveryFontComesBackByteForByteAndShowsOnlyItsPlainFirstRecords) {
    std::vector<OddFont> fonts = OddFonts();
    for (const auto& path : ShippedFonts()) {
        std::ifstream in(path, std::ios::binary);
        fonts.push_back({path.filename().string(), std::string(std::istreambuf_iterator<char>(in), {}), -1, 0});
    }
    for (const OddFont& f : fonts) {
        SCOPED_TRACE(f.name);
        ASSERT_FALSE(f.bytes.empty());
        const FontModel m = FontModel::FromBytes(f.bytes);
        EXPECT_EQ(m.bytes(), f.bytes);
        EXPECT_EQ(m.oddRecords(), f.odd);
        if (f.shown >= 0) {
            EXPECT_EQ(static_cast<int>(m.characters().size()), f.shown);
        }
        // The characters shown are the ones the font lookup finds, with the dots it reads.
        const FontData data = DecodeFont(f.bytes);
        const std::vector<char32_t> shown = m.characters();
        EXPECT_EQ(std::u32string(shown.begin(), shown.end()), data.characters());
        for (char32_t ch : shown) {
            ASSERT_NE(data.record(ch), nullptr);
            EXPECT_EQ(m.dots(ch), data.record(ch)->Columna);
        }
    }
}

TEST(FontModelTest, EditsReadBackThroughTheFontLookupWithTheirWidths) {
    FontModel m = FontModel::FromBytes(Bytes({{"A", {0x7E, 0x09, 0x09, 0x7E}}, {"A", {0x01}}}));
    ASSERT_EQ(m.add(U'€'), FontModel::AddResult::Added);
    EXPECT_TRUE(m.setDot(U'€', 0, 3, true));
    EXPECT_TRUE(m.setDot(U'€', 6, 6, true));
    EXPECT_TRUE(m.setDot(U'A', 3, 1, false));  // 0x7E -> 0x7C
    EXPECT_FALSE(m.setDot(U'€', 10, 0, true));
    EXPECT_FALSE(m.setDot(U'€', 0, 7, true));
    ASSERT_EQ(m.add(U'B'), FontModel::AddResult::Added);
    EXPECT_TRUE(m.copy(U'€', U'B'));
    const FontData data = m.data();
    const struct {
        char32_t ch;
        int record;
        GlyphDots dots;
        int width;
    } wants[] = {{U'A', 1, {0x7E, 0x09, 0x09, 0x7C}, 4}, {U'€', 3, {0x08, 0, 0, 0, 0, 0, 0x40}, 7},
                 {U'B', 4, {0x08, 0, 0, 0, 0, 0, 0x40}, 7}};
    for (const auto& w : wants) {
        SCOPED_TRACE(static_cast<int>(w.ch));
        ASSERT_EQ(data.find(w.ch), w.record);
        const RegistroCaracter& r = *data.record(w.ch);
        EXPECT_EQ(r.Columna, w.dots);
        EXPECT_EQ(GlyphWidth(r), w.width);
        EXPECT_EQ(m.width(w.ch), w.width);
    }
    EXPECT_EQ(data.recordCount(), 4u);
    EXPECT_EQ(data.record(U'€')->Caracter, "\x80");  // € is byte 0x80 in Windows-1252
    // A trailing piece that draws a character is shown, and becomes a whole record when changed.
    m = FontModel::FromBytes(Bytes({{"A", {1}}}, std::string("\x01\x00Z\x7F", 4)));
    ASSERT_EQ(m.dots(U'Z'), GlyphDots{0x7F});
    ASSERT_EQ(m.add(U'B'), FontModel::AddResult::Added);  // a new record goes before the piece
    EXPECT_TRUE(m.setDot(U'Z', 1, 0, true));
    EXPECT_EQ(m.bytes(), Bytes({{"A", {1}}, {"B", {}}, {"Z", {0x7F, 0x01}}}));
}

TEST(FontModelTest, AddingAndRemovingCharacters) {
    // A second «A» is kept but never shown; «x» sits under a two-byte key, which is no «x».
    FontModel m = FontModel::FromBytes(Bytes({{"A", {1}}, {"A", {2}}, {"xy", {3}}}));
    using R = FontModel::AddResult;
    const std::pair<char32_t, R> cases[] = {{U'A', R::AlreadyThere}, {U'→', R::NotInCodePage}, {U'–', R::Added},
                                            {U'x', R::Added}, {U'–', R::AlreadyThere}};
    for (auto [ch, result] : cases) {
        EXPECT_EQ(m.add(ch), result) << static_cast<int>(ch);
        EXPECT_EQ(AddRefusal(result, ch).empty(), result == R::Added);
    }
    EXPECT_EQ(m.characters(), (std::vector<char32_t>{U'A', U'–', U'x'}));
    // Removing a character lets its next record be the one found.
    m = FontModel::FromBytes(Bytes({{"A", {1}}, {"B", {2}}, {"A", {3}}}, "\x01\x02"));
    EXPECT_EQ(m.oddRecords(), 2);
    ASSERT_TRUE(m.remove(U'A'));
    EXPECT_EQ(m.characters(), (std::vector<char32_t>{U'B', U'A'}));
    EXPECT_EQ(m.dots(U'A')[0], 3);
    EXPECT_EQ(m.oddRecords(), 1);
    EXPECT_EQ(m.bytes(), Bytes({{"B", {2}}, {"A", {3}}}, "\x01\x02"));
    EXPECT_FALSE(m.remove(U'C'));
}

// A drawing of `width` x `height` pixels, 2 pixels a dot, inked (255) in the rectangle given.
InkImage Drawing(int width, int height, double baseline, int left, int top, int right, int bottom) {
    InkImage image{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width * height), 0), baseline, 2};
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) image.ink[static_cast<std::size_t>(y * width + x)] = 255;
    return image;
}

TEST(GlyphCutTest, TheInkIsPlacedOnTheSignsRows) {
    InkImage half = Drawing(2, 16, 14, 0, 12, 1, 13);  // one dot, its cell half inked
    half.ink[25] = half.ink[26] = 0;  // two pixels of four, across
    const struct {
        const char* what;
        InkImage image;
        int threshold, tallest;
        GlyphDots dots;
        double height;
    } cases[] = {
        {"a bar on the baseline", Drawing(2, 16, 14, 0, 2, 1, 13), 50, 7, {0x7E}, 6},
        {"a descender lifts it", Drawing(2, 16, 14, 0, 6, 1, 15), 50, 7, {0x7C}, 5},
        {"an accent above the rows lowers it", Drawing(2, 24, 22, 0, 0, 1, 5), 50, 7, {0x07}, 3},
        {"too tall: shrunk", Drawing(2, 28, 28, 0, 0, 1, 27), 50, 7, {0x7F}, 14},
        {"too tall for 3 rows", Drawing(2, 16, 14, 0, 2, 1, 13), 50, 3, {0x70}, 6},
        {"too wide: ten columns", Drawing(30, 16, 14, 0, 12, 29, 13), 50,
         7, {0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40}, 1},
        {"two columns from the first inked", Drawing(8, 16, 14, 4, 10, 7, 13), 50, 7, {0x60, 0x60}, 2},
        {"half inked at 50%", half, 50, 7, {0x40}, 1},
        {"half inked at 51%", half, 51, 7, {}, 1},
        {"no ink", Drawing(4, 4, 4, 0, 0, -1, -1), 50, 7, {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(CutGlyph(c.image, c.threshold, c.tallest), c.dots);
        EXPECT_EQ(InkHeight(c.image), c.height);
    }
    // With the baseline below the drawing, the rows under it stay dark: nothing past the
    // drawing is read, even where the memory after it holds ink.
    InkImage above = Drawing(2, 15, 16, 0, 2, 1, 14);
    above.height = 14;
    above.ink.resize(28);
    EXPECT_EQ(CutGlyph(above, 50), GlyphDots{0x3F});
}

TEST(GlyphCutTest, StylesAreSortedWithTheRegularOneFirst) {
    using V = std::vector<std::string>;
    const std::pair<std::vector<FontStyle>, V> cases[] = {
        {{{"Oblique", 400, true}, {"Condensed", 400, false}, {"Bold", 700, false}, {"ExtraLight", 200, false},
          {"Book", 400, false}},
         {"Book", "Bold", "Condensed", "ExtraLight", "Oblique"}},
        {{{"Italic", 400, true}, {"Medium", 500, false}, {"Thin", 100, false}}, {"Medium", "Italic", "Thin"}},
        {{{"Bold Italic", 700, true}, {"Bold", 700, false}}, {"Bold", "Bold Italic"}},
        {{}, {}},
    };
    for (const auto& [styles, sorted] : cases) EXPECT_EQ(SortedStyles(styles), sorted);
}

TEST(GlyphCutTest, GlyphsThatCameOutTheSameAreCutAgainShorter) {
    std::vector<char32_t> cuts;
    auto cut = [&](char32_t ch, int tallest) {
        cuts.push_back(ch);
        return ch == U'l' && tallest < 6 ? GlyphDots{0x3E} : GlyphDots{0x7F};  // «l» differs at 5 rows
    };
    std::vector<CutResult> glyphs = {{U'I', {0x7F}, 6.0}, {U'l', {0x7F}, 5.5}, {U'o', {0x70}, 3.0}};
    TellApart(glyphs, cut);
    EXPECT_EQ(cuts, (std::vector<char32_t>{U'l', U'l'}));
    EXPECT_EQ(glyphs[1].tallest, 5);
    EXPECT_EQ(glyphs[1].dots, GlyphDots{0x3E});
    EXPECT_EQ(glyphs[0].tallest, 7);
    EXPECT_EQ(glyphs[0].dots, GlyphDots{0x7F});
    // Two that never come apart end at one row.
    glyphs = {{U'a', {0x01}, 2.0}, {U'b', {0x01}, 1.0}};
    TellApart(glyphs, [](char32_t, int) { return GlyphDots{0x01}; });
    EXPECT_EQ(glyphs[1].tallest, 1);
    EXPECT_EQ(glyphs[0].tallest, 7);
    // Only the glyphs given are compared, even where the memory after them holds a look-alike.
    glyphs = {{U'x', {0x05}, 3.0}, {U'y', {0x05}, 4.0}, {U'z', {0x05}, 1.0}};
    glyphs.pop_back();
    cuts.clear();
    TellApart(glyphs, [&](char32_t ch, int) { return cuts.push_back(ch), GlyphDots{0x06}; });
    EXPECT_EQ(cuts, std::vector<char32_t>{U'x'});
}

}  // namespace
}  // namespace letrador::testing
