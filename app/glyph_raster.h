// Glyphs of a font installed on the system, drawn with Qt and cut into the sign's dot columns.
#pragma once

#include <QString>

#include <string_view>
#include <vector>

#include "message/glyph_cut.h"

namespace letrador {

struct GlyphSource {
    QString family;
    QString style;
    int heightDots = kSignRows;  // height of a capital letter, in dots
    // How much of a dot's cell must be inked to light it. At the sign's seven rows, 30 keeps the
    // digits of the usual faces apart from each other and from letters ("0" from "D", "2" from
    // "J", "9" from "g").
    int thresholdPercent = 30;
};

GlyphDots DrawGlyph(const GlyphSource& source, char32_t ch);
// Every character of `chars`, told apart where the rows would make two of them the same.
std::vector<CutResult> DrawGlyphs(const GlyphSource& source, std::u32string_view chars);

}  // namespace letrador
