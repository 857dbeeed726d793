// The font held for editing: what it shows and keeps, its edits as the font lookup reads them,
// and a font saved unchanged coming back byte for byte.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "message/font_model.h"
#include "tests/support/odd_fonts.h"
#include "tests/support/sample_font.h"
#include "tests/support/shipped_fonts.h"

namespace letrador::testing {
namespace {

std::string Bytes(const std::vector<SampleGlyph>& glyphs, const std::string& tail = {}) {
    std::string out;
    for (const auto& g : glyphs) out += FontRecordBytes(g);
    return out + tail;
}

TEST(FontModelTest, EveryFontComesBackByteForByteAndShowsOnlyItsPlainFirstRecords) {
    std::vector<OddFont> fonts = OddFonts();
    for (const auto& path : ShippedFonts()) {
        std::ifstream in(path, std::ios::binary);
        fonts.push_back({path.filename().string(),
                         std::string(std::istreambuf_iterator<char>(in), {}), -1, 0});
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
        // Every character shown draws what the font lookup finds for it.
        const FontData data = DecodeFont(f.bytes);
        for (char32_t ch : m.characters()) {
            const Int16 n = data.find(ch);
            ASSERT_GT(n, 0);
            EXPECT_EQ(m.dots(ch), data.records[static_cast<std::size_t>(n) - 1].Columna);
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
    struct Want {
        char32_t ch;
        int record;
        GlyphDots dots;
        int width;
    };
    for (const Want& w : {Want{U'A', 1, {0x7E, 0x09, 0x09, 0x7C}, 4},
                          Want{U'€', 3, {0x08, 0, 0, 0, 0, 0, 0x40}, 7},
                          Want{U'B', 4, {0x08, 0, 0, 0, 0, 0, 0x40}, 7}}) {
        SCOPED_TRACE(static_cast<int>(w.ch));
        ASSERT_EQ(data.find(w.ch), w.record);
        const RegistroCaracter& r = data.records[static_cast<std::size_t>(w.record) - 1];
        EXPECT_EQ(r.Columna, w.dots);
        EXPECT_EQ(GlyphWidth(r), w.width);
        EXPECT_EQ(m.width(w.ch), w.width);
    }
    EXPECT_EQ(data.records.size(), 4u);
    EXPECT_EQ(data.records[2].Caracter, "\x80");  // € is byte 0x80 in Windows-1252
}

TEST(FontModelTest, AddingRefusesCharactersTheFontHasOrCannotHold) {
    // A second «A» is kept but never shown; «x» sits under a two-byte key, which is no «x».
    FontModel m = FontModel::FromBytes(Bytes({{"A", {1}}, {"A", {2}}, {"xy", {3}}}));
    struct Case {
        char32_t ch;
        FontModel::AddResult result;
    };
    for (const Case& c : {Case{U'A', FontModel::AddResult::AlreadyThere},
                          Case{U'→', FontModel::AddResult::NotInCodePage},
                          Case{U'–', FontModel::AddResult::Added},
                          Case{U'x', FontModel::AddResult::Added},
                          Case{U'–', FontModel::AddResult::AlreadyThere}}) {
        SCOPED_TRACE(static_cast<int>(c.ch));
        EXPECT_EQ(m.add(c.ch), c.result);
        EXPECT_EQ(AddRefusal(c.result, c.ch).empty(), c.result == FontModel::AddResult::Added);
    }
    EXPECT_EQ(m.characters(), (std::vector<char32_t>{U'A', U'–', U'x'}));
}

TEST(FontModelTest, RemovingACharacterLetsItsNextRecordBeTheOneFound) {
    FontModel m = FontModel::FromBytes(Bytes({{"A", {1}}, {"B", {2}}, {"A", {3}}}, "\x01\x02"));
    EXPECT_EQ(m.oddRecords(), 2);
    ASSERT_TRUE(m.remove(U'A'));
    EXPECT_EQ(m.characters(), (std::vector<char32_t>{U'B', U'A'}));
    EXPECT_EQ(m.dots(U'A')[0], 3);
    EXPECT_EQ(m.oddRecords(), 1);
    EXPECT_EQ(m.bytes(), Bytes({{"B", {2}}, {"A", {3}}}, "\x01\x02"));
    EXPECT_FALSE(m.remove(U'C'));
}

}  // namespace
}  // namespace letrador::testing
