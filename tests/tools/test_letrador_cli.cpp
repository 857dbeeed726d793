// letrador-cli as a process against cartel-virtual: what only it does (arguments, exit codes,
// refusals, output), its counts and recordings the library's; and its console message boxes.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "platform/console_dialogs.h"
#include "signlink/recording_commands.h"
#include "signlink/turnero.h"
#include "tests/files/files_fixture.h"
#include "tests/signlink/sign_rig.h"
#include "tests/support/sign_loss.h"
#include "tests/support/virtual_sign_process.h"

namespace letrador::testing {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;
using platform::ConsoleDialogs;

// Boxes are lines under the prefix, with their own title; questions are answered by the rule.
TEST(ConsoleDialogs, BoxesAndQuestions) {
    std::ostringstream out;
    ConsoleDialogs d(out, "prog");
    d.information("No se encontraron puertos COM.\r\nEl programa no puede continuar.");
    d.information("Hola", "Otro título");
    d.information("Chau\nAdiós", platform::kApplicationTitle);
    d.information("Sin título", "");
    EXPECT_EQ(out.str(),
              "prog: No se encontraron puertos COM.\n      El programa no puede continuar.\n"
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
    for (const char* no : {"", "n", "no", "sii", "yes", "s i", "sí."})
        EXPECT_FALSE(ConsoleDialogs::IsYes(no)) << no;
}

constexpr int kPort = 12;

struct CliRun {
    int exitCode = -1;
    std::string out, err;
    Texts lines() const {
        Texts all;
        std::istringstream in(out);
        for (std::string l; std::getline(in, l);) all.push_back(l);
        return all;
    }
};

// letrador-cli with `args` in `cwd`, standard input /dev/null (no terminal), killed after 60 s.
CliRun RunCli(const Texts& args, const fs::path& cwd) {
    ScratchFolder io;
    const fs::path out = io.path() / "out", err = io.path() / "err";
    std::string command = "cd '" + cwd.string() + "' && exec timeout -s KILL 60 " LETRADOR_CLI_PATH;
    for (const auto& a : args) command += " '" + a + "'";
    command += " </dev/null >'" + out.string() + "' 2>'" + err.string() + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, VirtualSignProcess::FileText(out),
            VirtualSignProcess::FileText(err)};
}

bool Has(const std::string& text, const std::string& piece) {
    return text.find(piece) != std::string::npos;
}

// A working folder of its own (the built fonts, the example messages, puertos/), with messages
// composed by the library.
class Cli : public ::testing::Test {
  protected:
    void SetUp() override {
        const fs::path fonts = fs::path(LETRADOR_BINARY_DIR) / "work" / "tipografias";
        ASSERT_TRUE(fs::exists(fonts / "normal.ffv")) << "fonts not built in " << fonts;
        fs::create_directories(work / "puertos");
        fs::copy(fonts, work / "tipografias");
        fs::copy(fs::path(LETRADOR_SOURCE_DIR) / "data" / "mensajes", work / "mensajes");
        std::u32string largo;
        for (int k = 0; k < 200; ++k) largo += U"Hola";
        compose("largo.fmv", {{largo, "normal.ffv", false}});
    }

    // letrador-cli in the test's folder, --carpeta of the working folder before `args`.
    CliRun cli(Texts args) {
        args.insert(args.begin(), {"--carpeta", work.string()});
        return RunCli(args, fs::current_path());
    }

    std::unique_ptr<VirtualSignProcess> sign(int port = kPort, Texts faults = {}) {
        auto s = std::make_unique<VirtualSignProcess>(work, port, std::move(faults));
        std::string problem;
        EXPECT_TRUE(s->start(&problem)) << problem;
        return s;
    }

    MessageFixture& message() {
        m_ = std::make_unique<MessageFixture>();
        m_->store.FontFolder = (work / "tipografias").string();
        return *m_;
    }

    void compose(const std::string& name,
                 const std::vector<std::tuple<std::u32string, std::string, bool>>& paragraphs) {
        MessageFixture& m = message();
        for (const auto& [text, font, ignore] : paragraphs)
            ASSERT_TRUE(m.addParagraph(text, font, ignore));
        ASSERT_TRUE(m.files.EscribirMensaje((work / "mensajes" / name).string()));
    }

    // What the main window shows after opening `file`, in the tool's words.
    std::string libraryCount(const fs::path& file) {
        MessageFixture& m = message();
        EXPECT_TRUE(m.files.LeerMensaje(file.string()));
        std::string text;
        for (int k = 1; k <= m.store.ParagraphCount; ++k) {
            const ParagraphRecord& p = m.store.paragraph(k);
            text += "Párrafo " + std::to_string(k) + ": " + std::to_string(p.Columns) +
                    " columnas" + (p.Ignore ? " (ignorado)" : "") + "\n";
        }
        return text + "Total: " + std::to_string(m.commands.TotalColumns()) +
               " columnas de 2046\n" + m.view.capacityLabel() + "\n";
    }

    // The library's log and bytes for the same "grabar MENSAJE" ("&Total") or "turnero N" on
    // `port`, against a compatible or a silent sign.
    std::pair<Texts, Bytes> library(const Texts& args, int port, bool silent) {
        SignRig rig;
        if (silent)
            rig.link.setResponder(
                [](std::uint8_t) { return platform::ScriptedSerialLink::Silence(); });
        MessageFixture& m = message();
        if (args[0] == "turnero") {
            Turnero(rig.grabador).GrabarTurnero(std::stoi(args[1]), std::to_string(port));
        } else {
            EXPECT_TRUE(m.files.LeerMensaje((work / "mensajes" / args[1]).string()));
            const auto message = PrepararMensajeTotal(m.commands, m.store, m.view, m.dialogs,
                                                      m.options.joinedChecked());
            EXPECT_TRUE(message);
            if (message)
                RecordWholeMessage(rig.grabador, message->parrafos,
                                   {std::to_string(port), message->joined, message->spaceWidth});
        }
        return {rig.view.lines(), rig.link.written};
    }

    ScratchFolder scratch;
    fs::path work = scratch.path() / "trabajo";
    std::unique_ptr<MessageFixture> m_;
};

// contar writes the library's count; the boxes raised while reading and the characters a font
// lacks go to standard error. MENSAJE is looked for in the current folder first, then in
// mensajes/; without --carpeta the current folder is the working one when it holds tipografias/.
TEST_F(Cli, ContarWritesTheLibrarysCountAndTheBoxesAndMissingCharactersOnStandardError) {
    compose("faltan.fmv", {{U"Oferta – 5 € – ya", "normal.ffv", false},
                           {U"Hola €", "normal.ffv", false},
                           {U"— ‰ —", "angosta.ffv", true}});
    // A group with no font: "Guardar párrafo" refuses it with its box.
    WriteBytes(work / "mensajes" / "sinfuente.fmv",
               "3\r\n0\r\n1\r\n\"\"\r\n\"Hola\"\r\n\"fin_parrafo\"\r\n0\r\n#FALSE#\r\n1\r\n");
    const fs::path here = scratch.path() / "aqui";
    fs::create_directories(here);
    fs::copy_file(work / "mensajes" / "faltan.fmv", here / "bienvenida.fmv");
    const std::string faltan =
        "letrador-cli: Párrafo 1: Sin dibujo en «normal.ffv»: –\n"
        "letrador-cli: Párrafo 3: Sin dibujo en «angosta.ffv»: — ‰\n";
    struct Row {
        std::string file, err, piece;
        fs::path cwd = fs::current_path(), read = {};  // where it runs, the file it must read
        bool carpeta = true;
    };
    const Row rows[] = {
        // The shipped examples hold the counts the program wrote when it saved them.
        {"bienvenida.fmv", "",
         "Párrafo 1: 77 columnas\nPárrafo 2: 107 columnas\nPárrafo 3: 116 columnas\n"
         "Párrafo 4: 141 columnas\nTotal: "},
        {"horario.fmv", "", "Párrafo 1: 123 columnas\nPárrafo 2: 217 columnas\nPárrafo 3: 79 "},
        {"faltan.fmv", faltan, " columnas (ignorado)\nTotal: "},
        {"largo.fmv", "", "\nCapacidad excedida.\n"},
        {"sinfuente.fmv", "letrador-cli: Debe seleccionar un archivo de fuente para el mensaje.\n",
         "Párrafo 1: 0 columnas\n"},
        {"bienvenida.fmv", faltan, " (ignorado)", here, here / "bienvenida.fmv"},
        {"horario.fmv", "", "Párrafo 3: 79 ", work, {}, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.file + " in " + r.cwd.string());
        Texts args = {"contar", r.file};
        if (r.carpeta) args.insert(args.end(), {"--carpeta", work.string()});
        const CliRun run = RunCli(args, r.cwd);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out, libraryCount(r.read.empty() ? work / "mensajes" / r.file : r.read));
        EXPECT_EQ(run.err, r.err);
        EXPECT_TRUE(Has(run.out, r.piece)) << run.out;
    }
}

// The help, and each refusal with its code and its reason on standard error; no command here
// sends anything to the sign waiting on port 12.
TEST_F(Cli, HelpAndRefusalsRecordNothing) {
    const std::string whole = ReadBytes(work / "mensajes" / "bienvenida.fmv");
    WriteBytes(work / "mensajes" / "vacio.fmv", "");
    WriteBytes(work / "mensajes" / "foto.fmv", std::string("\xFF\xD8\xFF\xE0\0\x10JFIF", 10));
    WriteBytes(work / "mensajes" / "corto.fmv", whole.substr(0, whole.size() - 5));
    fs::create_symlink(scratch.path() / "no-hay-tal", work / "puertos" / "COM7");
    auto s = sign();
    const std::string cut = "El archivo no es un mensaje completo, línea ";
    const std::string none = (scratch.path() / "no.fmv").string();
    struct Row {
        Texts args;
        int code;
        std::string err = "letrador-cli: ", out = "";
    };
    // clang-format off
    const Row rows[] = {
        {{"--help"}, 0, "", "Uso:\n  letrador-cli contar MENSAJE.fmv [--carpeta DIR]\n"},
        {{"--ayuda"}, 0, "", "COM33-COM64  /dev/ttyUSB0-/dev/ttyUSB31\n  COM65-COM96  /dev/"},
        {{"--help"}, 0, "", "Códigos de salida:\n  0  contar: el mensaje se leyó."},
        {{}, 2, "Uso:"}, {{"borrar"}, 2, "comando desconocido"}, {{"contar"}, 2}, {{"grabar"}, 2},
        {{"contar", "a.fmv", "b.fmv"}, 2}, {{"contar", "bienvenida.fmv", "--puerto", "12"}, 2},
        {{"contar", "bienvenida.fmv", "--rapido"}, 2},
        {{"contar", "bienvenida.fmv", "--carpeta"}, 2, "--carpeta"},
        {{"grabar", "bienvenida.fmv", "--puerto"}, 2}, {{"grabar", "b.fmv", "--puerto", "0"}, 2},
        {{"grabar", "bienvenida.fmv", "--puerto", "256"}, 2},
        {{"grabar", "bienvenida.fmv", "--puerto", "COM12"}, 2},
        {{"grabar", "bienvenida.fmv", "--puerto", "12", "--si"}, 2},
        {{"grabar", "bienvenida.fmv", "--puerto", "12,12"}, 2},
        {{"grabar", "bienvenida.fmv", "--puerto", "12,"}, 2},
        {{"turnero", "1", "--puerto", "12,x", "--si"}, 2}, {{"turnero"}, 2}, {{"turnero", "0"}, 2},
        {{"turnero", "4"}, 2}, {{"turnero", "x"}, 2}, {{"turnero", "1", "2"}, 2},
        {{"contar", "noexiste.fmv"}, 3, "noexiste.fmv"},
        {{"grabar", none, "--puerto", "12"}, 3, none},
        {{"contar", "bienvenida.fmv", "--carpeta", (scratch.path() / "nada").string()}, 3, "nada"},
        {{"contar", "vacio.fmv"}, 3, "letrador-cli: El archivo está vacío.\n"},
        {{"contar", "foto.fmv"}, 3, cut}, {{"grabar", "foto.fmv", "--puerto", "12"}, 3, cut},
        {{"contar", "corto.fmv"}, 3, cut}, {{"grabar", "corto.fmv", "--puerto", "12"}, 3, cut},
        {{"grabar", "bienvenida.fmv", "--puerto", "200"}, 4, "COM 200"},
        {{"grabar", "bienvenida.fmv", "--puerto", "7"}, 4, "COM 7"},  // a link to no device
        // With several ports every one is checked before anything is sent.
        {{"grabar", "bienvenida.fmv", "--puerto", "12,200"}, 4, "COM 200"},
        {{"turnero", "2", "--puerto", "12,7", "--si"}, 4, "COM 7"},
        {{"grabar", "largo.fmv", "--puerto", "12"}, 5,
         "letrador-cli: No se puede grabar el mensaje porque excede la capacidad del cartel.\n"},
        // Without --si and without a terminal the turn display's question is answered No.
        {{"turnero", "1", "--puerto", "12"}, 5, "Desea continuar? (s/n) n\n"},
    };
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::PrintToString(r.args));
        const CliRun run = cli(r.args);
        EXPECT_EQ(run.exitCode, r.code);
        EXPECT_EQ(run.out.empty(), r.out.empty());
        EXPECT_TRUE(Has(run.out, r.out)) << run.out;
        EXPECT_EQ(run.err.empty(), r.err.empty());
        EXPECT_TRUE(Has(run.err, r.err)) << run.err;
    }
    EXPECT_TRUE(s->stop().bytes.empty());
}

// The library's log on standard output as it goes (each line after its port when there are
// several signs, then a summary), the library's bytes on each sign's line, and the exit code of
// the verdicts; with several signs one of them silent.
TEST_F(Cli, GrabarAndTurneroLogAndSendAsTheLibrary) {
    struct Row {
        Texts args;
        std::vector<std::pair<int, bool>> signs;  // port, silent
        int code;
        Texts summary;
        std::size_t paragraphs;  // on the sign
    };
    const std::string clean = "La grabación se realizó sin errores.";
    const std::string errors = "Hubo errores en la grabación.";
    // clang-format off
    const Row rows[] = {
        {{"grabar", "bienvenida.fmv", "--puerto", "12"}, {{12, false}}, 0, {}, 4},
        {{"grabar", "horario.fmv", "--puerto", "12"}, {{12, false}}, 0, {}, 2},
        {{"turnero", "1", "--puerto", "12", "--si"}, {{12, false}}, 0, {}, 0},
        {{"turnero", "3", "--puerto", "12", "--si"}, {{12, false}}, 0, {}, 0},
        {{"grabar", "bienvenida.fmv", "--puerto", "3,7,12"}, {{3, false}, {7, true}, {12, false}},
         1, {"Resumen:", "COM 3: " + clean, "COM 7: " + errors, "COM 12: " + clean}, 4},
        {{"turnero", "2", "--puerto", "3,7", "--si"}, {{3, false}, {7, false}}, 0,
         {"Resumen:", "COM 3: " + clean, "COM 7: " + clean}, 0},
    };
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(r.args[1] + " " + r.args[3]);
        const int style = r.args[0] == "turnero" ? std::stoi(r.args[1]) : 0;
        std::vector<std::unique_ptr<VirtualSignProcess>> signs;
        for (auto [port, silent] : r.signs)
            signs.push_back(sign(port, silent ? Texts{"--silencio", "0"} : Texts{}));
        const CliRun run = cli(r.args);
        EXPECT_EQ(run.exitCode, r.code) << run.out << run.err;
        // The turn display's question, answered by --si, is the only box.
        EXPECT_EQ(run.err.empty(), style == 0) << run.err;
        EXPECT_EQ(Has(run.err, "Desea continuar? (s/n) s\n"), style != 0) << run.err;
        const Texts lines = run.lines();
        const auto summary =
            lines.end() - static_cast<long>(std::min(lines.size(), r.summary.size()));
        EXPECT_EQ(Texts(summary, lines.end()), r.summary);
        for (std::size_t k = 0; k < signs.size(); ++k) {
            const auto [port, silent] = r.signs[k];
            SCOPED_TRACE(port);
            const auto [expected, bytes] = library(r.args, port, silent);
            const std::string prefix = signs.size() > 1 ? "COM " + std::to_string(port) + ": " : "";
            Texts own;
            for (auto it = lines.begin(); it != summary; ++it)
                if (it->rfind(prefix, 0) == 0) own.push_back(it->substr(prefix.size()));
            EXPECT_EQ(own, expected);
            const auto rec = signs[k]->stop();
            EXPECT_EQ(rec.bytes, bytes);
            if (silent) continue;
            ASSERT_GE(expected.size(), 3u);
            EXPECT_EQ(expected.front(), "Usando puerto COM " + std::to_string(port) + ".");
            EXPECT_EQ(expected.end()[-2], clean);
            ASSERT_TRUE(rec.decoded && rec.decoded->recordings.size() == 1u) << rec.listing;
            const auto& got = rec.decoded->recordings[0];
            EXPECT_EQ(std::tuple(got.closed, got.turn.style, got.turn.entries.size(),
                                 got.paragraphs.size()),
                      std::tuple(true, style, style ? 100u : 0u, r.paragraphs));
        }
    }
}

// The sign killed while it holds its reply to one byte: the command ends on its own within 2 s
// with the loss in its log and the errors verdict.
TEST_F(Cli, ASignThatVanishesEndsTheCommandWithErrors) {
    using namespace std::chrono_literals;
    // Byte 10 is in the first paragraph of bienvenida.fmv, byte 62 in the turn entry 05.
    const std::pair<Texts, long long> rows[] = {{{"grabar", "bienvenida.fmv"}, 10},
                                                {{"turnero", "2", "--si"}, 62}};
    for (auto [args, atByte] : rows) {
        SCOPED_TRACE(args[0]);
        auto s = sign(kPort, {"--tarde", std::to_string(atByte) + ":800"});
        SignLoss loss(*s, {atByte, 150ms, false});
        args.insert(args.end(), {"--puerto", std::to_string(kPort)});
        const CliRun run = cli(args);
        const auto ended = SignLoss::Clock::now();
        loss.join();
        ASSERT_TRUE(loss.killed());
        const auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(ended - loss.killedAt());
        std::printf("[ lost link ] letrador-cli %s: ended %lld ms after the sign went\n",
                    args[0].c_str(), static_cast<long long>(took.count()));
        EXPECT_LE(took, 2000ms);
        EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
        const Texts lines = run.lines();
        const std::string lost = "Se perdió la conexión con el puerto COM 12.";
        EXPECT_EQ(std::count(lines.begin(), lines.end(), lost), 1) << run.out;
        const auto at = std::find(lines.begin(), lines.end(), lost);
        ASSERT_LT(at + 1, lines.end()) << run.out;
        EXPECT_EQ(at[1], "Error de Timeout.");
        EXPECT_EQ(Texts(lines.end() - 2, lines.end()),
                  (Texts{"Hubo errores en la grabación.", "Grabación finalizada."}));
        EXPECT_EQ(s->stop().bytes.size(), static_cast<std::size_t>(atByte + 1));
    }
}

// Ctrl+C while the signs hold their replies to byte 10: each sign ends at its next exchange,
// its port closed and its log ending with the stop, and the command ends with code 130.
TEST_F(Cli, CtrlCStopsEverySignAtItsNextExchange) {
    using namespace std::chrono_literals;
    for (const std::vector<int>& ports : {std::vector<int>{kPort}, std::vector<int>{kPort, 13}}) {
        SCOPED_TRACE(ports.size());
        std::vector<std::unique_ptr<VirtualSignProcess>> signs;
        std::string list;
        for (int p : ports) {
            signs.push_back(sign(p, {"--tarde", "10:700"}));
            list += (list.empty() ? "" : ",") + std::to_string(p);
        }
        const fs::path out = work / "salida";
        const pid_t pid = ChildProcess::Spawn({LETRADOR_CLI_PATH, "--carpeta", work.string(),
                                               "grabar", "bienvenida.fmv", "--puerto", list},
                                              -1, out.string(), "");
        ASSERT_GT(pid, 0);
        const fs::path bin = signs[0]->recordPath().string() + ".bin";
        std::error_code ec;
        for (int k = 0; k < 3000 && !(fs::file_size(bin, ec) > 10 && !ec); ++k)
            std::this_thread::sleep_for(2ms);
        std::this_thread::sleep_for(100ms);
        ::kill(pid, SIGINT);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        const std::string said = ChildProcess::FileText(out);
        ASSERT_TRUE(WIFEXITED(status)) << said;
        EXPECT_EQ(WEXITSTATUS(status), 130) << said;
        for (std::size_t k = 0; k < ports.size(); ++k) {
            const std::string prefix =
                ports.size() > 1 ? "COM " + std::to_string(ports[k]) + ": " : "";
            for (const char* line : {"Hubo errores en la grabación.\n",
                                     "Grabación detenida por el operador.\n"}) {
                EXPECT_TRUE(Has(said, prefix + line)) << said;
            }
            EXPECT_EQ(signs[k]->stop().bytes.size(), 11u);
        }
        if (ports.size() > 1) {
            EXPECT_TRUE(Has(said, "Resumen:\nCOM 12: Hubo errores")) << said;
        }
    }
}

}  // namespace
}  // namespace letrador::testing
