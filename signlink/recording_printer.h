// A job's events as text on a stream, for the programs without windows: each sign's log lines
// once they are complete, a whole line at a time; with several signs each line starts with its
// port ("COM 7: Grabando párrafo 1 de 3... OK."), and a summary can follow the job.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "signlink/recording_job.h"
#include "signlink/recording_log.h"

namespace letrador {

class RecordingPrinter {
  public:
    // `ports` are the job's port texts; the prefix is written when there is more than one.
    RecordingPrinter(std::ostream& out, std::vector<std::string> ports);

    // Takes an event from any thread.
    void operator()(const RecordingEvent& e);

    // "Resumen:" and one line per sign, "COM 3: " and its verdict line.
    void printSummary();
    // Every sign has ended, and every one with "La grabación se realizó sin errores.".
    bool allClean() const;
    bool ended() const;

  private:
    // Prints what sign's view has completed; the mutex is held.
    void drain(std::size_t sign);

    std::ostream& out_;
    std::vector<std::string> ports_;
    bool prefixed_;
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<std::ostringstream>> pending_;
    std::vector<std::unique_ptr<PlainRecordingView>> views_;
    std::vector<std::optional<Verdict>> verdicts_;
    bool ended_ = false;
};

}  // namespace letrador
