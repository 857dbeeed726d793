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

struct ComposedMessage {
    std::string bytes;   // the whole file, Windows-1252
    bool lossy = false;  // some character had no Windows-1252 byte and became '?'
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
    bool hasSpaceWidth = false;
    std::string spaceWidthText;  // line 1 as read, UTF-8
    bool hasJoined = false;
    std::string joinedText;         // line 2 as read, UTF-8
    std::vector<ReadGroup> groups;  // the complete groups, in file order
    // False when the file ended before line 2, inside a group, or right after line 2.
    bool complete = false;
};

// Lines end at CR LF; a lone LF ends one too (a file saved by a Unix editor). A last line without
// an end counts. Work is linear in the size of `bytes`, whatever they hold.
std::vector<std::string_view> SplitLines(std::string_view bytes);

ParsedMessage ParseMessageFile(std::string_view bytes, std::u32string_view endMarker);

}  // namespace letrador
