#include "app/glyph_raster.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <cmath>


namespace letrador {
namespace {

// Pixels per dot while drawing: enough for the cut to weigh how much of each dot is inked.
constexpr int kPixelsPerDot = 16;

InkImage Render(const GlyphSource& source, char32_t ch) {
    QFont font = QFontDatabase::font(source.family, source.style, 12);
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setHintingPreference(QFont::PreferNoHinting);
    // Scale so that a capital letter is heightDots dots tall.
    font.setPixelSize(100);
    const double capAt100 = QFontMetricsF(font).capHeight();
    const double capWanted = static_cast<double>(source.heightDots) * kPixelsPerDot;
    const int pixelSize = capAt100 > 0 ? static_cast<int>(std::lround(100.0 * capWanted / capAt100))
                                       : static_cast<int>(std::lround(capWanted));
    font.setPixelSize(std::max(1, pixelSize));

    const int size = 4 * kGlyphColumns * kPixelsPerDot;
    QImage image(size, size, QImage::Format_Grayscale8);
    image.fill(0);
    const double baseline = size * 0.7;
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::white);
        p.setFont(font);
        const char32_t text[] = {ch, 0};
        p.drawText(QPointF(size * 0.2, baseline), QString::fromUcs4(text, 1));
    }
    InkImage ink;
    ink.width = size;
    ink.height = size;
    ink.baseline = baseline;
    ink.dot = kPixelsPerDot;
    ink.ink.resize(static_cast<std::size_t>(size) * size);
    for (int y = 0; y < size; ++y) {
        const uchar* line = image.constScanLine(y);
        std::copy(line, line + size, ink.ink.begin() + static_cast<std::ptrdiff_t>(y) * size);
    }
    return ink;
}

}  // namespace

GlyphDots DrawGlyph(const GlyphSource& source, char32_t ch) {
    return CutGlyph(Render(source, ch), source.thresholdPercent);
}

std::vector<CutResult> DrawGlyphs(const GlyphSource& source, std::u32string_view chars) {
    std::vector<CutResult> out;
    for (char32_t ch : chars) {
        const InkImage ink = Render(source, ch);
        out.push_back({ch, CutGlyph(ink, source.thresholdPercent), InkHeight(ink), kSignRows});
    }
    TellApart(out, [&source](char32_t ch, int tallest) {
        return CutGlyph(Render(source, ch), source.thresholdPercent, tallest);
    });
    return out;
}

}  // namespace letrador
