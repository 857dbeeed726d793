// Font records, character lookup and the column count of a paragraph text.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "message/font_file.h"
#include "tests/support/sample_font.h"

namespace letrador {
namespace {

namespace fs = std::filesystem;
using testing::FontRecordBytes;
using testing::SampleAB;
using testing::SampleGlyph;
using testing::ScratchFolder;
using testing::WriteFont;

constexpr Int16 kSpace = 3;
constexpr Int16 kSep = 1;

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A record whose key length does not fit: key length, then whatever bytes fill the 24.
std::string OversizedRecord(std::uint16_t keyLength, char fill) {
    std::string rec(24, fill);
    rec[0] = static_cast<char>(keyLength & 0xFF);
    rec[1] = static_cast<char>(keyLength >> 8);
    return rec;
}

class SampleFont : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = (scratch_.path() / "muestra.ffv").string();
        WriteFont(path_, SampleAB());
    }
    Int16 Count(std::u32string_view text, Int16 sep = kSep, Int16 space = kSpace) {
        return ContarColumnas(text, path_, sep, space);
    }
    ScratchFolder scratch_;
    std::string path_;
};

TEST_F(SampleFont, PlainCharactersAndSpaces) {
    EXPECT_EQ(Count(U""), 0);
    EXPECT_EQ(Count(U"A"), 5);
    EXPECT_EQ(Count(U"AA"), 10);
    EXPECT_EQ(Count(U"A A"), 13);
    EXPECT_EQ(Count(U"A", 3), 7);
    EXPECT_EQ(Count(U"A", 0), 4);
}

TEST_F(SampleFont, EmptyAndAbsentGlyphsTakeNoRoom) {
    EXPECT_EQ(Count(U"B"), 0);
    EXPECT_EQ(Count(U"C"), 0);
    EXPECT_EQ(Count(U"BCB"), 0);
    EXPECT_EQ(Count(U"BAC", 2), 6);
}

TEST_F(SampleFont, Tags) {
    EXPECT_EQ(Count(U"<4>"), 1);
    EXPECT_EQ(Count(U"<9>"), 2);
    EXPECT_EQ(Count(U"<A>"), 1);
    EXPECT_EQ(Count(U"<4>A"), 6);
    EXPECT_EQ(Count(U"<x>"), 1);
    EXPECT_EQ(Count(U"< >"), 1);  // the middle character is not measured as a space
    EXPECT_EQ(Count(U"<<>"), 1);
    EXPECT_EQ(Count(U"<9><9>A"), 9);
}

TEST_F(SampleFont, AngleBracketsOutsideATagAreCharacters) {
    EXPECT_EQ(Count(U"<4"), 0);
    EXPECT_EQ(Count(U"A<"), 5);
    EXPECT_EQ(Count(U">A"), 5);
    // Greedy from the left: "<A>" is taken first, the second ">" is a plain character.
    EXPECT_EQ(Count(U"<A>>"), 1);
    // With a drawn "<" the bracket that opens no tag is measured.
    const std::string withBracket = (scratch_.path() / "corchete.ffv").string();
    WriteFont(withBracket, {{"A", {0x7E, 0x09, 0x09, 0x7E}}, {"<", {0x08, 0x14, 0x22}}});
    EXPECT_EQ(ContarColumnas(U"<4", withBracket, kSep, kSpace), 4);
    EXPECT_EQ(ContarColumnas(U"A<", withBracket, kSep, kSpace), 9);
    EXPECT_EQ(ContarColumnas(U"<4>", withBracket, kSep, kSpace), 1);
}

TEST_F(SampleFont, SpacesIgnoreTheSeparationAndTheFont) {
    EXPECT_EQ(Count(U"  ", 0), 6);
    EXPECT_EQ(Count(U"  ", 1), 6);
    EXPECT_EQ(Count(U"  ", 5), 6);
    EXPECT_EQ(Count(U"  ", 1, 4), 8);
    const std::string withSpace = (scratch_.path() / "espacio.ffv").string();
    WriteFont(withSpace, {{" ", {0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F}}});
    EXPECT_EQ(ContarColumnas(U"  ", withSpace, kSep, kSpace), 6);
}

TEST_F(SampleFont, LineBreaksAreLookedUpLikeAnyCharacter) {
    EXPECT_EQ(Count(U"A\r\nA"), 10);
    const std::string withBreak = (scratch_.path() / "salto.ffv").string();
    WriteFont(withBreak, {{"\r", {0x01, 0x01}}, {"A", {0x7E, 0x09, 0x09, 0x7E}}});
    EXPECT_EQ(ContarColumnas(U"A\r\nA", withBreak, kSep, kSpace), 13);
}

TEST_F(SampleFont, CountsSaturateAt16Bits) {
    const std::u32string many(7000, U'A');  // 35000 columns
    EXPECT_EQ(Count(many), 32767);
    EXPECT_EQ(Count(U"  ", kSep, 30000), 32767);
    EXPECT_EQ(Count(U"   ", kSep, -20000), -32768);
    std::u32string tags;
    for (int i = 0; i < 17000; ++i) tags += U"<9>";
    EXPECT_EQ(Count(tags), 32767);
}

TEST_F(SampleFont, WidthOfACharacter) {
    EXPECT_EQ(AnchoCaracter(U'A', path_, 1), 5);
    EXPECT_EQ(AnchoCaracter(U'A', path_, 0), 4);
    EXPECT_EQ(AnchoCaracter(U'B', path_, 2), 2);
    EXPECT_EQ(AnchoCaracter(U'C', path_, 3), 3);
}

TEST_F(SampleFont, LookupGivesRecordNumbers) {
    EXPECT_EQ(BuscarCaracter(path_, U'A'), 1);
    EXPECT_EQ(BuscarCaracter(path_, U'B'), 2);
    EXPECT_EQ(BuscarCaracter(path_, U'C'), 0);
    EXPECT_EQ(BuscarCaracter(path_, U'a'), 0);  // exact, case-sensitive
    RegistroCaracter r;
    ASSERT_TRUE(LeerRegistro(path_, 1, r));
    EXPECT_EQ(r.keyLength, 1);
    EXPECT_EQ(r.Caracter, "A");
    EXPECT_EQ(r.Columna[0], 0x7E);
    EXPECT_EQ(r.Columna[3], 0x7E);
    EXPECT_EQ(r.Columna[4], 0);
    EXPECT_EQ(GlyphWidth(r), 4);
    EXPECT_FALSE(LeerRegistro(path_, 3, r));
    EXPECT_FALSE(LeerRegistro(path_, 0, r));
}

class FontFiles : public ::testing::Test {
protected:
    std::string file(const char* name) const { return (scratch_.path() / name).string(); }
    ScratchFolder scratch_;
};

TEST_F(FontFiles, KeysOfLengthZeroOrTwoNeverMatch) {
    const std::string p = file("claves.ffv");
    WriteFont(p, {{"AB", {0x7F}}, {"", {0x7F}}, {"B", {0x01}}});
    EXPECT_EQ(BuscarCaracter(p, U'A'), 0);
    EXPECT_EQ(BuscarCaracter(p, U'\0'), 0);
    EXPECT_EQ(BuscarCaracter(p, U'B'), 3);
    // The two-byte key's columns start at byte 4; the record is read whole.
    RegistroCaracter r;
    ASSERT_TRUE(LeerRegistro(p, 1, r));
    EXPECT_EQ(r.Caracter, "AB");
    EXPECT_EQ(r.Columna[0], 0x7F);
    ASSERT_TRUE(LeerRegistro(p, 2, r));
    EXPECT_EQ(r.keyLength, 0);
    EXPECT_EQ(r.Columna[0], 0x7F);
}

TEST_F(FontFiles, FirstOfTwoRecordsWins) {
    const std::string p = file("doble.ffv");
    WriteFont(p, {{"B", {0x01}}, {"A", {0x7E, 0x09, 0x09, 0x7E}}, {"A", {0x7F, 0x7F}}});
    EXPECT_EQ(BuscarCaracter(p, U'A'), 2);
    EXPECT_EQ(AnchoCaracter(U'A', p, 1), 5);
    EXPECT_EQ(ContarColumnas(U"AA", p, 1, 3), 10);
}

TEST_F(FontFiles, EmptyOrMissingFileHasNoCharacters) {
    const std::string empty = file("vacio.ffv");
    WriteBytes(empty, "");
    EXPECT_EQ(BuscarCaracter(empty, U'A'), 0);
    EXPECT_EQ(ContarColumnas(U"A <9> A", empty, 1, 3), 8);
    const std::string missing = file("no_existe.ffv");
    EXPECT_EQ(BuscarCaracter(missing, U'A'), 0);
    EXPECT_EQ(AnchoCaracter(U'A', missing, 2), 2);
    EXPECT_EQ(ContarColumnas(U"<1>A A", missing, 1, 3), 4);
    EXPECT_TRUE(LoadFont(missing)->records.empty());
    EXPECT_EQ(BuscarCaracter(scratch_.path().string(), U'A'), 0);  // a folder, not a file
}

TEST_F(FontFiles, OversizedKeyRecordIsSkippedAndTheNextOneRead) {
    const std::string p = file("larga.ffv");
    std::string bytes = FontRecordBytes({"A", {0x7E, 0x09, 0x09, 0x7E}});
    std::string bad = OversizedRecord(3, 'C');  // key "CCC..." with "C" columns beyond the record
    bytes += bad;
    bytes += FontRecordBytes({"C", {0x01, 0x02, 0x04}});
    bytes += OversizedRecord(0xFFFF, 'D');
    bytes += FontRecordBytes({"D", {0x0F}});
    WriteBytes(p, bytes);
    EXPECT_EQ(BuscarCaracter(p, U'A'), 1);
    EXPECT_EQ(BuscarCaracter(p, U'C'), 3);
    EXPECT_EQ(BuscarCaracter(p, U'D'), 5);
    EXPECT_EQ(ContarColumnas(U"ACD", p, 1, 3), 5 + 4 + 2);
    RegistroCaracter r;
    ASSERT_TRUE(LeerRegistro(p, 2, r));
    EXPECT_FALSE(r.fitsRecord());
    EXPECT_FALSE(r.matches(U'C'));
    EXPECT_EQ(GlyphWidth(r), 0);
}

TEST_F(FontFiles, TrailingPieceReadsAsAZeroPaddedRecord) {
    const std::string p = file("corta.ffv");
    std::string bytes = FontRecordBytes({"A", {0x7E}});
    bytes += FontRecordBytes({"Z", {0x11, 0x22, 0x33}}).substr(0, 7);  // key and two columns
    WriteBytes(p, bytes);
    EXPECT_EQ(BuscarCaracter(p, U'Z'), 2);
    EXPECT_EQ(AnchoCaracter(U'Z', p, 0), 2);
}

TEST_F(FontFiles, KeysAreWindows1252) {
    const std::string p = file("acentos.ffv");
    WriteFont(p, {{"\xF1", {0x01}}, {"\x80", {0x03, 0x03}}, {"\xC1", {0x07, 0x07, 0x07}}});
    EXPECT_EQ(BuscarCaracter(p, U'ñ'), 1);
    EXPECT_EQ(BuscarCaracter(p, U'€'), 2);
    EXPECT_EQ(BuscarCaracter(p, U'Á'), 3);
    EXPECT_EQ(BuscarCaracter(p, U'\x80'), 0);  // the control character, not the euro sign
    EXPECT_EQ(BuscarCaracter(p, U'Ñ'), 0);
    EXPECT_EQ(ContarColumnas(U"ñ€Á\x80\x4E00", p, 1, 3), 2 + 3 + 4);
}

TEST_F(FontFiles, NegativeAndWideColumnsStillCount) {
    const std::string p = file("valores.ffv");
    WriteFont(p, {{"A", {0, 0, -1}}, {"B", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0x100}}});
    EXPECT_EQ(AnchoCaracter(U'A', p, 0), 3);
    EXPECT_EQ(AnchoCaracter(U'B', p, 0), 10);
    EXPECT_EQ(ContarColumnas(U"AB", p, 1, 3), 4 + 11);
}

TEST_F(FontFiles, ChangeOnDiskIsSeenAtTheNextCall) {
    const std::string p = file("cambia.ffv");
    WriteFont(p, {{"A", {0x7E, 0x09, 0x09, 0x7E}}});
    EXPECT_EQ(ContarColumnas(U"A", p, 1, 3), 5);
    // Same size, rewritten at once.
    WriteFont(p, {{"A", {0x7E, 0x09}}});
    EXPECT_EQ(ContarColumnas(U"A", p, 1, 3), 3);
    // Another size.
    WriteFont(p, {{"B", {0x01}}, {"A", {0x01, 0x01, 0x01, 0x01, 0x01, 0x01}}});
    EXPECT_EQ(ContarColumnas(U"A", p, 1, 3), 7);
    EXPECT_EQ(BuscarCaracter(p, U'A'), 2);
    fs::remove(p);
    EXPECT_EQ(ContarColumnas(U"A", p, 1, 3), 0);
}

TEST_F(FontFiles, SettledFileIsCachedUntilItChanges) {
    // A file of the source tree: its inode has not changed since the checkout, so the copy
    // already read is given again. (A scratch file cannot be made settled: no call sets back
    // an inode's change time.)
    const std::string settled = std::string(LETRADOR_SOURCE_DIR) + "/data/fonts/angosta.txt";
    const auto once = LoadFont(settled);
    ASSERT_FALSE(once->records.empty());
    EXPECT_EQ(LoadFont(settled), once);

    const std::string p = file("cambiada.ffv");
    WriteFont(p, {{"A", {0x7E, 0x09, 0x09, 0x7E}}});
    const auto first = LoadFont(p);
    EXPECT_EQ(AnchoCaracter(U'A', p, 1), 5);
    WriteFont(p, {{"A", {0x7E}}});
    EXPECT_NE(LoadFont(p), first);
    EXPECT_EQ(AnchoCaracter(U'A', p, 1), 2);
    EXPECT_EQ(first->records.at(0).Columna[3], 0x7E);  // a held copy never changes under a caller
}

// cp -p, rsync -t and tar keep the modification time: the cache must still see the new content.
TEST_F(FontFiles, ASameSizeFontCopiedOverWithItsTimeKeptIsReadAgain) {
    for (const bool inPlace : {true, false}) {
        SCOPED_TRACE(inPlace ? "rewritten in place" : "replaced by a rename");
        const std::string p = file("copiada.ffv");
        WriteFont(p, {{"A", {0x7E, 0x09, 0x09, 0x7E}}});
        const auto kept = fs::last_write_time(p) - std::chrono::hours(1);
        fs::last_write_time(p, kept);
        EXPECT_EQ(AnchoCaracter(U'A', p, 1), 5);
        EXPECT_EQ(AnchoCaracter(U'A', p, 1), 5);
        const std::string written = inPlace ? p : file("nueva.ffv");
        WriteFont(written, {{"A", {0x7E, 0x09}}});
        fs::last_write_time(written, kept);
        if (!inPlace) fs::rename(written, p);
        ASSERT_EQ(fs::file_size(p), 24u);
        EXPECT_EQ(AnchoCaracter(U'A', p, 1), 3);
        EXPECT_EQ(ContarColumnas(U"AA", p, 1, 3), 6);
    }
}

// A "font" over 4 MiB is refused by the check and draws nothing, however it starts.
TEST_F(FontFiles, AFileTooLargeToBeAFontIsRefusedAndHasNoCharacters) {
    for (const std::uintmax_t size : {kMaxFontFileBytes, kMaxFontFileBytes + 1}) {
        SCOPED_TRACE(size);
        const bool font = size <= kMaxFontFileBytes;
        const std::string p = file(font ? "grande.ffv" : "enorme.ffv");
        WriteFont(p, {{"A", {0x7E, 0x09, 0x09, 0x7E}}});
        fs::resize_file(p, size);  // sparse: zero records after the first
        EXPECT_EQ(CheckFontFile(p).result,
                  font ? FontCheck::Result::Ok : FontCheck::Result::NotAFont);
        EXPECT_EQ(ContarColumnas(U"AA", p, 1, 3), font ? 10 : 0);
        EXPECT_EQ(BuscarCaracter(p, U'A'), font ? 1 : 0);
    }
}

TEST_F(FontFiles, CheckAcceptsFontsAndEmptyFiles) {
    const std::string p = file("buena.ffv");
    WriteFont(p, SampleAB());
    EXPECT_EQ(CheckFontFile(p).result, FontCheck::Result::Ok);
    const std::string empty = file("vacia.ffv");
    WriteBytes(empty, "");
    EXPECT_EQ(CheckFontFile(empty).result, FontCheck::Result::Ok);
    const std::string twoByteKey = file("dos.ffv");
    WriteFont(twoByteKey, {{"AB", {1}}});
    EXPECT_EQ(CheckFontFile(twoByteKey).result, FontCheck::Result::Ok);
    // Only record 1 is checked.
    const std::string laterBad = file("despues.ffv");
    WriteBytes(laterBad, FontRecordBytes({"A", {1}}) + OversizedRecord(7, 'x'));
    EXPECT_EQ(CheckFontFile(laterBad).result, FontCheck::Result::Ok);
    const std::string shortOk = file("corta.ffv");
    WriteBytes(shortOk, std::string("\x01\x00" "A", 3));
    EXPECT_EQ(CheckFontFile(shortOk).result, FontCheck::Result::Ok);
}

TEST_F(FontFiles, CheckRefusesARecordOneThatDoesNotFit) {
    const std::string p = file("texto.ffv");
    WriteBytes(p, "Esto es un archivo de texto, no una tipografia.\r\n");
    EXPECT_EQ(CheckFontFile(p).result, FontCheck::Result::NotAFont);
    const std::string three = file("tres.ffv");
    WriteBytes(three, OversizedRecord(3, '\0') + FontRecordBytes({"A", {1}}));
    EXPECT_EQ(CheckFontFile(three).result, FontCheck::Result::NotAFont);
    const std::string shortBad = file("corta.ffv");
    WriteBytes(shortBad, std::string("\x05\x00", 2));
    EXPECT_EQ(CheckFontFile(shortBad).result, FontCheck::Result::NotAFont);
}

TEST_F(FontFiles, CheckReportsFailuresWithNumberAndDescription) {
    const FontCheck missing = CheckFontFile(file("no_existe.ffv"));
    EXPECT_EQ(missing.result, FontCheck::Result::Failure);
    EXPECT_EQ(missing.errorNumber, ENOENT);
    EXPECT_EQ(missing.description, "No se encontró el archivo.");
    const FontCheck folder = CheckFontFile(scratch_.path().string());
    EXPECT_EQ(folder.result, FontCheck::Result::Failure);
    EXPECT_EQ(folder.errorNumber, EISDIR);
    EXPECT_FALSE(folder.description.empty());
}

TEST_F(FontFiles, CheckReportsAnUnreadableFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "file permissions do not bind the superuser";
    const std::string p = file("cerrada.ffv");
    WriteFont(p, SampleAB());
    fs::permissions(p, fs::perms::none);
    const FontCheck check = CheckFontFile(p);
    EXPECT_EQ(check.result, FontCheck::Result::Failure);
    EXPECT_EQ(check.errorNumber, EACCES);
    EXPECT_EQ(check.description, "Permiso denegado.");
}

}  // namespace
}  // namespace letrador
