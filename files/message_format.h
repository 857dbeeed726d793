// The message file's layout as pure functions: lines of Windows-1252 text ended by CR LF, two
// option lines, then seven values per paragraph with the text's end marker in the middle.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "message/paragraph_store.h"

namespace letrador {

inline constexpr std::string_view kCrLf = "\r\n";

// `texto` without its first and its last character; "" when it has fewer than two.
std::u32string QuitarComillas(std::u32string_view texto);
// Every pair of adjacent double quotes turned into one (a run of 2n + 1 gives n + 1).
std::u32string DesdoblarComillas(std::u32string_view texto);
// Every double quote written twice: how the paragraph text goes into the file.
std::u32string DoblarComillas(std::u32string_view texto);

// A decimal number line: digits, a period before any decimals, no decimal part when whole.
std::string DecimalLine(double value);

// What the writer needs besides the paragraphs.
struct MessageHeader {
    double spaceWidth = 3;  // numeric value of txtParEspacio
    bool joined = false;    // chkParUnidos
};

// Characters of one paragraph that had no Windows-1252 byte and became '?'.
struct LostCharacters {
    int paragraph = 0;       // 1-based, in the order written
    std::u32string characters;  // each once, in order of appearance
};

struct ComposedMessage {
    std::string bytes;   // the whole file, Windows-1252
    bool lossy = false;  // some character had no Windows-1252 byte and became '?'
    std::vector<LostCharacters> lost;  // the paragraphs that lost some, in order
};

// The file for `paragraphs` (in order). The end marker is written as a string line.
ComposedMessage ComposeMessageFile(const MessageHeader& header,
                                   const std::vector<ParagraphRecord>& paragraphs,
                                   std::u32string_view endMarker);

// True when the paragraph could not be told from the end marker once written.
bool CollidesWithEndMarker(const ParagraphRecord& paragraph, std::u32string_view endMarker);

// One paragraph group as read, its values already taken out of their lines.
struct ReadGroup {
    std::string fontFile;    // UTF-8, quotes removed
    std::u32string text;     // quotes removed and undoubled; line breaks CR LF
    bool ignore = true;      // false only for a line that is exactly #FALSE#
    std::string separation;  // the line as read, UTF-8
};

struct ParsedMessage {
    std::string spaceWidthText;     // line 1 as read, UTF-8
    std::string joinedText;         // line 2 as read, UTF-8
    std::vector<ReadGroup> groups;  // in file order
    // False when the bytes are not a whole message; `problem` then says what is wrong at
    // `problemLine` (counted from 1) and nothing else is meant to be used.
    bool complete = false;
    int problemLine = 0;
    std::string problem;
};

// Lines end at CR LF; a lone LF ends one too (a file saved by a Unix editor). A last line without
// an end counts, and so does one whose end was cut after its CR. Work is linear in the size of `bytes`, whatever they hold.
std::vector<std::string_view> SplitLines(std::string_view bytes);

// Takes the whole file apart. Every line is read as the layout reads it: a value line without a
// number reads as 0, a string is its line(s) without the first and the last character, and any
// ignore line but #FALSE# reads as ignored. Refused, as not a complete message, are only a file
// that ends before its second line, or after its first two, or inside a paragraph group, and a
// font name or text shorter than two characters.
ParsedMessage ParseMessageFile(std::string_view bytes, std::u32string_view endMarker);

}  // namespace letrador
