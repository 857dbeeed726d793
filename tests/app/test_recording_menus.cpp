// The recording menus, the turn-display menus and the options window, through the main window.
// The bytes and log lines of each recording are pinned by the recording's own tests; here what
// the window does around them.
#include <gtest/gtest.h>

#include "tests/app/app_rig.h"

namespace letrador {
namespace {

using testing::AppRig;

// Each menu item with what it sets off: its refusals (before any byte), its question, or the
// recording window that keeps the main window off until Close.
TEST(RecordingMenus, EachItemRefusesAsksOrRecords) {
    const std::string capacity = "El texto supera la capacidad del cartel. Debe reducir el texto.";
    const std::string turnero = "Se está por hacer una grabación de turnero.\r\nDesea continuar?";
    auto parcial = [](const char* font, const QString& text, int from, int to) {
        return [=](AppRig& r) {
            r.press("cmdParNuevo");
            r.window->setFontFileText(font);
            r.editor()->setPlainText(text);
            r.select(from, to);
        };
    };
    const struct {
        const char* name;
        const char* menu;
        std::function<void(AppRig&)> prepare;
        std::vector<std::string> boxes;
        bool answer;      // to a question, when one is asked
        std::string log;  // the line that names what is recorded; "" when nothing is
    } cases[] = {
        {"Total, two paragraphs", "menGrabTotal", [](AppRig& r) {
             r.addParagraph(QStringLiteral("A"));
             r.addParagraph(QStringLiteral("AA")); }, {}, true, "Grabando párrafo 2 de 2... OK."},
        {"Total over the sign", "menGrabTotal", [](AppRig& r) {
             r.addParagraph(QStringLiteral("A"));
             r.store.paragraph(1).Columns = 3000;
             r.addParagraph(QStringLiteral("A"));
             r.dialogs.clear(); },
         {"No se puede grabar el mensaje porque excede la capacidad del cartel."}, true, ""},
        {"Parcial, no text", "menGrabParcial", parcial("a.ffv", "", 0, 0),
         {"Debe ingresar texto en el mensaje."}, true, ""},
        {"Parcial, no font", "menGrabParcial", parcial("", QStringLiteral("A"), 0, 0),
         {"Debe seleccionar un archivo de fuente para el mensaje."}, true, ""},
        // The whole text is checked although only a part is selected.
        {"Parcial, too long", "menGrabParcial", parcial("a.ffv", QString(500, QLatin1Char('A')), 0, 1),
         {"El texto supera la capacidad del cartel. Debe reducir el texto."}, true, ""},
        {"Parcial, the selection", "menGrabParcial", parcial("a.ffv", QStringLiteral("AB A"), 3, 4),
         {}, true, "Grabando selección: A"},
        {"Turnero 2, No", "menTurn2", [](AppRig&) {}, {turnero}, false, ""},
        {"Turnero 2, Yes", "menTurn2", [](AppRig&) {}, {turnero}, true, "Comenzando grabación..."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppRig rig;
        ASSERT_TRUE(rig.start());
        c.prepare(rig);
        rig.dialogs.answerNext(c.answer);
        rig.action(c.menu)->trigger();
        EXPECT_EQ(rig.dialogs.texts(), c.boxes);
        if (!c.boxes.empty() && rig.dialogs.shown.back().isQuestion) {
            EXPECT_EQ(rig.dialogs.shown.back().title, "Grabación de turnero");
        }
        const bool records = !c.log.empty();
        EXPECT_EQ(rig.link.written.empty(), !records);
        EXPECT_EQ(rig.window->graba().isVisible(), records);
        EXPECT_EQ(rig.window->isEnabled(), !records);
        if (!records) continue;
        const auto lines = rig.logLines();
        EXPECT_NE(std::find(lines.begin(), lines.end(), c.log), lines.end());
        EXPECT_EQ(lines.end()[-2], "La grabación se realizó sin errores.");
        EXPECT_EQ(lines.back(), "Grabación finalizada.");
        ASSERT_FALSE(rig.recordingClose()->isHidden());
        rig.recordingClose()->click();
        EXPECT_TRUE(rig.window->isEnabled());
        EXPECT_FALSE(rig.window->graba().isVisible());
    }
}

// The line lost in the middle of "&Total" or a turn display: the recording still closes the
// port and shows Close, and Close gives the main window back.
TEST(RecordingMenus, ALostLineEndsTheRecordingAndCloseGivesTheWindowBack) {
    const std::string lost = "Se perdió la conexión con el puerto COM 3.";
    // Byte 6 is the third column of the first A; byte 30 is in the turn entry 02.
    const struct {
        const char* menu;
        std::size_t atByte;  // the write that fails
        std::vector<std::string> lines;
    } cases[] = {
        {"menGrabTotal", 6,
         {"Usando puerto COM 3.", "Reconociendo dispositivo...", "Cartel electrónico compatible.",
          "Comenzando grabación...", "Grabando párrafo 1 de 1...", lost, "Error de Timeout.",
          "Error: caracter 1 (A) no se grabó correctamente.", "Hubo errores en la grabación.",
          "Grabación finalizada."}},
        {"menTurn2", 30,
         {"Usando puerto COM 3.", "Reconociendo modelo de cartel...", "Cartel electrónico compatible.",
          "Comenzando grabación...", lost, "Error de Timeout.", "Hubo errores en la grabación.",
          "Grabación finalizada."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.menu);
        AppRig rig({3});
        ASSERT_TRUE(rig.start());
        rig.addParagraph(QStringLiteral("AA"));
        auto sign = testing::CompatibleSign();
        rig.link.setResponder([&rig, sign, at = c.atByte](std::uint8_t b) mutable {
            if (rig.link.written.size() == at + 1) return platform::ScriptedSerialLink::Lost();
            return sign(b);
        });
        rig.dialogs.answerNext(true);
        rig.action(c.menu)->trigger();
        EXPECT_EQ(rig.logLines(), c.lines);
        EXPECT_EQ(rig.link.written.size(), c.atByte + 1);
        EXPECT_FALSE(rig.link.isOpen());
        EXPECT_FALSE(rig.window->isEnabled());
        ASSERT_FALSE(rig.recordingClose()->isHidden());
        rig.recordingClose()->click();
        EXPECT_TRUE(rig.window->isEnabled());
    }
}

// The buttons keep the width within 1..5 but leave a typed wider one; only a press reaches the
// store, and text that is no number counts as 0.
TEST(OptionsWindow, SpaceWidthButtonsKeepOneToFive) {
    AppRig rig;
    ASSERT_TRUE(rig.load());
    auto* width = rig.optionsChild<QLineEdit>("txtParEspacio");
    const struct {
        const char* before;
        const char* button;
        const char* after;
        int stored;
    } cases[] = {{"5", "cmdParEspaMas", "5", 3}, {"1", "cmdParEspaMenos", "1", 3},
                 {"9", "cmdParEspaMas", "9", 3}, {"9", "cmdParEspaMenos", "8", 8},
                 {"abc", "cmdParEspaMas", "1", 1}, {"2", "cmdParEspaMas", "3", 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.before) + " " + c.button);
        rig.store.SpaceWidth = 3;
        width->setText(QString::fromLatin1(c.before));
        EXPECT_EQ(rig.store.SpaceWidth, 3);
        rig.optionsChild<QPushButton>(c.button)->click();
        EXPECT_EQ(width->text().toStdString(), c.after);
        EXPECT_EQ(rig.store.SpaceWidth, c.stored);
    }
}

// "Actualizar" lists the ports again and chooses the last; the chosen one is what recordings use;
// with no port found the window cannot be closed, and the main window stays off.
TEST(OptionsWindow, ActualizarListsThePortsAndTheChosenOneIsUsed) {
    AppRig rig{{1, 3, 4}};
    ASSERT_TRUE(rig.start());
    auto* ports = rig.optionsChild<QComboBox>("cboPuertoCom");
    QWidget& options = rig.window->avanzadas();
    rig.action("menOpcAvanzadas")->trigger();
    EXPECT_TRUE(options.isVisible() && !rig.window->isEnabled());
    EXPECT_EQ(options.windowTitle(), QStringLiteral("Opciones Avanzadas"));
    ports->setCurrentIndex(1);
    rig.optionsChild<QPushButton>("cmdActualizar")->click();
    ASSERT_EQ(ports->count(), 3);
    EXPECT_EQ(ports->currentText(), QStringLiteral("4"));
    ports->setCurrentIndex(1);
    rig.optionsChild<QPushButton>("cmdCerrar")->click();
    EXPECT_TRUE(!options.isVisible() && rig.window->isEnabled());
    rig.addParagraph(QStringLiteral("A"));
    rig.action("menGrabTotal")->trigger();
    EXPECT_EQ(rig.logLines().front(), "Usando puerto COM 3.");
    EXPECT_EQ(rig.link.openedPorts.back(), 3);
    rig.recordingClose()->click();
    rig.action("menOpcAvanzadas")->trigger();
    for (const std::set<int>& found : {std::set<int>{}, std::set<int>{7}}) {
        SCOPED_TRACE(found.size());
        rig.link.setOpenablePorts(found);
        rig.optionsChild<QPushButton>("cmdActualizar")->click();
        EXPECT_EQ(ports->count(), static_cast<int>(found.size()));
        EXPECT_EQ(rig.optionsChild<QPushButton>("cmdCerrar")->isEnabled(), !found.empty());
        EXPECT_TRUE(rig.optionsChild<QPushButton>("cmdActualizar")->isEnabled());
        options.close();
        EXPECT_EQ(options.isVisible(), found.empty());
        EXPECT_EQ(rig.window->isEnabled(), !found.empty());
    }
}

}  // namespace
}  // namespace letrador
