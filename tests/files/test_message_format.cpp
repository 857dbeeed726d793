// What message files are made of: numbers read from texts, the Windows-1252 code page, and the
// file's layout taken apart as pure functions (quotes, lines, values, groups).
#include <gtest/gtest.h>

#include <limits>

#include "files/message_format.h"
#include "message/codepage.h"
#include "message/numeric.h"

namespace letrador {
namespace {

const std::u32string kMarker = U"fin_parrafo";

TEST(Numeric, ValuesRoundingAndTexts) {
    const std::pair<const char*, double> values[] = {{"7abc", 7}, {"   12", 12}, {"abc", 0}, {"", 0},
                                                     {"-3.25x", -3.25}, {"2.5", 2.5}, {".", 0}, {"+4", 4}};
    for (auto [text, value] : values) EXPECT_EQ(NumericValue(text), value) << text;
    EXPECT_EQ(NumericValue(U" 4"), 4.0);
    const std::pair<double, Int16> rounded[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {-2.5, -2},
                                                {2.6, 3}, {1e9, 32767}, {-1e9, -32768}};
    for (auto [value, whole] : rounded) EXPECT_EQ(RoundToInt16(value), whole) << value;
    EXPECT_EQ(Saturate16(40000), 32767);
    EXPECT_EQ(Add16(32767, 1), 32767);
    EXPECT_EQ(Add16(-32768, -1), -32768);
}

TEST(Codepage, EveryByteRoundTripsAndSpanishTextToo) {
    for (int b = 0; b < 256; ++b) EXPECT_EQ(EncodeCp1252(DecodeCp1252(static_cast<unsigned char>(b))), b) << b;
    EXPECT_EQ(DecodeCp1252(0x80), U'€');
    EXPECT_EQ(DecodeCp1252(0xF1), U'ñ');
    EXPECT_EQ(EncodeCp1252(U'Ł'), -1);
    const std::u32string text = U"¡Año €5 ¿Qué? º ª ° ÁÉÍÓÚÜÑáéíóúüñ";
    bool lossy = true;
    const std::string bytes = ToCp1252(text, &lossy);
    EXPECT_FALSE(lossy);
    EXPECT_EQ(bytes.size(), text.size());
    EXPECT_EQ(FromCp1252(bytes), text);
    EXPECT_EQ(ToCp1252(U"aŁb", &lossy), "a?b");
    EXPECT_TRUE(lossy);
    EXPECT_EQ(FromUtf8(ToUtf8(U"Grabación ñ € 😀")), U"Grabación ñ € 😀");
    EXPECT_EQ(FromUtf8("a\xFF"), std::u32string({U'a', U'\xFF'}));  // stray bytes are kept
    EXPECT_EQ(FromUtf8("\xC3"), std::u32string({U'\xC3'}));
}

TEST(MessageFormat, QuotesAndDecimalLines) {
    const std::pair<std::u32string, std::u32string> strip[] = {
        {U"\"Hola\"", U"Hola"}, {U"xHolay", U"Hola"}, {U"\"\"", U""}, {U"\"", U""}, {U"", U""}};
    for (const auto& [in, out] : strip) EXPECT_EQ(QuitarComillas(in), out) << ToUtf8(in);
    const std::pair<std::u32string, std::u32string> undouble[] = {
        {U"a\"\"b", U"a\"b"}, {U"\"\"\"\"", U"\"\""}, {U"\"\"\"", U"\"\""}, {U"\"", U"\""},
        {U"\"x\"", U"\"x\""}, {U"sin comillas", U"sin comillas"}};
    for (const auto& [in, out] : undouble) EXPECT_EQ(DesdoblarComillas(in), out) << ToUtf8(in);
    for (std::u32string t : {U"", U"\"", U"\"\"", U"a\"b\"\"c\"\"\"", U"\r\n\"\r\n"})
        EXPECT_EQ(DesdoblarComillas(DoblarComillas(t)), t);
    EXPECT_EQ(DoblarComillas(U"di \"hola\""), U"di \"\"hola\"\"");
    const std::pair<double, const char*> decimals[] = {
        {3, "3"}, {2.5, "2.5"}, {-1, "-1"}, {0, "0"}, {-1e-30, "0"}, {1e20, "100000000000000000000"},
        {std::numeric_limits<double>::infinity(), "0"}, {2.5e-5, "0.000025"}, {100, "100"}};
    for (auto [value, line] : decimals) EXPECT_EQ(DecimalLine(value), line) << value;
}

TEST(MessageFormat, SplitLinesEndsLinesAtCrLfAndLoneLf) {
    using L = std::vector<std::string_view>;
    EXPECT_EQ(SplitLines("a\r\nb\nc\r\n\r\nd"), (L{"a", "b", "c", "", "d"}));
    EXPECT_TRUE(SplitLines("").empty());
    EXPECT_EQ(SplitLines("x\r\n"), L{"x"});
    EXPECT_EQ(SplitLines("a\rb\r\n"), L{"a\rb"});  // a lone CR is a character of the line
    EXPECT_EQ(SplitLines("a\r\nb\r"), (L{"a", "b"}));  // ... unless the file was cut after it
}

using R = ParagraphRecord;  // number, font, text, columns, ignore, separation

TEST(MessageFormat, ComposeWritesSevenLinesPerParagraphInCp1252) {
    auto m = ComposeMessageFile({2.5, true},
                                {R{1, "ñ.ffv", U"Año \"x\"\r\nDos", 10, true, 0}, R{2, "", U"", 0, false, 1}},
                                kMarker);
    EXPECT_FALSE(m.lossy);
    EXPECT_EQ(m.bytes, "2.5\r\n1\r\n"
                       "1\r\n\"\xF1.ffv\"\r\n\"A\xF1o \"\"x\"\"\r\nDos\"\r\n\"fin_parrafo\"\r\n10\r\n#TRUE#\r\n0\r\n"
                       "2\r\n\"\"\r\n\"\"\r\n\"fin_parrafo\"\r\n0\r\n#FALSE#\r\n1\r\n");
    m = ComposeMessageFile({}, {R{1, "a.ffv", U"\u263A \u20AC", 1}}, kMarker);
    EXPECT_TRUE(m.lossy);
    EXPECT_EQ(m.bytes.substr(0, 6), "3\r\n0\r\n");
    EXPECT_NE(m.bytes.find("\"? \x80\"\r\n"), std::string::npos);
    EXPECT_TRUE(CollidesWithEndMarker(R{1, "a", U"fin_parrafo"}, kMarker));
    EXPECT_FALSE(CollidesWithEndMarker(R{1, "a", U"fin_parrafo "}, kMarker));
    EXPECT_FALSE(CollidesWithEndMarker(R{1, "a", U"fin_parrafo\r\nfin_parrafo"}, kMarker));
}

TEST(MessageFormat, ParseReadsBackWhatComposeWrote) {
    std::vector<ParagraphRecord> ps = {
        R{1, "a.ffv", U"Uno\r\nDos", 5, false, 2}, R{2, "b.ffv", U"\"", 6, true, 0},
        R{3, "c.ffv", U"\"\"", 7, false, 1},
        R{4, "d.ffv", U"fin_parrafo\r\n\"fin_parrafo\"", 7, false, -1}, R{5, "", U""},
        R{6, "con\\barra \"y\" comillas.ffv", U"x", 1, false, 1}};
    auto parsed = ParseMessageFile(ComposeMessageFile({4, false}, ps, kMarker).bytes, kMarker);
    EXPECT_TRUE(parsed.complete);
    EXPECT_EQ(parsed.spaceWidthText, "4");
    EXPECT_EQ(parsed.joinedText, "0");
    ASSERT_EQ(parsed.groups.size(), ps.size());
    for (std::size_t i = 0; i < ps.size(); ++i) {
        EXPECT_EQ(parsed.groups[i].text, ps[i].Text) << i;
        EXPECT_EQ(parsed.groups[i].fontFile, ps[i].FontFile) << i;
        EXPECT_EQ(parsed.groups[i].ignore, ps[i].Ignore) << i;
        EXPECT_EQ(parsed.groups[i].separation, DecimalText(ps[i].Separation)) << i;
    }
}

const std::string kHead = "3\r\n0\r\n";
const std::string kGroup = "1\r\n\"a.ffv\"\r\n\"Hola\"\r\n\"fin_parrafo\"\r\n24\r\n#FALSE#\r\n1\r\n";

std::string Group(const std::string& ignore, const std::string& text = "\"t\"") {
    return "1\r\n\"a\"\r\n" + text + "\r\n\"fin_parrafo\"\r\n0\r\n" + ignore + "\r\n1\r\n";
}

TEST(MessageFormat, ParseTakesValueLinesAsTheyStand) {
    // Only an exact #FALSE# is not ignored.
    std::string f = kHead;
    for (const char* line : {"#TRUE#", "0", "x", "#false#", "#FALSE# ", "#FALSE#"}) f += Group(line);
    auto parsed = ParseMessageFile(f, kMarker);
    ASSERT_EQ(parsed.groups.size(), 6u);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(parsed.groups[i].ignore) << i;
    EXPECT_FALSE(parsed.groups[5].ignore);
    // A file not written by this program: the text ends at once and the marker line is it.
    parsed = ParseMessageFile(kHead + "1\r\n\"a.ffv\"\r\n\"fin_parrafo\"\r\n9\r\n#FALSE#\r\n1\r\n", kMarker);
    ASSERT_TRUE(parsed.complete);
    ASSERT_EQ(parsed.groups.size(), 1u);
    EXPECT_EQ(parsed.groups[0].text, U"fin_parrafo");
    // A cut in the last line's end still leaves the line whole.
    const std::string whole = kHead + kGroup + kGroup;
    for (std::size_t drop : {1u, 2u}) {
        parsed = ParseMessageFile(whole.substr(0, whole.size() - drop), kMarker);
        EXPECT_TRUE(parsed.complete) << drop;
        ASSERT_EQ(parsed.groups.size(), 2u) << drop;
        EXPECT_EQ(parsed.groups[1].separation, "1") << drop;
    }
}

// Only what the layout cannot be read from is refused: a file that ends before its second line,
// after its first two or inside a group, and a font name or text shorter than two characters.
TEST(MessageFormat, NotAMessageIsRefusedWithTheLineAndWhatIsWrong) {
    const std::string font = "no es un nombre de archivo de fuente entre comillas";
    const struct {
        std::string bytes;
        int line;
        std::string problem;
    } cases[] = {
        {std::string("\xFF\xD8\xFF\xE0\0\x10JFIF\0\x01\r\n3\r\n", 17), 3, "falta el primer párrafo"},
        {"4", 2, "falta la opción Párrafos unidos"},
        {kHead, 3, "falta el primer párrafo"},
        {kHead + kGroup + "2\r\n", 11, "el párrafo 2 está cortado"},
        {kHead + kGroup + kGroup.substr(0, kGroup.size() - 3), 16, "el párrafo 2 está cortado"},
        {kHead + "1\r\n\"a\"\r\n\"x\r\ny\r\nz\"\r\n", 8, "el párrafo 1 está cortado"},
        {kHead + "1\r\n\"\r\n\"Hola\"\r\n\"fin_parrafo\"\r\n0\r\n1\r\n1\r\n", 4, font},
        {kHead + "1\r\n\r\n\"Hola\"\r\n\"fin_parrafo\"\r\n0\r\n1\r\n1\r\n", 4, font},
        {kHead + Group("1", "x"), 5, "el texto del párrafo 1 no está entre comillas"},
        {kHead + kGroup + Group("1", ""), 12, "el texto del párrafo 2 no está entre comillas"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        auto parsed = ParseMessageFile(c.bytes, kMarker);
        EXPECT_FALSE(parsed.complete);
        EXPECT_EQ(parsed.problemLine, c.line);
        EXPECT_EQ(parsed.problem, c.problem);
    }
}

}  // namespace
}  // namespace letrador
