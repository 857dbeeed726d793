// The message file's layout taken apart as pure functions: quotes, lines, values, groups.
#include <gtest/gtest.h>

#include <limits>

#include "files/message_format.h"
#include "message/codepage.h"

namespace letrador {
namespace {

const std::u32string kMarker = U"fin_parrafo";

TEST(QuitarComillas, DropsFirstAndLastWhateverTheyAre) {
    EXPECT_EQ(QuitarComillas(U"\"Hola\""), U"Hola");
    EXPECT_EQ(QuitarComillas(U"xHolay"), U"Hola");
    EXPECT_EQ(QuitarComillas(U"\"\""), U"");
}

TEST(QuitarComillas, ShorterThanTwoIsEmpty) {
    EXPECT_EQ(QuitarComillas(U""), U"");
    EXPECT_EQ(QuitarComillas(U"\""), U"");
}

TEST(DesdoblarComillas, RunsOfQuotesHalveRoundingUp) {
    EXPECT_EQ(DesdoblarComillas(U"a\"\"b"), U"a\"b");
    EXPECT_EQ(DesdoblarComillas(U"\"\"\"\""), U"\"\"");
    EXPECT_EQ(DesdoblarComillas(U"\"\"\""), U"\"\"");
    EXPECT_EQ(DesdoblarComillas(U"\""), U"\"");
    EXPECT_EQ(DesdoblarComillas(U"\"x\""), U"\"x\"");
    EXPECT_EQ(DesdoblarComillas(U"sin comillas"), U"sin comillas");
}

TEST(DoblarComillas, IsUndoneByDesdoblar) {
    for (std::u32string t : {U"", U"\"", U"\"\"", U"a\"b\"\"c\"\"\"", U"\r\n\"\r\n"}) {
        EXPECT_EQ(DesdoblarComillas(DoblarComillas(t)), t);
    }
    EXPECT_EQ(DoblarComillas(U"di \"hola\""), U"di \"\"hola\"\"");
}

TEST(DecimalLine, WholeValuesHaveNoDecimalPartAndNoExponent) {
    EXPECT_EQ(DecimalLine(3), "3");
    EXPECT_EQ(DecimalLine(2.5), "2.5");
    EXPECT_EQ(DecimalLine(-1), "-1");
    EXPECT_EQ(DecimalLine(0), "0");
    EXPECT_EQ(DecimalLine(1e20), "100000000000000000000");
    EXPECT_EQ(DecimalLine(std::numeric_limits<double>::infinity()), "0");
}

TEST(SplitLines, EndsLinesAtCrLfAndLoneLf) {
    auto lines = SplitLines("a\r\nb\nc\r\n\r\nd");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "a");
    EXPECT_EQ(lines[1], "b");
    EXPECT_EQ(lines[2], "c");
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], "d");
    EXPECT_TRUE(SplitLines("").empty());
    EXPECT_EQ(SplitLines("x\r\n").size(), 1u);
    // A lone CR is a character of the line.
    ASSERT_EQ(SplitLines("a\rb\r\n").size(), 1u);
    EXPECT_EQ(SplitLines("a\rb\r\n")[0], "a\rb");
    // ... but not when the file was cut between a line's CR and its LF.
    EXPECT_EQ(SplitLines("a\r\nb\r"), (std::vector<std::string_view>{"a", "b"}));
}

ParagraphRecord Record(int n, std::string font, std::u32string text, int columns, bool ignore,
                       int separation) {
    ParagraphRecord r;
    r.Number = static_cast<Int16>(n);
    r.FontFile = std::move(font);
    r.Text = std::move(text);
    r.Columns = static_cast<Int16>(columns);
    r.Ignore = ignore;
    r.Separation = static_cast<Int16>(separation);
    return r;
}

TEST(ComposeMessageFile, WritesSevenLinesPerParagraphInCp1252) {
    MessageHeader h{2.5, true};
    auto m = ComposeMessageFile(
        h, {Record(1, "ñ.ffv", U"Año \"x\"", 10, true, 0), Record(2, "", U"", 0, false, 1)},
        kMarker);
    EXPECT_FALSE(m.lossy);
    EXPECT_EQ(
        m.bytes,
        "2.5\r\n1\r\n"
        "1\r\n\"\xF1.ffv\"\r\n\"A\xF1o \"\"x\"\"\"\r\n\"fin_parrafo\"\r\n10\r\n#TRUE#\r\n0\r\n"
        "2\r\n\"\"\r\n\"\"\r\n\"fin_parrafo\"\r\n0\r\n#FALSE#\r\n1\r\n");
}

TEST(ComposeMessageFile, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    auto m = ComposeMessageFile({}, {Record(1, "a.ffv", U"\u263A \u20AC", 1, false, 1)}, kMarker);
    EXPECT_TRUE(m.lossy);
    EXPECT_NE(m.bytes.find("\"? \x80\"\r\n"), std::string::npos);
}

TEST(CollidesWithEndMarker, OnlyTheWholeWord) {
    EXPECT_TRUE(CollidesWithEndMarker(Record(1, "a", U"fin_parrafo", 0, false, 1), kMarker));
    EXPECT_FALSE(CollidesWithEndMarker(Record(1, "a", U"fin_parrafo ", 0, false, 1), kMarker));
    EXPECT_FALSE(
        CollidesWithEndMarker(Record(1, "a", U"fin_parrafo\r\nfin_parrafo", 0, false, 1), kMarker));
}

TEST(ParseMessageFile, ReadsBackWhatComposeWrote) {
    std::vector<ParagraphRecord> ps = {
        Record(1, "a.ffv", U"Uno\r\nDos", 5, false, 2),
        Record(2, "b.ffv", U"\"", 6, true, 0),
        Record(3, "c.ffv", U"\"\"", 7, false, 1),
        Record(4, "d.ffv", U"fin_parrafo\r\n\"fin_parrafo\"", 7, false, 1),
        Record(5, "", U"", 0, false, 1),
        Record(6, "con\\barra \"y\" comillas.ffv", U"x", 1, false, 1),
    };
    auto m = ComposeMessageFile({4, false}, ps, kMarker);
    auto parsed = ParseMessageFile(m.bytes, kMarker);
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

TEST(ParseMessageFile, FirstTextLineEqualToTheMarkerIsTheText) {
    // A file not written by this program: the text ends at once and the marker line is it.
    std::string f = "3\r\n0\r\n1\r\n\"a.ffv\"\r\n\"fin_parrafo\"\r\n9\r\n#FALSE#\r\n1\r\n";
    auto parsed = ParseMessageFile(f, kMarker);
    ASSERT_EQ(parsed.groups.size(), 1u);
    EXPECT_EQ(parsed.groups[0].text, U"fin_parrafo");
    EXPECT_FALSE(parsed.groups[0].ignore);
    EXPECT_TRUE(parsed.complete);
}

const std::string kHead = "3\r\n0\r\n";
const std::string kGroup = "1\r\n\"a.ffv\"\r\n\"Hola\"\r\n\"fin_parrafo\"\r\n24\r\n#FALSE#\r\n1\r\n";

TEST(ParseMessageFile, ACutInTheLastLinesEndStillLeavesTheLineWhole) {
    const std::string whole = kHead + kGroup + kGroup;
    for (std::size_t drop : {1u, 2u}) {
        auto parsed = ParseMessageFile(whole.substr(0, whole.size() - drop), kMarker);
        EXPECT_TRUE(parsed.complete) << drop;
        ASSERT_EQ(parsed.groups.size(), 2u) << drop;
        EXPECT_EQ(parsed.groups[1].separation, "1") << drop;
    }
}

struct NotAMessageCase {
    const char* name;
    std::string bytes;
    int line;
    const char* problem;
    friend void PrintTo(const NotAMessageCase& c, std::ostream* os) { *os << c.name; }
};

class NotAMessageTest : public ::testing::TestWithParam<NotAMessageCase> {};

TEST_P(NotAMessageTest, IsRefusedWithTheLineAndWhatIsWrong) {
    const NotAMessageCase& c = GetParam();
    auto parsed = ParseMessageFile(c.bytes, kMarker);
    EXPECT_FALSE(parsed.complete);
    EXPECT_EQ(parsed.problemLine, c.line);
    EXPECT_EQ(parsed.problem, c.problem);
}

INSTANTIATE_TEST_SUITE_P(
    Files, NotAMessageTest,
    ::testing::Values(
        NotAMessageCase{"Jpeg", std::string("\xFF\xD8\xFF\xE0\0\x10JFIF\0\x01\r\n3\r\n", 17), 1,
                        "no es un ancho de espacio (un número)"},
        NotAMessageCase{"WordForSpaceWidth", "tres\r\n0\r\n" + kGroup, 1,
                        "no es un ancho de espacio (un número)"},
        NotAMessageCase{"OneLine", "4", 2, "falta la opción Párrafos unidos"},
        NotAMessageCase{"DecimalJoined", "3\r\n0.5\r\n" + kGroup, 2,
                        "no es la opción Párrafos unidos (un número entero)"},
        NotAMessageCase{"OptionLinesOnly", kHead, 3, "falta el primer párrafo"},
        NotAMessageCase{"NumberLineOnly", kHead + kGroup + "2\r\n", 11,
                        "el párrafo 2 está cortado"},
        NotAMessageCase{"NoSeparation", kHead + kGroup + kGroup.substr(0, kGroup.size() - 3), 16,
                        "el párrafo 2 está cortado"},
        NotAMessageCase{"TextWithoutMarker", kHead + "1\r\n\"a\"\r\n\"x\r\ny\r\nz\"\r\n", 8,
                        "el párrafo 1 está cortado"},
        NotAMessageCase{"LoneQuoteFont", kHead + "1\r\n\"\r\n\"Hola\"\r\n\"fin_parrafo\"\r\n0\r\n1\r\n1\r\n",
                        4, "no es un nombre de archivo de fuente entre comillas"},
        NotAMessageCase{"FolderInFont", kHead + kGroup + "2\r\n\"../a.ffv\"\r\n\"Hola\"\r\n"
                        "\"fin_parrafo\"\r\n0\r\n#FALSE#\r\n1\r\n",
                        11, "no es un nombre de archivo de fuente entre comillas"},
        NotAMessageCase{"UnquotedText", kHead + "1\r\n\"a\"\r\nHola\r\n\"fin_parrafo\"\r\n0\r\n1\r\n1\r\n",
                        5, "el texto del párrafo 1 no empieza con comillas"},
        NotAMessageCase{"TextNotClosed", kHead + "1\r\n\"a\"\r\n\"Uno\r\nDos\r\n\"fin_parrafo\"\r\n0\r\n1\r\n1\r\n",
                        6, "el texto del párrafo 1 no termina con comillas"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParseMessageFile, OnlyExactFalseIsNotIgnored) {
    std::string f = "3\r\n0\r\n";
    for (const char* line : {"#TRUE#", "0", "x", "#false#", "#FALSE# ", "#FALSE#"}) {
        f += std::string("1\r\n\"a\"\r\n\"t\"\r\n\"fin_parrafo\"\r\n0\r\n") + line + "\r\n1\r\n";
    }
    auto parsed = ParseMessageFile(f, kMarker);
    ASSERT_EQ(parsed.groups.size(), 6u);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(parsed.groups[i].ignore) << i;
    EXPECT_FALSE(parsed.groups[5].ignore);
}

}  // namespace
}  // namespace letrador
