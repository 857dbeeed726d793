// How the windows behave around the operator: whose message box it is and where the keyboard
// goes after it, Esc, the recording log's lines, the help without a browser, Qt's own texts.
#include <gtest/gtest.h>

#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextLayout>
#include <QTimer>
#include <fstream>
#include <functional>

#include "app/frm_ayuda.h"
#include "app/program.h"
#include "platform/qt_dialogs.h"
#include "tests/app/app_rig.h"

namespace letrador {
namespace {

using testing::AppRig;

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

struct SecondaryWindow {
    const char* name;
    const char* menu;  // the main window's menu item that opens it
};
void PrintTo(const SecondaryWindow& w, std::ostream* os) { *os << w.name; }

class BoxOwnerTest : public ::testing::TestWithParam<SecondaryWindow> {};

// A box asked while the chooser or the options window is in use belongs to that window, and
// the keyboard is back where it was once the box is answered.
TEST_P(BoxOwnerTest, BelongsToTheWindowInUseAndGivesTheFocusBack) {
    AppRig rig;
    platform::QtDialogs boxes;
    ASSERT_TRUE(rig.load(&boxes));
    boxes.setParent(rig.window.get());
    rig.window->show();
    rig.action(GetParam().menu)->trigger();
    auto* inUse = QApplication::topLevelWidgets().value(0);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QString::fromUtf8(GetParam().name)) inUse = w;
    ASSERT_TRUE(inUse->isVisible());
    ASSERT_TRUE(Activate(*inUse));
    QWidget* focus = inUse->focusWidget();
    ASSERT_NE(focus, nullptr);
    QWidget* parent = nullptr;
    WhenBoxShows([&](QMessageBox& box) { parent = box.parentWidget(); });
    EXPECT_FALSE(boxes.question("El archivo existe, desea sobreescribirlo?", "Sobreescribir?"));
    EXPECT_EQ(parent, inUse);
    QTRY_VERIFY(inUse->isActiveWindow());
    EXPECT_EQ(QApplication::focusWidget(), focus);
    // With the secondary window closed, boxes belong to the main window again.
    QTest::keyClick(inUse, Qt::Key_Escape);
    ASSERT_TRUE(rig.window->isEnabled());
    WhenBoxShows([&](QMessageBox& box) { parent = box.parentWidget(); });
    boxes.information("Debe seleccionar un efecto de la lista.", platform::kApplicationTitle);
    EXPECT_EQ(parent, rig.window.get());
}

INSTANTIATE_TEST_SUITE_P(Windows, BoxOwnerTest,
                         ::testing::Values(SecondaryWindow{"frmArchivo", "MenArchAbrir"},
                                           SecondaryWindow{"frmAvanzadas", "menOpcAvanzadas"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A box with a short text is still wide enough to show its whole title.
TEST(MessageBox, IsWideEnoughForItsTitle) {
    testing::TestApp();
    QWidget owner;
    owner.show();
    platform::QtDialogs boxes(&owner);
    struct Case {
        const char* text;
        const char* title;
    };
    for (const Case& c : {Case{"Desea salir del programa?", "Salir de la aplicación?"},
                          Case{"Sí", "Sobreescribir?"},
                          Case{"x", "Un título mucho más largo que el texto del mensaje"}}) {
        SCOPED_TRACE(c.title);
        int width = 0, titleWidth = 0;
        WhenBoxShows([&](QMessageBox& box) {
            width = box.width();
            titleWidth = QFontMetrics(box.font()).horizontalAdvance(box.windowTitle());
        });
        boxes.question(c.text, c.title);
        // Beside the title the frame draws its icon and its buttons.
        EXPECT_GE(width, titleWidth + 100);
    }
}

struct EscCase {
    const char* name;
    bool recordingOver;  // the recording window's Close button shows
    bool closes;
};
void PrintTo(const EscCase& c, std::ostream* os) { *os << c.name; }

class EscTest : public ::testing::TestWithParam<EscCase> {};

TEST_P(EscTest, EscActsAsTheCloseButtonWhenThatShows) {
    AppRig rig;
    ASSERT_TRUE(rig.load());
    rig.window->show();
    QWidget* w = nullptr;
    if (std::string(GetParam().name) == "frmAvanzadas") {
        rig.action("menOpcAvanzadas")->trigger();
        w = &rig.window->avanzadas();
    } else {
        w = &rig.window->graba();
        rig.window->graba().prepare();
        if (GetParam().recordingOver) rig.window->graba().showClose();
    }
    ASSERT_TRUE(Activate(*w));
    ASSERT_FALSE(rig.window->isEnabled());
    QTest::keyClick(w, Qt::Key_Escape);
    EXPECT_EQ(w->isVisible(), !GetParam().closes);
    EXPECT_EQ(rig.window->isEnabled(), GetParam().closes);
}

INSTANTIATE_TEST_SUITE_P(Windows, EscTest,
                         ::testing::Values(EscCase{"frmAvanzadas", false, true},
                                           EscCase{"frmGraba", true, true},
                                           EscCase{"frmGrabaRecording", false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RecordingLog, LongLinesWrapAndEachLineShowsItsStart) {
    AppRig rig;
    ASSERT_TRUE(rig.load());
    frmGraba& graba = rig.window->graba();
    graba.prepare();
    const std::string longLine = "Error: " + std::string(400, 'X');
    graba.AgregarLog("Usando puerto COM 3.", false);
    graba.AgregarLog(longLine, true);
    graba.AgregarLog("Grabando párrafo 1 de 1...", true);
    QCoreApplication::processEvents();
    auto* log = graba.findChild<QPlainTextEdit*>(QStringLiteral("txtLog"));
    EXPECT_EQ(log->horizontalScrollBar()->value(), 0);
    EXPECT_EQ(log->horizontalScrollBar()->maximum(), 0);
    const QTextBlock block = log->document()->findBlockByNumber(1);
    ASSERT_EQ(block.text().toStdString(), longLine);
    EXPECT_GT(block.layout()->lineCount(), 1);
    EXPECT_LE(block.layout()->boundingRect().width(), log->viewport()->width());
}

// "&Ayuda general" with no program to open the page shows it in a window of our own.
TEST(Help, WithoutABrowserThePageShowsInOurOwnWindow) {
    for (bool opens : {true, false}) {
        SCOPED_TRACE(opens ? "a browser opens it" : "nothing opens it");
        AppRig rig;
        rig.desktop.opens = opens;
        std::filesystem::create_directories(rig.scratch.path() / "ayuda");
        std::ofstream(rig.scratch.path() / "ayuda" / "letrador.html")
            << "<html><body><h1>Ayuda del Letrador</h1></body></html>";
        ASSERT_TRUE(rig.load());
        rig.window->show();
        rig.action("menAyudaGeneral")->trigger();
        EXPECT_EQ(rig.desktop.opened.size(), 1u);
        frmAyuda* help = rig.window->ayuda();
        ASSERT_EQ(help != nullptr && help->isVisible(), !opens);
        if (opens) continue;
        auto* page = help->findChild<QTextBrowser*>(QStringLiteral("txtAyuda"));
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->source().toLocalFile().toStdString(),
                  (rig.scratch.path() / "ayuda" / "letrador.html").string());
        EXPECT_TRUE(page->toPlainText().contains(QStringLiteral("Ayuda del Letrador")));
    }
}

// The program shows Qt's standard texts in Spanish: the OK button, the editor's menu.
TEST(QtTexts, TheProgramsStandardTextsAreSpanish) {
    testing::TestApp();
    testing::ScratchFolder scratch;
    Program program(scratch.path());
    QString ok;
    WhenBoxShows([&](QMessageBox& box) { ok = box.buttons().value(0)->text(); });
    program.dialogs().information("Debe seleccionar un efecto de la lista.",
                                  platform::kApplicationTitle);
    EXPECT_EQ(ok, QStringLiteral("Aceptar"));

    auto* editor = program.window().findChild<QPlainTextEdit*>(QStringLiteral("txtMsjMensaje"));
    std::unique_ptr<QMenu> menu(editor->createStandardContextMenu());
    QStringList texts;
    for (QAction* a : menu->actions())
        if (!a->isSeparator()) texts << a->text().remove(QLatin1Char('&')).section(QLatin1Char('\t'), 0, 0);
    EXPECT_TRUE(texts.contains(QStringLiteral("Deshacer"))) << texts.join(u',').toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral("Pegar"))) << texts.join(u',').toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral("Seleccionar todo"))) << texts.join(u',').toStdString();
}

}  // namespace
}  // namespace letrador
