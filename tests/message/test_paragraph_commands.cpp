// The paragraph store and its commands, driven as the window drives them.
#include <gtest/gtest.h>

#include "message/paragraph_commands.h"
#include "message/plain_editor_view.h"
#include "platform/scripted_dialogs.h"
#include "tests/support/sample_font.h"

namespace letrador {
namespace {

using C = EditorControl;
using testing::ScratchFolder;

class ParagraphCommandsTest : public ::testing::Test {
protected:
    ParagraphCommandsTest() : view(store), commands(store, view, dialogs, [this] { return joined; }) {
        store.FontFolder = scratch.path().string();
        testing::WriteFont(scratch.path() / "a.ffv", testing::SampleAB());
        commands.DisableEditing();
    }

    // A new paragraph with `text` in font a.ffv, saved.
    void addSaved(const std::u32string& text, bool ignore = false) {
        commands.cmdParNuevo_Click();
        view.setMessageText(text);
        view.setFontFileText("a.ffv");
        view.setIgnoreChecked(ignore);
        ASSERT_TRUE(commands.cmdParGuardar_Click());
    }

    ScratchFolder scratch;
    ParagraphStore store;
    PlainEditorView view;
    platform::ScriptedDialogs dialogs;
    bool joined = false;
    ParagraphCommands commands;
};

TEST_F(ParagraphCommandsTest, TotalColumnsCountsIgnoredAndSeparatingColumnsAsSpecified) {
    EXPECT_EQ(commands.TotalColumns(), 0);
    addSaved(U"A");
    addSaved(U"A");
    addSaved(U"A");
    store.paragraph(1).Columns = 100;
    store.paragraph(2).Columns = 200;
    store.paragraph(2).Ignore = true;
    store.paragraph(3).Columns = 300;
    joined = true;
    EXPECT_EQ(commands.TotalColumns(), 400);
    joined = false;
    EXPECT_EQ(commands.TotalColumns(), 402);
}

TEST_F(ParagraphCommandsTest, TotalColumnsSaturatesInsteadOfWrapping) {
    addSaved(U"A");
    addSaved(U"A");
    store.paragraph(1).Columns = 32000;
    store.paragraph(2).Columns = 32000;
    EXPECT_EQ(commands.TotalColumns(), 32767);
}

TEST_F(ParagraphCommandsTest, FirstNewParagraphIsEmptyNumberOne) {
    commands.cmdParNuevo_Click();
    ASSERT_EQ(store.ParagraphCount, 1);
    const ParagraphRecord& r = store.paragraph(1);
    EXPECT_EQ(r.Number, 1);
    EXPECT_TRUE(r.Text.empty());
    EXPECT_TRUE(r.FontFile.empty());
    EXPECT_EQ(r.Separation, 1);
    EXPECT_FALSE(r.Ignore);
    EXPECT_EQ(r.Columns, 0);
    EXPECT_EQ(view.currentParagraphText(), "1");
    EXPECT_EQ(view.separationText(), "1");
    EXPECT_EQ(view.focused(), C::txtMsjMensaje);
}

TEST_F(ParagraphCommandsTest, SeparationTextIsParsedAndRoundedHalvesToEven) {
    const std::pair<const char*, Int16> cases[] = {
        {"2.5", 2}, {"3.5", 4}, {"7abc", 7}, {"", 0}, {"  5", 5}, {"99999", 32767}};
    for (auto [text, expected] : cases) {
        commands.cmdParNuevo_Click();
        view.setMessageText(U"A");
        view.setFontFileText("a.ffv");
        view.setSeparationText(text);
        ASSERT_TRUE(commands.cmdParGuardar_Click());
        EXPECT_EQ(store.paragraph(store.ParagraphCount).Separation, expected) << text;
    }
}

TEST_F(ParagraphCommandsTest, ClearMessageEmptiesEverythingAndDisablesEditing) {
    addSaved(U"AA");
    view.setMessageName("hola.fmv");
    view.setSeparationText("4");
    view.setIgnoreChecked(true);
    commands.ClearMessage();
    EXPECT_EQ(view.paragraphItemCount(), 0);
    EXPECT_EQ(store.ParagraphCount, 0);
    EXPECT_TRUE(store.Paragraphs.empty());
    EXPECT_EQ(view.separationText(), "1");
    EXPECT_EQ(view.messageName(), "");
    EXPECT_EQ(view.messageText(), U"");
    EXPECT_EQ(view.fontFileText(), "");
    EXPECT_FALSE(view.ignoreChecked());
    EXPECT_TRUE(view.isEnabled(C::cmdParNuevo));
    for (C c : {C::txtMsjMensaje, C::frmEfectos, C::menGrabTotal, C::menGrabParcial,
                C::chkMsjIgnora, C::frmArchivos, C::cmdParGuardar, C::frmSepar,
                C::menArchGuardar, C::menArchGuardarComo}) {
        EXPECT_FALSE(view.isEnabled(c)) << static_cast<int>(c);
    }
    commands.cmdParNuevo_Click();
    EXPECT_EQ(view.currentParagraphText(), "1");
}

TEST_F(ParagraphCommandsTest, EditingStatesFollowTheCommands) {
    commands.cmdParNuevo_Click();
    for (C c : {C::txtMsjMensaje, C::frmMensaje, C::frmArchivos, C::frmSepar, C::frmEfectos,
                C::chkMsjIgnora, C::cmdParGuardar, C::menGrabParcial})
        EXPECT_TRUE(view.isEnabled(c)) << "new " << static_cast<int>(c);
    for (C c : {C::cmdParNuevo, C::cboParParrafos, C::menGrabTotal, C::menArchGuardar,
                C::menArchGuardarComo})
        EXPECT_FALSE(view.isEnabled(c)) << "new " << static_cast<int>(c);

    view.setMessageText(U"A");
    view.setFontFileText("a.ffv");
    ASSERT_TRUE(commands.cmdParGuardar_Click());
    for (C c : {C::cmdParNuevo, C::cboParParrafos, C::menGrabTotal, C::menArchGuardarComo,
                C::cmdParGuardar})
        EXPECT_TRUE(view.isEnabled(c)) << "saved " << static_cast<int>(c);
    // Guardar is only for a message that has a file.
    EXPECT_FALSE(view.isEnabled(C::menArchGuardar));

    // "Total" stays off until the new paragraph has been saved once.
    commands.cmdParNuevo_Click();
    EXPECT_FALSE(view.isEnabled(C::menGrabTotal));
    EXPECT_TRUE(view.isEnabled(C::menArchGuardarComo));
}

TEST_F(ParagraphCommandsTest, SaveChecksTextFirstThenFont) {
    commands.cmdParNuevo_Click();
    EXPECT_FALSE(commands.cmdParGuardar_Click());
    ASSERT_EQ(dialogs.texts(), std::vector<std::string>{"Debe ingresar texto en el mensaje."});
    EXPECT_EQ(view.focused(), C::txtMsjMensaje);
    dialogs.clear();
    view.setMessageText(U"A");
    EXPECT_FALSE(commands.cmdParGuardar_Click());
    EXPECT_EQ(dialogs.texts(),
              std::vector<std::string>{"Debe seleccionar un archivo de fuente para el mensaje."});
    // A refused save stores nothing and leaves the new-paragraph state.
    EXPECT_TRUE(store.paragraph(1).Text.empty());
    EXPECT_FALSE(view.isEnabled(C::cmdParNuevo));
    EXPECT_FALSE(view.isEnabled(C::menArchGuardarComo));
}

TEST_F(ParagraphCommandsTest, SaveStoresTheEditorAndItsColumnCount) {
    commands.cmdParNuevo_Click();
    view.setMessageText(U"A A");
    view.setFontFileText("a.ffv");
    view.setSeparationText("1");
    view.setIgnoreChecked(true);
    ASSERT_TRUE(commands.cmdParGuardar_Click());
    const ParagraphRecord& r = store.paragraph(1);
    EXPECT_EQ(r.Text, U"A A");
    EXPECT_EQ(r.FontFile, "a.ffv");
    EXPECT_EQ(r.Columns, 13);
    EXPECT_EQ(store.LastParagraphColumns, 13);
    EXPECT_TRUE(r.Ignore);
    // An ignored paragraph takes no room.
    EXPECT_EQ(view.capacityLabel(), "Capacidad ocupada: 0%");
}

TEST_F(ParagraphCommandsTest, FiftyParagraphLimitKeepsTheLastOneEditable) {
    for (int i = 0; i < 49; ++i) addSaved(U"A");
    commands.cmdParNuevo_Click();
    EXPECT_EQ(view.paragraphItemCount(), 50);
    EXPECT_TRUE(dialogs.shown.empty());
    view.setMessageText(U"AA");
    view.setFontFileText("a.ffv");
    ASSERT_TRUE(commands.cmdParGuardar_Click());

    commands.cmdParNuevo_Click();
    ASSERT_EQ(dialogs.texts(), std::vector<std::string>{
                                   "Se alcanzó la cantidad máxima de párrafos permitidos (50)"});
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
    addSaved(U"A");  // paragraph 1, its columns set below
    struct Case {
        Int16 before;
        const char* label;
        bool exceeded;
    };
    // The second paragraph counts 5 («A» with separation 1).
    for (Case c : {Case{2040, "Capacidad ocupada: 99%", false},
                   Case{2041, "Capacidad ocupada: 100%", false},
                   Case{2042, "Capacidad excedida.", true}, Case{1018, "Capacidad ocupada: 50%", false}}) {
        store.paragraph(1).Columns = c.before;
        if (store.ParagraphCount < 2) {
            addSaved(U"A");
        } else {
            commands.selectParagraph(1);
            ASSERT_TRUE(commands.cmdParGuardar_Click());
        }
        EXPECT_EQ(view.capacityLabel(), c.label) << c.before;
        EXPECT_EQ(view.capacityLabelIsRedBold(), c.exceeded) << c.before;
        EXPECT_EQ(store.CapacityExceeded, c.exceeded) << c.before;
    }
    EXPECT_EQ(ParagraphCommands::CapacityText(0, 2046), "Capacidad ocupada: 0%");
    EXPECT_EQ(ParagraphCommands::CapacityText(1, 2046), "Capacidad ocupada: 0%");
}

TEST_F(ParagraphCommandsTest, SelectingLoadsTheRecordButNotTheLabelOrStates) {
    addSaved(U"AA", /*ignore=*/true);
    addSaved(U"A");
    std::string label = view.capacityLabel();
    commands.selectParagraph(0);
    EXPECT_EQ(view.messageText(), U"AA");
    EXPECT_TRUE(view.ignoreChecked());
    EXPECT_EQ(view.capacityLabel(), label);
    commands.selectParagraph(1);
    EXPECT_FALSE(view.ignoreChecked());
    EXPECT_TRUE(view.isEnabled(C::cmdParNuevo));
}

TEST_F(ParagraphCommandsTest, IgnoreCheckReachesTheStoreOnlyThroughSave) {
    addSaved(U"AA");
    std::string before = view.capacityLabel();
    view.setIgnoreChecked(true);
    EXPECT_FALSE(store.paragraph(1).Ignore);
    EXPECT_EQ(commands.TotalColumns(), 11);
    ASSERT_TRUE(commands.cmdParGuardar_Click());
    EXPECT_TRUE(store.paragraph(1).Ignore);
    EXPECT_EQ(commands.TotalColumns(), 0);
    EXPECT_EQ(before, "Capacidad ocupada: 0%");
}

TEST_F(ParagraphCommandsTest, EditsMarkTheMessageModifiedButCommandsDoNotClearIt) {
    store.MessageModified = false;
    commands.cmdParNuevo_Click();
    view.setMessageText(U"A");
    EXPECT_TRUE(store.MessageModified);
    view.setFontFileText("a.ffv");
    ASSERT_TRUE(commands.cmdParGuardar_Click());
    EXPECT_TRUE(store.MessageModified);
}

}  // namespace
}  // namespace letrador
