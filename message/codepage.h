// Windows-1252, the code page of font keys and message files, and UTF-8 for everything else.
#pragma once

#include <string>
#include <string_view>

namespace letrador {

// The character that a Windows-1252 byte stands for. Bytes the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control character of the same value.
char32_t DecodeCp1252(unsigned char byte);

// The Windows-1252 byte of a character, or -1 when the code page has none for it.
int EncodeCp1252(char32_t ch);

std::u32string FromCp1252(std::string_view bytes);

// Characters the code page cannot hold become '?'; *lossy (when given) tells whether any did.
std::string ToCp1252(std::u32string_view text, bool* lossy = nullptr);

// The characters of `text` that the code page cannot hold, each once, in order of appearance.
std::u32string NotInCp1252(std::u32string_view text);

std::u32string FromUtf8(std::string_view utf8);
std::string ToUtf8(std::u32string_view text);

}  // namespace letrador
