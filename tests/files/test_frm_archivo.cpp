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

QApplication& App() {
    static int argc = 1;
    static char name[] = "test_frm_archivo";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// The application has to exist before the window is built.
const std::string& WithApp(const std::string& folder) {
    App();
    return folder;
}

class FrmArchivoTest : public ::testing::Test, public testing::MessageFixture {
  protected:
    FrmArchivoTest()
        : window(WithApp(store.MessageFolder)),
          fileCommands(store, view, commands, files, window, mainWindow, dialogs) {
        window.setCommands(&fileCommands);
        testing::WriteBytes(messages / "b.fmv",
                            "3\r\n0\r\n1\r\n\"a.ffv\"\r\n\"Hola\"\r\n"
                            "\"fin_parrafo\"\r\n24\r\n#FALSE#\r\n1\r\n");
        testing::WriteBytes(messages / "A.FMV", "x");
        testing::WriteBytes(messages / "nota.txt", "x");
    }
    template <typename W>
    W* child(const char* name) {
        return window.findChild<W*>(QString::fromUtf8(name));
    }
    QListWidgetItem* entry(const QString& text) {
        auto found = child<QListWidget>("filArchivo")->findItems(text, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.first();
    }
    void clickEntry(QListWidgetItem* item, bool twice = false) {
        auto* list = child<QListWidget>("filArchivo");
        QPoint at = list->visualItemRect(item).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        if (twice) QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }

    frmArchivo window;
    PlainMainWindow mainWindow;
    FileCommands fileCommands;
};

TEST_F(FrmArchivoTest, ControlsAreNamedAndLabelled) {
    EXPECT_EQ(window.objectName(), "frmArchivo");
    EXPECT_TRUE(window.isWindow());
    ASSERT_NE(child<QLabel>("lblNombre"), nullptr);
    EXPECT_EQ(child<QLabel>("lblNombre")->text(), QString::fromUtf8("Nombre del archivo (*.fmv)"));
    EXPECT_NE(child<QLineEdit>("txtNombre"), nullptr);
    EXPECT_NE(child<QListWidget>("filArchivo"), nullptr);
    EXPECT_NE(child<QPushButton>("cmdAccion"), nullptr);
    ASSERT_NE(child<QPushButton>("cmdCancelar"), nullptr);
    EXPECT_EQ(child<QPushButton>("cmdCancelar")->text(), "Cancelar");
}

TEST_F(FrmArchivoTest, CaptionsFollowTheMode) {
    fileCommands.MenArchAbrir_Click();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isModal());
    EXPECT_EQ(window.windowTitle(), "Abrir archivo de mensaje");
    EXPECT_EQ(child<QPushButton>("cmdAccion")->text(), "Abrir");
    EXPECT_FALSE(mainWindow.enabled());
    child<QPushButton>("cmdCancelar")->click();
    EXPECT_FALSE(window.isVisible());

    fileCommands.menArchGuardarComo_Click();
    EXPECT_EQ(window.windowTitle(), "Guardar mensaje");
    EXPECT_EQ(child<QPushButton>("cmdAccion")->text(), "Guardar");
}

TEST_F(FrmArchivoTest, TheListShowsTheMessageFilesSorted) {
    fileCommands.MenArchAbrir_Click();
    auto* list = child<QListWidget>("filArchivo");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), "A.FMV");
    EXPECT_EQ(list->item(1)->text(), "b.fmv");
}

TEST_F(FrmArchivoTest, AClickFillsTheNameBox) {
    fileCommands.MenArchAbrir_Click();
    QListWidgetItem* item = entry("b.fmv");
    ASSERT_NE(item, nullptr);
    clickEntry(item);
    EXPECT_EQ(child<QLineEdit>("txtNombre")->text(), "b.fmv");
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(store.ParagraphCount, 0);
}

TEST_F(FrmArchivoTest, ADoubleClickOpensTheFile) {
    fileCommands.MenArchAbrir_Click();
    QListWidgetItem* item = entry("b.fmv");
    ASSERT_NE(item, nullptr);
    clickEntry(item, true);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(store.ParagraphCount, 1);
    EXPECT_EQ(view.messageName(), "b.fmv");
    EXPECT_TRUE(mainWindow.enabled());
}

TEST_F(FrmArchivoTest, EnterInTheNameBoxRunsTheAction) {
    fileCommands.MenArchAbrir_Click();
    auto* name = child<QLineEdit>("txtNombre");
    name->setText("b");
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(view.messageName(), "b.fmv");
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
