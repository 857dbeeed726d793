#include "service/programme.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <set>

#include "message/codepage.h"
#include "service/names.h"

namespace letrador::service {

namespace {

constexpr std::array<std::string_view, 7> kDayNames = {"lu", "ma", "mi", "ju", "vi", "sa", "do"};
constexpr std::uint8_t kAllDays = 0x7F;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// The next blank-separated word of `rest`, taken off it.
std::string_view NextWord(std::string_view& rest) {
    rest = Trim(rest);
    std::size_t end = 0;
    while (end < rest.size() && rest[end] != ' ' && rest[end] != '\t') ++end;
    const std::string_view word = rest.substr(0, end);
    rest.remove_prefix(end);
    return word;
}

std::vector<std::string_view> Split(std::string_view s, char by) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t at = s.find(by, start);
        parts.push_back(s.substr(start, at - start));
        if (at == std::string_view::npos) return parts;
        start = at + 1;
    }
}

int DayIndex(std::string_view name) {
    for (std::size_t k = 0; k < kDayNames.size(); ++k)
        if (kDayNames[k] == name) return static_cast<int>(k);
    return -1;
}

std::optional<std::uint8_t> ParseDays(std::string_view text) {
    if (text == "todos") return kAllDays;
    std::uint8_t days = 0;
    for (std::string_view part : Split(text, ',')) {
        const std::size_t dash = part.find('-');
        const int from = DayIndex(part.substr(0, dash));
        const int to = dash == std::string_view::npos ? from : DayIndex(part.substr(dash + 1));
        if (from < 0 || to < 0 || to < from) return std::nullopt;
        for (int d = from; d <= to; ++d) days = static_cast<std::uint8_t>(days | (1u << d));
    }
    return days == 0 ? std::nullopt : std::optional(days);
}

std::optional<int> ParseTime(std::string_view text) {
    if (text.size() != 5 || text[2] != ':') return std::nullopt;
    for (std::size_t k : {0u, 1u, 3u, 4u})
        if (text[k] < '0' || text[k] > '9') return std::nullopt;
    const int h = (text[0] - '0') * 10 + (text[1] - '0');
    const int m = (text[3] - '0') * 10 + (text[4] - '0');
    if (h > 23 || m > 59) return std::nullopt;
    return h * 60 + m;
}

std::optional<std::vector<int>> ParsePorts(std::string_view text) {
    std::vector<int> ports;
    for (std::string_view part : Split(text, ',')) {
        if (part.empty() || part.size() > 3) return std::nullopt;
        int n = 0;
        for (char c : part) {
            if (c < '0' || c > '9') return std::nullopt;
            n = n * 10 + (c - '0');
        }
        if (n < 1 || n > 255 || std::find(ports.begin(), ports.end(), n) != ports.end())
            return std::nullopt;
        ports.push_back(n);
    }
    return ports;
}

constexpr const char* kHeader =
    "# Programa diario de letrador-servicio. Una entrada por línea:\n"
    "#   DÍAS HH:MM CARTELES MENSAJE\n"
    "# DÍAS: lu ma mi ju vi sa do, separados por comas o en rangos (lu-vi), o todos.\n"
    "# CARTELES: números de puerto separados por comas (3,7). MENSAJE: un archivo de mensajes/.\n"
    "# Ejemplo: lu-vi 08:00 3 horario.fmv\n";

}  // namespace

std::string DaysText(std::uint8_t days) {
    if ((days & kAllDays) == kAllDays) return "todos";
    std::string out;
    for (int d = 0; d < 7;) {
        if (!(days & (1u << d))) {
            ++d;
            continue;
        }
        int end = d;
        while (end + 1 < 7 && (days & (1u << (end + 1)))) ++end;
        if (!out.empty()) out += ',';
        if (end - d >= 2) {
            out += std::string(kDayNames[d]) + "-" + std::string(kDayNames[end]);
        } else {
            out += kDayNames[d];
            if (end > d) out += "," + std::string(kDayNames[end]);
        }
        d = end + 1;
    }
    return out;
}

std::string ProgrammeEntry::timeText() const {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d", minute / 60, minute % 60);
    return buf;
}

std::string ProgrammeEntry::line() const {
    std::string ports_;
    for (int p : ports) ports_ += (ports_.empty() ? "" : ",") + std::to_string(p);
    return DaysText(days) + " " + timeText() + " " + ports_ + " " + message;
}

std::optional<ProgrammeEntry> ParseEntry(std::string_view line, std::string& error) {
    error.clear();
    std::string_view rest = Trim(line);
    if (rest.empty() || rest.front() == '#') return std::nullopt;
    ProgrammeEntry e;
    const std::string_view days = NextWord(rest);
    const std::string_view time = NextWord(rest);
    const std::string_view ports = NextWord(rest);
    const std::string_view message = Trim(rest);
    if (time.empty() || ports.empty() || message.empty()) {
        error = "faltan datos: se espera DÍAS HH:MM CARTELES MENSAJE";
        return std::nullopt;
    }
    const auto d = ParseDays(days);
    if (!d) {
        error = "días no válidos «" + std::string(days) + "» (lu ma mi ju vi sa do, lu-vi o todos)";
        return std::nullopt;
    }
    const auto m = ParseTime(time);
    if (!m) {
        error = "hora no válida «" + std::string(time) + "» (HH:MM, de 00:00 a 23:59)";
        return std::nullopt;
    }
    auto p = ParsePorts(ports);
    if (!p) {
        error = "carteles no válidos «" + std::string(ports) +
                "» (números de puerto de 1 a 255, separados por comas, sin repetir)";
        return std::nullopt;
    }
    if (!ValidMessageName(message)) {
        error = "nombre de mensaje no válido «" + std::string(message) + "» (un archivo .fmv de mensajes/)";
        return std::nullopt;
    }
    e.days = *d;
    e.minute = *m;
    e.ports = std::move(*p);
    e.message = std::string(message);
    return e;
}

std::vector<std::size_t> Programme::entryLines() const {
    std::vector<std::size_t> out;
    for (std::size_t k = 0; k < lines.size(); ++k)
        if (lines[k].entry) out.push_back(k);
    return out;
}

std::vector<std::string> Programme::errors() const {
    std::vector<std::string> out;
    for (std::size_t k = 0; k < lines.size(); ++k)
        if (!lines[k].error.empty()) out.push_back("línea " + std::to_string(k + 1) + ": " + lines[k].error);
    return out;
}

Programme ParseProgramme(std::string_view bytes) {
    Programme p;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) end = bytes.size();
        std::string_view raw = bytes.substr(start, end - start);
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        ProgrammeLine line;
        line.text = ToUtf8(FromCp1252(raw));
        line.entry = ParseEntry(line.text, line.error);
        p.lines.push_back(std::move(line));
        start = end + 1;
    }
    return p;
}

std::string ComposeProgramme(const Programme& programme) {
    std::string text;
    if (programme.lines.empty() || programme.lines.front().text.rfind("#", 0) != 0) text = kHeader;
    for (const ProgrammeLine& line : programme.lines) text += line.text + "\n";
    std::string out;
    for (char c : ToCp1252(FromUtf8(text))) {
        if (c == '\n') out += "\r\n";
        else out += c;
    }
    return out;
}

std::string_view VerdictCode(std::optional<Verdict> verdict) {
    if (!verdict) return "grabando";
    switch (*verdict) {
        case Verdict::Clean: return "sin-errores";
        case Verdict::Errors: return "con-errores";
        case Verdict::CouldNotOpen: return "no-se-abrio";
        case Verdict::LinkLost: return "conexion-perdida";
        case Verdict::Stopped: return "detenida";
    }
    return "con-errores";
}

bool VerdictFromCode(std::string_view code, std::optional<Verdict>& verdict) {
    verdict.reset();
    if (code == "grabando") return true;
    for (Verdict v : {Verdict::Clean, Verdict::Errors, Verdict::CouldNotOpen, Verdict::LinkLost,
                      Verdict::Stopped}) {
        if (VerdictCode(v) == code) {
            verdict = v;
            return true;
        }
    }
    return false;
}

RunLedger ParseLedger(std::string_view bytes) {
    RunLedger ledger;
    for (std::string_view raw : Split(bytes, '\n')) {
        std::string_view rest = Trim(raw);
        const std::string_view date = NextWord(rest), time = NextWord(rest), port = NextWord(rest),
                               code = NextWord(rest);
        std::optional<Verdict> verdict;
        const bool known = VerdictFromCode(code, verdict);
        const auto ports = ParsePorts(port);
        const std::string key(Trim(rest));
        if (!known || !ports || ports->size() != 1 || date.size() != 10 || key.empty()) continue;
        ledger[{key, ports->front()}] = LastRun{std::string(date), std::string(time), verdict};
    }
    return ledger;
}

std::string ComposeLedger(const RunLedger& ledger) {
    std::string out;
    for (const auto& [key, run] : ledger) {
        out += run.date + " " + run.time + " " + std::to_string(key.second) + " " +
               std::string(VerdictCode(run.verdict)) + " " + key.first + "\r\n";
    }
    return out;
}

std::vector<DueRecording> DueNow(const Programme& programme, const CivilTime& now,
                                 const RunLedger& ledger) {
    // The latest entry due today for each sign; a later line wins a tie.
    std::map<int, std::size_t> latest;
    for (std::size_t k : programme.entryLines()) {
        const ProgrammeEntry& e = *programme.lines[k].entry;
        if (!(e.days & (1u << now.weekday)) || e.minute > now.minuteOfDay()) continue;
        for (int port : e.ports) {
            auto it = latest.find(port);
            if (it == latest.end() || programme.lines[it->second].entry->minute <= e.minute)
                latest[port] = k;
        }
    }
    std::vector<DueRecording> due;
    const std::string today = now.date();
    for (const auto& [port, k] : latest) {
        const auto run = ledger.find({programme.lines[k].entry->line(), port});
        if (run != ledger.end() && run->second.date == today) continue;
        auto same = std::find_if(due.begin(), due.end(), [k = k](const DueRecording& d) { return d.line == k; });
        if (same == due.end()) due.push_back({k, {port}});
        else same->ports.push_back(port);
    }
    return due;
}

}  // namespace letrador::service
