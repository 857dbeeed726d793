// letrador-cli as a process against cartel-virtual signs: its arguments, exit codes, refusals,
// what it writes and what each sign receives; and its console message boxes.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/console_dialogs.h"
#include "tests/support/virtual_sign_process.h"

namespace letrador::testing {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;
using Sizes = std::vector<std::size_t>;
using platform::ConsoleDialogs;

// Boxes are lines under the prefix, with their own title; questions are answered by the rule.
TEST(ConsoleDialogs, BoxesAndQuestions) {
    std::ostringstream out;
    ConsoleDialogs d(out, "prog");
    d.information("No se encontraron puertos COM.\r\nEl programa no puede continuar.");
    d.information("Hola", "Otro título");
    d.information("Chau\nAdiós", platform::kApplicationTitle);
    d.information("Sin título", "");
    EXPECT_EQ(out.str(), "prog: No se encontraron puertos COM.\n      El programa no puede continuar.\n"
                         "prog: Otro título: Hola\nprog: Chau\n      Adiós\nprog: Sin título\n");
    EXPECT_EQ(d.shown(), 4);
    using R = ConsoleDialogs::Rule;
    const std::tuple<R, const char*, bool, const char*> rows[] = {
        // rule, the input (nullptr: none), the answer, what is written
        {R::No, "s\n", false, "p: T: Seguro? (s/n) n\n"},
        {R::Yes, "no\n", true, "p: T: Seguro? (s/n) s\n"},
        {R::AskWhenInteractive, nullptr, false, "p: T: Seguro? (s/n) n\n"},
        {R::AskWhenInteractive, "", false, "p: T: Seguro? (s/n) n\n"},     // end of input
        {R::AskWhenInteractive, "  Sí \n", true, "p: T: Seguro? (s/n) "},  // the terminal echoes
        {R::AskWhenInteractive, "no\ns\n", false, "p: T: Seguro? (s/n) "},
    };
    for (const auto& [rule, input, yes, shown] : rows) {
        SCOPED_TRACE(input ? input : "(none)");
        std::ostringstream written;
        std::istringstream in(input ? input : "");
        ConsoleDialogs q(written, "p", rule, input ? &in : nullptr);
        EXPECT_EQ(q.question("Seguro?", "T"), yes);
        EXPECT_EQ(written.str(), shown);
        // A fixed rule reads nothing; asking reads one line.
        const std::string all = input ? input : "";
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
                  rule == R::AskWhenInteractive ? all.substr(all.find('\n') + 1) : all);
    }
    for (const char* yes : {"s", "S", "si", "SI", "Si", "sí", "SÍ", " si "})
        EXPECT_TRUE(ConsoleDialogs::IsYes(yes)) << yes;
    for (const char* no : {"", "n", "no", "sii", "yes", "s i", "sí."}) EXPECT_FALSE(ConsoleDialogs::IsYes(no)) << no;
}

const std::string kClean = "La grabación se realizó sin errores.", kErrors = "Hubo errores en la grabación.";
const std::string kQuestion = "letrador-cli: Grabación de turnero: Se está por hacer una grabación de turnero.\n"
                              "              Desea continuar? (s/n) ";

bool Has(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

// A message file of (font, Windows-1252 text, ignored) paragraphs, as the program writes one.
void WriteMessage(const fs::path& file, const std::vector<std::tuple<std::string, std::string, bool>>& paragraphs) {
    std::ofstream out(file, std::ios::binary);
    out << "3\r\n0\r\n";
    int n = 0;
    for (const auto& [font, text, ignored] : paragraphs)
        out << ++n << "\r\n\"" << font << "\"\r\n\"" << text << "\"\r\n\"fin_parrafo\"\r\n0\r\n"
            << (ignored ? "#TRUE#" : "#FALSE#") << "\r\n1\r\n";
}

// A working folder of its own: the built fonts, the shipped messages, a message over the sign's
// capacity and puertos/.
class Cli : public ::testing::Test {
  protected:
    struct Run { int exitCode = -1; std::string out, err; };
    void SetUp() override {
        fs::create_directories(work / "puertos");
        fs::copy(fs::path(LETRADOR_BINARY_DIR) / "work" / "tipografias", work / "tipografias");
        fs::copy(fs::path(LETRADOR_SOURCE_DIR) / "data" / "mensajes", work / "mensajes");
        WriteMessage(work / "mensajes" / "largo.fmv", {{"normal.ffv", std::string(400, 'H'), false}});
    }
    // letrador-cli with `args` in `cwd` (else with --carpeta of the working folder first), its
    // standard input /dev/null (no terminal); `cli` waits up to 60 s for it.
    pid_t spawn(Texts args, const fs::path& cwd = {}) {
        if (cwd.empty()) args.insert(args.begin(), {"--carpeta", work.string()});
        args.insert(args.begin(), LETRADOR_CLI_PATH);
        return ChildProcess::Spawn(args, -1, outFile.string(), errFile.string(), cwd);
    }
    Run cli(Texts args, const fs::path& cwd = {}) {
        const int code = ChildProcess::Reap(spawn(std::move(args), cwd), 60000);
        return {code, ChildProcess::FileText(outFile), ChildProcess::FileText(errFile)};
    }
    // cartel-virtual on `port`, with `faults`; on port 7 it never answers.
    std::unique_ptr<VirtualSignProcess> sign(int port, Texts faults = {}) {
        if (port == 7) faults = {"--silencio", "0"};
        auto s = std::make_unique<VirtualSignProcess>(work, port, std::move(faults));
        EXPECT_TRUE(s->start());
        return s;
    }
    ScratchFolder scratch;
    fs::path work = scratch.path() / "trabajo", outFile = scratch.path() / "out", errFile = scratch.path() / "err";
};

// contar writes each paragraph's columns, the total and the capacity; the boxes raised while
// reading and the characters a font lacks go to standard error, the exit code unchanged. MENSAJE
// is looked for in the current folder first, then in mensajes/; without --carpeta the current
// folder is the working one when it holds tipografias/.
TEST_F(Cli, ContarWritesTheCountAndOnStandardErrorTheBoxesAndMissingCharacters) {
    WriteMessage(work / "mensajes" / "faltan.fmv", {{"normal.ffv", "Oferta \x96 5 \x80 \x96 ya", false},
                                                    {"normal.ffv", "Hola \x80", false},
                                                    {"angosta.ffv", "\x97 \x89 \x97", true}});
    WriteMessage(work / "mensajes" / "sinfuente.fmv", {{"", "Hola", false}});
    const fs::path here = scratch.path() / "aqui";
    fs::create_directories(here);
    fs::copy_file(work / "mensajes" / "faltan.fmv", here / "bienvenida.fmv");
    const std::string faltan = "Párrafo 1: 75 columnas\nPárrafo 2: 32 columnas\nPárrafo 3: 6 columnas (ignorado)\n"
                               "Total: 109 columnas de 2046\nCapacidad ocupada: 5%\n";
    const std::string sinDibujo = "letrador-cli: Párrafo 1: Sin dibujo en «normal.ffv»: –\n"
                                  "letrador-cli: Párrafo 3: Sin dibujo en «angosta.ffv»: — ‰\n";
    const std::tuple<Texts, fs::path, std::string, std::string> rows[] = {
        // The shipped examples hold the columns the program counted when it saved them.
        {{"contar", "bienvenida.fmv"}, {},
         "Párrafo 1: 77 columnas\nPárrafo 2: 107 columnas\nPárrafo 3: 116 columnas\n"
         "Párrafo 4: 141 columnas\nTotal: 445 columnas de 2046\nCapacidad ocupada: 21%\n", ""},
        {{"contar", "horario.fmv"}, work, "Párrafo 1: 123 columnas\nPárrafo 2: 217 columnas\n"
         "Párrafo 3: 79 columnas\nTotal: 419 columnas de 2046\nCapacidad ocupada: 20%\n", ""},
        {{"contar", "faltan.fmv"}, {}, faltan, sinDibujo},
        {{"contar", "bienvenida.fmv", "--carpeta", work.string()}, here, faltan, sinDibujo},
        {{"contar", "largo.fmv"}, {}, "Párrafo 1: 2400 columnas\nTotal: 2401 columnas de 2046\nCapacidad excedida.\n", ""},
        // A group with no font: "Guardar párrafo" refuses it with its box.
        {{"contar", "sinfuente.fmv"}, {}, "Párrafo 1: 0 columnas\nTotal: 1 columnas de 2046\nCapacidad ocupada: 0%\n",
         "letrador-cli: Debe seleccionar un archivo de fuente para el mensaje.\n"},
    };
    for (const auto& [args, cwd, out, err] : rows) {
        SCOPED_TRACE(args[1] + " in " + cwd.string());
        const Run run = cli(args, cwd);
        EXPECT_EQ(std::tuple(run.exitCode, run.out, run.err), std::tuple(0, out, err));
    }
}

// The help, and each refusal with its code and its reason on standard error; no command here
// sends anything to the sign waiting on port 12.
TEST_F(Cli, HelpAndRefusalsRecordNothing) {
    const std::string whole = ChildProcess::FileText(work / "mensajes" / "bienvenida.fmv");
    std::ofstream(work / "mensajes" / "vacio.fmv").close();
    std::ofstream(work / "mensajes" / "foto.fmv", std::ios::binary) << std::string("\xFF\xD8\xFF\xE0\0\x10JFIF", 10);
    std::ofstream(work / "mensajes" / "corto.fmv", std::ios::binary) << whole.substr(0, whole.size() - 5);
    fs::create_symlink(scratch.path() / "no-hay-tal", work / "puertos" / "COM7");
    auto s = sign(12);
    const std::string cut = "El archivo no es un mensaje completo, línea ", none = (scratch.path() / "no.fmv").string();
    const std::string g = "grabar", b = "bienvenida.fmv", p = "--puerto";
    const struct { Texts args; int code; std::string err = "letrador-cli: ", out = ""; } rows[] = {
        {{"--help"}, 0, "", "Uso:\n  letrador-cli contar MENSAJE.fmv [--carpeta DIR]\n"},
        {{"--ayuda"}, 0, "", "COM33-COM64  /dev/ttyUSB0-/dev/ttyUSB31\n  COM65-COM96  /dev/"},
        {{"--help"}, 0, "", "Códigos de salida:\n  0  contar: el mensaje se leyó."},
        {{}, 2, "Uso:"}, {{"borrar"}, 2, "comando desconocido"}, {{"contar"}, 2}, {{g}, 2}, {{"contar", "a.fmv", b}, 2},
        {{"contar", b, p, "12"}, 2}, {{"contar", b, "--rapido"}, 2}, {{"contar", b, "--carpeta"}, 2, "--carpeta"},
        {{g, b, p}, 2}, {{g, b, p, "0"}, 2}, {{g, b, p, "256"}, 2}, {{g, b, p, "COM12"}, 2}, {{g, b, p, "12", "--si"}, 2},
        {{g, b, p, "12,12"}, 2}, {{g, b, p, "12,"}, 2}, {{"turnero", "1", p, "12,x", "--si"}, 2}, {{"turnero"}, 2},
        {{"turnero", "0"}, 2}, {{"turnero", "4"}, 2}, {{"turnero", "x"}, 2}, {{"turnero", "1", "2"}, 2},
        {{"contar", "noexiste.fmv"}, 3, "noexiste.fmv"}, {{g, none, p, "12"}, 3, none},
        {{"contar", b, "--carpeta", (scratch.path() / "nada").string()}, 3, "nada"},
        {{"contar", "vacio.fmv"}, 3, "letrador-cli: El archivo está vacío.\n"}, {{"contar", "foto.fmv"}, 3, cut},
        {{g, "foto.fmv", p, "12"}, 3, cut}, {{"contar", "corto.fmv"}, 3, cut}, {{g, "corto.fmv", p, "12"}, 3, cut},
        {{g, b, p, "200"}, 4, "COM 200"}, {{g, b, p, "7"}, 4, "COM 7"},  // 7: a link to no device
        // With several ports every one is checked before anything is sent.
        {{g, b, p, "12,200"}, 4, "COM 200"}, {{"turnero", "2", p, "12,7", "--si"}, 4, "COM 7"},
        {{g, "largo.fmv", p, "12"}, 5, "letrador-cli: No se puede grabar el mensaje porque excede la capacidad del cartel.\n"},
        // Without --si and without a terminal the turn display's question is answered No.
        {{"turnero", "1", p, "12"}, 5, kQuestion + "n\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::PrintToString(r.args));
        const Run run = cli(r.args);
        EXPECT_EQ(run.exitCode, r.code);
        EXPECT_EQ(run.out.empty(), r.out.empty());
        EXPECT_TRUE(Has(run.out, r.out)) << run.out;
        EXPECT_EQ(run.err.empty(), r.err.empty());
        EXPECT_TRUE(Has(run.err, r.err)) << run.err;
    }
    EXPECT_TRUE(s->stop().bytes.empty());
}

// The log of a clean recording of a message of `paragraphs`, or of a turn display (0).
Texts CleanLog(int port, int paragraphs) {
    Texts l = {"Usando puerto COM " + std::to_string(port) + ".",
               paragraphs ? "Reconociendo dispositivo..." : "Reconociendo modelo de cartel...",
               "Cartel electrónico compatible.", "Comenzando grabación..."};
    for (int k = 1; k <= paragraphs; ++k)
        l.push_back("Grabando párrafo " + std::to_string(k) + " de " + std::to_string(paragraphs) + "... OK.");
    l.insert(l.end(), {"Finalizando grabación...", kClean, "Grabación finalizada."});
    return l;
}

// The log on standard output as it goes (each line after its port when there are several signs,
// then a summary), the whole recording on each sign's line, and the exit code of the verdicts.
TEST_F(Cli, GrabarAndTurneroLogAndSendTheWholeRecordingToEverySign) {
    const Texts silent = {"Usando puerto COM 7.", "Reconociendo dispositivo...", "Error de Timeout.",
                          "  -Reintento 1 de 3", "Error de Timeout.", "  -Reintento 2 de 3", "Error de Timeout.",
                          "  -Reintento 3 de 3", "Error: reintentos superados.", kErrors, "Grabación finalizada."};
    const std::tuple<Texts, std::vector<int>, int> rows[] = {
        {{"grabar", "bienvenida.fmv", "--puerto", "12"}, {12}, 0},
        {{"turnero", "3", "--puerto", "12", "--si"}, {12}, 0},
        {{"grabar", "bienvenida.fmv", "--puerto", "3,7,12"}, {3, 7, 12}, 1},
        {{"turnero", "2", "--puerto", "3,12", "--si"}, {3, 12}, 0}};
    for (const auto& [args, ports, code] : rows) {
        SCOPED_TRACE(args[1] + " " + args[3]);
        const int style = args[0] == "turnero" ? std::stoi(args[1]) : 0;
        std::vector<std::unique_ptr<VirtualSignProcess>> signs;
        for (int port : ports) signs.push_back(sign(port));
        const Run run = cli(args);
        EXPECT_EQ(run.exitCode, code) << run.out << run.err;
        // The turn display's question, answered by --si, is the only box.
        EXPECT_EQ(run.err, style ? kQuestion + "s\n" : "");
        Texts lines, summary = {"Resumen:"};
        std::istringstream in(run.out);
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        for (int port : ports) summary.push_back("COM " + std::to_string(port) + ": " + (port == 7 ? kErrors : kClean));
        if (ports.size() == 1) summary.clear();
        ASSERT_GE(lines.size(), summary.size());
        const auto end = lines.end() - static_cast<long>(summary.size());
        EXPECT_EQ(Texts(end, lines.end()), summary);
        for (std::size_t k = 0; k < ports.size(); ++k) {
            const std::string prefix = ports.size() > 1 ? "COM " + std::to_string(ports[k]) + ": " : "";
            Texts own;
            for (auto it = lines.begin(); it != end; ++it)
                if (it->rfind(prefix, 0) == 0) own.push_back(it->substr(prefix.size()));
            EXPECT_EQ(own, ports[k] == 7 ? silent : CleanLog(ports[k], style ? 0 : 4)) << ports[k];
            const auto rec = signs[k]->stop();
            if (ports[k] == 7) continue;
            ASSERT_TRUE(rec.decoded && rec.decoded->recordings.size() == 1u) << rec.listing;
            const auto& got = rec.decoded->recordings[0];
            Sizes sent;  // each paragraph whole: as many items as contar counts
            for (const auto& paragraph : got.paragraphs) sent.push_back(paragraph.items.size());
            int number = 0;  // or every turn number, 00 to 99, in the style asked
            for (const auto& e : got.turn.entries) EXPECT_EQ(std::pair(e.number, e.complete), std::pair(number++, true));
            EXPECT_EQ(std::tuple(got.closed, got.turn.style, number, sent),
                      std::tuple(true, style, style ? 100 : 0, style ? Sizes{} : Sizes{77, 107, 116, 141}));
        }
    }
}

// While the sign holds its reply to one byte, Ctrl+C stops every sign at its next exchange (its
// log ends with the stop, code 130), or the sign vanishes and the loss ends the recording on its
// own (code 1); either way nothing goes out after that byte.
TEST_F(Cli, CtrlCOrALostSignEndTheRecordingAtTheHeldByte) {
    using namespace std::chrono_literals;
    const std::string lost = "Se perdió la conexión con el puerto COM 12.\nError de Timeout.\n";
    const std::string stopped = kErrors + "\nGrabación detenida por el operador.\n", ended = kErrors + "\nGrabación finalizada.\n";
    // Byte 10 is in bienvenida.fmv's first paragraph, 62 in the turn entry 05; what is said comes
    // after each port's prefix when there are several.
    const struct { Texts args; std::vector<int> ports; long long atByte; bool killSign; int code; Texts said; } rows[] = {
        {{"grabar", "bienvenida.fmv"}, {12}, 10, false, 130, {stopped}},
        {{"grabar", "bienvenida.fmv"}, {12, 13}, 10, false, 130,
         {kErrors + "\n", "Grabación detenida por el operador.\n", "Resumen:\nCOM 12: " + kErrors}},
        {{"grabar", "bienvenida.fmv"}, {12}, 10, true, 1, {lost, ended}},
        {{"turnero", "2", "--si"}, {12}, 62, true, 1, {lost, ended}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.args[0] + (r.killSign ? " lost " : " Ctrl+C ") + std::to_string(r.ports.size()));
        std::vector<std::unique_ptr<VirtualSignProcess>> signs;
        Texts args = r.args;
        args.insert(args.end(), {"--puerto", ""});
        for (int p : r.ports) {
            signs.push_back(sign(p, {"--tarde", std::to_string(r.atByte) + ":800"}));
            args.back() += (args.back().empty() ? "" : ",") + std::to_string(p);
        }
        const pid_t pid = spawn(args);
        EXPECT_TRUE(signs[0]->awaitByte(r.atByte, 6s));
        std::this_thread::sleep_for(150ms);
        if (r.killSign) signs[0]->sendSignal(SIGKILL);
        else ::kill(pid, SIGINT);
        EXPECT_EQ(ChildProcess::Reap(pid, 10000), r.code);
        const std::string said = ChildProcess::FileText(outFile);
        EXPECT_EQ(ChildProcess::FileText(errFile), r.args[0] == "turnero" ? kQuestion + "s\n" : "");
        for (std::size_t k = 0; k < signs.size(); ++k) {
            const std::string prefix = signs.size() > 1 ? "COM " + std::to_string(r.ports[k]) + ": " : "";
            for (const std::string& piece : r.said)
                EXPECT_TRUE(Has(said, piece.rfind("Resumen", 0) == 0 ? piece : prefix + piece)) << said;
            EXPECT_EQ(signs[k]->stop().bytes.size(), static_cast<std::size_t>(r.atByte + 1));
        }
        EXPECT_EQ(said.find("Se perdió"), said.rfind("Se perdió")) << "the loss is told once:\n" << said;
    }
}

}  // namespace
}  // namespace letrador::testing
