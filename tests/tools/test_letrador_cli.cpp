// letrador-cli run as a process: its counts against the library's, its help, its refusals of
// bad arguments and missing files, and whole recordings against a sign on a pty that a thread
// of the test answers, compared with the same recording made by the library.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "files/message_files.h"
#include "message/font_file.h"
#include "signlink/recording_commands.h"
#include "signlink/turnero.h"
#include "tests/files/files_fixture.h"
#include "tests/signlink/sign_rig.h"
#include "tests/tools/cli_process.h"

namespace letrador::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kExamples = fs::path(LETRADOR_SOURCE_DIR) / "data" / "mensajes";
const fs::path kFonts = fs::path(LETRADOR_BINARY_DIR) / "work" / "tipografias";

bool Contains(const std::string& haystack, const std::string& needle) {
    return haystack.find(needle) != std::string::npos;
}

std::vector<fs::path> ExampleMessages() {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(kExamples)) {
        if (e.path().extension() == ".fmv") out.push_back(e.path());
    }
    std::sort(out.begin(), out.end());
    return out;
}

// A working folder of its own: the built fonts, the example messages, puertos/.
class CliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(kFonts / "normal.ffv")) << "fonts not built in " << kFonts;
        work = scratch.path() / "trabajo";
        fs::create_directories(work / "tipografias");
        fs::create_directories(work / "mensajes");
        fs::create_directories(work / "puertos");
        for (const auto& e : fs::directory_iterator(kFonts)) {
            fs::copy_file(e.path(), work / "tipografias" / e.path().filename());
        }
        for (const auto& m : ExampleMessages()) {
            fs::copy_file(m, work / "mensajes" / m.filename());
        }
    }

    // Port `n` of the working folder leads to `device`.
    void mapPort(int n, const std::string& device) {
        fs::create_symlink(device, work / "puertos" / ("COM" + std::to_string(n)));
    }

    // What the main window shows after opening `file` with the fonts of the working folder:
    // the library's own reading, written in the tool's format.
    std::string libraryCount(const fs::path& file) {
        MessageFixture m;
        m.store.FontFolder = (work / "tipografias").string();
        EXPECT_TRUE(m.files.LeerMensaje(file.string()));
        std::string text;
        for (int k = 1; k <= m.store.ParagraphCount; ++k) {
            const ParagraphRecord& p = m.store.paragraph(k);
            // The count a fresh measure of the stored text gives.
            EXPECT_EQ(p.Columns, ContarColumnas(p.Text, m.store.fontPath(p.FontFile),
                                                p.Separation, m.store.SpaceWidth));
            text += "Párrafo " + std::to_string(k) + ": " + std::to_string(p.Columns) +
                    " columnas" + (p.Ignore ? " (ignorado)" : "") + "\n";
        }
        text += "Total: " + std::to_string(m.commands.TotalColumns()) + " columnas de 2046\n";
        text += m.view.capacityLabel() + "\n";
        return text;
    }

    std::string carpeta() const { return work.string(); }

    ScratchFolder scratch;
    fs::path work;
};

// ---- contar ----

TEST_F(CliTest, ContarGivesTheLibraryCountsForEveryExampleMessage) {
    const auto examples = ExampleMessages();
    ASSERT_GE(examples.size(), 2u);
    for (const auto& file : examples) {
        const CliRun run = RunCli({"contar", file.string(), "--carpeta", carpeta()});
        EXPECT_EQ(run.exitCode, 0) << file << "\n" << run.err;
        EXPECT_EQ(run.out, libraryCount(file)) << file;
        EXPECT_EQ(run.err, "") << file;
        EXPECT_TRUE(Contains(run.out, "Capacidad ocupada: ")) << run.out;
    }
}

TEST_F(CliTest, ContarMarksIgnoredParagraphsAndShowsAnExceededCapacity) {
    // Composed with the library: one ignored paragraph, and then one that alone fills the sign.
    MessageFixture m;
    m.store.FontFolder = (work / "tipografias").string();
    ASSERT_TRUE(m.addParagraph(U"Hola", "normal.ffv", true));
    std::u32string largo;
    for (int k = 0; k < 200; ++k) largo += U"Hola";
    ASSERT_TRUE(m.addParagraph(largo, "normal.ffv"));
    ASSERT_TRUE(m.store.CapacityExceeded);
    const fs::path file = work / "mensajes" / "largo.fmv";
    ASSERT_TRUE(m.files.EscribirMensaje(file.string()));

    const CliRun run = RunCli({"contar", "largo.fmv", "--carpeta", carpeta()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, libraryCount(file));
    EXPECT_TRUE(Contains(run.out, "Párrafo 1: ")) << run.out;
    EXPECT_TRUE(Contains(run.out, " (ignorado)\n")) << run.out;
    EXPECT_EQ(run.outLines().back(), "Capacidad excedida.");
}

TEST_F(CliTest, ARelativeMessageIsTakenFromTheCurrentFolderFirstThenFromMensajes) {
    // A file of the same name in the current folder, different from the one in mensajes/.
    const fs::path here = scratch.path() / "aqui";
    fs::create_directories(here);
    MessageFixture m;
    m.store.FontFolder = (work / "tipografias").string();
    ASSERT_TRUE(m.addParagraph(U"Hola", "normal.ffv"));
    ASSERT_TRUE(m.files.EscribirMensaje((here / "bienvenida.fmv").string()));

    const CliRun fromHere = RunCli({"contar", "bienvenida.fmv", "--carpeta", carpeta()}, here);
    EXPECT_EQ(fromHere.exitCode, 0) << fromHere.err;
    EXPECT_EQ(fromHere.out, libraryCount(here / "bienvenida.fmv"));

    const CliRun fromFolder = RunCli({"contar", "horario.fmv", "--carpeta", carpeta()}, here);
    EXPECT_EQ(fromFolder.exitCode, 0) << fromFolder.err;
    EXPECT_EQ(fromFolder.out, libraryCount(work / "mensajes" / "horario.fmv"));
}

TEST_F(CliTest, WithoutCarpetaTheCurrentFolderHoldingTipografiasIsTheWorkingFolder) {
    const CliRun run = RunCli({"contar", "horario.fmv"}, work);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, libraryCount(work / "mensajes" / "horario.fmv"));
}

TEST_F(CliTest, BoxesRaisedWhileReadingGoToStandardError) {
    // A paragraph group with no font: "Guardar párrafo" refuses it with its message box.
    const std::string bytes =
        "3\r\n0\r\n1\r\n\"\"\r\n\"Hola\"\r\n\"fin_parrafo\"\r\n0\r\n#FALSE#\r\n1\r\n";
    WriteBytes(work / "mensajes" / "sinfuente.fmv", bytes);
    const CliRun run = RunCli({"contar", "sinfuente.fmv", "--carpeta", carpeta()});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "letrador-cli: Debe seleccionar un archivo de fuente para el mensaje.\n");
    EXPECT_EQ(run.out, libraryCount(work / "mensajes" / "sinfuente.fmv"));
}

TEST_F(CliTest, ContarWarnsOncePerParagraphOfCharactersItsFontLacks) {
    MessageFixture m;
    m.store.FontFolder = (work / "tipografias").string();
    ASSERT_TRUE(m.addParagraph(U"Oferta – 5 € – ya", "normal.ffv"));
    ASSERT_TRUE(m.addParagraph(U"Hola €", "normal.ffv"));
    ASSERT_TRUE(m.addParagraph(U"— ‰ —", "angosta.ffv", true));
    const fs::path file = work / "mensajes" / "faltan.fmv";
    ASSERT_TRUE(m.files.EscribirMensaje(file.string()));

    const CliRun run = RunCli({"contar", "faltan.fmv", "--carpeta", carpeta()});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, libraryCount(file));
    EXPECT_EQ(run.err,
              "letrador-cli: Párrafo 1: Sin dibujo en «normal.ffv»: –\n"
              "letrador-cli: Párrafo 3: Sin dibujo en «angosta.ffv»: — ‰\n");
}

// ---- help and usage ----

TEST_F(CliTest, HelpIsInSpanishAndListsCommandsOptionsCodesAndPorts) {
    for (const char* flag : {"--help", "--ayuda"}) {
        const CliRun run = RunCli({flag});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.err, "");
        for (const char* piece :
             {"Uso:", "contar MENSAJE.fmv", "grabar MENSAJE.fmv", "turnero ESTILO", "--puerto N",
              "--carpeta DIR", "--si", "Códigos de salida:", "puertos/COMN", "/dev/ttyS0",
              "/dev/ttyUSB0", "/dev/ttyACM0", "La grabación se realizó sin errores."}) {
            EXPECT_TRUE(Contains(run.out, piece)) << piece;
        }
    }
}

TEST_F(CliTest, BadArgumentsAreUsageErrors) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"borrar"},
        {"contar"},
        {"contar", "a.fmv", "b.fmv"},
        {"contar", "bienvenida.fmv", "--puerto", "3"},
        {"contar", "bienvenida.fmv", "--rapido"},
        {"grabar", "bienvenida.fmv", "--puerto"},
        {"grabar", "bienvenida.fmv", "--puerto", "0"},
        {"grabar", "bienvenida.fmv", "--puerto", "256"},
        {"grabar", "bienvenida.fmv", "--puerto", "COM3"},
        {"grabar", "bienvenida.fmv", "--puerto", "3", "--si"},
        {"grabar", "bienvenida.fmv", "--puerto", "3,3"},
        {"grabar", "bienvenida.fmv", "--puerto", "3,"},
        {"turnero", "1", "--puerto", "3,x", "--si"},
        {"grabar"},
        {"turnero"},
        {"turnero", "0"},
        {"turnero", "4"},
        {"turnero", "x"},
        {"turnero", "1", "2"},
    };
    for (auto args : bad) {
        std::string shown;
        for (const auto& a : args) shown += a + " ";
        args.push_back("--carpeta");
        args.push_back(carpeta());
        const CliRun run = RunCli(args);
        EXPECT_EQ(run.exitCode, 2) << shown;
        EXPECT_EQ(run.out, "") << shown;
        EXPECT_FALSE(run.err.empty()) << shown;
    }
    const CliRun noFolder = RunCli({"contar", "bienvenida.fmv", "--carpeta"});
    EXPECT_EQ(noFolder.exitCode, 2);
    EXPECT_TRUE(Contains(noFolder.err, "--carpeta")) << noFolder.err;
}

// ---- file errors ----

TEST_F(CliTest, AMissingMessageIsAFileError) {
    const CliRun run = RunCli({"contar", "noexiste.fmv", "--carpeta", carpeta()});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(Contains(run.err, "noexiste.fmv")) << run.err;

    const CliRun grabar =
        RunCli({"grabar", (scratch.path() / "no.fmv").string(), "--carpeta", carpeta()});
    EXPECT_EQ(grabar.exitCode, 3);
    EXPECT_EQ(grabar.out, "");
}

TEST_F(CliTest, AnEmptyMessageIsAFileErrorWithTheProgramsMessage) {
    WriteBytes(work / "mensajes" / "vacio.fmv", "");
    const CliRun run = RunCli({"contar", "vacio.fmv", "--carpeta", carpeta()});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.err, "letrador-cli: El archivo está vacío.\n");
    EXPECT_EQ(run.out, "");
}

TEST_F(CliTest, AMissingWorkingFolderIsAFileError) {
    const CliRun run =
        RunCli({"contar", "bienvenida.fmv", "--carpeta", (scratch.path() / "nada").string()});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(Contains(run.err, "nada")) << run.err;
}

// ---- ports ----

TEST_F(CliTest, APortWithoutDeviceOrThatDoesNotOpenIsAPortError) {
    // 200 has no device by the mapping; 7 is mapped to a device that does not exist.
    mapPort(7, (scratch.path() / "no-hay-tal").string());
    for (const char* port : {"200", "7"}) {
        const CliRun run =
            RunCli({"grabar", "bienvenida.fmv", "--puerto", port, "--carpeta", carpeta()});
        EXPECT_EQ(run.exitCode, 4) << port;
        EXPECT_EQ(run.out, "") << port;
        EXPECT_TRUE(Contains(run.err, std::string("COM ") + port)) << run.err;
    }
}

// ---- recordings against a sign on a pty ----

// The recording that "&Total" makes of `file` on port 9, run by the library against a scripted
// sign that answers as `sign` does.
struct LibraryRecording {
    std::vector<std::string> lines;
    Bytes bytes;
};

LibraryRecording RecordWithLibrary(const fs::path& file, const fs::path& fonts,
                                   platform::ScriptedSerialLink::Responder sign) {
    MessageFixture m;
    m.store.FontFolder = fonts.string();
    EXPECT_TRUE(m.files.LeerMensaje(file.string()));
    SignRig rig;
    rig.link.setResponder(std::move(sign));
    EXPECT_TRUE(GrabarMensajeTotal(m.commands, m.store, m.view, m.dialogs, rig.grabador, "9",
                                   m.options.joinedChecked()));
    return {rig.view.lines(), rig.link.written};
}

TEST_F(CliTest, GrabarRecordsEveryExampleAsTheLibraryDoes) {
    for (const auto& file : ExampleMessages()) {
        PtyThreadSign sign{CompatibleSign()};
        ASSERT_TRUE(sign.ok());
        fs::remove(work / "puertos" / "COM9");
        mapPort(9, sign.slave());

        const CliRun run = RunCli({"grabar", file.filename().string(), "--puerto", "9",
                                   "--carpeta", carpeta()});
        const LibraryRecording expected =
            RecordWithLibrary(file, work / "tipografias", CompatibleSign());
        EXPECT_EQ(run.exitCode, 0) << file << "\n" << run.out << run.err;
        EXPECT_EQ(run.outLines(), expected.lines) << file;
        EXPECT_EQ(run.outLines().front(), "Usando puerto COM 9.");
        EXPECT_EQ(run.outLines()[run.outLines().size() - 2], "La grabación se realizó sin errores.");
        EXPECT_EQ(sign.received(), expected.bytes) << file;
        EXPECT_GT(sign.received().size(), 100u);
        EXPECT_EQ(run.err, "");
    }
}

TEST_F(CliTest, GrabarAgainstASilentSignEndsWithErrors) {
    PtyThreadSign sign{[](std::uint8_t) { return platform::ScriptedSerialLink::Silence(); }};
    ASSERT_TRUE(sign.ok());
    mapPort(9, sign.slave());
    const CliRun run =
        RunCli({"grabar", "bienvenida.fmv", "--puerto", "9", "--carpeta", carpeta()});
    const LibraryRecording expected =
        RecordWithLibrary(work / "mensajes" / "bienvenida.fmv", work / "tipografias",
                          [](std::uint8_t) { return platform::ScriptedSerialLink::Silence(); });
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_EQ(run.outLines(), expected.lines);
    EXPECT_EQ(run.outLines().back(), "Grabación finalizada.");
    EXPECT_EQ(run.outLines()[run.outLines().size() - 2], "Hubo errores en la grabación.");
    // Three attention bytes, nothing else.
    EXPECT_EQ(sign.received(), Bytes({0xC3, 0xC3, 0xC3}));
}

TEST_F(CliTest, GrabarOfAMessageOverTheCapacityIsRefusedBeforeAnythingIsSent) {
    MessageFixture m;
    m.store.FontFolder = (work / "tipografias").string();
    std::u32string largo;
    for (int k = 0; k < 200; ++k) largo += U"Hola";
    ASSERT_TRUE(m.addParagraph(largo, "normal.ffv"));
    ASSERT_TRUE(m.files.EscribirMensaje((work / "mensajes" / "largo.fmv").string()));

    PtyThreadSign sign{CompatibleSign()};
    ASSERT_TRUE(sign.ok());
    mapPort(9, sign.slave());
    const CliRun run = RunCli({"grabar", "largo.fmv", "--puerto", "9", "--carpeta", carpeta()});
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              "letrador-cli: No se puede grabar el mensaje porque excede la capacidad del "
              "cartel.\n");
    EXPECT_TRUE(sign.received().empty());
}

// A compatible sign that echoes the tenth byte it receives (a column of the first paragraph)
// wrong; each call makes a sign of its own.
platform::ScriptedSerialLink::Responder WrongTenthEcho() {
    return [sign = CompatibleSign(), n = 0](std::uint8_t b) mutable {
        auto step = sign(b);
        if (++n == 10) step.reply = {static_cast<std::uint8_t>(b ^ 0x01)};
        return step;
    };
}

TEST_F(CliTest, GrabarWithAnEchoErrorEndsWithErrors) {
    PtyThreadSign sign{WrongTenthEcho()};
    ASSERT_TRUE(sign.ok());
    mapPort(9, sign.slave());
    const CliRun run =
        RunCli({"grabar", "bienvenida.fmv", "--puerto", "9", "--carpeta", carpeta()});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_EQ(run.outLines(), RecordWithLibrary(work / "mensajes" / "bienvenida.fmv",
                                                work / "tipografias", WrongTenthEcho())
                                  .lines);
    EXPECT_TRUE(Contains(run.out, "Error de comparación. E: ")) << run.out;
}

TEST_F(CliTest, AFileThatIsNotACompleteMessageIsAFileErrorAndNothingIsRecorded) {
    const std::string whole = ReadBytes(work / "mensajes" / "bienvenida.fmv");
    WriteBytes(work / "mensajes" / "foto.fmv", std::string("\xFF\xD8\xFF\xE0\0\x10JFIF", 10));
    WriteBytes(work / "mensajes" / "corto.fmv", whole.substr(0, whole.size() - 5));
    PtyThreadSign sign{CompatibleSign()};
    ASSERT_TRUE(sign.ok());
    mapPort(9, sign.slave());
    for (const char* file : {"foto.fmv", "corto.fmv"}) {
        for (const char* command : {"contar", "grabar"}) {
            SCOPED_TRACE(std::string(command) + " " + file);
            std::vector<std::string> args = {command, file, "--carpeta", carpeta()};
            if (std::string(command) == "grabar") args.insert(args.end(), {"--puerto", "9"});
            const CliRun run = RunCli(args);
            EXPECT_EQ(run.exitCode, 3);
            EXPECT_EQ(run.out, "");
            EXPECT_TRUE(Contains(run.err, "El archivo no es un mensaje completo, línea ")) << run.err;
        }
    }
    EXPECT_TRUE(sign.received().empty());
}

// ---- turnero ----

TEST_F(CliTest, TurneroWithoutSiIsAnsweredNoAndSendsNothing) {
    PtyThreadSign sign{CompatibleSign()};
    ASSERT_TRUE(sign.ok());
    mapPort(9, sign.slave());
    const CliRun run = RunCli({"turnero", "1", "--puerto", "9", "--carpeta", carpeta()});
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(Contains(run.err, "Grabación de turnero: Se está por hacer una grabación de "
                                  "turnero."))
        << run.err;
    EXPECT_TRUE(Contains(run.err, "Desea continuar? (s/n) n")) << run.err;
    EXPECT_TRUE(sign.received().empty());
}

TEST_F(CliTest, TurneroRecordsTheHundredEntriesOfEachStyle) {
    const std::size_t entryBytes[] = {0, 15, 11, 13};
    for (int estilo = 1; estilo <= 3; ++estilo) {
        PtyThreadSign sign{CompatibleSign()};
        ASSERT_TRUE(sign.ok());
        fs::remove(work / "puertos" / "COM9");
        mapPort(9, sign.slave());
        const CliRun run = RunCli(
            {"turnero", std::to_string(estilo), "--puerto", "9", "--si", "--carpeta", carpeta()});
        EXPECT_EQ(run.exitCode, 0) << run.out << run.err;

        SignRig rig;
        Turnero turnero(rig.grabador);
        turnero.GrabarTurnero(estilo, "9");
        EXPECT_EQ(run.outLines(), rig.view.lines()) << estilo;
        EXPECT_EQ(sign.received(), rig.link.written) << estilo;
        // Opening, a hundred entries, closing.
        EXPECT_EQ(sign.received().size(), 4 + 100 * entryBytes[estilo] + 3) << estilo;
        EXPECT_TRUE(Contains(run.err, "Desea continuar? (s/n) s")) << run.err;
    }
}

}  // namespace
}  // namespace letrador::testing
