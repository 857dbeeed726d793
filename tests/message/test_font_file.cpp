// Font records, character lookup, the column count of a paragraph text, the font cache and the
// font check; and the paragraph store and its commands, driven as the window drives them.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "message/codepage.h"
#include "message/font_file.h"
#include "message/paragraph_commands.h"
#include "message/plain_editor_view.h"
#include "platform/scripted_dialogs.h"
#include "tests/support/sample_font.h"

namespace letrador {
namespace {

namespace fs = std::filesystem;
using testing::FontRecordBytes;
using testing::WriteFont;

void WriteBytes(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// A record whose key length does not fit: key length, then whatever bytes fill the 24.
std::string OversizedRecord(std::uint16_t keyLength, char fill) {
    return std::string{static_cast<char>(keyLength & 0xFF), static_cast<char>(keyLength >> 8)} + std::string(22, fill);
}

class FontFiles : public ::testing::Test {
protected:
    std::string file(const char* name) const { return (scratch_.path() / name).string(); }
    std::string font(const char* name, const std::vector<testing::SampleGlyph>& glyphs) const {
        WriteFont(file(name), glyphs);
        return file(name);
    }
    testing::ScratchFolder scratch_;
};

TEST_F(FontFiles, ColumnCountsOfTexts) {
    const std::string ab = font("ab.ffv", testing::SampleAB());  // «A» 4 wide, «B» all dark
    const std::string lt = font("lt.ffv", {{"A", {0x7E, 0x09, 0x09, 0x7E}}, {"<", {0x08, 0x14, 0x22}}});
    const std::string sp = font("sp.ffv", {{" ", {0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F}}});
    const std::string cr = font("cr.ffv", {{"\r", {0x01, 0x01}}, {"A", {0x7E, 0x09, 0x09, 0x7E}}});
    const std::string acc = font("acc.ffv", {{"\xF1", {0x01}}, {"\x80", {0x03, 0x03}}, {"\xC1", {0x07, 0x07, 0x07}}});
    const std::string wide = font("wide.ffv", {{"A", {0, 0, -1}}, {"B", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0x100}}});
    const std::string twice = font("twice.ffv", {{"B", {0x01}}, {"A", {0x7E, 0x09, 0x09, 0x7E}}, {"A", {0x7F, 0x7F}}});
    std::u32string manyTags;
    for (int i = 0; i < 17000; ++i) manyTags += U"<9>";
    const struct {
        std::u32string text;
        std::string font;
        Int16 sep, space, columns;
    } cases[] = {
        {U"", ab, 1, 3, 0}, {U"A", ab, 1, 3, 5}, {U"AA", ab, 1, 3, 10}, {U"A A", ab, 1, 3, 13}, {U"A", ab, 3, 3, 7},
        {U"A", ab, 0, 3, 4}, {U"B", ab, 1, 3, 0}, {U"C", ab, 1, 3, 0}, {U"BCB", ab, 1, 3, 0}, {U"BAC", ab, 2, 3, 6},
        // Tags count 1, "<9>" 2, greedy from the left; a half tag is characters.
        {U"<4>", ab, 1, 3, 1}, {U"<9>", ab, 1, 3, 2}, {U"<A>", ab, 1, 3, 1}, {U"<4>A", ab, 1, 3, 6},
        {U"< >", ab, 1, 3, 1}, {U"<<>", ab, 1, 3, 1}, {U"<9><9>A", ab, 1, 3, 9}, {U"<4", ab, 1, 3, 0},
        {U"A<", ab, 1, 3, 5}, {U">A", ab, 1, 3, 5}, {U"<A>>", ab, 1, 3, 1}, {U"<4", lt, 1, 3, 4},
        {U"A<", lt, 1, 3, 9}, {U"<4>", lt, 1, 3, 1},
        // Spaces take the space width whatever the separation and the font.
        {U"  ", ab, 0, 3, 6}, {U"  ", ab, 5, 3, 6}, {U"  ", ab, 1, 4, 8}, {U"  ", sp, 1, 3, 6},
        {U"A\r\nA", ab, 1, 3, 10}, {U"A\r\nA", cr, 1, 3, 13},  // line breaks are looked up as characters
        {U"ñ€Á\x80\x4E00", acc, 1, 3, 2 + 3 + 4},            // keys are Windows-1252
        {U"AB", wide, 1, 3, 4 + 11}, {U"AA", twice, 1, 3, 10},  // the first of two records wins
        {std::u32string(7000, U'A'), ab, 1, 3, 32767}, {U"  ", ab, 1, 30000, 32767},
        {U"   ", ab, 1, -20000, -32768}, {manyTags, ab, 1, 3, 32767},
        {U"A <9> A", file("no_existe.ffv"), 1, 3, 8},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ContarColumnas(c.text, c.font, c.sep, c.space), c.columns) << "row " << &c - cases;
}

TEST_F(FontFiles, LookupRecordsAndWidths) {
    const std::string ab = font("ab.ffv", testing::SampleAB());
    const std::string keys = font("claves.ffv", {{"AB", {0x7F}}, {"", {0x7F}}, {"B", {0x01}}});
    const std::string acc = font("acc.ffv", {{"\xF1", {0x01}}, {"\x80", {0x03, 0x03}}, {"\xC1", {0x07, 0x07, 0x07}}});
    const std::string missing = file("no_existe.ffv");
    WriteBytes(file("vacio.ffv"), "");
    // A record cut short reads as if padded with zeros.
    WriteBytes(file("corta.ffv"), FontRecordBytes({"A", {0x7E}}) + FontRecordBytes({"Z", {0x11, 0x22, 0x33}}).substr(0, 7));
    // Records whose key does not fit are skipped and the next one read.
    WriteBytes(file("larga.ffv"), FontRecordBytes({"A", {0x7E, 0x09, 0x09, 0x7E}}) + OversizedRecord(3, 'C') +
                                      FontRecordBytes({"C", {0x01, 0x02, 0x04}}) + OversizedRecord(0xFFFF, 'D') +
                                      FontRecordBytes({"D", {0x0F}}));
    const struct {
        std::string font;
        char32_t ch;
        Int16 record;
    } found[] = {{ab, U'A', 1}, {ab, U'B', 2}, {ab, U'C', 0}, {ab, U'a', 0}, {keys, U'A', 0}, {keys, U'\0', 0},
                 {keys, U'B', 3}, {acc, U'ñ', 1}, {acc, U'€', 2}, {acc, U'Á', 3}, {acc, U'\x80', 0}, {acc, U'Ñ', 0},
                 {file("vacio.ffv"), U'A', 0}, {missing, U'A', 0}, {scratch_.path().string(), U'A', 0},
                 {file("corta.ffv"), U'Z', 2}, {file("larga.ffv"), U'A', 1}, {file("larga.ffv"), U'C', 3},
                 {file("larga.ffv"), U'D', 5}};
    for (const auto& f : found) EXPECT_EQ(BuscarCaracter(f.font, f.ch), f.record) << f.font << " " << int(f.ch);
    EXPECT_EQ(ContarColumnas(U"ACD", file("larga.ffv"), 1, 3), 5 + 4 + 2);
    EXPECT_EQ(AnchoCaracter(U'A', ab, 1), 5);
    EXPECT_EQ(AnchoCaracter(U'A', ab, 0), 4);
    EXPECT_EQ(AnchoCaracter(U'B', ab, 2), 2);
    EXPECT_EQ(AnchoCaracter(U'C', ab, 3), 3);
    EXPECT_EQ(AnchoCaracter(U'A', missing, 2), 2);
    EXPECT_EQ(AnchoCaracter(U'Z', file("corta.ffv"), 0), 2);
    EXPECT_EQ(LoadFont(missing)->recordCount(), 0u);
    RegistroCaracter r;
    ASSERT_TRUE(LeerRegistro(ab, 1, r));
    EXPECT_EQ(r.keyLength, 1);
    EXPECT_EQ(r.Caracter, "A");
    EXPECT_EQ(r.Columna, (std::array<Int16, 10>{0x7E, 0x09, 0x09, 0x7E}));
    EXPECT_EQ(GlyphWidth(r), 4);
    EXPECT_FALSE(LeerRegistro(ab, 3, r));
    EXPECT_FALSE(LeerRegistro(ab, 0, r));
    ASSERT_TRUE(LeerRegistro(keys, 1, r));  // a two-byte key's columns start at byte 4
    EXPECT_EQ(r.Caracter, "AB");
    EXPECT_EQ(r.Columna[0], 0x7F);
    ASSERT_TRUE(LeerRegistro(keys, 2, r));
    EXPECT_EQ(r.keyLength, 0);
    EXPECT_EQ(r.Columna[0], 0x7F);
    ASSERT_TRUE(LeerRegistro(file("larga.ffv"), 2, r));
    EXPECT_FALSE(r.fitsRecord());
    EXPECT_EQ(GlyphWidth(r), 0);
}

TEST_F(FontFiles, AChangeOnDiskIsSeenAtTheNextCall) {
    const std::string p = font("cambia.ffv", {{"A", {0x7E, 0x09, 0x09, 0x7E}}});
    const auto first = LoadFont(p);
    EXPECT_EQ(ContarColumnas(U"A", p, 1, 3), 5);
    WriteFont(p, {{"A", {0x7E, 0x09}}});  // same size, rewritten at once
    EXPECT_NE(LoadFont(p), first);
    EXPECT_EQ(ContarColumnas(U"A", p, 1, 3), 3);
    EXPECT_EQ(first->record(U'A')->Columna[3], 0x7E);  // a held copy never changes under a caller
    WriteFont(p, {{"B", {0x01}}, {"A", {0x01, 0x01, 0x01, 0x01, 0x01, 0x01}}});  // another size
    EXPECT_EQ(ContarColumnas(U"A", p, 1, 3), 7);
    EXPECT_EQ(BuscarCaracter(p, U'A'), 2);
    fs::remove(p);
    EXPECT_EQ(ContarColumnas(U"A", p, 1, 3), 0);
    // A file of the source tree has not changed since the checkout: the copy read is given again.
    const std::string settled = std::string(LETRADOR_SOURCE_DIR) + "/data/fonts/angosta.txt";
    const auto once = LoadFont(settled);
    ASSERT_GT(once->recordCount(), 0u);
    EXPECT_EQ(LoadFont(settled), once);
}

// cp -p, rsync -t and tar keep the modification time: the cache must still see the new content.
TEST_F(FontFiles, ASameSizeFontCopiedOverWithItsTimeKeptIsReadAgain) {
    for (const bool inPlace : {true, false}) {
        SCOPED_TRACE(inPlace ? "rewritten in place" : "replaced by a rename");
        const std::string p = font("copiada.ffv", {{"A", {0x7E, 0x09, 0x09, 0x7E}}});
        const auto kept = fs::last_write_time(p) - std::chrono::hours(1);
        fs::last_write_time(p, kept);
        EXPECT_EQ(AnchoCaracter(U'A', p, 1), 5);
        EXPECT_EQ(AnchoCaracter(U'A', p, 1), 5);
        const std::string written = font(inPlace ? "copiada.ffv" : "nueva.ffv", {{"A", {0x7E, 0x09}}});
        fs::last_write_time(written, kept);
        if (!inPlace) fs::rename(written, p);
        ASSERT_EQ(fs::file_size(p), 24u);
        EXPECT_EQ(AnchoCaracter(U'A', p, 1), 3);
        EXPECT_EQ(ContarColumnas(U"AA", p, 1, 3), 6);
    }
}

TEST_F(FontFiles, TheCheckAcceptsFontsOfAnySizeAndRefusesOthers) {
    WriteBytes(file("despues.ffv"), FontRecordBytes({"A", {1}}) + OversizedRecord(7, 'x'));  // only record 1 counts
    WriteBytes(file("corta.ffv"), std::string("\x01\x00" "A", 3));
    WriteBytes(file("vacia.ffv"), "");
    WriteBytes(file("texto.ffv"), "Esto es un archivo de texto, no una tipografia.\r\n");
    WriteBytes(file("tres.ffv"), OversizedRecord(3, '\0') + FontRecordBytes({"A", {1}}));
    WriteBytes(file("mitad.ffv"), std::string("\x05\x00", 2));
    using R = FontCheck::Result;
    const std::pair<std::string, R> cases[] = {
        {font("buena.ffv", testing::SampleAB()), R::Ok}, {font("dos.ffv", {{"AB", {1}}}), R::Ok},
        {file("despues.ffv"), R::Ok}, {file("corta.ffv"), R::Ok}, {file("vacia.ffv"), R::Ok},
        {file("texto.ffv"), R::NotAFont}, {file("tres.ffv"), R::NotAFont}, {file("mitad.ffv"), R::NotAFont}};
    for (const auto& [p, result] : cases) EXPECT_EQ(CheckFontFile(p).result, result) << p;
    // However large the file, every record counts: one at its very end still draws.
    for (const std::uintmax_t records : {200000u, 3000000u}) {
        SCOPED_TRACE(records);
        const std::string p = font("grande.ffv", {{"A", {0x7E, 0x09, 0x09, 0x7E}}});
        fs::resize_file(p, (records - 1) * 24);  // sparse: records with an empty key
        std::ofstream(p, std::ios::binary | std::ios::app) << FontRecordBytes({"Z", {0x01, 0x01}});
        EXPECT_EQ(CheckFontFile(p).result, R::Ok);
        EXPECT_EQ(ContarColumnas(U"AZ", p, 1, 3), 5 + 3);
        EXPECT_EQ(LoadFont(p)->recordOf(U'Z'), records);
        EXPECT_EQ(BuscarCaracter(p, U'Z'), 32767);  // the 16-bit record number saturates
    }
}

TEST_F(FontFiles, TheCheckReportsFailuresWithNumberAndDescription) {
    const FontCheck missing = CheckFontFile(file("no_existe.ffv"));
    EXPECT_EQ(missing.result, FontCheck::Result::Failure);
    EXPECT_EQ(missing.errorNumber, ENOENT);
    EXPECT_EQ(missing.description, "No se encontró el archivo.");
    const FontCheck folder = CheckFontFile(scratch_.path().string());
    EXPECT_EQ(folder.result, FontCheck::Result::Failure);
    EXPECT_EQ(folder.errorNumber, EISDIR);
    EXPECT_EQ(folder.description, "El nombre corresponde a una carpeta, no a un archivo.");
    if (::geteuid() == 0) GTEST_SKIP() << "file permissions do not bind the superuser";
    const std::string p = font("cerrada.ffv", testing::SampleAB());
    fs::permissions(p, fs::perms::none);
    const FontCheck check = CheckFontFile(p);
    EXPECT_EQ(check.result, FontCheck::Result::Failure);
    EXPECT_EQ(check.errorNumber, EACCES);
    EXPECT_EQ(check.description, "Permiso denegado.");
}

using C = EditorControl;

class ParagraphCommandsTest : public ::testing::Test {
protected:
    ParagraphCommandsTest() : view(store), commands(store, view, dialogs, [this] { return joined; }) {
        store.FontFolder = scratch.path().string();
        testing::WriteFont(scratch.path() / "a.ffv", testing::SampleAB());
        commands.DisableEditing();
    }
    // A new paragraph with `text` in font a.ffv, saved.
    void addSaved(const std::u32string& text, bool ignore = false, const char* separation = "1") {
        commands.cmdParNuevo_Click();
        view.setMessageText(text);
        view.setFontFileText("a.ffv");
        view.setIgnoreChecked(ignore);
        view.setSeparationText(separation);
        ASSERT_TRUE(commands.cmdParGuardar_Click());
    }
    void expectEnabled(std::initializer_list<C> on, std::initializer_list<C> off, const char* when) {
        for (C c : on) EXPECT_TRUE(view.isEnabled(c)) << when << " " << static_cast<int>(c);
        for (C c : off) EXPECT_FALSE(view.isEnabled(c)) << when << " " << static_cast<int>(c);
    }

    testing::ScratchFolder scratch;
    ParagraphStore store;
    PlainEditorView view;
    platform::ScriptedDialogs dialogs;
    bool joined = false;
    ParagraphCommands commands;
};

TEST_F(ParagraphCommandsTest, TotalColumnsCountsIgnoredAndSeparatingColumnsAndSaturates) {
    EXPECT_EQ(commands.TotalColumns(), 0);
    for (int i = 0; i < 3; ++i) addSaved(U"A");
    store.paragraph(1).Columns = 100;
    store.paragraph(2).Columns = 200;
    store.paragraph(2).Ignore = true;
    store.paragraph(3).Columns = 300;
    joined = true;
    EXPECT_EQ(commands.TotalColumns(), 400);
    joined = false;
    EXPECT_EQ(commands.TotalColumns(), 402);
    store.paragraph(1).Columns = store.paragraph(3).Columns = 32000;
    EXPECT_EQ(commands.TotalColumns(), 32767);
}

TEST_F(ParagraphCommandsTest, NewSaveAndEditingStates) {
    store.MessageModified = false;
    commands.cmdParNuevo_Click();
    ASSERT_EQ(store.ParagraphCount, 1);
    const ParagraphRecord& r = store.paragraph(1);
    EXPECT_TRUE(r.Number == 1 && r.Text.empty() && r.FontFile.empty() && !r.Ignore && r.Separation == 1 && r.Columns == 0);
    EXPECT_EQ(view.currentParagraphText(), "1");
    EXPECT_EQ(view.separationText(), "1");
    EXPECT_EQ(view.focused(), C::txtMsjMensaje);
    const auto newOn = {C::txtMsjMensaje, C::frmMensaje, C::frmArchivos, C::frmSepar, C::frmEfectos,
                        C::chkMsjIgnora, C::cmdParGuardar, C::menGrabParcial};
    const auto newOff = {C::cmdParNuevo, C::cboParParrafos, C::menGrabTotal, C::menArchGuardar, C::menArchGuardarComo};
    expectEnabled(newOn, newOff, "new");
    // Text first, then the font; a refused save stores nothing and keeps the new-paragraph state.
    EXPECT_FALSE(commands.cmdParGuardar_Click());
    EXPECT_EQ(view.focused(), C::txtMsjMensaje);
    view.setMessageText(U"A A");
    EXPECT_TRUE(store.MessageModified);
    EXPECT_FALSE(commands.cmdParGuardar_Click());
    EXPECT_EQ(dialogs.texts(), (std::vector<std::string>{"Debe ingresar texto en el mensaje.",
                                                         "Debe seleccionar un archivo de fuente para el mensaje."}));
    EXPECT_TRUE(store.paragraph(1).Text.empty());
    expectEnabled(newOn, newOff, "refused");
    view.setFontFileText("a.ffv");
    view.setIgnoreChecked(true);
    ASSERT_TRUE(commands.cmdParGuardar_Click());
    EXPECT_EQ(r.Text, U"A A");
    EXPECT_EQ(r.FontFile, "a.ffv");
    EXPECT_EQ(r.Columns, 13);
    EXPECT_EQ(store.LastParagraphColumns, 13);
    EXPECT_TRUE(r.Ignore);
    EXPECT_EQ(view.capacityLabel(), "Capacidad ocupada: 0%");  // an ignored paragraph takes no room
    EXPECT_TRUE(store.MessageModified);  // commands never clear it
    // Guardar is only for a message that has a file.
    expectEnabled({C::cmdParNuevo, C::cboParParrafos, C::menGrabTotal, C::menArchGuardarComo, C::cmdParGuardar},
                  {C::menArchGuardar}, "saved");
    // "Total" stays off until the new paragraph has been saved once.
    commands.cmdParNuevo_Click();
    expectEnabled({C::menArchGuardarComo}, {C::menGrabTotal}, "second new");
}

TEST_F(ParagraphCommandsTest, SeparationTextIsParsedAndRoundedHalvesToEven) {
    const std::pair<const char*, Int16> cases[] = {{"2.5", 2}, {"3.5", 4}, {"7abc", 7}, {"", 0}, {"  5", 5},
                                                   {"99999", 32767}};
    for (auto [text, expected] : cases) {
        addSaved(U"A", false, text);
        EXPECT_EQ(store.paragraph(store.ParagraphCount).Separation, expected) << text;
        EXPECT_EQ(store.paragraph(store.ParagraphCount).Columns, Add16(4, expected)) << text;
    }
}

TEST_F(ParagraphCommandsTest, ClearMessageEmptiesEverythingAndDisablesEditing) {
    addSaved(U"AA");
    view.setMessageName("hola.fmv");
    view.setSeparationText("4");
    view.setIgnoreChecked(true);
    commands.ClearMessage();
    EXPECT_EQ(view.paragraphItemCount(), 0);
    EXPECT_TRUE(store.ParagraphCount == 0 && store.Paragraphs.empty());
    EXPECT_EQ(view.separationText(), "1");
    EXPECT_EQ(view.messageName() + view.fontFileText() + ToUtf8(view.messageText()), "");
    EXPECT_FALSE(view.ignoreChecked());
    expectEnabled({C::cmdParNuevo},
                  {C::txtMsjMensaje, C::frmEfectos, C::menGrabTotal, C::menGrabParcial, C::chkMsjIgnora,
                   C::frmArchivos, C::cmdParGuardar, C::frmSepar, C::menArchGuardar, C::menArchGuardarComo},
                  "cleared");
    commands.cmdParNuevo_Click();
    EXPECT_EQ(view.currentParagraphText(), "1");
}

TEST_F(ParagraphCommandsTest, FiftyParagraphLimitKeepsTheLastOneEditable) {
    for (int i = 0; i < 50; ++i) addSaved(i == 49 ? U"AA" : U"A");
    EXPECT_TRUE(dialogs.shown.empty());
    commands.cmdParNuevo_Click();
    ASSERT_EQ(dialogs.texts(), std::vector<std::string>{"Se alcanzó la cantidad máxima de párrafos permitidos (50)"});
    EXPECT_EQ(view.paragraphItemCount(), 50);
    EXPECT_EQ(store.ParagraphCount, 50);
    EXPECT_EQ(view.currentParagraphText(), "50");
    EXPECT_EQ(view.messageText(), U"");
    EXPECT_TRUE(view.isEnabled(C::cmdParGuardar));
    // The next save goes into the paragraph the list shows.
    view.setMessageText(U"A");
    view.setFontFileText("a.ffv");
    ASSERT_TRUE(commands.cmdParGuardar_Click());
    EXPECT_EQ(store.paragraph(50).Text, U"A");
    EXPECT_EQ(store.paragraph(49).Text, U"A");
}

TEST_F(ParagraphCommandsTest, CapacityLabelAtTheEdges) {
    joined = true;
    addSaved(U"A");  // paragraph 1, its columns set below; the second counts 5
    addSaved(U"A");
    const struct {
        Int16 before;
        const char* label;
        bool exceeded;
    } cases[] = {{2040, "Capacidad ocupada: 99%", false}, {2041, "Capacidad ocupada: 100%", false},
                 {2042, "Capacidad excedida.", true}, {1018, "Capacidad ocupada: 50%", false}};
    for (const auto& c : cases) {
        store.paragraph(1).Columns = c.before;
        commands.selectParagraph(1);
        ASSERT_TRUE(commands.cmdParGuardar_Click());
        EXPECT_EQ(view.capacityLabel(), c.label) << c.before;
        EXPECT_EQ(view.capacityLabelIsRedBold(), c.exceeded) << c.before;
        EXPECT_EQ(store.CapacityExceeded, c.exceeded) << c.before;
    }
    EXPECT_EQ(ParagraphCommands::CapacityText(0, 2046), "Capacidad ocupada: 0%");
    EXPECT_EQ(ParagraphCommands::CapacityText(1, 2046), "Capacidad ocupada: 0%");
}

TEST_F(ParagraphCommandsTest, SelectingLoadsTheRecordAndTheIgnoreBoxCountsOnlyWhenSaved) {
    addSaved(U"AA", true);
    addSaved(U"A");
    const std::string label = view.capacityLabel();
    commands.selectParagraph(0);
    EXPECT_EQ(view.messageText(), U"AA");
    EXPECT_TRUE(view.ignoreChecked());
    EXPECT_EQ(view.capacityLabel(), label);
    commands.selectParagraph(1);
    EXPECT_FALSE(view.ignoreChecked());
    EXPECT_TRUE(view.isEnabled(C::cmdParNuevo));
    view.setIgnoreChecked(true);
    EXPECT_FALSE(store.paragraph(2).Ignore);
    EXPECT_EQ(commands.TotalColumns(), 6);  // with its separating column
    ASSERT_TRUE(commands.cmdParGuardar_Click());
    EXPECT_TRUE(store.paragraph(2).Ignore);
    EXPECT_EQ(commands.TotalColumns(), 0);
}

}  // namespace
}  // namespace letrador
