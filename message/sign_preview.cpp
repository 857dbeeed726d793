#include "message/sign_preview.h"

#include "message/codepage.h"
#include "message/effect_tags.h"

namespace letrador {

GlyphColumns GlyphColumnsOf(const RegistroCaracter& record) {
    GlyphColumns g;
    g.present = true;
    g.width = GlyphWidth(record);
    if (g.width == 0) return g;
    for (int k = 0; k < g.width; ++k) {
        const Int16 v = record.Columna[static_cast<std::size_t>(k)];
        // A value that does not fit in one byte would reach the sign as some other pattern.
        if (v < 0 || v > 255) {
            g.kind = GlyphColumns::Kind::Refused;
            g.present = true;
            g.values = {};
            return g;
        }
        g.values[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(v);
    }
    g.kind = GlyphColumns::Kind::Columns;
    return g;
}

GlyphColumns GlyphColumnsOf(const FontData& fuente, char32_t caracter) {
    const RegistroCaracter* record = fuente.record(caracter);
    return record ? GlyphColumnsOf(*record) : GlyphColumns{};
}

GlyphTable::GlyphTable(const FontData& fuente) {
    for (int b = 0; b < 256; ++b) {
        glyphs_[static_cast<std::size_t>(b)] = GlyphColumnsOf(fuente, DecodeCp1252(static_cast<unsigned char>(b)));
    }
}

const GlyphColumns& GlyphTable::of(char32_t caracter) const {
    static const GlyphColumns kNone;
    const int b = FontData::KeyOf(caracter);
    return b < 0 ? kNone : glyphs_[static_cast<std::size_t>(b)];
}

std::string TagToolTip(char32_t code) {
    const std::string listText = EffectListText(code);
    if (!listText.empty()) return listText;
    return "<" + ToUtf8(std::u32string_view(&code, 1)) + ">: no es un efecto (se graba 0)";
}

std::string MissingLine(const SignPreview& preview) {
    std::string line;
    auto list = [&line](const std::u32string& chars) {
        for (char32_t c : chars) line += " " + ToUtf8(std::u32string_view(&c, 1));
    };
    if (!preview.missing.empty()) {
        line = "Sin dibujo en «" + preview.fontName + "»:";
        list(preview.missing);
    }
    if (!preview.unsaved.empty()) {
        line += line.empty() ? "" : " · ";
        line += "No se pueden guardar (quedan como ?):";
        list(preview.unsaved);
    }
    return line;
}

SignPreview ComputeSignPreview(std::u32string_view texto, const GlyphTable& glyphs,
                               Int16 separacion, Int16 spaceWidth, std::string_view fontName) {
    SignPreview p;
    p.fontName.assign(fontName);
    p.columns.reserve(texto.size() * 4);
    const std::size_t n = texto.size();
    // The same walk as the recording's: a tag, a blank, or a character of the font.
    for (std::size_t i = 0; i < n; ++i) {
        const char32_t c = texto[i];
        if (c == U'<' && i + 2 < n && texto[i + 2] == U'>') {
            const char32_t e = texto[i + 1];
            p.markers.push_back(
                {PreviewMarker::Kind::Effect, p.columns.size(), i, e, TagToolTip(e)});
            p.count = Add16(p.count, e == U'9' ? 2 : 1);
            i += 2;
        } else if (c == U' ') {
            for (Int16 k = 0; k < spaceWidth; ++k) p.columns.push_back(kBlankColumn);
            p.count = Add16(p.count, spaceWidth);
        } else {
            const GlyphColumns& g = glyphs.of(c);
            auto shown = [c] { return "«" + ToUtf8(std::u32string_view(&c, 1)) + "»"; };
            // A character the code page cannot hold is lost from the message file as well as
            // from the sign: marked from the moment it is typed, font or no font.
            const bool unsaved = EncodeCp1252(c) < 0;
            if (unsaved) {
                p.markers.push_back({PreviewMarker::Kind::Missing, p.columns.size(), i, c,
                                     shown() + " no se puede guardar en el archivo (queda como ?)"
                                             " y no está en ninguna fuente: no se ve ni se graba"});
                if (p.unsaved.find(c) == std::u32string::npos) p.unsaved.push_back(c);
            }
            // Line breaks only lay the text out in the editor; every other character the font
            // lacks would vanish from the sign without a trace, so it is marked (once a font is
            // chosen: before that, nothing is drawn at all).
            if (!g.present && !p.fontName.empty() && c != U'\r' && c != U'\n') {
                if (!unsaved) {
                    p.markers.push_back({PreviewMarker::Kind::Missing, p.columns.size(), i, c,
                                         shown() + " no está en «" + p.fontName + "»: no se ve ni se graba"});
                }
                if (p.missing.find(c) == std::u32string::npos) p.missing.push_back(c);
            }
            if (g.width > 0) p.count = Add16(p.count, static_cast<long long>(g.width) + separacion);
            if (g.kind == GlyphColumns::Kind::Refused) {
                p.markers.push_back({PreviewMarker::Kind::Refused, p.columns.size(), i, c,
                                     "«" + ToUtf8(std::u32string_view(&c, 1)) +
                                         "» tiene una columna que no cabe en un byte: no se graba"});
            }
            if (g.kind != GlyphColumns::Kind::Columns) continue;
            for (int k = 0; k < g.width; ++k)
                p.columns.push_back(ColumnByte(g.values[static_cast<std::size_t>(k)]));
            for (Int16 k = 0; k < separacion; ++k) p.columns.push_back(kBlankColumn);
        }
    }
    return p;
}

SignPreview ComputeSignPreview(std::u32string_view texto, const FontData& fuente,
                               Int16 separacion, Int16 spaceWidth, std::string_view fontName) {
    return ComputeSignPreview(texto, GlyphTable(fuente), separacion, spaceWidth, fontName);
}

SignPreview ComputeSignPreview(std::u32string_view texto, const std::string& archivoFuente,
                               Int16 separacion, Int16 spaceWidth) {
    return ComputeSignPreview(texto, *LoadFont(archivoFuente), separacion, spaceWidth,
                              FontNameOf(archivoFuente));
}

bool SignPreviewCache::update(std::u32string_view texto, const std::string& archivoFuente,
                              Int16 separacion, Int16 spaceWidth) {
    // The font cache gives back the same object while the file is unchanged on disk; a file
    // read afresh (just written, say) may still draw the same glyphs.
    std::shared_ptr<const FontData> font = LoadFont(archivoFuente);
    bool fontChanged = !valid_;
    if (font != font_) {
        GlyphTable glyphs(*font);
        fontChanged = fontChanged || glyphs != glyphs_;
        glyphs_ = std::move(glyphs);
        font_ = std::move(font);
    }
    const std::string name = FontNameOf(archivoFuente);
    if (!fontChanged && name == preview_.fontName && texto == text_ && separacion == separation_ && spaceWidth == spaceWidth_)
        return false;
    text_.assign(texto);
    separation_ = separacion;
    spaceWidth_ = spaceWidth;
    valid_ = true;
    preview_ = ComputeSignPreview(texto, glyphs_, separacion, spaceWidth, name);
    return true;
}

Int16 TotalWithEditor(const ParagraphStore& store, int current, Int16 columns, bool ignore,
                      bool parrafosUnidos) {
    Int16 total = 0;
    const int count = store.ParagraphCount;
    for (int k = 1; k <= count && store.hasParagraph(k); ++k) {
        const ParagraphRecord& r = store.paragraph(k);
        const bool ignored = k == current ? ignore : r.Ignore;
        if (ignored) continue;
        total = Add16(total, k == current ? columns : r.Columns);
        if (!parrafosUnidos) total = Add16(total, 1);
    }
    return total;
}

}  // namespace letrador
