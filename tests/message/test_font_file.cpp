// Fonts: records and the characters they draw, the column count of a text, the font cache and
// the font check; the shipped fonts' sources; the font held for editing; glyphs cut from a
// drawing into dots.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "message/font_file.h"
#include "message/font_model.h"
#include "message/glyph_cut.h"
#include "tests/support/odd_fonts.h"
#include "tests/support/shipped_fonts.h"
#include "tools/fontc/font_source.h"

namespace letrador::testing {
namespace {

namespace fs = std::filesystem;

std::string Bytes(const std::vector<SampleGlyph>& glyphs, const std::string& tail = {}) {
    std::string out;
    for (const auto& g : glyphs) out += FontRecordBytes(g);
    return out + tail;
}
std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
// A record whose key length does not fit: key length, then whatever bytes fill the 24.
std::string Oversized(std::uint16_t keyLength, char fill) {
    return std::string{static_cast<char>(keyLength & 0xFF), static_cast<char>(keyLength >> 8)} + std::string(22, fill);
}

class FontFiles : public ::testing::Test {
protected:
    std::string file(const char* name) const { return (scratch_.path() / name).string(); }
    std::string font(const char* name, const std::string& bytes) const {
        std::ofstream(file(name), std::ios::binary | std::ios::trunc) << bytes;
        return file(name);
    }
    ScratchFolder scratch_;
};

TEST_F(FontFiles, ColumnCountsOfTexts) {
    const std::string ab = font("ab.ffv", Bytes(SampleAB()));  // «A» 4 wide, «B» all dark
    const std::string lt = font("lt.ffv", Bytes({{"A", {0x7E, 0x09, 0x09, 0x7E}}, {"<", {0x08, 0x14, 0x22}}}));
    const std::string sp = font("sp.ffv", Bytes({{" ", {0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F}}}));
    const std::string cr = font("cr.ffv", Bytes({{"\r", {0x01, 0x01}}, {"A", {0x7E, 0x09, 0x09, 0x7E}}}));
    const std::string acc = font("acc.ffv", Bytes({{"\xF1", {0x01}}, {"\x80", {0x03, 0x03}}, {"\xC1", {0x07, 0x07, 0x07}}}));
    const std::string wide = font("wide.ffv", Bytes({{"A", {0, 0, -1}}, {"B", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0x100}}}));
    const std::string twice = font("twice.ffv", Bytes({{"B", {0x01}}, {"A", {0x7E, 0x09, 0x09, 0x7E}}, {"A", {0x7F, 0x7F}}}));
    std::u32string manyTags;
    for (int i = 0; i < 17000; ++i) manyTags += U"<9>";
    const struct {
        std::u32string text;
        std::string font;
        Int16 sep, space, columns;
    } cases[] = {
        {U"", ab, 1, 3, 0}, {U"A", ab, 1, 3, 5}, {U"AA", ab, 1, 3, 10}, {U"A A", ab, 1, 3, 13}, {U"A", ab, 3, 3, 7},
        {U"A", ab, 0, 3, 4}, {U"B", ab, 1, 3, 0}, {U"C", ab, 1, 3, 0}, {U"BCB", ab, 1, 3, 0}, {U"BAC", ab, 2, 3, 6},
        // Tags count 1, "<9>" 2, greedy from the left; a half tag is characters.
        {U"<4>", ab, 1, 3, 1}, {U"<9>", ab, 1, 3, 2}, {U"<A>", ab, 1, 3, 1}, {U"<4>A", ab, 1, 3, 6},
        {U"< >", ab, 1, 3, 1}, {U"<<>", ab, 1, 3, 1}, {U"<9><9>A", ab, 1, 3, 9}, {U"<4", ab, 1, 3, 0},
        {U"A<", ab, 1, 3, 5}, {U">A", ab, 1, 3, 5}, {U"<A>>", ab, 1, 3, 1}, {U"<4", lt, 1, 3, 4},
        {U"A<", lt, 1, 3, 9}, {U"<4>", lt, 1, 3, 1},
        // Spaces take the space width whatever the separation and the font.
        {U"  ", ab, 0, 3, 6}, {U"  ", ab, 5, 3, 6}, {U"  ", ab, 1, 4, 8}, {U"  ", sp, 1, 3, 6},
        {U"A\r\nA", ab, 1, 3, 10}, {U"A\r\nA", cr, 1, 3, 13},  // line breaks are looked up as characters
        {U"ñ€Á\x80\x4E00", acc, 1, 3, 2 + 3 + 4},            // keys are Windows-1252
        {U"AB", wide, 1, 3, 4 + 11}, {U"AA", twice, 1, 3, 10},  // the first of two records wins
        {std::u32string(7000, U'A'), ab, 1, 3, 32767}, {U"  ", ab, 1, 30000, 32767},
        {U"   ", ab, 1, -20000, -32768}, {manyTags, ab, 1, 3, 32767}, {U"A <9> A", file("no_existe.ffv"), 1, 3, 8},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ContarColumnas(c.text, c.font, c.sep, c.space), c.columns) << "row " << &c - cases;
}

TEST_F(FontFiles, LookupRecordsAndWidths) {
    const std::string ab = font("ab.ffv", Bytes(SampleAB()));
    const std::string keys = font("claves.ffv", Bytes({{"AB", {0x7F}}, {"", {0x7F}}, {"B", {0x01}}}));
    const std::string acc = font("acc.ffv", Bytes({{"\xF1", {0x01}}, {"\x80", {0x03, 0x03}}, {"\xC1", {0x07, 0x07, 0x07}}}));
    const std::string missing = file("no_existe.ffv"), empty = font("vacio.ffv", "");
    // A record cut short reads as if padded with zeros.
    const std::string cut = font("corta.ffv", Bytes({{"A", {0x7E}}}, FontRecordBytes({"Z", {0x11, 0x22, 0x33}}).substr(0, 7)));
    // Records whose key does not fit are skipped and the next one read.
    const std::string oversized = font("larga.ffv", Bytes({{"A", {0x7E, 0x09, 0x09, 0x7E}}}, Oversized(3, 'C')) +
                                                        Bytes({{"C", {0x01, 0x02, 0x04}}}, Oversized(0xFFFF, 'D')) +
                                                        FontRecordBytes({"D", {0x0F}}));
    const struct {
        std::string font;
        char32_t ch;
        Int16 record;
    } found[] = {{ab, U'A', 1}, {ab, U'B', 2}, {ab, U'C', 0}, {ab, U'a', 0}, {keys, U'A', 0}, {keys, U'\0', 0},
                 {keys, U'B', 3}, {acc, U'ñ', 1}, {acc, U'€', 2}, {acc, U'Á', 3}, {acc, U'\x80', 0}, {acc, U'Ñ', 0},
                 {empty, U'A', 0}, {missing, U'A', 0}, {scratch_.path().string(), U'A', 0}, {cut, U'Z', 2},
                 {oversized, U'A', 1}, {oversized, U'C', 3}, {oversized, U'D', 5}};
    for (const auto& f : found) EXPECT_EQ(BuscarCaracter(f.font, f.ch), f.record) << f.font << " " << int(f.ch);
    EXPECT_EQ(ContarColumnas(U"ACD", oversized, 1, 3), 5 + 4 + 2);
    const std::tuple<char32_t, std::string, Int16, Int16> widths[] = {
        {U'A', ab, 1, 5}, {U'A', ab, 0, 4}, {U'B', ab, 2, 2}, {U'C', ab, 3, 3}, {U'A', missing, 2, 2}, {U'Z', cut, 0, 2}};
    for (const auto& [ch, path, sep, width] : widths) EXPECT_EQ(AnchoCaracter(ch, path, sep), width) << path;
    EXPECT_EQ(LoadFont(missing)->recordCount(), 0u);
    // Record n as stored: key length, key, first columns (a two-byte key's start at byte 4), width.
    const std::tuple<std::string, int, std::string> records[] = {
        {ab, 1, "1 A 126 9 4"}, {keys, 1, "2 AB 127 0 1"}, {keys, 2, "0  127 0 1"}, {oversized, 2, "3 CCC 0 0 0"},
        {ab, 3, "none"}, {ab, 0, "none"}};
    for (const auto& [path, n, want] : records) {
        RegistroCaracter r;
        const bool read = LeerRegistro(path, n, r);
        EXPECT_EQ(read ? std::to_string(r.keyLength) + " " + r.Caracter + " " + std::to_string(r.Columna[0]) + " " +
                             std::to_string(r.Columna[1]) + " " + std::to_string(GlyphWidth(r))
                       : "none", want) << path << " " << n;
    }
}

// Every change on disk is seen at the next call, also a same-size copy whose modification time
// was kept (cp -p, rsync -t, tar); a held copy never changes under its caller, and a file that
// has not changed for a while is not read again.
TEST_F(FontFiles, TheCacheSeesEveryChangeOnDisk) {
    const std::string p = font("cambia.ffv", Bytes({{"A", {0x7E, 0x09, 0x09, 0x7E}}}));
    const auto first = LoadFont(p);
    EXPECT_EQ(ContarColumnas(U"A", p, 1, 3), 5);
    font("cambia.ffv", Bytes({{"A", {0x7E, 0x09}}}));  // same size, rewritten at once
    EXPECT_NE(LoadFont(p), first);
    EXPECT_EQ(ContarColumnas(U"A", p, 1, 3), 3);
    EXPECT_EQ(first->record(U'A')->Columna[3], 0x7E);
    font("cambia.ffv", Bytes({{"B", {0x01}}, {"A", {0x01, 0x01, 0x01, 0x01, 0x01, 0x01}}}));  // another size
    EXPECT_EQ(ContarColumnas(U"A", p, 1, 3), 7);
    EXPECT_EQ(BuscarCaracter(p, U'A'), 2);
    for (const bool inPlace : {true, false}) {
        SCOPED_TRACE(inPlace ? "rewritten in place" : "replaced by a rename");
        font("cambia.ffv", Bytes({{"A", {0x7E, 0x09, 0x09, 0x7E}}}));
        const auto kept = fs::last_write_time(p) - std::chrono::hours(1);
        fs::last_write_time(p, kept);
        EXPECT_EQ(AnchoCaracter(U'A', p, 1), 5);
        const std::string written = font(inPlace ? "cambia.ffv" : "nueva.ffv", Bytes({{"A", {0x7E, 0x09}}}));
        fs::last_write_time(written, kept);
        if (!inPlace) fs::rename(written, p);
        EXPECT_EQ(ContarColumnas(U"AA", p, 1, 3), 6);
    }
    fs::remove(p);
    EXPECT_EQ(ContarColumnas(U"A", p, 1, 3), 0);
    const std::string settled = std::string(LETRADOR_SOURCE_DIR) + "/data/fonts/angosta.txt";
    const auto once = LoadFont(settled);
    ASSERT_GT(once->recordCount(), 0u);
    EXPECT_EQ(LoadFont(settled), once);
}

// The check accepts a font of any size whose first record fits the layout, and names a failure
// with its number and description. However large the file, every record counts.
TEST_F(FontFiles, TheCheckAcceptsFontsOfAnySizeAndRefusesOthersSayingWhy) {
    using R = FontCheck::Result;
    const std::pair<std::string, R> cases[] = {
        {font("buena.ffv", Bytes(SampleAB())), R::Ok}, {font("dos.ffv", Bytes({{"AB", {1}}})), R::Ok},
        {font("despues.ffv", Bytes({{"A", {1}}}, Oversized(7, 'x'))), R::Ok}, {font("corta.ffv", std::string("\x01\x00" "A", 3)), R::Ok},
        {font("vacia.ffv", ""), R::Ok}, {font("texto.ffv", "Esto es un archivo de texto, no una tipografia.\r\n"), R::NotAFont},
        {font("tres.ffv", Oversized(3, '\0') + FontRecordBytes({"A", {1}})), R::NotAFont},
        {font("mitad.ffv", std::string("\x05\x00", 2)), R::NotAFont}};
    for (const auto& [p, result] : cases) EXPECT_EQ(CheckFontFile(p).result, result) << p;
    for (const std::uintmax_t records : {200000u, 3000000u}) {
        SCOPED_TRACE(records);
        const std::string p = font("grande.ffv", Bytes({{"A", {0x7E, 0x09, 0x09, 0x7E}}}));
        fs::resize_file(p, (records - 1) * 24);  // sparse: records with an empty key
        std::ofstream(p, std::ios::binary | std::ios::app) << FontRecordBytes({"Z", {0x01, 0x01}});
        EXPECT_EQ(CheckFontFile(p).result, R::Ok);
        EXPECT_EQ(ContarColumnas(U"AZ", p, 1, 3), 5 + 3);
        EXPECT_EQ(LoadFont(p)->recordOf(U'Z'), records);
        EXPECT_EQ(BuscarCaracter(p, U'Z'), 32767);  // the 16-bit record number saturates
    }
    std::vector<std::tuple<std::string, int, std::string>> failures = {
        {file("no_existe.ffv"), ENOENT, "No se encontró el archivo."},
        {scratch_.path().string(), EISDIR, "El nombre corresponde a una carpeta, no a un archivo."},
        {file("buena.ffv") + "/x.ffv", ENOTDIR, "Ruta de acceso no encontrada."},
        {file(std::string(300, 'n').c_str()), ENAMETOOLONG, "El nombre del archivo es demasiado largo."}};
    if (::geteuid() != 0) {  // permissions do not bind the superuser
        fs::permissions(file("buena.ffv"), fs::perms::none);
        failures.emplace_back(file("buena.ffv"), EACCES, "Permiso denegado.");
    }
    for (const auto& [p, number, description] : failures) {
        const FontCheck check = CheckFontFile(p);
        EXPECT_EQ(std::tuple(check.result, check.errorNumber, check.description), std::tuple(R::Failure, number, description));
    }
}

// The shipped fonts compile from their sources, whose dumped form compiles the same, and draw
// every Spanish character within the sign's seven dots.
TEST(FontSources, CompileAndDrawEverySpanishCharacterWithinSevenDots) {
    std::u32string needed = U"¡¿ºª°€ÁÉÍÓÚÜÑáéíóúüñ";
    for (char32_t c = 0x21; c <= 0x7E; ++c) needed += c;
    const std::u32string spanish = SpanishCharacters();  // what "all of Spanish" fills
    for (char32_t c : std::u32string_view(U"AZaz09ÁÜñ¿¡")) EXPECT_NE(spanish.find(c), std::u32string::npos) << int(c);
    const std::tuple<const char*, int, int> fonts[] = {{"normal", 5, 5}, {"negrita", 6, 7}, {"angosta", 3, 4}};
    for (const auto& [name, minWidth, maxWidth] : fonts) {  // widths of a capital letter or digit
        SCOPED_TRACE(name);
        const fs::path built = fs::path(LETRADOR_BINARY_DIR) / "work" / "tipografias" / (std::string(name) + ".ffv");
        const auto compiled = fontc::CompileFontSource(fontc::DumpFontFile(ReadAll(built)));
        ASSERT_TRUE(compiled.ok) << "línea " << compiled.line << ": " << compiled.error;
        EXPECT_EQ(compiled.bytes, ReadAll(built));
        const auto data = LoadFont(built.string());
        for (char32_t c : needed) {
            ASSERT_NE(data->record(c), nullptr) << static_cast<unsigned>(c);
            const RegistroCaracter& r = *data->record(c);
            for (Int16 column : r.Columna) EXPECT_TRUE(column >= 0 && column < 0x80) << column;
            const bool capital = std::u32string_view(U"AHMN08").find(c) != std::u32string_view::npos;
            EXPECT_TRUE(GlyphWidth(r) > 0 && (!capital || (GlyphWidth(r) >= minWidth && GlyphWidth(r) <= maxWidth))) << int(c);
        }
    }
}

// The editor shows exactly the records the font lookup reads, with their dots, keeps every other
// record as it stands, and gives a font back byte for byte.
TEST(FontModelTest, EveryFontComesBackByteForByteAndShowsWhatTheLookupReads) {
    std::vector<OddFont> fonts = OddFonts();
    for (const auto& path : ShippedFonts()) fonts.push_back({path.filename().string(), ReadAll(path), -1, 0});
    for (const OddFont& f : fonts) {
        SCOPED_TRACE(f.name);
        const FontModel m = FontModel::FromBytes(f.bytes);
        EXPECT_EQ(m.bytes(), f.bytes);
        EXPECT_EQ(m.oddRecords(), f.odd);
        EXPECT_TRUE(f.shown < 0 || static_cast<int>(m.characters().size()) == f.shown);
        const FontData data = DecodeFont(f.bytes);
        const std::vector<char32_t> shown = m.characters();
        EXPECT_EQ(std::u32string(shown.begin(), shown.end()), data.characters());
        for (char32_t ch : shown) EXPECT_EQ(m.dots(ch), data.record(ch)->Columna);
    }
}

TEST(FontModelTest, EditsReadBackThroughTheFontLookupWithTheirWidths) {
    FontModel m = FontModel::FromBytes(Bytes({{"A", {0x7E, 0x09, 0x09, 0x7E}}, {"A", {0x01}}}));
    ASSERT_EQ(m.add(U'€'), FontModel::AddResult::Added);
    EXPECT_TRUE(m.setDot(U'€', 0, 3, true) && m.setDot(U'€', 6, 6, true));
    EXPECT_TRUE(m.setDot(U'A', 3, 1, false));  // 0x7E -> 0x7C
    for (auto [column, row] : {std::pair{10, 0}, {0, 7}, {-1, 0}, {0, -1}}) EXPECT_FALSE(m.setDot(U'€', column, row, true));
    EXPECT_FALSE(m.setDot(U'Z', 0, 0, true) || m.copy(U'Z', U'A') || m.copy(U'A', U'Z'));
    ASSERT_EQ(m.add(U'B'), FontModel::AddResult::Added);
    EXPECT_TRUE(m.copy(U'€', U'B'));
    const FontData data = m.data();
    const std::tuple<char32_t, int, GlyphDots, int> wants[] = {  // character, record, dots, width
        {U'A', 1, {0x7E, 0x09, 0x09, 0x7C}, 4}, {U'€', 3, {0x08, 0, 0, 0, 0, 0, 0x40}, 7}, {U'B', 4, {0x08, 0, 0, 0, 0, 0, 0x40}, 7}};
    for (const auto& [ch, record, dots, width] : wants) {
        SCOPED_TRACE(static_cast<int>(ch));
        ASSERT_EQ(data.find(ch), record);
        EXPECT_EQ(data.record(ch)->Columna, dots);
        EXPECT_EQ(GlyphWidth(*data.record(ch)), width);
        EXPECT_EQ(m.width(ch), width);
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
                                            {U'x', R::Added}, {U'\0', R::Added}, {U'–', R::AlreadyThere}};
    for (auto [ch, result] : cases) {
        EXPECT_EQ(m.add(ch), result) << static_cast<int>(ch);
        EXPECT_EQ(AddRefusal(result, ch).empty(), result == R::Added);
    }
    EXPECT_EQ(m.characters(), (std::vector<char32_t>{U'A', U'–', U'x', U'\0'}));
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
        {"too wide: ten columns", Drawing(30, 16, 14, 0, 12, 29, 13), 50, 7,
         {0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40}, 1},
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
    EXPECT_EQ(std::tuple(glyphs[1].tallest, glyphs[1].dots, glyphs[0].tallest, glyphs[0].dots),
              std::tuple(5, GlyphDots{0x3E}, 7, GlyphDots{0x7F}));
    // Two that never come apart end at one row.
    glyphs = {{U'a', {0x01}, 2.0}, {U'b', {0x01}, 1.0}};
    TellApart(glyphs, [](char32_t, int) { return GlyphDots{0x01}; });
    EXPECT_EQ(std::pair(glyphs[1].tallest, glyphs[0].tallest), std::pair(1, 7));
    // Only the glyphs given are compared, even where the memory after them holds a look-alike.
    glyphs = {{U'x', {0x05}, 3.0}, {U'y', {0x05}, 4.0}, {U'z', {0x05}, 1.0}};
    glyphs.pop_back();
    cuts.clear();
    TellApart(glyphs, [&](char32_t ch, int) { return cuts.push_back(ch), GlyphDots{0x06}; });
    EXPECT_EQ(cuts, std::vector<char32_t>{U'x'});
}

}  // namespace
}  // namespace letrador::testing
