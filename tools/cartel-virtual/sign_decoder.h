// What the sign received, decoded: the sessions (one per opening), and in each started one
// either a message, as paragraphs of effect codes and column bytes, or a turn display, as its
// numbered entries. Built for reading back in tests and for drawing: one LED strip per
// paragraph (its items left to right, effects as markers), the 00-99 grid from the entries.
//
// The decoding reads the byte stream alone and follows the sign's grammar:
// - a session begins with an attention (C3) outside a recording; further attentions and the
//   model query (01) belong to it, the start byte (02) after an attention begins its body; a
//   second model query after a recognition, or "C3 01" inside a body, begins a new session (the
//   host gave up on the old one and opened again);
// - the body ends with the closing C9 D2 C5 (the session is then closed) or where the next
//   session or the stream begins/ends;
// - a body whose first entry is two digits of one style around a blank column, followed by
//   D0 C9, is a turn display; any other body is a message;
// - in a message C9 D1 is the effect "A", a lone C9 separates paragraphs (the effect "1" sends
//   the same byte, so it reads as a separator too), D3 D4 C8 CA CB CD CE CC CF are effects 0, 2
//   to 9, 00 is an effect character that is not in the table ("?"); every other byte is a
//   column, 80 being a blank one.
//
// Listing (text, one line each, LF; read back by ParseListing, which takes CR LF as well):
//   cartel-virtual registro 1
//   recibidos <bytes received>
//   ajenos <bytes outside any session>
//   grabacion <n> desde <index of its first byte> atenciones <n> modelo si|no comienzo si|no
//             cierre si|no otros <handshake bytes that were none of C3 01 02>   (one line)
//   mensaje                       a started session holding a message, then its paragraphs:
//   parrafo <items> [separador]   items: a column as two hex digits ("7E"), an effect as
//                                 "<c>" ("<3>", "<A>", "<?>" for 00); "separador" when a C9
//                                 ended the paragraph
//   turnero <style 1..3>          a started session holding a turn display, then its entries:
//   entrada <NN|--> <hex bytes> [incompleta]   the number when both digits are recognised; the
//                                 bytes of the entry without its D0 C9; "incompleta" when the
//                                 D0 C9 never came
//   fin
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace letrador::cartel {

struct Item {
    enum class Kind : std::uint8_t { Column, Effect };
    Kind kind = Kind::Column;
    // The column byte, or the effect's (first) wire code.
    std::uint8_t byte = 0;
    // The effect character: '0', '2'..'9', 'A', or '?' for 00. 0 for a column.
    char effect = 0;

    static Item Column(std::uint8_t b) { return {Kind::Column, b, 0}; }
    // The item of effect character `c`; a character without a code of its own gives "?" (00).
    static Item Effect(char c);
    bool isColumn() const { return kind == Kind::Column; }
    // The bytes as they came over the line (two for "A").
    std::vector<std::uint8_t> wireBytes() const;
    bool operator==(const Item&) const = default;
};

struct Paragraph {
    std::vector<Item> items;
    // A separator (C9) followed it.
    bool separated = false;
    bool operator==(const Paragraph&) const = default;
};

struct TurnEntry {
    // 0..99 when both digits were recognised in the style, else -1.
    int number = -1;
    // Its bytes without the closing D0 C9: tens columns, a blank column, units columns.
    std::vector<std::uint8_t> bytes;
    // The D0 C9 came.
    bool complete = false;
    bool operator==(const TurnEntry&) const = default;
};

struct TurnDisplay {
    int style = 0;  // 1..3
    std::vector<TurnEntry> entries;
    bool operator==(const TurnDisplay&) const = default;
};

struct Recording {
    enum class Kind : std::uint8_t { None, Message, TurnDisplay };
    long long firstByte = 0;
    int attentions = 0;
    bool modelQueried = false;
    bool started = false;
    bool closed = false;
    long long otherBytes = 0;
    Kind kind = Kind::None;  // None when the body never began
    std::vector<Paragraph> paragraphs;
    TurnDisplay turn;
    bool operator==(const Recording&) const = default;
};

struct SignRecord {
    long long received = 0;
    long long strayBytes = 0;
    std::vector<Recording> recordings;
    bool operator==(const SignRecord&) const = default;
};

SignRecord DecodeStream(std::span<const std::uint8_t> bytes);

std::string FormatListing(const SignRecord& record);
// The items of a paragraph as in its listing line, without the word "parrafo".
std::string FormatParagraph(const Paragraph& paragraph);
// The entry as in its listing line, without the word "entrada".
std::string FormatEntry(const TurnEntry& entry);
// Nothing when the text is not a listing.
std::optional<SignRecord> ParseListing(std::string_view text);

// The number of the entry whose bytes are `entry` in `style` (tens, blank, units), or -1.
int RecogniseEntry(std::span<const std::uint8_t> entry, int style);

}  // namespace letrador::cartel
