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
};

// Number of the last non-zero column (1..10), 0 when all ten are 0.
int GlyphWidth(const RegistroCaracter& record);

// Which record draws each character of a font: for every Windows-1252 byte, the first record
// whose key is that one byte. Keys of 0 or 2 bytes, keys too long for the record and later
// records for a character draw nothing. The index takes the records one at a time in file
// order and keeps only what it answers with, so a font of any size takes the same small memory.
// The column count, the sign preview, the recording and the font editor all ask it.
class FontData {
public:
    // The next record in file order: `size` bytes, fewer than 24 for a trailing piece, which
    // reads as if padded with zero bytes. True when this record is the one that draws its
    // character.
    bool add(const unsigned char* bytes, std::size_t size);
    bool add(std::string_view bytes) {
        return add(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    }

    // Records taken so far, the trailing piece included.
    std::uint64_t recordCount() const { return count_; }
    // 1-based number of the record that draws `ch`, 0 when none.
    std::uint64_t recordOf(char32_t ch) const;
    // The same as a 16-bit number (saturated at 32767).
    Int16 find(char32_t ch) const;
    // The record that draws `ch`, or nullptr.
    const RegistroCaracter* record(char32_t ch) const;
    // Its width, 0 when no record draws `ch`.
    int width(char32_t ch) const;
    // The characters drawn, in the order of their records.
    std::u32string characters() const;

    // The one-byte key that would stand for `ch`, -1 when the code page has none.
    static int KeyOf(char32_t ch);

private:
    std::uint64_t count_ = 0;
    std::array<std::uint64_t, 256> recordOf_{};
    std::array<std::uint8_t, 256> width_{};
    std::array<RegistroCaracter, 256> records_{};
};

// The index of a font file's bytes.
FontData DecodeFont(std::string_view bytes);

// Reads a font file as a stream into its index, or gives a shared, unchanged copy when the
// file's inode, size and inode change time are those of the last read. A missing or unreadable
// file, or anything but a regular file, reads as a font with no records.
std::shared_ptr<const FontData> LoadFont(const std::string& archivoFuente);

// The full path of the font file `name` in `folder`. A name that no file of the folder can have
// (empty, "." or "..", holding "/" or a control byte) could lead out of the folder: it gives a
// path that opens nothing, and reads as a font that is not there, while FontNameOf still gives
// the name back for the texts that show it.
std::string FontPathIn(const std::string& folder, const std::string& name);
// The font's name as texts show it: the file name of `path`, or the name a path that opens
// nothing stands for.
std::string FontNameOf(const std::string& path);

Int16 BuscarCaracter(const std::string& archivoFuente, char32_t caracter);
// Reads record n (1-based); false when the file has no such record.
bool LeerRegistro(const std::string& archivoFuente, int n, RegistroCaracter& out);
Int16 AnchoCaracter(char32_t caracter, const std::string& archivoFuente, Int16 separacion);
// Columns the text takes on the sign: tags 1 ("<9>" 2), spaces spaceWidth, drawn characters
// their width plus the separation, absent or empty glyphs nothing. Saturates at 32767.
Int16 ContarColumnas(std::u32string_view texto, const std::string& archivoFuente, Int16 separacion,
                     Int16 spaceWidth);

// The check made when the operator picks a font: record 1 must fit the 24-byte layout.
struct FontCheck {
    enum class Result { Ok, NotAFont, Failure };
    Result result = Result::Ok;
    int errorNumber = 0;      // for Failure: the system's error number
    std::string description;  // for Failure: the system's description, in Spanish where known
};
FontCheck CheckFontFile(const std::string& archivoFuente);

}  // namespace letrador
