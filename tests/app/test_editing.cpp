// The editing area: tag insertion and highlighting, separation buttons, font choice, and the
// paragraph commands as the window shows them.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QListWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <fstream>

#include "tests/app/app_rig.h"

namespace letrador {
namespace {

using testing::AppRig;

struct Look {
    QColor colour;
    bool bold;
};

// How character `pos` of the editor is drawn.
Look LookAt(QPlainTextEdit* editor, int pos) {
    QTextBlock block = editor->document()->findBlock(pos);
    int inBlock = pos - block.position();
    Look look{QColor(0, 0, 0), false};
    for (const QTextLayout::FormatRange& r : block.layout()->formats()) {
        if (inBlock >= r.start && inBlock < r.start + r.length) {
            look.colour = r.format.foreground().color();
            look.bold = r.format.fontWeight() >= QFont::Bold;
        }
    }
    return look;
}

class EditingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rig.load());
        rig.window->show();
        rig.child<QPushButton>("cmdParNuevo")->click();
        editor = rig.child<QPlainTextEdit>("txtMsjMensaje");
    }
    void chooseEffect(int index) { rig.child<QComboBox>("cboMsjFxEfectos")->setCurrentIndex(index); }
    void select(int start, int end) {
        QTextCursor c = editor->textCursor();
        c.setPosition(start);
        c.setPosition(end, QTextCursor::KeepAnchor);
        editor->setTextCursor(c);
    }
    AppRig rig;
    QPlainTextEdit* editor = nullptr;
};

TEST_F(EditingTest, AgregarWithoutAnEffectIsRefused) {
    editor->setPlainText(QStringLiteral("HOLA"));
    rig.child<QPushButton>("cmdMsjFxAgrega")->click();
    EXPECT_EQ(rig.dialogs.texts(), std::vector<std::string>{"Debe seleccionar un efecto de la lista."});
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("HOLA"));
}

TEST_F(EditingTest, TagAtCaretZeroIsInsertedAndHighlightedBoldRed) {
    editor->setPlainText(QStringLiteral("HOLA"));
    select(0, 0);
    chooseEffect(3);
    rig.child<QPushButton>("cmdMsjFxAgrega")->click();
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("<3>HOLA"));
    EXPECT_EQ(editor->textCursor().position(), 3);
    EXPECT_FALSE(editor->textCursor().hasSelection());
    for (int i = 0; i < 3; ++i) {
        Look l = LookAt(editor, i);
        EXPECT_EQ(l.colour, QColor(255, 0, 0)) << i;
        EXPECT_TRUE(l.bold) << i;
    }
    EXPECT_FALSE(LookAt(editor, 3).bold);
    EXPECT_EQ(LookAt(editor, 3).colour, QColor(0, 0, 0));
    EXPECT_TRUE(rig.store.MessageModified);
}

TEST_F(EditingTest, ASelectionStaysBehindTheInsertedTag) {
    editor->setPlainText(QStringLiteral("HOLA"));
    select(1, 3);
    chooseEffect(10);
    rig.child<QPushButton>("cmdMsjFxAgrega")->click();
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("H<A>OLA"));
    EXPECT_EQ(editor->textCursor().position(), 4);
    EXPECT_EQ(LookAt(editor, 2).colour, QColor(0, 150, 0));
}

TEST_F(EditingTest, TypedTagIsGreenBoldAndBreaksBackToPlain) {
    editor->setFocus();
    QTest::keyClicks(editor, QStringLiteral("a<x>"));
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("a<x>"));
    EXPECT_EQ(LookAt(editor, 1).colour, QColor(0, 150, 0));
    EXPECT_TRUE(LookAt(editor, 3).bold);
    QTest::keyClick(editor, Qt::Key_Backspace);
    EXPECT_FALSE(LookAt(editor, 1).bold);
    EXPECT_EQ(LookAt(editor, 2).colour, QColor(0, 0, 0));
}

TEST_F(EditingTest, DanglingTagAndGreedyWalk) {
    editor->setPlainText(QStringLiteral("AB<9"));
    EXPECT_FALSE(LookAt(editor, 2).bold);
    editor->setPlainText(QStringLiteral("<<0>"));
    EXPECT_FALSE(LookAt(editor, 0).bold);  // the first "<" stays plain...
    EXPECT_EQ(LookAt(editor, 1).colour, QColor(0, 0, 255));  // ...and "<0>" is blue
    editor->setPlainText(QStringLiteral("<9>\n<5>"));
    EXPECT_EQ(LookAt(editor, 0).colour, QColor(255, 0, 255));
    EXPECT_EQ(LookAt(editor, 4).colour, QColor(255, 150, 0));
    // The stored text keeps CR LF.
    EXPECT_EQ(rig.window->messageText(), U"<9>\r\n<5>");
}

// Tags are found in characters, as the count finds them: a character beyond the BMP (two
// UTF-16 units in the editor) can be a tag's middle character.
TEST_F(EditingTest, TagsAreFoundInCharactersNotUtf16Units) {
    struct Case {
        const char* text;
        int unit;  // position in the editor, UTF-16 units
        QColor colour;
        bool bold;
    };
    const QColor green(0, 150, 0), black(0, 0, 0), red(255, 0, 0);
    for (const Case& c : std::initializer_list<Case>{
             {"a<😀>b", 1, green, true},
             {"a<😀>b", 2, green, true},
             {"a<😀>b", 4, green, true},
             {"a<😀>b", 5, black, false},
             {"<😀😀>", 0, black, false},  // four characters between the brackets: no tag
             {"😀<3>😀", 2, red, true},
             {"😀<3>😀", 5, black, false},
         }) {
        SCOPED_TRACE(std::string(c.text) + " at " + std::to_string(c.unit));
        editor->setPlainText(QString::fromUtf8(c.text));
        const Look look = LookAt(editor, c.unit);
        EXPECT_EQ(look.colour, c.colour);
        EXPECT_EQ(look.bold, c.bold);
    }
}

TEST_F(EditingTest, CtrlZUndoesExactlyTheInsertedTagAndTypingStaysUndoable) {
    editor->setFocus();
    QTest::keyClicks(editor, QStringLiteral("HOLA"));
    select(2, 2);
    chooseEffect(3);
    rig.store.MessageModified = false;
    rig.child<QPushButton>("cmdMsjFxAgrega")->click();
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("HO<3>LA"));
    EXPECT_EQ(editor->textCursor().position(), 5);
    EXPECT_TRUE(rig.store.MessageModified);
    EXPECT_EQ(LookAt(editor, 2).colour, QColor(255, 0, 0));
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("HOLA"));
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_NE(editor->toPlainText(), QStringLiteral("HOLA"));
    EXPECT_TRUE(QStringLiteral("HOLA").startsWith(editor->toPlainText()));
}

// Only a real change of the text marks the message: loading what a box already holds is none.
TEST_F(EditingTest, WritingTheTextABoxAlreadyHoldsIsNoChange) {
    // "Nuevo Párrafo" right after start-up (SetUp) changed nothing the operator could lose.
    EXPECT_FALSE(rig.store.MessageModified);
    rig.action("menArchNuevo")->trigger();
    EXPECT_TRUE(rig.dialogs.shown.empty());

    rig.addParagraph(QStringLiteral("AB"));
    rig.store.MessageModified = false;
    auto* list = rig.child<QComboBox>("cboParParrafos");
    list->setCurrentIndex(0);
    emit list->activated(0);
    EXPECT_FALSE(rig.store.MessageModified);
    rig.action("menArchNuevo")->trigger();
    EXPECT_TRUE(rig.dialogs.shown.empty());
}

// The list marks the paragraph's font, or none, without choosing it again.
TEST_F(EditingTest, FontListShowsTheCurrentParagraphsFont) {
    testing::WriteFont(rig.scratch.path() / "tipografias" / "b.ffv", testing::SampleAB());
    rig.window->refreshFontList();
    auto* fonts = rig.child<QListWidget>("filArchArchivos");
    auto* paragraphs = rig.child<QComboBox>("cboParParrafos");
    auto current = [&] { return fonts->currentItem() ? fonts->currentItem()->text() : QString(); };
    rig.child<QPushButton>("cmdParNuevo")->click();  // the first paragraph, in a.ffv
    editor->setPlainText(QStringLiteral("AB"));
    rig.window->setFontFileText("a.ffv");
    rig.child<QPushButton>("cmdParGuardar")->click();
    rig.child<QPushButton>("cmdParNuevo")->click();
    EXPECT_EQ(current(), QString());
    EXPECT_TRUE(fonts->selectedItems().isEmpty());
    QTest::mouseClick(fonts->viewport(), Qt::LeftButton, {},
                      fonts->visualItemRect(fonts->item(1)).center());
    editor->setPlainText(QStringLiteral("BA"));
    rig.child<QPushButton>("cmdParGuardar")->click();
    ASSERT_EQ(rig.store.paragraph(2).FontFile, "b.ffv");
    rig.dialogs.clear();
    for (const auto& [index, font] : {std::pair{0, "a.ffv"}, std::pair{1, "b.ffv"}}) {
        SCOPED_TRACE(font);
        paragraphs->setCurrentIndex(index);
        emit paragraphs->activated(index);
        EXPECT_EQ(current(), QString::fromUtf8(font));
        EXPECT_EQ(fonts->selectedItems().size(), 1);
    }
    EXPECT_TRUE(rig.dialogs.shown.empty());
    // A refused file does not stay marked: the list goes back to the paragraph's font, and the
    // message is as unchanged as before.
    std::ofstream(rig.scratch.path() / "tipografias" / "roto.ffv") << "x";
    rig.window->refreshFontList();
    rig.store.MessageModified = false;
    QTest::mouseClick(fonts->viewport(), Qt::LeftButton, {},
                      fonts->visualItemRect(fonts->item(2)).center());
    ASSERT_EQ(rig.dialogs.shown.size(), 1u);
    QTRY_COMPARE(current(), QStringLiteral("b.ffv"));
    EXPECT_EQ(rig.window->fontFileText(), "b.ffv");
    EXPECT_FALSE(rig.store.MessageModified);
}

TEST_F(EditingTest, SeparationButtonsStayWithinZeroToFive) {
    auto* box = rig.child<QLineEdit>("txtMsjSeparSepar");
    auto* plus = rig.child<QPushButton>("cmdMsjSeparMas");
    auto* minus = rig.child<QPushButton>("cmdMsjSeparMenos");
    box->setText(QStringLiteral("5"));
    plus->click();
    EXPECT_EQ(box->text(), QStringLiteral("5"));
    box->setText(QStringLiteral("0"));
    minus->click();
    EXPECT_EQ(box->text(), QStringLiteral("0"));
    box->setText(QStringLiteral("2"));
    rig.store.MessageModified = false;
    plus->click();
    EXPECT_EQ(box->text(), QStringLiteral("3"));
    EXPECT_TRUE(rig.store.MessageModified);
    box->setText(QStringLiteral("8"));
    plus->click();
    EXPECT_EQ(box->text(), QStringLiteral("8"));
    minus->click();
    EXPECT_EQ(box->text(), QStringLiteral("7"));
}

TEST_F(EditingTest, ChoosingAFontChecksItsFormat) {
    std::ofstream(rig.scratch.path() / "tipografias" / "roto.ffv", std::ios::binary)
        << std::string("\x05\x00", 2) << std::string(22, 'x');
    rig.window->refreshFontList();
    auto* list = rig.child<QListWidget>("filArchArchivos");
    ASSERT_EQ(list->count(), 2);
    auto click = [&](const QString& name) {
        QListWidgetItem* item = list->findItems(name, Qt::MatchExactly).value(0);
        ASSERT_NE(item, nullptr);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
    };
    click(QStringLiteral("a.ffv"));
    EXPECT_EQ(rig.window->fontFileText(), "a.ffv");
    EXPECT_TRUE(rig.dialogs.shown.empty());
    click(QStringLiteral("roto.ffv"));
    EXPECT_EQ(rig.dialogs.texts(),
              std::vector<std::string>{"Error: El archivo no tiene el formato adecuado."});
    EXPECT_EQ(rig.window->fontFileText(), "a.ffv");
    rig.dialogs.clear();
    rig.window->setFontFileText("");
    click(QStringLiteral("a.ffv"));
    EXPECT_EQ(rig.window->fontFileText(), "a.ffv");
    EXPECT_TRUE(rig.dialogs.shown.empty());
}

TEST_F(EditingTest, FontListFollowsTheFolder) {
    auto* list = rig.child<QListWidget>("filArchArchivos");
    EXPECT_EQ(list->count(), 1);
    testing::WriteFont(rig.scratch.path() / "tipografias" / "b.ffv", testing::SampleAB());
    std::ofstream(rig.scratch.path() / "tipografias" / "nota.txt") << "x";
    rig.window->refreshFontList();
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("b.ffv"));
}

TEST_F(EditingTest, FontListFollowsTheFolderByItself) {
    auto* list = rig.child<QListWidget>("filArchArchivos");
    ASSERT_EQ(list->count(), 1);
    testing::WriteFont(rig.scratch.path() / "tipografias" / "b.ffv", testing::SampleAB());
    rig.window->repaint();
    QTRY_COMPARE(list->count(), 2);
}

TEST_F(EditingTest, TabbingIntoTheFontListChoosesNothingButTheArrowKeysDo) {
    testing::WriteFont(rig.scratch.path() / "tipografias" / "b.ffv", testing::SampleAB());
    rig.window->refreshFontList();
    auto* list = rig.child<QListWidget>("filArchArchivos");
    ASSERT_EQ(list->count(), 2);
    ASSERT_EQ(list->currentItem(), nullptr);
    rig.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(rig.window.get()));
    list->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    ASSERT_TRUE(list->hasFocus());
    EXPECT_EQ(rig.window->fontFileText(), "");
    QTest::keyClick(list, Qt::Key_Down);
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.window->fontFileText(), "b.ffv");
    EXPECT_TRUE(rig.dialogs.shown.empty());
}

TEST_F(EditingTest, CapacityLabelTurnsBoldRedAboveTheSign) {
    auto* label = rig.child<QLabel>("lblMsjCapacidad");
    rig.window->setFontFileText("a.ffv");
    rig.child<QPushButton>("cmdMsjSeparMenos")->click();
    ASSERT_EQ(rig.window->separationText(), "0");
    // 511 A of 4 columns and "<9>" (2): 2046 columns, and the separator after the paragraph.
    editor->setPlainText(QString(511, QLatin1Char('A')) + QStringLiteral("<9>"));
    rig.child<QPushButton>("cmdParGuardar")->click();
    EXPECT_EQ(rig.store.paragraph(1).Columns, 2046);
    EXPECT_EQ(label->text(), QStringLiteral("Capacidad excedida."));
    EXPECT_TRUE(label->styleSheet().contains(QStringLiteral("rgb(255,0,0)")));
    EXPECT_TRUE(label->styleSheet().contains(QStringLiteral("bold")));
    // Joined, the same paragraph fills the sign exactly.
    rig.window->avanzadas().findChild<QCheckBox*>(QStringLiteral("chkParUnidos"))->setChecked(true);
    rig.child<QPushButton>("cmdParGuardar")->click();
    EXPECT_EQ(label->text(), QStringLiteral("Capacidad ocupada: 100%"));
    EXPECT_FALSE(label->styleSheet().contains(QStringLiteral("bold;")));
    EXPECT_FALSE(label->styleSheet().contains(QStringLiteral("rgb(255,0,0)")));
}

TEST_F(EditingTest, WindowMirrorsTheEditingStates) {
    EXPECT_FALSE(rig.child<QComboBox>("cboParParrafos")->isEnabled());
    EXPECT_FALSE(rig.child<QPushButton>("cmdParNuevo")->isEnabled());
    EXPECT_TRUE(rig.action("menGrabParcial")->isEnabled());
    EXPECT_FALSE(rig.action("menGrabTotal")->isEnabled());
    editor->setPlainText(QStringLiteral("AA"));
    rig.window->setFontFileText("a.ffv");
    rig.child<QPushButton>("cmdParGuardar")->click();
    EXPECT_TRUE(rig.child<QComboBox>("cboParParrafos")->isEnabled());
    EXPECT_TRUE(rig.action("menGrabTotal")->isEnabled());
    EXPECT_TRUE(rig.action("menArchGuardarComo")->isEnabled());
    EXPECT_EQ(rig.store.paragraph(1).Columns, 10);
    rig.addParagraph(QStringLiteral("A"));
    auto* list = rig.child<QComboBox>("cboParParrafos");
    ASSERT_EQ(list->count(), 2);
    EXPECT_FALSE(list->isEditable());
    list->setCurrentIndex(0);
    emit list->activated(0);
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("AA"));
}

}  // namespace
}  // namespace letrador
