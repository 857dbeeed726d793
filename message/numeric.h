// How the program reads numbers out of texts, and its 16-bit whole numbers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace letrador {

using Int16 = std::int16_t;

// Clamps to the 16-bit signed range: sums and parsed values saturate instead of wrapping.
Int16 Saturate16(long long value);

// Adds in 16 bits, saturating.
inline Int16 Add16(Int16 a, long long b) { return Saturate16(static_cast<long long>(a) + b); }

// The number a text begins with: leading blanks skipped, an optional sign, digits, an optional
// period and decimals. A text that does not begin with a number gives 0.
double NumericValue(std::string_view text);
double NumericValue(std::u32string_view text);

// Nearest whole number, halves to the even neighbour, saturated to 16 bits.
Int16 RoundToInt16(double value);

// NumericValue followed by RoundToInt16: how boxes holding whole numbers are read.
inline Int16 WholeValue(std::string_view text) { return RoundToInt16(NumericValue(text)); }

// Plain decimal text without a leading blank ("4", "-2").
std::string DecimalText(long long value);

// A decimal number as message files write it: a whole value has no decimal part.
std::string DecimalNumberText(double value);

}  // namespace letrador
