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
