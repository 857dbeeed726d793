// Font files (".ffv"): fixed 24-byte character records that draw each character as up to ten
// columns of dots, and the column count of a paragraph text measured with them.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "message/numeric.h"

namespace letrador {

inline constexpr int kFontRecordSize = 24;
inline constexpr int kGlyphColumns = 10;

// One 24-byte record: key length (u16 LE), key bytes (Windows-1252), ten s16 LE columns.
struct RegistroCaracter {
    std::uint16_t keyLength = 0;
    std::string Caracter;  // the raw key bytes, as stored
    std::array<Int16, kGlyphColumns> Columna{};

    // A key longer than 2 bytes pushes the columns past the record: not the font layout.
    bool fitsRecord() const { return keyLength <= 2; }
    // True when the key is the one Windows-1252 byte that encodes `ch`.
    bool matches(char32_t ch) const;
};

// Number of the last non-zero column (1..10), 0 when all ten are 0.
int GlyphWidth(const RegistroCaracter& record);

// A real font holds a few hundred records; a file over this size is no font. It is refused by
// the font check and counts as a font with no characters.
inline constexpr std::uintmax_t kMaxFontFileBytes = 4u * 1024u * 1024u;

// A whole font file read into memory; records in file order.
struct FontData {
    std::vector<RegistroCaracter> records;
    // 1-based number of the first record for `ch`, 0 when none.
    Int16 find(char32_t ch) const;
};

// The records of a font file's bytes; a trailing piece shorter than a record reads as if padded
// with zero bytes.
FontData DecodeFont(std::string_view bytes);

// Reads a font file, or gives a shared, unchanged copy when the file's inode, size and inode
// change time are those of the last read. A missing, unreadable or too large file, or one that
// memory cannot hold, reads as a font with no records.
std::shared_ptr<const FontData> LoadFont(const std::string& archivoFuente);

Int16 BuscarCaracter(const std::string& archivoFuente, char32_t caracter);
// Reads record n (1-based); false when the file has no such record.
bool LeerRegistro(const std::string& archivoFuente, int n, RegistroCaracter& out);
Int16 AnchoCaracter(char32_t caracter, const std::string& archivoFuente, Int16 separacion);
// Columns the text takes on the sign: tags 1 ("<9>" 2), spaces spaceWidth, drawn characters
// their width plus the separation, absent or empty glyphs nothing. Saturates at 32767.
Int16 ContarColumnas(std::u32string_view texto, const std::string& archivoFuente, Int16 separacion,
                     Int16 spaceWidth);

// The check made when the operator picks a font: record 1 must fit the 24-byte layout, and the
// file must be no larger than kMaxFontFileBytes.
struct FontCheck {
    enum class Result { Ok, NotAFont, Failure };
    Result result = Result::Ok;
    int errorNumber = 0;      // for Failure: the system's error number
    std::string description;  // for Failure: the system's description, in Spanish where known
};
FontCheck CheckFontFile(const std::string& archivoFuente);

}  // namespace letrador
