#include "message/numeric.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace letrador {
namespace {

template <typename Char>
double ParseLeadingNumber(std::basic_string_view<Char> text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    double value = 0.0;
    bool digits = false;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10.0 + static_cast<double>(text[i] - '0');
        digits = true;
        ++i;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        double scale = 0.1;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            value += static_cast<double>(text[i] - '0') * scale;
            scale /= 10.0;
            digits = true;
            ++i;
        }
    }
    if (!digits) return 0.0;
    return negative ? -value : value;
}

}  // namespace

Int16 Saturate16(long long value) {
    if (value > std::numeric_limits<Int16>::max()) return std::numeric_limits<Int16>::max();
    if (value < std::numeric_limits<Int16>::min()) return std::numeric_limits<Int16>::min();
    return static_cast<Int16>(value);
}

double NumericValue(std::string_view text) { return ParseLeadingNumber(text); }
double NumericValue(std::u32string_view text) { return ParseLeadingNumber(text); }

Int16 RoundToInt16(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 32767.0) return std::numeric_limits<Int16>::max();
    if (value <= -32768.0) return std::numeric_limits<Int16>::min();
    // nearbyint rounds halves to even under the default rounding mode.
    return static_cast<Int16>(std::nearbyint(value));
}

std::string DecimalText(long long value) { return std::to_string(value); }

std::string DecimalNumberText(double value) {
    if (std::floor(value) == value && std::fabs(value) < 1e15) {
        return std::to_string(static_cast<long long>(value));
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    return buffer;
}

}  // namespace letrador
