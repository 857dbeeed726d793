// The daily programme: a plain text file of the working folder, one entry a line,
//     DÍAS HH:MM CARTELES MENSAJE
// ("lu-vi 08:00 3,7 horario.fmv"), with "#" comments and blank lines. It is read line by line;
// a line that is not an entry gives an error with its number and is left out. The page edits
// the entries in place, so comments and lines a person wrote stay as they were.
// Which entry is recorded when: for each sign, the latest entry due today (its day, its time
// reached); it is recorded into that sign unless it already was today. The same rule runs every
// few seconds, after a restart and after the clock was changed, so a restart brings each sign to
// what it should show now and nothing is recorded twice on one day.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "service/clock.h"
#include "signlink/recording_job.h"

namespace letrador::service {

inline constexpr const char* kProgrammeFile = "programa.txt";

struct ProgrammeEntry {
    std::uint8_t days = 0;  // bit 0 Monday ... bit 6 Sunday
    int minute = 0;         // minute of the day, 0..1439
    std::vector<int> ports;
    std::string message;  // UTF-8 name in mensajes/

    // The entry as the file writes it; also the entry's identity in the run ledger.
    std::string line() const;
    std::string timeText() const;  // "08:00"
};

// "lu-vi", "lu,mi,vi", "todos".
std::string DaysText(std::uint8_t days);
// The entry a line holds; nothing for a comment or a blank line, and `error` says what is wrong
// with a line that is neither an entry nor those.
std::optional<ProgrammeEntry> ParseEntry(std::string_view line, std::string& error);

struct ProgrammeLine {
    std::string text;  // UTF-8, as read (or as the page wrote it)
    std::optional<ProgrammeEntry> entry;
    std::string error;  // what is wrong with this line, "" when nothing
};

struct Programme {
    std::vector<ProgrammeLine> lines;

    // The lines that hold entries, in file order.
    std::vector<std::size_t> entryLines() const;
    // "línea 4: hora no válida «25:00» (HH:MM, de 00:00 a 23:59)", one per wrong line.
    std::vector<std::string> errors() const;
};

// The file's bytes (Windows-1252; CR LF or LF) taken apart line by line.
Programme ParseProgramme(std::string_view bytes);
// The file's bytes: Windows-1252, CR LF; a new file gets a header that explains the format.
std::string ComposeProgramme(const Programme& programme);

// ---- What has been recorded, by entry and sign ----

struct LastRun {
    std::string date;  // "2024-05-06"
    std::string time;  // "08:00:03"
    std::optional<Verdict> verdict;  // nothing while it records
};
using RunKey = std::pair<std::string, int>;  // the entry's line(), the port
using RunLedger = std::map<RunKey, LastRun>;

inline constexpr const char* kLedgerFile = "servicio/ejecuciones.txt";
RunLedger ParseLedger(std::string_view bytes);
std::string ComposeLedger(const RunLedger& ledger);

// One recording the programme asks for now: the entry on line `line` into `ports`.
struct DueRecording {
    std::size_t line = 0;
    std::vector<int> ports;
};
std::vector<DueRecording> DueNow(const Programme& programme, const CivilTime& now,
                                 const RunLedger& ledger);

// The word the ledger writes for a verdict ("grabando" while it records), and back: false for a
// word that is none of them.
std::string_view VerdictCode(std::optional<Verdict> verdict);
bool VerdictFromCode(std::string_view code, std::optional<Verdict>& verdict);

}  // namespace letrador::service
