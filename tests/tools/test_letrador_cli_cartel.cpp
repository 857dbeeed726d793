// letrador-cli against cartel-virtual, both run as processes: the port is the sign's link in the
// working folder's puertos/, and what the sign received is read back from its record.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "files/message_files.h"
#include "signlink/recording_commands.h"
#include "signlink/turnero.h"
#include "tests/files/files_fixture.h"
#include "tests/signlink/sign_rig.h"
#include "tests/support/sign_loss.h"
#include "tests/support/virtual_sign_process.h"
#include "tests/tools/cli_process.h"

namespace letrador::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kExamples = fs::path(LETRADOR_SOURCE_DIR) / "data" / "mensajes";
const fs::path kFonts = fs::path(LETRADOR_BINARY_DIR) / "work" / "tipografias";
constexpr int kPort = 12;

class CliCartelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(kFonts / "normal.ffv")) << "fonts not built in " << kFonts;
        work = scratch.path() / "trabajo";
        fs::create_directories(work / "mensajes");
        fs::copy(kFonts, work / "tipografias");
        for (const auto& e : fs::directory_iterator(kExamples)) {
            fs::copy_file(e.path(), work / "mensajes" / e.path().filename());
        }
    }

    // Starts the sign on port `port` with `faults`.
    std::unique_ptr<VirtualSignProcess> startSign(std::vector<std::string> faults = {},
                                                  int port = kPort) {
        auto sign = std::make_unique<VirtualSignProcess>(work, port, std::move(faults));
        std::string problem;
        EXPECT_TRUE(sign->start(&problem)) << problem;
        return sign;
    }

    CliRun cli(std::vector<std::string> args) {
        args.insert(args.end(), {"--puerto", std::to_string(kPort), "--carpeta", work.string()});
        return RunCli(args);
    }

    ScratchFolder scratch;
    fs::path work;
};

struct LibraryRecording {
    std::vector<std::string> lines;
    Bytes bytes;
};

// "&Total" of `file` by the library against a scripted sign answering as `sign` does.
LibraryRecording RecordWithLibrary(const fs::path& file, const fs::path& fonts,
                                   platform::ScriptedSerialLink::Responder sign,
                                   int port = kPort) {
    MessageFixture m;
    m.store.FontFolder = fonts.string();
    EXPECT_TRUE(m.files.LeerMensaje(file.string()));
    SignRig rig;
    rig.link.setResponder(std::move(sign));
    EXPECT_TRUE(GrabarMensajeTotal(m.commands, m.store, m.view, m.dialogs, rig.grabador,
                                   std::to_string(port), m.options.joinedChecked()));
    return {rig.view.lines(), rig.link.written};
}

TEST_F(CliCartelTest, GrabarOfAnExampleGoesThroughCleanAndLogsAsTheLibrary) {
    auto sign = startSign();
    ASSERT_TRUE(sign->running());
    const CliRun run = cli({"grabar", "bienvenida.fmv"});
    const auto rec = sign->stop();
    const LibraryRecording expected =
        RecordWithLibrary(work / "mensajes" / "bienvenida.fmv", work / "tipografias",
                          CompatibleSign());

    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.outLines(), expected.lines);
    EXPECT_EQ(run.outLines().front(), "Usando puerto COM 12.");
    EXPECT_EQ(run.outLines()[run.outLines().size() - 2], "La grabación se realizó sin errores.");
    EXPECT_EQ(rec.bytes, expected.bytes);
    ASSERT_TRUE(rec.decoded);
    ASSERT_EQ(rec.decoded->recordings.size(), 1u);
    const auto& r = rec.decoded->recordings[0];
    EXPECT_TRUE(r.started);
    EXPECT_TRUE(r.closed);
    EXPECT_EQ(r.kind, cartel::Recording::Kind::Message);
    EXPECT_EQ(r.paragraphs.size(), 4u);  // bienvenida.fmv has four paragraphs, none ignored
}

TEST_F(CliCartelTest, GrabarAgainstASilentSignExitsWithErrors) {
    auto sign = startSign({"--silencio", "0"});
    const CliRun run = cli({"grabar", "horario.fmv"});
    const auto rec = sign->stop();
    const LibraryRecording expected = RecordWithLibrary(
        work / "mensajes" / "horario.fmv", work / "tipografias",
        [](std::uint8_t) { return platform::ScriptedSerialLink::Silence(); });

    EXPECT_NE(run.exitCode, 0);
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_EQ(run.outLines(), expected.lines);
    EXPECT_EQ(run.outLines()[run.outLines().size() - 2], "Hubo errores en la grabación.");
    EXPECT_EQ(rec.bytes, Bytes({0xC3, 0xC3, 0xC3}));
}

TEST_F(CliCartelTest, GrabarWithAWrongEchoExitsWithErrors) {
    // Byte 6 is a column of the first paragraph (after C3 01 C3 02).
    auto sign = startSign({"--eco-erroneo", "6"});
    const CliRun run = cli({"grabar", "bienvenida.fmv"});
    sign->stop();
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    bool comparison = false;
    for (const auto& l : run.outLines()) comparison = comparison || l.rfind("Error de comparación. E: ", 0) == 0;
    EXPECT_TRUE(comparison) << run.out;
    EXPECT_EQ(run.outLines()[run.outLines().size() - 2], "Hubo errores en la grabación.");
}

// The sign killed while it holds its reply to one byte: the command ends on its own within 2 s
// with the loss in its log and the errors verdict.
TEST_F(CliCartelTest, ASignThatVanishesEndsTheCommandWithErrors) {
    using namespace std::chrono_literals;
    struct Case {
        std::vector<std::string> args;
        long long atByte;
    };
    // Byte 10 is in the first paragraph of bienvenida.fmv, byte 62 in the turn entry 05.
    for (const Case& c :
         {Case{{"grabar", "bienvenida.fmv"}, 10}, Case{{"turnero", "2", "--si"}, 62}}) {
        SCOPED_TRACE(c.args[0]);
        auto sign = startSign({"--tarde", std::to_string(c.atByte) + ":800"});
        ASSERT_TRUE(sign->running());
        SignLoss loss(*sign, {c.atByte, 150ms, false});
        const CliRun run = cli(c.args);
        const auto ended = SignLoss::Clock::now();
        loss.join();
        ASSERT_TRUE(loss.killed());
        const auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(ended - loss.killedAt());
        std::printf("[ lost link ] letrador-cli %s: ended %lld ms after the sign went\n",
                    c.args[0].c_str(), static_cast<long long>(took.count()));
        EXPECT_LE(took, 2000ms);
        EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
        const auto lines = run.outLines();
        ASSERT_GE(lines.size(), 4u) << run.out;
        const std::string lossLine = "Se perdió la conexión con el puerto COM 12.";
        EXPECT_EQ(std::count(lines.begin(), lines.end(), lossLine), 1) << run.out;
        const auto at = std::find(lines.begin(), lines.end(), lossLine);
        ASSERT_LT(at + 1, lines.end()) << run.out;
        EXPECT_EQ(at[1], "Error de Timeout.");
        EXPECT_EQ(
            std::vector<std::string>(lines.end() - 2, lines.end()),
            (std::vector<std::string>{"Hubo errores en la grabación.", "Grabación finalizada."}));
        EXPECT_EQ(sign->stop().bytes.size(), static_cast<std::size_t>(c.atByte + 1));
    }
}

TEST_F(CliCartelTest, TurneroOneSendsTheOpeningAHundredEntriesOfFifteenBytesAndTheClosing) {
    auto sign = startSign();
    const CliRun run = cli({"turnero", "1", "--si"});
    const auto rec = sign->stop();
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(rec.bytes.size(), 4u + 100u * 15u + 3u);

    SignRig rig;
    Turnero turnero(rig.grabador);
    turnero.GrabarTurnero(1, std::to_string(kPort));
    EXPECT_EQ(rec.bytes, rig.link.written);
    EXPECT_EQ(run.outLines(), rig.view.lines());
    ASSERT_TRUE(rec.decoded);
    ASSERT_EQ(rec.decoded->recordings.size(), 1u);
    const auto& turn = rec.decoded->recordings[0].turn;
    EXPECT_EQ(turn.style, 1);
    ASSERT_EQ(turn.entries.size(), 100u);
    for (int k = 0; k < 100; ++k) {
        EXPECT_EQ(turn.entries[static_cast<std::size_t>(k)].number, k);
        EXPECT_TRUE(turn.entries[static_cast<std::size_t>(k)].complete);
    }
}

// Three signs at once, the middle one silent: each sign gets the one-sign recording's bytes and
// log lines (prefixed with its port), the summary gives each verdict, and one failure makes the
// exit code 1.
TEST_F(CliCartelTest, GrabarToSeveralPortsRecordsEachSignAsAloneAndSumsUp) {
    struct Sign {
        int port;
        bool silent;
        std::unique_ptr<VirtualSignProcess> process;
    };
    Sign signs[] = {{3, false, {}}, {7, true, {}}, {12, false, {}}};
    for (Sign& s : signs) {
        s.process = startSign(s.silent ? std::vector<std::string>{"--silencio", "0"}
                                       : std::vector<std::string>{},
                              s.port);
        ASSERT_TRUE(s.process->running());
    }
    const CliRun run = RunCli(
        {"grabar", "bienvenida.fmv", "--puerto", "3,7,12", "--carpeta", work.string()});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_EQ(run.err, "");

    const std::vector<std::string> lines = run.outLines();
    ASSERT_GE(lines.size(), 4u) << run.out;
    const std::vector<std::string> summary(lines.end() - 4, lines.end());
    EXPECT_EQ(summary, (std::vector<std::string>{"Resumen:",
                                                 "COM 3: La grabación se realizó sin errores.",
                                                 "COM 7: Hubo errores en la grabación.",
                                                 "COM 12: La grabación se realizó sin errores."}));
    for (Sign& s : signs) {
        SCOPED_TRACE("COM " + std::to_string(s.port));
        const auto rec = s.process->stop();
        const LibraryRecording expected = RecordWithLibrary(
            work / "mensajes" / "bienvenida.fmv", work / "tipografias",
            s.silent ? platform::ScriptedSerialLink::Responder(
                           [](std::uint8_t) { return platform::ScriptedSerialLink::Silence(); })
                     : platform::ScriptedSerialLink::Responder(CompatibleSign()),
            s.port);
        const std::string prefix = "COM " + std::to_string(s.port) + ": ";
        std::vector<std::string> own;
        for (auto it = lines.begin(); it != lines.end() - 4; ++it)
            if (it->rfind(prefix, 0) == 0) own.push_back(it->substr(prefix.size()));
        EXPECT_EQ(own, expected.lines);
        EXPECT_EQ(rec.bytes, expected.bytes);
    }
}

TEST_F(CliCartelTest, TurneroToTwoPortsRecordsBothSigns) {
    auto first = startSign({}, 3);
    auto second = startSign({}, 7);
    const CliRun run =
        RunCli({"turnero", "2", "--puerto", "3,7", "--si", "--carpeta", work.string()});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    SignRig rig;
    Turnero(rig.grabador).GrabarTurnero(2, "3");
    for (auto* sign : {first.get(), second.get()}) EXPECT_EQ(sign->stop().bytes, rig.link.written);
    const auto lines = run.outLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 1], "COM 7: La grabación se realizó sin errores.");
    EXPECT_EQ(lines[lines.size() - 2], "COM 3: La grabación se realizó sin errores.");
}

}  // namespace
}  // namespace letrador::testing
