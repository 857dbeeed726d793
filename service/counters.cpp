#include "service/counters.h"

#include "message/codepage.h"

namespace letrador::service {

namespace {
// Digits only, within [low, high].
std::optional<int> Number(std::string_view text, int low, int high) {
    if (text.empty() || text.size() > 3) return std::nullopt;
    int n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n < low || n > high ? std::nullopt : std::optional(n);
}
}  // namespace

int NumberAfter(int number, Press press) {
    switch (press) {
        case Press::Next: return (number + 1) % 100;
        case Press::Previous: return (number + 99) % 100;
        case Press::Repeat: return number;
    }
    return number;
}

std::string CounterNameProblem(std::string_view name) {
    if (name.empty()) return "Escriba un nombre para el turnero.";
    if (name.size() > 40) return "El nombre del turnero tiene más de 40 caracteres.";
    for (unsigned char c : name)
        if (c < 0x20 || c == ';' || c == 0x7F) return "El nombre del turnero no puede llevar «;».";
    return "";
}

std::vector<Counter> ParseCounters(std::string_view bytes, std::vector<std::string>* errors) {
    std::vector<Counter> out;
    const std::string text = ToUtf8(FromCp1252(bytes));
    std::size_t start = 0;
    for (int lineNo = 1; start < text.size(); ++lineNo) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line.front() == '#') continue;
        std::vector<std::string> f;
        for (std::size_t at = 0;;) {
            const std::size_t semi = line.find(';', at);
            f.push_back(line.substr(at, semi - at));
            if (semi == std::string::npos) break;
            at = semi + 1;
        }
        const auto port = f.size() == 4 ? Number(f[1], 1, 255) : std::nullopt;
        const auto style = f.size() == 4 ? Number(f[2], 1, 3) : std::nullopt;
        const auto number = f.size() == 4 ? Number(f[3], 0, 99) : std::nullopt;
        if (!port || !style || !number || !CounterNameProblem(f[0]).empty()) {
            if (errors)
                errors->push_back("línea " + std::to_string(lineNo) +
                                  ": se espera NOMBRE;PUERTO;ESTILO;NÚMERO (puerto 1-255, estilo 1-3, número 0-99)");
            continue;
        }
        out.push_back({f[0], *port, *style, *number});
    }
    return out;
}

std::string ComposeCounters(const std::vector<Counter>& counters) {
    std::string text = "# Turneros de letrador-servicio: NOMBRE;PUERTO;ESTILO;NÚMERO\r\n";
    for (const Counter& c : counters)
        text += c.name + ";" + std::to_string(c.port) + ";" + std::to_string(c.style) + ";" +
                std::to_string(c.number) + "\r\n";
    return ToCp1252(FromUtf8(text));
}

}  // namespace letrador::service
