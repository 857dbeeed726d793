// Reading numbers out of texts, 16-bit saturation, and the Windows-1252 edge.
#include <gtest/gtest.h>

#include "message/codepage.h"
#include "message/numeric.h"

namespace letrador {
namespace {

TEST(Numeric, LeadingNumberOfAText) {
    EXPECT_EQ(NumericValue("7abc"), 7.0);
    EXPECT_EQ(NumericValue("   12"), 12.0);
    EXPECT_EQ(NumericValue("abc"), 0.0);
    EXPECT_EQ(NumericValue(""), 0.0);
    EXPECT_EQ(NumericValue("-3.25x"), -3.25);
    EXPECT_EQ(NumericValue("2.5"), 2.5);
    EXPECT_EQ(NumericValue("."), 0.0);
    EXPECT_EQ(NumericValue(U" 4"), 4.0);
}

TEST(Numeric, RoundingHalvesToEvenAndSaturating) {
    EXPECT_EQ(RoundToInt16(0.5), 0);
    EXPECT_EQ(RoundToInt16(1.5), 2);
    EXPECT_EQ(RoundToInt16(2.5), 2);
    EXPECT_EQ(RoundToInt16(3.5), 4);
    EXPECT_EQ(RoundToInt16(-2.5), -2);
    EXPECT_EQ(RoundToInt16(2.6), 3);
    EXPECT_EQ(RoundToInt16(1e9), 32767);
    EXPECT_EQ(RoundToInt16(-1e9), -32768);
    EXPECT_EQ(Saturate16(40000), 32767);
    EXPECT_EQ(Add16(32767, 1), 32767);
    EXPECT_EQ(Add16(-32768, -1), -32768);
}

TEST(Numeric, DecimalTexts) {
    EXPECT_EQ(DecimalText(4), "4");
    EXPECT_EQ(DecimalText(-2), "-2");
    EXPECT_EQ(DecimalNumberText(3.0), "3");
    EXPECT_EQ(DecimalNumberText(2.5), "2.5");
}

TEST(Codepage, SpanishCharactersAndTheEuroRoundTrip) {
    std::u32string text = U"¡Año €5 ¿Qué? º ª ° ÁÉÍÓÚÜÑáéíóúüñ";
    bool lossy = true;
    std::string bytes = ToCp1252(text, &lossy);
    EXPECT_FALSE(lossy);
    EXPECT_EQ(bytes.size(), text.size());
    EXPECT_EQ(static_cast<unsigned char>(ToCp1252(U"€")[0]), 0x80);
    EXPECT_EQ(static_cast<unsigned char>(ToCp1252(U"ñ")[0]), 0xF1);
    EXPECT_EQ(FromCp1252(bytes), text);
}

TEST(Codepage, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    bool lossy = false;
    EXPECT_EQ(ToCp1252(U"aŁb", &lossy), "a?b");
    EXPECT_TRUE(lossy);
}

TEST(Codepage, Utf8RoundTripAndStrayBytesKept) {
    std::u32string text = U"Grabación ñ €";
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    EXPECT_EQ(FromUtf8("a\xFF"), std::u32string({U'a', U'\xFF'}));
    EXPECT_EQ(FromUtf8("\xC3"), std::u32string({U'\xC3'}));
}

}  // namespace
}  // namespace letrador
