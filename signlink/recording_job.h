// A recording job: what to record and into which signs, and the typed events it sends while it
// runs. Every front end (the recording window, "Varios carteles…", letrador-cli, the service)
// hands the engine a job and learns what happens only from these events.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "message/numeric.h"

namespace letrador {

// One paragraph of "&Total" as the store holds it once "Guardar párrafo" has been pressed.
struct ParrafoAGrabar {
    std::u32string Text;
    std::string fontPath;  // full path: the font folder and the paragraph's font file
    Int16 Separation = 1;
    bool Ignore = false;
};

// "&Total": every paragraph of the message, with the options that shape it on the wire.
struct WholeMessage {
    std::vector<ParrafoAGrabar> parrafos;
    bool joined = false;  // "Párrafos unidos": no separator between paragraphs
    Int16 spaceWidth = 3;
};

// "&Parcial": the text being edited, or only its selection when that is not empty.
struct CurrentParagraph {
    std::u32string texto;
    std::u32string seleccion;
    std::string fontPath;
    Int16 separacion = 1;
    Int16 spaceWidth = 3;
};

// "Turnero N": the numbers 00 to 99 in digit style `estilo`; with `numero`, that one number
// alone, so that the sign shows it.
struct TurnDisplay {
    int estilo = 1;
    std::optional<int> numero;
};

using WhatToRecord = std::variant<WholeMessage, CurrentParagraph, TurnDisplay>;

struct RecordingJob {
    WhatToRecord what;
    // The port list texts of the signs ("3"), each recorded on a thread of its own.
    std::vector<std::string> ports;
};

// How one sign's recording ended.
enum class Verdict {
    Clean,         // closed with "La grabación se realizó sin errores."
    Errors,        // time-outs, echo errors, a sign that did not answer or another model
    CouldNotOpen,  // its port did not open
    LinkLost,      // the device or connection went away
    Stopped,       // the operator stopped it
};

// The verdict line of the log.
std::string_view VerdictLine(Verdict verdict);
// A few words for a list of signs or a summary: "sin errores", "no se pudo abrir el puerto"...
std::string_view VerdictWords(Verdict verdict);

namespace event {
// A line of sign `sign`'s log, written as the recording window's log writer takes it.
struct LogLine {
    std::size_t sign = 0;
    std::string text;
    bool newLine = true;
};
// The progress label; `percent` is the share of the paragraph or of the turn display sent,
// -1 while the label names a phase ("Comenzando grabación...").
struct Progress {
    std::size_t sign = 0;
    std::string label;
    int percent = -1;
};
// Sign `sign` has closed its port and written its verdict line.
struct SignEnded {
    std::size_t sign = 0;
    Verdict verdict = Verdict::Errors;
};
// Every sign has ended; the last event of a job.
struct JobEnded {
    std::vector<Verdict> verdicts;
};
}  // namespace event

using RecordingEvent =
    std::variant<event::LogLine, event::Progress, event::SignEnded, event::JobEnded>;

// Hears a job's events. It is called on the signs' own threads, several at once: events of one
// sign arrive in order, and JobEnded comes after every other event of the job.
using EventSink = std::function<void(const RecordingEvent&)>;

}  // namespace letrador
