// The "&Mensaje" menu's commands and the chooser frmArchivo they drive: captions, the folder's list,
// names typed or clicked, questions before losing or overwriting, Enter, Esc and the frame's close.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "files/file_commands.h"
#include "files/frm_archivo.h"
#include "files/message_folder.h"
#include "files/plain_chooser_view.h"
#include "tests/files/files_fixture.h"

namespace letrador {
namespace {

namespace fs = std::filesystem;
using C = EditorControl;
using testing::ReadBytes;
using testing::Sample;
using testing::WriteBytes;

// The application has to exist before the window is built.
const std::string& WithApp(const std::string& folder) {
    static int argc = 1;
    static char name[] = "test_file_commands";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
    return folder;
}

class ChooserTest : public ::testing::Test, public testing::MessageFixture {
  protected:
    ChooserTest()
        : window(WithApp(store.MessageFolder)),
          fileCommands(store, view, commands, files, window, mainWindow, dialogs) {
        window.setCommands(&fileCommands);
    }
    template <typename W = QPushButton>
    W* child(const char* name) {
        return window.findChild<W*>(QString::fromUtf8(name));
    }
    QLineEdit* nameBox() { return child<QLineEdit>("txtNombre"); }
    // The caption, the action button's, and whether the chooser is up, not modal, over a disabled
    // main window.
    std::string mode() {
        const bool up = window.isVisible() && !window.isModal() && !mainWindow.enabled();
        return window.windowTitle().toStdString() + "|" + child("cmdAccion")->text().toStdString() + (up ? "|up" : "");
    }
    // Types `name` into the box and presses Enter, which runs the action.
    void enter(const std::string& name) {
        nameBox()->setText(QString::fromStdString(name));
        QTest::keyClick(nameBox(), Qt::Key_Return);
    }
    void click(const char* entry, bool twice = false) {
        auto* list = child<QListWidget>("filArchivo");
        const auto found = list->findItems(entry, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        const QPoint at = list->visualItemRect(found.first()).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        if (twice) QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }
    // The chooser gone, the main window enabled again with the focus, and the message named `name`.
    void expectClosedOn(const std::string& name, bool saveEnabled = true) {
        EXPECT_TRUE(!window.isVisible() && mainWindow.enabled() && mainWindow.focused());
        EXPECT_EQ(view.messageName() + (view.isEnabled(C::menArchGuardar) ? " Guardar" : ""), name + (saveEnabled ? " Guardar" : ""));
    }

    frmArchivo window;
    PlainMainWindow mainWindow;
    FileCommands fileCommands;
};

TEST_F(ChooserTest, OpenListsTheFolderAndOpensANameOfTheListTypedOrDoubleClicked) {
    for (const char* n : {"b.fmv", "A.FMV", "c.Fmv", "nota.txt", "fmv", ".fmv", "x.fmv.bak", "a_fmv", "a.fmv", "B.fmv", "Z.fmv"})
        WriteBytes(path(n), Sample());
    fs::create_directory(messages / "carpeta.fmv");
    nameBox()->setText("anterior");
    fileCommands.MenArchAbrir_Click();
    EXPECT_EQ(mode(), "Abrir archivo de mensaje|Abrir|up");
    EXPECT_EQ(child<QLabel>("lblNombre")->text().toStdString() + "|" + child("cmdCancelar")->text().toStdString(),
              "Nombre del archivo (*.fmv)|Cancelar");
    EXPECT_EQ(nameBox()->text(), "");
    EXPECT_EQ(window.focusWidget(), nameBox());
    QString listed;  // "*.fmv" in any letter case, sorted without regard to it
    for (const auto* list = child<QListWidget>("filArchivo"); listed.count(' ') < list->count();)
        listed += list->item(listed.count(' '))->text() + " ";
    EXPECT_EQ(listed.toStdString(), ".fmv A.FMV a.fmv B.fmv b.fmv c.Fmv Z.fmv ");
    EXPECT_TRUE(dialogs.shown.empty());  // nothing modified, nothing asked
    nameBox()->clearFocus();
    enter("");
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{"Debe escribir un nombre de archivo."});
    EXPECT_EQ(window.focusWidget(), nameBox());
    // ".fmv" goes into the box unless the name ends so (five characters at least); names are
    // matched exactly, and the list is as last read.
    WriteBytes(path("c.fmv"), Sample());
    for (auto [typed, shown] : {std::pair{"b.FMV", "b.FMV.fmv"}, {".fmv", ".fmv.fmv"}, {"ñ.fmv", "ñ.fmv"}, {"c", "c.fmv"}}) {
        dialogs.clear();
        enter(typed);
        EXPECT_EQ(nameBox()->text().toStdString(), shown);
        EXPECT_EQ(dialogs.texts(), std::vector<std::string>{"El nombre de archivo escrito no existe."});
        EXPECT_EQ(mode(), "Abrir archivo de mensaje|Abrir|up");
    }
    child("cmdAccion")->click();  // with the name the box shows
    EXPECT_EQ(dialogs.shown.size(), 2u);
    enter("a");
    expectClosedOn("a.fmv");
    EXPECT_FALSE(store.MessageModified);
    ASSERT_EQ(store.ParagraphCount, 1);
    EXPECT_EQ(store.paragraph(1).Text, U"Hola");
    // A click puts an entry in the box; a double click opens it.
    commands.ClearMessage();
    fileCommands.MenArchAbrir_Click();
    click("a.fmv");
    EXPECT_EQ(nameBox()->text(), "a.fmv");
    EXPECT_TRUE(window.isVisible() && store.ParagraphCount == 0);
    click("a.fmv", true);
    expectClosedOn("a.fmv");
    EXPECT_EQ(store.ParagraphCount, 1);
}

TEST_F(ChooserTest, SaveAsWritesTheEditorAsksBeforeOverwritingAndSaveWritesBack) {
    ASSERT_TRUE(addParagraph(U"Hola"));
    nameBox()->setText("tecleado");
    fileCommands.menArchGuardarComo_Click();
    EXPECT_EQ(mode(), "Guardar mensaje|Guardar|up");
    EXPECT_EQ(nameBox()->text(), "tecleado");  // a message without a name keeps what was typed
    child("cmdCancelar")->click();             // Cancel changes nothing
    expectClosedOn("", false);
    EXPECT_TRUE(store.MessageModified);
    EXPECT_FALSE(fs::exists(path("tecleado.fmv")));
    view.setMessageText(U"aloH");  // edited, not saved: saving stores it first
    fileCommands.menArchGuardarComo_Click();
    nameBox()->setText("nuevo");
    child("cmdAccion")->click();
    expectClosedOn("nuevo.fmv");
    EXPECT_EQ(ReadBytes(path("nuevo.fmv")), Sample("aloH"));
    EXPECT_FALSE(store.MessageModified);
    EXPECT_TRUE(dialogs.shown.empty());
    WriteBytes(path("hay.fmv"), "viejo");
    for (bool yes : {false, true}) {
        store.MessageModified = true;
        dialogs.answerNext(yes);
        fileCommands.menArchGuardarComo_Click();
        EXPECT_EQ(nameBox()->text(), "nuevo.fmv");
        enter("hay");
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_TRUE(dialogs.shown[0].isQuestion);
        EXPECT_EQ(dialogs.shown[0].text + "|" + dialogs.shown[0].title, "El archivo existe, desea sobreescribirlo?|Sobreescribir?");
        EXPECT_EQ(ReadBytes(path("hay.fmv")) == "viejo", !yes);
        EXPECT_EQ(window.isVisible(), !yes);
        EXPECT_EQ(view.messageName(), yes ? "hay.fmv" : "nuevo.fmv");
        EXPECT_EQ(store.MessageModified, !yes);
        dialogs.clear();
        child("cmdCancelar")->click();
    }
    view.setMessageText(U"Hola");
    EXPECT_TRUE(fileCommands.menArchGuardar_Click());
    EXPECT_FALSE(store.MessageModified);
    EXPECT_EQ(ReadBytes(path("hay.fmv")), Sample());
}

TEST_F(ChooserTest, NewAndOpenAskBeforeLosingChanges) {
    ASSERT_TRUE(addParagraph(U"Hola"));
    fileCommands.menArchGuardarComo_Click();
    enter("m");
    view.setMessageText(U"cambio");
    dialogs.answerNext(false);
    fileCommands.menArchNuevo_Click();
    dialogs.answerNext(false);
    fileCommands.MenArchAbrir_Click();
    ASSERT_EQ(dialogs.shown.size(), 2u);
    for (const auto& shown : dialogs.shown)
        EXPECT_TRUE(shown.isQuestion && shown.text == "Se perderán los cambios hechos al párrafo actual.\r\nDesea continuar?");
    EXPECT_EQ(dialogs.shown[0].title + "|" + dialogs.shown[1].title, "Mensaje nuevo|Abrir mensaje");
    EXPECT_TRUE(!window.isVisible() && mainWindow.enabled() && store.MessageModified);
    EXPECT_EQ(view.messageText(), U"cambio");
    EXPECT_EQ(view.messageName(), "m.fmv");
    EXPECT_TRUE(view.isEnabled(C::menArchGuardar));
    dialogs.answerNext(true);
    view.setCapacityLabel("Capacidad excedida.", true);
    fileCommands.menArchNuevo_Click();
    EXPECT_EQ(view.paragraphItemCount(), 0);
    EXPECT_EQ(view.messageName(), "");
    EXPECT_EQ(view.capacityLabel(), "Capacidad ocupada: 0%");
    EXPECT_FALSE(view.capacityLabelIsRedBold() || view.isEnabled(C::menArchGuardar) || store.MessageModified);
    EXPECT_EQ(view.focused(), C::cmdParNuevo);
    // Nothing modified: nothing asked.
    dialogs.clear();
    ASSERT_TRUE(addParagraph(U"Hola"));
    store.MessageModified = false;
    fileCommands.menArchNuevo_Click();
    EXPECT_EQ(store.ParagraphCount, 0);
    fileCommands.MenArchAbrir_Click();
    EXPECT_TRUE(dialogs.shown.empty() && window.isVisible());
}

TEST_F(ChooserTest, AFileThatCannotBeWrittenOrReadKeepsTheNameTheMenusAndTheFlag) {
    ASSERT_TRUE(addParagraph(U"Hola"));
    store.MessageModified = true;
    fs::create_directory(messages / "otro.fmv");  // not in the list, and no file can be written there
    fileCommands.menArchGuardarComo_Click();
    enter("otro");
    EXPECT_FALSE(fileCommands.menArchGuardar_Click());  // the message has no name yet
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>(2, "No se pudo guardar el archivo: Es una carpeta, no un archivo."));
    expectClosedOn("", false);
    EXPECT_TRUE(store.MessageModified);
    fileCommands.menArchGuardarComo_Click();
    enter("actual");
    WriteBytes(path("roto.fmv"), "");
    dialogs.clear();
    view.setMessageText(U"cambio");
    store.MessageModified = false;
    fileCommands.MenArchAbrir_Click();
    enter("roto");
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{"El archivo está vacío."});
    expectClosedOn("actual.fmv");
    EXPECT_EQ(view.messageText(), U"cambio");
    EXPECT_FALSE(store.MessageModified);
    // Esc and the frame's close act as Cancel; the window lives on for the next use.
    for (bool esc : {true, false}) {
        fileCommands.menArchGuardarComo_Click();
        nameBox()->setText("sin_guardar");
        ASSERT_FALSE(mainWindow.enabled());
        if (esc) {
            ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
            QTest::keyClick(&window, Qt::Key_Escape);
        } else {
            EXPECT_TRUE(window.close());
        }
        expectClosedOn("actual.fmv");
    }
    EXPECT_FALSE(fs::exists(path("sin_guardar.fmv")));
    EXPECT_EQ(dialogs.shown.size(), 1u);
    fileCommands.menArchGuardarComo_Click();
    EXPECT_EQ(mode(), "Guardar mensaje|Guardar|up");
}

}  // namespace
}  // namespace letrador
