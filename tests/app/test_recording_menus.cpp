// The recording menus, the turn-display menus and the options window, through the main window.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCloseEvent>

#include "tests/app/app_rig.h"

namespace letrador {
namespace {

using testing::AppRig;

std::vector<std::string> LogLines(AppRig& rig) { return rig.window->graba().log().lines(); }

TEST(RecordingMenus, TotalOfTwoParagraphsLeavesTheNineLineLog) {
    AppRig rig({3});
    ASSERT_TRUE(rig.load());
    rig.window->show();
    rig.addParagraph(QStringLiteral("A"));
    rig.addParagraph(QStringLiteral("AA"));
    rig.action("menGrabTotal")->trigger();
    EXPECT_EQ(LogLines(rig), (std::vector<std::string>{
                                 "Usando puerto COM 3.", "Reconociendo dispositivo...",
                                 "Cartel electrónico compatible.", "Comenzando grabación...",
                                 "Grabando párrafo 1 de 2... OK.", "Grabando párrafo 2 de 2... OK.",
                                 "Finalizando grabación...", "La grabación se realizó sin errores.",
                                 "Grabación finalizada."}));
    // «A» is 7E 09 09 7E plus one blank; the separator follows each paragraph.
    const testing::Bytes body = {0x7E, 0x09, 0x09, 0x7E, 0x80, 0xC9, 0x7E, 0x09, 0x09, 0x7E,
                                 0x80, 0x7E, 0x09, 0x09, 0x7E, 0x80, 0xC9};
    testing::Bytes expected = testing::kCleanOpening;
    expected.insert(expected.end(), body.begin(), body.end());
    expected.insert(expected.end(), testing::kCleanClosing.begin(), testing::kCleanClosing.end());
    EXPECT_EQ(rig.link.written, expected);

    // The main window stays off until the recording window is closed.
    EXPECT_FALSE(rig.window->isEnabled());
    auto* cerrar = rig.window->graba().findChild<QPushButton*>(QStringLiteral("cmdCerrar"));
    ASSERT_NE(cerrar, nullptr);
    EXPECT_FALSE(cerrar->isHidden());
    cerrar->click();
    EXPECT_TRUE(rig.window->isEnabled());
    EXPECT_FALSE(rig.window->graba().isVisible());
}

TEST(RecordingMenus, TotalIsRefusedWhenTheMessageExceedsTheSign) {
    AppRig rig;
    ASSERT_TRUE(rig.load());
    rig.addParagraph(QStringLiteral("A"));
    rig.store.paragraph(1).Columns = 3000;
    rig.addParagraph(QStringLiteral("A"));
    rig.dialogs.clear();
    rig.action("menGrabTotal")->trigger();
    EXPECT_EQ(rig.dialogs.texts(), std::vector<std::string>{
                                       "No se puede grabar el mensaje porque excede la capacidad del cartel."});
    EXPECT_TRUE(rig.link.written.empty());
    EXPECT_FALSE(rig.window->graba().isVisible());
}

TEST(RecordingMenus, ParcialRecordsOnlyTheSelectionButChecksTheWholeText) {
    AppRig rig;
    ASSERT_TRUE(rig.load());
    rig.window->show();
    rig.child<QPushButton>("cmdParNuevo")->click();
    auto* editor = rig.child<QPlainTextEdit>("txtMsjMensaje");
    editor->setPlainText(QStringLiteral("AB A"));
    rig.window->setFontFileText("a.ffv");
    QTextCursor c = editor->textCursor();
    c.setPosition(3);
    c.setPosition(4, QTextCursor::KeepAnchor);
    editor->setTextCursor(c);
    rig.action("menGrabParcial")->trigger();
    std::vector<std::string> lines = LogLines(rig);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[4], "Grabando selección: A");
    EXPECT_EQ(lines[5], "Finalizando grabación...");
    testing::Bytes expected = testing::kCleanOpening;
    expected.insert(expected.end(), {0x7E, 0x09, 0x09, 0x7E, 0x80});
    expected.insert(expected.end(), testing::kCleanClosing.begin(), testing::kCleanClosing.end());
    EXPECT_EQ(rig.link.written, expected);
}

TEST(RecordingMenus, ParcialRefusalsComeBeforeAnyByte) {
    AppRig rig;
    ASSERT_TRUE(rig.load());
    rig.child<QPushButton>("cmdParNuevo")->click();
    rig.action("menGrabParcial")->trigger();
    rig.child<QPlainTextEdit>("txtMsjMensaje")->setPlainText(QStringLiteral("A"));
    rig.action("menGrabParcial")->trigger();
    rig.window->setFontFileText("a.ffv");
    rig.child<QPlainTextEdit>("txtMsjMensaje")->setPlainText(QString(500, QLatin1Char('A')));
    rig.action("menGrabParcial")->trigger();
    EXPECT_EQ(rig.dialogs.texts(),
              (std::vector<std::string>{"Debe ingresar texto en el mensaje.",
                                        "Debe seleccionar un archivo de fuente para el mensaje.",
                                        "El texto supera la capacidad del cartel. Debe reducir el texto."}));
    EXPECT_TRUE(rig.link.written.empty());
}

TEST(TurnDisplayMenus, NoSendsNothingAndYesRecordsTheHundredNumbers) {
    AppRig rig;
    ASSERT_TRUE(rig.load());
    rig.dialogs.answerNext(false);
    rig.action("menTurn2")->trigger();
    ASSERT_EQ(rig.dialogs.shown.size(), 1u);
    EXPECT_EQ(rig.dialogs.shown[0].title, "Grabación de turnero");
    EXPECT_EQ(rig.dialogs.shown[0].text,
              "Se está por hacer una grabación de turnero.\r\nDesea continuar?");
    EXPECT_TRUE(rig.link.written.empty());
    EXPECT_FALSE(rig.window->graba().isVisible());

    rig.dialogs.answerNext(true);
    rig.action("menTurn2")->trigger();
    // Opening, 100 entries of 11 bytes, closing.
    EXPECT_EQ(rig.link.written.size(), 4u + 1100u + 3u);
    EXPECT_EQ(LogLines(rig).back(), "Grabación finalizada.");
}

// The line lost in the middle of "&Total" or a turn display: the recording still closes, shows
// Close, and Close gives the main window back.
TEST(RecordingMenus, ALostLineEndsTheRecordingAndCloseGivesTheWindowBack) {
    struct Case {
        const char* menu;
        std::size_t atByte;  // the write that fails
        std::vector<std::string> lines;
    };
    const std::string lost = "Se perdió la conexión con el puerto COM 3.";
    // Byte 6 is the third column of the first A; byte 30 is in the turn entry 02.
    const std::vector<Case> cases = {
        {"menGrabTotal",
         6,
         {"Usando puerto COM 3.", "Reconociendo dispositivo...", "Cartel electrónico compatible.",
          "Comenzando grabación...", "Grabando párrafo 1 de 1...", lost, "Error de Timeout.",
          "Error: caracter 1 (A) no se grabó correctamente.", "Hubo errores en la grabación.",
          "Grabación finalizada."}},
        {"menTurn2",
         30,
         {"Usando puerto COM 3.", "Reconociendo modelo de cartel...",
          "Cartel electrónico compatible.", "Comenzando grabación...", lost, "Error de Timeout.",
          "Hubo errores en la grabación.", "Grabación finalizada."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.menu);
        AppRig rig({3});
        ASSERT_TRUE(rig.load());
        rig.window->show();
        rig.addParagraph(QStringLiteral("AA"));
        auto sign = testing::CompatibleSign();
        rig.link.setResponder([&rig, sign, at = c.atByte](std::uint8_t b) mutable {
            if (rig.link.written.size() == at + 1) return platform::ScriptedSerialLink::Lost();
            return sign(b);
        });
        rig.dialogs.answerNext(true);
        rig.action(c.menu)->trigger();
        EXPECT_EQ(LogLines(rig), c.lines);
        EXPECT_EQ(rig.link.written.size(), c.atByte + 1);
        EXPECT_FALSE(rig.link.isOpen());
        EXPECT_FALSE(rig.window->isEnabled());
        auto* cerrar = rig.window->graba().findChild<QPushButton*>(QStringLiteral("cmdCerrar"));
        ASSERT_FALSE(cerrar->isHidden());
        cerrar->click();
        EXPECT_TRUE(rig.window->isEnabled());
    }
}

class OptionsWindowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(rig.load()); }
    QLineEdit* width() { return rig.optionsChild<QLineEdit>("txtParEspacio"); }
    void press(const char* name) { rig.optionsChild<QPushButton>(name)->click(); }
    AppRig rig{{1, 3, 4}};
};

TEST_F(OptionsWindowTest, SpaceWidthButtonsKeepOneToFive) {
    width()->setText(QStringLiteral("5"));
    rig.store.SpaceWidth = 3;
    press("cmdParEspaMas");
    EXPECT_EQ(width()->text(), QStringLiteral("5"));
    EXPECT_EQ(rig.store.SpaceWidth, 3);
    width()->setText(QStringLiteral("1"));
    press("cmdParEspaMenos");
    EXPECT_EQ(width()->text(), QStringLiteral("1"));
    EXPECT_EQ(rig.store.SpaceWidth, 3);
    width()->setText(QStringLiteral("9"));
    EXPECT_EQ(rig.store.SpaceWidth, 3);
    press("cmdParEspaMas");
    EXPECT_EQ(width()->text(), QStringLiteral("9"));
    press("cmdParEspaMenos");
    EXPECT_EQ(width()->text(), QStringLiteral("8"));
    EXPECT_EQ(rig.store.SpaceWidth, 8);
    width()->setText(QStringLiteral("abc"));
    press("cmdParEspaMas");
    EXPECT_EQ(width()->text(), QStringLiteral("1"));
    EXPECT_EQ(rig.store.SpaceWidth, 1);
}

TEST_F(OptionsWindowTest, OpeningDisablesTheMainWindowAndCerrarGivesItBack) {
    rig.window->show();
    rig.action("menOpcAvanzadas")->trigger();
    EXPECT_TRUE(rig.window->avanzadas().isVisible());
    EXPECT_FALSE(rig.window->isEnabled());
    EXPECT_EQ(rig.window->avanzadas().windowTitle(), QStringLiteral("Opciones Avanzadas"));
    press("cmdCerrar");
    EXPECT_FALSE(rig.window->avanzadas().isVisible());
    EXPECT_TRUE(rig.window->isEnabled());
}

TEST_F(OptionsWindowTest, ActualizarListsThePortsAndTheChosenOneIsUsed) {
    auto* ports = rig.optionsChild<QComboBox>("cboPuertoCom");
    ASSERT_EQ(ports->count(), 3);
    EXPECT_EQ(ports->currentText(), QStringLiteral("4"));
    press("cmdActualizar");
    ASSERT_EQ(ports->count(), 3);
    EXPECT_EQ(ports->itemText(0), QStringLiteral("1"));
    EXPECT_EQ(ports->itemText(1), QStringLiteral("3"));
    EXPECT_EQ(ports->currentText(), QStringLiteral("4"));
    EXPECT_TRUE(rig.optionsChild<QPushButton>("cmdCerrar")->isEnabled());
    EXPECT_TRUE(rig.optionsChild<QPushButton>("cmdActualizar")->isEnabled());

    rig.window->show();
    rig.action("menOpcAvanzadas")->trigger();
    ports->setCurrentIndex(1);
    press("cmdCerrar");
    rig.addParagraph(QStringLiteral("A"));
    rig.action("menGrabTotal")->trigger();
    EXPECT_EQ(rig.window->graba().log().lines().front(), "Usando puerto COM 3.");
    EXPECT_EQ(rig.link.openedPorts.back(), 3);
}

TEST_F(OptionsWindowTest, WithNoPortFoundTheWindowCannotBeClosed) {
    rig.window->show();
    rig.action("menOpcAvanzadas")->trigger();
    rig.link.setOpenablePorts({});
    press("cmdActualizar");
    EXPECT_EQ(rig.optionsChild<QComboBox>("cboPuertoCom")->count(), 0);
    EXPECT_FALSE(rig.optionsChild<QPushButton>("cmdCerrar")->isEnabled());
    EXPECT_TRUE(rig.optionsChild<QPushButton>("cmdActualizar")->isEnabled());
    rig.window->avanzadas().close();
    EXPECT_TRUE(rig.window->avanzadas().isVisible());
    EXPECT_FALSE(rig.window->isEnabled());
    rig.link.setOpenablePorts({7});
    press("cmdActualizar");
    rig.window->avanzadas().close();
    EXPECT_FALSE(rig.window->avanzadas().isVisible());
    EXPECT_TRUE(rig.window->isEnabled());
}

}  // namespace
}  // namespace letrador
