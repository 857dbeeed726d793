// The chooser window mirrors the file commands: captions per mode, list clicks, Enter, and the
// window frame's close acting as Cancel.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "files/file_commands.h"
#include "files/frm_archivo.h"
#include "files/plain_chooser_view.h"
#include "tests/files/files_fixture.h"

namespace letrador {
namespace {

// The application has to exist before the window is built.
const std::string& WithApp(const std::string& folder) {
    static int argc = 1;
    static char name[] = "test_frm_archivo";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
    return folder;
}

class FrmArchivoTest : public ::testing::Test, public testing::MessageFixture {
  protected:
    FrmArchivoTest()
        : window(WithApp(store.MessageFolder)),
          fileCommands(store, view, commands, files, window, mainWindow, dialogs) {
        window.setCommands(&fileCommands);
        testing::WriteBytes(messages / "b.fmv", testing::Lines({"3", "0", "1", "\"a.ffv\"", "\"Hola\"",
                                                                "\"fin_parrafo\"", "24", "#FALSE#", "1"}));
        for (const char* n : {"A.FMV", "nota.txt"}) testing::WriteBytes(messages / n, "x");
    }
    template <typename W>
    W* child(const char* name) {
        W* w = window.findChild<W*>(QString::fromUtf8(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    // Clicks (or double-clicks) the list entry `text`.
    void clickEntry(const QString& text, bool twice) {
        auto* list = child<QListWidget>("filArchivo");
        auto found = list->findItems(text, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        const QPoint at = list->visualItemRect(found.first()).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        if (twice) QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }

    frmArchivo window;
    PlainMainWindow mainWindow;
    FileCommands fileCommands;
};

TEST_F(FrmArchivoTest, ControlsAndCaptionsFollowTheMode) {
    EXPECT_EQ(window.objectName(), "frmArchivo");
    EXPECT_EQ(child<QLabel>("lblNombre")->text(), QString::fromUtf8("Nombre del archivo (*.fmv)"));
    EXPECT_EQ(child<QPushButton>("cmdCancelar")->text(), "Cancelar");
    fileCommands.MenArchAbrir_Click();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isModal());
    EXPECT_EQ(window.windowTitle(), "Abrir archivo de mensaje");
    EXPECT_EQ(child<QPushButton>("cmdAccion")->text(), "Abrir");
    EXPECT_FALSE(mainWindow.enabled());
    auto* list = child<QListWidget>("filArchivo");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), "A.FMV");
    EXPECT_EQ(list->item(1)->text(), "b.fmv");
    child<QPushButton>("cmdCancelar")->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(mainWindow.enabled());
    fileCommands.menArchGuardarComo_Click();
    EXPECT_EQ(window.windowTitle(), "Guardar mensaje");
    EXPECT_EQ(child<QPushButton>("cmdAccion")->text(), "Guardar");
}

TEST_F(FrmArchivoTest, AClickFillsTheNameBoxADoubleClickOrEnterOpens) {
    fileCommands.MenArchAbrir_Click();
    clickEntry("b.fmv", false);
    EXPECT_EQ(child<QLineEdit>("txtNombre")->text(), "b.fmv");
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(store.ParagraphCount, 0);
    clickEntry("b.fmv", true);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(store.ParagraphCount, 1);
    EXPECT_EQ(view.messageName(), "b.fmv");
    EXPECT_TRUE(mainWindow.enabled());
    // Enter in the name box runs the action too.
    commands.ClearMessage();
    fileCommands.MenArchAbrir_Click();
    child<QLineEdit>("txtNombre")->setText("b");
    QTest::keyClick(child<QLineEdit>("txtNombre"), Qt::Key_Return);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(view.messageName(), "b.fmv");
    EXPECT_EQ(store.ParagraphCount, 1);
}

TEST_F(FrmArchivoTest, ClosingByTheFrameActsAsCancel) {
    fileCommands.menArchGuardarComo_Click();
    child<QLineEdit>("txtNombre")->setText("sin_guardar");
    ASSERT_FALSE(mainWindow.enabled());
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(mainWindow.enabled());
    EXPECT_TRUE(mainWindow.focused());
    EXPECT_FALSE(std::filesystem::exists(messages / "sin_guardar.fmv"));
    EXPECT_TRUE(dialogs.shown.empty());
    // The window lives on with its contents for the next use.
    fileCommands.menArchGuardarComo_Click();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(child<QLineEdit>("txtNombre")->text(), "sin_guardar");
}

}  // namespace
}  // namespace letrador
