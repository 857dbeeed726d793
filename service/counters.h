// The turn counters: a sign on a port, given a name and a digit style once, and the number it
// shows. They live in a plain text file of the working folder, one counter a line,
//     NOMBRE;PUERTO;ESTILO;NÚMERO
// rewritten whole (all or nothing) after every change, so the numbers survive a restart.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace letrador::service {

inline constexpr const char* kCountersFile = "turnos.txt";

struct Counter {
    std::string name;  // UTF-8; no ';' and no line breaks
    int port = 0;
    int style = 1;   // 1..3
    int number = 0;  // 00..99, the last number recorded (or to be recorded)
};

enum class Press { Next, Previous, Repeat };

// The number a press records: "Siguiente" one up (99 wraps to 00), "Anterior" one down (00 to
// 99), "Repetir" the same.
int NumberAfter(int number, Press press);

// Why `name` cannot name a counter, or "" when it can.
std::string CounterNameProblem(std::string_view name);

// The counters the file holds; `errors` gets "línea N: ..." for each line that is not one.
std::vector<Counter> ParseCounters(std::string_view bytes, std::vector<std::string>* errors);
// Windows-1252, CR LF, after a comment line that explains the format.
std::string ComposeCounters(const std::vector<Counter>& counters);

}  // namespace letrador::service
