// The main window around the editor: start-up, its editing states, closing, its recording menus
// and options window (the recordings' bytes and log lines are pinned by their own tests), the
// brand text, help, its manners (whose message box, where the keyboard goes, Esc, Qt's own
// texts), the working folder and the port-to-device rule.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSet>
#include <QMessageBox>
#include <QProcess>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextLayout>
#include <QTimer>

#include "app/frm_ayuda.h"
#include "app/program.h"
#include "app/work_folder.h"
#include "platform/qt_dialogs.h"
#include "settings/frm_puertos_red.h"
#include "tests/app/app_rig.h"

namespace fs = std::filesystem;

namespace letrador {
namespace {

using testing::AppRig;
using testing::ScratchFolder;

TEST(StartUp, CaptionsListsAndOptionsAsTheWindowOpens) {
    AppRig rig({3, 5});
    ASSERT_TRUE(rig.load());
    EXPECT_EQ(rig.window->windowTitle(), QStringLiteral("Letrador de Mensajes"));
    EXPECT_EQ(rig.child<QLabel>("lblMsjCapacidad")->text(), QStringLiteral("Capacidad ocupada: 0%"));
    auto* effects = rig.child<QComboBox>("cboMsjFxEfectos");
    ASSERT_EQ(effects->count(), 11);
    EXPECT_EQ(effects->itemText(0) + effects->itemText(10), QStringLiteral("0 - ParpadeaA - Separa Msj."));
    EXPECT_EQ(effects->currentIndex(), -1);
    EXPECT_FALSE(rig.optionsChild<QCheckBox>("chkParUnidos")->isChecked());
    EXPECT_EQ(rig.optionsChild<QLineEdit>("txtParEspacio")->text(), QStringLiteral("3"));
    EXPECT_EQ(rig.store.SpaceWidth, 3);
    EXPECT_TRUE(rig.dialogs.shown.empty());
    EXPECT_TRUE(fs::is_directory(rig.scratch.path() / "mensajes"));
    // Every number is tried; the found ones are listed with their device and the last is chosen.
    EXPECT_EQ(rig.link.triedPorts.size(), 255u);
    auto* ports = rig.optionsChild<QComboBox>("cboPuertoCom");
    ASSERT_EQ(ports->count(), 2);
    EXPECT_EQ(ports->itemText(0), QStringLiteral("3"));
    EXPECT_EQ(ports->currentText(), QStringLiteral("5"));
    EXPECT_EQ(ports->itemData(0, Qt::ToolTipRole).toString(), QStringLiteral("Dispositivo: /dev/ttyS2"));
    const std::pair<const char*, const char*> shortcuts[] = {
        {"menArchNuevo", "Ctrl+N"}, {"MenArchAbrir", "Ctrl+A"}, {"menArchGuardar", "Ctrl+G"},
        {"menOpcAvanzadas", "Ctrl+O"}, {"menGrabTotal", "Ctrl+T"}, {"menGrabParcial", "Ctrl+P"},
        {"menAyudaGeneral", "Ctrl+H"}, {"menArchGuardarComo", ""}};
    for (auto [name, keys] : shortcuts)
        EXPECT_EQ(rig.action(name)->shortcut().toString(), QString::fromLatin1(keys)) << name;
}

TEST(StartUp, NoPortShowsTheTwoLineMessageAndEnds) {
    AppRig rig(std::set<int>{});
    EXPECT_FALSE(rig.load());
    EXPECT_EQ(rig.dialogs.texts(), std::vector<std::string>{
        "No se encontraron puertos COM en el sistema.\r\nEl programa no puede continuar."});
    EXPECT_FALSE(rig.dialogs.shown[0].isQuestion);
    EXPECT_EQ(rig.dialogs.shown[0].title, "Letrador de Mensajes");
    EXPECT_FALSE(rig.window->isVisible());
}

// The program as a process, in an environment holding only what each row gives: with no screen
// it says so in Spanish, with the way to see it anyway, before Qt would abort; the help needs
// none and names the network ports' window.
TEST(StartUp, WithoutAScreenTheProgramSaysHowToSeeItAndEnds) {
    const QStringList noScreen = {QStringLiteral("letrador: no hay pantalla"), QStringLiteral("QT_QPA_PLATFORM=vnc letrador"),
                                  QStringLiteral("puerto 5900"), QStringLiteral("qt6-qpa-plugins")};
    const QStringList help = {QStringLiteral("Configuración > Opciones Avanzadas > Puertos de red…"),
                              QStringLiteral("rfc2217://HOST:PUERTO"), QStringLiteral("QT_QPA_PLATFORM=vnc")};
    const struct {
        QStringList env, args;
        int code;
        QStringList out, err;  // what each must say; an empty list: nothing at all
    } rows[] = {
        {{}, {}, 1, {}, noScreen},
        {{QStringLiteral("DISPLAY=")}, {QStringLiteral("--cartel-virtual")}, 1, {}, noScreen},
        {{}, {QStringLiteral("--help")}, 0, help, {}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE((r.env + r.args).join(QLatin1Char(' ')).toStdString());
        QProcess program;
        QProcessEnvironment env;  // empty: nothing of the tests' own environment
        for (const QString& v : r.env) env.insert(v.section(QLatin1Char('='), 0, 0), v.section(QLatin1Char('='), 1));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(LETRADOR_PROGRAM_PATH), r.args);
        ASSERT_TRUE(program.waitForFinished(30000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), r.code);
        const QString said[] = {QString::fromUtf8(program.readAllStandardOutput()), QString::fromUtf8(program.readAllStandardError())};
        for (int k = 0; k < 2; ++k) {
            const QStringList& wanted = k == 0 ? r.out : r.err;
            EXPECT_EQ(said[k].isEmpty(), wanted.isEmpty()) << said[k].toStdString();
            for (const QString& w : wanted) EXPECT_TRUE(said[k].contains(w)) << w.toStdString() << "\n" << said[k].toStdString();
        }
    }
}

// Each step of the operator and what every control and menu item then offers (1 enabled).
TEST(EditingStates, EachStepLeavesItsSetOfControlsEnabled) {
    const char* controls[] = {"txtMsjMensaje", "frmMensaje", "frmArchivos", "frmSepar", "frmEfectos",
                              "chkMsjIgnora", "cmdParGuardar", "cmdParNuevo", "cboParParrafos",
                              "menGrabTotal", "menGrabParcial", "menArchGuardar", "menArchGuardarComo",
                              // always enabled:
                              "menArchNuevo", "MenArchAbrir", "menOpcAvanzadas", "menTurn1",
                              "menTurn2", "menTurn3", "menAyudaGeneral", "menEditorFuentes"};
    AppRig rig;
    ASSERT_TRUE(rig.start());
    auto* list = rig.child<QComboBox>("cboParParrafos");
    auto save = [&](const char* text) {
        rig.editor()->setPlainText(QString::fromUtf8(text));
        rig.window->setFontFileText("a.ffv");
        rig.press("cmdParGuardar");
    };
    const std::tuple<const char*, std::function<void()>, const char*> steps[] = {  // enabled: 1
        {"start-up", [] {}, "01000001100 00 11111111"},
        {"Nuevo Párrafo", [&] { rig.press("cmdParNuevo"); }, "11111110001 00 11111111"},
        {"Guardar párrafo", [&] { save("AA"); }, "11111111111 01 11111111"},
        {"second Nuevo Párrafo", [&] { rig.press("cmdParNuevo"); }, "11111110001 01 11111111"},
        {"second Guardar párrafo", [&] { save("A"); }, "11111111111 01 11111111"},
        {"choosing paragraph 1", [&] {
             list->setCurrentIndex(0);
             emit list->activated(0);
             EXPECT_EQ(rig.editor()->toPlainText(), QStringLiteral("AA"));
         }, "11111111111 01 11111111"},
        {"&Nuevo", [&] { rig.dialogs.answerNext(true); rig.action("menArchNuevo")->trigger(); },
         "01000001100 00 11111111"},
    };
    for (const auto& [step, act, enabled] : steps) {
        SCOPED_TRACE(step);
        act();
        std::string shown;
        for (const char* name : controls) {
            if (QAction* a = rig.action(name)) shown += a->isEnabled() ? '1' : '0';
            else shown += rig.child<QWidget>(name)->isEnabled() ? '1' : '0';
            if (shown.size() == 11 || shown.size() == 14) shown += ' ';
        }
        EXPECT_EQ(shown, enabled);
    }
    EXPECT_EQ(list->count(), 0);
    EXPECT_TRUE(rig.editor()->toPlainText().isEmpty());
}

TEST(Closing, NoKeepsTheWindowAndYesClosesEvenWithUnsavedChanges) {
    AppRig rig;
    ASSERT_TRUE(rig.start());
    rig.addParagraph(QStringLiteral("AA"));
    rig.store.MessageModified = true;
    for (bool yes : {false, true}) {
        rig.dialogs.clear();
        rig.dialogs.answerNext(yes);
        EXPECT_EQ(rig.window->close(), yes);
        EXPECT_EQ(rig.window->isVisible(), !yes);
        EXPECT_EQ(rig.dialogs.texts(), std::vector<std::string>{"Desea salir del programa?"});
        EXPECT_TRUE(rig.dialogs.shown[0].isQuestion);
        EXPECT_EQ(rig.dialogs.shown[0].title, "Salir de la aplicación?");
    }
    EXPECT_EQ(rig.store.ParagraphCount, 1);
}

// Each menu item with what it sets off: its refusals (before any byte), its question, or the
// recording window that keeps the main window off until Close.
TEST(RecordingMenus, EachItemRefusesAsksOrRecords) {
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
    const std::tuple<const char*, std::size_t, std::vector<std::string>> cases[] = {  // menu, failing write, log
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
    for (const auto& [menu, atByte, lines] : cases) {
        SCOPED_TRACE(menu);
        AppRig rig({3});
        ASSERT_TRUE(rig.start());
        rig.addParagraph(QStringLiteral("AA"));
        auto sign = testing::CompatibleSign();
        rig.link.setResponder([&rig, sign, at = atByte](std::uint8_t b) mutable {
            if (rig.link.written.size() == at + 1) return platform::ScriptedSerialLink::Lost();
            return sign(b);
        });
        rig.dialogs.answerNext(true);
        rig.action(menu)->trigger();
        EXPECT_EQ(rig.logLines(), lines);
        EXPECT_EQ(rig.link.written.size(), atByte + 1);
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
    const std::tuple<const char*, const char*, const char*, int> cases[] = {  // before, button, after, stored{"5", "cmdParEspaMas", "5", 3}, {"1", "cmdParEspaMenos", "1", 3},
                 {"9", "cmdParEspaMas", "9", 3}, {"9", "cmdParEspaMenos", "8", 8},
                 {"abc", "cmdParEspaMas", "1", 1}, {"2", "cmdParEspaMas", "3", 3}};
    for (const auto& [before, button, after, stored] : cases) {
        SCOPED_TRACE(std::string(before) + " " + button);
        rig.store.SpaceWidth = 3;
        width->setText(QString::fromLatin1(before));
        EXPECT_EQ(rig.store.SpaceWidth, 3);
        rig.optionsChild<QPushButton>(button)->click();
        EXPECT_EQ(width->text().toStdString(), after);
        EXPECT_EQ(rig.store.SpaceWidth, stored);
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

// "Puertos de red…" opens its window with the options off; the entry saved there is what
// "Actualizar" then shows for its port, and closing it gives the options back.
TEST(OptionsWindow, PuertosDeRedSavesTheEntryThatActualizarShows) {
    AppRig rig{{3, 150}};
    ASSERT_TRUE(rig.start());
    rig.action("menOpcAvanzadas")->trigger();
    frmAvanzadas& options = rig.window->avanzadas();
    rig.optionsChild<QPushButton>("cmdPuertosRed")->click();
    frmPuertosRed* red = options.puertosRed();
    ASSERT_NE(red, nullptr);
    EXPECT_TRUE(red->isVisible() && !options.QWidget::isEnabled());
    EXPECT_EQ(red->windowTitle(), QStringLiteral("Puertos de red"));
    for (auto [field, text] : {std::pair{"txtRedNumero", "150"}, {"txtRedServidor", "srv"}, {"txtRedPuerto", "4001"}})
        red->findChild<QLineEdit*>(QString::fromUtf8(field))->setText(QString::fromUtf8(text));
    red->findChild<QPushButton*>(QStringLiteral("cmdRedGuardar"))->click();
    red->findChild<QPushButton*>(QStringLiteral("cmdCerrar"))->click();
    EXPECT_TRUE(!red->isVisible() && options.QWidget::isEnabled());
    rig.optionsChild<QPushButton>("cmdActualizar")->click();
    auto* ports = rig.optionsChild<QComboBox>("cboPuertoCom");
    ASSERT_EQ(ports->count(), 2);
    EXPECT_EQ(ports->itemData(1, Qt::ToolTipRole).toString(), QStringLiteral("Dispositivo: tcp://srv:4001"));
    EXPECT_TRUE(rig.dialogs.shown.empty());
}

// The brand label shows the first line of marca.txt, in Windows-1252, ended by CR LF, LF or a
// lone CR; the logo shows when there; nothing missing gives a message.
TEST(Brand, TheFirstLineOfTheBrandTextAndTheLogo) {
    const fs::path logo = fs::path(LETRADOR_SOURCE_DIR) / "data" / "ayuda" / "Archivos" / "logo.jpg";
    const std::tuple<const char*, const char*, bool> cases[] = {  // marca.txt or none, shown, logo{"Uno\r\nDos", "Uno", true}, {"Uno\nDos", "Uno", false}, {"Uno\rDos\r", "Uno", false},
                 {"Uno", "Uno", false}, {"\rDos", "", false}, {"\r\nSegunda\r\n", "", false},
                 {"Carteles Pe\xF1" "a\r\nSegunda linea\r\n", "Carteles Peña", false},
                 {nullptr, "", false}};
    for (const auto& [bytes, shown, withLogo] : cases) {
        SCOPED_TRACE(bytes ? bytes : "none");
        AppRig rig;
        const fs::path files = rig.scratch.path() / "ayuda" / "Archivos";
        fs::create_directories(files);
        if (bytes) std::ofstream(files / "marca.txt", std::ios::binary) << bytes;
        if (withLogo) fs::copy_file(logo, files / "logo.jpg");
        ASSERT_TRUE(rig.load());
        EXPECT_EQ(rig.child<QLabel>("lblArchVelmora")->text().toStdString(), shown);
        EXPECT_EQ(rig.child<QLabel>("imgArchVelmora")->pixmap().isNull(), !withLogo);
        EXPECT_EQ(rig.child<QLabel>("imgArchVelmora")->isEnabled(), withLogo);
        EXPECT_TRUE(rig.dialogs.shown.empty());
    }
}

// Runs `inspect` on the message box once it is up, then presses its last button (No, or OK).
void WhenBoxShows(std::function<void(QMessageBox&)> inspect) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, inspect] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        inspect(*box);
        box->buttons().last()->click();
    });
    poll->start(10);
}

bool Activate(QWidget& w) {
    w.activateWindow();
    return QTest::qWaitForWindowActive(&w);
}

// A box asked while the chooser or the options window is in use belongs to that window, and
// the keyboard is back where it was once the box is answered; then to the main window again.
// A box is wide enough for its whole title, beside which the frame draws an icon and buttons.
TEST(MessageBox, BelongsToTheWindowInUseGivesTheFocusBackAndShowsItsTitle) {
    for (auto [name, menu] : {std::pair{"frmArchivo", "MenArchAbrir"}, {"frmAvanzadas", "menOpcAvanzadas"}}) {
        SCOPED_TRACE(name);
        AppRig rig;
        platform::QtDialogs boxes;
        ASSERT_TRUE(rig.load(&boxes));
        boxes.setParent(rig.window.get());
        rig.window->show();
        rig.action(menu)->trigger();
        QWidget* inUse = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QString::fromUtf8(name)) inUse = w;
        ASSERT_TRUE(inUse && inUse->isVisible() && Activate(*inUse));
        QWidget* focus = inUse->focusWidget();
        ASSERT_NE(focus, nullptr);
        QWidget* parent = nullptr;
        auto inspect = [&](QMessageBox& box) {
            parent = box.parentWidget();
            EXPECT_GE(box.width(), QFontMetrics(box.font()).horizontalAdvance(box.windowTitle()) + 100);
        };
        WhenBoxShows(inspect);
        EXPECT_FALSE(boxes.question("Desea salir del programa?", "Salir de la aplicación?"));
        EXPECT_EQ(parent, inUse);
        EXPECT_TRUE(QTest::qWaitFor([&] { return inUse->isActiveWindow(); }));
        EXPECT_EQ(QApplication::focusWidget(), focus);
        QTest::keyClick(inUse, Qt::Key_Escape);
        ASSERT_TRUE(rig.window->isEnabled());
        WhenBoxShows(inspect);
        boxes.information("Sí", "Un título mucho más largo que el texto del mensaje");
        EXPECT_EQ(parent, rig.window.get());
    }
}

// The recording log keeps each line whole, with a horizontal scroll bar, and after each new
// line shows that line from its start; Esc and Enter act as the Close button once that shows,
// and not while recording, when "&Detener" shows instead.
TEST(RecordingWindow, TheLogShowsEachNewLineFromItsStartAndEscOrEnterCloseOnceCloseShows) {
    AppRig rig;
    ASSERT_TRUE(rig.start());
    frmGraba& graba = rig.window->graba();
    auto* log = graba.findChild<QPlainTextEdit*>(QStringLiteral("txtLog"));
    auto* detener = graba.findChild<QPushButton*>(QStringLiteral("cmdDetener"));
    for (int key : {Qt::Key_Escape, Qt::Key_Return}) {
        SCOPED_TRACE(key);
        graba.prepare();
        const std::string longLine = "Error: " + std::string(400, 'X');
        for (const std::string& line : {std::string("Usando puerto COM 3."), longLine,
                                        std::string("Grabando..."), longLine + "Y"})
            graba.AgregarLog(line, line != "Usando puerto COM 3.");
        QCoreApplication::processEvents();
        EXPECT_EQ(log->lineWrapMode(), QPlainTextEdit::NoWrap);
        EXPECT_GT(log->horizontalScrollBar()->maximum(), 0);
        EXPECT_EQ(log->horizontalScrollBar()->value(), 0);
        EXPECT_EQ(log->verticalScrollBar()->value(), log->verticalScrollBar()->maximum());
        EXPECT_EQ(log->document()->findBlockByNumber(3).text().toStdString(), longLine + "Y");
        EXPECT_FALSE(detener->isHidden());
        ASSERT_TRUE(Activate(graba));
        for (bool over : {false, true}) {
            if (over) graba.showClose();
            EXPECT_EQ(detener->isHidden(), over);
            QTest::keyClick(&graba, static_cast<Qt::Key>(key));
            EXPECT_EQ(graba.isVisible(), !over);
            EXPECT_EQ(rig.window->isEnabled(), over);
        }
    }
}

// When the operator has clicked the disabled main window, a box still belongs to the window in
// use, not to the main window, which cannot answer it.
TEST(MessageBox, BelongsToTheWindowInUseEvenWhenTheDisabledMainWindowIsActive) {
    AppRig rig;
    QWidget main, inUse;
    main.show();
    inUse.show();
    main.setEnabled(false);
    ASSERT_TRUE(Activate(main));
    platform::QtDialogs boxes(&main);
    QWidget* parent = nullptr;
    WhenBoxShows([&](QMessageBox& box) { parent = box.parentWidget(); });
    boxes.information("Texto", "Título");
    EXPECT_EQ(parent, &inUse);
}

// "&Ayuda general" opens the working folder's page, in our own window when nothing else can.
// "&Ayuda general" hands the page to the desktop's opener (here a script standing for xdg-open)
// and goes on without waiting for it; the page shows in the program's own window whenever no
// browser took it: the opener missing, ending with an error (xdg-open's 3 when it finds no
// browser) or killed.
TEST(Help, GeneralHelpOpensThePageOrShowsItInOurOwnWindow) {
    const struct {
        const char* name;
        const char* ending;  // how the opener ends once let go; null: there is no opener
        bool ownWindow;
    } rows[] = {{"a browser took it", "exit 0", false},
                {"no browser", "exit 3", true},
                {"the opener killed", "kill -9 $$", true},
                {"no opener", nullptr, true}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        AppRig rig;
        const auto page = rig.scratch.path() / "ayuda" / "letrador.html";
        fs::create_directories(page.parent_path());
        std::ofstream(page) << "<html><body><h1>Ayuda del Letrador</h1></body></html>";
        const std::string opener = (rig.scratch.path() / "xdg-open").string();
        if (r.ending) {
            // Says what it was given, then waits to be let go.
            std::ofstream(opener) << "#!/bin/sh\nprintf '%s\\n' \"$1\" > \"$0.args\"\n"
                                     "n=0; while [ ! -e \"$0.go\" ] && [ $n -lt 3000 ]; do sleep 0.01; n=$((n+1)); done\n"
                                  << r.ending << "\n";
            fs::permissions(opener, fs::perms::owner_all);
        }
        ASSERT_TRUE(rig.load());
        rig.action("menAyudaGeneral")->trigger();
        EXPECT_EQ(rig.window->ayuda(), nullptr);
        EXPECT_EQ(rig.desktop.pending(), 1);
        if (r.ending) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return fs::exists(opener + ".args"); }, 30000));
            std::string given;
            std::getline(std::ifstream(opener + ".args"), given);
            EXPECT_EQ(given, page.string());
            // The opener is still running: the window is not waiting for it.
            EXPECT_EQ(rig.window->ayuda(), nullptr);
            std::ofstream(opener + ".go") << "";
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return rig.desktop.pending() == 0; }, 30000));
        frmAyuda* help = rig.window->ayuda();
        ASSERT_EQ(help != nullptr && help->isVisible(), r.ownWindow);
        if (!r.ownWindow) continue;
        auto* browser = help->findChild<QTextBrowser*>(QStringLiteral("txtAyuda"));
        EXPECT_EQ(browser->source().toLocalFile().toStdString(), page.string());
        EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("Ayuda del Letrador")));
    }
}

// The shipped help page names every menu item with its shortcut, and every "Menu > Item" it
// names exists: an item added or renamed without the page fails here.
TEST(Help, ThePageNamesEveryMenuItemAndNoOther) {
    QFile file(QStringLiteral(LETRADOR_SOURCE_DIR "/data/ayuda/letrador.html"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(file.readAll()).simplified();
    AppRig rig;
    ASSERT_TRUE(rig.load());
    QSet<QString> paths;
    for (QAction* top : rig.window->menuBar()->actions())
        for (QAction* item : top->menu()->actions()) {
            if (item->isSeparator()) continue;
            const QString text = item->text().remove(QLatin1Char('&'));
            const QString path = top->menu()->title().remove(QLatin1Char('&')) + QStringLiteral(" &gt; ") + text;
            paths.insert(path);
            EXPECT_TRUE(page.contains("<b>" + path + "</b>") || page.contains("<b>" + text + "</b>")) << path.toStdString();
            if (!item->shortcut().isEmpty()) {
                EXPECT_TRUE(page.contains("<kbd>" + item->shortcut().toString() + "</kbd>")) << path.toStdString();
            }
        }
    int seen = 0;
    for (const QRegularExpressionMatch& m : QRegularExpression(QStringLiteral("<b>([^<]+ &gt; [^<]+)</b>")).globalMatch(page)) {
        ++seen;
        EXPECT_TRUE(paths.contains(m.captured(1))) << m.captured(1).toStdString();
    }
    EXPECT_GT(seen, 0);
}

// The program shows Qt's standard texts in Spanish: the OK button, the editor's menu.
TEST(QtTexts, TheProgramsStandardTextsAreSpanish) {
    testing::TestApp();
    testing::ScratchFolder scratch;
    Program program(scratch.path());
    QString ok;
    WhenBoxShows([&](QMessageBox& box) { ok = box.buttons().value(0)->text(); });
    program.dialogs().information("Debe seleccionar un efecto de la lista.", platform::kApplicationTitle);
    EXPECT_EQ(ok, QStringLiteral("Aceptar"));
    auto* editor = program.window().findChild<QPlainTextEdit*>(QStringLiteral("txtMsjMensaje"));
    std::unique_ptr<QMenu> menu(editor->createStandardContextMenu());
    QStringList texts;
    for (QAction* a : menu->actions()) texts << a->text().remove(QLatin1Char('&')).section(QLatin1Char('\t'), 0, 0);
    EXPECT_TRUE(texts.contains(QStringLiteral("Deshacer")) && texts.contains(QStringLiteral("Pegar")));
}

// The current folder when it has fonts, else the user's data folder, prepared with the missing
// folders and seeded without overwriting anything (the installed package's own test starts it
// in a fresh home).
TEST(WorkFolder, ChosenPreparedAndSeededWithoutOverwriting) {
    ScratchFolder s;
    fs::create_directories(s.path() / "here" / "tipografias");
    EXPECT_EQ(ChooseWorkFolder(s.path() / "here", nullptr, "/h").folder, s.path() / "here");
    EXPECT_FALSE(ChooseWorkFolder(s.path() / "here", nullptr, "/h").isUserDataFolder);
    EXPECT_TRUE(ChooseWorkFolder(s.path(), "/datos", "/h").isUserDataFolder);
    EXPECT_EQ(ChooseWorkFolder(s.path(), "/datos", "/h").folder, fs::path("/datos/letrador"));
    std::ofstream(s.path() / "here" / "leeme.txt") << "seed";
    fs::create_directories(s.path() / "work");
    std::ofstream(s.path() / "work" / "leeme.txt") << "mine";
    ASSERT_TRUE(PrepareWorkFolder(s.path() / "work", s.path() / "here"));
    for (const char* sub : {"tipografias", "mensajes", "ayuda/Archivos", "puertos"})
        EXPECT_TRUE(fs::is_directory(s.path() / "work" / sub)) << sub;
    std::string content;
    std::ifstream(s.path() / "work" / "leeme.txt") >> content;
    EXPECT_EQ(content, "mine");
}

// Default ranges, and `puertos/COMn` entries: a link or a small file names the device; anything
// else names none, and looking at it never waits (a FIFO would block a plain read for ever).
TEST(PortMapping, DefaultRangesAndPuertosEntries) {
    ScratchFolder s;
    const fs::path puertos = s.path() / "puertos";
    fs::create_directories(puertos / "COM3");
    std::ofstream(puertos / "COM200") << "  /dev/pts/9 \r\n";
    fs::create_symlink("/dev/ttyUSB4", puertos / "COM2");
    ASSERT_EQ(::mkfifo((puertos / "COM1").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((puertos / "COM150").c_str(), 0600), 0);
    std::ofstream(puertos / "COM40") << "/dev/pts/4" << std::string(5000, ' ') << "\n";
    std::ofstream(puertos / "COM41") << "\n/dev/pts/4\n";
    std::ofstream(puertos / "COM42") << "/dev/pts/4";
    const std::pair<int, std::string> cases[] = {
        {32, "/dev/ttyS31"}, {33, "/dev/ttyUSB0"}, {64, "/dev/ttyUSB31"}, {65, "/dev/ttyACM0"},
        {96, "/dev/ttyACM31"}, {97, ""}, {0, ""}, {256, ""}, {200, "/dev/pts/9"},
        {2, (puertos / "COM2").string()}, {1, ""}, {3, ""}, {40, ""}, {41, ""}, {150, ""},
        {42, "/dev/pts/4"}};
    for (const auto& [n, device] : cases) EXPECT_EQ(PortDevicePath(s.path(), n), device) << n;
}

}  // namespace
}  // namespace letrador
