// Effect tags: "<", a code character, ">" inside a paragraph's text, recognised by shape.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace letrador {

struct Rgb {
    std::uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

struct Effect {
    const char* listText;  // as the effects list shows it
    char32_t code;         // the tag's middle character
};

// The eleven effects in list order; the list position selects the tag.
inline constexpr std::array<Effect, 11> kEffects = {{
    {"0 - Parpadea", U'0'},
    {"1 - Espacios", U'1'},
    {"2 - Pausa corta", U'2'},
    {"3 - Pausa larga", U'3'},
    {"4 - Barrido izq.", U'4'},
    {"5 - Sale x der.", U'5'},
    {"6 - Sale x abajo", U'6'},
    {"7 - Detenido", U'7'},
    {"8 - Desaparece", U'8'},
    {"9 - Apagado", U'9'},
    {"A - Separa Msj.", U'A'},
}};

// The tag of list position `index` (0..10), e.g. "<3>".
std::u32string EffectTag(int index);

// The list text of the effect whose code is `code`, or "" for a character that names none.
std::string EffectListText(char32_t code);

// Highlight colour of a tag whose middle character is `code`.
Rgb TagColor(char32_t code);

// A tag found in a text: its first position (0-based) and its middle character.
struct TagSpan {
    std::size_t start;
    char32_t code;
};

// The tags of a text, walked greedily from the left as highlighting and counting do.
std::vector<TagSpan> FindTags(std::u32string_view text);

// The text with `tag` inserted at caret position p (clamped to the text).
std::u32string InsertarEfecto(std::u32string_view tag, std::u32string_view text, std::size_t p);

}  // namespace letrador
