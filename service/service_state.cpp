#include "service/service_state.h"

#include <algorithm>
#include <set>
#include <type_traits>

#include "files/file_access.h"
#include "message/numeric.h"

namespace letrador::service {

namespace {
constexpr std::size_t kRunsKept = 30;

std::string PortsText(const std::vector<std::string>& ports) {
    std::string out;
    for (const auto& p : ports) out += (out.empty() ? "COM " : ", COM ") + p;
    return out;
}

bool WriteFile(const std::filesystem::path& path, const std::string& bytes, std::string& problem) {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    AtomicFileReplacer writer;
    const FileResult r = writer.Replace(path.string(), bytes);
    if (!r.ok) problem = "No se pudo guardar " + path.filename().string() + ": " + r.reason;
    return r.ok;
}
}  // namespace

ServiceState::ServiceState(std::filesystem::path workFolder, ServiceClock& clock, JobStarter start,
                           MessageLoader load, std::ostream& log)
    : work_(std::move(workFolder)), clock_(clock), start_(std::move(start)), load_(std::move(load)), log_(log) {
    std::vector<std::string> errors;
    const FileContent counters = ReadWholeFile(file(kCountersFile).string(), 1u << 20);
    if (counters.result.ok) counters_ = ParseCounters(counters.bytes, &errors);
    for (const auto& e : errors) log_ << "letrador-servicio: " << kCountersFile << ", " << e << '\n';
    const FileContent ledger = ReadWholeFile(file(kLedgerFile).string(), 1u << 20);
    if (ledger.result.ok) ledger_ = ParseLedger(ledger.bytes);
    loadProgrammeIfChanged();
}

void ServiceState::setSigns(std::vector<FoundSign> signs) {
    signs_ = std::move(signs);
    for (const auto& s : signs_) {
        status_[s.port].port = s.port;
        status_[s.port].device = s.device;
    }
}

bool ServiceState::anyRecording() const {
    return std::any_of(runs_.begin(), runs_.end(), [](const auto& r) { return !r.second.view.ended; });
}

int ServiceState::record(WhatToRecord what, std::vector<std::string> ports, std::string title) {
    const int id = nextRun_++;
    Run& run = runs_[id];
    run.view.id = id;
    run.view.title = title;
    run.view.ports = ports;
    run.view.logs.resize(ports.size());
    run.view.progress.resize(ports.size());
    run.view.verdicts.resize(ports.size());
    for (std::size_t k = 0; k < ports.size(); ++k) run.logs.push_back(std::make_unique<PlainRecordingView>());
    run.printer = std::make_unique<RecordingPrinter>(log_, ports);
    const std::string now = clock_.civilNow().date() + " " + clock_.civilNow().time();
    for (const auto& p : ports) {
        SignStatus& s = status_[p];
        s.port = p;
        s.last = title;
        s.when = now;
        s.verdict.reset();
        s.recording = true;
        s.runId = id;
    }
    log_ << "letrador-servicio: grabación " << id << ": " << title << " en " << PortsText(ports) << '\n';
    run.waiting = RecordingJob{std::move(what), std::move(ports)};
    startWaiting();
    if (run.waiting)
        for (auto& label : run.view.progress) label = "Esperando a que termine la grabación anterior en el cartel";
    dropOldRuns();
    return id;
}

void ServiceState::startWaiting() {
    if (closing_) return;
    std::set<std::string> taken;
    for (const auto& [id, run] : runs_)
        if (run.handle && !run.view.ended) taken.insert(run.view.ports.begin(), run.view.ports.end());
    for (auto& [id, run] : runs_) {
        if (!run.waiting) continue;
        const auto& ports = run.view.ports;
        const bool free = std::none_of(ports.begin(), ports.end(), [&](const std::string& p) { return taken.count(p); });
        taken.insert(ports.begin(), ports.end());
        if (!free) continue;
        RecordingJob job = std::move(*run.waiting);
        run.waiting.reset();
        run.handle = start_(std::move(job), id);
    }
}

void ServiceState::dropOldRuns() {
    while (runs_.size() > kRunsKept) {
        auto oldest = std::find_if(runs_.begin(), runs_.end(), [](const auto& r) { return r.second.view.ended; });
        if (oldest == runs_.end()) return;
        runs_.erase(oldest);
    }
}

void ServiceState::stop(int runId) {
    auto it = runs_.find(runId);
    if (it == runs_.end() || it->second.view.ended) return;
    Run& run = it->second;
    run.view.stopping = true;
    ++run.view.version;
    if (run.handle) {
        run.handle->stop();
        return;
    }
    // Not started yet: it ends here, as a stopped recording that sent nothing.
    run.waiting.reset();
    for (std::size_t k = 0; k < run.view.ports.size(); ++k) {
        onEvent(runId, event::LogLine{k, "Grabación detenida por el operador.", true});
        onEvent(runId, event::SignEnded{k, Verdict::Stopped});
    }
    onEvent(runId, event::JobEnded{std::vector<Verdict>(run.view.ports.size(), Verdict::Stopped)});
}

void ServiceState::waitAll() {
    for (auto& [id, run] : runs_) {
        run.waiting.reset();
        if (run.handle) run.handle->wait();
    }
}

std::optional<RunView> ServiceState::run(int runId) const {
    auto it = runs_.find(runId);
    if (it == runs_.end()) return std::nullopt;
    return it->second.view;
}

void ServiceState::onEvent(int runId, const RecordingEvent& e) {
    auto it = runs_.find(runId);
    if (it == runs_.end()) return;
    Run& run = it->second;
    (*run.printer)(e);
    ++run.view.version;
    std::visit(
        [&](const auto& ev) {
            using T = std::decay_t<decltype(ev)>;
            if constexpr (std::is_same_v<T, event::LogLine>) {
                if (ev.sign >= run.logs.size()) return;
                run.logs[ev.sign]->AgregarLog(ev.text, ev.newLine);
                run.view.logs[ev.sign] = run.logs[ev.sign]->lines();
            } else if constexpr (std::is_same_v<T, event::Progress>) {
                if (ev.sign < run.view.progress.size()) run.view.progress[ev.sign] = ev.label;
            } else if constexpr (std::is_same_v<T, event::SignEnded>) {
                if (ev.sign >= run.logs.size()) return;
                run.view.verdicts[ev.sign] = ev.verdict;
                run.view.logs[ev.sign] = run.logs[ev.sign]->lines();
                const std::string& port = run.view.ports[ev.sign];
                SignStatus& s = status_[port];
                if (s.runId == runId) {
                    s.recording = false;
                    s.verdict = ev.verdict;
                    s.when = clock_.civilNow().date() + " " + clock_.civilNow().time();
                }
                if (!run.programmeKey.empty()) {
                    const int n = static_cast<int>(WholeValue(port));
                    auto led = ledger_.find({run.programmeKey, n});
                    if (led != ledger_.end()) {
                        led->second.verdict = ev.verdict;
                        saveLedger();
                    }
                }
                if (!run.counter.empty()) {
                    auto c = counterRuns_.find(run.counter);
                    if (c != counterRuns_.end() && c->second.first == runId) c->second.second = ev.verdict;
                }
            } else if constexpr (std::is_same_v<T, event::JobEnded>) {
                run.view.ended = true;
            }
        },
        e);
    if (run.view.ended) startWaiting();
}

// ---- Turn counters ----

std::vector<CounterView> ServiceState::counters() const {
    std::vector<CounterView> out;
    for (const Counter& c : counters_) {
        CounterView v{c, std::nullopt, false, 0};
        auto r = counterRuns_.find(c.name);
        if (r != counterRuns_.end()) {
            v.runId = r->second.first;
            v.verdict = r->second.second;
            auto run = runs_.find(v.runId);
            v.recording = run != runs_.end() && !run->second.view.ended;
        }
        out.push_back(v);
    }
    return out;
}

bool ServiceState::saveCounters(std::string& problem) {
    return WriteFile(file(kCountersFile), ComposeCounters(counters_), problem);
}

std::string ServiceState::addCounter(const std::string& name, int port, int style) {
    if (std::string p = CounterNameProblem(name); !p.empty()) return p;
    if (port < 1 || port > 255) return "El puerto debe ser un número de 1 a 255.";
    if (style < 1 || style > 3) return "El estilo debe ser 1, 2 o 3.";
    for (const Counter& c : counters_)
        if (c.name == name) return "Ya hay un turnero llamado «" + name + "».";
    counters_.push_back({name, port, style, 0});
    std::string problem;
    if (!saveCounters(problem)) {
        counters_.pop_back();
        return problem;
    }
    return "";
}

std::string ServiceState::removeCounter(const std::string& name) {
    auto it = std::find_if(counters_.begin(), counters_.end(), [&](const Counter& c) { return c.name == name; });
    if (it == counters_.end()) return "No hay un turnero llamado «" + name + "».";
    const Counter kept = *it;
    const auto at = counters_.erase(it);
    std::string problem;
    if (!saveCounters(problem)) {
        counters_.insert(at, kept);
        return problem;
    }
    counterRuns_.erase(name);
    return "";
}

std::optional<int> ServiceState::press(const std::string& name, Press press, std::string& problem) {
    auto it = std::find_if(counters_.begin(), counters_.end(), [&](const Counter& c) { return c.name == name; });
    if (it == counters_.end()) {
        problem = "No hay un turnero llamado «" + name + "».";
        return std::nullopt;
    }
    // The number is taken and kept before anything is sent: two presses at once get two numbers.
    const int before = it->number;
    it->number = NumberAfter(before, press);
    if (!saveCounters(problem)) {
        it->number = before;
        return std::nullopt;
    }
    const Counter c = *it;
    char number[4];
    std::snprintf(number, sizeof number, "%02d", c.number);
    const int id = record(TurnDisplay{c.style, c.number}, {DecimalText(c.port)},
                          "Turno " + std::string(number) + " (" + c.name + ")");
    runs_[id].counter = c.name;
    counterRuns_[c.name] = {id, std::nullopt};
    return id;
}

// ---- Programme ----

void ServiceState::loadProgrammeIfChanged() {
    std::error_code ec;
    const auto path = file(kProgrammeFile);
    const auto time = std::filesystem::last_write_time(path, ec);
    if (ec) {
        if (programmeStamp_) programme_ = Programme{};
        programmeStamp_.reset();
        return;
    }
    const auto size = std::filesystem::file_size(path, ec);
    const auto stamp = std::make_pair(time, size);
    if (programmeStamp_ == stamp) return;
    programmeStamp_ = stamp;
    const FileContent content = ReadWholeFile(path.string(), 1u << 20);
    programme_ = content.result.ok ? ParseProgramme(content.bytes) : Programme{};
    for (const auto& e : programme_.errors()) log_ << "letrador-servicio: " << kProgrammeFile << ", " << e << '\n';
}

std::string ServiceState::saveProgramme() {
    std::string problem;
    if (!WriteFile(file(kProgrammeFile), ComposeProgramme(programme_), problem)) return problem;
    programmeStamp_.reset();
    loadProgrammeIfChanged();
    return "";
}

void ServiceState::saveLedger() {
    std::string problem;
    if (!WriteFile(file(kLedgerFile), ComposeLedger(ledger_), problem)) log_ << "letrador-servicio: " << problem << '\n';
}

ProgrammeView ServiceState::programme() const {
    ProgrammeView v;
    v.errors = programme_.errors();
    for (std::size_t k : programme_.entryLines()) {
        ProgrammeView::Entry e{k, programme_.lines[k].text, *programme_.lines[k].entry, {}};
        for (int port : e.entry.ports) {
            auto run = ledger_.find({e.entry.line(), port});
            if (run != ledger_.end()) e.lastRuns.emplace_back(port, run->second);
        }
        v.entries.push_back(std::move(e));
    }
    return v;
}

std::string ServiceState::lineProblem(std::size_t line, const std::string& oldText) const {
    if (line >= programme_.lines.size() || programme_.lines[line].text != oldText || !programme_.lines[line].entry)
        return "El programa cambió mientras tanto: vuelva a mirarlo y repita el cambio.";
    return "";
}

std::string ServiceState::addEntry(const std::string& text) {
    loadProgrammeIfChanged();
    std::string error;
    const auto entry = ParseEntry(text, error);
    if (!entry) return error.empty() ? "La entrada está vacía." : "Entrada no válida: " + error + ".";
    programme_.lines.push_back({entry->line(), entry, ""});
    return saveProgramme();
}

std::string ServiceState::changeEntry(std::size_t line, const std::string& oldText, const std::string& text) {
    loadProgrammeIfChanged();
    if (std::string p = lineProblem(line, oldText); !p.empty()) return p;
    std::string error;
    const auto entry = ParseEntry(text, error);
    if (!entry) return error.empty() ? "La entrada está vacía." : "Entrada no válida: " + error + ".";
    programme_.lines[line] = {entry->line(), entry, ""};
    return saveProgramme();
}

std::string ServiceState::removeEntry(std::size_t line, const std::string& oldText) {
    loadProgrammeIfChanged();
    if (std::string p = lineProblem(line, oldText); !p.empty()) return p;
    programme_.lines.erase(programme_.lines.begin() + static_cast<std::ptrdiff_t>(line));
    return saveProgramme();
}

void ServiceState::tick() {
    if (clock_.jumped()) log_ << "letrador-servicio: la hora cambió; se revisa el programa.\n";
    loadProgrammeIfChanged();
    const CivilTime now = clock_.civilNow();
    for (const DueRecording& due : DueNow(programme_, now, ledger_)) {
        const ProgrammeEntry entry = *programme_.lines[due.line].entry;
        const std::string key = entry.line();
        std::vector<std::string> ports;
        for (int p : due.ports) {
            ports.push_back(DecimalText(p));
            ledger_[{key, p}] = LastRun{now.date(), now.time(), std::nullopt};
        }
        saveLedger();
        std::string problem;
        auto message = load_(entry.message, problem);
        const std::string title = "Programa " + entry.timeText() + ": " + entry.message;
        if (!message) {
            log_ << "letrador-servicio: " << title << ": " << problem << '\n';
            for (int p : due.ports) ledger_[{key, p}].verdict = Verdict::Errors;
            saveLedger();
            continue;
        }
        const int id = record(std::move(*message), ports, title);
        runs_[id].programmeKey = key;
    }
}

std::vector<SignStatus> ServiceState::status() const {
    std::map<int, SignStatus> byNumber;
    for (const auto& [port, s] : status_) byNumber[static_cast<int>(WholeValue(port))] = s;
    for (const Counter& c : counters_) byNumber[c.port].port = DecimalText(c.port);
    for (std::size_t k : programme_.entryLines())
        for (int p : programme_.lines[k].entry->ports) byNumber[p].port = DecimalText(p);
    std::vector<SignStatus> out;
    for (auto& [n, s] : byNumber) out.push_back(s);
    return out;
}

}  // namespace letrador::service
