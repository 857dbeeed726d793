// Writing the live message to a file and reading it back through the paragraph commands.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include <csignal>
#include <random>
#include <tuple>

#include <sys/wait.h>
#include <unistd.h>

#include "files/message_files.h"
#include "message/codepage.h"
#include "tests/files/files_fixture.h"

namespace letrador {
namespace {

namespace fs = std::filesystem;
using C = EditorControl;
using testing::Lines;
using testing::ReadBytes;
using testing::WriteBytes;

const std::string kSample =
    "3\r\n0\r\n1\r\n\"a.ffv\"\r\n\"Hola\"\r\n\"fin_parrafo\"\r\n24\r\n#FALSE#\r\n1\r\n";

class MessageFilesTest : public ::testing::Test, public testing::MessageFixture {
  protected:
    // Writes, then reads back into a cleared message.
    void roundTrip(const std::string& name = "m.fmv") {
        ASSERT_TRUE(files.EscribirMensaje(path(name)));
        commands.ClearMessage();
        dialogs.clear();
        ASSERT_TRUE(files.LeerMensaje(path(name)));
    }
    std::vector<std::string> fileLines(const std::string& name) {
        std::vector<std::string> out;
        const std::string bytes = ReadBytes(path(name));
        for (auto l : SplitLines(bytes)) out.emplace_back(l);
        return out;
    }
};

TEST_F(MessageFilesTest, TheNineLineSampleByteForByte) {
    ASSERT_TRUE(addParagraph(U"Hola"));
    ASSERT_EQ(store.paragraph(1).Columns, 24);
    store.MessageModified = true;
    ASSERT_TRUE(files.EscribirMensaje(path("hola.fmv")));
    EXPECT_EQ(ReadBytes(path("hola.fmv")), kSample);
    EXPECT_FALSE(store.MessageModified);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(MessageFilesTest, OptionLinesComeFromTheAdvancedOptions) {
    options.setSpaceWidthText("4.5abc");
    options.setJoinedChecked(true);
    ASSERT_TRUE(addParagraph(U"Hola"));
    ASSERT_TRUE(files.EscribirMensaje(path("o.fmv")));
    auto lines = fileLines("o.fmv");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "4.5");
    EXPECT_EQ(lines[1], "1");
}

TEST_F(MessageFilesTest, OneQuoteIsWrittenTwiceAndReadsBackAsOne) {
    ASSERT_TRUE(addParagraph(U"di \"a"));
    ASSERT_TRUE(files.EscribirMensaje(path("q.fmv")));
    EXPECT_EQ(fileLines("q.fmv")[4], "\"di \"\"a\"");
    roundTrip("q.fmv");
    EXPECT_EQ(store.paragraph(1).Text, U"di \"a");
    EXPECT_EQ(view.messageText(), U"di \"a");
}

TEST_F(MessageFilesTest, TwoAdjacentQuotesAreWrittenAsFourAndReadBackAsTwo) {
    ASSERT_TRUE(addParagraph(U"\"\"Hola"));
    ASSERT_TRUE(files.EscribirMensaje(path("q.fmv")));
    EXPECT_EQ(fileLines("q.fmv")[4], "\"\"\"\"\"Hola\"");
    roundTrip("q.fmv");
    EXPECT_EQ(store.paragraph(1).Text, U"\"\"Hola");
}

TEST_F(MessageFilesTest, AMultiLineTextTakesOneFileLinePerTextLine) {
    ASSERT_TRUE(addParagraph(U"Uno\r\nDos"));
    ASSERT_TRUE(files.EscribirMensaje(path("u.fmv")));
    auto lines = fileLines("u.fmv");
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[3], "\"a.ffv\"");
    EXPECT_EQ(lines[4], "\"Uno");
    EXPECT_EQ(lines[5], "Dos\"");
    EXPECT_EQ(lines[6], "\"fin_parrafo\"");
    roundTrip("u.fmv");
    ASSERT_EQ(store.ParagraphCount, 1);
    EXPECT_EQ(store.paragraph(1).Text, U"Uno\r\nDos");
}

TEST_F(MessageFilesTest, AnEmptyNeverSavedParagraphIsWrittenAsTwoQuotes) {
    ASSERT_TRUE(addParagraph(U"Hola"));
    commands.cmdParNuevo_Click();  // never saved
    ASSERT_TRUE(files.EscribirMensaje(path("e.fmv")));
    auto lines = fileLines("e.fmv");
    ASSERT_EQ(lines.size(), 16u);
    EXPECT_EQ(lines[9], "2");
    EXPECT_EQ(lines[10], "\"\"");
    EXPECT_EQ(lines[11], "\"\"");
    EXPECT_EQ(lines[12], "\"fin_parrafo\"");
    EXPECT_EQ(lines[13], "0");

    roundTrip("e.fmv");
    // The empty group is refused by "Guardar párrafo" and its paragraph stays empty.
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{kMsgTextoVacio});
    ASSERT_EQ(store.ParagraphCount, 2);
    EXPECT_EQ(store.paragraph(2).Text, U"");
    EXPECT_EQ(store.paragraph(2).FontFile, "");
    EXPECT_EQ(store.paragraph(1).Text, U"Hola");
}

TEST_F(MessageFilesTest, ThreeParagraphsGiveTwoPlusThreeTimesSevenLines) {
    ASSERT_TRUE(addParagraph(U"Hola"));
    ASSERT_TRUE(addParagraph(U"aH", "a.ffv", true, "2"));
    ASSERT_TRUE(addParagraph(U"lo"));
    ASSERT_TRUE(files.EscribirMensaje(path("t.fmv")));
    auto lines = fileLines("t.fmv");
    EXPECT_EQ(lines.size(), 2u + 3u * 7u);
    EXPECT_EQ(lines[9], "2");
    EXPECT_EQ(lines[14], "#TRUE#");
    EXPECT_EQ(lines[15], "2");
}

TEST_F(MessageFilesTest, ReadingRenumbersAndRecountsWithTheFilesSpaceWidth) {
    WriteBytes(path("r.fmv"),
               Lines({"5", "1", "7", "\"a.ffv\"", "\"Ho la\"", "\"fin_parrafo\"", "999", "#FALSE#",
                      "1", "9", "\"a.ffv\"", "\"Hola\"", "\"fin_parrafo\"", "-4", "#FALSE#", "0"}));
    ASSERT_TRUE(files.LeerMensaje(path("r.fmv")));
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(options.spaceWidthText(), "5");
    EXPECT_EQ(store.SpaceWidth, 5);
    EXPECT_TRUE(options.joinedChecked());
    ASSERT_EQ(store.ParagraphCount, 2);
    EXPECT_EQ(view.paragraphItems(), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(store.paragraph(1).Number, 1);
    EXPECT_EQ(store.paragraph(2).Number, 2);
    EXPECT_EQ(store.paragraph(1).Columns, 7 + 6 + 5 + 5 + 6);  // the space is 5 wide
    EXPECT_EQ(store.paragraph(2).Columns, 6 + 5 + 4 + 5);      // separation 0
    EXPECT_EQ(store.paragraph(2).Separation, 0);
    // Joined: no separating columns in the total.
    EXPECT_EQ(view.capacityLabel(), ParagraphCommands::CapacityText(29 + 20, 2046));
}

TEST_F(MessageFilesTest, AfterReadingParagraphOneIsInTheEditorAndNothingIsModified) {
    ASSERT_TRUE(addParagraph(U"Hola"));
    ASSERT_TRUE(addParagraph(U"aa", "a.ffv", true, "3"));
    store.MessageModified = true;
    roundTrip();
    EXPECT_EQ(view.currentParagraphText(), "1");
    EXPECT_EQ(view.messageText(), U"Hola");
    EXPECT_EQ(view.fontFileText(), "a.ffv");
    EXPECT_EQ(view.separationText(), "1");
    EXPECT_FALSE(view.ignoreChecked());
    EXPECT_FALSE(store.MessageModified);
    EXPECT_TRUE(store.paragraph(2).Ignore);
    EXPECT_EQ(store.paragraph(2).Separation, 3);
    EXPECT_TRUE(view.isEnabled(C::cmdParNuevo));
    EXPECT_TRUE(view.isEnabled(C::menGrabTotal));
    EXPECT_TRUE(view.isEnabled(C::menArchGuardarComo));
}

TEST_F(MessageFilesTest, OnlyExactFalseReadsAsNotIgnored) {
    std::vector<std::string> lines = {"3", "0"};
    for (const char* ignore : {"#TRUE#", "0", "x", "#FALSE#"}) {
        for (const char* l : {"1", "\"a.ffv\"", "\"Hola\"", "\"fin_parrafo\"", "24"}) {
            lines.push_back(l);
        }
        lines.push_back(ignore);
        lines.push_back("1");
    }
    WriteBytes(path("i.fmv"), Lines(lines));
    ASSERT_TRUE(files.LeerMensaje(path("i.fmv")));
    ASSERT_EQ(store.ParagraphCount, 4);
    EXPECT_TRUE(store.paragraph(1).Ignore);
    EXPECT_TRUE(store.paragraph(2).Ignore);
    EXPECT_TRUE(store.paragraph(3).Ignore);
    EXPECT_FALSE(store.paragraph(4).Ignore);
}

TEST_F(MessageFilesTest, SeparationLineIsPutIntoTheBoxAsRead) {
    WriteBytes(path("s.fmv"), Lines({"3", "0", "1", "\"a.ffv\"", "\"Hola\"", "\"fin_parrafo\"", "0",
                                     "#FALSE#", "2.5"}));
    ASSERT_TRUE(files.LeerMensaje(path("s.fmv")));
    EXPECT_EQ(store.paragraph(1).Separation, 2);  // halves to even
    EXPECT_EQ(store.paragraph(1).Columns, 24 + 4);
}

TEST_F(MessageFilesTest, GroupsBeyondFiftyReplaceTheFiftieth) {
    std::vector<std::string> lines = {"3", "0"};
    for (int i = 1; i <= 53; ++i) {
        for (std::string l : {std::to_string(i), std::string("\"a.ffv\""),
                              "\"H" + std::to_string(i) + "\"", std::string("\"fin_parrafo\""),
                              std::string("0"), std::string("#FALSE#"), std::string("1")}) {
            lines.push_back(l);
        }
    }
    WriteBytes(path("big.fmv"), Lines(lines));
    ASSERT_TRUE(files.LeerMensaje(path("big.fmv")));
    EXPECT_EQ(store.ParagraphCount, 50);
    EXPECT_EQ(view.paragraphItemCount(), 50);
    EXPECT_EQ(store.paragraph(49).Text, U"H49");
    EXPECT_EQ(store.paragraph(50).Text, U"H53");
    const std::string limit = "Se alcanzó la cantidad máxima de párrafos permitidos (50)";
    EXPECT_EQ(dialogs.texts(), (std::vector<std::string>{limit, limit, limit}));
}

TEST_F(MessageFilesTest, AnEmptyFileIsRefusedAndTheMessageStays) {
    ASSERT_TRUE(addParagraph(U"Hola"));
    view.setMessageName("actual.fmv");
    store.MessageModified = true;
    WriteBytes(path("vacio.fmv"), "");
    EXPECT_FALSE(files.LeerMensaje(path("vacio.fmv")));
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{"El archivo está vacío."});
    EXPECT_EQ(dialogs.shown[0].title, platform::kApplicationTitle);
    EXPECT_EQ(store.ParagraphCount, 1);
    EXPECT_EQ(store.paragraph(1).Text, U"Hola");
    EXPECT_EQ(view.messageName(), "actual.fmv");
    EXPECT_TRUE(store.MessageModified);
}

TEST_F(MessageFilesTest, AFileThatCannotBeReadIsReportedAndTheMessageStays) {
    ASSERT_TRUE(addParagraph(U"Hola"));
    EXPECT_FALSE(files.LeerMensaje(path("no-existe.fmv")));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text,
              "No se pudo abrir el archivo: No existe el archivo o la carpeta.");
    fs::create_directory(messages / "carpeta.fmv");
    EXPECT_FALSE(files.LeerMensaje(path("carpeta.fmv")));
    EXPECT_EQ(dialogs.shown.back().text,
              "No se pudo abrir el archivo: Es una carpeta, no un archivo.");
    EXPECT_EQ(store.ParagraphCount, 1);
    EXPECT_EQ(view.messageText(), U"Hola");
}

// A file that is not a complete message is refused as a whole: one message saying where, and
// the message being edited, its name, its options and MessageModified exactly as they were.
struct BrokenFileCase {
    const char* name;
    std::string bytes;
    std::string message;
    friend void PrintTo(const BrokenFileCase& c, std::ostream* os) { *os << c.name; }
};

class BrokenFileTest : public MessageFilesTest,
                       public ::testing::WithParamInterface<BrokenFileCase> {};

TEST_P(BrokenFileTest, LeavesTheMessageAsItWas) {
    options.setSpaceWidthText("5");
    store.SpaceWidth = 5;
    options.setJoinedChecked(false);
    ASSERT_TRUE(addParagraph(U"Hola Hola"));
    ASSERT_TRUE(addParagraph(U"Hola\r\nHola", "a.ffv", true, "2"));
    ASSERT_TRUE(files.EscribirMensaje(path("antes.fmv")));
    const std::string before = ReadBytes(path("antes.fmv"));
    view.setMessageName("antes.fmv");
    view.setMessageText(U"Hola cambiado");
    store.MessageModified = true;
    dialogs.clear();

    WriteBytes(path("roto.fmv"), GetParam().bytes);
    EXPECT_FALSE(files.LeerMensaje(path("roto.fmv")));
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{GetParam().message});
    EXPECT_EQ(view.messageName(), "antes.fmv");
    EXPECT_EQ(view.messageText(), U"Hola cambiado");
    EXPECT_TRUE(store.MessageModified);
    EXPECT_EQ(options.spaceWidthText(), "5");
    EXPECT_EQ(store.SpaceWidth, 5);
    EXPECT_FALSE(options.joinedChecked());
    ASSERT_TRUE(files.EscribirMensaje(path("despues.fmv")));
    EXPECT_EQ(ReadBytes(path("despues.fmv")), before);
}

INSTANTIATE_TEST_SUITE_P(
    Files, BrokenFileTest,
    ::testing::Values(
        BrokenFileCase{"Jpeg", std::string("\xFF\xD8\xFF\xE0\0\x10JFIF\0\x01\x01\0\0\x01", 16),
                       "El archivo no es un mensaje completo, línea 1: no es un ancho de espacio "
                       "(un número)."},
        BrokenFileCase{"OptionLinesOnly", "4\r\n1\r\n",
                       "El archivo no es un mensaje completo, línea 3: falta el primer párrafo."},
        BrokenFileCase{"GoodHeaderAndOneCutGroup",
                       Lines({"3", "1", "1", "\"a.ffv\"", "\"Hola\"", "\"fin_parrafo\"", "24",
                              "#FALSE#", "1", "2", "\"a.ffv\"", "\"Hola"}),
                       "El archivo no es un mensaje completo, línea 13: el párrafo 2 está "
                       "cortado."},
        BrokenFileCase{"ShortFontLine",
                       Lines({"3", "0", "1", "\"", "\"Hola\"", "\"fin_parrafo\"", "0", "#FALSE#",
                              "1"}),
                       "El archivo no es un mensaje completo, línea 4: no es un nombre de archivo "
                       "de fuente entre comillas."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MessageFilesTest, AGroupAfterARefusedOneFillsTheParagraphLeftEmpty) {
    WriteBytes(path("hole.fmv"),
               Lines({"3",       "0", "1", "\"a.ffv\"", "\"Hola\"", "\"fin_parrafo\"", "0",
                      "#FALSE#", "1", "2", "\"a.ffv\"", "\"\"",     "\"fin_parrafo\"", "0",
                      "#FALSE#", "1", "3", "\"a.ffv\"", "\"loH\"",  "\"fin_parrafo\"", "0",
                      "#TRUE#",  "1"}));
    ASSERT_TRUE(files.LeerMensaje(path("hole.fmv")));
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{kMsgTextoVacio});
    ASSERT_EQ(store.ParagraphCount, 2);
    EXPECT_EQ(store.paragraph(1).Text, U"Hola");
    EXPECT_EQ(store.paragraph(2).Text, U"loH");
    EXPECT_TRUE(store.paragraph(2).Ignore);
    EXPECT_TRUE(view.isEnabled(C::cmdParNuevo));
}

TEST_F(MessageFilesTest, TheMarkerWordAsAWholeTextRefusesTheSave) {
    WriteBytes(path("m.fmv"), "antes");
    ASSERT_TRUE(addParagraph(U"Hola"));
    ASSERT_TRUE(addParagraph(U"fin_parrafo"));
    store.MessageModified = true;
    EXPECT_FALSE(files.EscribirMensaje(path("m.fmv")));
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{
                                   "El texto fin_parrafo no puede usarse como párrafo completo."});
    EXPECT_EQ(ReadBytes(path("m.fmv")), "antes");
    EXPECT_FALSE(files.EscribirMensaje(path("nuevo.fmv")));
    EXPECT_FALSE(fs::exists(messages / "nuevo.fmv"));
    EXPECT_TRUE(store.MessageModified);
}

TEST_F(MessageFilesTest, TheMarkerWordInsideALongerTextRoundTrips) {
    ASSERT_TRUE(addParagraph(U"fin_parrafo\r\n\"fin_parrafo\""));
    ASSERT_TRUE(addParagraph(U"Hola"));
    roundTrip();
    ASSERT_EQ(store.ParagraphCount, 2);
    EXPECT_EQ(store.paragraph(1).Text, U"fin_parrafo\r\n\"fin_parrafo\"");
    EXPECT_EQ(store.paragraph(2).Text, U"Hola");
}

TEST_F(MessageFilesTest, CharactersOutsideTheCodePageAreReplacedAndToldOnce) {
    ASSERT_TRUE(addParagraph(U"Hola \u263A"));
    ASSERT_TRUE(addParagraph(U"\u2603 Hola \u00F1\u20AC"));
    ASSERT_TRUE(files.EscribirMensaje(path("c.fmv")));
    EXPECT_EQ(dialogs.texts(),
              std::vector<std::string>{
                  "Algunos caracteres no se pueden guardar y se reemplazaron por ?."});
    auto lines = fileLines("c.fmv");
    EXPECT_EQ(lines[4], "\"Hola ?\"");
    EXPECT_EQ(lines[11], "\"? Hola \xF1\x80\"");
    EXPECT_FALSE(store.MessageModified);
    dialogs.clear();
    commands.ClearMessage();
    ASSERT_TRUE(files.LeerMensaje(path("c.fmv")));
    EXPECT_EQ(store.paragraph(2).Text, U"? Hola \u00F1\u20AC");
}

TEST_F(MessageFilesTest, ALineFeedOnlyFileReadsToo) {
    WriteBytes(path("lf.fmv"),
               "3\n0\n1\n\"a.ffv\"\n\"Uno\nDos\"\n\"fin_parrafo\"\n0\n#FALSE#\n1\n");
    ASSERT_TRUE(files.LeerMensaje(path("lf.fmv")));
    EXPECT_TRUE(dialogs.shown.empty());
    ASSERT_EQ(store.ParagraphCount, 1);
    EXPECT_EQ(store.paragraph(1).Text, U"Uno\r\nDos");
}

// A writer whose steps fail as a full disk or a refused rename make them fail.
class FaultyReplacer : public AtomicFileReplacer {
  public:
    enum class Fault { None, WriteAfter5Bytes, Sync, Rename };
    Fault fault = Fault::None;
    bool unnamedFiles = true;  // false: a file system without O_TMPFILE

  protected:
    int OpenUnnamed(const std::string& folder, mode_t mode) override {
        if (unnamedFiles) return AtomicFileReplacer::OpenUnnamed(folder, mode);
        errno = EOPNOTSUPP;
        return -1;
    }
    ssize_t WriteSome(int fd, const char* data, std::size_t size) override {
        if (fault != Fault::WriteAfter5Bytes) return AtomicFileReplacer::WriteSome(fd, data, size);
        if (written_ >= 5) {
            errno = ENOSPC;
            return -1;
        }
        std::size_t n = std::min<std::size_t>(size, 5 - written_);
        written_ += n;
        return AtomicFileReplacer::WriteSome(fd, data, n);
    }
    int SyncFile(int fd) override {
        if (fault == Fault::Sync) {
            errno = EIO;
            return -1;
        }
        return AtomicFileReplacer::SyncFile(fd);
    }
    int RenameFile(const std::string& from, const std::string& to) override {
        if (fault == Fault::Rename) {
            errno = EACCES;
            return -1;
        }
        return AtomicFileReplacer::RenameFile(from, to);
    }

  private:
    std::size_t written_ = 0;
};

class InterruptedSaveTest
    : public ::testing::TestWithParam<std::tuple<FaultyReplacer::Fault, bool>> {
  protected:
    InterruptedSaveTest() { writer.unnamedFiles = std::get<1>(GetParam()); }
    FaultyReplacer writer;
    testing::MessageFixture m{&writer};
};

TEST_P(InterruptedSaveTest, LeavesTheOldFileAndTheModifiedFlag) {
    ASSERT_TRUE(m.addParagraph(U"Hola"));
    ASSERT_TRUE(m.files.EscribirMensaje(m.path("x.fmv")));
    const std::string before = ReadBytes(m.path("x.fmv"));
    ASSERT_EQ(before, kSample);

    ASSERT_TRUE(m.addParagraph(U"aloH"));
    m.store.MessageModified = true;
    writer.fault = std::get<0>(GetParam());
    EXPECT_FALSE(m.files.EscribirMensaje(m.path("x.fmv")));
    EXPECT_EQ(ReadBytes(m.path("x.fmv")), before);
    EXPECT_TRUE(m.store.MessageModified);
    ASSERT_EQ(m.dialogs.shown.size(), 1u);
    EXPECT_EQ(m.dialogs.shown[0].text.rfind("No se pudo guardar el archivo: ", 0), 0u);
    EXPECT_GT(m.dialogs.shown[0].text.size(),
              std::string("No se pudo guardar el archivo: ").size());
    // No temporary file is left behind.
    int files = 0;
    for (auto& e : fs::directory_iterator(m.messages)) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

INSTANTIATE_TEST_SUITE_P(Faults, InterruptedSaveTest,
                         ::testing::Combine(::testing::Values(
                                                FaultyReplacer::Fault::WriteAfter5Bytes,
                                                FaultyReplacer::Fault::Sync,
                                                FaultyReplacer::Fault::Rename),
                                            ::testing::Bool()));

// Hidden temporary files in the message folder.
int HiddenFiles(const fs::path& folder) {
    int n = 0;
    for (const auto& e : fs::directory_iterator(folder)) {
        n += e.path().filename().string().rfind(".letrador-", 0) == 0;
    }
    return n;
}

// A save killed at any moment leaves the old or the new file whole, and no hidden file once
// the next save into the folder is done; with or without unnamed files.
class KilledSaveTest : public ::testing::TestWithParam<bool> {};

TEST_P(KilledSaveTest, LeavesAWholeFileAndNoHiddenFiles) {
    FaultyReplacer writer;
    writer.unnamedFiles = GetParam();
    testing::ScratchFolder scratch;
    const std::string target = (scratch.path() / "m.fmv").string();
    const std::string a(256 << 10, 'a'), b(256 << 10, 'b');
    ASSERT_TRUE(writer.Replace(target, a).ok);
    std::mt19937 rng(5u);
    for (int kill = 0; kill < 20; ++kill) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i) writer.Replace(target, i % 2 ? a : b);
        }
        ::usleep(static_cast<useconds_t>(rng() % 20000));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const std::string now = ReadBytes(target);
        ASSERT_TRUE(now == a || now == b) << "kill " << kill << ": " << now.size() << " bytes";
    }
    ASSERT_TRUE(writer.Replace(target, "fin").ok);
    EXPECT_EQ(HiddenFiles(scratch.path()), 0);
    EXPECT_EQ(ReadBytes(target), "fin");
}

INSTANTIATE_TEST_SUITE_P(Files, KilledSaveTest, ::testing::Bool(),
                         [](const auto& info) {
                             return std::string(info.param ? "Unnamed" : "NamedTemp");
                         });

// Saving through a symbolic link writes the file it leads to; the link stays a link.
TEST_F(MessageFilesTest, ASaveThroughASymbolicLinkReplacesItsTargetAndKeepsTheLink) {
    const fs::path other = scratch.path() / "otros";
    fs::create_directories(other);
    fs::create_symlink("../otros/real.fmv", messages / "relativo.fmv");
    fs::create_symlink(other / "real2.fmv", messages / "absoluto.fmv");
    fs::create_symlink("relativo.fmv", messages / "cadena.fmv");
    fs::create_symlink("../otros/nuevo.fmv", messages / "colgante.fmv");
    const struct {
        const char* link;
        fs::path target;
    } cases[] = {{"relativo.fmv", other / "real.fmv"},
                 {"absoluto.fmv", other / "real2.fmv"},
                 {"cadena.fmv", other / "real.fmv"},
                 {"colgante.fmv", other / "nuevo.fmv"}};
    ASSERT_TRUE(addParagraph(U"Hola"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        if (!fs::exists(c.target) && std::string(c.link) != "colgante.fmv") {
            WriteBytes(c.target, "antes");
        }
        const fs::path linkTarget = fs::read_symlink(messages / c.link);
        ASSERT_TRUE(files.EscribirMensaje(path(c.link)));
        EXPECT_TRUE(fs::is_symlink(messages / c.link));
        EXPECT_EQ(fs::read_symlink(messages / c.link), linkTarget);
        EXPECT_EQ(ReadBytes(c.target), kSample);
        EXPECT_EQ(HiddenFiles(other) + HiddenFiles(messages), 0);
    }
}

TEST_F(MessageFilesTest, FullDiskReasonIsSpanish) {
    // Checked through the real writer's message for the error a full disk gives.
    FaultyReplacer writer;
    writer.fault = FaultyReplacer::Fault::WriteAfter5Bytes;
    testing::MessageFixture m(&writer);
    ASSERT_TRUE(m.addParagraph(U"Hola"));
    EXPECT_FALSE(m.files.EscribirMensaje(m.path("x.fmv")));
    EXPECT_EQ(
        m.dialogs.texts(),
        std::vector<std::string>{"No se pudo guardar el archivo: No queda espacio en el disco."});
    EXPECT_FALSE(fs::exists(m.messages / "x.fmv"));
}

TEST_F(MessageFilesTest, ASaveIntoAMissingFolderFailsWithItsReason) {
    ASSERT_TRUE(addParagraph(U"Hola"));
    store.MessageModified = true;
    EXPECT_FALSE(files.EscribirMensaje((messages / "no-hay" / "x.fmv").string()));
    EXPECT_EQ(dialogs.texts(),
              std::vector<std::string>{
                  "No se pudo guardar el archivo: No existe el archivo o la carpeta."});
    EXPECT_TRUE(store.MessageModified);
}

TEST_F(MessageFilesTest, ASaveOntoAFolderFails) {
    ASSERT_TRUE(addParagraph(U"Hola"));
    fs::create_directory(messages / "d.fmv");
    EXPECT_FALSE(files.EscribirMensaje(path("d.fmv")));
    EXPECT_TRUE(fs::is_directory(messages / "d.fmv"));
    ASSERT_EQ(dialogs.shown.size(), 1u);
}

TEST_F(MessageFilesTest, ASaveIntoAReadOnlyFolderFailsWhenPermissionsApply) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
    ASSERT_TRUE(addParagraph(U"Hola"));
    ASSERT_TRUE(files.EscribirMensaje(path("x.fmv")));
    fs::permissions(messages, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(files.EscribirMensaje(path("x.fmv")));
    fs::permissions(messages, fs::perms::owner_all);
    EXPECT_EQ(ReadBytes(path("x.fmv")), kSample);
}

TEST_F(MessageFilesTest, ReplacingKeepsTheOldFilesPermissions) {
    ASSERT_TRUE(addParagraph(U"Hola"));
    ASSERT_TRUE(files.EscribirMensaje(path("p.fmv")));
    fs::permissions(path("p.fmv"),
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(files.EscribirMensaje(path("p.fmv")));
    EXPECT_EQ(fs::status(path("p.fmv")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

}  // namespace
}  // namespace letrador
