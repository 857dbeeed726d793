// A font file held for editing: every 24-byte record as it was read, so that a file opened and
// saved without a change comes back byte for byte. The records that the font lookup reads for a
// character (FontData) are the ones the editor shows and changes; the others (keys of 0 or 2
// bytes, keys too long for the record, later records for a character) are kept untouched where
// they stand. A trailing piece shorter than a record is one of either kind, as the lookup takes
// it; changed, it becomes a whole record.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "message/font_file.h"
#include "message/numeric.h"

namespace letrador {

// The largest font the editor opens: far above the few hundred records of a real font, small
// enough that the records it holds one by one fit in memory.
inline constexpr std::size_t kMaxEditedFontBytes = 4u * 1024u * 1024u;

// Dot rows of the sign: bit 0 of a column is the top row.
inline constexpr int kSignRows = 7;

using GlyphDots = std::array<Int16, kGlyphColumns>;

class FontModel {
public:
    static FontModel FromBytes(std::string_view bytes);
    std::string bytes() const;
    // The records as the font lookup reads them.
    FontData data() const;

    // The characters the editor shows, in file order.
    std::vector<char32_t> characters() const;
    // Records kept as they are.
    int oddRecords() const;

    bool has(char32_t ch) const;
    GlyphDots dots(char32_t ch) const;
    int width(char32_t ch) const;
    bool setDots(char32_t ch, const GlyphDots& dots);
    // Lights or darkens dot (column 0..9, row 0..6) of `ch`.
    bool setDot(char32_t ch, int column, int row, bool lit);

    enum class AddResult { Added, NotInCodePage, AlreadyThere };
    // A new, empty character at the end of the font.
    AddResult add(char32_t ch);
    bool remove(char32_t ch);
    // Copies the dots of `from` onto `to`; both must be in the font.
    bool copy(char32_t from, char32_t to);

private:
    struct Record {
        std::string bytes;  // the 24 bytes (fewer for a trailing piece), as read or as made
        bool shown = false;
        char32_t ch = 0;
    };
    Record* find(char32_t ch);
    const Record* find(char32_t ch) const;

    std::vector<Record> records_;
};

// The message for a character that cannot be added, "" when it was added.
std::string AddRefusal(FontModel::AddResult result, char32_t ch);

}  // namespace letrador
