#include "message/font_model.h"

#include "message/codepage.h"

namespace letrador {
namespace {

// A one-byte key sits at offset 2, so its columns start at 3.
constexpr std::size_t kColumnsAt = 3;

// A trailing piece shorter than a record reads as if padded with zero bytes.
Int16 ColumnOf(const std::string& rec, int k) {
    const auto at = kColumnsAt + 2 * static_cast<std::size_t>(k);
    const auto lo = at < rec.size() ? static_cast<unsigned char>(rec[at]) : 0u;
    const auto hi = at + 1 < rec.size() ? static_cast<unsigned char>(rec[at + 1]) : 0u;
    return static_cast<Int16>(static_cast<std::uint16_t>(lo | (hi << 8)));
}

// A trailing piece that is changed becomes a whole record.
void PutColumn(std::string& rec, int k, Int16 value) {
    const auto at = kColumnsAt + 2 * static_cast<std::size_t>(k);
    if (rec.size() < kFontRecordSize) rec.resize(kFontRecordSize, '\0');
    const auto u = static_cast<std::uint16_t>(value);
    rec[at] = static_cast<char>(u & 0xFF);
    rec[at + 1] = static_cast<char>(u >> 8);
}

}  // namespace

FontModel FontModel::FromBytes(std::string_view bytes) {
    FontModel m;
    // The editor shows exactly the records that the font lookup reads, the trailing piece too.
    FontData index;
    for (std::size_t at = 0; at < bytes.size(); at += kFontRecordSize) {
        Record r;
        r.bytes.assign(bytes.substr(at, kFontRecordSize));
        r.shown = index.add(r.bytes);
        if (r.shown) r.ch = DecodeCp1252(r.bytes.size() > 2 ? static_cast<unsigned char>(r.bytes[2]) : 0);
        m.records_.push_back(std::move(r));
    }
    return m;
}

std::string FontModel::bytes() const {
    std::string out;
    out.reserve(records_.size() * kFontRecordSize);
    for (const Record& r : records_) out += r.bytes;
    return out;
}

FontData FontModel::data() const {
    FontData index;
    for (const Record& r : records_) index.add(r.bytes);
    return index;
}

std::vector<char32_t> FontModel::characters() const {
    std::vector<char32_t> out;
    for (const Record& r : records_)
        if (r.shown) out.push_back(r.ch);
    return out;
}

int FontModel::oddRecords() const {
    int odd = 0;
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
    const int b = FontData::KeyOf(ch);
    if (b < 0) return AddResult::NotInCodePage;
    if (has(ch)) return AddResult::AlreadyThere;
    Record r;
    r.bytes.assign(kFontRecordSize, '\0');
    r.bytes[0] = 1;
    r.bytes[2] = static_cast<char>(b);
    r.shown = true;
    r.ch = ch;
    // A trailing piece shorter than a record stays last, so every record keeps its place.
    const bool pieceLast = !records_.empty() && records_.back().bytes.size() < kFontRecordSize;
    records_.insert(pieceLast ? records_.end() - 1 : records_.end(), std::move(r));
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
