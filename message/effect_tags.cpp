#include "message/effect_tags.h"

namespace letrador {

std::u32string EffectTag(int index) {
    if (index < 0 || index >= static_cast<int>(kEffects.size())) return {};
    return std::u32string{U'<', kEffects[static_cast<std::size_t>(index)].code, U'>'};
}

std::string EffectListText(char32_t code) {
    for (const Effect& e : kEffects) {
        if (e.code == code) return e.listText;
    }
    return {};
}

Rgb TagColor(char32_t code) {
    switch (code) {
        case U'0': return {0, 0, 255};
        case U'1': return {0, 200, 200};
        case U'3': return {255, 0, 0};
        case U'5':
        case U'6': return {255, 150, 0};
        case U'9': return {255, 0, 255};
        default: return {0, 150, 0};
    }
}

std::vector<TagSpan> FindTags(std::u32string_view text) {
    std::vector<TagSpan> tags;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == U'<' && i + 2 < text.size() && text[i + 2] == U'>') {
            tags.push_back({i, text[i + 1]});
            i += 3;
        } else {
            ++i;
        }
    }
    return tags;
}

std::u32string InsertarEfecto(std::u32string_view tag, std::u32string_view text, std::size_t p) {
    if (p > text.size()) p = text.size();
    std::u32string out;
    out.reserve(text.size() + tag.size());
    out.append(text.substr(0, p));
    out.append(tag);
    out.append(text.substr(p));
    return out;
}

}  // namespace letrador
