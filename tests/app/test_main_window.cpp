// The main window around the editor: start-up, its editing states, closing, its recording menus
// and options window, the brand text, help, its manners (whose message box, where the keyboard
// goes, Esc, Qt's own texts), the working folder and the port-to-device rule.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>

#include "app/frm_ayuda.h"
#include "app/program.h"
#include "app/work_folder.h"
#include "files/frm_archivo.h"
#include "platform/qt_dialogs.h"
#include "settings/frm_puertos_red.h"
#include "tests/app/app_rig.h"

namespace letrador::testing {
namespace {

// Every number is tried; the ports found are listed with their devices and the last is chosen.
// The editor starts with no effect chosen, the default space width and nothing to ask.
TEST(StartUp, ListsThePortsFoundAndStartsWithTheDefaults) {
    AppRig rig({3, 150});
    ASSERT_TRUE(rig.load());
    EXPECT_EQ(rig.link.triedPorts.size(), 255u);
    auto* ports = rig.optionsChild<QComboBox>("cboPuertoCom");
    ASSERT_EQ(ports->count(), 2);
    EXPECT_EQ((ports->itemText(0) + " " + ports->currentText()).toStdString(), "3 150");
    EXPECT_EQ(ports->itemData(0, Qt::ToolTipRole).toString().toStdString(), "Dispositivo: /dev/ttyS2");
    EXPECT_EQ(ports->itemData(1, Qt::ToolTipRole).toString().toStdString(), "Sin dispositivo");
    auto* effects = rig.child<QComboBox>("cboMsjFxEfectos");
    EXPECT_EQ(effects->count(), 11);
    EXPECT_EQ(effects->currentIndex(), -1);
    EXPECT_EQ(rig.optionsChild<QLineEdit>("txtParEspacio")->text().toStdString(), "3");
    EXPECT_EQ(rig.store.SpaceWidth, 3);
    EXPECT_FALSE(rig.optionsChild<QCheckBox>("chkParUnidos")->isChecked());
    EXPECT_TRUE(rig.dialogs.shown.empty() && fs::is_directory(rig.scratch.path() / "mensajes"));
    const std::pair<const char*, const char*> keys[] = {
        {"menArchNuevo", "Ctrl+N"}, {"MenArchAbrir", "Ctrl+A"}, {"menArchGuardar", "Ctrl+G"},
        {"menOpcAvanzadas", "Ctrl+O"}, {"menGrabTotal", "Ctrl+T"}, {"menGrabParcial", "Ctrl+P"},
        {"menAyudaGeneral", "Ctrl+H"}, {"menArchGuardarComo", ""}};
    for (auto [name, key] : keys) EXPECT_EQ(rig.action(name)->shortcut().toString(), key) << name;
}

TEST(StartUp, WithoutAnyPortItSaysSoAndEnds) {
    AppRig rig(std::set<int>{});
    EXPECT_FALSE(rig.load());
    ASSERT_EQ(rig.dialogs.texts(),
              Strings{"No se encontraron puertos COM en el sistema.\r\nEl programa no puede continuar."});
    EXPECT_TRUE(!rig.dialogs.shown[0].isQuestion && rig.dialogs.shown[0].title == "Letrador de Mensajes");
}

// The program as a process, with only what each row gives in its environment: with no screen it
// says so in Spanish, with the way to see it anyway; the help needs none.
TEST(StartUp, WithoutAScreenTheProgramSaysHowToSeeItAndEnds) {
    const QStringList noScreen = {"letrador: no hay pantalla", "QT_QPA_PLATFORM=vnc letrador",
                                  "puerto 5900", "qt6-qpa-plugins"};
    const struct {
        const char *env, *arg;
        int code;
        QStringList out, err;  // what each must say; an empty list: nothing at all
    } rows[] = {
        {nullptr, nullptr, 1, {}, noScreen},
        {"", "--cartel-virtual", 1, {}, noScreen},  // an empty DISPLAY is none
        {nullptr, "--help", 0, {"Configuración > Opciones Avanzadas > Puertos de red…",
                                "rfc2217://HOST:PUERTO", "QT_QPA_PLATFORM=vnc"}, {}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.arg ? r.arg : "");
        QProcess program;
        QProcessEnvironment env;  // nothing of the tests' own environment
        if (r.env) env.insert("DISPLAY", r.env);
        program.setProcessEnvironment(env);
        program.start(LETRADOR_PROGRAM_PATH, r.arg ? QStringList{r.arg} : QStringList{});
        ASSERT_TRUE(program.waitForFinished(30000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), r.code);
        const QString said[] = {program.readAllStandardOutput(), program.readAllStandardError()};
        for (int k = 0; k < 2; ++k) {
            const QStringList& wanted = k == 0 ? r.out : r.err;
            EXPECT_EQ(said[k].isEmpty(), wanted.isEmpty()) << said[k].toStdString();
            for (const QString& w : wanted) EXPECT_TRUE(said[k].contains(w)) << w.toStdString();
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
    auto save = [&](const char* text) {
        rig.editor()->setPlainText(text);
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
             rig.showParagraph(0);
             EXPECT_EQ(rig.editor()->toPlainText().toStdString(), "AA");
         }, "11111111111 01 11111111"},
        {"&Nuevo", [&] { rig.action("menArchNuevo")->trigger(); }, "01000001100 00 11111111"},
    };
    for (const auto& [step, act, enabled] : steps) {
        SCOPED_TRACE(step);
        act();
        std::string shown;
        for (const char* name : controls) {
            QAction* a = rig.action(name);
            shown += (a ? a->isEnabled() : rig.child(name)->isEnabled()) ? '1' : '0';
            if (shown.size() == 11 || shown.size() == 14) shown += ' ';
        }
        EXPECT_EQ(shown, enabled);
    }
    EXPECT_EQ(rig.child<QComboBox>("cboParParrafos")->count(), 0);
    EXPECT_TRUE(rig.editor()->toPlainText().isEmpty());
}

// Closing asks first, whatever is unsaved: No keeps the window, Yes closes it.
TEST(Closing, NoKeepsTheWindowAndYesClosesIt) {
    AppRig rig;
    ASSERT_TRUE(rig.start());
    rig.addParagraph("AA");
    for (bool yes : {false, true}) {
        rig.dialogs.clear();
        rig.dialogs.answerNext(yes);
        EXPECT_EQ(rig.window->close(), yes);
        EXPECT_EQ(rig.window->isVisible(), !yes);
        ASSERT_EQ(rig.dialogs.texts(), Strings{"Desea salir del programa?"});
        EXPECT_TRUE(rig.dialogs.shown[0].isQuestion && rig.dialogs.shown[0].title == "Salir de la aplicación?");
    }
}

// Each menu item with what it sets off: its refusals (before any byte), its question, or the
// recording window, which keeps the main window off, and from closing, until its Close. A line
// lost in the middle ends the recording with errors and the port closed.
TEST(RecordingMenus, EachItemRefusesAsksOrRecords) {
    const std::string turnero = "Se está por hacer una grabación de turnero.\r\nDesea continuar?",
                      lost = "Se perdió la conexión con el puerto COM 3.";
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
        Strings boxes;
        bool answer;             // to a question, when one is asked
        std::string log;         // a line the log must hold; "" when nothing is recorded
        std::size_t lostAt = 0;  // the byte whose write finds the line lost
    } cases[] = {
        {"Total, two paragraphs", "menGrabTotal", [](AppRig& r) { r.addParagraph("A"); r.addParagraph("AA"); },
         {}, true, "Grabando párrafo 2 de 2... OK."},
        {"Total over the sign", "menGrabTotal", [](AppRig& r) {
             r.addParagraph("A");
             r.store.paragraph(1).Columns = 3000;
             r.addParagraph("A");
             r.dialogs.clear(); },
         {"No se puede grabar el mensaje porque excede la capacidad del cartel."}, true, ""},
        {"Parcial, no text", "menGrabParcial", parcial("a.ffv", "", 0, 0), {"Debe ingresar texto en el mensaje."},
         true, ""},
        {"Parcial, no font", "menGrabParcial", parcial("", "A", 0, 0),
         {"Debe seleccionar un archivo de fuente para el mensaje."}, true, ""},
        // The whole text is checked although only a part is selected.
        {"Parcial, too long", "menGrabParcial", parcial("a.ffv", QString(500, 'A'), 0, 1),
         {"El texto supera la capacidad del cartel. Debe reducir el texto."}, true, ""},
        {"Parcial, the selection", "menGrabParcial", parcial("a.ffv", "AB A", 3, 4), {}, true,
         "Grabando selección: A"},
        {"Turnero 2, No", "menTurn2", {}, {turnero}, false, ""},
        // Byte 6 is the third column of the first A; byte 30 is in the turn entry 02.
        {"Total, the line lost", "menGrabTotal", [](AppRig& r) { r.addParagraph("AA"); }, {}, true, lost, 6},
        {"Turnero 2, the line lost", "menTurn2", {}, {turnero}, true, lost, 30},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppRig rig;
        ASSERT_TRUE(rig.start());
        if (c.prepare) c.prepare(rig);
        rig.link.setResponder([&rig, &c, sign = CompatibleSign()](std::uint8_t b) mutable {
            if (c.lostAt && rig.link.written.size() == c.lostAt + 1) return platform::ScriptedSerialLink::Lost();
            if (rig.link.written.size() == 5) {
                EXPECT_FALSE(rig.window->close());  // nothing asked
            }
            return sign(b);
        });
        rig.dialogs.answerNext(c.answer);
        rig.action(c.menu)->trigger();
        EXPECT_EQ(rig.dialogs.texts(), c.boxes);
        const bool records = !c.log.empty();
        if (c.lostAt) {
            EXPECT_EQ(rig.link.written.size(), c.lostAt + 1);
        }
        EXPECT_EQ(rig.link.written.empty(), !records);
        EXPECT_EQ(rig.window->graba().isVisible(), records);
        EXPECT_EQ(rig.window->isEnabled(), !records);
        if (!records) continue;
        const Strings lines = rig.logLines();
        EXPECT_NE(std::find(lines.begin(), lines.end(), c.log), lines.end());
        EXPECT_EQ(lines.end()[-2], c.lostAt ? "Hubo errores en la grabación." : "La grabación se realizó sin errores.");
        EXPECT_EQ(lines.back(), "Grabación finalizada.");
        EXPECT_FALSE(rig.link.isOpen());
        ASSERT_FALSE(rig.recordingClose()->isHidden());
        rig.recordingClose()->click();
        EXPECT_TRUE(rig.window->isEnabled() && !rig.window->graba().isVisible());
    }
}

// The buttons keep the width within 1..5 but leave a typed wider one; only a press reaches the
// store, and text that is no number counts as 0.
TEST(OptionsWindow, SpaceWidthButtonsKeepOneToFive) {
    AppRig rig;
    ASSERT_TRUE(rig.load());
    auto* width = rig.optionsChild<QLineEdit>("txtParEspacio");
    const std::tuple<const char*, const char*, const char*, int> cases[] = {  // before, button, after, stored
        {"5", "cmdParEspaMas", "5", 3}, {"4", "cmdParEspaMas", "5", 5}, {"1", "cmdParEspaMenos", "1", 3},
        {"2", "cmdParEspaMenos", "1", 1}, {"9", "cmdParEspaMas", "9", 3}, {"9", "cmdParEspaMenos", "8", 8},
        {"abc", "cmdParEspaMas", "1", 1}};
    for (const auto& [before, button, after, stored] : cases) {
        SCOPED_TRACE(std::string(before) + " " + button);
        rig.store.SpaceWidth = 3;
        width->setText(before);
        rig.optionsChild<QPushButton>(button)->click();
        EXPECT_EQ(width->text().toStdString(), after);
        EXPECT_EQ(rig.store.SpaceWidth, stored);
    }
}

// "Actualizar" lists the ports again and chooses the last, which recordings then use; with no
// port found the window cannot be closed, and the main window stays off. "Puertos de red…" opens
// with the options off, and the entry it saves is what "Actualizar" shows next.
TEST(OptionsWindow, ActualizarListsThePortsAndTheChosenOneIsUsed) {
    AppRig rig{{1, 3, 4}};
    ASSERT_TRUE(rig.start());
    auto* ports = rig.optionsChild<QComboBox>("cboPuertoCom");
    frmAvanzadas& options = rig.window->avanzadas();
    auto press = [&](const char* button) { rig.optionsChild<QPushButton>(button)->click(); };
    rig.action("menOpcAvanzadas")->trigger();
    EXPECT_TRUE(options.isVisible() && !rig.window->isEnabled());
    ports->setCurrentIndex(1);
    press("cmdActualizar");
    ASSERT_EQ(ports->count(), 3);
    EXPECT_EQ(ports->currentText().toStdString(), "4");
    ports->setCurrentIndex(1);
    press("cmdCerrar");
    EXPECT_TRUE(!options.isVisible() && rig.window->isEnabled());
    rig.addParagraph("A");
    rig.action("menGrabTotal")->trigger();
    EXPECT_EQ(rig.logLines().front(), "Usando puerto COM 3.");
    EXPECT_EQ(rig.link.openedPorts.back(), 3);
    rig.recordingClose()->click();
    for (const std::set<int>& found : {std::set<int>{}, std::set<int>{7, 150}}) {
        SCOPED_TRACE(found.size());
        rig.action("menOpcAvanzadas")->trigger();
        rig.link.setOpenablePorts(found);
        press("cmdActualizar");
        EXPECT_EQ(ports->count(), static_cast<int>(found.size()));
        EXPECT_EQ(rig.optionsChild("cmdCerrar")->isEnabled(), !found.empty());
        EXPECT_TRUE(rig.optionsChild("cmdActualizar")->isEnabled());
        options.close();
        EXPECT_EQ(options.isVisible(), found.empty());
        EXPECT_EQ(rig.window->isEnabled(), !found.empty());
    }
    EXPECT_EQ(ports->itemData(1, Qt::ToolTipRole).toString().toStdString(), "Sin dispositivo");
    rig.action("menOpcAvanzadas")->trigger();
    press("cmdPuertosRed");
    frmPuertosRed* red = options.puertosRed();
    ASSERT_TRUE(red && red->isVisible() && !options.QWidget::isEnabled());
    for (auto [field, text] : {std::pair{"txtRedNumero", "150"}, {"txtRedServidor", "srv"}, {"txtRedPuerto", "4001"}})
        red->findChild<QLineEdit*>(field)->setText(text);
    red->findChild<QPushButton*>("cmdRedGuardar")->click();
    red->findChild<QPushButton*>("cmdCerrar")->click();
    EXPECT_TRUE(!red->isVisible() && options.QWidget::isEnabled());
    press("cmdActualizar");
    EXPECT_EQ(ports->itemData(1, Qt::ToolTipRole).toString().toStdString(), "Dispositivo: tcp://srv:4001");
    EXPECT_TRUE(rig.dialogs.shown.empty());
}

// The brand label shows the first line of marca.txt, in Windows-1252, ended by CR LF, LF or a
// lone CR; the logo shows when there; nothing missing gives a message.
TEST(Brand, TheFirstLineOfTheBrandTextAndTheLogo) {
    const std::tuple<const char*, const char*, bool> cases[] = {  // marca.txt or none, shown, logo
        {"Uno\r\nDos", "Uno", true}, {"Uno\nDos", "Uno", false}, {"Uno\rDos\r", "Uno", false},
        {"Uno", "Uno", false}, {"\r\nSegunda\r\n", "", false},
        {"Carteles Pe\xF1" "a\r\nSegunda linea\r\n", "Carteles Peña", false}, {nullptr, "", false}};
    for (const auto& [bytes, shown, withLogo] : cases) {
        SCOPED_TRACE(bytes ? bytes : "none");
        AppRig rig;
        const fs::path files = rig.scratch.path() / "ayuda" / "Archivos";
        fs::create_directories(files);
        if (bytes) std::ofstream(files / "marca.txt", std::ios::binary) << bytes;
        if (withLogo) fs::copy_file(LETRADOR_SOURCE_DIR "/data/ayuda/Archivos/logo.jpg", files / "logo.jpg");
        ASSERT_TRUE(rig.load());
        EXPECT_EQ(rig.child<QLabel>("lblArchVelmora")->text().toStdString(), shown);
        EXPECT_EQ(rig.child<QLabel>("imgArchVelmora")->pixmap().isNull(), !withLogo);
        EXPECT_EQ(rig.child("imgArchVelmora")->isEnabled(), withLogo);
        EXPECT_TRUE(rig.dialogs.shown.empty());
    }
}

// Runs `inspect` on the message box once it is up, then presses its last button (No, or OK).
void WhenBoxShows(std::function<void(QMessageBox&)> inspect) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, inspect] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        poll->deleteLater();
        poll->stop();
        inspect(*box);
        box->buttons().last()->click();
    });
    poll->start(10);
}

bool Activate(QWidget& w) {
    w.activateWindow();
    return QTest::qWaitForWindowActive(&w);
}

// A box asked while the chooser (opened with Ctrl+A from the editor) or the options window is in
// use belongs to that window, and the keyboard is back where it was once the box is answered;
// then to the main window again. A box is wide enough for its title, icon and frame buttons.
TEST(MessageBox, BelongsToTheWindowInUseGivesTheFocusBackAndShowsItsTitle) {
    for (const char* name : {"frmArchivo", "frmAvanzadas"}) {
        SCOPED_TRACE(name);
        AppRig rig;
        platform::QtDialogs boxes;
        ASSERT_TRUE(rig.load(&boxes));
        boxes.setParent(rig.window.get());
        rig.window->show();
        QWidget* inUse = &rig.window->avanzadas();
        if (name == std::string("frmArchivo")) {
            inUse = &rig.window->archivo();
            rig.press("cmdParNuevo");
            ASSERT_TRUE(Activate(*rig.window));
            QTest::keyClick(rig.editor(), Qt::Key_A, Qt::ControlModifier);
        } else {
            rig.action("menOpcAvanzadas")->trigger();
        }
        ASSERT_TRUE(inUse->isVisible() && Activate(*inUse));
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

// When the operator has clicked the disabled main window, a box still belongs to the window in
// use, not to the main window, which cannot answer it.
TEST(MessageBox, BelongsToTheWindowInUseEvenWhenTheDisabledMainWindowIsActive) {
    TestApp();
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

// The recording log keeps each line whole, with a horizontal scroll bar, and after each new
// line shows that line from its start; Esc and Enter act as the Close button once that shows,
// and not while recording, when "&Detener" shows instead.
TEST(RecordingWindow, TheLogShowsEachNewLineFromItsStartAndEscOrEnterCloseOnceCloseShows) {
    AppRig rig;
    ASSERT_TRUE(rig.start());
    frmGraba& graba = rig.window->graba();
    auto* log = graba.findChild<QPlainTextEdit*>("txtLog");
    auto* detener = graba.findChild<QPushButton*>("cmdDetener");
    const std::string longLine = "Error: " + std::string(400, 'X');
    for (int key : {Qt::Key_Escape, Qt::Key_Return}) {
        SCOPED_TRACE(key);
        graba.prepare();
        for (const std::string& line : {std::string("Usando puerto COM 3."), longLine, std::string("Grabando..."),
                                        longLine + "Y"})
            graba.AgregarLog(line, line != "Usando puerto COM 3.");
        QCoreApplication::processEvents();
        EXPECT_EQ(log->lineWrapMode(), QPlainTextEdit::NoWrap);
        EXPECT_GT(log->horizontalScrollBar()->maximum(), 0);
        EXPECT_EQ(log->horizontalScrollBar()->value(), 0);
        EXPECT_EQ(log->verticalScrollBar()->value(), log->verticalScrollBar()->maximum());
        EXPECT_EQ(log->document()->findBlockByNumber(3).text().toStdString(), longLine + "Y");
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

// "&Ayuda general" hands the page to the desktop's opener (here a script standing for xdg-open)
// and goes on without waiting for it; the page shows in the program's own window whenever no
// browser took it: the opener missing, ending with an error (xdg-open's 3: no browser) or killed.
TEST(Help, GeneralHelpOpensThePageOrShowsItInOurOwnWindow) {
    const std::pair<const char*, bool> rows[] = {  // how the opener ends once let go, own window
        {"exit 0", false}, {"exit 3", true}, {"kill -9 $$", true}, {nullptr, true}};
    for (const auto& [ending, ownWindow] : rows) {
        SCOPED_TRACE(ending ? ending : "no opener");
        AppRig rig;
        const auto page = rig.scratch.path() / "ayuda" / "letrador.html";
        fs::create_directories(page.parent_path());
        std::ofstream(page) << "<html><body><h1>Ayuda del Letrador</h1></body></html>";
        const std::string opener = (rig.scratch.path() / "xdg-open").string();
        if (ending) {  // says what it was given, then waits to be let go
            std::ofstream(opener) << "#!/bin/sh\nprintf '%s\\n' \"$1\" > \"$0.args\"\n"
                                     "n=0; while [ ! -e \"$0.go\" ] && [ $n -lt 3000 ]; do sleep 0.01; n=$((n+1)); done\n"
                                  << ending << "\n";
            fs::permissions(opener, fs::perms::owner_all);
        }
        ASSERT_TRUE(rig.load());
        rig.action("menAyudaGeneral")->trigger();
        EXPECT_EQ(rig.desktop.pending(), 1);
        if (ending) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return fs::exists(opener + ".args"); }, 30000));
            std::string given;
            std::getline(std::ifstream(opener + ".args"), given);
            EXPECT_EQ(given, page.string());
            EXPECT_EQ(rig.window->ayuda(), nullptr);  // the opener still runs: nobody waits for it
            std::ofstream(opener + ".go") << "";
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return rig.desktop.pending() == 0; }, 30000));
        frmAyuda* help = rig.window->ayuda();
        ASSERT_EQ(help != nullptr && help->isVisible(), ownWindow);
        if (!ownWindow) continue;
        auto* browser = help->findChild<QTextBrowser*>("txtAyuda");
        EXPECT_EQ(browser->source().toLocalFile().toStdString(), page.string());
        EXPECT_TRUE(browser->toPlainText().contains("Ayuda del Letrador"));
    }
}

// The program shows Qt's standard texts in Spanish: the OK button, the editor's menu.
TEST(QtTexts, TheProgramsStandardTextsAreSpanish) {
    TestApp();
    ScratchFolder scratch;
    Program program(scratch.path());
    QString ok;
    WhenBoxShows([&](QMessageBox& box) { ok = box.buttons().value(0)->text(); });
    program.dialogs().information("Debe seleccionar un efecto de la lista.", platform::kApplicationTitle);
    EXPECT_EQ(ok.toStdString(), "Aceptar");
    auto* editor = program.window().findChild<QPlainTextEdit*>("txtMsjMensaje");
    std::unique_ptr<QMenu> menu(editor->createStandardContextMenu());
    QStringList texts;
    for (QAction* a : menu->actions()) texts << a->text().remove('&').section('\t', 0, 0);
    EXPECT_TRUE(texts.contains("Deshacer") && texts.contains("Pegar"));
}

// The current folder when it has fonts, else the user's data folder (or the current one with no
// home at all), prepared with the missing folders and seeded without overwriting anything.
TEST(WorkFolder, ChosenPreparedAndSeededWithoutOverwriting) {
    ScratchFolder s;
    const fs::path here = s.path() / "here", work = s.path() / "work";
    const std::tuple<fs::path, const char*, const char*, fs::path> choices[] = {  // current, XDG, HOME
        {here, nullptr, "/h", here}, {s.path(), "/datos", "/h", "/datos/letrador"},
        {s.path(), "", "/h", "/h/.local/share/letrador"}, {s.path(), nullptr, "", s.path()}};
    fs::create_directories(here / "tipografias");
    for (const auto& [current, xdg, home, folder] : choices) {
        const WorkFolderChoice c = ChooseWorkFolder(current, xdg, home);
        EXPECT_EQ(c.folder, folder);
        EXPECT_EQ(c.isUserDataFolder, folder != current) << folder;
    }
    fs::create_directories(here / "mensajes");
    std::ofstream(here / "mensajes" / "hola.fmv") << "seed";
    std::ofstream(here / "leeme.txt") << "seed";
    fs::create_directories(work);
    std::ofstream(work / "leeme.txt") << "mine";
    ASSERT_TRUE(PrepareWorkFolder(work, here));
    for (const char* sub : {"tipografias", "mensajes", "ayuda/Archivos", "puertos"})
        EXPECT_TRUE(fs::is_directory(work / sub)) << sub;
    std::string mine, seeded;
    std::ifstream(work / "leeme.txt") >> mine;
    std::ifstream(work / "mensajes" / "hola.fmv") >> seeded;
    EXPECT_EQ(mine + " " + seeded, "mine seed");
    std::string problem;
    EXPECT_FALSE(PrepareWorkFolder(work / "leeme.txt", here, &problem));
    EXPECT_FALSE(problem.empty());
}

// Default ranges, and `puertos/COMn` entries: a link or a small file (up to 4 KiB) names the
// device; anything else names none, and looking at it never waits (a FIFO would block a read).
TEST(PortMapping, DefaultRangesAndPuertosEntries) {
    ScratchFolder s;
    const fs::path puertos = s.path() / "puertos";
    fs::create_directories(puertos / "COM3");
    std::ofstream(puertos / "COM255") << "  /dev/pts/9 \r\n";
    fs::create_symlink("/dev/ttyUSB4", puertos / "COM2");
    ASSERT_EQ(::mkfifo((puertos / "COM4").c_str(), 0600), 0);
    std::ofstream(puertos / "COM40") << "/dev/pts/4" << std::string(4087, ' ');
    std::ofstream(puertos / "COM43") << "/dev/pts/4" << std::string(4086, ' ');
    std::ofstream(puertos / "COM41") << "\n/dev/pts/4\n";
    std::ofstream(puertos / "COM42") << "/dev/pts/4";
    const std::pair<int, std::string> cases[] = {
        {1, "/dev/ttyS0"}, {32, "/dev/ttyS31"}, {33, "/dev/ttyUSB0"}, {64, "/dev/ttyUSB31"},
        {65, "/dev/ttyACM0"}, {96, "/dev/ttyACM31"}, {97, ""}, {0, ""}, {256, ""}, {255, "/dev/pts/9"},
        {2, (puertos / "COM2").string()}, {3, ""}, {4, ""}, {40, ""}, {41, ""}, {42, "/dev/pts/4"},
        {43, "/dev/pts/4"}};
    for (const auto& [n, device] : cases) EXPECT_EQ(PortDevicePath(s.path(), n), device) << n;
}

}  // namespace
}  // namespace letrador::testing
