// letrador-cli run as a process against cartel-virtual: what only the command line does (its
// arguments, exit codes, refusals and output) and that its counts and recordings are the
// library's; and the console message boxes it writes.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <functional>
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

TEST(ConsoleDialogs, BoxesAreLinesUnderThePrefixWithTheirOwnTitle) {
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
}

TEST(ConsoleDialogs, QuestionsAreAnsweredByTheRule) {
    using R = ConsoleDialogs::Rule;
    struct Row {
        R rule;
        const char* input;  // nullptr: no input stream
        bool yes;
        const char* shown;
    };
    // clang-format off
    const Row rows[] = {
        {R::No, "s\n", false, "p: T: Seguro? (s/n) n\n"},
        {R::Yes, "no\n", true, "p: T: Seguro? (s/n) s\n"},
        {R::AskWhenInteractive, nullptr, false, "p: T: Seguro? (s/n) n\n"},
        {R::AskWhenInteractive, "", false, "p: T: Seguro? (s/n) n\n"},  // end of input
        {R::AskWhenInteractive, "  Sí \n", true, "p: T: Seguro? (s/n) "},  // the terminal echoes
        {R::AskWhenInteractive, "no\ns\n", false, "p: T: Seguro? (s/n) "},
    };
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(&r - rows);
        std::ostringstream out;
        std::istringstream in(r.input ? r.input : "");
        ConsoleDialogs d(out, "p", r.rule, r.input ? &in : nullptr);
        EXPECT_EQ(d.question("Seguro?", "T"), r.yes);
        EXPECT_EQ(out.str(), r.shown);
        if (r.rule != R::AskWhenInteractive) {
            EXPECT_EQ(in.tellg(), 0) << "a fixed rule reads nothing";
        }
    }
    for (const char* yes : {"s", "S", "si", "SI", "Si", "sí", "SÍ", " si "})
        EXPECT_TRUE(ConsoleDialogs::IsYes(yes)) << yes;
    for (const char* no : {"", "n", "no", "sii", "yes", "s i", "sí."})
        EXPECT_FALSE(ConsoleDialogs::IsYes(no)) << no;
}

constexpr int kPort = 12;

struct CliRun {
    int exitCode = -1;  // -1: it did not end by itself within a minute
    std::string out, err;
    Texts lines() const {
        Texts all;
        std::istringstream in(out);
        for (std::string l; std::getline(in, l);) all.push_back(l);
        return all;
    }
};

// letrador-cli with `args` in `cwd`, its standard input /dev/null (not a terminal).
CliRun RunCli(Texts args, const fs::path& cwd) {
    ScratchFolder io;
    const std::string out = (io.path() / "out").string(), err = (io.path() / "err").string();
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addchdir_np(&fa, cwd.c_str());
    args.insert(args.begin(), LETRADOR_CLI_PATH);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    CliRun run;
    pid_t pid = -1;
    int status = 0;
    if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) == 0) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (::waitpid(pid, &status, WNOHANG) != pid) {
            if (std::chrono::steady_clock::now() > deadline) ::kill(pid, SIGKILL);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    }
    posix_spawn_file_actions_destroy(&fa);
    run.out = VirtualSignProcess::FileText(out);
    run.err = VirtualSignProcess::FileText(err);
    return run;
}

bool Has(const std::string& text, const std::string& piece) {
    return text.find(piece) != std::string::npos;
}

using Recording = std::function<void(SignRig&)>;

// What the library logs and sends for `record` against a scripted sign.
std::pair<Texts, Bytes> Library(const Recording& record, bool silent = false) {
    SignRig rig;
    if (silent)
        rig.link.setResponder([](std::uint8_t) { return platform::ScriptedSerialLink::Silence(); });
    record(rig);
    return {rig.view.lines(), rig.link.written};
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
            EXPECT_EQ(p.Columns, ContarColumnas(p.Text, m.store.fontPath(p.FontFile), p.Separation,
                                                m.store.SpaceWidth));
            text += "Párrafo " + std::to_string(k) + ": " + std::to_string(p.Columns) +
                    " columnas" + (p.Ignore ? " (ignorado)" : "") + "\n";
        }
        return text + "Total: " + std::to_string(m.commands.TotalColumns()) +
               " columnas de 2046\n" + m.view.capacityLabel() + "\n";
    }

    // "&Total" of mensajes/`name` on `port`, and "Turnero `style`", by the library.
    Recording total(const std::string& name, int port = kPort) {
        return [this, name, port](SignRig& rig) {
            MessageFixture& m = message();
            ASSERT_TRUE(m.files.LeerMensaje((work / "mensajes" / name).string()));
            EXPECT_TRUE(GrabarMensajeTotal(m.commands, m.store, m.view, m.dialogs, rig.grabador,
                                           std::to_string(port), m.options.joinedChecked()));
        };
    }
    static Recording turnero(int style, int port = kPort) {
        return
            [=](SignRig& rig) { Turnero(rig.grabador).GrabarTurnero(style, std::to_string(port)); };
    }

    ScratchFolder scratch;
    fs::path work = scratch.path() / "trabajo";
    std::unique_ptr<MessageFixture> m_;
};

TEST_F(Cli, ContarWritesTheLibrarysCountsAndTheBoxesAndMissingCharactersOnStandardError) {
    compose("faltan.fmv", {{U"Oferta – 5 € – ya", "normal.ffv", false},
                           {U"Hola €", "normal.ffv", false},
                           {U"— ‰ —", "angosta.ffv", true}});
    // A group with no font: "Guardar párrafo" refuses it with its box.
    WriteBytes(work / "mensajes" / "sinfuente.fmv",
               "3\r\n0\r\n1\r\n\"\"\r\n\"Hola\"\r\n\"fin_parrafo\"\r\n0\r\n#FALSE#\r\n1\r\n");
    struct Row {
        std::string file, err, piece;
    };
    const Row rows[] = {
        // The shipped examples hold the counts the program wrote when it saved them.
        {"bienvenida.fmv", "",
         "Párrafo 1: 77 columnas\nPárrafo 2: 107 columnas\nPárrafo 3: 116 columnas\n"
         "Párrafo 4: 141 columnas\nTotal: "},
        {"horario.fmv", "",
         "Párrafo 1: 123 columnas\nPárrafo 2: 217 columnas\nPárrafo 3: 79 columnas\n"},
        {"faltan.fmv",
         "letrador-cli: Párrafo 1: Sin dibujo en «normal.ffv»: –\n"
         "letrador-cli: Párrafo 3: Sin dibujo en «angosta.ffv»: — ‰\n",
         " columnas (ignorado)\nTotal: "},
        {"largo.fmv", "", "\nCapacidad excedida.\n"},
        {"sinfuente.fmv", "letrador-cli: Debe seleccionar un archivo de fuente para el mensaje.\n",
         "Párrafo 1: 0 columnas\n"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.file);
        const CliRun run = cli({"contar", r.file});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out, libraryCount(work / "mensajes" / r.file));
        EXPECT_EQ(run.err, r.err);
        EXPECT_TRUE(Has(run.out, r.piece)) << run.out;
    }
}

TEST_F(Cli, TheMessageIsTakenFromTheCurrentFolderThenFromMensajes) {
    const fs::path here = scratch.path() / "aqui";
    fs::create_directories(here);
    compose("otra.fmv", {{U"Hola", "normal.ffv", false}});
    fs::rename(work / "mensajes" / "otra.fmv", here / "bienvenida.fmv");
    const fs::path horario = work / "mensajes" / "horario.fmv";
    const std::tuple<Texts, fs::path, fs::path> rows[] = {
        {{"contar", "bienvenida.fmv", "--carpeta", work.string()}, here, here / "bienvenida.fmv"},
        {{"contar", "horario.fmv", "--carpeta", work.string()}, here, horario},
        {{"contar", "horario.fmv"}, work, horario},  // the current folder holds tipografias/
    };
    for (const auto& [args, cwd, file] : rows) {
        SCOPED_TRACE(file.string() + " from " + cwd.string());
        const CliRun run = RunCli(args, cwd);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, libraryCount(file));
    }
}

TEST_F(Cli, HelpIsInSpanishAndListsCommandsOptionsCodesAndPorts) {
    for (const char* flag : {"--help", "--ayuda"}) {
        const CliRun run = cli({flag});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.err, "");
        for (const char* piece :
             {"Uso:", "contar MENSAJE.fmv", "grabar MENSAJE.fmv", "turnero ESTILO", "--puerto N",
              "--carpeta DIR", "--si", "--version", "Códigos de salida:", "puertos/COMN",
              "/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyACM0", "La grabación se realizó sin errores."})
            EXPECT_TRUE(Has(run.out, piece)) << piece;
    }
}

// Each refusal ends with its code and its reason on standard error, with nothing on standard
// output and nothing sent to the sign waiting on port 12.
TEST_F(Cli, RefusalsEndWithTheirCodeAndRecordNothing) {
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
        std::string err = "letrador-cli: ";
    };
    // clang-format off
    const Row rows[] = {
        {{}, 2, "Uso:"}, {{"borrar"}, 2, "comando desconocido"}, {{"contar"}, 2}, {{"grabar"}, 2},
        {{"contar", "a.fmv", "b.fmv"}, 2}, {{"contar", "bienvenida.fmv", "--puerto", "12"}, 2},
        {{"contar", "bienvenida.fmv", "--rapido"}, 2},
        {{"contar", "bienvenida.fmv", "--carpeta"}, 2, "--carpeta"},
        {{"grabar", "bienvenida.fmv", "--puerto"}, 2}, {{"grabar", "bienvenida.fmv", "--puerto", "0"}, 2},
        {{"grabar", "bienvenida.fmv", "--puerto", "256"}, 2},
        {{"grabar", "bienvenida.fmv", "--puerto", "COM12"}, 2},
        {{"grabar", "bienvenida.fmv", "--puerto", "12", "--si"}, 2},
        {{"grabar", "bienvenida.fmv", "--puerto", "12,12"}, 2},
        {{"grabar", "bienvenida.fmv", "--puerto", "12,"}, 2},
        {{"turnero", "1", "--puerto", "12,x", "--si"}, 2}, {{"turnero"}, 2}, {{"turnero", "0"}, 2},
        {{"turnero", "4"}, 2}, {{"turnero", "x"}, 2}, {{"turnero", "1", "2"}, 2},
        {{"contar", "noexiste.fmv"}, 3, "noexiste.fmv"}, {{"grabar", none, "--puerto", "12"}, 3, none},
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
        {{"turnero", "1", "--puerto", "12"}, 5, "letrador-cli: Grabación de turnero: Se está por hacer"},
    };
    // clang-format on
    for (const Row& r : rows) {
        std::string shown;
        for (const auto& a : r.args) shown += a + " ";
        SCOPED_TRACE(shown);
        const CliRun run = cli(r.args);
        EXPECT_EQ(run.exitCode, r.code);
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(Has(run.err, r.err)) << run.err;
        if (r.code == 5 && r.args[0] == "turnero") {
            EXPECT_TRUE(Has(run.err, "(s/n) n\n")) << run.err;
        }
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
        std::function<Recording(int port)> library;
        int code;
        Texts summary;
        int style;  // 0: a message of `paragraphs` on the sign
        std::size_t paragraphs;
    };
    const std::string clean = "La grabación se realizó sin errores.";
    auto message = [this](std::string name) {
        return [=, this](int port) { return total(name, port); };
    };
    auto turn = [](int style) { return [=](int port) { return turnero(style, port); }; };
    // clang-format off
    const Row rows[] = {
        {{"grabar", "bienvenida.fmv", "--puerto", "12"}, {{12, false}}, message("bienvenida.fmv"), 0, {}, 0, 4},
        {{"grabar", "horario.fmv", "--puerto", "12"}, {{12, false}}, message("horario.fmv"), 0, {}, 0, 2},
        {{"turnero", "1", "--puerto", "12", "--si"}, {{12, false}}, turn(1), 0, {}, 1, 0},
        {{"turnero", "3", "--puerto", "12", "--si"}, {{12, false}}, turn(3), 0, {}, 3, 0},
        {{"grabar", "bienvenida.fmv", "--puerto", "3,7,12"}, {{3, false}, {7, true}, {12, false}},
         message("bienvenida.fmv"), 1,
         {"Resumen:", "COM 3: " + clean, "COM 7: Hubo errores en la grabación.", "COM 12: " + clean}, 0, 4},
        {{"turnero", "2", "--puerto", "3,7", "--si"}, {{3, false}, {7, false}}, turn(2), 0,
         {"Resumen:", "COM 3: " + clean, "COM 7: " + clean}, 2, 0},
    };
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(r.args[1] + " " + r.args[3]);
        std::vector<std::unique_ptr<VirtualSignProcess>> signs;
        for (auto [port, silent] : r.signs)
            signs.push_back(sign(port, silent ? Texts{"--silencio", "0"} : Texts{}));
        const CliRun run = cli(r.args);
        EXPECT_EQ(run.exitCode, r.code) << run.out << run.err;
        // The turn display's question, answered by --si, is the only box.
        EXPECT_EQ(run.err.empty(), r.style == 0) << run.err;
        if (r.style != 0) {
            EXPECT_TRUE(Has(run.err, "Desea continuar? (s/n) s\n")) << run.err;
        }
        const Texts lines = run.lines();
        const auto summary =
            lines.end() - static_cast<long>(std::min(lines.size(), r.summary.size()));
        EXPECT_EQ(Texts(summary, lines.end()), r.summary);
        for (std::size_t k = 0; k < signs.size(); ++k) {
            const auto [port, silent] = r.signs[k];
            SCOPED_TRACE(port);
            const auto [expected, bytes] = Library(r.library(port), silent);
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
            EXPECT_TRUE(got.closed);
            EXPECT_EQ(got.turn.style, r.style);
            EXPECT_EQ(got.turn.entries.size(), r.style ? 100u : 0u);
            EXPECT_EQ(got.paragraphs.size(), r.paragraphs);
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

}  // namespace
}  // namespace letrador::testing
