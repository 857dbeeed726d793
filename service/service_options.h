// letrador-servicio's command line.
#pragma once

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace letrador::service {

struct ServiceOptions {
    std::string host = "127.0.0.1";
    int port = 8080;  // 0: any free port (the first line of the log names it)
    std::optional<std::filesystem::path> carpeta;
    std::optional<std::filesystem::path> certificado, clavePrivada;
    std::optional<std::time_t> horaInicial;
    bool ponerClave = false;
    bool help = false;
    bool version = false;
};

// The options of `args` (without the program's name); on a mistake, the reason in `error`.
ServiceOptions ParseServiceOptions(const std::vector<std::string>& args, std::string& error);
// True for an address of the loopback: 127.0.0.0/8, ::1, localhost.
bool IsLoopback(const std::string& host);
// What --help prints.
const char* ServiceHelp();

}  // namespace letrador::service
