// What a paragraph looks like on the sign: the column bytes that its recording sends, in order,
// with the places where its effect tags stand, and the message total that the capacity label
// would show with the editor saved. The rule for one character's columns is the recording's own
// (the recording calls GlyphColumnsOf too), so the preview cannot drift from what is sent.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "message/font_file.h"
#include "message/numeric.h"
#include "message/paragraph_store.h"

namespace letrador {

// A dark column on the line: blanks, separation columns, and glyph columns whose value is 0.
inline constexpr std::uint8_t kBlankColumn = 0x80;

// The byte that a glyph column of value `value` (0..255) goes out as.
constexpr std::uint8_t ColumnByte(std::uint8_t value) { return value == 0 ? kBlankColumn : value; }

// What a character that is neither a tag nor a blank puts on the line.
struct GlyphColumns {
    enum class Kind {
        Nothing,  // the font has no record for it, or all its columns are 0: nothing is sent
        Columns,  // columns 1..width, then the separation as blank columns
        Refused,  // a column up to the width does not fit in a byte: nothing is sent
    };
    Kind kind = Kind::Nothing;
    bool present = false;  // the font has a record for it (Nothing may still mean all dark)
    int width = 0;  // the glyph's width (last non-zero column), also for Refused
    std::array<std::uint8_t, kGlyphColumns> values{};  // columns 1..width, font values 0..255
    bool operator==(const GlyphColumns&) const = default;
};

// The columns of record `record` (the one the font's lookup finds for the character).
GlyphColumns GlyphColumnsOf(const RegistroCaracter& record);
// The columns of `caracter` in `fuente`: the first record for it, as BuscarCaracter finds it.
GlyphColumns GlyphColumnsOf(const FontData& fuente, char32_t caracter);

// GlyphColumnsOf for every character of a font, looked up by its key byte, so that a long text
// costs one table look-up per character.
class GlyphTable {
public:
    GlyphTable() = default;
    explicit GlyphTable(const FontData& fuente);
    const GlyphColumns& of(char32_t caracter) const;
    bool operator==(const GlyphTable&) const = default;

private:
    std::array<GlyphColumns, 256> glyphs_{};
};

// A tag, a character the recording refuses, or one the font lacks, at a place among the columns.
struct PreviewMarker {
    enum class Kind { Effect, Refused, Missing };
    Kind kind = Kind::Effect;
    std::size_t column = 0;    // how many columns stand before it
    std::size_t position = 0;  // 0-based position in the text (the tag's "<")
    char32_t code = 0;         // the tag's middle character, or the refused character
    std::string toolTip;       // UTF-8: the effect's list text, or why nothing is shown
};

struct SignPreview {
    // The column bytes the recording sends for the paragraph, effect codes left out: glyph
    // columns (a 0 as kBlankColumn), separation and blank columns as kBlankColumn.
    std::vector<std::uint8_t> columns;
    std::vector<PreviewMarker> markers;
    // The paragraph's column count as ContarColumnas gives it (tags 1 unit, "<9>" 2).
    Int16 count = 0;
    // Characters the font has no record for, each once, in order of appearance.
    std::u32string missing;
    // Characters a message file cannot hold (no Windows-1252 byte), each once, in order.
    std::u32string unsaved;
    std::string fontName;  // the font file's name, for the texts that name it
};

// "Sin dibujo en «normal.ffv»: – €", then "No se pueden guardar (quedan como ?): →" for the
// characters a message file cannot hold; "" when there is neither.
std::string MissingLine(const SignPreview& preview);

// Whether dot `row` (0 = top, 6 = bottom) of a column byte is lit. kBlankColumn lights none.
constexpr bool DotLit(std::uint8_t column, int row) {
    return row >= 0 && row < 7 && ((column >> row) & 1) != 0;
}

// The tool tip of a tag whose middle character is `code`.
std::string TagToolTip(char32_t code);

// Characters the font lacks are marked only when `fontName` names the font.
SignPreview ComputeSignPreview(std::u32string_view texto, const GlyphTable& glyphs,
                               Int16 separacion, Int16 spaceWidth, std::string_view fontName = {});
SignPreview ComputeSignPreview(std::u32string_view texto, const FontData& fuente,
                               Int16 separacion, Int16 spaceWidth, std::string_view fontName = {});
// The font read from `archivoFuente` (full path), as the recording reads it.
SignPreview ComputeSignPreview(std::u32string_view texto, const std::string& archivoFuente,
                               Int16 separacion, Int16 spaceWidth);

// Keeps the last preview and recomputes it only when one of its inputs changed; the glyph table
// is rebuilt only when the font changed.
class SignPreviewCache {
public:
    // True when the preview was recomputed.
    bool update(std::u32string_view texto, const std::string& archivoFuente, Int16 separacion,
                Int16 spaceWidth);
    const SignPreview& preview() const { return preview_; }

private:
    std::u32string text_;
    std::shared_ptr<const FontData> font_;
    Int16 separation_ = 0;
    Int16 spaceWidth_ = 0;
    bool valid_ = false;
    GlyphTable glyphs_;
    SignPreview preview_;
};

// The message total that the capacity label would show if the editor were saved now into
// paragraph `current` (0: none is being edited): TotalColumns with that paragraph's Columns and
// Ignore taken from the editor.
Int16 TotalWithEditor(const ParagraphStore& store, int current, Int16 columns, bool ignore,
                      bool parrafosUnidos);

}  // namespace letrador
