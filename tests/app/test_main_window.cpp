// The main window around the editor: start-up, its editing states, closing, the brand text, help,
// its manners (whose message box, where the keyboard goes, Esc, Qt's own texts), the working
// folder and the port-to-device rule.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextLayout>
#include <QTimer>

#include "app/frm_ayuda.h"
#include "app/program.h"
#include "app/work_folder.h"
#include "platform/qt_dialogs.h"
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
    EXPECT_EQ(rig.child<QComboBox>("cboParParrafos")->count(), 0);
    EXPECT_EQ(rig.child<QLabel>("lblMsjCapacidad")->text(), QStringLiteral("Capacidad ocupada: 0%"));
    auto* effects = rig.child<QComboBox>("cboMsjFxEfectos");
    ASSERT_EQ(effects->count(), 11);
    EXPECT_EQ(effects->itemText(0), QStringLiteral("0 - Parpadea"));
    EXPECT_EQ(effects->itemText(10), QStringLiteral("A - Separa Msj."));
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
    EXPECT_EQ(ports->toolTip(), QStringLiteral("Puertos COM disponibles en el sistema."));
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

// Each step of the operator and what every control and menu item then offers (1 enabled).
TEST(EditingStates, EachStepLeavesItsSetOfControlsEnabled) {
    const char* controls[] = {"txtMsjMensaje", "frmMensaje", "frmArchivos", "frmSepar",
                              "frmEfectos", "chkMsjIgnora", "cmdParGuardar", "cmdParNuevo",
                              "cboParParrafos", "menGrabTotal", "menGrabParcial", "menArchGuardar",
                              "menArchGuardarComo"};
    AppRig rig;
    ASSERT_TRUE(rig.start());
    auto* list = rig.child<QComboBox>("cboParParrafos");
    auto save = [&](const char* text) {
        rig.editor()->setPlainText(QString::fromUtf8(text));
        rig.window->setFontFileText("a.ffv");
        rig.press("cmdParGuardar");
    };
    const struct {
        const char* step;
        std::function<void()> act;
        const char* enabled;  // per control above, in order
    } steps[] = {
        {"start-up", [] {}, "01000001100 00"},
        {"Nuevo Párrafo", [&] { rig.press("cmdParNuevo"); }, "11111110001 00"},
        {"Guardar párrafo", [&] { save("AA"); }, "11111111111 01"},
        {"second Nuevo Párrafo", [&] { rig.press("cmdParNuevo"); }, "11111110001 01"},
        {"second Guardar párrafo", [&] { save("A"); }, "11111111111 01"},
        {"choosing paragraph 1", [&] {
             list->setCurrentIndex(0);
             emit list->activated(0);
             EXPECT_EQ(rig.editor()->toPlainText(), QStringLiteral("AA"));
         }, "11111111111 01"},
        {"&Nuevo", [&] { rig.dialogs.answerNext(true); rig.action("menArchNuevo")->trigger(); },
         "01000001100 00"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        s.act();
        std::string shown;
        for (const char* name : controls) {
            if (QAction* a = rig.action(name)) shown += a->isEnabled() ? '1' : '0';
            else shown += rig.child<QWidget>(name)->isEnabled() ? '1' : '0';
            if (shown.size() == 11) shown += ' ';
        }
        EXPECT_EQ(shown, s.enabled);
        for (const char* always : {"menArchNuevo", "MenArchAbrir", "menOpcAvanzadas", "menTurn1",
                                   "menTurn2", "menTurn3", "menAyudaGeneral", "menEditorFuentes"})
            EXPECT_TRUE(rig.action(always)->isEnabled()) << always;
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

// The brand label shows the first line of marca.txt, in Windows-1252, ended by CR LF, LF or a
// lone CR; the logo shows when there; nothing missing gives a message.
TEST(Brand, TheFirstLineOfTheBrandTextAndTheLogo) {
    const fs::path logo = fs::path(LETRADOR_SOURCE_DIR) / "data" / "ayuda" / "Archivos" / "logo.jpg";
    const struct {
        const char* bytes;  // nullptr: no marca.txt
        const char* shown;
        bool logo;
    } cases[] = {{"Uno\r\nDos", "Uno", true}, {"Uno\nDos", "Uno", false}, {"Uno\rDos\r", "Uno", false},
                 {"Uno", "Uno", false}, {"\rDos", "", false}, {"\r\nSegunda\r\n", "", false},
                 {"Carteles Pe\xF1" "a\r\nSegunda linea\r\n", "Carteles Peña", false},
                 {nullptr, "", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes ? c.bytes : "none");
        AppRig rig;
        const fs::path files = rig.scratch.path() / "ayuda" / "Archivos";
        fs::create_directories(files);
        if (c.bytes) std::ofstream(files / "marca.txt", std::ios::binary) << c.bytes;
        if (c.logo) fs::copy_file(logo, files / "logo.jpg");
        ASSERT_TRUE(rig.load());
        EXPECT_EQ(rig.child<QLabel>("lblArchVelmora")->text().toStdString(), c.shown);
        EXPECT_EQ(rig.child<QLabel>("imgArchVelmora")->pixmap().isNull(), !c.logo);
        EXPECT_EQ(rig.child<QLabel>("imgArchVelmora")->isEnabled(), c.logo);
        EXPECT_TRUE(rig.dialogs.shown.empty());
    }
}

// The shipped help page names every menu item with its shortcut, and every "Menu > Item" it
// names exists: a menu item added or renamed without the page fails here.
TEST(Help, ThePageNamesEveryMenuItemAndNoOther) {
    QFile file(QStringLiteral(LETRADOR_SOURCE_DIR "/data/ayuda/letrador.html"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(file.readAll()).simplified();
    AppRig rig;
    ASSERT_TRUE(rig.load());
    QSet<QString> paths;
    for (QAction* top : rig.window->menuBar()->actions()) {
        const QString menu = top->menu()->title().remove(QLatin1Char('&'));
        for (QAction* item : top->menu()->actions()) {
            if (item->isSeparator()) continue;
            const QString text = item->text().remove(QLatin1Char('&'));
            const QString path = menu + QStringLiteral(" &gt; ") + text;
            paths.insert(path);
            SCOPED_TRACE(path.toStdString());
            EXPECT_TRUE(page.contains(QStringLiteral("<b>%1</b>").arg(path)) ||
                        page.contains(QStringLiteral("<b>%1</b>").arg(text)));
            const QString keys = item->shortcut().toString();
            EXPECT_TRUE(keys.isEmpty() || page.contains(QStringLiteral("<kbd>%1</kbd>").arg(keys)));
        }
    }
    static const QRegularExpression named(QStringLiteral("<b>([^<]+ &gt; [^<]+)</b>"));
    int seen = 0;
    for (const QRegularExpressionMatch& m : named.globalMatch(page))
        EXPECT_TRUE(++seen && paths.contains(m.captured(1))) << m.captured(1).toStdString();
    EXPECT_GT(seen, 0);  // the pattern still matches how the page names menu items
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
        QTRY_VERIFY(inUse->isActiveWindow());
        EXPECT_EQ(QApplication::focusWidget(), focus);
        QTest::keyClick(inUse, Qt::Key_Escape);
        ASSERT_TRUE(rig.window->isEnabled());
        WhenBoxShows(inspect);
        boxes.information("Sí", "Un título mucho más largo que el texto del mensaje");
        EXPECT_EQ(parent, rig.window.get());
    }
}

// The recording log wraps long lines, each shown from its start; Esc acts as the Close button
// once that shows, and not while recording.
TEST(RecordingWindow, TheLogWrapsAndEscClosesOnceCloseShows) {
    AppRig rig;
    ASSERT_TRUE(rig.start());
    frmGraba& graba = rig.window->graba();
    graba.prepare();
    const std::string longLine = "Error: " + std::string(400, 'X');
    for (const std::string& line : {std::string("Usando puerto COM 3."), longLine, std::string("Grabando...")})
        graba.AgregarLog(line, line != "Usando puerto COM 3.");
    QCoreApplication::processEvents();
    auto* log = graba.findChild<QPlainTextEdit*>(QStringLiteral("txtLog"));
    EXPECT_EQ(log->horizontalScrollBar()->maximum(), 0);
    const QTextBlock block = log->document()->findBlockByNumber(1);
    ASSERT_EQ(block.text().toStdString(), longLine);
    EXPECT_GT(block.layout()->lineCount(), 1);
    EXPECT_LE(block.layout()->boundingRect().width(), log->viewport()->width());
    ASSERT_TRUE(Activate(graba));
    for (bool over : {false, true}) {
        if (over) graba.showClose();
        QTest::keyClick(&graba, Qt::Key_Escape);
        EXPECT_EQ(graba.isVisible(), !over);
        EXPECT_EQ(rig.window->isEnabled(), over);
    }
}

// "&Ayuda general" opens the working folder's page, in our own window when nothing else can.
TEST(Help, GeneralHelpOpensThePageOrShowsItInOurOwnWindow) {
    for (bool opens : {true, false}) {
        SCOPED_TRACE(opens ? "a browser opens it" : "nothing opens it");
        AppRig rig;
        rig.desktop.opens = opens;
        const auto page = rig.scratch.path() / "ayuda" / "letrador.html";
        fs::create_directories(page.parent_path());
        std::ofstream(page) << "<html><body><h1>Ayuda del Letrador</h1></body></html>";
        ASSERT_TRUE(rig.load());
        rig.action("menAyudaGeneral")->trigger();
        EXPECT_EQ(rig.desktop.opened, std::vector<std::string>{page.string()});
        frmAyuda* help = rig.window->ayuda();
        ASSERT_EQ(help != nullptr && help->isVisible(), !opens);
        if (opens) continue;
        auto* browser = help->findChild<QTextBrowser*>(QStringLiteral("txtAyuda"));
        EXPECT_EQ(browser->source().toLocalFile().toStdString(), page.string());
        EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("Ayuda del Letrador")));
    }
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
    for (QAction* a : menu->actions())
        if (!a->isSeparator()) texts << a->text().remove(QLatin1Char('&')).section(QLatin1Char('\t'), 0, 0);
    for (const char* wanted : {"Deshacer", "Pegar", "Seleccionar todo"})
        EXPECT_TRUE(texts.contains(QString::fromUtf8(wanted))) << texts.join(u',').toStdString();
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
    EXPECT_EQ(ChooseWorkFolder(s.path(), "", "/h").folder, fs::path("/h/.local/share/letrador"));
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
