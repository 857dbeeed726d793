// Message files: the Windows-1252 text and the numbers they are made of, the live message written
// byte for byte and read back through the paragraph commands, files that are not a message (every
// cut of the shipped examples, thousands of damaged ones), saves that fail or are killed; and the
// "&Mensaje" menu's commands with the chooser frmArchivo they drive.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "files/file_commands.h"
#include "files/frm_archivo.h"
#include "files/message_files.h"
#include "files/message_folder.h"
#include "message/codepage.h"
#include "message/paragraph_commands.h"
#include "message/plain_editor_view.h"
#include "platform/scripted_dialogs.h"
#include "settings/plain_options_view.h"
#include "tests/support/sample_font.h"

namespace letrador::testing {
namespace {

namespace fs = std::filesystem;
using C = EditorControl;

inline std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
// A new file each time: a file cut to nothing and written again is flushed to the disk on close.
inline void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::error_code ec;
    fs::remove(path, ec);
    std::ofstream(path, std::ios::binary) << bytes;
}
inline std::string Lines(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\r\n";
    return s;
}
// The file of one paragraph `text` in a.ffv, as the program writes it with the default options.
inline std::string Sample(const std::string& text = "Hola") {
    return Lines({"3", "0", "1", "\"a.ffv\"", "\"" + text + "\"", "\"fin_parrafo\"", "24", "#FALSE#", "1"});
}

// Keeps what a save would write instead of writing it, for tests that save thousands of times.
// A base listed before MessageFixture, so that it exists before the fixture uses it.
struct InMemorySaves : FileReplacer {
    FileResult Replace(const std::string&, std::string_view bytes) override {
        saved = std::string(bytes);
        return {};
    }
    std::string saved;
};

// The room's rig: a message edited without a window, over a scratch work folder holding the font
// a.ffv (in which «Hola» counts 24 columns at separation 1) and an empty message folder.
class MessageFixture {
  public:
    explicit MessageFixture(FileReplacer* writer = nullptr)
        : view(store), commands(store, view, dialogs, [this] { return options.joinedChecked(); }),
          files(store, view, options, commands, dialogs, writer) {
        for (const fs::path& folder : {fonts, messages}) fs::create_directories(folder);
        store.FontFolder = fonts.string();
        store.MessageFolder = messages.string();
        // H 6, o 5, l 4, a 5 columns wide.
        WriteFont(fonts / "a.ffv", {{"H", {0x7F, 0x08, 0x08, 0x08, 0x08, 0x7F}}, {"o", {0x38, 0x44, 0x44, 0x44, 0x38}},
                                    {"l", {0x01, 0x7F, 0x40, 0x40}}, {"a", {0x20, 0x54, 0x54, 0x54, 0x78}}});
        commands.DisableEditing();
    }
    // A new paragraph as the operator makes it: "Nuevo Párrafo", the boxes, "Guardar párrafo".
    bool addParagraph(const std::u32string& text, const std::string& font = "a.ffv", bool ignore = false,
                      const std::string& separation = "1") {
        commands.cmdParNuevo_Click();
        view.setMessageText(text);
        view.setFontFileText(font);
        view.setIgnoreChecked(ignore);
        view.setSeparationText(separation);
        return commands.cmdParGuardar_Click();
    }
    std::string path(const std::string& name) const { return (messages / name).string(); }

    ScratchFolder scratch;
    fs::path fonts = scratch.path() / "tipografias", messages = scratch.path() / "mensajes";
    ParagraphStore store;
    PlainEditorView view;
    platform::ScriptedDialogs dialogs;
    PlainOptionsView options;
    ParagraphCommands commands;
    MessageFiles files;
};

const std::string kSample = Sample(), kMarker = "\"fin_parrafo\"";

TEST(Codepage, EveryByteIsItsWindows1252CharacterAndUtf8KeepsEveryCharacter) {
    const std::u32string high = U"\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u008D"
                                U"\u017D\u008F\u0090\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A"
                                U"\u0153\u009D\u017E\u0178";
    std::string bytes;
    std::u32string chars;
    for (int b = 0; b < 256; ++b) {
        bytes += static_cast<char>(b);
        chars += b >= 0x80 && b < 0xA0 ? high[b - 0x80] : static_cast<char32_t>(b);
    }
    EXPECT_EQ(FromCp1252(bytes), chars);
    bool lossy = true;
    EXPECT_EQ(ToCp1252(chars, &lossy), bytes);
    EXPECT_FALSE(lossy);
    EXPECT_EQ(ToCp1252(U"a\u0080\u0141b", &lossy), "a??b");
    EXPECT_TRUE(lossy);
    // Each UTF-8 length at its edges; a stray or cut byte stays as the character of its value.
    const std::u32string edges = U"\u007F\u0080\u07FF\u0800\uFFFF\U00010000\U0010FFFF";
    const std::string utf8 = "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF";
    EXPECT_EQ(ToUtf8(edges), utf8);
    EXPECT_EQ(FromUtf8(utf8), edges);
    EXPECT_EQ(FromUtf8("a\xFF" "b\xC3x\xC3"), U"a\u00FFb\u00C3x\u00C3");
}

class MessageFilesTest : public ::testing::Test, public MessageFixture {};

// The option lines hold the boxes' numbers in plain digits; a text's quotes are doubled and its
// line breaks kept; names and texts are Windows-1252.
TEST_F(MessageFilesTest, TheFileIsWrittenByteForByte) {
    ASSERT_TRUE(addParagraph(U"Hola"));
    ASSERT_TRUE(addParagraph(U"A\u00F1o \"x\"\r\nDos", "\u00F1.ffv", true, "0"));
    commands.cmdParNuevo_Click();  // a paragraph never saved is written too
    const std::string second = Lines({"2", "\"\xF1.ffv\"", "\"A\xF1o \"\"x\"\"", "Dos\"", kMarker, "3", "#TRUE#", "0",
                                      "3", "\"\"", "\"\"", kMarker, "0", "#FALSE#", "1"});
    const std::pair<const char*, std::string> widths[] = {  // the space width typed, the option lines
        {"4.5abc", "4.5\r\n1"}, {"", "0\r\n0"}, {" \t90.09x", "90.09\r\n0"}, {"-2.5", "-2.5\r\n0"}, {".5", "0.5\r\n0"},
        {"abc", "0\r\n0"}, {"100000000000000000000", "100000000000000000000\r\n0"}, {"0.000025", "0.000025\r\n0"},
        {"-0.0000000000000000000000000000001", "0\r\n0"}, {"3.0", "3\r\n1"}};
    for (const auto& [typed, lines] : widths) {
        options.setSpaceWidthText(typed);
        options.setJoinedChecked(lines.back() == '1');
        store.MessageModified = true;
        ASSERT_TRUE(files.EscribirMensaje(path("m.fmv")));
        EXPECT_EQ(ReadBytes(path("m.fmv")), lines + "\r\n" + kSample.substr(6) + second) << typed;
        EXPECT_FALSE(store.MessageModified);
    }
    EXPECT_TRUE(dialogs.shown.empty());
    const std::string written = ReadBytes(path("m.fmv"));  // read back, it is written again the same
    ASSERT_TRUE(files.LeerMensaje(path("m.fmv")));
    ASSERT_TRUE(files.EscribirMensaje(path("m.fmv")));
    EXPECT_EQ(ReadBytes(path("m.fmv")), written);
}

// Each group goes through "Nuevo Párrafo" and "Guardar párrafo": an empty one is refused and the
// next fills the paragraph it left; beyond fifty, each replaces the fiftieth.
TEST_F(MessageFilesTest, GroupsTheParagraphCommandsRefuseOrCannotAdd) {
    std::string f = kSample + Lines({"2", "\"\"", "\"\"", kMarker, "0", "#FALSE#", "1"});
    for (int i = 2; i <= 53; ++i)
        f += Lines({"1", "\"a.ffv\"", "\"H" + std::to_string(i) + "\"", kMarker, "0", i == 2 ? "#TRUE#" : "#FALSE#", "1"});
    WriteBytes(path("big.fmv"), f);
    ASSERT_TRUE(files.LeerMensaje(path("big.fmv")));
    const std::string fifty = "Se alcanzó la cantidad máxima de párrafos permitidos (50)";
    EXPECT_EQ(dialogs.texts(), (std::vector<std::string>{kMsgTextoVacio, fifty, fifty, fifty}));
    EXPECT_EQ(view.paragraphItemCount(), 50);
    EXPECT_EQ(store.paragraph(1).Text + store.paragraph(2).Text + store.paragraph(49).Text + store.paragraph(50).Text,
              U"HolaH2H49H53");
    EXPECT_TRUE(store.paragraph(2).Ignore);
    // Paragraph 1 is in the editor, nothing is modified, and the message can be recorded.
    EXPECT_EQ(view.currentParagraphText() + ToUtf8(view.messageText()) + view.fontFileText() + view.separationText(), "1Holaa.ffv1");
    EXPECT_FALSE(view.ignoreChecked() || store.MessageModified);
    for (C c : {C::cmdParNuevo, C::menGrabTotal, C::menArchGuardarComo}) EXPECT_TRUE(view.isEnabled(c));
}

// Every line is read as the layout reads it: a value line by the number it starts with (none
// gives 0), a string without its first and last character whatever they are and its quote pairs
// undoubled, only an exact #FALSE# as not ignored, a lone LF as a line end, and a font name as it
// stands, one that could lead out of the font folder drawing nothing.
TEST_F(MessageFilesTest, LinesAreReadAsTheLayoutReadsThem) {
    const std::string m = kMarker, f = "#FALSE#", a = "\"a.ffv\"", h = "\"Hola\"";
    const struct {  // the file's lines, then what is read
        std::vector<std::string> lines;
        Int16 spaceWidth;
        bool joined;
        std::string font;
        std::u32string text;
        Int16 separation, columns;
        bool ignore = false;
    } cases[] = {
        {{"x", "0", "1", a, h, m, "24", "#false#", "1"}, 0, false, "a.ffv", U"Hola", 1, 24, true},
        {{"", "0", "1", a, h, m, "24", f, "1"}, 0, false, "a.ffv", U"Hola", 1, 24},
        {{"3abc", "x", "1", a, h, m, "24", f, "1"}, 3, false, "a.ffv", U"Hola", 1, 24},
        {{"3 columnas", "", "1", a, h, m, "", f, "0"}, 3, false, "a.ffv", U"Hola", 0, 20},
        {{"1e1", "1.0", "uno", a, h, m, "x", f, "2.5 columnas"}, 1, true, "a.ffv", U"Hola", 2, 28},
        {{"3\n0", "1", "xa.ffvx", "xHo\rlax", m, "24", f, "x"}, 3, false, "a.ffv", U"Ho\rla", 0, 20},
        {{"3", "0", "1", a, "Uno", "Dos", m, "0", f, "1"}, 3, false, "a.ffv", U"no\r\nDo", 1, 12},
        {{"3", "0", "1", a, "\"\"di \"a\"\"\"\"b\"", m, "0", f, "1"}, 3, false, "a.ffv", U"\"di \"a\"\"b", 1, 9},
        {{"3", "0", "1", a, m, "9", f, "1"}, 3, false, "a.ffv", U"fin_parrafo", 1, 18},
        {{"3", "0", "1", "\"../tipografias/a.ffv\"", h, m, "24", f, "1"}, 3, false, "../tipografias/a.ffv", U"Hola", 1, 0},
        {{"5", "0", "1", "\"" + std::string("a.ffv\0", 6) + "\"", "\"Hola Hola\"", m, "24", f, "1"}, 5, false,
         std::string("a.ffv\0", 6), U"Hola Hola", 1, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines[0] + " | " + c.lines[3]);
        WriteBytes(path("l.fmv"), Lines(c.lines));
        dialogs.clear();
        ASSERT_TRUE(files.LeerMensaje(path("l.fmv")));
        EXPECT_TRUE(dialogs.shown.empty());
        EXPECT_EQ(options.spaceWidthText(), c.lines[0].substr(0, c.lines[0].find('\n')));
        EXPECT_EQ(store.SpaceWidth, c.spaceWidth);
        EXPECT_EQ(options.joinedChecked(), c.joined);
        ASSERT_EQ(store.ParagraphCount, 1);
        const ParagraphRecord& r = store.paragraph(1);
        EXPECT_EQ(r.FontFile, c.font);
        EXPECT_EQ(r.Text, c.text);
        EXPECT_EQ(std::tuple(r.Separation, r.Columns, r.Ignore), std::tuple(c.separation, c.columns, c.ignore));
    }
}

// A text that is the end marker itself refuses the whole save; characters outside the code page
// are saved as ? and named with their paragraphs.
TEST_F(MessageFilesTest, TheMarkerWordRefusesTheSaveAndLostCharactersAreNamed) {
    WriteBytes(path("m.fmv"), "antes");
    ASSERT_TRUE(addParagraph(U"Hola \u263A"));
    ASSERT_TRUE(addParagraph(U"fin_parrafo"));
    EXPECT_FALSE(files.EscribirMensaje(path("m.fmv")));
    EXPECT_FALSE(files.EscribirMensaje(path("nuevo.fmv")));
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>(2, "El texto fin_parrafo no puede usarse como párrafo completo."));
    EXPECT_EQ(ReadBytes(path("m.fmv")), "antes");
    EXPECT_FALSE(fs::exists(path("nuevo.fmv")));
    EXPECT_TRUE(store.MessageModified);
    view.setMessageText(U"Hola \u00F1\u20AC");
    ASSERT_TRUE(commands.cmdParGuardar_Click());
    ASSERT_TRUE(addParagraph(U"\u2603 Hola \u2192\u2603"));
    dialogs.clear();
    ASSERT_TRUE(files.EscribirMensaje(path("m.fmv")));
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{"Algunos caracteres no se pueden guardar y se reemplazaron "
                                                        "por ?:\r\nPárrafo 1: ☺\r\nPárrafo 3: ☃ →"});
    EXPECT_FALSE(store.MessageModified);
    ASSERT_TRUE(files.LeerMensaje(path("m.fmv")));
    EXPECT_EQ(store.paragraph(1).Text + store.paragraph(2).Text + store.paragraph(3).Text, U"Hola ?Hola \u00F1\u20AC? Hola ??");
}

// Reads over a message that a refused file must leave as it was; saves are kept in memory.
class ReaderTest : public ::testing::Test, public InMemorySaves, public MessageFixture {
  protected:
    ReaderTest() : MessageFixture(this) {}
    // Opens `bytes` as the message to keep, then edits it without saving.
    void openWhole(const std::string& bytes) {
        WriteBytes(path("antes.fmv"), before = bytes);
        ASSERT_TRUE(files.LeerMensaje(path("antes.fmv")));
        view.setMessageName("antes.fmv");
        view.setMessageText(U"cambiado");
    }
    // Reads file `name` and saves again: what the save wrote when it was read, a message numbered
    // from 1; nothing when it was refused, with one message box and the message, its name and its
    // flag as they were.
    std::optional<std::string> readBack(const std::string& name = "f.fmv") {
        dialogs.clear();
        const bool read = files.LeerMensaje(path(name));
        EXPECT_EQ(store.MessageModified, !read);
        std::vector<std::string> numbers, stored;
        for (int k = 1; read && k <= store.ParagraphCount; ++k) numbers.push_back(std::to_string(k));
        for (const ParagraphRecord& r : store.Paragraphs) stored.push_back(std::to_string(r.Number));
        EXPECT_TRUE(read ? !stored.empty() && stored == numbers && view.paragraphItems() == numbers && stored.size() <= 50
                         : dialogs.shown.size() == 1 && view.messageName() == "antes.fmv" && view.messageText() == U"cambiado")
            << stored.size() << " paragraphs";
        const bool wrote = files.EscribirMensaje(path("x.fmv"));  // not when a text is the end marker
        EXPECT_TRUE(wrote || read);
        if (!read) {
            EXPECT_EQ(saved, before);
        }
        const std::optional<std::string> again = read ? std::optional(wrote ? saved : std::string()) : std::nullopt;
        openWhole(before);
        return again;
    }
    std::string before;
};

TEST_F(ReaderTest, AFileThatIsNotAMessageIsRefusedWholeSayingWhatAndWhere) {
    options.setSpaceWidthText("5");
    options.setJoinedChecked(true);
    store.SpaceWidth = 5;
    ASSERT_TRUE(addParagraph(U"Hola Hola"));
    ASSERT_TRUE(addParagraph(U"Hola\r\nHola", "a.ffv", true, "2"));
    ASSERT_TRUE(files.EscribirMensaje(path("x.fmv")));
    openWhole(saved);
    fs::create_directory(messages / "carpeta.fmv");
    for (auto [name, size] : {std::pair{"vacio.fmv", std::size_t{0}}, {"justo.fmv", kMaxMessageFileBytes},
                              {"grande.fmv", kMaxMessageFileBytes + 1}}) {
        WriteBytes(path(name), "");
        fs::resize_file(path(name), size);  // zero bytes: a single line
    }
    const std::string head = "3\r\n0\r\n", group = kSample.substr(6), cut = "El archivo no es un mensaje completo, línea ";
    const std::tuple<const char*, std::string, std::string> cases[] = {  // file, bytes, message
        {"foto.fmv", std::string("\xFF\xD8\xFF\xE0\0\x10JFIF\0\x01\x01\0\0\x01", 16), cut + "2: falta la opción Párrafos unidos."},
        {"logo.fmv", ReadBytes(fs::path(LETRADOR_SOURCE_DIR) / "data" / "ayuda" / "Archivos" / "logo.jpg"),
         cut + "12: el párrafo 1 está cortado."},
        {"opciones.fmv", head, cut + "3: falta el primer párrafo."},
        {"numero.fmv", head + group + "2\r\n", cut + "11: el párrafo 2 está cortado."},
        {"texto.fmv", head + group + Lines({"2", "\"a.ffv\"", "\"Hola"}), cut + "13: el párrafo 2 está cortado."},
        {"valores.fmv", head + group + group.substr(0, group.size() - 3), cut + "16: el párrafo 2 está cortado."},
        {"fuente.fmv", head + Lines({"1", "\"", "\"Hola\"", kMarker, "0", "#FALSE#", "1"}),
         cut + "4: no es un nombre de archivo de fuente entre comillas."},
        {"comillas.fmv", head + group + Lines({"2", "\"a\"", "", kMarker, "0", "#FALSE#", "1"}),
         cut + "12: el texto del párrafo 2 no está entre comillas."},
        {"vacio.fmv", "", "El archivo está vacío."},
        {"no-existe.fmv", "", "No se pudo abrir el archivo: No existe el archivo o la carpeta."},
        {"carpeta.fmv", "", "No se pudo abrir el archivo: Es una carpeta, no un archivo."},
        {"justo.fmv", "", cut + "2: falta la opción Párrafos unidos."},
        {"grande.fmv", "", "No se pudo abrir el archivo: El archivo es demasiado grande para ser un mensaje."}};
    for (const auto& [name, bytes, message] : cases) {
        SCOPED_TRACE(name);
        if (!bytes.empty()) WriteBytes(path(name), bytes);
        EXPECT_FALSE(readBack(name));
        EXPECT_EQ(dialogs.texts(), std::vector<std::string>{message});
    }
}

// An example reads without a message box, counts every paragraph with the shipped fonts and is
// written back byte for byte. A cut of it is refused whole, unless it ends right after a group
// (its last line end may be cut off): then it reads as the paragraphs before the cut. Thousands
// of damaged files are refused whole or read as a consistent message.
TEST_F(ReaderTest, ShippedExamplesCutAnywhereAndThousandsOfDamagedFiles) {
    store.FontFolder = (fs::path(LETRADOR_BINARY_DIR) / "work" / "tipografias").string();
    std::vector<std::string> samples;
    for (const auto& e : fs::directory_iterator(fs::path(LETRADOR_SOURCE_DIR) / "data" / "mensajes"))
        samples.push_back(ReadBytes(e.path()));
    ASSERT_GE(samples.size(), 2u);
    const std::string marker = kMarker + "\r\n";
    for (const std::string& whole : samples) {
        std::vector<std::size_t> ends;  // after the marker line, the columns, ignore and separation
        for (auto at = whole.find(marker); at != std::string::npos; at = whole.find(marker, at + 1)) {
            std::size_t end = at + marker.size();
            for (int line = 0; line < 3; ++line) end = whole.find("\r\n", end) + 2;
            ends.push_back(end);
        }
        ASSERT_GE(ends.size(), 2u);
        ASSERT_EQ(ends.back(), whole.size());
        openWhole(whole);
        EXPECT_TRUE(dialogs.shown.empty());
        ASSERT_EQ(store.ParagraphCount, static_cast<int>(ends.size()));
        for (int k = 1; k <= store.ParagraphCount; ++k) EXPECT_GT(store.paragraph(k).Columns, 0) << k;
        EXPECT_FALSE(store.CapacityExceeded);
        for (std::size_t cut = 0; cut < whole.size() && !HasFailure(); ++cut) {
            SCOPED_TRACE("cut at byte " + std::to_string(cut));
            const auto end = std::find_if(ends.begin(), ends.end(), [&](std::size_t e) { return cut <= e && e - cut <= 2; });
            WriteBytes(path("f.fmv"), whole.substr(0, cut));
            const std::optional<std::string> read = readBack();
            EXPECT_EQ(read, end == ends.end() ? std::nullopt : std::optional(whole.substr(0, *end)));
        }
    }
    // Damaged: the examples and a file with quotes, an ignored paragraph and one never saved.
    ASSERT_TRUE(addParagraph(U"Uno\r\nDos \"\"Tres\"", "a.ffv", true, "2"));
    commands.cmdParNuevo_Click();
    ASSERT_TRUE(files.EscribirMensaje(path("s.fmv")));
    samples.push_back(saved);
    openWhole(samples[0]);
    std::mt19937 rng(20240611u);
    const std::vector<std::string> pieces = {"\r\n", "\n", "\r", "\"", "\"\"", marker, "#FALSE#", std::string(1, '\0'),
                                             "\xFF", "<9>", "-32769", "1e9999", "", "x", "\"Uno", "99999"};
    int accepted = 0;
    for (int round = 0; round < 4000 && !HasFailure(); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::string f;
        if (round % 3 == 2) {  // random lines
            for (std::size_t n = rng() % 500; n > 0; --n) f += pieces[rng() % pieces.size()] + "\r\n";
        } else {  // a real file with up to six edits
            f = samples[rng() % samples.size()];
            for (int e = 1 + static_cast<int>(rng() % 6); e > 0 && !f.empty(); --e) {
                const std::size_t at = rng() % (f.size() + 1);
                switch (rng() % 5) {
                    case 0: if (at < f.size()) f[at] = static_cast<char>(rng() & 0xFF); break;  // flip a byte
                    case 1: f.erase(at, rng() % 20); break;                                    // drop a run
                    case 2: f.insert(at, pieces[rng() % pieces.size()]); break;                // a layout piece
                    case 3: if (at < f.size()) f.insert(at, f.substr(at, rng() % 60)); break;  // repeat a run
                    default: f.resize(at); break;                                              // cut the end
                }
            }
        }
        WriteBytes(path("f.fmv"), f);
        accepted += readBack().has_value();
    }
    EXPECT_GT(accepted, 0);
    EXPECT_LT(accepted, 4000);
}

// A writer whose steps fail as a full disk (a write that would make a file grow), a refused
// rename, a folder without write permission or a file system without unnamed files make them.
class FaultyReplacer : public AtomicFileReplacer {
  public:
    enum class Fault { None, DiskFull, WriteNothing, Sync, Rename, Die };
    Fault fault = Fault::None;
    bool unnamedFiles = true, folderTakesFiles = true;

  protected:
    int OpenUnnamed(const std::string& folder, mode_t mode) override {
        return !folderTakesFiles ? Fail(EACCES) : unnamedFiles ? AtomicFileReplacer::OpenUnnamed(folder, mode) : Fail(EOPNOTSUPP);
    }
    int OpenNamed(std::string& pattern) override {
        return folderTakesFiles ? AtomicFileReplacer::OpenNamed(pattern) : Fail(EACCES);
    }
    ssize_t WriteSome(int fd, const char* data, std::size_t size) override {
        if (fault == Fault::WriteNothing) return errno = 0, 0;  // no progress leaves errno as it was
        struct stat info {};
        const off_t at = ::lseek(fd, 0, SEEK_CUR);
        if (fault != Fault::DiskFull) return AtomicFileReplacer::WriteSome(fd, data, size);
        if (::fstat(fd, &info) != 0 || at < 0 || at >= info.st_size) return Fail(ENOSPC);
        return AtomicFileReplacer::WriteSome(fd, data, std::min<std::size_t>(size, static_cast<std::size_t>(info.st_size - at)));
    }
    int SyncFile(int fd) override { return fault == Fault::Sync ? Fail(EIO) : AtomicFileReplacer::SyncFile(fd); }
    int RenameFile(const std::string& from, const std::string& to) override {
        if (fault == Fault::Die) ::_exit(0);  // killed right before the rename
        return fault == Fault::Rename ? Fail(EACCES) : AtomicFileReplacer::RenameFile(from, to);
    }
    static int Fail(int error) { return errno = error, -1; }
};
using F = FaultyReplacer::Fault;

int HiddenFiles(const fs::path& folder) {
    const auto hidden = [](const fs::directory_entry& e) { return e.path().filename().string().rfind(".letrador-", 0) == 0; };
    return static_cast<int>(std::count_if(fs::directory_iterator(folder), fs::directory_iterator(), hidden));
}

class SaveTest : public ::testing::Test, public FaultyReplacer, public MessageFixture {
  protected:
    SaveTest() : MessageFixture(this) {}
};

// With or without unnamed files, a save that cannot be done says why and leaves the file that
// was there, the modified flag, and no temporary file.
TEST_F(SaveTest, ASaveThatFailsSaysWhyAndLeavesTheOldFileTheFlagAndNoTemporaryFile) {
    ASSERT_TRUE(addParagraph(U"Hola"));
    ASSERT_TRUE(files.EscribirMensaje(path("x.fmv")));
    ASSERT_TRUE(addParagraph(U"aloH"));
    fs::create_directory(messages / "d.fmv");
    WriteBytes(messages / "p.fmv", "x");
    fs::create_symlink("bucle.fmv", messages / "bucle.fmv");
    const std::string full = "No queda espacio en el disco.", n300 = std::string(300, 'n') + ".fmv";
    const std::tuple<F, std::string, std::string> cases[] = {
        {F::DiskFull, "x.fmv", full}, {F::DiskFull, "nuevo.fmv", full}, {F::WriteNothing, "x.fmv", full},
        {F::WriteNothing, "nuevo.fmv", full}, {F::Sync, "x.fmv", "Error de entrada/salida."},
        {F::Sync, "nuevo.fmv", "Error de entrada/salida."}, {F::Rename, "x.fmv", "Permiso denegado."},
        {F::Rename, "nuevo.fmv", "Permiso denegado."}, {F::None, "no-hay/x.fmv", "No existe el archivo o la carpeta."},
        {F::None, "d.fmv", "Es una carpeta, no un archivo."}, {F::None, "p.fmv/x.fmv", "Una parte de la ruta no es una carpeta."},
        {F::None, "bucle.fmv", "La ruta tiene demasiados enlaces simbólicos."},
        {F::None, n300, "El nombre del archivo es demasiado largo."}};
    for (const bool unnamed : {true, false}) {
        for (const auto& [f, name, why] : cases) {
            SCOPED_TRACE(name + (unnamed ? "" : " without unnamed files"));
            std::tie(fault, unnamedFiles) = std::tuple(f, unnamed);
            dialogs.clear();
            EXPECT_FALSE(files.EscribirMensaje(path(name)));
            EXPECT_EQ(dialogs.texts(), std::vector<std::string>{kMsgNoSeGuardo + why});
        }
    }
    EXPECT_EQ(ReadBytes(path("x.fmv")), kSample);
    EXPECT_TRUE(store.MessageModified);
    EXPECT_FALSE(fs::exists(path("nuevo.fmv")));
    EXPECT_EQ(HiddenFiles(messages), 0);
    // A new file takes the mode the umask gives; a file saved over keeps its own.
    std::tie(fault, unnamedFiles) = std::tuple(F::None, true);
    const mode_t mask = ::umask(027);
    ASSERT_TRUE(files.EscribirMensaje(path("n.fmv")));
    ::umask(mask);
    EXPECT_EQ(fs::status(path("n.fmv")).permissions(), fs::perms(0640));
    fs::permissions(path("n.fmv"), fs::perms(0604));
    ASSERT_TRUE(files.EscribirMensaje(path("n.fmv")));
    EXPECT_EQ(fs::status(path("n.fmv")).permissions(), fs::perms(0604));
}

// A save killed right before its rename leaves the old file whole and a hidden file, which the
// next save removes, and only that: not a file that a running save holds, nor any other.
TEST_F(SaveTest, AKilledSaveLeavesTheOldFileAndAHiddenFileThatTheNextSaveRemoves) {
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed files" : "named temporary files");
        const fs::path folder = messages / (unnamed ? "u" : "n");
        const std::string target = (folder / "m.fmv").string();
        fs::create_directory(folder);
        std::tie(fault, unnamedFiles) = std::tuple(F::None, unnamed);
        ASSERT_TRUE(Replace(target, "antes").ok);
        fault = F::Die;
        if (const pid_t child = ::fork(); child == 0) {
            Replace(target, "muerto");
            ::_exit(1);
        } else {
            ::waitpid(child, nullptr, 0);
        }
        EXPECT_EQ(ReadBytes(target), "antes");
        ASSERT_EQ(HiddenFiles(folder), 1);
        WriteBytes(folder / ".letrador-x", "");       // not a name a save gives
        WriteBytes(folder / "dieciseis-ab.fmv", "");  // as long as the hidden ones
        const int held = ::open((folder / ".letrador-Abc123").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
        ASSERT_EQ(::flock(held, LOCK_EX), 0);  // as a running save holds its file
        fault = F::None;
        ASSERT_TRUE(Replace(target, "fin").ok);
        ::close(held);
        EXPECT_EQ(ReadBytes(target), "fin");
        EXPECT_EQ(HiddenFiles(folder), 2);
        EXPECT_TRUE(fs::exists(folder / ".letrador-Abc123") && fs::exists(folder / "dieciseis-ab.fmv"));
    }
}

// A folder that takes no new file (one the user may not write in) holding a file the user may
// write: the file is written in place, and keeps its old bytes when that write fails.
TEST_F(SaveTest, InAFolderThatTakesNoFileTheFileIsWrittenInPlaceAndKeptWhenThatFails) {
    folderTakesFiles = false;
    const std::string target = path("m.fmv");
    WriteBytes(target, "antes");
    struct stat before {}, after {};
    ASSERT_EQ(::stat(target.c_str(), &before), 0);
    const std::tuple<std::string, F, std::string, std::string> cases[] = {  // bytes, fault, reason, file after
        {"un contenido nuevo y más largo", F::None, "", "un contenido nuevo y más largo"}, {"corto", F::None, "", "corto"},
        {"un contenido que ya no cabe en el disco", F::DiskFull, "No queda espacio en el disco.", "corto"},
        {"otro", F::Sync, "Error de entrada/salida.", "corto"}};
    for (const auto& [bytes, f, reason, file] : cases) {
        fault = f;
        const FileResult r = Replace(target, bytes);
        EXPECT_EQ(std::tuple(r.ok, r.reason, ReadBytes(target)), std::tuple(reason.empty(), reason, file)) << bytes;
    }
    ASSERT_EQ(::stat(target.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(HiddenFiles(messages), 0);
    fault = F::None;  // a new file in such a folder cannot be made at all
    EXPECT_EQ(Replace(path("nuevo.fmv"), "x").reason, "Permiso denegado.");
    EXPECT_FALSE(fs::exists(path("nuevo.fmv")));
}

// Saving through a symbolic link writes the file it leads to; the link stays a link.
TEST_F(SaveTest, ASaveThroughASymbolicLinkReplacesItsTargetAndKeepsTheLink) {
    const fs::path other = scratch.path() / "otros";
    fs::create_directories(other);
    const std::tuple<const char*, fs::path, fs::path> cases[] = {  // link, what it holds, the file written
        {"relativo.fmv", "../otros/real.fmv", other / "real.fmv"}, {"absoluto.fmv", other / "real2.fmv", other / "real2.fmv"},
        {"cadena.fmv", "relativo.fmv", other / "real.fmv"}, {"colgante.fmv", "../otros/nuevo.fmv", other / "nuevo.fmv"}};
    ASSERT_TRUE(addParagraph(U"Hola"));
    for (const auto& [link, to, target] : cases) {
        SCOPED_TRACE(link);
        WriteBytes(other / "real.fmv", "antes");
        fs::create_symlink(to, messages / link);
        ASSERT_TRUE(files.EscribirMensaje(path(link)));
        EXPECT_EQ(fs::read_symlink(messages / link), to);
        EXPECT_EQ(ReadBytes(target), kSample);
        EXPECT_EQ(HiddenFiles(other) + HiddenFiles(messages), 0);
    }
}

// The application has to exist before the window is built.
const std::string& WithApp(const std::string& folder) {
    static int argc = 1;
    static char name[] = "test_files";
    static char* argv[] = {name, nullptr};
    [[maybe_unused]] static QApplication* app = new QApplication(argc, argv);
    return folder;
}

// The main window's enabled state and focus, as the chooser switches them.
struct PlainMainWindow : MainWindowControl {
    void setMainWindowEnabled(bool on) override { enabled = on; }
    void focusMainWindow() override { focused = true; }
    bool enabled = true, focused = false;
};

class ChooserTest : public ::testing::Test, public MessageFixture {
  protected:
    ChooserTest()
        : window(WithApp(store.MessageFolder)), fileCommands(store, view, commands, files, window, mainWindow, dialogs) {
        window.setCommands(&fileCommands);
    }
    template <typename W = QPushButton>
    W* child(const char* name) { return window.findChild<W*>(QString::fromUtf8(name)); }
    QLineEdit* nameBox() { return child<QLineEdit>("txtNombre"); }
    // The caption, the action button's, and whether the chooser is up, not modal, over a disabled
    // main window.
    std::string mode() {
        const bool up = window.isVisible() && !window.isModal() && !mainWindow.enabled;
        return window.windowTitle().toStdString() + "|" + child("cmdAccion")->text().toStdString() + (up ? "|up" : "");
    }
    // Types `name` into the box and presses Enter, which runs the action.
    void enter(const std::string& name) {
        nameBox()->setText(QString::fromStdString(name));
        QTest::keyClick(nameBox(), Qt::Key_Return);
    }
    void click(const char* entry, bool twice = false) {
        auto* list = child<QListWidget>("filArchivo");
        const auto found = list->findItems(entry, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        const QPoint at = list->visualItemRect(found.first()).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        if (twice) QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }
    // The chooser gone, the main window enabled again with the focus, and the message named `name`.
    void expectClosedOn(const std::string& name, bool saveEnabled = true) {
        EXPECT_TRUE(!window.isVisible() && mainWindow.enabled && mainWindow.focused);
        EXPECT_EQ(view.messageName() + (view.isEnabled(C::menArchGuardar) ? " Guardar" : ""), name + (saveEnabled ? " Guardar" : ""));
    }

    frmArchivo window;
    PlainMainWindow mainWindow;
    FileCommands fileCommands;
};

TEST_F(ChooserTest, OpenListsTheFolderAndOpensANameOfTheListTypedOrDoubleClicked) {
    for (const char* n : {"b.fmv", "A.FMV", "c.Fmv", "nota.txt", "fmv", ".fmv", "x.fmv.bak", "a_fmv", "a.fmv", "B.fmv", "Z.fmv"})
        WriteBytes(path(n), Sample());
    fs::create_directory(messages / "carpeta.fmv");
    nameBox()->setText("anterior");
    fileCommands.MenArchAbrir_Click();
    EXPECT_EQ(mode(), "Abrir archivo de mensaje|Abrir|up");
    EXPECT_EQ(child<QLabel>("lblNombre")->text().toStdString() + "|" + child("cmdCancelar")->text().toStdString(),
              "Nombre del archivo (*.fmv)|Cancelar");
    EXPECT_EQ(nameBox()->text(), "");
    EXPECT_EQ(window.focusWidget(), nameBox());
    QString listed;  // "*.fmv" in any letter case, sorted without regard to it
    for (const auto* list = child<QListWidget>("filArchivo"); listed.count(' ') < list->count();)
        listed += list->item(listed.count(' '))->text() + " ";
    EXPECT_EQ(listed.toStdString(), ".fmv A.FMV a.fmv B.fmv b.fmv c.Fmv Z.fmv ");
    EXPECT_TRUE(dialogs.shown.empty());  // nothing modified, nothing asked
    nameBox()->clearFocus();
    enter("");
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{"Debe escribir un nombre de archivo."});
    EXPECT_EQ(window.focusWidget(), nameBox());
    // ".fmv" goes into the box unless the name ends so (five characters at least); names are
    // matched exactly, and the list is as last read.
    WriteBytes(path("c.fmv"), Sample());
    for (auto [typed, shown] : {std::pair{"b.FMV", "b.FMV.fmv"}, {".fmv", ".fmv.fmv"}, {"ñ.fmv", "ñ.fmv"}, {"c", "c.fmv"}}) {
        dialogs.clear();
        enter(typed);
        EXPECT_EQ(nameBox()->text().toStdString(), shown);
        EXPECT_EQ(dialogs.texts(), std::vector<std::string>{"El nombre de archivo escrito no existe."});
        EXPECT_EQ(mode(), "Abrir archivo de mensaje|Abrir|up");
    }
    child("cmdAccion")->click();  // with the name the box shows
    EXPECT_EQ(dialogs.shown.size(), 2u);
    enter("a");
    expectClosedOn("a.fmv");
    EXPECT_FALSE(store.MessageModified);
    ASSERT_EQ(store.ParagraphCount, 1);
    EXPECT_EQ(store.paragraph(1).Text, U"Hola");
    // A click puts an entry in the box; a double click opens it.
    commands.ClearMessage();
    fileCommands.MenArchAbrir_Click();
    click("a.fmv");
    EXPECT_EQ(nameBox()->text(), "a.fmv");
    EXPECT_TRUE(window.isVisible() && store.ParagraphCount == 0);
    click("a.fmv", true);
    expectClosedOn("a.fmv");
    EXPECT_EQ(store.ParagraphCount, 1);
}

TEST_F(ChooserTest, SaveAsWritesTheEditorAsksBeforeOverwritingAndSaveWritesBack) {
    ASSERT_TRUE(addParagraph(U"Hola"));
    nameBox()->setText("tecleado");
    fileCommands.menArchGuardarComo_Click();
    EXPECT_EQ(mode(), "Guardar mensaje|Guardar|up");
    EXPECT_EQ(nameBox()->text(), "tecleado");  // a message without a name keeps what was typed
    child("cmdCancelar")->click();             // Cancel changes nothing
    expectClosedOn("", false);
    EXPECT_TRUE(store.MessageModified);
    EXPECT_FALSE(fs::exists(path("tecleado.fmv")));
    view.setMessageText(U"aloH");  // edited, not saved: saving stores it first
    fileCommands.menArchGuardarComo_Click();
    nameBox()->setText("nuevo");
    child("cmdAccion")->click();
    expectClosedOn("nuevo.fmv");
    EXPECT_EQ(ReadBytes(path("nuevo.fmv")), Sample("aloH"));
    EXPECT_FALSE(store.MessageModified);
    EXPECT_TRUE(dialogs.shown.empty());
    WriteBytes(path("hay.fmv"), "viejo");
    for (bool yes : {false, true}) {
        store.MessageModified = true;
        dialogs.answerNext(yes);
        fileCommands.menArchGuardarComo_Click();
        EXPECT_EQ(nameBox()->text(), "nuevo.fmv");
        enter("hay");
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_TRUE(dialogs.shown[0].isQuestion);
        EXPECT_EQ(dialogs.shown[0].text + "|" + dialogs.shown[0].title, "El archivo existe, desea sobreescribirlo?|Sobreescribir?");
        EXPECT_EQ(ReadBytes(path("hay.fmv")) == "viejo", !yes);
        EXPECT_EQ(window.isVisible(), !yes);
        EXPECT_EQ(view.messageName(), yes ? "hay.fmv" : "nuevo.fmv");
        EXPECT_EQ(store.MessageModified, !yes);
        dialogs.clear();
        child("cmdCancelar")->click();
    }
    view.setMessageText(U"Hola");
    EXPECT_TRUE(fileCommands.menArchGuardar_Click());
    EXPECT_FALSE(store.MessageModified);
    EXPECT_EQ(ReadBytes(path("hay.fmv")), Sample());
}

// A file that cannot be written or read keeps the name, the menus and the flag; so do Cancel (by
// Esc or the frame's close) and No when "Nuevo" or "Abrir" would lose changes. Yes clears it all.
TEST_F(ChooserTest, AFileThatCannotBeWrittenOrReadAndChangesNotSavedKeepTheMessage) {
    ASSERT_TRUE(addParagraph(U"Hola"));
    store.MessageModified = true;
    fs::create_directory(messages / "otro.fmv");  // not in the list, and no file can be written there
    fileCommands.menArchGuardarComo_Click();
    enter("otro");
    EXPECT_FALSE(fileCommands.menArchGuardar_Click());  // the message has no name yet
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>(2, "No se pudo guardar el archivo: Es una carpeta, no un archivo."));
    expectClosedOn("", false);
    EXPECT_TRUE(store.MessageModified);
    fileCommands.menArchGuardarComo_Click();
    enter("actual");
    WriteBytes(path("roto.fmv"), "");
    dialogs.clear();
    view.setMessageText(U"cambio");
    store.MessageModified = false;
    fileCommands.MenArchAbrir_Click();
    enter("roto");
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{"El archivo está vacío."});
    expectClosedOn("actual.fmv");
    EXPECT_EQ(view.messageText(), U"cambio");
    EXPECT_FALSE(store.MessageModified);
    // Esc and the frame's close act as Cancel; the window lives on for the next use.
    for (bool esc : {true, false}) {
        fileCommands.menArchGuardarComo_Click();
        nameBox()->setText("sin_guardar");
        ASSERT_FALSE(mainWindow.enabled);
        if (esc) {
            ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
            QTest::keyClick(&window, Qt::Key_Escape);
        } else {
            EXPECT_TRUE(window.close());
        }
        expectClosedOn("actual.fmv");
    }
    EXPECT_FALSE(fs::exists(path("sin_guardar.fmv")));
    EXPECT_EQ(dialogs.shown.size(), 1u);
    // Changes not saved: "Nuevo" and "Abrir" ask first, and No keeps everything.
    dialogs.clear();
    view.setMessageText(U"cambiado");
    dialogs.answerNext(false);
    fileCommands.menArchNuevo_Click();
    dialogs.answerNext(false);
    fileCommands.MenArchAbrir_Click();
    ASSERT_EQ(dialogs.shown.size(), 2u);
    for (const auto& shown : dialogs.shown)
        EXPECT_TRUE(shown.isQuestion && shown.text == "Se perderán los cambios hechos al párrafo actual.\r\nDesea continuar?");
    EXPECT_EQ(dialogs.shown[0].title + "|" + dialogs.shown[1].title, "Mensaje nuevo|Abrir mensaje");
    EXPECT_TRUE(!window.isVisible() && mainWindow.enabled && store.MessageModified && view.isEnabled(C::menArchGuardar));
    EXPECT_EQ(ToUtf8(view.messageText()) + "|" + view.messageName(), "cambiado|actual.fmv");
    dialogs.answerNext(true);
    view.setCapacityLabel("Capacidad excedida.", true);
    fileCommands.menArchNuevo_Click();
    EXPECT_EQ(std::to_string(view.paragraphItemCount()) + view.messageName() + view.capacityLabel(), "0Capacidad ocupada: 0%");
    EXPECT_FALSE(view.capacityLabelIsRedBold() || view.isEnabled(C::menArchGuardar) || store.MessageModified);
    EXPECT_EQ(view.focused(), C::cmdParNuevo);
    // Nothing modified: nothing asked, and the chooser comes up again.
    dialogs.clear();
    ASSERT_TRUE(addParagraph(U"Hola"));
    store.MessageModified = false;
    fileCommands.menArchNuevo_Click();
    EXPECT_EQ(store.ParagraphCount, 0);
    fileCommands.MenArchAbrir_Click();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(mode(), "Abrir archivo de mensaje|Abrir|up");
}

}  // namespace
}  // namespace letrador::testing
