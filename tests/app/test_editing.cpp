// The editing area: tag insertion and highlighting, separation buttons, the font list, the
// capacity label and the LED preview under the editor.
#include <gtest/gtest.h>

#include <QTextLayout>

#include "files/file_commands.h"
#include "tests/app/app_rig.h"

namespace letrador::testing {
namespace {

const QColor kBlack(0, 0, 0), kGreen(0, 150, 0), kRed(255, 0, 0);

// How character `pos` (UTF-16 units) of the editor is drawn: colour, bold, wavy underline.
std::tuple<QColor, bool, bool> LookAt(QPlainTextEdit* editor, int pos) {
    QTextBlock block = editor->document()->findBlock(pos);
    std::tuple<QColor, bool, bool> look{kBlack, false, false};
    for (const QTextLayout::FormatRange& r : block.layout()->formats())
        if (pos - block.position() >= r.start && pos - block.position() < r.start + r.length)
            look = {r.format.foreground().color(), r.format.fontWeight() >= QFont::Bold,
                    r.format.underlineStyle() == QTextCharFormat::WaveUnderline};
    return look;
}

class EditingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rig.start());
        rig.press("cmdParNuevo");
        editor = rig.editor();
    }
    QListWidget* fonts() { return rig.child<QListWidget>("filArchArchivos"); }
    void clickFont(int row) {
        QTest::mouseClick(fonts()->viewport(), Qt::LeftButton, {}, fonts()->visualItemRect(fonts()->item(row)).center());
    }
    std::string currentFont() { return fonts()->currentItem() ? fonts()->currentItem()->text().toStdString() : ""; }
    AppRig rig;
    QPlainTextEdit* editor = nullptr;
};

// "Agregar" types the chosen effect's tag at the selection's start, the caret after it, and marks
// the message changed; Ctrl+Z takes back exactly the tag, the typing before it still undoable.
TEST_F(EditingTest, AgregarPutsTheTagAtTheSelectionStartAndCtrlZTakesItBack) {
    editor->setPlainText("HOLA");
    rig.press("cmdMsjFxAgrega");
    EXPECT_EQ(rig.dialogs.texts(), std::vector<std::string>{"Debe seleccionar un efecto de la lista."});
    const std::tuple<int, int, int, int, const char*> cases[] = {  // selection, effect: caret, text
        {4, 4, 0, 7, "HOLA<0>"}, {0, 0, 3, 3, "<3>HOLA"}, {1, 3, 10, 4, "H<A>OLA"}};
    for (const auto& [start, end, effect, caret, result] : cases) {
        SCOPED_TRACE(result);
        editor->setPlainText("HOLA");
        rig.store.MessageModified = false;
        rig.select(start, end);
        rig.child<QComboBox>("cboMsjFxEfectos")->setCurrentIndex(effect);
        rig.press("cmdMsjFxAgrega");
        EXPECT_EQ(editor->toPlainText().toStdString(), result);
        EXPECT_EQ(editor->textCursor().position(), caret);
        EXPECT_FALSE(editor->textCursor().hasSelection());
        EXPECT_TRUE(rig.store.MessageModified);
    }
    editor->clear();
    QTest::keyClicks(editor, "HOLA");
    rig.select(2, 2);
    rig.press("cmdMsjFxAgrega");
    EXPECT_EQ(editor->toPlainText().toStdString(), "HO<A>LA");
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(editor->toPlainText().toStdString(), "HOLA");
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(editor->toPlainText() != "HOLA" && QString("HOLA").startsWith(editor->toPlainText()));
}

// As each character is typed: tags are coloured by their code and bold, found in characters as the
// count finds them (a character beyond the BMP can be a tag's middle); a character a file cannot
// hold is underlined, whatever its colour, and named under the preview with those the font lacks,
// each marked on the strip with its tip. The window and font list keep their widths meanwhile.
TEST_F(EditingTest, TagsAndCharactersAFileCannotHoldAreMarkedAsTyped) {
    QTest::qWait(50);
    const int window = rig.window->width(), list = fonts()->width();
    const QColor blue(0, 0, 255), magenta(255, 0, 255), orange(255, 150, 0);
    const std::tuple<const char*, int, QColor, bool, bool> cases[] = {  // text, unit: colour, bold, underlined
        {"<3>HOLA", 0, kRed, true, false},     {"<3>HOLA", 2, kRed, true, false},   {"<3>HOLA", 3, kBlack, false, false},
        {"AB<9", 2, kBlack, false, false},     {"<<0>", 0, kBlack, false, false},   {"<<0>", 1, blue, true, false},
        {"<9>\n<5>", 0, magenta, true, false}, {"<9>\n<5>", 4, orange, true, false}, {"a<😀>b", 1, kGreen, true, false},
        {"a<😀>b", 2, kGreen, true, true},     {"a<😀>b", 4, kGreen, true, false},  {"a<😀>b", 5, kBlack, false, false},
        {"<😀😀>", 0, kBlack, false, false},   {"😀<3>😀", 2, kRed, true, false},   {"😀<3>😀", 5, kBlack, false, true},
        {"Año → €", 1, kBlack, false, false},  {"Año → €", 4, kBlack, false, true}, {"Año → €", 6, kBlack, false, false}};
    for (const auto& [text, unit, colour, bold, underlined] : cases) {
        editor->clear();
        for (char32_t typed : FromUtf8(text)) editor->insertPlainText(QString::fromUcs4(&typed, 1));
        EXPECT_EQ(LookAt(editor, unit), std::tuple(colour, bold, underlined)) << text << " at " << unit;
    }
    EXPECT_EQ(rig.window->messageText(), U"Año → €");
    editor->setPlainText("<9>\n<5>");
    EXPECT_EQ(rig.window->messageText(), U"<9>\r\n<5>");  // the stored text keeps CR LF
    const std::string lacking = "CDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz 0123456789";
    rig.window->setFontFileText("a.ffv");
    editor->setPlainText(QString::fromStdString("A€→B😀" + lacking));
    QTest::qWait(50);  // the preview, then the layouts it asks for
    const QString missing = rig.preview()->missingLabel()->text();
    EXPECT_TRUE(missing.startsWith("Sin dibujo en «a.ffv»: € → 😀 C D") &&
                missing.endsWith("8 9 · No se pueden guardar (quedan como ?): → 😀")) << missing.toStdString();
    const LedStrip* strip = rig.preview()->strip();
    ASSERT_EQ(strip->markers().size(), 3u + 60);
    for (std::size_t k = 0; k < strip->markers().size(); ++k)
        EXPECT_EQ(strip->toolTipAt(strip->markRect(k).center()).toStdString(), strip->markers()[k].toolTip) << k;
    EXPECT_TRUE(rig.window->width() == window && fonts()->width() == list);
    std::ofstream(rig.scratch.path() / "mensajes" / "largo.fmv", std::ios::binary)
        << "3\r\n0\r\n1\r\n\"a.ffv\"\r\n\"" << lacking << std::string(400, 'A') << "\"\r\n\"fin_parrafo\"\r\n2000\r\n#FALSE#\r\n1\r\n";
    rig.store.MessageModified = false;
    rig.window->fileCommands().MenArchAbrir_Click();
    rig.window->fileCommands().filArchivo_DblClick("largo.fmv");
    QTest::qWait(50);
    EXPECT_TRUE(rig.window->width() == window && fonts()->width() == list);
    EXPECT_TRUE(rig.window->messageName() == "largo.fmv" && rig.preview()->missingLabel()->text().endsWith("7 8 9"));
    EXPECT_EQ(strip->columns().size(), 400u * 5 + 2 * 3);
}

// The buttons keep the separation within 0..5 and the options' space width within 1..5, leaving a
// wider typed one; only a press reaches the store (text that is no number counts as 0), and a
// changed separation marks the message.
TEST_F(EditingTest, SeparationAndSpaceButtonsKeepTheirRanges) {
    const std::tuple<const char*, const char*, const char*, int> cases[] = {  // before, button, after, space
        {"5", "cmdMsjSeparMas", "5", 3}, {"4", "cmdMsjSeparMas", "5", 3}, {"0", "cmdMsjSeparMenos", "0", 3},
        {"1", "cmdMsjSeparMenos", "0", 3}, {"8", "cmdMsjSeparMas", "8", 3}, {"8", "cmdMsjSeparMenos", "7", 3},
        {"5", "cmdParEspaMas", "5", 3}, {"4", "cmdParEspaMas", "5", 5}, {"1", "cmdParEspaMenos", "1", 3},
        {"2", "cmdParEspaMenos", "1", 1}, {"9", "cmdParEspaMas", "9", 3}, {"9", "cmdParEspaMenos", "8", 8},
        {"abc", "cmdParEspaMas", "1", 1}};
    for (const auto& [before, button, after, space] : cases) {
        const bool separ = std::string_view(button).starts_with("cmdMsj");
        auto* box = separ ? rig.child<QLineEdit>("txtMsjSeparSepar") : rig.optionsChild<QLineEdit>("txtParEspacio");
        box->setText(before);
        rig.store.SpaceWidth = 3;
        rig.store.MessageModified = false;
        (separ ? rig.child<QPushButton>(button) : rig.optionsChild<QPushButton>(button))->click();
        EXPECT_EQ(box->text().toStdString() + (rig.store.MessageModified ? " changed" : ""),
                  std::string(after) + (separ && std::string(before) != after ? " changed" : "")) << before << button;
        EXPECT_EQ(rig.store.SpaceWidth, space) << before << button;
    }
}

// The list follows the folder by itself and marks the current paragraph's font, or none,
// without choosing it again; a refused file is not kept marked. Tabbing into it chooses
// nothing, the arrow keys do; a click on the font it marks chooses that font again.
TEST_F(EditingTest, FontListFollowsTheFolderAndTheParagraph) {
    ASSERT_EQ(fonts()->count(), 1);
    WriteFont(rig.scratch.path() / "tipografias" / "b.ffv", SampleAB());
    std::ofstream(rig.scratch.path() / "tipografias" / "nota.txt") << "x";
    EXPECT_TRUE(QTest::qWaitFor([&] { return fonts()->count() == 2; }));
    EXPECT_EQ(fonts()->item(1)->text().toStdString(), "b.ffv");
    ASSERT_EQ(fonts()->currentItem(), nullptr);
    ASSERT_TRUE(Activate(*rig.window));
    fonts()->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    ASSERT_TRUE(fonts()->hasFocus());
    EXPECT_EQ(rig.window->fontFileText(), "");
    QTest::keyClick(fonts(), Qt::Key_Down);
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.window->fontFileText(), "b.ffv");
    QTest::keyClicks(rig.child<QLineEdit>("txtMsjArchivo"), "x");  // the font is chosen, never typed
    EXPECT_EQ(rig.window->fontFileText(), "b.ffv");
    editor->setPlainText("AB");
    clickFont(0);
    rig.press("cmdParGuardar");
    rig.press("cmdParNuevo");
    EXPECT_TRUE(currentFont().empty() && fonts()->selectedItems().isEmpty());
    clickFont(1);
    editor->setPlainText("BA");
    rig.press("cmdParGuardar");
    for (const auto& [index, font] : {std::pair{0, "a.ffv"}, std::pair{1, "b.ffv"}}) {
        rig.showParagraph(index);
        EXPECT_EQ(currentFont(), font);
        EXPECT_EQ(fonts()->selectedItems().size(), 1);
    }
    EXPECT_TRUE(rig.dialogs.shown.empty());
    std::ofstream(rig.scratch.path() / "tipografias" / "roto.ffv", std::ios::binary)
        << std::string("\x05\x00", 2) << std::string(22, 'x');
    rig.window->refreshFontList();
    rig.store.MessageModified = false;
    QCoreApplication::processEvents();  // nothing of the earlier clicks still pending
    clickFont(2);
    EXPECT_EQ(rig.dialogs.texts(), std::vector<std::string>{"Error: El archivo no tiene el formato adecuado."});
    EXPECT_TRUE(QTest::qWaitFor([&] { return currentFont() == "b.ffv"; }));
    EXPECT_EQ(rig.window->fontFileText(), "b.ffv");
    EXPECT_FALSE(rig.store.MessageModified);
    rig.window->setFontFileText("");
    clickFont(1);
    EXPECT_EQ(rig.window->fontFileText(), "b.ffv");
}

// 511 A of 4 columns and "<9>" (2) are 2046 columns: with the separator after the paragraph
// too many, joined exactly the sign. Both the capacity label and the preview's total say so.
TEST_F(EditingTest, CapacityLabelTurnsBoldRedAboveTheSign) {
    auto* label = rig.child<QLabel>("lblMsjCapacidad");
    EXPECT_EQ(label->text().toStdString(), "Capacidad ocupada: 0%");
    rig.window->setFontFileText("a.ffv");
    rig.press("cmdMsjSeparMenos");
    editor->setPlainText(QString(511, 'A') + "<9>");
    for (bool joined : {false, true}) {
        rig.optionsChild<QCheckBox>("chkParUnidos")->setChecked(joined);
        rig.press("cmdParGuardar");
        QCoreApplication::processEvents();
        EXPECT_EQ(label->text().toStdString(), joined ? "Capacidad ocupada: 100%" : "Capacidad excedida.");
        EXPECT_EQ(label->styleSheet().contains("rgb(255,0,0)"), !joined);
        EXPECT_EQ(label->styleSheet().contains("bold;"), !joined);
        EXPECT_EQ(rig.preview()->totalLabel()->styleSheet().contains("bold"), !joined);
    }
}

// The preview and its total follow every change at once, saved or not, including those made in
// the options window; a tag is a mark among the columns, not a column.
TEST_F(EditingTest, PreviewFollowsEveryChange) {
    WriteFont(rig.scratch.path() / "tipografias" / "ancha.ffv", {{"A", {0x7F, 0x41, 0x41, 0x41, 0x41, 0x7F}}});
    auto options = [&](const char* name) { return rig.optionsChild<QAbstractButton>(name); };
    // The step: the paragraph's columns, the strip's (a tag counts a column but draws none), the
    // message's total, and the strip's first column.
    const std::tuple<const char*, std::function<void()>, int, int, int, std::uint8_t> steps[] = {
        {"A A: 4, 1 dark, a space of 3, 4, 1 dark", [&] {
             editor->setPlainText("A A");
             rig.window->setFontFileText("a.ffv"); }, 13, 13, 14, 0x7E},
        {"separation 2", [&] { rig.press("cmdMsjSeparMas"); }, 15, 15, 16, 0x7E},
        {"space 4", [&] { options("cmdParEspaMas")->click(); }, 16, 16, 17, 0x7E},
        {"ancha.ffv", [&] { rig.window->setFontFileText("ancha.ffv"); }, 20, 20, 21, 0x7F},
        {"saved, and a second paragraph A", [&] { rig.press("cmdParGuardar"); rig.addParagraph("A"); }, 5, 5, 27, 0x7E},
        {"joined", [&] { options("chkParUnidos")->click(); }, 5, 5, 25, 0x7E},
        {"ignored", [&] { rig.child<QCheckBox>("chkMsjIgnora")->setChecked(true); }, 5, 5, 20, 0x7E},
        {"paragraph 1", [&] { rig.showParagraph(0); }, 20, 20, 25, 0x7F},
        {"<4>A", [&] { editor->setPlainText("<4>A"); }, 9, 8, 14, 0x7F},
    };
    for (const auto& [step, act, columns, strip, total, first] : steps) {
        SCOPED_TRACE(step);
        act();
        QCoreApplication::processEvents();
        EXPECT_EQ(rig.preview()->paragraphLabel()->text(), QString("Columnas del párrafo: %1").arg(columns));
        EXPECT_EQ(rig.preview()->totalLabel()->text(), QString("Total del mensaje: %1 de 2046").arg(total));
        ASSERT_EQ(rig.preview()->strip()->columns().size(), static_cast<std::size_t>(strip));
        EXPECT_EQ(rig.preview()->strip()->columns().front(), first);
    }
    LedStrip* strip = rig.preview()->strip();
    // Each dot is drawn lit or dark as its column's bit says, also when scrolling repaints only
    // the first two pixels of its cell.
    const QImage shot = strip->grab().toImage();
    std::set<QRgb> lit, dark;
    for (std::size_t c = 0; c < strip->columns().size(); ++c) {
        for (int row = 0; row < 7; ++row)
            (DotLit(strip->columns()[c], row) ? lit : dark).insert(shot.pixel(strip->dotCentre(c, row)));
        const QPoint edge = strip->dotCentre(c, 3) - QPoint(LedStrip::kPitch / 2, 0);
        EXPECT_EQ(strip->grab({edge.x(), 0, 2, strip->height()}).toImage().pixel(1, edge.y()),
                  shot.pixel(edge + QPoint(1, 0))) << c;
    }
    EXPECT_TRUE(lit.size() == 1 && dark.size() == 1 && lit != dark);
    ASSERT_EQ(strip->markers().size(), 1u);
    EXPECT_EQ(strip->markers()[0].code, U'4');
    EXPECT_EQ(strip->markers()[0].column, 0u);
    rig.window->menArchNuevo_Click();
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.preview()->totalLabel()->text().toStdString(), "Total del mensaje: 0 de 2046");
    EXPECT_TRUE(strip->columns().empty());
}

}  // namespace
}  // namespace letrador::testing
