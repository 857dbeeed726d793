#include "message/font_model.h"

#include "message/codepage.h"

namespace letrador {
namespace {

// A one-byte key sits at offset 2, so its columns start at 3.
constexpr std::size_t kColumnsAt = 3;

Int16 ColumnOf(const std::string& rec, int k) {
    const auto at = kColumnsAt + 2 * static_cast<std::size_t>(k);
    const auto lo = static_cast<unsigned char>(rec[at]);
    const auto hi = static_cast<unsigned char>(rec[at + 1]);
    return static_cast<Int16>(static_cast<std::uint16_t>(lo | (hi << 8)));
}

void PutColumn(std::string& rec, int k, Int16 value) {
    const auto at = kColumnsAt + 2 * static_cast<std::size_t>(k);
    const auto u = static_cast<std::uint16_t>(value);
    rec[at] = static_cast<char>(u & 0xFF);
    rec[at + 1] = static_cast<char>(u >> 8);
}

}  // namespace

FontModel FontModel::FromBytes(std::string_view bytes) {
    FontModel m;
    std::size_t at = 0;
    std::array<bool, 256> seen{};
    for (; at + kFontRecordSize <= bytes.size(); at += kFontRecordSize) {
        Record r;
        r.bytes.assign(bytes.substr(at, kFontRecordSize));
        const auto b0 = static_cast<unsigned char>(r.bytes[0]);
        const auto b1 = static_cast<unsigned char>(r.bytes[1]);
        if (b0 == 1 && b1 == 0) {
            const auto key = static_cast<unsigned char>(r.bytes[2]);
            // Only the first record of a character is ever used; the editor shows that one.
            if (!seen[key]) {
                seen[key] = true;
                r.shown = true;
                r.ch = DecodeCp1252(key);
            }
        }
        m.records_.push_back(std::move(r));
    }
    m.tail_.assign(bytes.substr(at));
    return m;
}

std::string FontModel::bytes() const {
    std::string out;
    out.reserve(records_.size() * kFontRecordSize + tail_.size());
    for (const Record& r : records_) out += r.bytes;
    out += tail_;
    return out;
}

FontData FontModel::data() const { return DecodeFont(bytes()); }

std::vector<char32_t> FontModel::characters() const {
    std::vector<char32_t> out;
    for (const Record& r : records_)
        if (r.shown) out.push_back(r.ch);
    return out;
}

int FontModel::oddRecords() const {
    int odd = tail_.empty() ? 0 : 1;
    for (const Record& r : records_)
        if (!r.shown) ++odd;
    return odd;
}

FontModel::Record* FontModel::find(char32_t ch) {
    for (Record& r : records_)
        if (r.shown && r.ch == ch) return &r;
    return nullptr;
}

const FontModel::Record* FontModel::find(char32_t ch) const {
    return const_cast<FontModel*>(this)->find(ch);
}

bool FontModel::has(char32_t ch) const { return find(ch) != nullptr; }

GlyphDots FontModel::dots(char32_t ch) const {
    GlyphDots d{};
    if (const Record* r = find(ch))
        for (int k = 0; k < kGlyphColumns; ++k) d[static_cast<std::size_t>(k)] = ColumnOf(r->bytes, k);
    return d;
}

int FontModel::width(char32_t ch) const {
    RegistroCaracter rec;
    rec.Columna = dots(ch);
    return GlyphWidth(rec);
}

bool FontModel::setDots(char32_t ch, const GlyphDots& d) {
    Record* r = find(ch);
    if (!r) return false;
    for (int k = 0; k < kGlyphColumns; ++k) PutColumn(r->bytes, k, d[static_cast<std::size_t>(k)]);
    return true;
}

bool FontModel::setDot(char32_t ch, int column, int row, bool lit) {
    Record* r = find(ch);
    if (!r || column < 0 || column >= kGlyphColumns || row < 0 || row >= kSignRows) return false;
    auto v = static_cast<std::uint16_t>(ColumnOf(r->bytes, column));
    const auto bit = static_cast<std::uint16_t>(1u << row);
    v = lit ? static_cast<std::uint16_t>(v | bit) : static_cast<std::uint16_t>(v & ~bit);
    PutColumn(r->bytes, column, static_cast<Int16>(v));
    return true;
}

FontModel::AddResult FontModel::add(char32_t ch) {
    const int b = EncodeCp1252(ch);
    if (b < 0 || DecodeCp1252(static_cast<unsigned char>(b)) != ch) return AddResult::NotInCodePage;
    // A later record for a byte that an odd record already holds would never be found either.
    for (const Record& r : records_) {
        if (r.bytes[0] == 1 && r.bytes[1] == 0 && static_cast<unsigned char>(r.bytes[2]) == b)
            return AddResult::AlreadyThere;
    }
    Record r;
    r.bytes.assign(kFontRecordSize, '\0');
    r.bytes[0] = 1;
    r.bytes[2] = static_cast<char>(b);
    r.shown = true;
    r.ch = ch;
    records_.push_back(std::move(r));
    return AddResult::Added;
}

bool FontModel::remove(char32_t ch) {
    for (auto it = records_.begin(); it != records_.end(); ++it) {
        if (it->shown && it->ch == ch) {
            records_.erase(it);
            // A later record for the same character is now the one the lookup finds.
            *this = FromBytes(bytes());
            return true;
        }
    }
    return false;
}

bool FontModel::copy(char32_t from, char32_t to) {
    if (!has(from) || !has(to)) return false;
    return setDots(to, dots(from));
}

std::string AddRefusal(FontModel::AddResult result, char32_t ch) {
    const std::string shown = "«" + ToUtf8(std::u32string_view(&ch, 1)) + "»";
    switch (result) {
        case FontModel::AddResult::Added: return {};
        case FontModel::AddResult::NotInCodePage:
            return "El carácter " + shown + " no se puede guardar en una fuente del cartel.";
        case FontModel::AddResult::AlreadyThere:
            return "La fuente ya tiene el carácter " + shown +
                   ". Sólo se usa el primer dibujo de cada carácter.";
    }
    return {};
}

}  // namespace letrador
