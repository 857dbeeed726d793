// Writing the live message to a file and reading it back through the paragraph commands, and
// saves that fail or are killed half-way.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <random>
#include <tuple>

#include <sys/stat.h>
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

const std::string kSample = Lines({"3", "0", "1", "\"a.ffv\"", "\"Hola\"", "\"fin_parrafo\"", "24", "#FALSE#", "1"});

class MessageFilesTest : public ::testing::Test, public testing::MessageFixture {};

TEST_F(MessageFilesTest, TheNineLineSampleByteForByteWithTheOptionLines) {
    ASSERT_TRUE(addParagraph(U"Hola"));
    store.MessageModified = true;
    options.setSpaceWidthText("4.5abc");
    options.setJoinedChecked(true);
    ASSERT_TRUE(files.EscribirMensaje(path("hola.fmv")));
    EXPECT_EQ(ReadBytes(path("hola.fmv")), "4.5\r\n1\r\n" + kSample.substr(6));
    EXPECT_FALSE(store.MessageModified);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(MessageFilesTest, TextsComeBackAsTheyWereWritten) {
    const std::u32string texts[] = {U"di \"a", U"\"\"Hola", U"Uno\r\nDos", U"fin_parrafo\r\n\"fin_parrafo\"",
                                    U"Hola", U"<4>Año €"};
    for (const auto& t : texts) ASSERT_TRUE(addParagraph(t));
    ASSERT_TRUE(addParagraph(U"aH", "a.ffv", true, "3"));
    store.MessageModified = true;
    ASSERT_TRUE(files.EscribirMensaje(path("m.fmv")));
    commands.ClearMessage();
    ASSERT_TRUE(files.LeerMensaje(path("m.fmv")));
    EXPECT_TRUE(dialogs.shown.empty());
    ASSERT_EQ(store.ParagraphCount, 7);
    for (int k = 1; k <= 6; ++k) EXPECT_EQ(store.paragraph(k).Text, texts[k - 1]) << k;
    EXPECT_TRUE(store.paragraph(7).Ignore);
    EXPECT_EQ(store.paragraph(7).Separation, 3);
    // Paragraph 1 is in the editor and nothing is modified.
    EXPECT_EQ(view.currentParagraphText(), "1");
    EXPECT_EQ(view.messageText(), U"di \"a");
    EXPECT_EQ(view.fontFileText(), "a.ffv");
    EXPECT_EQ(view.separationText(), "1");
    EXPECT_FALSE(view.ignoreChecked());
    EXPECT_FALSE(store.MessageModified);
    for (C c : {C::cmdParNuevo, C::menGrabTotal, C::menArchGuardarComo}) EXPECT_TRUE(view.isEnabled(c));
}

// An empty paragraph never saved is written; read back, "Guardar párrafo" refuses its group and
// the next group fills the paragraph left empty.
TEST_F(MessageFilesTest, AnEmptyParagraphIsWrittenAndTheGroupAfterItFillsIt) {
    ASSERT_TRUE(addParagraph(U"Hola"));
    commands.cmdParNuevo_Click();
    ASSERT_TRUE(files.EscribirMensaje(path("e.fmv")));
    const std::string empty = Lines({"2", "\"\"", "\"\"", "\"fin_parrafo\"", "0", "#FALSE#", "1"});
    ASSERT_EQ(ReadBytes(path("e.fmv")), kSample + empty);
    WriteBytes(path("e.fmv"), kSample + empty + Lines({"3", "\"a.ffv\"", "\"loH\"", "\"fin_parrafo\"", "0", "#TRUE#", "1"}));
    commands.ClearMessage();
    ASSERT_TRUE(files.LeerMensaje(path("e.fmv")));
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{kMsgTextoVacio});
    ASSERT_EQ(store.ParagraphCount, 2);
    EXPECT_EQ(store.paragraph(1).Text, U"Hola");
    EXPECT_EQ(store.paragraph(2).Text, U"loH");
    EXPECT_TRUE(store.paragraph(2).Ignore);
    EXPECT_TRUE(view.isEnabled(C::cmdParNuevo));
}

TEST_F(MessageFilesTest, ReadingRenumbersAndRecountsWithTheFilesOptions) {
    WriteBytes(path("r.fmv"), Lines({"5", "1", "7", "\"a.ffv\"", "\"Ho la\"", "\"fin_parrafo\"", "999", "#FALSE#",
                                     "1", "9", "\"a.ffv\"", "\"Hola\"", "\"fin_parrafo\"", "-4", "#FALSE#", "0",
                                     "9", "\"a.ffv\"", "\"Hola\"", "\"fin_parrafo\"", "0", "#FALSE#", "2.5"}));
    ASSERT_TRUE(files.LeerMensaje(path("r.fmv")));
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(options.spaceWidthText(), "5");
    EXPECT_EQ(store.SpaceWidth, 5);
    EXPECT_TRUE(options.joinedChecked());
    ASSERT_EQ(store.ParagraphCount, 3);
    EXPECT_EQ(view.paragraphItems(), (std::vector<std::string>{"1", "2", "3"}));
    for (int k = 1; k <= 3; ++k) EXPECT_EQ(store.paragraph(k).Number, k);
    EXPECT_EQ(store.paragraph(1).Columns, 7 + 6 + 5 + 5 + 6);  // the space is 5 wide
    EXPECT_EQ(store.paragraph(2).Columns, 6 + 5 + 4 + 5);      // separation 0
    EXPECT_EQ(store.paragraph(3).Separation, 2);                // 2.5 halves to even
    EXPECT_EQ(store.paragraph(3).Columns, 24 + 4);
    // Joined: no separating columns in the total.
    EXPECT_EQ(view.capacityLabel(), ParagraphCommands::CapacityText(29 + 20 + 28, 2046));
}

TEST_F(MessageFilesTest, GroupsBeyondFiftyReplaceTheFiftieth) {
    std::string f = "3\r\n0\r\n";
    for (int i = 1; i <= 53; ++i)
        f += Lines({"1", "\"a.ffv\"", "\"H" + std::to_string(i) + "\"", "\"fin_parrafo\"", "0", "#FALSE#", "1"});
    WriteBytes(path("big.fmv"), f);
    ASSERT_TRUE(files.LeerMensaje(path("big.fmv")));
    EXPECT_EQ(store.ParagraphCount, 50);
    EXPECT_EQ(view.paragraphItemCount(), 50);
    EXPECT_EQ(store.paragraph(49).Text, U"H49");
    EXPECT_EQ(store.paragraph(50).Text, U"H53");
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>(3, "Se alcanzó la cantidad máxima de párrafos permitidos (50)"));
}

// A file that is not a complete message (or cannot be read) is refused as a whole: one message,
// and the message being edited, its name, its options and MessageModified exactly as they were.
TEST_F(MessageFilesTest, ABrokenFileLeavesTheMessageAsItWas) {
    options.setSpaceWidthText("5");
    store.SpaceWidth = 5;
    ASSERT_TRUE(addParagraph(U"Hola Hola"));
    ASSERT_TRUE(addParagraph(U"Hola\r\nHola", "a.ffv", true, "2"));
    ASSERT_TRUE(files.EscribirMensaje(path("antes.fmv")));
    const std::string before = ReadBytes(path("antes.fmv"));
    fs::create_directory(messages / "carpeta.fmv");
    const std::string broken = "El archivo no es un mensaje completo, línea ";
    const struct {
        const char* name;
        std::string bytes, message;
    } cases[] = {
        {"foto.fmv", std::string("\xFF\xD8\xFF\xE0\0\x10JFIF\0\x01\x01\0\0\x01", 16),
         broken + "2: falta la opción Párrafos unidos."},
        {"logo.fmv", ReadBytes(fs::path(LETRADOR_SOURCE_DIR) / "data" / "ayuda" / "Archivos" / "logo.jpg"),
         broken + "12: el párrafo 1 está cortado."},
        {"opciones.fmv", "4\r\n1\r\n", broken + "3: falta el primer párrafo."},
        {"cortado.fmv", Lines({"3", "1", "1", "\"a.ffv\"", "\"Hola\"", "\"fin_parrafo\"", "24", "#FALSE#", "1", "2",
                               "\"a.ffv\"", "\"Hola"}),
         broken + "13: el párrafo 2 está cortado."},
        {"fuente.fmv", Lines({"3", "0", "1", "\"", "\"Hola\"", "\"fin_parrafo\"", "0", "#FALSE#", "1"}),
         broken + "4: no es un nombre de archivo de fuente entre comillas."},
        {"vacio.fmv", "", "El archivo está vacío."},
        {"no-existe.fmv", "", "No se pudo abrir el archivo: No existe el archivo o la carpeta."},
        {"carpeta.fmv", "", "No se pudo abrir el archivo: Es una carpeta, no un archivo."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        view.setMessageName("antes.fmv");
        view.setMessageText(U"Hola cambiado");
        store.MessageModified = true;
        options.setJoinedChecked(false);
        dialogs.clear();
        if (!fs::exists(path(c.name)) && std::string(c.name) != "no-existe.fmv") WriteBytes(path(c.name), c.bytes);
        EXPECT_FALSE(files.LeerMensaje(path(c.name)));
        ASSERT_EQ(dialogs.texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(dialogs.shown[0].title, platform::kApplicationTitle);
        EXPECT_EQ(view.messageName(), "antes.fmv");
        EXPECT_EQ(view.messageText(), U"Hola cambiado");
        EXPECT_TRUE(store.MessageModified);
        EXPECT_EQ(options.spaceWidthText(), "5");
        EXPECT_EQ(store.SpaceWidth, 5);
        EXPECT_FALSE(options.joinedChecked());
        ASSERT_TRUE(files.EscribirMensaje(path("despues.fmv")));
        EXPECT_EQ(ReadBytes(path("despues.fmv")), before);
    }
}

// Every line is read as the layout reads it: a value line by the number it starts with (none
// gives 0), a string without its first and last character whatever they are, and a font name as
// it stands, one that could lead out of the font folder drawing nothing.
TEST_F(MessageFilesTest, LinesAreReadAsTheLayoutReadsThem) {
    const std::string q = "\"", m = "\"fin_parrafo\"";
    const struct {
        std::vector<std::string> lines;
        Int16 spaceWidth;
        bool joined;
        std::string font;
        std::u32string text;
        Int16 separation, columns;
    } cases[] = {
        {{"x", "0", "1", "\"a.ffv\"", "\"Hola\"", m, "24", "#FALSE#", "1"}, 0, false, "a.ffv", U"Hola", 1, 24},
        {{"", "0", "1", "\"a.ffv\"", "\"Hola\"", m, "24", "#FALSE#", "1"}, 0, false, "a.ffv", U"Hola", 1, 24},
        {{"3abc", "x", "1", "\"a.ffv\"", "\"Hola\"", m, "24", "#FALSE#", "1"}, 3, false, "a.ffv", U"Hola", 1, 24},
        {{"3 columnas", "", "1", "\"a.ffv\"", "\"Hola\"", m, "", "#FALSE#", "0"}, 3, false, "a.ffv", U"Hola", 0, 20},
        {{"1e1", "1.0", "uno", "\"a.ffv\"", "\"Hola\"", m, "x", "#FALSE#", "2 columnas"}, 1, true, "a.ffv", U"Hola", 2, 28},
        {{"3", "0", "1", "xa.ffvx", "xHolax", m, "24", "#FALSE#", "x"}, 3, false, "a.ffv", U"Hola", 0, 20},
        {{"3", "0", "1", "\"a.ffv\"", "Uno", "Dos", m, "0", "#FALSE#", "1"}, 3, false, "a.ffv", U"no\r\nDo", 1, 12},
        {{"3", "0", "1", "\"../tipografias/a.ffv\"", "\"Hola\"", m, "24", "#FALSE#", "1"}, 3, false,
         "../tipografias/a.ffv", U"Hola", 1, 0},
        {{"3", "0", "1", q + std::string("a.ffv\0", 6) + q, "\"Hola Hola\"", m, "24", "#FALSE#", "1"}, 3, false,
         std::string("a.ffv\0", 6), U"Hola Hola", 1, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines[0] + " | " + c.lines[3]);
        WriteBytes(path("l.fmv"), Lines(c.lines));
        dialogs.clear();
        ASSERT_TRUE(files.LeerMensaje(path("l.fmv")));
        EXPECT_TRUE(dialogs.shown.empty());
        EXPECT_EQ(options.spaceWidthText(), c.lines[0]);
        EXPECT_EQ(store.SpaceWidth, c.spaceWidth);
        EXPECT_EQ(options.joinedChecked(), c.joined);
        ASSERT_EQ(store.ParagraphCount, 1);
        const ParagraphRecord& r = store.paragraph(1);
        EXPECT_EQ(r.FontFile, c.font);
        EXPECT_EQ(r.Text, c.text);
        EXPECT_EQ(r.Separation, c.separation);
        EXPECT_EQ(r.Columns, c.columns);
    }
}

TEST_F(MessageFilesTest, TheMarkerWordAsAWholeTextRefusesTheSave) {
    WriteBytes(path("m.fmv"), "antes");
    ASSERT_TRUE(addParagraph(U"Hola"));
    ASSERT_TRUE(addParagraph(U"fin_parrafo"));
    store.MessageModified = true;
    EXPECT_FALSE(files.EscribirMensaje(path("m.fmv")));
    EXPECT_EQ(dialogs.texts(),
              std::vector<std::string>{"El texto fin_parrafo no puede usarse como párrafo completo."});
    EXPECT_EQ(ReadBytes(path("m.fmv")), "antes");
    EXPECT_FALSE(files.EscribirMensaje(path("nuevo.fmv")));
    EXPECT_FALSE(fs::exists(messages / "nuevo.fmv"));
    EXPECT_TRUE(store.MessageModified);
}

TEST_F(MessageFilesTest, CharactersOutsideTheCodePageAreReplacedAndNamedWithTheirParagraphs) {
    ASSERT_TRUE(addParagraph(U"Hola \u263A"));
    ASSERT_TRUE(addParagraph(U"Hola \u00F1\u20AC"));
    ASSERT_TRUE(addParagraph(U"\u2603 Hola \u2192\u2603"));
    ASSERT_TRUE(files.EscribirMensaje(path("c.fmv")));
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{"Algunos caracteres no se pueden guardar y se reemplazaron "
                                                        "por ?:\r\nPárrafo 1: ☺\r\nPárrafo 3: ☃ →"});
    EXPECT_FALSE(store.MessageModified);
    commands.ClearMessage();
    ASSERT_TRUE(files.LeerMensaje(path("c.fmv")));
    EXPECT_EQ(store.paragraph(1).Text, U"Hola ?");
    EXPECT_EQ(store.paragraph(2).Text, U"Hola \u00F1\u20AC");
    EXPECT_EQ(store.paragraph(3).Text, U"? Hola ??");
}

// A writer whose steps fail as a full disk or a refused rename make them fail.
class FaultyReplacer : public AtomicFileReplacer {
  public:
    // DiskFull: a write that would make a file grow fails.
    enum class Fault { None, WriteAfter5Bytes, WriteNothing, Sync, Rename, DiskFull };
    Fault fault = Fault::None;
    bool unnamedFiles = true;  // false: a file system without O_TMPFILE
    bool folderTakesFiles = true;  // false: a folder without write permission

  protected:
    int OpenUnnamed(const std::string& folder, mode_t mode) override {
        if (!folderTakesFiles) return Fail(EACCES);
        return unnamedFiles ? AtomicFileReplacer::OpenUnnamed(folder, mode) : Fail(EOPNOTSUPP);
    }
    int OpenNamed(std::string& pattern) override {
        return folderTakesFiles ? AtomicFileReplacer::OpenNamed(pattern) : Fail(EACCES);
    }
    ssize_t WriteSome(int fd, const char* data, std::size_t size) override {
        if (fault == Fault::DiskFull) {
            struct stat info {};
            const off_t at = ::lseek(fd, 0, SEEK_CUR);
            if (::fstat(fd, &info) != 0 || at < 0) return -1;
            if (at >= info.st_size) return Fail(ENOSPC);
            return AtomicFileReplacer::WriteSome(fd, data, std::min<std::size_t>(size, static_cast<std::size_t>(info.st_size - at)));
        }
        if (fault != Fault::WriteAfter5Bytes && fault != Fault::WriteNothing)
            return AtomicFileReplacer::WriteSome(fd, data, size);
        if (written_ >= 5) {
            errno = fault == Fault::WriteNothing ? 0 : ENOSPC;  // no progress leaves errno as it was
            return fault == Fault::WriteNothing ? 0 : -1;
        }
        std::size_t n = std::min<std::size_t>(size, 5 - written_);
        written_ += n;
        return AtomicFileReplacer::WriteSome(fd, data, n);
    }
    int SyncFile(int fd) override { return fault == Fault::Sync ? Fail(EIO) : AtomicFileReplacer::SyncFile(fd); }
    int RenameFile(const std::string& from, const std::string& to) override {
        return fault == Fault::Rename ? Fail(EACCES) : AtomicFileReplacer::RenameFile(from, to);
    }
    static int Fail(int error) {
        errno = error;
        return -1;
    }

  private:
    std::size_t written_ = 0;
};

int HiddenFiles(const fs::path& folder) {
    int n = 0;
    for (const auto& e : fs::directory_iterator(folder)) n += e.path().filename().string().rfind(".letrador-", 0) == 0;
    return n;
}

class InterruptedSaveTest : public ::testing::TestWithParam<std::tuple<FaultyReplacer::Fault, bool>> {
  protected:
    InterruptedSaveTest() { writer.unnamedFiles = std::get<1>(GetParam()); }
    FaultyReplacer writer;
    testing::MessageFixture m{&writer};
};

TEST_P(InterruptedSaveTest, LeavesTheOldFileTheModifiedFlagAndNoTemporaryFile) {
    const FaultyReplacer::Fault fault = std::get<0>(GetParam());
    ASSERT_TRUE(m.addParagraph(U"Hola"));
    ASSERT_TRUE(m.files.EscribirMensaje(m.path("x.fmv")));
    ASSERT_EQ(ReadBytes(m.path("x.fmv")), kSample);
    ASSERT_TRUE(m.addParagraph(U"aloH"));
    m.store.MessageModified = true;
    writer.fault = fault;
    for (const char* name : {"x.fmv", "nuevo.fmv"}) {
        m.dialogs.clear();
        EXPECT_FALSE(m.files.EscribirMensaje(m.path(name)));
        const char* why = fault == FaultyReplacer::Fault::Sync     ? "Error de entrada/salida."
                          : fault == FaultyReplacer::Fault::Rename ? "Permiso denegado."
                                                                   : "No queda espacio en el disco.";
        EXPECT_EQ(m.dialogs.texts(), std::vector<std::string>{std::string(kMsgNoSeGuardo) + why});
    }
    EXPECT_EQ(ReadBytes(m.path("x.fmv")), kSample);
    EXPECT_TRUE(m.store.MessageModified);
    EXPECT_EQ(std::distance(fs::directory_iterator(m.messages), fs::directory_iterator()), 1);
}

INSTANTIATE_TEST_SUITE_P(Faults, InterruptedSaveTest,
                         ::testing::Combine(::testing::Values(FaultyReplacer::Fault::WriteAfter5Bytes,
                                                              FaultyReplacer::Fault::WriteNothing,
                                                              FaultyReplacer::Fault::Sync, FaultyReplacer::Fault::Rename),
                                            ::testing::Bool()));

// A save killed at any moment leaves the old or the new file whole, and no hidden file once the
// next save into the folder is done; with or without unnamed files.
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
        if (child == 0)
            for (int i = 0;; ++i) writer.Replace(target, i % 2 ? a : b);
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
                         [](const auto& info) { return std::string(info.param ? "Unnamed" : "NamedTemp"); });

// A folder that takes no new file (one the user may not write in) holding a file the user may
// write: the file is written in place, and keeps its old bytes when that write fails.
TEST(InPlaceSaveTest, WritesTheFileItselfAndPutsTheOldBytesBackWhenThatFails) {
    using F = FaultyReplacer::Fault;
    FaultyReplacer writer;
    writer.folderTakesFiles = false;
    testing::ScratchFolder scratch;
    const fs::path target = scratch.path() / "m.fmv";
    WriteBytes(target, "antes");
    struct stat before {};
    ASSERT_EQ(::stat(target.c_str(), &before), 0);
    const struct {
        std::string bytes;
        F fault;
        std::string reason;  // "" when the save succeeds
        std::string after;
    } cases[] = {
        {"un contenido nuevo y más largo", F::None, "", "un contenido nuevo y más largo"},
        {"corto", F::None, "", "corto"},
        {"un contenido que ya no cabe en el disco", F::DiskFull, "No queda espacio en el disco.", "corto"},
        {"otro", F::Sync, "Error de entrada/salida.", "corto"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        writer.fault = c.fault;
        const FileResult r = writer.Replace(target.string(), c.bytes);
        EXPECT_EQ(r.ok, c.reason.empty());
        EXPECT_EQ(r.reason, c.reason);
        EXPECT_EQ(ReadBytes(target), c.after);
    }
    struct stat after {};
    ASSERT_EQ(::stat(target.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(HiddenFiles(scratch.path()), 0);
    // A new file in such a folder cannot be made at all.
    writer.fault = F::None;
    const FileResult r = writer.Replace((scratch.path() / "nuevo.fmv").string(), "x");
    EXPECT_EQ(r.reason, "Permiso denegado.");
    EXPECT_FALSE(fs::exists(scratch.path() / "nuevo.fmv"));
}

// Saving through a symbolic link writes the file it leads to; the link stays a link.
TEST_F(MessageFilesTest, ASaveThroughASymbolicLinkReplacesItsTargetAndKeepsTheLink) {
    const fs::path other = scratch.path() / "otros";
    fs::create_directories(other);
    WriteBytes(other / "real.fmv", "antes");
    const struct {
        const char* link;
        fs::path to, target;
    } cases[] = {{"relativo.fmv", "../otros/real.fmv", other / "real.fmv"},
                 {"absoluto.fmv", other / "real2.fmv", other / "real2.fmv"},
                 {"cadena.fmv", "relativo.fmv", other / "real.fmv"},
                 {"colgante.fmv", "../otros/nuevo.fmv", other / "nuevo.fmv"}};
    ASSERT_TRUE(addParagraph(U"Hola"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        fs::create_symlink(c.to, messages / c.link);
        ASSERT_TRUE(files.EscribirMensaje(path(c.link)));
        EXPECT_EQ(fs::read_symlink(messages / c.link), c.to);
        EXPECT_EQ(ReadBytes(c.target), kSample);
        EXPECT_EQ(HiddenFiles(other) + HiddenFiles(messages), 0);
        WriteBytes(c.target, "antes");
    }
}

TEST_F(MessageFilesTest, ASaveWhereNoFileCanBeFailsWithItsReasonAndPermissionsAreKept) {
    ASSERT_TRUE(addParagraph(U"Hola"));
    store.MessageModified = true;
    fs::create_directory(messages / "d.fmv");
    const std::pair<fs::path, std::string> cases[] = {
        {messages / "no-hay" / "x.fmv", "No existe el archivo o la carpeta."},
        {messages / "d.fmv", "Es una carpeta, no un archivo."}};
    for (const auto& [target, why] : cases) {
        dialogs.clear();
        EXPECT_FALSE(files.EscribirMensaje(target.string()));
        EXPECT_EQ(dialogs.texts(), std::vector<std::string>{std::string(kMsgNoSeGuardo) + why});
        EXPECT_TRUE(store.MessageModified);
    }
    EXPECT_TRUE(fs::is_directory(messages / "d.fmv"));
    const auto perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    ASSERT_TRUE(files.EscribirMensaje(path("p.fmv")));
    fs::permissions(path("p.fmv"), perms);
    ASSERT_TRUE(files.EscribirMensaje(path("p.fmv")));
    EXPECT_EQ(fs::status(path("p.fmv")).permissions(), perms);
}

}  // namespace
}  // namespace letrador
