// The paragraph store and its commands, driven as the window drives them.
#include <gtest/gtest.h>

#include "message/codepage.h"
#include "message/paragraph_commands.h"
#include "message/plain_editor_view.h"
#include "platform/scripted_dialogs.h"
#include "tests/support/sample_font.h"

namespace letrador {
namespace {

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
