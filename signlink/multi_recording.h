// Recording several signs at the same time. Each sign gets a thread of its own with its own link,
// event pump and ticker, and its own PuertoSerie, Grabador and log, so that no exchange state
// (received byte, tick count, error flags) is shared; the caller hears of each sign through a
// SignReport. The recording itself is the one-sign code, unchanged.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "message/numeric.h"
#include "platform/link_thread.h"
#include "signlink/grabacion.h"
#include "signlink/recording_commands.h"
#include "signlink/recording_log.h"

namespace letrador {

inline constexpr std::string_view kVeredictoSinErrores = "La grabación se realizó sin errores.";

// One sign's recording from its opening to its closing, on port `textoPuerto`.
using SignJob = std::function<void(Grabador& grabador, const std::string& textoPuerto)>;

// "Total" from the opening on, with the paragraphs "Guardar párrafo" left in the list.
SignJob WholeMessageJob(std::vector<ParrafoAGrabar> parrafos, bool joined, Int16 spaceWidth);
// "Turnero N" once its question has been answered.
SignJob TurneroJob(int estilo);

// What each sign's recording tells the caller, `sign` being its place in the list of ports.
// Called on that sign's own thread.
class SignReport {
  public:
    virtual ~SignReport() = default;
    virtual void AgregarLog(std::size_t sign, std::string_view texto, bool nuevaLinea) = 0;
    virtual void setProgress(std::size_t sign, std::string_view texto) = 0;
    // The recording has closed; `veredicto` is the verdict line of its log.
    virtual void finished(std::size_t sign, const std::string& veredicto) = 0;
};

// The verdict of a closed recording: the line before "Grabación finalizada.", "" when the log
// has no such line.
std::string Veredicto(const RecordingLog& log);

class MultiRecording {
  public:
    MultiRecording(platform::LinkThreadMaker maker, SignReport& report);
    // Waits for every sign.
    ~MultiRecording();
    MultiRecording(const MultiRecording&) = delete;
    MultiRecording& operator=(const MultiRecording&) = delete;

    // Starts `job` on every port of `puertos` (port list texts) at once and returns.
    void start(const std::vector<std::string>& puertos, const SignJob& job);
    // Blocks until every sign's recording has ended.
    void wait();

  private:
    platform::LinkThreadMaker maker_;
    SignReport& report_;
    std::vector<std::unique_ptr<platform::LinkThread>> threads_;
};

// Prints each sign's log lines on `out` once they are complete, as "COM 7: " and the line,
// a whole line at a time whichever thread it comes from, and keeps the verdicts.
class PrefixedLogPrinter : public SignReport {
  public:
    PrefixedLogPrinter(std::ostream& out, std::vector<std::string> puertos);

    void AgregarLog(std::size_t sign, std::string_view texto, bool nuevaLinea) override;
    void setProgress(std::size_t, std::string_view) override {}
    void finished(std::size_t sign, const std::string& veredicto) override;

    // "Resumen:" and one line per sign, "COM 3: " and its verdict.
    void printSummary();
    // Every sign ended with "La grabación se realizó sin errores.".
    bool allClean() const;

  private:
    // Prints what sign's view has completed; the mutex is held.
    void drain(std::size_t sign);

    std::ostream& out_;
    std::vector<std::string> puertos_;
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<std::ostringstream>> pending_;
    std::vector<std::unique_ptr<PlainRecordingView>> views_;
    std::vector<std::string> verdicts_;
};

}  // namespace letrador
