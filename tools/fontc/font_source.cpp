#include "tools/fontc/font_source.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include "message/codepage.h"

namespace letrador::fontc {
namespace {

constexpr std::size_t kRecord = 24;
constexpr int kColumns = 10;
constexpr int kRows = 7;

struct Line {
    int number = 0;
    std::string text;  // without the line end and the trailing blanks
};

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}

std::vector<Line> SplitLines(std::string_view source) {
    std::vector<Line> lines;
    int number = 0;
    std::size_t at = 0;
    while (at <= source.size()) {
        std::size_t end = source.find('\n', at);
        if (end == std::string_view::npos) end = source.size();
        std::string_view text = source.substr(at, end - at);
        ++number;
        while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t'))
            text.remove_suffix(1);
        const std::string_view body = TrimLeft(text);
        if (!body.empty() && body.front() != ';') lines.push_back({number, std::string(body)});
        if (end == source.size()) break;
        at = end + 1;
    }
    return lines;
}

// The first word of a line and what follows it.
std::pair<std::string_view, std::string_view> Keyword(std::string_view text) {
    const std::size_t space = text.find_first_of(" \t");
    if (space == std::string_view::npos) return {text, {}};
    return {text.substr(0, space), TrimLeft(text.substr(space))};
}

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> out;
    while (!(text = TrimLeft(text)).empty()) {
        std::size_t end = text.find_first_of(" \t");
        if (end == std::string_view::npos) end = text.size();
        out.push_back(text.substr(0, end));
        text.remove_prefix(end);
    }
    return out;
}

std::optional<unsigned> HexByte(std::string_view w) {
    if (w.size() != 2) return std::nullopt;
    unsigned v = 0;
    for (char c : w) {
        v <<= 4;
        if (c >= '0' && c <= '9') v |= static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f') v |= static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') v |= static_cast<unsigned>(c - 'A' + 10);
        else return std::nullopt;
    }
    return v;
}

// A column value: decimal -32768..65535 or 0x0..0xFFFF, as its 16-bit pattern.
std::optional<std::uint16_t> ColumnValue(std::string_view w) {
    long long v = 0;
    if (w.size() > 2 && w[0] == '0' && (w[1] == 'x' || w[1] == 'X')) {
        if (w.size() > 6) return std::nullopt;
        for (char c : w.substr(2)) {
            v <<= 4;
            if (c >= '0' && c <= '9') v |= c - '0';
            else if (c >= 'a' && c <= 'f') v |= c - 'a' + 10;
            else if (c >= 'A' && c <= 'F') v |= c - 'A' + 10;
            else return std::nullopt;
        }
        return static_cast<std::uint16_t>(v);
    }
    bool negative = false;
    if (!w.empty() && w[0] == '-') {
        negative = true;
        w.remove_prefix(1);
    }
    if (w.empty() || w.size() > 5) return std::nullopt;
    for (char c : w) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (negative) v = -v;
    if (v < -32768 || v > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(v);
}

bool IsArtRow(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c != '#' && c != '.') return false;
    return true;
}

class Compiler {
public:
    explicit Compiler(std::string_view source) : lines_(SplitLines(source)) {}

    CompileResult run() {
        while (i_ < lines_.size() && !failed()) {
            const Line& line = lines_[i_];
            if (trailerSeen_) {
                fail(line.number, "no puede haber nada después de «resto»");
                break;
            }
            auto [word, rest] = Keyword(line.text);
            ++i_;
            if (word == "caracter") headerCharacter(line, rest);
            else if (word == "clave") headerKey(line, rest);
            else if (word == "registro") raw(line, rest, true);
            else if (word == "resto") raw(line, rest, false);
            else fail(line.number, "se esperaba «caracter», «clave», «registro» o «resto»");
        }
        result_.ok = !failed();
        if (!result_.ok) result_.bytes.clear();
        return result_;
    }

private:
    bool failed() const { return result_.line != 0; }
    void fail(int line, std::string message) {
        if (failed()) return;
        result_.line = line;
        result_.error = std::move(message);
    }

    void headerCharacter(const Line& line, std::string_view rest) {
        const std::u32string chars = FromUtf8(rest);
        if (chars.size() != 1) {
            fail(line.number, "«caracter» lleva exactamente un carácter");
            return;
        }
        const int byte = EncodeCp1252(chars[0]);
        if (byte < 0) {
            fail(line.number, "el carácter no existe en Windows-1252");
            return;
        }
        body(line, std::string(1, static_cast<char>(byte)));
    }

    void headerKey(const Line& line, std::string_view rest) {
        std::string key;
        for (std::string_view w : Words(rest)) {
            const auto b = HexByte(w);
            if (!b) {
                fail(line.number, "byte hexadecimal inválido en «clave»: " + std::string(w));
                return;
            }
            key.push_back(static_cast<char>(*b));
        }
        if (key.size() > 2) {
            fail(line.number, "una clave de más de 2 bytes sólo se escribe con «registro»");
            return;
        }
        body(line, key);
    }

    void body(const Line& header, const std::string& key) {
        std::array<std::uint16_t, kColumns> columns{};
        if (i_ >= lines_.size()) {
            fail(header.number, "falta el dibujo o «columnas» del carácter");
            return;
        }
        const Line& first = lines_[i_];
        auto [word, rest] = Keyword(first.text);
        if (word == "columnas") {
            ++i_;
            const auto values = Words(rest);
            if (values.size() > kColumns) {
                fail(first.number, "«columnas» lleva hasta 10 valores");
                return;
            }
            for (std::size_t k = 0; k < values.size(); ++k) {
                const auto v = ColumnValue(values[k]);
                if (!v) {
                    fail(first.number, "valor de columna inválido: " + std::string(values[k]));
                    return;
                }
                columns[k] = *v;
            }
        } else {
            if (!IsArtRow(first.text)) {
                fail(first.number, "se esperaba una fila del dibujo ('#' y '.') o «columnas»");
                return;
            }
            const std::size_t width = first.text.size();
            if (width > kColumns) {
                fail(first.number, "el dibujo tiene más de 10 columnas");
                return;
            }
            for (int row = 0; row < kRows; ++row, ++i_) {
                if (i_ >= lines_.size() || !IsArtRow(lines_[i_].text)) {
                    fail(i_ < lines_.size() ? lines_[i_].number : header.number,
                         "el dibujo lleva 7 filas");
                    return;
                }
                const std::string& text = lines_[i_].text;
                if (text.size() != width) {
                    fail(lines_[i_].number, "todas las filas del dibujo tienen el mismo largo");
                    return;
                }
                for (std::size_t k = 0; k < width; ++k)
                    if (text[k] == '#') columns[k] |= static_cast<std::uint16_t>(1u << row);
            }
            if (i_ < lines_.size() && IsArtRow(lines_[i_].text)) {
                fail(lines_[i_].number, "el dibujo lleva 7 filas");
                return;
            }
        }
        std::string rec(kRecord, '\0');
        rec[0] = static_cast<char>(key.size());
        for (std::size_t k = 0; k < key.size(); ++k) rec[2 + k] = key[k];
        std::size_t at = 2 + key.size();
        for (std::uint16_t v : columns) {
            rec[at++] = static_cast<char>(v & 0xFF);
            rec[at++] = static_cast<char>(v >> 8);
        }
        result_.bytes += rec;
    }

    void raw(const Line& line, std::string_view rest, bool whole) {
        std::string bytes;
        for (std::string_view w : Words(rest)) {
            const auto b = HexByte(w);
            if (!b) {
                fail(line.number, "byte hexadecimal inválido: " + std::string(w));
                return;
            }
            bytes.push_back(static_cast<char>(*b));
        }
        if (whole && bytes.size() != kRecord) {
            fail(line.number, "«registro» lleva exactamente 24 bytes");
            return;
        }
        if (!whole && (bytes.empty() || bytes.size() >= kRecord)) {
            fail(line.number, "«resto» lleva de 1 a 23 bytes");
            return;
        }
        trailerSeen_ = !whole;
        result_.bytes += bytes;
    }

    std::vector<Line> lines_;
    std::size_t i_ = 0;
    bool trailerSeen_ = false;
    CompileResult result_;
};

std::string Hex(unsigned v, int digits) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%0*X", digits, v);
    return buf;
}

std::string HexBytes(std::string_view bytes) {
    std::string out;
    for (char c : bytes) {
        if (!out.empty()) out += ' ';
        out += Hex(static_cast<unsigned char>(c), 2);
    }
    return out;
}

// Keys that read well after «caracter»: visible characters only.
bool PrintableKey(unsigned char b) {
    const char32_t c = DecodeCp1252(b);
    if (c <= 0x20 || c == 0x7F) return false;
    if (c >= 0x80 && c < 0xA0) return false;  // bytes the code page leaves undefined
    return c != 0xA0 && c != 0xAD;
}

void DumpRecord(std::string& out, std::string_view rec) {
    const unsigned keyLength = static_cast<unsigned char>(rec[0]) |
                               (static_cast<unsigned>(static_cast<unsigned char>(rec[1])) << 8);
    bool plain = keyLength <= 2;
    if (plain) {
        for (std::size_t k = 2 + keyLength + 2 * kColumns; k < kRecord; ++k)
            if (rec[k] != 0) plain = false;
    }
    if (!plain) {
        out += "registro " + HexBytes(rec) + "\n\n";
        return;
    }
    const std::string_view key = rec.substr(2, keyLength);
    if (key.size() == 1 && PrintableKey(static_cast<unsigned char>(key[0]))) {
        out += "caracter " + ToUtf8(FromCp1252(key)) + "\n";
    } else {
        out += key.empty() ? std::string("clave\n") : "clave " + HexBytes(key) + "\n";
    }
    std::array<unsigned, kColumns> columns{};
    int width = 0;
    bool drawable = true;
    for (int k = 0; k < kColumns; ++k) {
        const std::size_t at = 2 + keyLength + 2 * static_cast<std::size_t>(k);
        columns[k] = static_cast<unsigned char>(rec[at]) |
                     (static_cast<unsigned>(static_cast<unsigned char>(rec[at + 1])) << 8);
        if (columns[k] != 0) width = k + 1;
        if (columns[k] > 0x7F) drawable = false;
    }
    if (width == 0 || !drawable) {
        out += "columnas";
        for (int k = 0; k < width; ++k)
            out += " 0x" + Hex(columns[k], columns[k] > 0xFF ? 4 : 2);
        out += "\n\n";
        return;
    }
    for (int row = 0; row < kRows; ++row) {
        for (int k = 0; k < width; ++k) out += (columns[k] >> row) & 1u ? '#' : '.';
        out += '\n';
    }
    out += '\n';
}

}  // namespace

CompileResult CompileFontSource(std::string_view source) {
    if (source.substr(0, 3) == "\xEF\xBB\xBF") source.remove_prefix(3);  // editors' byte-order mark
    return Compiler(source).run();
}

std::string DumpFontFile(std::string_view bytes) {
    std::string out;
    std::size_t at = 0;
    for (; at + kRecord <= bytes.size(); at += kRecord) DumpRecord(out, bytes.substr(at, kRecord));
    if (at < bytes.size()) out += "resto " + HexBytes(bytes.substr(at)) + "\n";
    return out;
}

}  // namespace letrador::fontc
