#include "tools/cartel-virtual/sign_decoder.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <sstream>

#include "signlink/grabacion.h"
#include "signlink/puerto_serie.h"
#include "signlink/turnero_digits.h"

namespace letrador::cartel {
namespace {

constexpr std::uint8_t kEfectoA2 = 0xD1;
constexpr char kEffectChars[] = {'0', '2', '3', '4', '5', '6', '7', '8', '9'};

// The effect character of a one-byte effect code, or 0 when the byte is not one.
char EffectOfByte(std::uint8_t b) {
    if (b == 0x00) return '?';
    for (char c : kEffectChars) {
        if (CodigoDeEfecto(static_cast<char32_t>(c)).primero == b) return c;
    }
    return 0;
}

std::string Hex(std::uint8_t b) {
    char buf[3];
    std::snprintf(buf, sizeof buf, "%02X", b);
    return buf;
}

std::optional<std::uint8_t> ParseHex(std::string_view t) {
    if (t.size() != 2) return std::nullopt;
    int v = 0;
    for (char c : t) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else
            return std::nullopt;
        v = v * 16 + d;
    }
    return static_cast<std::uint8_t>(v);
}

bool At(std::span<const std::uint8_t> s, std::size_t i, std::uint8_t b) {
    return i < s.size() && s[i] == b;
}

// The style whose first entry begins `body`, or 0.
int TurnStyle(std::span<const std::uint8_t> body) {
    for (std::size_t p = 0; p + 1 < body.size(); ++p) {
        if (body[p] != CodFinNumero || body[p + 1] != CodSeparador) continue;
        for (int style = 1; style <= kEstilosTurnero; ++style) {
            const auto w = static_cast<std::size_t>(AnchoDigito(style));
            if (p == 2 * w + 1 && RecogniseEntry(body.first(p), style) >= 0) return style;
        }
        return 0;
    }
    return 0;
}

TurnDisplay DecodeTurn(std::span<const std::uint8_t> body, int style) {
    TurnDisplay t;
    t.style = style;
    std::size_t start = 0;
    for (std::size_t p = 0; p < body.size(); ++p) {
        if (body[p] == CodFinNumero && At(body, p + 1, CodSeparador)) {
            TurnEntry e;
            e.bytes.assign(body.begin() + static_cast<long>(start),
                           body.begin() + static_cast<long>(p));
            e.complete = true;
            e.number = RecogniseEntry(e.bytes, style);
            t.entries.push_back(std::move(e));
            start = p + 2;
            ++p;
        }
    }
    if (start < body.size()) {
        TurnEntry e;
        e.bytes.assign(body.begin() + static_cast<long>(start), body.end());
        e.number = RecogniseEntry(e.bytes, style);
        t.entries.push_back(std::move(e));
    }
    return t;
}

std::vector<Paragraph> DecodeMessage(std::span<const std::uint8_t> body) {
    std::vector<Paragraph> out;
    Paragraph cur;
    for (std::size_t i = 0; i < body.size(); ++i) {
        const std::uint8_t b = body[i];
        if (b == CodSeparador) {
            if (At(body, i + 1, kEfectoA2)) {
                cur.items.push_back(Item::Effect('A'));
                ++i;
                continue;
            }
            cur.separated = true;
            out.push_back(std::move(cur));
            cur = Paragraph{};
            continue;
        }
        const char e = EffectOfByte(b);
        cur.items.push_back(e ? Item::Effect(e) : Item::Column(b));
    }
    if (!cur.items.empty()) out.push_back(std::move(cur));
    return out;
}

void FillBody(Recording& r, std::span<const std::uint8_t> body) {
    if (!r.started) return;
    if (const int style = TurnStyle(body)) {
        r.kind = Recording::Kind::TurnDisplay;
        r.turn = DecodeTurn(body, style);
    } else {
        r.kind = Recording::Kind::Message;
        r.paragraphs = DecodeMessage(body);
    }
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> w;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        const std::size_t s = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i > s) w.push_back(line.substr(s, i - s));
    }
    return w;
}

std::optional<long long> ParseNumber(std::string_view t) {
    if (t.empty() || t.size() > 18) return std::nullopt;
    long long v = 0;
    for (char c : t) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

std::optional<bool> ParseYesNo(std::string_view t) {
    if (t == "si") return true;
    if (t == "no") return false;
    return std::nullopt;
}

const char* YesNo(bool b) {
    return b ? "si" : "no";
}

}  // namespace

Item Item::Effect(char c) {
    Item it;
    it.kind = Kind::Effect;
    if (c == 'A') {
        it.effect = 'A';
        it.byte = CodSeparador;
        return it;
    }
    // "1" shares its byte with the separator, so it never stands as an item.
    const std::uint8_t code = CodigoDeEfecto(static_cast<unsigned char>(c)).primero;
    if (c != '1' && code != 0x00) {
        it.effect = c;
        it.byte = code;
    } else {
        it.effect = '?';
        it.byte = 0x00;
    }
    return it;
}

std::vector<std::uint8_t> Item::wireBytes() const {
    if (kind == Kind::Effect && effect == 'A') return {CodSeparador, kEfectoA2};
    return {byte};
}

int RecogniseEntry(std::span<const std::uint8_t> entry, int style) {
    const auto w = static_cast<std::size_t>(AnchoDigito(style));
    if (w == 0 || entry.size() != 2 * w + 1 || entry[w] != ColumnaVacia) return -1;
    auto digit = [&](std::span<const std::uint8_t> cols) {
        for (int d = 0; d <= 9; ++d) {
            const auto ref = ColumnasDigito(d, style);
            if (std::equal(cols.begin(), cols.end(), ref.begin(), ref.end())) return d;
        }
        return -1;
    };
    const int tens = digit(entry.first(w));
    const int units = digit(entry.subspan(w + 1));
    return tens < 0 || units < 0 ? -1 : tens * 10 + units;
}

SignRecord DecodeStream(std::span<const std::uint8_t> s) {
    SignRecord rec;
    rec.received = static_cast<long long>(s.size());
    enum class St { Out, Attention, Handshake, Body } st = St::Out;
    Recording* cur = nullptr;
    std::size_t runStart = 0;  // the first attention of the current run
    int runLength = 0;
    std::size_t bodyStart = 0;

    auto begin = [&](std::size_t at, int attentions) {
        rec.recordings.push_back(Recording{});
        cur = &rec.recordings.back();
        cur->firstByte = static_cast<long long>(at);
        cur->attentions = attentions;
    };

    for (std::size_t i = 0; i < s.size(); ++i) {
        const std::uint8_t b = s[i];
        switch (st) {
            case St::Out:
                if (b == CodAtencion) {
                    begin(i, 1);
                    runStart = i;
                    runLength = 1;
                    st = St::Attention;
                } else {
                    ++rec.strayBytes;
                }
                break;
            case St::Attention:
                if (b == CodAtencion) {
                    ++cur->attentions;
                    ++runLength;
                } else if (b == CodModelo) {
                    if (cur->modelQueried) {
                        // Opened again: the attentions of this run belong to the new session.
                        cur->attentions -= runLength;
                        begin(runStart, runLength);
                    }
                    cur->modelQueried = true;
                    st = St::Handshake;
                } else if (b == CodGrabar) {
                    cur->started = true;
                    bodyStart = i + 1;
                    st = St::Body;
                } else {
                    ++cur->otherBytes;
                    st = St::Handshake;
                }
                break;
            case St::Handshake:
                if (b == CodAtencion) {
                    ++cur->attentions;
                    runStart = i;
                    runLength = 1;
                    st = St::Attention;
                } else {
                    ++cur->otherBytes;
                }
                break;
            case St::Body:
                if (b == CodSeparador && At(s, i + 1, CodCierre) && At(s, i + 2, CodFinal)) {
                    FillBody(*cur, s.subspan(bodyStart, i - bodyStart));
                    cur->closed = true;
                    i += 2;
                    st = St::Out;
                } else if (b == CodAtencion && At(s, i + 1, CodModelo)) {
                    FillBody(*cur, s.subspan(bodyStart, i - bodyStart));
                    st = St::Out;
                    --i;  // the attention opens the next session
                }
                break;
        }
    }
    if (st == St::Body) FillBody(*cur, s.subspan(bodyStart));
    return rec;
}

std::string FormatParagraph(const Paragraph& p) {
    std::string out;
    auto add = [&](const std::string& w) {
        if (!out.empty()) out += ' ';
        out += w;
    };
    for (const Item& it : p.items) {
        add(it.isColumn() ? Hex(it.byte) : std::string("<") + it.effect + ">");
    }
    if (p.separated) add("separador");
    return out;
}

std::string FormatEntry(const TurnEntry& e) {
    std::string out;
    if (e.number >= 0) {
        out += static_cast<char>('0' + e.number / 10);
        out += static_cast<char>('0' + e.number % 10);
    } else {
        out += "--";
    }
    for (std::uint8_t b : e.bytes) out += ' ' + Hex(b);
    if (!e.complete) out += " incompleta";
    return out;
}

std::string FormatListing(const SignRecord& rec) {
    std::ostringstream o;
    o << "cartel-virtual registro 1\n";
    o << "recibidos " << rec.received << "\n";
    o << "ajenos " << rec.strayBytes << "\n";
    long long n = 0;
    for (const Recording& r : rec.recordings) {
        o << "grabacion " << ++n << " desde " << r.firstByte << " atenciones " << r.attentions
          << " modelo " << YesNo(r.modelQueried) << " comienzo " << YesNo(r.started) << " cierre "
          << YesNo(r.closed) << " otros " << r.otherBytes << "\n";
        if (r.kind == Recording::Kind::Message) {
            o << "mensaje\n";
            for (const Paragraph& p : r.paragraphs) {
                const std::string items = FormatParagraph(p);
                o << "parrafo" << (items.empty() ? "" : " ") << items << "\n";
            }
        } else if (r.kind == Recording::Kind::TurnDisplay) {
            o << "turnero " << r.turn.style << "\n";
            for (const TurnEntry& e : r.turn.entries) o << "entrada " << FormatEntry(e) << "\n";
        }
    }
    o << "fin\n";
    return o.str();
}

std::optional<SignRecord> ParseListing(std::string_view text) {
    SignRecord rec;
    bool header = false;
    bool ended = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t eol = text.find('\n', pos);
        if (eol == std::string_view::npos) eol = text.size();
        std::string_view line = text.substr(pos, eol - pos);
        pos = eol + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const auto w = Words(line);
        if (w.empty()) continue;
        if (ended) return std::nullopt;
        if (!header) {
            if (w.size() != 3 || w[0] != "cartel-virtual" || w[1] != "registro" || w[2] != "1")
                return std::nullopt;
            header = true;
            continue;
        }
        Recording* cur = rec.recordings.empty() ? nullptr : &rec.recordings.back();
        if (w[0] == "recibidos" || w[0] == "ajenos") {
            if (w.size() != 2) return std::nullopt;
            const auto v = ParseNumber(w[1]);
            if (!v) return std::nullopt;
            (w[0] == "recibidos" ? rec.received : rec.strayBytes) = *v;
        } else if (w[0] == "grabacion") {
            if (w.size() != 14 || w[2] != "desde" || w[4] != "atenciones" || w[6] != "modelo" ||
                w[8] != "comienzo" || w[10] != "cierre" || w[12] != "otros")
                return std::nullopt;
            const auto number = ParseNumber(w[1]);
            const auto first = ParseNumber(w[3]);
            const auto att = ParseNumber(w[5]);
            const auto model = ParseYesNo(w[7]);
            const auto started = ParseYesNo(w[9]);
            const auto closed = ParseYesNo(w[11]);
            const auto others = ParseNumber(w[13]);
            if (!number || *number != static_cast<long long>(rec.recordings.size()) + 1 || !first ||
                !att || !model || !started || !closed || !others)
                return std::nullopt;
            Recording r;
            r.firstByte = *first;
            r.attentions = static_cast<int>(*att);
            r.modelQueried = *model;
            r.started = *started;
            r.closed = *closed;
            r.otherBytes = *others;
            rec.recordings.push_back(std::move(r));
        } else if (w[0] == "mensaje") {
            if (!cur || cur->kind != Recording::Kind::None || w.size() != 1) return std::nullopt;
            cur->kind = Recording::Kind::Message;
        } else if (w[0] == "turnero") {
            if (!cur || cur->kind != Recording::Kind::None || w.size() != 2) return std::nullopt;
            const auto style = ParseNumber(w[1]);
            if (!style || *style < 1 || *style > kEstilosTurnero) return std::nullopt;
            cur->kind = Recording::Kind::TurnDisplay;
            cur->turn.style = static_cast<int>(*style);
        } else if (w[0] == "parrafo") {
            if (!cur || cur->kind != Recording::Kind::Message) return std::nullopt;
            Paragraph p;
            for (std::size_t k = 1; k < w.size(); ++k) {
                const std::string_view t = w[k];
                if (t == "separador" && k + 1 == w.size()) {
                    p.separated = true;
                } else if (t.size() == 3 && t[0] == '<' && t[2] == '>') {
                    const char c = t[1];
                    if (c != 'A' && c != '?' &&
                        EffectOfByte(CodigoDeEfecto(static_cast<unsigned char>(c)).primero) != c)
                        return std::nullopt;
                    p.items.push_back(Item::Effect(c));
                } else if (auto b = ParseHex(t)) {
                    p.items.push_back(Item::Column(*b));
                } else {
                    return std::nullopt;
                }
            }
            cur->paragraphs.push_back(std::move(p));
        } else if (w[0] == "entrada") {
            if (!cur || cur->kind != Recording::Kind::TurnDisplay || w.size() < 2)
                return std::nullopt;
            TurnEntry e;
            if (w[1] != "--") {
                const auto n = ParseNumber(w[1]);
                if (!n || w[1].size() != 2) return std::nullopt;
                e.number = static_cast<int>(*n);
            }
            e.complete = true;
            for (std::size_t k = 2; k < w.size(); ++k) {
                if (w[k] == "incompleta" && k + 1 == w.size()) {
                    e.complete = false;
                } else if (auto b = ParseHex(w[k])) {
                    e.bytes.push_back(*b);
                } else {
                    return std::nullopt;
                }
            }
            cur->turn.entries.push_back(std::move(e));
        } else if (w[0] == "fin") {
            if (w.size() != 1) return std::nullopt;
            ended = true;
        } else {
            return std::nullopt;
        }
    }
    if (!header || !ended) return std::nullopt;
    return rec;
}

}  // namespace letrador::cartel
