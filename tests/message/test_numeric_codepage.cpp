// Reading numbers out of texts, 16-bit saturation, and the Windows-1252 edge.
#include <gtest/gtest.h>

#include "message/codepage.h"
#include "message/numeric.h"

namespace letrador {
namespace {

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
    EXPECT_EQ(DecimalText(4), "4");
    EXPECT_EQ(DecimalText(-2), "-2");
    EXPECT_EQ(DecimalNumberText(3.0), "3");
    EXPECT_EQ(DecimalNumberText(2.5), "2.5");
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

}  // namespace
}  // namespace letrador
