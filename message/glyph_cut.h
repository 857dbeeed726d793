// Turns a glyph drawn large in grey into the dot columns of the sign: cut to the sign's rows
// and at most ten columns, a dot lit where enough of its cell is inked.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "message/font_model.h"

namespace letrador {

// A glyph drawn at many pixels per dot: 0 is paper, 255 full ink, row by row.
struct InkImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> ink;
    double baseline = 0;  // y of the baseline, in pixels
    double dot = 1;       // pixels per dot at the chosen height
};

// Height of the glyph's ink, in dots at the chosen height.
double InkHeight(const InkImage& image);

// Places the glyph with its baseline under the bottom row. A glyph that reaches below the
// baseline or above the `tallest` bottom rows is moved up or down to fit; one taller than that
// (an accented capital, a letter with both ascender and descender) is shrunk until it fits, and
// so is one wider than ten columns. The first column is the glyph's first inked one.
GlyphDots CutGlyph(const InkImage& image, int thresholdPercent, int tallest = kSignRows);

struct CutResult {
    char32_t ch = 0;
    GlyphDots dots{};
    double inkHeight = 0;  // as drawn, before fitting
    int tallest = kSignRows;
};

// A few rows cannot show every difference between two glyphs (a capital I and a small l are
// both one bar in seven rows). Of two glyphs that came out the same, the one drawn shorter is
// cut again a row lower, so that it stays shorter on the sign too, until all differ or nothing
// more can be done. `cut` draws a character again within the given rows.
void TellApart(std::vector<CutResult>& glyphs,
               const std::function<GlyphDots(char32_t ch, int tallest)>& cut);

// A style of an installed font family, as the system describes it.
struct FontStyle {
    std::string name;
    int weight = 400;  // 100 (thin) to 900 (black); 400 is regular
    bool italic = false;
};

// The style names sorted by name, with the family's regular style first: upright, of the weight
// nearest to regular, a plain name ("Regular", "Book", "Normal", ...) before a width ("Condensed").
std::vector<std::string> SortedStyles(std::vector<FontStyle> styles);

// The characters filled by "all of Spanish": A-Z, a-z, 0-9, the accented letters, ñ, ü, and
// the signs of Spanish writing.
std::u32string SpanishCharacters();

}  // namespace letrador
