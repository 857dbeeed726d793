#include "files/message_format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "message/codepage.h"
#include "message/numeric.h"

namespace letrador {
namespace {

constexpr char32_t kQuote = U'"';

// Appends `text` as one or more Windows-1252 lines (its own CR LF breaks stay as they are) and
// the line end.
void AppendLine(std::string& out, std::u32string_view text, bool& lossy) {
    bool lost = false;
    out += ToCp1252(text, &lost);
    out += kCrLf;
    lossy = lossy || lost;
}

std::u32string Quoted(std::u32string_view text) {
    std::u32string s;
    s.reserve(text.size() + 2);
    s += kQuote;
    s += text;
    s += kQuote;
    return s;
}

}  // namespace

std::u32string QuitarComillas(std::u32string_view texto) {
    if (texto.size() < 2) return {};
    return std::u32string(texto.substr(1, texto.size() - 2));
}

std::u32string DesdoblarComillas(std::u32string_view texto) {
    std::u32string out;
    out.reserve(texto.size());
    bool previousQuoteCopied = false;
    for (char32_t c : texto) {
        if (c != kQuote) {
            out += c;
            previousQuoteCopied = false;
        } else if (!previousQuoteCopied) {
            out += c;
            previousQuoteCopied = true;
        } else {
            previousQuoteCopied = false;
        }
    }
    return out;
}

std::u32string DoblarComillas(std::u32string_view texto) {
    std::u32string out;
    out.reserve(texto.size());
    for (char32_t c : texto) {
        out += c;
        if (c == kQuote) out += c;
    }
    return out;
}

std::string DecimalLine(double value) {
    if (!std::isfinite(value)) return "0";
    std::string text = DecimalNumberText(value);
    if (text.find_first_of("eE") == std::string::npos) return text;
    // Very large or very small values: plain digits instead of an exponent.
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.20f", value);
    text = buffer;
    if (text.find('.') != std::string::npos) {
        while (!text.empty() && text.back() == '0') text.pop_back();
        if (!text.empty() && text.back() == '.') text.pop_back();
    }
    return text == "-0" ? "0" : text;
}

bool CollidesWithEndMarker(const ParagraphRecord& paragraph, std::u32string_view endMarker) {
    return paragraph.Text == endMarker;
}

ComposedMessage ComposeMessageFile(const MessageHeader& header,
                                   const std::vector<ParagraphRecord>& paragraphs,
                                   std::u32string_view endMarker) {
    ComposedMessage m;
    bool& lossy = m.lossy;
    auto ascii = [&](const std::string& s) {
        m.bytes += s;
        m.bytes += kCrLf;
    };
    ascii(DecimalLine(header.spaceWidth));
    ascii(header.joined ? "1" : "0");
    const std::u32string marker = Quoted(endMarker);
    int k = 0;
    for (const ParagraphRecord& p : paragraphs) {
        ++k;
        const std::u32string font = FromUtf8(p.FontFile);
        ascii(DecimalText(p.Number));
        AppendLine(m.bytes, Quoted(font), lossy);
        AppendLine(m.bytes, Quoted(DoblarComillas(p.Text)), lossy);
        AppendLine(m.bytes, marker, lossy);
        ascii(DecimalText(p.Columns));
        ascii(p.Ignore ? "#TRUE#" : "#FALSE#");
        ascii(DecimalText(p.Separation));
        const std::u32string lost = NotInCp1252(font + p.Text);
        if (!lost.empty()) m.lost.push_back({k, lost});
    }
    return m;
}

std::vector<std::string_view> SplitLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t lf = bytes.find('\n', start);
        if (lf == std::string_view::npos) {
            std::string_view last = bytes.substr(start);
            if (last.back() == '\r') last.remove_suffix(1);
            lines.push_back(last);
            break;
        }
        std::size_t end = (lf > start && bytes[lf - 1] == '\r') ? lf - 1 : lf;
        lines.push_back(bytes.substr(start, end - start));
        start = lf + 1;
    }
    return lines;
}

namespace {

std::string Numbered(const char* before, std::size_t k, const char* after) {
    return before + DecimalText(static_cast<int>(std::min<std::size_t>(k, 32767))) + after;
}

}  // namespace

ParsedMessage ParseMessageFile(std::string_view bytes, std::u32string_view endMarker) {
    ParsedMessage parsed;
    const std::vector<std::string_view> lines = SplitLines(bytes);
    const std::string marker = ToCp1252(Quoted(endMarker));
    const std::size_t n = lines.size();
    std::size_t i = 0;  // the next line to read; its number in the file is i + 1

    auto refuse = [&](std::size_t index, std::string what) {
        parsed.groups.clear();
        parsed.problemLine = static_cast<int>(std::min<std::size_t>(index + 1, 2147483647));
        parsed.problem = std::move(what);
        return parsed;
    };

    // Value lines are taken as they stand: their numbers are read where they are used, and a
    // line without one reads as 0.
    if (n < 2) return refuse(1, "falta la opción Párrafos unidos");
    parsed.spaceWidthText = ToUtf8(FromCp1252(lines[i++]));
    parsed.joinedText = ToUtf8(FromCp1252(lines[i++]));
    if (i >= n) return refuse(i, "falta el primer párrafo");

    while (i < n) {
        const std::size_t k = parsed.groups.size() + 1;
        const std::string cut = Numbered("el párrafo ", k, " está cortado");
        ReadGroup g;
        ++i;  // the paragraph's number: paragraphs are numbered by their order in the file
        if (i >= n) return refuse(i, cut);
        // A string is its line without the first and the last character, whatever they are.
        if (lines[i].size() < 2) {
            return refuse(i, "no es un nombre de archivo de fuente entre comillas");
        }
        g.fontFile = ToUtf8(QuitarComillas(FromCp1252(lines[i++])));
        if (i >= n) return refuse(i, cut);

        // The first text line is compared with the marker line too, so a text line that is
        // exactly the marker ends the text at once and is the text.
        const std::size_t textLine = i;
        std::string text(lines[i++]);
        if (text != marker) {
            bool ended = false;
            while (i < n) {
                std::string_view line = lines[i++];
                if (line == marker) {
                    ended = true;
                    break;
                }
                text += kCrLf;
                text += line;
            }
            if (!ended) return refuse(n, cut);
        }
        if (text.size() < 2) {
            return refuse(textLine, Numbered("el texto del párrafo ", k, " no está entre comillas"));
        }
        g.text = DesdoblarComillas(QuitarComillas(FromCp1252(text)));

        if (i >= n) return refuse(i, cut);
        ++i;  // the column count: saving the paragraph counts it again
        if (i >= n) return refuse(i, cut);
        g.ignore = lines[i++] != "#FALSE#";
        if (i >= n) return refuse(i, cut);
        g.separation = ToUtf8(FromCp1252(lines[i++]));
        parsed.groups.push_back(std::move(g));
    }
    parsed.complete = true;
    return parsed;
}

}  // namespace letrador
