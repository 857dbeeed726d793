// Fonts: records and the characters they draw, the column count of a text, the font cache and
// check, the shipped sources, the font held for editing and glyphs cut from a drawing. Then the
// paragraph commands, the message total and capacity label, and the sign preview against what a
// recording sends over the scripted line.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include <unistd.h>

#include "message/codepage.h"
#include "message/effect_tags.h"
#include "message/font_file.h"
#include "message/font_model.h"
#include "message/glyph_cut.h"
#include "message/paragraph_commands.h"
#include "message/plain_editor_view.h"
#include "message/sign_preview.h"
#include "platform/scripted_dialogs.h"
#include "tests/signlink/sign_rig.h"
#include "tests/support/odd_fonts.h"
#include "tests/support/shipped_fonts.h"
#include "tools/fontc/font_source.h"

namespace letrador::testing {
namespace {

namespace fs = std::filesystem;
using C = EditorControl;
using Columns = std::vector<std::uint8_t>;
using K = PreviewMarker::Kind;

std::string FontBytes(const std::vector<SampleGlyph>& glyphs, const std::string& tail = {}) {
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

// «A» (width 4); «G» a dark column inside; «B» all dark; «W» a column that does not fit in a
// byte; «H» a column of 0x80 (bit 7 only); «<» one column; a second «A», never used.
const std::vector<SampleGlyph> kGlyphs = {{"A", {0x7E, 0x09, 0x09, 0x7E}}, {"G", {0x41, 0x00, 0x22}}, {"B", {}},
                                          {"W", {0x01, 300, 0x02}}, {"H", {0x80, 0x7F}}, {"<", {0x10}}, {"A", {0x01}}};

// The room's rig: a scratch folder for font files, holding prueba.ffv (kGlyphs) as the font
// folder of a message edited without a window.
class MessageRig : public ::testing::Test {
protected:
    MessageRig() : view(store), commands(store, view, dialogs, [this] { return joined; }) {
        store.FontFolder = scratch.path().string();
        WriteFont(font, kGlyphs);
        commands.DisableEditing();
    }
    std::string file(const char* name) const { return (scratch.path() / name).string(); }
    std::string make(const char* name, const std::string& bytes) const {
        std::ofstream(file(name), std::ios::binary | std::ios::trunc) << bytes;
        return file(name);
    }
    // The editor's boxes for paragraph `select` (a new one when negative), in the test font.
    void fill(int select, const std::u32string& text, const char* separation = "1", bool ignore = false) {
        if (select < 0) commands.cmdParNuevo_Click(); else commands.selectParagraph(select);
        view.setMessageText(text);
        view.setFontFileText("prueba.ffv");
        view.setIgnoreChecked(ignore);
        view.setSeparationText(separation);
    }
    // Which of `controls` are enabled, as 1 and 0.
    std::string enabled(std::initializer_list<C> controls) const {
        std::string s;
        for (C c : controls) s += view.isEnabled(c) ? '1' : '0';
        return s;
    }
    SignPreview preview(const std::u32string& text, Int16 separation = 1, Int16 space = 3) const {
        return ComputeSignPreview(text, font, separation, space);
    }

    ScratchFolder scratch;
    std::string font = (scratch.path() / "prueba.ffv").string();
    ParagraphStore store;
    PlainEditorView view;
    platform::ScriptedDialogs dialogs;
    bool joined = false;
    ParagraphCommands commands;
};
using FontFiles = MessageRig;
using EditorTest = MessageRig;

TEST_F(FontFiles, ColumnCountsLookupsAndWidths) {
    const std::string ab = make("ab.ffv", FontBytes(SampleAB()));  // «A» 4 wide, «B» all dark
    const std::string missing = file("no_existe.ffv"), empty = make("vacio.ffv", "");
    const std::string lt = make("lt.ffv", FontBytes({{"A", {0x7E, 0x09, 0x09, 0x7E}}, {"<", {0x08, 0x14, 0x22}}}));
    const std::string sp = make("sp.ffv", FontBytes({{" ", {0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F}}}));
    const std::string cr = make("cr.ffv", FontBytes({{"\r", {0x01, 0x01}}, {"A", {0x7E, 0x09, 0x09, 0x7E}}}));
    const std::string acc = make("acc.ffv", FontBytes({{"\xF1", {0x01}}, {"\x80", {0x03, 0x03}}, {"\xC1", {0x07, 0x07, 0x07}}}));
    const std::string wide = make("wide.ffv", FontBytes({{"A", {0, 0, -1}}, {"B", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0x100}}}));
    const std::string twice = make("twice.ffv", FontBytes({{"B", {0x01}}, {"A", {0x7E, 0x09, 0x09, 0x7E}}, {"A", {0x7F, 0x7F}}}));
    std::u32string manyTags;
    for (int i = 0; i < 17000; ++i) manyTags += U"<9>";
    const std::tuple<std::u32string, std::string, Int16, Int16, Int16> cases[] = {  // text, font, sep, space, columns
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
        {U"   ", ab, 1, -20000, -32768}, {manyTags, ab, 1, 3, 32767}, {U"A <9> A", missing, 1, 3, 8},
    };
    for (const auto& [text, path, sep, space, columns] : cases)
        EXPECT_EQ(ContarColumnas(text, path, sep, space), columns) << ToUtf8(text.substr(0, 9)) << " " << path;
    const std::string keys = make("claves.ffv", FontBytes({{"AB", {0x7F}}, {"", {0x7F}}, {"B", {0x01}}}));
    // A record cut short reads as if padded with zeros.
    const std::string cut = make("corta.ffv", FontBytes({{"A", {0x7E}}}, FontRecordBytes({"Z", {0x11, 0x22, 0x33}}).substr(0, 7)));
    const std::string oneByte = make("un_byte.ffv", FontBytes({{"A", {0x7E}}}, std::string(1, '\0')));
    // Records whose key does not fit are skipped and the next one read.
    const std::string oversized = make("larga.ffv", FontBytes({{"A", {0x7E, 0x09, 0x09, 0x7E}}}, Oversized(3, 'C')) +
                                                        FontBytes({{"C", {0x01, 0x02, 0x04}}}, Oversized(0xFFFF, 'D')) +
                                                        FontRecordBytes({"D", {0x0F}}));
    const std::tuple<std::string, char32_t, Int16> found[] = {{ab, U'A', 1}, {ab, U'B', 2}, {ab, U'C', 0}, {ab, U'a', 0}, {keys, U'A', 0}, {keys, U'\0', 0},
                 {keys, U'B', 3}, {acc, U'ñ', 1}, {acc, U'€', 2}, {acc, U'Á', 3}, {acc, U'\x80', 0}, {acc, U'Ñ', 0},
                 {empty, U'A', 0}, {missing, U'A', 0}, {scratch.path().string(), U'A', 0}, {cut, U'Z', 2},
                 {oversized, U'A', 1}, {oversized, U'C', 3}, {oversized, U'D', 5}};
    for (const auto& [path, ch, record] : found) EXPECT_EQ(BuscarCaracter(path, ch), record) << path << " " << int(ch);
    EXPECT_EQ(ContarColumnas(U"ACD", oversized, 1, 3), 5 + 4 + 2);
    const std::tuple<char32_t, std::string, Int16, Int16> widths[] = {
        {U'A', ab, 1, 5}, {U'A', ab, 0, 4}, {U'B', ab, 2, 2}, {U'C', ab, 3, 3}, {U'A', missing, 2, 2}, {U'Z', cut, 0, 2}};
    for (const auto& [ch, path, sep, width] : widths) EXPECT_EQ(AnchoCaracter(ch, path, sep), width) << path;
    EXPECT_EQ(LoadFont(missing)->recordCount(), 0u);
    // Record n as stored: key length, key, first columns (a two-byte key's start at byte 4), width.
    const std::tuple<std::string, int, std::string> records[] = {
        {ab, 1, "1 A 126 9 4"}, {keys, 1, "2 AB 127 0 1"}, {keys, 2, "0  127 0 1"}, {oversized, 2, "3 CCC 0 0 0"},
        {oneByte, 2, "0  0 0 0"}, {ab, 3, "none"}, {ab, 0, "none"}};
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
    const std::string p = make("cambia.ffv", FontBytes({{"A", {0x7E, 0x09, 0x09, 0x7E}}}));
    const auto first = LoadFont(p);
    EXPECT_EQ(ContarColumnas(U"A", p, 1, 3), 5);
    make("cambia.ffv", FontBytes({{"A", {0x7E, 0x09}}}));  // same size, rewritten at once
    EXPECT_NE(LoadFont(p), first);
    EXPECT_EQ(ContarColumnas(U"A", p, 1, 3), 3);
    EXPECT_EQ(first->record(U'A')->Columna[3], 0x7E);
    make("cambia.ffv", FontBytes({{"B", {0x01}}, {"A", {0x01, 0x01, 0x01, 0x01, 0x01, 0x01}}}));  // another size
    EXPECT_EQ(ContarColumnas(U"A", p, 1, 3), 7);
    EXPECT_EQ(BuscarCaracter(p, U'A'), 2);
    for (const bool inPlace : {true, false}) {
        SCOPED_TRACE(inPlace ? "rewritten in place" : "replaced by a rename");
        make("cambia.ffv", FontBytes({{"A", {0x7E, 0x09, 0x09, 0x7E}}}));
        const auto kept = fs::last_write_time(p) - std::chrono::hours(1);
        fs::last_write_time(p, kept);
        EXPECT_EQ(AnchoCaracter(U'A', p, 1), 5);
        const std::string written = make(inPlace ? "cambia.ffv" : "nueva.ffv", FontBytes({{"A", {0x7E, 0x09}}}));
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
        {make("buena.ffv", FontBytes(SampleAB())), R::Ok}, {make("dos.ffv", FontBytes({{"AB", {1}}})), R::Ok},
        {make("despues.ffv", FontBytes({{"A", {1}}}, Oversized(7, 'x'))), R::Ok}, {make("corta.ffv", std::string("\x01\x00" "A", 3)), R::Ok},
        {make("vacia.ffv", ""), R::Ok}, {make("texto.ffv", "Esto es un archivo de texto, no una tipografia.\r\n"), R::NotAFont},
        {make("tres.ffv", Oversized(3, '\0') + FontRecordBytes({"A", {1}})), R::NotAFont},
        {make("mitad.ffv", std::string("\x05\x00", 2)), R::NotAFont}};
    for (const auto& [p, result] : cases) EXPECT_EQ(CheckFontFile(p).result, result) << p;
    for (const std::uintmax_t records : {200000u, 3000000u}) {
        SCOPED_TRACE(records);
        const std::string p = make("grande.ffv", FontBytes({{"A", {0x7E, 0x09, 0x09, 0x7E}}}));
        fs::resize_file(p, (records - 1) * 24);  // sparse: records with an empty key
        std::ofstream(p, std::ios::binary | std::ios::app) << FontRecordBytes({"Z", {0x01, 0x01}});
        EXPECT_EQ(CheckFontFile(p).result, R::Ok);
        EXPECT_EQ(ContarColumnas(U"AZ", p, 1, 3), 5 + 3);
        EXPECT_EQ(LoadFont(p)->recordOf(U'Z'), records);
        EXPECT_EQ(BuscarCaracter(p, U'Z'), 32767);  // the 16-bit record number saturates
    }
    std::vector<std::tuple<std::string, int, std::string>> failures = {
        {file("no_existe.ffv"), ENOENT, "No se encontró el archivo."},
        {scratch.path().string(), EISDIR, "El nombre corresponde a una carpeta, no a un archivo."},
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
    FontModel m = FontModel::FromBytes(FontBytes({{"A", {0x7E, 0x09, 0x09, 0x17E}}, {"A", {0x01}}}));
    ASSERT_EQ(m.add(U'€'), FontModel::AddResult::Added);
    EXPECT_TRUE(m.setDot(U'€', 0, 3, true) && m.setDot(U'€', 6, 6, true));
    EXPECT_TRUE(m.setDot(U'A', 3, 1, false));  // 0x17E -> 0x17C: the bit beyond the sign's rows stays
    for (auto [column, row] : {std::pair{10, 0}, {0, 7}, {-1, 0}, {0, -1}}) EXPECT_FALSE(m.setDot(U'€', column, row, true));
    EXPECT_FALSE(m.setDot(U'Z', 0, 0, true) || m.copy(U'Z', U'A') || m.copy(U'A', U'Z'));
    ASSERT_EQ(m.add(U'B'), FontModel::AddResult::Added);
    EXPECT_TRUE(m.copy(U'€', U'B'));
    const FontData data = m.data();
    const std::tuple<char32_t, int, GlyphDots, int> wants[] = {  // character, record, dots, width
        {U'A', 1, {0x7E, 0x09, 0x09, 0x17C}, 4}, {U'€', 3, {0x08, 0, 0, 0, 0, 0, 0x40}, 7}, {U'B', 4, {0x08, 0, 0, 0, 0, 0, 0x40}, 7}};
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
    m = FontModel::FromBytes(FontBytes({{"A", {1}}}, std::string("\x01\x00Z\x7F", 4)));
    ASSERT_EQ(m.dots(U'Z'), GlyphDots{0x7F});
    ASSERT_EQ(m.add(U'B'), FontModel::AddResult::Added);  // a new record goes before the piece
    EXPECT_TRUE(m.setDot(U'Z', 1, 0, true));
    EXPECT_EQ(m.bytes(), FontBytes({{"A", {1}}, {"B", {}}, {"Z", {0x7F, 0x01}}}));
}

TEST(FontModelTest, AddingAndRemovingCharacters) {
    // A second «A» is kept but never shown; «x» sits under a two-byte key, which is no «x».
    FontModel m = FontModel::FromBytes(FontBytes({{"A", {1}}, {"A", {2}}, {"xy", {3}}}));
    using R = FontModel::AddResult;
    const std::pair<char32_t, R> cases[] = {{U'A', R::AlreadyThere}, {U'→', R::NotInCodePage}, {U'–', R::Added},
                                            {U'x', R::Added}, {U'\0', R::Added}, {U'–', R::AlreadyThere}};
    for (auto [ch, result] : cases) {
        EXPECT_EQ(m.add(ch), result) << static_cast<int>(ch);
        EXPECT_EQ(AddRefusal(result, ch).empty(), result == R::Added);
    }
    EXPECT_EQ(m.characters(), (std::vector<char32_t>{U'A', U'–', U'x', U'\0'}));
    // Removing a character lets its next record be the one found.
    m = FontModel::FromBytes(FontBytes({{"A", {1}}, {"B", {2}}, {"A", {3}}}, "\x01\x02"));
    EXPECT_EQ(m.oddRecords(), 2);
    ASSERT_TRUE(m.remove(U'A'));
    EXPECT_EQ(m.characters(), (std::vector<char32_t>{U'B', U'A'}));
    EXPECT_EQ(m.dots(U'A')[0], 3);
    EXPECT_EQ(m.oddRecords(), 1);
    EXPECT_EQ(m.bytes(), FontBytes({{"B", {2}}, {"A", {3}}}, "\x01\x02"));
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
    InkImage fine = Drawing(1, 7, 7, 0, 0, 0, 6);  // a pixel a dot, inked from the drawing's first row
    fine.dot = 1;
    const std::tuple<const char*, InkImage, int, int, GlyphDots, double> cases[] = {  // threshold, tallest, dots, height
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
        {"ink on the drawing's edge rows", fine, 50, 7, {0x7F}, 7},
    };
    for (const auto& [what, image, threshold, tallest, dots, height] : cases) {
        SCOPED_TRACE(what);
        EXPECT_EQ(CutGlyph(image, threshold, tallest), dots);
        EXPECT_EQ(InkHeight(image), height);
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
          {"Book", 400, false}}, {"Book", "Bold", "Condensed", "ExtraLight", "Oblique"}},
        {{{"Italic", 400, true}, {"Medium", 500, false}, {"Thin", 100, false}}, {"Medium", "Italic", "Thin"}},
        {{{"Bold Italic", 700, true}, {"Bold", 700, false}}, {"Bold", "Bold Italic"}}, {{}, {}}};
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

// "Nuevo Párrafo" starts an empty record and the editing state; "Guardar párrafo" wants a text,
// then a font, and stores the editor with its count. (The enabled sets of every step are checked
// on the window, in tests/app; here the refused save's.)
TEST_F(EditorTest, NewAndSaveFillTheRecordAndASaveWithoutTextOrFontIsRefused) {
    commands.cmdParNuevo_Click();
    ASSERT_EQ(store.ParagraphCount, 1);
    const ParagraphRecord& r = store.paragraph(1);
    EXPECT_TRUE(r.Number == 1 && r.Text.empty() && r.FontFile.empty() && !r.Ignore && r.Separation == 1 && r.Columns == 0);
    EXPECT_EQ(view.currentParagraphText() + view.separationText(), "11");
    const auto shown = {C::txtMsjMensaje, C::frmMensaje, C::frmArchivos, C::frmSepar, C::frmEfectos, C::chkMsjIgnora,
                        C::cmdParGuardar, C::menGrabParcial, C::cmdParNuevo, C::cboParParrafos, C::menGrabTotal,
                        C::menArchGuardar, C::menArchGuardarComo};
    store.MessageModified = false;
    view.setFocus(C::cmdParNuevo);
    EXPECT_FALSE(commands.cmdParGuardar_Click());
    EXPECT_EQ(view.focused(), C::txtMsjMensaje);
    view.setMessageText(U"A A");
    EXPECT_FALSE(commands.cmdParGuardar_Click());
    EXPECT_EQ(dialogs.texts(), (std::vector<std::string>{"Debe ingresar texto en el mensaje.",
                                                         "Debe seleccionar un archivo de fuente para el mensaje."}));
    EXPECT_TRUE(store.paragraph(1).Text.empty());
    EXPECT_EQ(enabled(shown), "1111111100000");
    view.setFontFileText("prueba.ffv");
    view.setIgnoreChecked(true);
    ASSERT_TRUE(commands.cmdParGuardar_Click());
    EXPECT_EQ(r.Text + FromUtf8(r.FontFile), U"A Aprueba.ffv");
    EXPECT_EQ(std::tuple(r.Columns, store.LastParagraphColumns, r.Ignore), std::tuple(13, 13, true));
    EXPECT_EQ(view.capacityLabel(), "Capacidad ocupada: 0%");  // an ignored paragraph takes no room
    EXPECT_TRUE(store.MessageModified);                        // commands never clear it
}

// The separation box is read as a number rounded halves to even. The total counts a separating
// column after each paragraph unless they are joined, never an ignored one, and saturates; the
// total beside the capacity label is the one the next save counts.
TEST_F(EditorTest, SeparationsTotalsAndTheCapacityLabel) {
    const std::pair<const char*, Int16> separations[] = {{"2.5", 2}, {"3.5", 4}, {"7abc", 7}, {"", 0}, {"  5", 5}, {"99999", 32767}};
    for (auto [text, expected] : separations) {
        fill(-1, U"A", text);
        ASSERT_TRUE(commands.cmdParGuardar_Click());
        const ParagraphRecord& r = store.paragraph(store.ParagraphCount);
        EXPECT_EQ(std::pair(r.Separation, r.Columns), std::pair(expected, Add16(4, expected))) << text;
    }
    commands.ClearMessage();
    EXPECT_EQ(commands.TotalColumns() + TotalWithEditor(store, 0, 55, false, false), 0);
    auto check = [&](int select, const std::u32string& text, const char* separation, bool ignore) {
        fill(select, text, separation, ignore);
        const Int16 columns = ComputeSignPreview(view.messageText(), store.fontPath(view.fontFileText()),
                                                 WholeValue(view.separationText()), store.SpaceWidth).count;
        const Int16 live = TotalWithEditor(store, commands.currentParagraphNumber(), columns, view.ignoreChecked(), joined);
        ASSERT_TRUE(commands.cmdParGuardar_Click());
        EXPECT_EQ(live, commands.TotalColumns()) << ToUtf8(text);
        EXPECT_EQ(columns, store.LastParagraphColumns) << ToUtf8(text);
    };
    for (bool j : {false, true}) {
        joined = j;
        commands.ClearMessage();
        check(-1, U"AAA A", "1", false);
        check(-1, U"<9>G G", "3", false);
        check(-1, U"AWA", "0", true);        // ignored
        check(0, U"A<4>A<4>A", "2", false);  // back on paragraph 1, changed
        check(1, U"<9>G G", "3", true);      // ignoring the one edited takes it out with its separator
        store.SpaceWidth = 5;
        check(0, U"A<4>A<4>A", "2", false);
        store.SpaceWidth = 3;
        EXPECT_EQ(commands.TotalColumns(), j ? 20 : 21);  // paragraph 1 alone: the others are ignored
    }
    store.paragraph(3).Ignore = false;
    const std::tuple<Int16, const char*, bool> labels[] = {  // paragraph 3, joined after 20 columns
        {2025, "Capacidad ocupada: 99%", false}, {2026, "Capacidad ocupada: 100%", false}, {2027, "Capacidad excedida.", true},
        {1003, "Capacidad ocupada: 50%", false}, {0, "Capacidad ocupada: 0%", false}, {32000, "Capacidad excedida.", true}};
    for (const auto& [columns, label, exceeded] : labels) {
        store.paragraph(3).Columns = columns;
        commands.selectParagraph(0);
        ASSERT_TRUE(commands.cmdParGuardar_Click());
        EXPECT_EQ(std::tuple(view.capacityLabel(), view.capacityLabelIsRedBold(), store.CapacityExceeded),
                  std::tuple(std::string(label), exceeded, exceeded)) << columns;
    }
    store.paragraph(1).Columns = 32000;
    EXPECT_EQ(commands.TotalColumns(), 32767);
}

// The fiftieth paragraph is the last: "Nuevo Párrafo" says so and leaves it in the editor (the
// saves past it are read in tests/files). Selecting loads a record; the ignore box counts only once
// saved; clearing empties everything.
TEST_F(EditorTest, FiftyParagraphsSelectingAndClearing) {
    for (int i = 0; i < 50; ++i) {
        fill(-1, U"A", "1", i == 0);
        ASSERT_TRUE(commands.cmdParGuardar_Click());
    }
    EXPECT_TRUE(dialogs.shown.empty());
    commands.cmdParNuevo_Click();
    ASSERT_EQ(dialogs.texts(), std::vector<std::string>{"Se alcanzó la cantidad máxima de párrafos permitidos (50)"});
    EXPECT_EQ(view.paragraphItemCount() + store.ParagraphCount, 100);
    EXPECT_EQ(view.currentParagraphText() + ToUtf8(view.messageText()), "50");
    EXPECT_TRUE(view.isEnabled(C::cmdParGuardar));
    const std::string label = view.capacityLabel();
    commands.selectParagraph(0);
    EXPECT_TRUE(view.messageText() == U"A" && view.ignoreChecked() && view.capacityLabel() == label);
    commands.selectParagraph(1);
    EXPECT_FALSE(view.ignoreChecked());
    view.setIgnoreChecked(true);
    EXPECT_FALSE(store.paragraph(2).Ignore);
    const Int16 total = commands.TotalColumns();
    ASSERT_TRUE(commands.cmdParGuardar_Click());
    EXPECT_EQ(commands.TotalColumns(), total - 6);  // with its separating column
    view.setMessageName("hola.fmv");
    view.setSeparationText("4");
    commands.ClearMessage();
    EXPECT_TRUE(!view.paragraphItemCount() && !store.ParagraphCount && store.Paragraphs.empty() && !view.ignoreChecked());
    EXPECT_EQ(view.separationText() + view.messageName() + view.fontFileText() + ToUtf8(view.messageText()), "1");
    commands.cmdParNuevo_Click();
    EXPECT_EQ(view.currentParagraphText(), "1");
}

// The bytes a recording of `text` sends after its opening, against a compatible sign, and
// whether it ended clean.
std::pair<Bytes, bool> Recorded(const std::u32string& text, const std::string& font, Int16 separation, Int16 space) {
    SignRig rig;
    EXPECT_TRUE(rig.grabador.AbrirGrabacion("3"));
    const std::size_t opening = rig.link.written.size();
    EXPECT_TRUE(rig.grabador.GrabarParrafo(text, font, separation, space));
    return {rig.writtenAfter(opening), !rig.puerto.ErrorGrabacion};
}

// What a recording of `preview` must send: its columns, with each effect's code where it is marked.
Bytes Expected(const SignPreview& preview) {
    Bytes want;
    std::size_t m = 0;
    for (std::size_t column = 0; column <= preview.columns.size(); ++column) {
        for (; m < preview.markers.size() && preview.markers[m].column == column; ++m) {
            if (preview.markers[m].kind != K::Effect) continue;
            const CodigoEfecto code = CodigoDeEfecto(preview.markers[m].code);
            want.push_back(code.primero);
            if (code.tieneSegundo) want.push_back(code.segundo);
        }
        if (column < preview.columns.size()) want.push_back(preview.columns[column]);
    }
    EXPECT_EQ(m, preview.markers.size()) << "markers past the last column";
    return want;
}

TEST_F(EditorTest, PreviewColumnsOfCharactersSeparationAndSpaces) {
    const std::tuple<std::u32string, Int16, Int16, Columns> cases[] = {  // text, separation, space width, columns
        {U"", 1, 3, {}}, {U"A", 2, 3, {0x7E, 0x09, 0x09, 0x7E, 0x80, 0x80}}, {U"A", 0, 3, {0x7E, 0x09, 0x09, 0x7E}},
        {U"G", 1, 3, {0x41, 0x80, 0x22, 0x80}},  // a gap inside a glyph is a dark column
        {U"  ", 4, 2, {0x80, 0x80, 0x80, 0x80}}, {U"H", 0, 3, {0x80, 0x7F}}, {U"BAB", 0, 3, {0x7E, 0x09, 0x09, 0x7E}},
        {U"<3", 0, 3, {0x10}}, {U"A<", 0, 3, {0x7E, 0x09, 0x09, 0x7E, 0x10}}, {U"<<>", 0, 3, {}},  // half tags
    };
    for (const auto& [text, sep, space, columns] : cases)
        EXPECT_EQ(preview(text, sep, space).columns, columns) << ToUtf8(text);
    EXPECT_EQ(preview(U"<<>", 0).markers.at(0).code, U'<');
    for (int row = 0; row < 7; ++row) EXPECT_TRUE(DotLit(0x41, row) == (row == 0 || row == 6) && !DotLit(0x80, row)) << row;
    EXPECT_FALSE(DotLit(0xFF, 7) || DotLit(0xFF, -1));
}

TEST_F(EditorTest, MissingAndRefusedCharactersAreMarked) {
    const std::string none = "Sin dibujo en «prueba.ffv»: ", lost = "No se pueden guardar (quedan como ?): ";
    const std::pair<std::u32string, std::string> cases[] = {  // "" when nothing is marked
        {U"B", ""}, {U"C", none + "C"}, {U"\r\n", ""}, {U"<3", none + "3"},
        {U"中→中", none + "中 → · " + lost + "中 →"}};  // characters no message file holds
    for (const auto& [text, line] : cases) {
        SCOPED_TRACE(ToUtf8(text));
        const SignPreview p = preview(text, 0);
        ASSERT_EQ(p.markers.size(), line.empty() ? 0u : text.size() - (text[0] == U'<'));
        for (const PreviewMarker& m : p.markers) EXPECT_EQ(m.kind, K::Missing);
        EXPECT_EQ(MissingLine(p), line);
    }
    // With no font chosen yet only what no file can hold is named.
    EXPECT_EQ(MissingLine(ComputeSignPreview(U"C中", FontData{}, 1, 3)), lost + "中");
    const SignPreview p = preview(U"AWA", 1);
    EXPECT_EQ(p.columns.size(), 10u);
    ASSERT_EQ(p.markers.size(), 1u);
    EXPECT_EQ(std::tuple(p.markers[0].kind, p.markers[0].column, p.markers[0].position), std::tuple(K::Refused, 5u, 1u));
    EXPECT_NE(p.markers[0].toolTip.find("no se graba"), std::string::npos);
}

// Tags are found greedily from the left in characters, as the highlighter and the count find
// them; the preview marks them among the columns with their list text and colour.
TEST_F(EditorTest, TagsAreMarkedAmongTheColumnsWithTheirListTextAndColour) {
    const SignPreview p = preview(U"<3>A<9>A<A><x>", 1);
    EXPECT_EQ(p.columns.size(), 10u);
    EXPECT_EQ(p.count, 1 + 5 + 2 + 5 + 1 + 1);  // tags count 1, "<9>" 2
    std::vector<std::tuple<K, std::size_t, std::size_t, char32_t, std::string>> markers;
    for (const PreviewMarker& m : p.markers) markers.emplace_back(m.kind, m.column, m.position, m.code, m.toolTip);
    EXPECT_EQ(markers, (decltype(markers){{K::Effect, 0, 0, U'3', "3 - Pausa larga"}, {K::Effect, 5, 4, U'9', "9 - Apagado"},
                                          {K::Effect, 10, 8, U'A', "A - Separa Msj."},
                                          {K::Effect, 10, 11, U'x', "<x>: no es un efecto (se graba 0)"}}));
    const Rgb green{0, 150, 0}, orange{255, 150, 0};
    const Rgb colours[] = {{0, 0, 255}, {0, 200, 200}, green, {255, 0, 0}, green, orange, orange, green, green, {255, 0, 255}, green};
    for (std::size_t i = 0; i < kEffects.size(); ++i) {
        EXPECT_EQ(preview(EffectTag(static_cast<int>(i))).markers.at(0).toolTip, kEffects[i].listText);
        EXPECT_EQ(TagColor(kEffects[i].code), colours[i]) << i;
    }
    EXPECT_EQ(TagColor(U'x'), green);
    EXPECT_EQ(EffectTag(-1) + EffectTag(11) + FromUtf8(EffectListText(U'x')), U"");
    using T = std::vector<std::pair<std::size_t, char32_t>>;  // as the highlighter finds them
    const std::pair<std::u32string, T> cases[] = {{U"<<>>", {{0, U'<'}}}, {U"a<b<4", {}}, {U"😀<😀><A><x>", {{1, U'😀'}, {4, U'A'}, {7, U'x'}}}};
    for (const auto& [text, tags] : cases) {
        T found;
        for (const TagSpan& t : FindTags(text)) found.emplace_back(t.start, t.code);
        EXPECT_EQ(found, tags) << ToUtf8(text);
    }
    EXPECT_EQ(InsertarEfecto(U"<3>", U"Hola", 2) + InsertarEfecto(U"<3>", U"Hola", 4) + InsertarEfecto(U"<3>", U"Hola", 99),
              U"Ho<3>laHola<3>Hola<3>");
}

// A font name that could lead out of the font folder is kept, and is a font that is not there
// for the count, the preview and the recording, even where it would reach a real font file.
TEST_F(EditorTest, AFontNameThatCouldLeadOutOfTheFolderDrawsNothing) {
    store.FontFolder = (scratch.path() / "tipografias").string();
    fs::create_directories(store.FontFolder);
    WriteFont(store.FontFolder + "/a.ffv", kGlyphs);
    WriteFont(store.FontFolder + "/a b.ffv", kGlyphs);
    const std::string names[] = {"../tipografias/a.ffv", std::string("a.ffv\0", 6), "./a.ffv", "a.ffv\x1F", "a.ffv\x7F", "..", ".", ""};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string path = store.fontPath(name);
        const SignPreview p = ComputeSignPreview(U"A A", path, 1, 3);
        EXPECT_EQ(p.columns, Columns(3, kBlankColumn));
        EXPECT_EQ(std::pair(p.count, ContarColumnas(U"A A", path, 1, 3)), (std::pair<Int16, Int16>(3, 3)));
        EXPECT_EQ(MissingLine(p), name.empty() ? "" : "Sin dibujo en «" + name + "»: A");
        EXPECT_EQ(Recorded(U"A A", path, 1, 3).first, Bytes(3, ColumnaVacia));
        EXPECT_NE(CheckFontFile(path).result, FontCheck::Result::Ok);
    }
    EXPECT_EQ(ContarColumnas(U"A A", store.fontPath("a.ffv"), 1, 3) + ContarColumnas(U"A A", store.fontPath("a b.ffv"), 1, 3), 26);
}

TEST_F(EditorTest, ThePreviewCacheRecomputesOnlyWhenAnInputChanges) {
    SignPreviewCache cache;
    const std::string other = make("otra.ffv", FontBytes({{"A", {0x01}}}));
    EXPECT_TRUE(cache.update(U"A", font, 1, 3));
    EXPECT_FALSE(cache.update(U"A", font, 1, 3));
    EXPECT_TRUE(cache.update(U"AA", font, 1, 3) && cache.preview().count == 10);
    EXPECT_TRUE(cache.update(U"AA", font, 0, 3) && cache.preview().count == 8);
    EXPECT_TRUE(cache.update(U"A A", font, 0, 4) && cache.preview().count == 12);
    EXPECT_TRUE(cache.update(U"A A", other, 0, 4));
    EXPECT_EQ(cache.preview().columns, Columns({0x01, 0x80, 0x80, 0x80, 0x80, 0x01}));
    WriteFont(other, {{"A", {0x01, 0x02}}});  // the same file rewritten is seen
    EXPECT_TRUE(cache.update(U"A A", other, 0, 4) && cache.preview().count == 8);
}

// Every character the font draws, each between others and beside blanks, line breaks, every
// tag, a tag naming no effect, half tags and characters the font lacks.
std::u32string EverythingIn(const FontData& font) {
    const std::u32string chars = font.characters();
    std::u32string text = chars + U" ";
    for (std::size_t i = 0; i < chars.size(); ++i) {
        text += chars[i];
        if (i % 7 == 0) text += U" ";
        if (i % 11 == 0) text += EffectTag(static_cast<int>(i / 11 % kEffects.size()));
        if (i % 13 == 0) text += U"\r\n";
    }
    for (int i = 0; i < static_cast<int>(kEffects.size()); ++i) text += EffectTag(i);
    return text + U"<x><<>中\u0001 <A>HOLA, Señor Muñoz: ¡3 €!<3";
}

// The preview's count is ContarColumnas' and its columns are the bytes the recording sends, with
// the test font, whose «W» the recording keeps back. (With the shipped fonts the same is checked
// against what cartel-virtual receives, in tests/e2e.)
TEST_F(EditorTest, PreviewColumnsAreTheBytesTheRecordingSends) {
    const std::u32string text = EverythingIn(*LoadFont(font));
    for (Int16 sep : {0, 1, 2, 5}) {
        for (Int16 space : {1, 3, 5}) {
            const std::string what = "separation " + std::to_string(sep) + ", space " + std::to_string(space);
            const auto [sent, clean] = Recorded(text, font, sep, space);
            EXPECT_FALSE(clean) << what;
            const SignPreview p = ComputeSignPreview(text, font, sep, space);
            EXPECT_GT(p.columns.size(), 30u) << what;
            EXPECT_EQ(sent, Expected(p)) << what;
            EXPECT_EQ(p.count, ContarColumnas(text, font, sep, space)) << what;
        }
    }
}

}  // namespace
}  // namespace letrador::testing
