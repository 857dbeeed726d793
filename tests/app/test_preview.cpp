// The LED preview under the paragraph editor: it follows the text, the font, the separation,
// the space width and "Párrafos unidos", and its total is what the capacity label counts.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QScrollArea>

#include "app/led_preview.h"
#include "tests/app/app_rig.h"

namespace letrador {
namespace {

using testing::AppRig;

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::WriteFont(rig.scratch.path() / "tipografias" / "ancha.ffv",
                  {{"A", {0x7F, 0x41, 0x41, 0x41, 0x41, 0x7F}}});
        ASSERT_TRUE(rig.load());
        rig.window->show();
        preview = rig.window->findChild<LedPreview*>(QStringLiteral("vistaCartel"));
        ASSERT_NE(preview, nullptr);
    }
    // Lets the window handle what is pending, as it does between two keystrokes.
    static void Settle() { QCoreApplication::processEvents(); }
    std::string columnsLabel() const { return preview->paragraphLabel()->text().toStdString(); }
    std::string totalLabel() const { return preview->totalLabel()->text().toStdString(); }
    std::vector<std::uint8_t> expectedColumns(const std::string& font) const {
        return ComputeSignPreview(rig.window->messageText(),
                                  (rig.scratch.path() / "tipografias" / font).string(),
                                  WholeValue(rig.window->separationText()), rig.store.SpaceWidth)
            .columns;
    }
    AppRig rig;
    LedPreview* preview = nullptr;
};

TEST_F(PreviewTest, FollowsTextFontSeparationAndSpaceWidth) {
    rig.child<QPushButton>("cmdParNuevo")->click();
    rig.child<QPlainTextEdit>("txtMsjMensaje")->setPlainText(QStringLiteral("A A"));
    rig.window->setFontFileText("a.ffv");
    Settle();
    // Two A of 4 columns, each followed by 1 dark column, and a space of 3.
    EXPECT_EQ(columnsLabel(), "Columnas del párrafo: 13");
    const std::vector<std::uint8_t> a = {0x7E, 0x09, 0x09, 0x7E, 0x80};
    std::vector<std::uint8_t> expected = a;
    expected.insert(expected.end(), {0x80, 0x80, 0x80});
    expected.insert(expected.end(), a.begin(), a.end());
    EXPECT_EQ(preview->strip()->columns(), expected);

    rig.child<QPushButton>("cmdMsjSeparMas")->click();
    Settle();
    EXPECT_EQ(columnsLabel(), "Columnas del párrafo: 15");
    EXPECT_EQ(preview->strip()->columns(), expectedColumns("a.ffv"));

    rig.window->avanzadas().findChild<QPushButton*>(QStringLiteral("cmdParEspaMas"))->click();
    Settle();
    EXPECT_EQ(rig.store.SpaceWidth, 4);
    EXPECT_EQ(columnsLabel(), "Columnas del párrafo: 16");
    EXPECT_EQ(preview->strip()->columns(), expectedColumns("a.ffv"));

    rig.window->setFontFileText("ancha.ffv");
    Settle();
    EXPECT_EQ(columnsLabel(), "Columnas del párrafo: 20");
    EXPECT_EQ(preview->strip()->columns(), expectedColumns("ancha.ffv"));
    EXPECT_EQ(preview->strip()->columns().front(), 0x7F);

    // A tag is a mark among the columns, not a column.
    rig.child<QPlainTextEdit>("txtMsjMensaje")->setPlainText(QStringLiteral("<4>A"));
    Settle();
    ASSERT_EQ(preview->strip()->markers().size(), 1u);
    EXPECT_EQ(preview->strip()->markers()[0].code, U'4');
    EXPECT_EQ(preview->strip()->markers()[0].column, 0u);
    EXPECT_EQ(preview->strip()->columns().size(), 8u);
}

TEST_F(PreviewTest, TotalIsWhatTheCapacityCountsWithIgnoreAndJoined) {
    rig.addParagraph(QStringLiteral("AA"));
    rig.addParagraph(QStringLiteral("A"));
    Settle();
    auto& commands = rig.window->paragraphCommands();
    // 10 and 5 columns, and a separator after each.
    EXPECT_EQ(commands.TotalColumns(), 17);
    EXPECT_EQ(totalLabel(), "Total del mensaje: 17 de 2046");

    rig.window->avanzadas().findChild<QCheckBox*>(QStringLiteral("chkParUnidos"))->setChecked(true);
    Settle();
    EXPECT_EQ(commands.TotalColumns(), 15);
    EXPECT_EQ(totalLabel(), "Total del mensaje: 15 de 2046");

    // Unsaved changes of the paragraph being edited count at once, as the next save will.
    rig.child<QCheckBox>("chkMsjIgnora")->setChecked(true);
    Settle();
    EXPECT_EQ(totalLabel(), "Total del mensaje: 10 de 2046");
    rig.child<QCheckBox>("chkMsjIgnora")->setChecked(false);
    rig.child<QPlainTextEdit>("txtMsjMensaje")->setPlainText(QStringLiteral("AAA"));
    Settle();
    EXPECT_EQ(totalLabel(), "Total del mensaje: 25 de 2046");
    rig.child<QPushButton>("cmdParGuardar")->click();
    Settle();
    EXPECT_EQ(commands.TotalColumns(), 25);
    EXPECT_EQ(totalLabel(), "Total del mensaje: 25 de 2046");

    // Going back to paragraph 1 shows it, with the same total.
    auto* list = rig.child<QComboBox>("cboParParrafos");
    list->setCurrentIndex(0);
    rig.window->cboParParrafos_Click();
    Settle();
    EXPECT_EQ(columnsLabel(), "Columnas del párrafo: 10");
    EXPECT_EQ(totalLabel(), "Total del mensaje: 25 de 2046");

    // "Nuevo" from the menu clears the message: nothing to show, nothing counted.
    rig.window->menArchNuevo_Click();
    Settle();
    EXPECT_EQ(totalLabel(), "Total del mensaje: 0 de 2046");
    EXPECT_TRUE(preview->strip()->columns().empty());
}

}  // namespace
}  // namespace letrador
