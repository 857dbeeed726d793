// The "&Mensaje" menu and the chooser: the commands without windows, then the chooser window
// frmArchivo (captions per mode, list clicks, Enter, the frame's close acting as Cancel).
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <filesystem>

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
using testing::WriteBytes;

std::string Sample(const std::string& text) {
    return testing::Lines({"3", "0", "1", "\"a.ffv\"", "\"" + text + "\"", "\"fin_parrafo\"", "24", "#FALSE#", "1"});
}

TEST(MessageNames, ExtensionPatternAndList) {
    const std::pair<const char*, const char*> named[] = {
        {"hola", "hola.fmv"}, {"hola.fmv", "hola.fmv"}, {"x", "x.fmv"}, {".fmv", ".fmv.fmv"},
        {"HOLA.FMV", "HOLA.FMV.fmv"}, {"a.fmv", "a.fmv"}, {"ñ.fmv", "ñ.fmv"} /* five characters, six bytes */};
    for (auto [typed, name] : named) EXPECT_EQ(WithMessageExtension(typed), name) << typed;
    const std::string_view views[] = {"a.FMV", ".fmv", "x.fMv", "fmv", "a.fmvx", "a.fm", "a.fmw", "a_fmv", ""};
    for (std::size_t i = 0; i < std::size(views); ++i) EXPECT_EQ(MatchesMessagePattern(views[i]), i < 3) << views[i];
    // A name seen through a view of a longer text ends where the view ends.
    EXPECT_TRUE(MatchesMessagePattern(std::string_view("nota.fmv.bak").substr(0, 8)));
    testing::ScratchFolder dir;
    for (const char* n : {"b.fmv", "A.FMV", "c.Fmv", "nota.txt", "fmv", ".fmv", "x.fmv.bak", "a.fmv", "B.fmv"})
        WriteBytes(dir.path() / n, "1");
    fs::create_directory(dir.path() / "carpeta.fmv");
    EXPECT_EQ(ListMessageFiles(dir.path().string()),
              (std::vector<std::string>{".fmv", "A.FMV", "a.fmv", "B.fmv", "b.fmv", "c.Fmv"}));
    EXPECT_TRUE(ListMessageFiles((dir.path() / "no-hay").string()).empty());
}

class FileCommandsTest : public ::testing::Test, public testing::MessageFixture {
  protected:
    FileCommandsTest(FileReplacer* writer = nullptr)
        : MessageFixture(writer), chooser(store.MessageFolder),
          fileCommands(store, view, commands, files, chooser, mainWindow, dialogs) {}

    // A message with one saved paragraph, modified.
    void compose(const std::u32string& text = U"Hola") {
        ASSERT_TRUE(addParagraph(text));
        store.MessageModified = true;
    }
    void saveAs(const std::string& name) {
        fileCommands.menArchGuardarComo_Click();
        chooser.setNameText(name);
        fileCommands.cmdAccion_Click();
    }
    void open(const std::string& name) {
        fileCommands.MenArchAbrir_Click();
        chooser.setNameText(name);
        fileCommands.cmdAccion_Click();
    }
    void expectChooserClosed() {
        EXPECT_FALSE(chooser.isShown());
        EXPECT_TRUE(mainWindow.enabled());
        EXPECT_TRUE(mainWindow.focused());
    }

    PlainChooserView chooser;
    PlainMainWindow mainWindow;
    FileCommands fileCommands;
};

TEST_F(FileCommandsTest, OpenShowsTheChooserAndRefusesNamesNotInTheList) {
    WriteBytes(messages / "HOLA.FMV", "3\r\n0\r\n");
    chooser.setNameText("anterior.fmv");
    fileCommands.MenArchAbrir_Click();
    EXPECT_TRUE(fileCommands.ModoAbrir());
    EXPECT_EQ(chooser.caption(), "Abrir archivo de mensaje");
    EXPECT_EQ(chooser.actionCaption(), "Abrir");
    EXPECT_EQ(chooser.nameText(), "");
    EXPECT_EQ(chooser.entries(), std::vector<std::string>{"HOLA.FMV"});
    EXPECT_TRUE(chooser.nameFocused());
    EXPECT_FALSE(mainWindow.enabled());
    EXPECT_TRUE(dialogs.shown.empty());  // nothing modified, nothing asked
    chooser.clearFocus();
    fileCommands.cmdAccion_Click();
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{"Debe escribir un nombre de archivo."});
    EXPECT_TRUE(chooser.nameFocused());
    // The extension goes into the box; the list is matched exactly, so HOLA.FMV is not found.
    for (auto [typed, shown] : {std::pair{"hola", "hola.fmv"}, {"x", "x.fmv"}, {"HOLA.FMV", "HOLA.FMV.fmv"}}) {
        dialogs.clear();
        open(typed);
        EXPECT_EQ(chooser.nameText(), shown);
        EXPECT_EQ(dialogs.texts(), std::vector<std::string>{"El nombre de archivo escrito no existe."});
        EXPECT_TRUE(chooser.isShown());
        EXPECT_FALSE(mainWindow.enabled());
    }
    EXPECT_TRUE(fileCommands.ExisteEnLista("HOLA.FMV"));
    WriteBytes(path("dos.fmv"), "x");  // the list as last read
    for (const char* n : {"dos.fmv", "hola.fmv", "HOLA"}) EXPECT_FALSE(fileCommands.ExisteEnLista(n)) << n;
}

TEST_F(FileCommandsTest, SaveAsStoresTheEditorWritesAndNamesTheMessage) {
    compose();
    chooser.setNameText("tecleado");
    fileCommands.menArchGuardarComo_Click();
    EXPECT_FALSE(fileCommands.ModoAbrir());
    EXPECT_EQ(chooser.caption(), "Guardar mensaje");
    EXPECT_EQ(chooser.actionCaption(), "Guardar");
    EXPECT_EQ(chooser.nameText(), "tecleado");
    fileCommands.cmdCancelar_Click();  // Cancel changes nothing
    EXPECT_TRUE(store.MessageModified);
    EXPECT_FALSE(view.isEnabled(C::menArchGuardar));
    expectChooserClosed();
    EXPECT_FALSE(fs::exists(messages / "tecleado.fmv"));
    view.setMessageText(U"aloH");  // edited, not saved
    saveAs("nuevo");
    EXPECT_EQ(store.paragraph(1).Text, U"aloH");
    EXPECT_EQ(ReadBytes(path("nuevo.fmv")), Sample("aloH"));
    EXPECT_EQ(view.messageName(), "nuevo.fmv");
    EXPECT_TRUE(view.isEnabled(C::menArchGuardar));
    EXPECT_FALSE(store.MessageModified);
    expectChooserClosed();
    EXPECT_TRUE(dialogs.shown.empty());
    fileCommands.menArchGuardarComo_Click();
    EXPECT_EQ(chooser.nameText(), "nuevo.fmv");
    fileCommands.cmdCancelar_Click();
    EXPECT_TRUE(view.isEnabled(C::menArchGuardar));
    EXPECT_FALSE(store.MessageModified);
}

TEST_F(FileCommandsTest, OverwriteIsAskedAndNoKeepsTheChooser) {
    for (bool yes : {false, true}) {
        WriteBytes(path("hay.fmv"), "viejo");
        compose();
        dialogs.clear();
        dialogs.answerNext(yes);
        saveAs(yes ? "hay.fmv" : "hay");
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_TRUE(dialogs.shown[0].isQuestion);
        EXPECT_EQ(dialogs.shown[0].text, "El archivo existe, desea sobreescribirlo?");
        EXPECT_EQ(dialogs.shown[0].title, "Sobreescribir?");
        EXPECT_EQ(ReadBytes(path("hay.fmv")) == "viejo", !yes);
        EXPECT_EQ(chooser.isShown(), !yes);
        EXPECT_EQ(mainWindow.enabled(), yes);
        EXPECT_EQ(view.messageName(), yes ? "hay.fmv" : "");
        EXPECT_EQ(view.isEnabled(C::menArchGuardar), yes);
        EXPECT_EQ(store.MessageModified, !yes);
        fileCommands.cmdCancelar_Click();
    }
}

TEST_F(FileCommandsTest, NewAndOpenAskBeforeLosingChanges) {
    compose();
    saveAs("m");
    view.setMessageText(U"cambio");
    ASSERT_TRUE(store.MessageModified);
    dialogs.clear();
    dialogs.answerNext(false);
    fileCommands.menArchNuevo_Click();
    dialogs.answerNext(false);
    fileCommands.MenArchAbrir_Click();
    ASSERT_EQ(dialogs.shown.size(), 2u);
    for (const auto& shown : dialogs.shown) {
        EXPECT_TRUE(shown.isQuestion);
        EXPECT_EQ(shown.text, "Se perderán los cambios hechos al párrafo actual.\r\nDesea continuar?");
    }
    EXPECT_EQ(dialogs.shown[0].title, "Mensaje nuevo");
    EXPECT_EQ(dialogs.shown[1].title, "Abrir mensaje");
    EXPECT_FALSE(chooser.isShown());
    EXPECT_TRUE(mainWindow.enabled());
    EXPECT_TRUE(store.MessageModified);
    EXPECT_TRUE(view.isEnabled(C::menArchGuardar));
    EXPECT_EQ(view.messageText(), U"cambio");
    EXPECT_EQ(view.messageName(), "m.fmv");
    dialogs.answerNext(true);
    fileCommands.menArchNuevo_Click();
    EXPECT_EQ(view.paragraphItemCount(), 0);
    EXPECT_EQ(view.messageName(), "");
    EXPECT_EQ(view.capacityLabel(), "Capacidad ocupada: 0%");
    EXPECT_FALSE(view.capacityLabelIsRedBold());
    EXPECT_EQ(view.focused(), C::cmdParNuevo);
    EXPECT_FALSE(view.isEnabled(C::menArchGuardar));
    EXPECT_FALSE(store.MessageModified);
    dialogs.clear();  // nothing modified: nothing asked
    ASSERT_TRUE(addParagraph(U"Hola"));
    store.MessageModified = false;
    fileCommands.menArchNuevo_Click();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(store.ParagraphCount, 0);
}

TEST_F(FileCommandsTest, OpenReadsTheFileNamesTheMessageAndSaveWritesBack) {
    compose();
    saveAs("guardado");
    saveAs("doble");
    for (bool doubleClick : {false, true}) {
        commands.ClearMessage();
        ASSERT_TRUE(addParagraph(U"otro"));
        store.MessageModified = false;
        if (doubleClick) {
            fileCommands.MenArchAbrir_Click();
            fileCommands.filArchivo_Click("doble.fmv");
            EXPECT_EQ(chooser.nameText(), "doble.fmv");
            EXPECT_TRUE(chooser.isShown());
            fileCommands.filArchivo_DblClick("doble.fmv");
        } else {
            open("guardado");
        }
        expectChooserClosed();
        EXPECT_EQ(view.messageName(), doubleClick ? "doble.fmv" : "guardado.fmv");
        EXPECT_TRUE(view.isEnabled(C::menArchGuardar));
        EXPECT_FALSE(store.MessageModified);
        ASSERT_EQ(store.ParagraphCount, 1);
        EXPECT_EQ(store.paragraph(1).Text, U"Hola");
    }
    view.setMessageText(U"aloH");
    EXPECT_TRUE(fileCommands.menArchGuardar_Click());
    EXPECT_FALSE(store.MessageModified);
    EXPECT_EQ(ReadBytes(path("doble.fmv")), Sample("aloH"));
}

TEST_F(FileCommandsTest, OpenOfAnEmptyOrBrokenFileKeepsTheNameMenusAndFlag) {
    compose();
    saveAs("actual");
    const std::pair<std::string, std::string> cases[] = {
        {"", "El archivo está vacío."},
        {std::string("\xFF\xD8\xFF\xE0\0\x10JFIF", 10),
         "El archivo no es un mensaje completo, línea 2: falta la opción Párrafos unidos."}};
    for (const auto& [bytes, message] : cases) {
        SCOPED_TRACE(message);
        WriteBytes(path("roto.fmv"), bytes);
        dialogs.clear();
        view.setMessageText(U"cambio");
        store.MessageModified = false;
        open("roto");
        EXPECT_EQ(dialogs.texts(), std::vector<std::string>{message});
        expectChooserClosed();
        EXPECT_EQ(view.messageName(), "actual.fmv");
        EXPECT_EQ(view.messageText(), U"cambio");
        EXPECT_TRUE(view.isEnabled(C::menArchGuardar));
        EXPECT_FALSE(store.MessageModified);
    }
}

// A replacer that always fails the way a read-only folder does.
struct RefusingReplacer : FileReplacer {
    FileResult Replace(const std::string&, std::string_view) override { return {false, "Permiso denegado."}; }
};

class FailingSaveTest : public FileCommandsTest {
  protected:
    FailingSaveTest() : FileCommandsTest(&writer) {}
    RefusingReplacer writer;
};

TEST_F(FailingSaveTest, ASaveThatCannotBeWrittenKeepsNameMenusAndFlag) {
    ASSERT_TRUE(addParagraph(U"Hola"));
    view.setMessageName("previo.fmv");
    store.MessageModified = true;
    saveAs("otro");
    EXPECT_FALSE(fileCommands.menArchGuardar_Click());
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>(2, "No se pudo guardar el archivo: Permiso denegado."));
    EXPECT_EQ(view.messageName(), "previo.fmv");
    EXPECT_FALSE(view.isEnabled(C::menArchGuardar));
    EXPECT_TRUE(store.MessageModified);
    EXPECT_TRUE(mainWindow.enabled());
}

// The application has to exist before the window is built.
const std::string& WithApp(const std::string& folder) {
    static int argc = 1;
    static char name[] = "test_file_commands";
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
