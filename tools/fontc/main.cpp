// letrador-fontc compilar FUENTE.txt SALIDA.ffv | letrador-fontc volcar ARCHIVO.ffv
// Font sources are described in FORMAT.md next to this file.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "letrador/version.h"
#include "tools/fontc/font_source.h"

namespace {

bool ReadFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

constexpr const char* kUsage =
    "Uso: letrador-fontc compilar FUENTE.txt SALIDA.ffv\n"
    "     letrador-fontc volcar ARCHIVO.ffv\n"
    "     letrador-fontc --help | --version\n";

constexpr const char* kHelp =
    "\n"
    "Comandos:\n"
    "  compilar  Convierte la fuente dibujada FUENTE.txt en el archivo de tipografía\n"
    "            SALIDA.ffv; si hay un error dice el archivo y la línea, y no deja SALIDA.ffv\n"
    "            a medias.\n"
    "  volcar    Escribe en la salida estándar los caracteres de ARCHIVO.ffv dibujados como\n"
    "            una fuente, que compilar vuelve a convertir en el mismo archivo.\n"
    "\n"
    "Opciones:\n"
    "  --ayuda, --help  muestra esta ayuda\n"
    "  --version        muestra la versión\n"
    "\n"
    "Termina con 0 si hizo lo pedido, 1 si no pudo leer, convertir o escribir, y 2 si el\n"
    "uso no es correcto.\n";

int Usage() {
    std::cerr << kUsage;
    return 2;
}

int Compile(const std::string& sourcePath, const std::string& outputPath) {
    std::string source;
    if (!ReadFile(sourcePath, source)) {
        std::cerr << "letrador-fontc: no se puede leer " << sourcePath << "\n";
        return 1;
    }
    const auto result = letrador::fontc::CompileFontSource(source);
    if (!result.ok) {
        std::cerr << sourcePath << ":" << result.line << ": " << result.error << "\n";
        return 1;
    }
    // Written beside the target first, so a failed run never leaves half a font behind.
    const std::string temp = outputPath + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(result.bytes.data(), static_cast<std::streamsize>(result.bytes.size()));
        if (!out.flush()) {
            std::cerr << "letrador-fontc: no se puede escribir " << outputPath << "\n";
            std::remove(temp.c_str());
            return 1;
        }
    }
    if (std::rename(temp.c_str(), outputPath.c_str()) != 0) {
        std::cerr << "letrador-fontc: no se puede escribir " << outputPath << "\n";
        std::remove(temp.c_str());
        return 1;
    }
    return 0;
}

int Dump(const std::string& path) {
    std::string bytes;
    if (!ReadFile(path, bytes)) {
        std::cerr << "letrador-fontc: no se puede leer " << path << "\n";
        return 1;
    }
    std::cout << letrador::fontc::DumpFontFile(bytes);
    return std::cout.flush() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "--ayuda")) {
        std::cout << kUsage << kHelp;
        return 0;
    }
    if (argc == 2 && std::string(argv[1]) == "--version") {
        std::cout << "letrador-fontc " LETRADOR_VERSION "\n";
        return 0;
    }
    if (argc == 4 && std::string(argv[1]) == "compilar") return Compile(argv[2], argv[3]);
    if (argc == 3 && std::string(argv[1]) == "volcar") return Dump(argv[2]);
    return Usage();
}
