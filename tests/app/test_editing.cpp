// The editing area: tag insertion and highlighting, separation buttons, the font list, the
// capacity label and the LED preview under the editor.
#include <gtest/gtest.h>

#include <QTextBlock>
#include <QTextLayout>

#include "app/led_preview.h"
#include "files/file_commands.h"
#include "tests/app/app_rig.h"

namespace letrador {
namespace {

using testing::AppRig;

const QColor kBlack(0, 0, 0), kGreen(0, 150, 0), kRed(255, 0, 0);

// How character `pos` (UTF-16 units) of the editor is drawn: its colour and whether bold.
std::pair<QColor, bool> LookAt(QPlainTextEdit* editor, int pos) {
    QTextBlock block = editor->document()->findBlock(pos);
    int inBlock = pos - block.position();
    std::pair<QColor, bool> look{kBlack, false};
    for (const QTextLayout::FormatRange& r : block.layout()->formats())
        if (inBlock >= r.start && inBlock < r.start + r.length)
            look = {r.format.foreground().color(), r.format.fontWeight() >= QFont::Bold};
    return look;
}

class EditingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rig.start());
        rig.press("cmdParNuevo");
        editor = rig.editor();
    }
    void chooseEffect(int index) { rig.child<QComboBox>("cboMsjFxEfectos")->setCurrentIndex(index); }
    QListWidget* fonts() { return rig.child<QListWidget>("filArchArchivos"); }
    void clickFont(int row) {
        QTest::mouseClick(fonts()->viewport(), Qt::LeftButton, {},
                          fonts()->visualItemRect(fonts()->item(row)).center());
    }
    QString currentFont() { return fonts()->currentItem() ? fonts()->currentItem()->text() : QString(); }
    AppRig rig;
    QPlainTextEdit* editor = nullptr;
};

TEST_F(EditingTest, AgregarPutsTheTagAtTheSelectionStartAndRefusesWithoutAnEffect) {
    editor->setPlainText(QStringLiteral("HOLA"));
    rig.press("cmdMsjFxAgrega");
    EXPECT_EQ(rig.dialogs.texts(), std::vector<std::string>{"Debe seleccionar un efecto de la lista."});
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("HOLA"));
    const struct {
        int start, end, effect, caret;
        const char* result;
        QColor colour;
    } cases[] = {{0, 0, 3, 3, "<3>HOLA", kRed}, {1, 3, 10, 4, "H<A>OLA", kGreen}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.result);
        editor->setPlainText(QStringLiteral("HOLA"));
        rig.store.MessageModified = false;
        rig.select(c.start, c.end);
        chooseEffect(c.effect);
        rig.press("cmdMsjFxAgrega");
        EXPECT_EQ(editor->toPlainText().toStdString(), c.result);
        EXPECT_EQ(editor->textCursor().position(), c.caret);
        EXPECT_FALSE(editor->textCursor().hasSelection());
        EXPECT_EQ(LookAt(editor, c.caret - 1).first, c.colour);
        EXPECT_TRUE(rig.store.MessageModified);
    }
}

TEST_F(EditingTest, CtrlZUndoesExactlyTheInsertedTagAndTypingStaysUndoable) {
    editor->setFocus();
    QTest::keyClicks(editor, QStringLiteral("HOLA"));
    rig.select(2, 2);
    chooseEffect(3);
    rig.press("cmdMsjFxAgrega");
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("HO<3>LA"));
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("HOLA"));
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_NE(editor->toPlainText(), QStringLiteral("HOLA"));
    EXPECT_TRUE(QStringLiteral("HOLA").startsWith(editor->toPlainText()));
}

// Tags are coloured by their code and bold; they are found in characters, as the count finds
// them, so a character beyond the BMP (two UTF-16 units) can be a tag's middle character.
TEST_F(EditingTest, TagsAreHighlightedAsTheCountFindsThem) {
    const std::tuple<const char*, int, QColor, bool> cases[] = {  // text, UTF-16 unit, its look
        {"<3>HOLA", 0, kRed, true},       {"<3>HOLA", 2, kRed, true},
        {"<3>HOLA", 3, kBlack, false},    {"AB<9", 2, kBlack, false},
        {"<<0>", 0, kBlack, false},       {"<<0>", 1, QColor(0, 0, 255), true},
        {"<9>\n<5>", 0, QColor(255, 0, 255), true}, {"<9>\n<5>", 4, QColor(255, 150, 0), true},
        {"a<😀>b", 1, kGreen, true},      {"a<😀>b", 2, kGreen, true},
        {"a<😀>b", 4, kGreen, true},      {"a<😀>b", 5, kBlack, false},
        {"<😀😀>", 0, kBlack, false},     {"😀<3>😀", 2, kRed, true},
        {"😀<3>😀", 5, kBlack, false},
    };
    for (const auto& [text, unit, colour, bold] : cases) {
        SCOPED_TRACE(std::string(text) + " at " + std::to_string(unit));
        editor->setPlainText(QString::fromUtf8(text));
        EXPECT_EQ(LookAt(editor, unit), std::pair(colour, bold));
    }
    editor->setPlainText(QStringLiteral("<9>\n<5>"));
    EXPECT_EQ(rig.window->messageText(), U"<9>\r\n<5>");  // the stored text keeps CR LF
}

// A character a message file cannot hold is marked as it is typed: underlined in the editor,
// whatever its colour, and named on the line under the preview.
TEST_F(EditingTest, CharactersAFileCannotHoldAreMarkedAsTyped) {
    auto underlined = [&](int pos) {
        QTextBlock block = editor->document()->findBlock(pos);
        for (const QTextLayout::FormatRange& r : block.layout()->formats())
            if (pos - block.position() >= r.start && pos - block.position() < r.start + r.length)
                return r.format.underlineStyle() == QTextCharFormat::WaveUnderline;
        return false;
    };
    for (char32_t typed : std::u32string_view(U"Año → €<→>😀"))
        editor->insertPlainText(QString::fromUcs4(&typed, 1));  // one character at a time
    const std::tuple<int, bool, QColor, bool> cases[] = {  // UTF-16 unit, marked, colour, bold
        {1, false, kBlack, false}, {4, true, kBlack, false}, {6, false, kBlack, false},
        {8, true, kGreen, true},   {7, false, kGreen, true}, {10, true, kBlack, false}};
    for (const auto& [unit, marked, colour, bold] : cases) {
        SCOPED_TRACE(unit);
        EXPECT_EQ(underlined(unit), marked);
        EXPECT_EQ(LookAt(editor, unit), std::pair(colour, bold));
    }
    QCoreApplication::processEvents();
    const auto* preview = rig.window->findChild<LedPreview*>(QStringLiteral("vistaCartel"));
    EXPECT_EQ(preview->missingLabel()->text(), QStringLiteral("No se pueden guardar (quedan como ?): → 😀"));
}

// Only a real change of the text marks the message: loading what a box already holds is none.
TEST_F(EditingTest, WritingTheTextABoxAlreadyHoldsIsNoChange) {
    EXPECT_FALSE(rig.store.MessageModified);  // "Nuevo Párrafo" right after start-up
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

TEST_F(EditingTest, SeparationButtonsStayWithinZeroToFive) {
    auto* box = rig.child<QLineEdit>("txtMsjSeparSepar");
    const std::tuple<const char*, const char*, const char*> cases[] = {  // before, button, after{"5", "cmdMsjSeparMas", "5"}, {"0", "cmdMsjSeparMenos", "0"},
                 {"2", "cmdMsjSeparMas", "3"}, {"8", "cmdMsjSeparMas", "8"},
                 {"8", "cmdMsjSeparMenos", "7"}, {"1", "cmdMsjSeparMenos", "0"}};
    for (const auto& [before, button, after] : cases) {
        SCOPED_TRACE(std::string(before) + " " + button);
        box->setText(QString::fromLatin1(before));
        rig.store.MessageModified = false;
        rig.press(button);
        EXPECT_EQ(box->text().toStdString(), after);
        EXPECT_EQ(rig.store.MessageModified, std::string(before) != after);
    }
}

// The list follows the folder by itself and marks the current paragraph's font, or none,
// without choosing it again; a refused file is not kept marked. Tabbing into it chooses
// nothing, the arrow keys do.
TEST_F(EditingTest, FontListFollowsTheFolderAndTheParagraph) {
    ASSERT_EQ(fonts()->count(), 1);
    testing::WriteFont(rig.scratch.path() / "tipografias" / "b.ffv", testing::SampleAB());
    std::ofstream(rig.scratch.path() / "tipografias" / "nota.txt") << "x";
    rig.window->repaint();
    EXPECT_TRUE(QTest::qWaitFor([&] { return fonts()->count() == 2; }));
    EXPECT_EQ(fonts()->item(1)->text(), QStringLiteral("b.ffv"));
    ASSERT_EQ(fonts()->currentItem(), nullptr);
    rig.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(rig.window.get()));
    fonts()->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    ASSERT_TRUE(fonts()->hasFocus());
    EXPECT_EQ(rig.window->fontFileText(), "");
    QTest::keyClick(fonts(), Qt::Key_Down);
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.window->fontFileText(), "b.ffv");
    auto* paragraphs = rig.child<QComboBox>("cboParParrafos");
    editor->setPlainText(QStringLiteral("AB"));
    clickFont(0);
    EXPECT_EQ(rig.window->fontFileText(), "a.ffv");
    rig.press("cmdParGuardar");
    rig.press("cmdParNuevo");
    EXPECT_EQ(currentFont(), QString());
    EXPECT_TRUE(fonts()->selectedItems().isEmpty());
    clickFont(1);
    editor->setPlainText(QStringLiteral("BA"));
    rig.press("cmdParGuardar");
    ASSERT_EQ(rig.store.paragraph(2).FontFile, "b.ffv");
    for (const auto& [index, font] : {std::pair{0, "a.ffv"}, std::pair{1, "b.ffv"}}) {
        SCOPED_TRACE(font);
        paragraphs->setCurrentIndex(index);
        emit paragraphs->activated(index);
        EXPECT_EQ(currentFont(), QString::fromUtf8(font));
        EXPECT_EQ(fonts()->selectedItems().size(), 1);
    }
    EXPECT_TRUE(rig.dialogs.shown.empty());
    std::ofstream(rig.scratch.path() / "tipografias" / "roto.ffv", std::ios::binary)
        << std::string("\x05\x00", 2) << std::string(22, 'x');
    rig.window->refreshFontList();
    rig.store.MessageModified = false;
    clickFont(2);
    EXPECT_EQ(rig.dialogs.texts(), std::vector<std::string>{"Error: El archivo no tiene el formato adecuado."});
    EXPECT_TRUE(QTest::qWaitFor([&] { return currentFont() == QStringLiteral("b.ffv"); }));
    EXPECT_EQ(rig.window->fontFileText(), "b.ffv");
    EXPECT_FALSE(rig.store.MessageModified);
    // With the box emptied, a click on the font the list still marks chooses it again.
    rig.window->setFontFileText("");
    clickFont(1);
    EXPECT_EQ(rig.window->fontFileText(), "b.ffv");
}

// 511 A of 4 columns and "<9>" (2) are 2046 columns: with the separator after the paragraph
// too many, joined exactly the sign.
TEST_F(EditingTest, CapacityLabelTurnsBoldRedAboveTheSign) {
    auto* label = rig.child<QLabel>("lblMsjCapacidad");
    rig.window->setFontFileText("a.ffv");
    rig.press("cmdMsjSeparMenos");
    editor->setPlainText(QString(511, QLatin1Char('A')) + QStringLiteral("<9>"));
    for (bool joined : {false, true}) {
        rig.optionsChild<QCheckBox>("chkParUnidos")->setChecked(joined);
        rig.press("cmdParGuardar");
        EXPECT_EQ(label->text(), joined ? QStringLiteral("Capacidad ocupada: 100%") : QStringLiteral("Capacidad excedida."));
        EXPECT_EQ(label->styleSheet().contains(QStringLiteral("rgb(255,0,0)")), !joined);
        EXPECT_EQ(label->styleSheet().contains(QStringLiteral("bold;")), !joined);
    }
}

// The preview and its total follow every change at once, saved or not, including those made in
// the options window; a tag is a mark among the columns, not a column.
TEST_F(EditingTest, PreviewFollowsEveryChange) {
    testing::WriteFont(rig.scratch.path() / "tipografias" / "ancha.ffv", {{"A", {0x7F, 0x41, 0x41, 0x41, 0x41, 0x7F}}});
    auto* preview = rig.window->findChild<LedPreview*>(QStringLiteral("vistaCartel"));
    auto* list = rig.child<QComboBox>("cboParParrafos");
    auto options = [&](const char* name) { return rig.window->avanzadas().findChild<QAbstractButton*>(name); };
    const struct {
        const char* step;
        std::function<void()> act;
        int columns, strip, total;  // a tag counts a column but draws none
        std::uint8_t first;
    } steps[] = {
        {"A A: 4, 1 dark, a space of 3, 4, 1 dark", [&] { editor->setPlainText(QStringLiteral("A A"));
                                                        rig.window->setFontFileText("a.ffv"); }, 13, 13, 14, 0x7E},
        {"separation 2", [&] { rig.press("cmdMsjSeparMas"); }, 15, 15, 16, 0x7E},
        {"space 4", [&] { options("cmdParEspaMas")->click(); }, 16, 16, 17, 0x7E},
        {"ancha.ffv", [&] { rig.window->setFontFileText("ancha.ffv"); }, 20, 20, 21, 0x7F},
        {"saved, and a second paragraph A", [&] { rig.press("cmdParGuardar"); rig.addParagraph(QStringLiteral("A")); }, 5, 5, 27, 0x7E},
        {"joined", [&] { options("chkParUnidos")->click(); }, 5, 5, 25, 0x7E},
        {"ignored", [&] { rig.child<QCheckBox>("chkMsjIgnora")->setChecked(true); }, 5, 5, 20, 0x7E},
        {"paragraph 1", [&] { list->setCurrentIndex(0); rig.window->cboParParrafos_Click(); }, 20, 20, 25, 0x7F},
        {"<4>A", [&] { editor->setPlainText(QStringLiteral("<4>A")); }, 9, 8, 14, 0x7F},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        s.act();
        QCoreApplication::processEvents();
        EXPECT_EQ(preview->paragraphLabel()->text(), QStringLiteral("Columnas del párrafo: %1").arg(s.columns));
        EXPECT_EQ(preview->totalLabel()->text(), QStringLiteral("Total del mensaje: %1 de 2046").arg(s.total));
        ASSERT_EQ(preview->strip()->columns().size(), static_cast<std::size_t>(s.strip));
        EXPECT_EQ(preview->strip()->columns().front(), s.first);
    }
    ASSERT_EQ(preview->strip()->markers().size(), 1u);
    EXPECT_EQ(preview->strip()->markers()[0].code, U'4');
    EXPECT_EQ(preview->strip()->markers()[0].column, 0u);
    rig.window->menArchNuevo_Click();
    QCoreApplication::processEvents();
    EXPECT_EQ(preview->totalLabel()->text(), QStringLiteral("Total del mensaje: 0 de 2046"));
    EXPECT_TRUE(preview->strip()->columns().empty());
}

// Widths that must not move when the "Sin dibujo" line fills with characters the font lacks,
// typed or read from a file: the window's and the font list's.
TEST_F(EditingTest, WindowAndFontListKeepTheirWidthsWhenTheMissingLineFills) {
    QTest::qWait(50);
    const int window = rig.window->width(), list = fonts()->width();
    auto* preview = rig.window->findChild<LedPreview*>(QStringLiteral("vistaCartel"));
    const QString lacking = QStringLiteral("CDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz 0123456789");
    const std::string longParagraph = lacking.toStdString() + std::string(400, 'A');
    std::ofstream(rig.scratch.path() / "mensajes" / "largo.fmv", std::ios::binary)
        << "3\r\n0\r\n1\r\n\"a.ffv\"\r\n\"" << longParagraph << "\"\r\n\"fin_parrafo\"\r\n2000\r\n#FALSE#\r\n1\r\n";
    const struct {
        const char* step;
        std::function<void()> act;
    } steps[] = {
        {"characters the font lacks", [&] {
             rig.window->setFontFileText("a.ffv");
             editor->setPlainText(QStringLiteral("A") + lacking);
         }},
        {"a file with a long paragraph", [&] {
             rig.store.MessageModified = false;
             rig.window->fileCommands().MenArchAbrir_Click();
             rig.window->fileCommands().filArchivo_DblClick("largo.fmv");
         }},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        s.act();
        QTest::qWait(50);  // the preview, then the layouts it asks for
        EXPECT_EQ(rig.window->width(), window);
        EXPECT_EQ(fonts()->width(), list);
        EXPECT_TRUE(preview->missingLabel()->text().endsWith(QStringLiteral("7 8 9")));
    }
    EXPECT_EQ(rig.window->messageName(), "largo.fmv");
    EXPECT_EQ(preview->strip()->columns().size(), 400u * 5 + 2 * 3);
}

}  // namespace
}  // namespace letrador
