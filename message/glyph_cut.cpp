#include "message/glyph_cut.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <tuple>

namespace letrador {
namespace {

struct InkBox {
    int left, right, top, bottom;  // right and bottom inclusive; right < 0 when no ink
};

InkBox BoxOf(const InkImage& image) {
    InkBox b{image.width, -1, image.height, -1};
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            if (image.ink[static_cast<std::size_t>(y * image.width + x)] == 0) continue;
            b.left = std::min(b.left, x);
            b.right = std::max(b.right, x);
            b.top = std::min(b.top, y);
            b.bottom = std::max(b.bottom, y);
        }
    }
    return b;
}

}  // namespace

double InkHeight(const InkImage& image) {
    const InkBox b = BoxOf(image);
    return b.right < 0 ? 0.0 : (b.bottom + 1.0 - b.top) / image.dot;
}

GlyphDots CutGlyph(const InkImage& image, int thresholdPercent, int tallest) {
    GlyphDots dots{};
    tallest = std::clamp(tallest, 1, kSignRows);
    const InkBox box = BoxOf(image);
    if (box.right < 0) return dots;
    const double inkTop = box.top, inkBottom = box.bottom + 1.0;
    const double inkLeft = box.left, inkWidth = box.right + 1.0 - box.left;

    // The glyph goes into the bottom `tallest` rows; gridBottom is the lower edge of the last.
    double cellH = image.dot;
    double gridBottom = image.baseline;
    if (inkBottom - inkTop > tallest * cellH) {
        cellH = (inkBottom - inkTop) / tallest;
        gridBottom = inkBottom;
    } else if (inkBottom > image.baseline) {
        gridBottom = inkBottom;  // a descender lifts the glyph
    } else if (inkTop < image.baseline - tallest * cellH) {
        gridBottom = inkTop + tallest * cellH;  // an accent above the rows lowers it
    }
    const double gridTop = gridBottom - kSignRows * cellH;
    // The same pitch across, unless the glyph would need more than ten columns.
    const double cellW = std::max(cellH, inkWidth / kGlyphColumns);
    const int columns =
        std::clamp(static_cast<int>(std::ceil(inkWidth / cellW - 0.05)), 1, kGlyphColumns);

    std::vector<double> sum(static_cast<std::size_t>(kGlyphColumns * kSignRows), 0.0);
    std::vector<int> count(sum.size(), 0);
    for (int y = 0; y < image.height; ++y) {
        const int row = static_cast<int>(std::floor((y + 0.5 - gridTop) / cellH));
        if (row < 0 || row >= kSignRows) continue;
        for (int x = 0; x < image.width; ++x) {
            const int col = static_cast<int>(std::floor((x + 0.5 - inkLeft) / cellW));
            if (col < 0 || col >= columns) continue;
            const auto cell = static_cast<std::size_t>(col * kSignRows + row);
            sum[cell] += image.ink[static_cast<std::size_t>(y * image.width + x)];
            ++count[cell];
        }
    }
    for (int col = 0; col < columns; ++col) {
        int value = 0;
        for (int row = 0; row < kSignRows; ++row) {
            const auto cell = static_cast<std::size_t>(col * kSignRows + row);
            if (count[cell] == 0) continue;
            const double coverage = sum[cell] / (255.0 * count[cell]);
            if (coverage * 100.0 >= thresholdPercent) value |= 1 << row;
        }
        dots[static_cast<std::size_t>(col)] = static_cast<Int16>(value);
    }
    return dots;
}

void TellApart(std::vector<CutResult>& glyphs,
               const std::function<GlyphDots(char32_t ch, int tallest)>& cut) {
    // Every pass takes a row from one glyph, so this ends.
    for (bool changed = true; changed;) {
        changed = false;
        std::map<GlyphDots, std::size_t> first;
        for (std::size_t k = 0; k < glyphs.size() && !changed; ++k) {
            const auto [it, added] = first.emplace(glyphs[k].dots, k);
            if (added) continue;
            CutResult& a = glyphs[it->second];
            CutResult& b = glyphs[k];
            CutResult& shorter = b.inkHeight < a.inkHeight ? b : a;
            if (shorter.tallest <= 1) continue;
            shorter.dots = cut(shorter.ch, --shorter.tallest);
            changed = true;
        }
    }
}

std::vector<std::string> SortedStyles(std::vector<FontStyle> styles) {
    std::sort(styles.begin(), styles.end(),
              [](const FontStyle& a, const FontStyle& b) { return a.name < b.name; });
    auto plain = [](const std::string& name) {
        for (const char* p : {"Regular", "Book", "Normal", "Roman", "Plain", "Standard"})
            if (name == p) return true;
        return false;
    };
    auto unlike = [&](const FontStyle& s) {
        return std::make_tuple(s.italic, std::abs(s.weight - 400), !plain(s.name));
    };
    const auto regular = std::min_element(styles.begin(), styles.end(),
                                          [&](const FontStyle& a, const FontStyle& b) { return unlike(a) < unlike(b); });
    if (regular != styles.end()) std::rotate(styles.begin(), regular, regular + 1);
    std::vector<std::string> names;
    for (const FontStyle& s : styles) names.push_back(s.name);
    return names;
}

std::u32string SpanishCharacters() {
    std::u32string out;
    for (char32_t c = U'A'; c <= U'Z'; ++c) out += c;
    for (char32_t c = U'a'; c <= U'z'; ++c) out += c;
    for (char32_t c = U'0'; c <= U'9'; ++c) out += c;
    out += U"ÁÉÍÓÚÜÑáéíóúüñ¿?¡!.,;:-()\"'«»";
    return out;
}

}  // namespace letrador
