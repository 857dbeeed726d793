#include "service/service_options.h"

#include "service/clock.h"

namespace letrador::service {

ServiceOptions ParseServiceOptions(const std::vector<std::string>& args, std::string& error) {
    ServiceOptions o;
    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string& arg = args[k];
        auto value = [&]() -> std::optional<std::string> {
            if (k + 1 >= args.size() || args[k + 1].empty()) {
                error = "falta el valor de " + arg + ".";
                return std::nullopt;
            }
            return args[++k];
        };
        if (arg == "--help" || arg == "--ayuda" || arg == "-h") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg == "--poner-clave") {
            o.ponerClave = true;
        } else if (arg == "--escuchar") {
            auto v = value();
            if (!v) return o;
            const std::size_t colon = v->rfind(':');
            std::string host = colon == std::string::npos ? "" : v->substr(0, colon);
            const std::string port = colon == std::string::npos ? *v : v->substr(colon + 1);
            if (host.size() > 1 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
            int n = port.empty() || port.size() > 5 ? -1 : 0;
            for (char c : port) n = (n < 0 || c < '0' || c > '9') ? -1 : n * 10 + (c - '0');
            if (host.empty() || n < 0 || n > 65535) {
                error = "--escuchar espera DIRECCIÓN:PUERTO (por ejemplo 0.0.0.0:8080): " + *v;
                return o;
            }
            o.host = host;
            o.port = n;
        } else if (arg == "--carpeta" || arg == "--certificado" || arg == "--clave-privada") {
            auto v = value();
            if (!v) return o;
            (arg == "--carpeta" ? o.carpeta : arg == "--certificado" ? o.certificado : o.clavePrivada) = *v;
        } else if (arg == "--hora-inicial") {
            auto v = value();
            if (!v) return o;
            o.horaInicial = ParseLocalTime(*v);
            if (!o.horaInicial) {
                error = "--hora-inicial espera \"AAAA-MM-DD HH:MM[:SS]\": " + *v;
                return o;
            }
        } else {
            error = "opción desconocida: " + arg;
            return o;
        }
    }
    if (o.certificado.has_value() != o.clavePrivada.has_value())
        error = "--certificado y --clave-privada van juntas.";
    return o;
}

bool IsLoopback(const std::string& host) {
    return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
}

const char* ServiceHelp() {
    return "Uso:\n"
           "  letrador-servicio [--escuchar DIRECCIÓN:PUERTO] [--carpeta DIR]\n"
           "                    [--certificado ARCHIVO --clave-privada ARCHIVO] [--hora-inicial FECHA]\n"
           "  letrador-servicio --poner-clave [--carpeta DIR]\n"
           "  letrador-servicio --help | --version\n"
           "\n"
           "Sirve una página para teléfonos desde la que se graban los carteles: Mensajes,\n"
           "Mensaje rápido, Turnos, Programa y Estado. Funciona hasta que se lo detiene\n"
           "(Ctrl+C o SIGTERM) y escribe su registro en la salida de error.\n"
           "\n"
           "Opciones:\n"
           "  --escuchar DIRECCIÓN:PUERTO  Dónde atiende (127.0.0.1:8080 si no se da). Con el\n"
           "                 puerto 0 toma uno libre y lo dice en la primera línea del registro.\n"
           "                 Fuera de la dirección local (127.0.0.1, ::1) solo atiende cuando\n"
           "                 ya hay una clave puesta.\n"
           "  --carpeta DIR  Carpeta de trabajo (con tipografias/, mensajes/ y puertos/) en lugar\n"
           "                 de la que elige el programa; se completa con lo que le falte.\n"
           "  --certificado ARCHIVO  Certificado (PEM) para atender por HTTPS; va con\n"
           "  --clave-privada ARCHIVO  su clave privada (PEM).\n"
           "  --poner-clave  Pide la clave de acceso dos veces y guarda solo su resumen\n"
           "                 (Argon2id) en servicio/clave de la carpeta de trabajo, legible solo\n"
           "                 por su dueño. Luego termina.\n"
           "  --hora-inicial FECHA  La hora del servicio empieza en FECHA (\"AAAA-MM-DD HH:MM\" o\n"
           "                 \"AAAA-MM-DD HH:MM:SS\", hora local) en lugar de la del sistema, y\n"
           "                 avanza desde allí. Sirve para probar el programa diario.\n"
           "  --help, --ayuda  Muestra esta ayuda.\n"
           "  --version      Muestra la versión.\n"
           "\n"
           "Archivos de la carpeta de trabajo:\n"
           "  programa.txt          el programa diario, una entrada por línea:\n"
           "                        DÍAS HH:MM CARTELES MENSAJE (lu-vi 08:00 3,7 horario.fmv)\n"
           "  turnos.txt            los turneros: NOMBRE;PUERTO;ESTILO;NÚMERO\n"
           "  servicio/clave        el resumen de la clave\n"
           "  servicio/ejecuciones.txt  lo que el programa ya grabó, por entrada y cartel\n"
           "\n"
           "Códigos de salida: 0 detenido con normalidad; 1 no pudo atender (dirección ocupada,\n"
           "certificado ilegible) o no se guardó la clave; 2 uso incorrecto, o una dirección\n"
           "fuera de la local sin clave puesta.\n";
}

}  // namespace letrador::service
