// What the service keeps while it runs: the recordings under way and their logs, the turn
// counters, the programme with its ledger, and each sign's last recording. It lives on the
// service's event loop and is only ever touched there: the pages reach it through calls queued
// onto that loop, and the engine's events come back the same way (onEvent).
#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "service/clock.h"
#include "service/counters.h"
#include "service/programme.h"
#include "signlink/recording_engine.h"
#include "signlink/recording_log.h"
#include "signlink/recording_printer.h"

namespace letrador::service {

// A sign the port search found: its port text ("3") and device or address.
struct FoundSign {
    std::string port;
    std::string device;
};

// One recording as the pages show it.
struct RunView {
    int id = 0;
    std::string title;
    std::vector<std::string> ports;
    std::vector<std::vector<std::string>> logs;  // per sign, its log lines
    std::vector<std::string> progress;           // per sign, its progress label
    std::vector<std::optional<Verdict>> verdicts;
    bool ended = false;
    bool stopping = false;
    long version = 0;  // grows with every change
};

struct SignStatus {
    std::string port;
    std::string device;  // "" when no device was found for it
    std::string last;    // what it recorded last, "" when nothing yet
    std::string when;    // "2024-05-06 08:00:03"
    std::optional<Verdict> verdict;
    bool recording = false;
    int runId = 0;
};

struct CounterView {
    Counter counter;
    std::optional<Verdict> verdict;  // of the last press
    bool recording = false;
    int runId = 0;
};

struct ProgrammeView {
    struct Entry {
        std::size_t line = 0;  // index in the file's lines
        std::string text;      // the line as written
        ProgrammeEntry entry;
        std::vector<std::pair<int, LastRun>> lastRuns;  // per port that has run
    };
    std::vector<Entry> entries;
    std::vector<std::string> errors;
};

class ServiceState {
  public:
    // Starts a job; its events must reach onEvent(runId, ...) on the loop.
    using JobStarter = std::function<std::shared_ptr<RecordingRun>(RecordingJob job, int runId)>;
    // The whole message of mensajes/NAME, or nothing with the reason in `problem`.
    using MessageLoader =
        std::function<std::optional<WholeMessage>(const std::string& name, std::string& problem)>;

    ServiceState(std::filesystem::path workFolder, ServiceClock& clock, JobStarter start,
                 MessageLoader load, std::ostream& log);

    void setSigns(std::vector<FoundSign> signs);
    const std::vector<FoundSign>& signs() const { return signs_; }
    bool anyRecording() const;

    // ---- Recordings ----
    // Records `what` into `ports`; the run's id. Recordings into one sign go in the order they
    // were asked for (the last number pressed is the one the sign shows): a recording waits
    // until the earlier ones into its signs have ended.
    int record(WhatToRecord what, std::vector<std::string> ports, std::string title);
    void stop(int runId);
    // From now on no recording starts (the program is ending).
    void close() { closing_ = true; }
    // Waits until every recording has sent its last event (for the end of the program).
    void waitAll();
    std::optional<RunView> run(int runId) const;
    void onEvent(int runId, const RecordingEvent& e);

    // ---- Turn counters ----
    std::vector<CounterView> counters() const;
    // "" when added, or why not.
    std::string addCounter(const std::string& name, int port, int style);
    std::string removeCounter(const std::string& name);
    // Records the number the press gives; the run's id, or nothing (no such counter, or the
    // file could not be written: `problem` says why).
    std::optional<int> press(const std::string& name, Press press, std::string& problem);

    // ---- Programme ----
    ProgrammeView programme() const;
    // "" when done, or why not. `oldText` is the line as the page showed it: a line changed
    // meanwhile (by hand, or by another page) is not touched.
    std::string addEntry(const std::string& text);
    std::string changeEntry(std::size_t line, const std::string& oldText, const std::string& text);
    std::string removeEntry(std::size_t line, const std::string& oldText);
    // Reads the programme file again when it changed on disk, and starts what is due now.
    void tick();

    // "2024-05-06 08:00:03", the service's time now.
    std::string clockText() const { return clock_.civilNow().date() + " " + clock_.civilNow().time(); }

    // ---- Estado ----
    std::vector<SignStatus> status() const;

  private:
    struct Run {
        RunView view;
        std::vector<std::unique_ptr<PlainRecordingView>> logs;
        std::unique_ptr<RecordingPrinter> printer;
        std::shared_ptr<RecordingRun> handle;
        std::optional<RecordingJob> waiting;  // the job, until its signs are free
        std::string programmeKey;  // the entry's line, for a run of the programme
        std::string counter;       // the counter's name, for a press
    };

    std::filesystem::path file(const char* name) const { return work_ / name; }
    bool saveCounters(std::string& problem);
    void loadProgrammeIfChanged();
    std::string saveProgramme();
    void saveLedger();
    std::string lineProblem(std::size_t line, const std::string& oldText) const;
    void dropOldRuns();
    // Starts, oldest first, each waiting recording whose signs no earlier recording of the
    // service holds or waits for.
    void startWaiting();

    std::filesystem::path work_;
    ServiceClock& clock_;
    JobStarter start_;
    MessageLoader load_;
    std::ostream& log_;

    std::vector<FoundSign> signs_;
    std::map<int, Run> runs_;
    int nextRun_ = 1;
    bool closing_ = false;
    std::map<std::string, SignStatus> status_;  // by port text

    std::vector<Counter> counters_;
    std::map<std::string, std::pair<int, std::optional<Verdict>>> counterRuns_;  // by name

    Programme programme_;
    std::optional<std::pair<std::filesystem::file_time_type, std::uintmax_t>> programmeStamp_;
    RunLedger ledger_;
};

}  // namespace letrador::service
