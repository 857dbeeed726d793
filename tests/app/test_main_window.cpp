// The main window: start-up, editing states, closing, recording menus and "Varios carteles…",
// options, brand, help, its manners (whose message box, where the keyboard goes, Qt's texts), the
// working folder and ports.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTimer>

#include "app/program.h"
#include "app/virtual_sign_launcher.h"
#include "app/work_folder.h"
#include "platform/qt_dialogs.h"
#include "settings/frm_puertos_red.h"
#include "signlink/turnero.h"
#include "tests/app/app_rig.h"

namespace letrador::testing {
namespace {

// At start-up every number is tried; the ports found are listed with their devices and the last is
// chosen, asking nothing (the other controls' first states are read in test_editing). "Actualizar"
// lists the ports again and chooses the last, which recordings then use; with no port found the
// window cannot be closed, and the main window stays off. "Puertos de red…" opens with the options
// off, and the entry it saves is what "Actualizar" shows next. Without any port it says so and ends.
TEST(StartUp, ListsThePortsFoundAsActualizarDoesOrEndsWithoutAny) {
    AppRig rig{{1, 3, 150}};
    ASSERT_TRUE(rig.start());
    EXPECT_EQ(rig.link.triedPorts.size(), 255u);
    auto* ports = rig.optionsChild<QComboBox>("cboPuertoCom");
    ASSERT_EQ(ports->count(), 3);
    EXPECT_EQ((ports->itemText(1) + " " + ports->currentText()).toStdString(), "3 150");
    EXPECT_EQ(ports->itemData(1, Qt::ToolTipRole).toString().toStdString(), "Dispositivo: /dev/ttyS2");
    EXPECT_EQ(ports->itemData(2, Qt::ToolTipRole).toString().toStdString(), "Sin dispositivo");
    EXPECT_TRUE(rig.dialogs.shown.empty() && fs::is_directory(rig.scratch.path() / "mensajes"));
    frmAvanzadas& options = rig.window->avanzadas();
    auto press = [&](const char* button) { rig.optionsChild<QPushButton>(button)->click(); };
    rig.action("menOpcAvanzadas")->trigger();
    EXPECT_TRUE(options.isVisible() && !rig.window->isEnabled());
    ports->setCurrentIndex(1);
    press("cmdActualizar");
    ASSERT_EQ(ports->count(), 3);
    EXPECT_EQ(ports->currentText().toStdString(), "150");
    ports->setCurrentIndex(1);
    press("cmdCerrar");
    EXPECT_TRUE(!options.isVisible() && rig.window->isEnabled());
    rig.addParagraph("A");
    rig.action("menGrabTotal")->trigger();
    EXPECT_EQ(rig.link.openedPorts.back(), 3);
    rig.recordingClose()->click();
    rig.action("menOpcAvanzadas")->trigger();
    for (const std::set<int>& found : {std::set<int>{}, std::set<int>{7, 150}}) {
        rig.link.setOpenablePorts(found);
        press("cmdActualizar");
        EXPECT_EQ(ports->count(), static_cast<int>(found.size()));
        EXPECT_TRUE(rig.optionsChild("cmdCerrar")->isEnabled() != found.empty() && rig.optionsChild("cmdActualizar")->isEnabled());
        options.close();
        EXPECT_TRUE(options.isVisible() == found.empty() && rig.window->isEnabled() != found.empty());
    }
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
    AppRig none(std::set<int>{});
    EXPECT_FALSE(none.load());
    ASSERT_EQ(none.dialogs.texts(), Strings{"No se encontraron puertos COM en el sistema.\r\nEl programa no puede continuar."});
    EXPECT_TRUE(!none.dialogs.shown[0].isQuestion && none.dialogs.shown[0].title == "Letrador de Mensajes");
}

// The program as a process, its environment holding only what each row gives: with no screen it
// says so in Spanish on standard error, with the way to see it anyway; the help needs none.
TEST(StartUp, WithoutAScreenTheProgramSaysHowToSeeItAndEnds) {
    const QStringList noScreen = {"letrador: no hay pantalla", "QT_QPA_PLATFORM=vnc letrador", "puerto 5900",
                                  "qt6-qpa-plugins"},
                      help = {"Configuración > Opciones Avanzadas > Puertos de red…", "rfc2217://HOST:PUERTO",
                              "QT_QPA_PLATFORM=vnc"};
    const std::tuple<const char*, const char*, int, QStringList> rows[] = {  // DISPLAY, argument, exit code, said
        {nullptr, nullptr, 1, noScreen}, {"", "--cartel-virtual", 1, noScreen}, {nullptr, "--help", 0, help}};
    for (const auto& [display, arg, code, said] : rows) {
        SCOPED_TRACE(arg ? arg : "");
        QProcess program;
        QProcessEnvironment env;  // nothing of the tests' own environment
        if (display) env.insert("DISPLAY", display);
        program.setProcessEnvironment(env);
        program.start(LETRADOR_PROGRAM_PATH, arg ? QStringList{arg} : QStringList{});
        ASSERT_TRUE(program.waitForFinished(30000));
        EXPECT_TRUE(program.exitStatus() == QProcess::NormalExit && program.exitCode() == code);
        const QString out = program.readAllStandardOutput(), err = program.readAllStandardError();
        EXPECT_TRUE((code ? out : err).isEmpty());
        for (const QString& w : said) EXPECT_TRUE((code ? err : out).contains(w)) << w.toStdString();
    }
}

// "--cartel-virtual": the virtual sign runs with its pseudo-terminal linked as puertos/COM255 for
// as long as the program does; once the program is done with it, it ends and takes its link away.
TEST(StartUp, TheVirtualSignIsLinkedAsAPortUntilTheProgramEnds) {
    TestApp();
    ScratchFolder work;
    const fs::path link = work.path() / "puertos" / "COM255";
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFileInfo(LETRADOR_CARTEL_VIRTUAL_PATH).absolutePath().toUtf8() + ":" + path);
    {
        VirtualSignLauncher launcher;
        QString problem;
        ASSERT_TRUE(launcher.start(work.path(), 255, {}, &problem)) << problem.toStdString();
        EXPECT_EQ(fs::read_symlink(link).string().rfind("/dev/pts/", 0), 0u);
    }
    qputenv("PATH", path);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

// Each step of the operator, what every control and menu item then offers (1 enabled), and whether
// the message counts as changed: loading what a box already holds is no change. Closing asks first,
// whatever is unsaved: No keeps the window, Yes closes it.
TEST(EditingStates, EachStepLeavesItsSetOfControlsEnabled) {
    const char* controls[] = {"txtMsjMensaje", "frmMensaje", "frmArchivos", "frmSepar", "frmEfectos", "chkMsjIgnora",
                              "cmdParGuardar", "cmdParNuevo", "cboParParrafos", "menGrabTotal", "menGrabParcial",
                              "menArchGuardar", "menArchGuardarComo"};
    AppRig rig;
    ASSERT_TRUE(rig.start());
    EXPECT_EQ(OverlappingControls(*rig.window), Strings{});
    const std::tuple<const char*, std::function<void()>, const char*> steps[] = {  // enabled, changed
        {"start-up", [] {}, "01000001100 00 0"},
        {"Nuevo Párrafo", [&] { rig.press("cmdParNuevo"); }, "11111110001 00 0"},
        {"Guardar párrafo", [&] { rig.save("AA"); }, "11111111111 01 1"},
        {"second Nuevo Párrafo", [&] { rig.press("cmdParNuevo"); }, "11111110001 01 1"},
        {"second Guardar párrafo", [&] { rig.save("A"); }, "11111111111 01 1"},
        {"choosing paragraph 1", [&] { rig.showParagraph(0); }, "11111111111 01 1"},
        {"choosing it again", [&] { rig.store.MessageModified = false; rig.showParagraph(0); }, "11111111111 01 0"},
        {"&Nuevo, asking nothing", [&] { rig.action("menArchNuevo")->trigger(); }, "01000001100 00 0"},
        {"closing, No", [&] { rig.dialogs.defaultAnswer = false; EXPECT_FALSE(rig.window->close()); }, "01000001100 00 0"},
        {"closing, Yes", [&] { rig.dialogs.defaultAnswer = true; EXPECT_TRUE(rig.window->close()); }, "01000001100 00 0"},
    };
    for (const auto& [step, act, enabled] : steps) {
        SCOPED_TRACE(step);
        act();
        std::string shown;
        for (const char* name : controls) {
            QAction* a = rig.action(name);
            shown += (a ? a->isEnabled() : rig.child(name)->isEnabled()) ? '1' : '0';
            if (shown.size() == 11) shown += ' ';
        }
        EXPECT_EQ(shown + (rig.store.MessageModified ? " 1" : " 0"), enabled);
    }
    EXPECT_TRUE(rig.child<QComboBox>("cboParParrafos")->count() == 0 && rig.editor()->toPlainText().isEmpty());
    EXPECT_EQ(rig.dialogs.texts(), Strings(2, "Desea salir del programa?"));
    EXPECT_TRUE(rig.dialogs.shown[0].isQuestion && rig.dialogs.shown[0].title == "Salir de la aplicación?");
    EXPECT_FALSE(rig.window->isVisible());
}

// Each menu item with what it sets off: its refusals (before any byte), its question, or the
// recording window, which keeps the main window off, and from closing, until its Close. A line
// lost in the middle ends the recording, saying so, with the port closed.
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
        const char *name, *menu;
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
        {"Parcial, no text", "menGrabParcial", parcial("a.ffv", "", 0, 0), {"Debe ingresar texto en el mensaje."}, true, ""},
        {"Parcial, no font", "menGrabParcial", parcial("", "A", 0, 0),
         {"Debe seleccionar un archivo de fuente para el mensaje."}, true, ""},
        {"Parcial, too long though only a part is selected", "menGrabParcial",
         parcial("a.ffv", QString(500, 'A'), 0, 1), {"El texto supera la capacidad del cartel. Debe reducir el texto."}, true, ""},
        {"Parcial, the selection", "menGrabParcial", parcial("a.ffv", "AB A", 3, 4), {}, true, "Grabando selección: A"},
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
            if (rig.link.written.size() == 5) {  // closing refused, and nothing asked
                rig.dialogs.answerNext(false);
                EXPECT_FALSE(rig.window->close());
            }
            return sign(b);
        });
        rig.dialogs.defaultAnswer = c.answer;
        rig.action(c.menu)->trigger();
        EXPECT_EQ(rig.dialogs.texts(), c.boxes);
        const bool records = !c.log.empty();
        if (c.lostAt) { EXPECT_EQ(rig.link.written.size(), c.lostAt + 1); }
        EXPECT_EQ(rig.link.written.empty(), !records);
        EXPECT_TRUE(rig.window->graba().isVisible() == records && rig.window->isEnabled() != records);
        if (!records) continue;
        const Strings lines = rig.logLines();
        EXPECT_NE(std::find(lines.begin(), lines.end(), c.log), lines.end());
        EXPECT_EQ(lines.back(), "Grabación finalizada.");
        EXPECT_FALSE(rig.link.isOpen());
        ASSERT_FALSE(rig.recordingClose()->isHidden());
        rig.recordingClose()->click();
        EXPECT_TRUE(rig.window->isEnabled() && !rig.window->graba().isVisible());
    }
}

// The brand label shows the first line of marca.txt, in Windows-1252, ended by CR LF, LF or a lone
// CR, and the logo when there is one; nothing missing gives a message.
TEST(Brand, TheFirstLineOfTheBrandTextAndTheLogo) {
    const std::pair<const char*, const char*> cases[] = {  // marca.txt or none, shown
        {"Uno\r\nDos", "Uno"}, {"Uno\nDos", "Uno"}, {"Uno\rDos\r", "Uno"}, {"Uno", "Uno"}, {"\r\nSegunda\r\n", ""},
        {"Carteles Pe\xF1" "a\r\nSegunda linea\r\n", "Carteles Peña"}, {nullptr, ""}};
    for (const auto& [bytes, shown] : cases) {
        AppRig rig;
        const fs::path files = rig.scratch.path() / "ayuda" / "Archivos";
        fs::create_directories(files);
        if (bytes) std::ofstream(files / "marca.txt", std::ios::binary) << bytes;
        const bool logo = bytes == cases[0].first;
        if (logo) fs::copy_file(LETRADOR_SOURCE_DIR "/data/ayuda/Archivos/logo.jpg", files / "logo.jpg");
        ASSERT_TRUE(rig.load());
        EXPECT_EQ(rig.child<QLabel>("lblArchVelmora")->text().toStdString(), shown);
        EXPECT_TRUE(rig.child<QLabel>("imgArchVelmora")->pixmap().isNull() != logo && rig.child("imgArchVelmora")->isEnabled() == logo);
        EXPECT_TRUE(rig.dialogs.shown.empty());
    }
}

// Runs `inspect` on the message box once it is up, then presses its button `press`, else its
// last one (No, or OK).
void WhenBoxShows(std::function<void(QMessageBox&)> inspect, const QString& press = {}) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, inspect, press] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        inspect(*box);
        QAbstractButton* button = box->buttons().last();
        for (QAbstractButton* b : box->buttons()) button = b->text() == press ? b : button;
        button->click();
    });
    poll->start(10);
}

// A box asked while the chooser or the options window (opened with Ctrl+A and Ctrl+O in the editor)
// is in use belongs to that window, even when the operator has clicked the disabled main window,
// and gives the keyboard back; then it belongs to the main window. It is wide enough for its title.
TEST(MessageBox, BelongsToTheWindowInUseGivesTheFocusBackAndShowsItsTitle) {
    for (bool chooser : {true, false}) {
        SCOPED_TRACE(chooser ? "frmArchivo" : "frmAvanzadas");
        AppRig rig;
        platform::QtDialogs boxes;
        ASSERT_TRUE(rig.load(&boxes));
        boxes.setParent(rig.window.get());
        rig.window->show();
        rig.press("cmdParNuevo");
        ASSERT_TRUE(Activate(*rig.window));
        QTest::keyClick(rig.editor(), chooser ? Qt::Key_A : Qt::Key_O, Qt::ControlModifier);
        QWidget* inUse = chooser ? static_cast<QWidget*>(&rig.window->archivo()) : &rig.window->avanzadas();
        ASSERT_TRUE(inUse->isVisible() && Activate(*inUse));
        EXPECT_EQ(OverlappingControls(*inUse), Strings{});
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
        ASSERT_TRUE(Activate(*rig.window));
        WhenBoxShows(inspect);
        boxes.information("Texto", "Título");
        EXPECT_EQ(parent, inUse);
        ASSERT_TRUE(Activate(*inUse));
        QTest::keyClick(inUse, Qt::Key_Escape);
        ASSERT_TRUE(rig.window->isEnabled());
        WhenBoxShows(inspect);
        boxes.information("Sí", "Un título mucho más largo que el texto del mensaje");
        EXPECT_EQ(parent, rig.window.get());
        if (!chooser) continue;
        for (const char* box : {"txtNomMensaje", "txtMsjArchivo", "txtMsjSeparSepar"}) {  // Ctrl+A, not select-all
            ASSERT_TRUE(Activate(*rig.window));
            QTest::keyClick(rig.child(box), Qt::Key_A, Qt::ControlModifier);
            EXPECT_TRUE(inUse->isVisible()) << box;
            QTest::keyClick(inUse, Qt::Key_Escape);
        }
    }
    // A choice answers with the button pressed, whichever it is.
    platform::QtDialogs boxes;
    const std::vector<std::string> buttons = {"&Reemplazar", "&Solo los que faltan", "Cancelar"};
    for (int k = 0; k < 3; ++k) {
        WhenBoxShows([](QMessageBox&) {}, QString::fromStdString(buttons[k]));
        EXPECT_EQ(boxes.choose("¿Reemplaza sus dibujos?", "Fuentes", buttons), k) << buttons[k];
    }
}

// The recording log keeps each line whole, with a horizontal scroll bar, and after each new line
// shows it from its start; Esc and Enter act as Close once that shows, not while "&Detener" does.
TEST(RecordingWindow, TheLogShowsEachNewLineFromItsStartAndEscOrEnterCloseOnceCloseShows) {
    AppRig rig;
    ASSERT_TRUE(rig.start());
    frmGraba& graba = rig.window->graba();
    auto* log = graba.findChild<QPlainTextEdit*>("txtLog");
    const std::string longLine = "Error: " + std::string(400, 'X');
    for (int key : {Qt::Key_Escape, Qt::Key_Return}) {
        SCOPED_TRACE(key);
        graba.prepare();
        for (const std::string& line : {std::string("Usando puerto COM 3."), longLine, std::string("Grabando..."), longLine + "Y"})
            graba.AgregarLog(line, line != "Usando puerto COM 3.");
        QCoreApplication::processEvents();
        EXPECT_EQ(OverlappingControls(graba), Strings{});
        EXPECT_TRUE(log->lineWrapMode() == QPlainTextEdit::NoWrap && log->horizontalScrollBar()->maximum() > 0);
        EXPECT_EQ(log->horizontalScrollBar()->value(), 0);
        EXPECT_EQ(log->verticalScrollBar()->value(), log->verticalScrollBar()->maximum());
        EXPECT_EQ(log->document()->findBlockByNumber(3).text().toStdString(), longLine + "Y");
        ASSERT_TRUE(Activate(graba));
        for (bool over : {false, true}) {
            if (over) graba.showClose();
            EXPECT_EQ(graba.findChild<QWidget*>("cmdDetener")->isHidden(), over);
            QTest::keyClick(&graba, static_cast<Qt::Key>(key));
            EXPECT_TRUE(graba.isVisible() != over && rig.window->isEnabled() == over);
        }
    }
}

// "Grabación > Varios carteles…" over scripted signs, one line each: the main window's own
// "Total" gives the lines and bytes each sign must get; the window marks every sign's verdict,
// sums them up, tries the failed ones again, and stops the signs when closed while they record.
struct VariosRig : AppRig {
    explicit VariosRig(std::set<int> ports) : AppRig(std::move(ports)) {
        signs.script = [this](std::size_t k, platform::ScriptedSerialLink& l) {
            l.setResponder([this, k, &l, sign = CompatibleSign()](std::uint8_t b) mutable {
                if (onByte) onByte(l.written.size());
                return silent.count(k) ? kMute : sign(b);
            });
        };
    }
    frmVarios& open() {
        action("menGrabVarios")->trigger();
        return *window->varios();
    }
    template <typename W = QWidget>
    W* in(const char* name) const { return window->varios()->findChild<W*>(name); }
    QListWidget* list() const { return in<QListWidget>("lstPuertos"); }
    std::string item(int row) const { return list()->item(row)->text().toStdString(); }
    void check(std::set<int> rows) const {
        for (int k = 0; k < list()->count(); ++k) list()->item(k)->setCheckState(rows.count(k) ? Qt::Checked : Qt::Unchecked);
    }
    const Bytes& wire(std::size_t sign) const { return signs.signs.at(sign)->link.written; }

    std::set<std::size_t> silent;  // the signs, in the order they are made, that never answer
    std::function<void(std::size_t written)> onByte;
};

TEST(VariosCarteles, RecordsTheCheckedSignsMarksEachVerdictAndRetriesOnlyTheFailedOnes) {
    VariosRig rig({3, 7, 12});
    rig.silent = {3};  // COM 12 the first time
    ASSERT_TRUE(rig.start());
    rig.addParagraph("AB BA");
    rig.addParagraph("<4>AAB");
    rig.action("menGrabTotal")->trigger();  // on port 12, the chosen one: sign 0
    const Strings oneSign = rig.logLines();
    rig.recordingClose()->click();
    frmVarios& varios = rig.open();
    EXPECT_TRUE(varios.isVisible() && !rig.window->isEnabled());
    EXPECT_EQ(OverlappingControls(varios), Strings{});
    ASSERT_EQ(rig.list()->count(), 3);
    rig.check({0, 1, 2});
    rig.in<QPushButton>("cmdGrabar")->click();
    ASSERT_FALSE(varios.recordingRunning());
    ASSERT_EQ(varios.recordedPorts(), (Strings{"3", "7", "12"}));
    const std::pair<Verdict, const char*> verdicts[] = {
        {Verdict::Clean, "COM 3 (/dev/ttyS2) ✔ sin errores"}, {Verdict::Clean, "COM 7 (/dev/ttyS6) ✔ sin errores"},
        {Verdict::Errors, "COM 12 (/dev/ttyS11) ✘ con errores"}};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(varios.verdict(k), verdicts[k].first);
        EXPECT_EQ(rig.item(k), verdicts[k].second);
        if (k == 2) continue;
        Strings lines = oneSign;
        lines.front() = "Usando puerto COM " + varios.recordedPorts()[k] + ".";
        EXPECT_EQ(varios.log(k).lines(), lines);
        EXPECT_EQ(rig.wire(k + 1), rig.wire(0));
    }
    EXPECT_EQ(rig.in<QLabel>("lblResumen")->text().toStdString(), "Resumen: 2 sin errores, 1 con errores.");
    auto* scroll = rig.in<QScrollArea>("scrCarteles");  // every sign's log in sight without scrolling
    QCoreApplication::processEvents();
    for (const char* port : {"COM3", "COM7", "COM12"}) {
        auto* box = rig.in((std::string("fraCartel") + port).c_str());
        ASSERT_NE(box, nullptr) << port;
        EXPECT_TRUE(scroll->viewport()->rect().contains({box->mapTo(scroll->viewport(), QPoint(0, 0)), box->size()}));
    }
    auto* retry = rig.in("cmdReintentar");  // only COM 12 again, now answering: sign 4
    ASSERT_TRUE(retry->isEnabled());
    rig.in<QPushButton>("cmdReintentar")->click();
    EXPECT_EQ(varios.recordedPorts(), Strings{"12"});
    EXPECT_EQ(rig.signs.signs.size(), 5u);
    EXPECT_EQ(rig.wire(4), rig.wire(0));
    EXPECT_TRUE(varios.verdict(0) == Verdict::Clean && !retry->isEnabled());
    QTest::keyClick(&varios, Qt::Key_Escape);  // closes it when nothing records
    EXPECT_TRUE(!varios.isVisible() && rig.window->isEnabled());
    rig.open();  // opened again it shows no run
    EXPECT_TRUE(varios.recordedPorts().empty() && rig.in<QLabel>("lblResumen")->text().isEmpty());
    EXPECT_EQ(rig.in("fraCartelCOM12"), nullptr);
    EXPECT_EQ(rig.item(2), "COM 12 (/dev/ttyS11)");
}

// Closing the window (or "&Detener") while the signs record: a Yes stops the signs (where a stop
// leaves a sign is read in test_recording_engine) and the window goes; a No lets them finish.
// With no paragraph "&Total" is off, and so is the whole message here: the turn display is
// recorded, after its question.
TEST(VariosCarteles, ClosingWhileSignsRecordAsksWhetherToStopThem) {
    const std::tuple<const char*, const char*, bool, Verdict> cases[] = {  // paragraph, press, answer, verdict
        {"AAAA", "close", true, Verdict::Stopped}, {"AAAA", "close", false, Verdict::Clean},
        {"AAAA", "cmdDetener", true, Verdict::Stopped}, {"", "", true, Verdict::Clean}};
    for (const auto& [paragraph, press, yes, verdict] : cases) {
        SCOPED_TRACE(std::string(press) + (yes ? " yes" : " no"));
        VariosRig rig({3});
        ASSERT_TRUE(rig.start());
        const bool turnero = !*paragraph, byClose = press == std::string("close");
        if (!turnero) rig.addParagraph(paragraph);
        ASSERT_EQ(rig.action("menGrabTotal")->isEnabled(), !turnero);
        frmVarios& varios = rig.open();
        EXPECT_EQ(rig.in("optGrabTotal")->isEnabled(), !turnero);
        EXPECT_TRUE(!turnero || rig.in<QRadioButton>("optGrabTurnero")->isChecked());
        rig.check({0});
        rig.onByte = [&](std::size_t written) {  // at the sixth byte the operator closes or stops
            if (written != 6 || !*press) return;
            rig.dialogs.defaultAnswer = yes;
            byClose ? (void)varios.close() : rig.in<QPushButton>(press)->click();
        };
        rig.in<QPushButton>("cmdGrabar")->click();
        EXPECT_EQ(varios.verdict(0), verdict);
        EXPECT_EQ(rig.dialogs.shown.size(), byClose || turnero ? 1u : 0u);
        if (turnero) {
            EXPECT_EQ(rig.dialogs.texts(), Strings{std::string(kTurneroPregunta)});
            EXPECT_EQ(rig.wire(0).size(), 4u + 1500 + 3);
        }
        EXPECT_EQ(varios.isVisible(), !(byClose && yes));
        EXPECT_EQ(rig.window->isEnabled(), byClose && yes);
    }
}

// "&Ayuda general" hands the page to the desktop's opener (a script standing for xdg-open) and goes
// on without waiting; the page shows in our own window whenever no browser took it: the opener
// missing, ending with an error (xdg-open's 3: no browser) or killed.
TEST(Help, GeneralHelpOpensThePageOrShowsItInOurOwnWindow) {
    for (const char* ending : {"exit 0", "exit 3", "kill -9 $$", static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(ending ? ending : "no opener");
        const bool ownWindow = !ending || std::string_view(ending) != "exit 0";
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
            // The file shows before the line is in it: wait for the line.
            EXPECT_TRUE(QTest::qWaitFor([&] { return ReadAll(opener + ".args") == page.string() + "\n"; }, 30000));
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
    ScratchFolder scratch;
    Program program((TestApp(), scratch.path()));
    QString ok;
    WhenBoxShows([&](QMessageBox& box) { ok = box.buttons().value(0)->text(); });
    program.dialogs().information("Debe seleccionar un efecto de la lista.", platform::kApplicationTitle);
    std::unique_ptr<QMenu> menu(program.window().findChild<QPlainTextEdit*>("txtMsjMensaje")->createStandardContextMenu());
    QStringList texts = {ok};
    for (QAction* a : menu->actions()) texts << a->text().remove('&').section('\t', 0, 0);
    EXPECT_TRUE(texts.contains("Aceptar") && texts.contains("Deshacer") && texts.contains("Pegar")) << texts.join(' ').toStdString();
}

// The current folder when it has fonts, else the user's data folder (the current one with no home
// at all), prepared with the missing folders and seeded without overwriting anything.
TEST(WorkFolder, ChosenPreparedAndSeededWithoutOverwriting) {
    ScratchFolder s;
    const fs::path here = s.path() / "here", work = s.path() / "work";
    const std::tuple<fs::path, const char*, const char*, fs::path> choices[] = {  // current, XDG, HOME: folder
        {here, nullptr, "/h", here}, {s.path(), "/datos", "/h", "/datos/letrador"},
        {s.path(), "", "/h", "/h/.local/share/letrador"}, {s.path(), nullptr, "", s.path()}};
    fs::create_directories(here / "mensajes");
    fs::create_directories(here / "tipografias");
    for (const auto& [current, xdg, home, folder] : choices) {
        EXPECT_EQ(ChooseWorkFolder(current, xdg, home).folder, folder);
        EXPECT_EQ(ChooseWorkFolder(current, xdg, home).isUserDataFolder, folder != current) << folder;
    }
    std::ofstream(here / "mensajes" / "hola.fmv") << "seed";
    std::ofstream(here / "leeme.txt") << "seed";
    fs::create_directories(work);
    std::ofstream(work / "leeme.txt") << "mine";
    ASSERT_TRUE(PrepareWorkFolder(work, here));
    for (const char* sub : {"tipografias", "mensajes", "ayuda/Archivos", "puertos"}) EXPECT_TRUE(fs::is_directory(work / sub)) << sub;
    EXPECT_EQ(ReadAll(work / "leeme.txt") + " " + ReadAll(work / "mensajes" / "hola.fmv"), "mine seed");
    std::string problem;
    EXPECT_FALSE(PrepareWorkFolder(work / "leeme.txt", here, &problem) || problem.empty());
}

// Default ranges, and `puertos/COMn` entries: a link or a small file (up to 4 KiB) names the device;
// anything else names none, and looking at it never waits (a FIFO would block a plain read).
TEST(PortMapping, DefaultRangesAndPuertosEntries) {
    ScratchFolder s;
    const fs::path puertos = s.path() / "puertos";
    fs::create_directories(puertos / "COM3");
    fs::create_symlink("/dev/ttyUSB4", puertos / "COM2");
    ASSERT_EQ(::mkfifo((puertos / "COM4").c_str(), 0600), 0);
    const std::pair<int, std::string> entries[] = {{255, "  /dev/pts/9 \r\n"}, {40, "/dev/pts/4" + std::string(4087, ' ')},
        {43, "/dev/pts/4" + std::string(4086, ' ')}, {41, "\n/dev/pts/4\n"}, {42, "/dev/pts/4"}};
    for (const auto& [n, bytes] : entries) std::ofstream(puertos / ("COM" + std::to_string(n))) << bytes;
    const std::pair<int, std::string> cases[] = {
        {1, "/dev/ttyS0"}, {32, "/dev/ttyS31"}, {33, "/dev/ttyUSB0"}, {64, "/dev/ttyUSB31"}, {65, "/dev/ttyACM0"},
        {96, "/dev/ttyACM31"}, {97, ""}, {0, ""}, {256, ""}, {255, "/dev/pts/9"}, {2, (puertos / "COM2").string()},
        {3, ""}, {4, ""}, {40, ""}, {41, ""}, {42, "/dev/pts/4"}, {43, "/dev/pts/4"}};
    for (const auto& [n, device] : cases) EXPECT_EQ(PortDevicePath(s.path(), n), device) << n;
}

}  // namespace
}  // namespace letrador::testing
