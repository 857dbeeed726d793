// The "&Mensaje" menu and the chooser, without windows.
#include <gtest/gtest.h>

#include <filesystem>

#include "files/file_commands.h"
#include "files/message_folder.h"
#include "files/plain_chooser_view.h"
#include "tests/files/files_fixture.h"

namespace letrador {
namespace {

namespace fs = std::filesystem;
using C = EditorControl;
using testing::ReadBytes;
using testing::WriteBytes;

class FileCommandsTest : public ::testing::Test, public testing::MessageFixture {
  protected:
    FileCommandsTest()
        : chooser(store.MessageFolder),
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

    PlainChooserView chooser;
    PlainMainWindow mainWindow;
    FileCommands fileCommands;
};

TEST(WithMessageExtension, CaseSensitiveAndAtLeastFiveCharacters) {
    EXPECT_EQ(WithMessageExtension("hola"), "hola.fmv");
    EXPECT_EQ(WithMessageExtension("hola.fmv"), "hola.fmv");
    EXPECT_EQ(WithMessageExtension("x"), "x.fmv");
    EXPECT_EQ(WithMessageExtension(".fmv"), ".fmv.fmv");
    EXPECT_EQ(WithMessageExtension("HOLA.FMV"), "HOLA.FMV.fmv");
    EXPECT_EQ(WithMessageExtension("a.fmv"), "a.fmv");
    EXPECT_EQ(WithMessageExtension("ñ.fmv"), "ñ.fmv");  // five characters, six bytes
}

TEST(ListMessageFiles, MatchesAnyCaseSortsAndSkipsFolders) {
    testing::ScratchFolder dir;
    for (const char* n : {"b.fmv", "A.FMV", "c.Fmv", "nota.txt", "fmv", ".fmv", "x.fmv.bak"}) {
        WriteBytes(dir.path() / n, "1");
    }
    fs::create_directory(dir.path() / "carpeta.fmv");
    EXPECT_EQ(ListMessageFiles(dir.path().string()),
              (std::vector<std::string>{".fmv", "A.FMV", "b.fmv", "c.Fmv"}));
    EXPECT_TRUE(ListMessageFiles((dir.path() / "no-hay").string()).empty());
}

TEST_F(FileCommandsTest, ActionButtonAppendsTheExtensionInTheNameBox) {
    struct Case {
        const char* typed;
        const char* shown;
    };
    for (Case c : {Case{"hola", "hola.fmv"}, Case{"hola.fmv", "hola.fmv"}, Case{"x", "x.fmv"},
                   Case{".fmv", ".fmv.fmv"}, Case{"HOLA.FMV", "HOLA.FMV.fmv"}}) {
        dialogs.clear();
        open(c.typed);
        EXPECT_EQ(chooser.nameText(), c.shown) << c.typed;
        EXPECT_EQ(dialogs.texts(), std::vector<std::string>{kMsgNoExiste}) << c.typed;
        EXPECT_TRUE(chooser.isShown());
    }
}

TEST_F(FileCommandsTest, OpenOfUpperCaseNameIsNotFoundEvenWhenTheListShowsIt) {
    WriteBytes(messages / "HOLA.FMV", "3\r\n0\r\n");
    fileCommands.MenArchAbrir_Click();
    EXPECT_EQ(chooser.entries(), std::vector<std::string>{"HOLA.FMV"});
    chooser.setNameText("HOLA.FMV");
    fileCommands.cmdAccion_Click();
    EXPECT_EQ(chooser.nameText(), "HOLA.FMV.fmv");
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{"El nombre de archivo escrito no existe."});
    EXPECT_TRUE(chooser.isShown());
    EXPECT_FALSE(mainWindow.enabled());
}

TEST_F(FileCommandsTest, AnEmptyNameIsRefusedAndTheFocusGoesBack) {
    fileCommands.MenArchAbrir_Click();
    chooser.clearFocus();
    fileCommands.cmdAccion_Click();
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{"Debe escribir un nombre de archivo."});
    EXPECT_TRUE(chooser.nameFocused());
    EXPECT_TRUE(chooser.isShown());
}

TEST_F(FileCommandsTest, OpenShowsTheChooserInOpenModeWithAnEmptyBox) {
    chooser.setNameText("anterior.fmv");
    fileCommands.MenArchAbrir_Click();
    EXPECT_TRUE(fileCommands.ModoAbrir());
    EXPECT_EQ(chooser.caption(), "Abrir archivo de mensaje");
    EXPECT_EQ(chooser.actionCaption(), "Abrir");
    EXPECT_EQ(chooser.nameText(), "");
    EXPECT_TRUE(chooser.isShown());
    EXPECT_TRUE(chooser.nameFocused());
    EXPECT_FALSE(mainWindow.enabled());
    EXPECT_TRUE(dialogs.shown.empty());  // nothing modified, nothing asked
}

TEST_F(FileCommandsTest, SaveAsShowsTheCurrentNameOrKeepsTheBox) {
    chooser.setNameText("tecleado");
    fileCommands.menArchGuardarComo_Click();
    EXPECT_FALSE(fileCommands.ModoAbrir());
    EXPECT_EQ(chooser.caption(), "Guardar mensaje");
    EXPECT_EQ(chooser.actionCaption(), "Guardar");
    EXPECT_EQ(chooser.nameText(), "tecleado");
    fileCommands.cmdCancelar_Click();
    view.setMessageName("actual.fmv");
    fileCommands.menArchGuardarComo_Click();
    EXPECT_EQ(chooser.nameText(), "actual.fmv");
}

TEST_F(FileCommandsTest, SaveAsWritesAndNamesTheMessage) {
    compose();
    saveAs("nuevo");
    EXPECT_EQ(ReadBytes(path("nuevo.fmv")),
              "3\r\n0\r\n1\r\n\"a.ffv\"\r\n\"Hola\"\r\n\"fin_parrafo\"\r\n24\r\n#FALSE#\r\n1\r\n");
    EXPECT_EQ(view.messageName(), "nuevo.fmv");
    EXPECT_TRUE(view.isEnabled(C::menArchGuardar));
    EXPECT_FALSE(store.MessageModified);
    EXPECT_FALSE(chooser.isShown());
    EXPECT_TRUE(mainWindow.enabled());
    EXPECT_TRUE(mainWindow.focused());
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(FileCommandsTest, SaveAsStoresTheParagraphInTheEditorFirst) {
    compose();
    view.setMessageText(U"aloH");  // edited, not saved
    saveAs("e.fmv");
    EXPECT_EQ(store.paragraph(1).Text, U"aloH");
    EXPECT_NE(ReadBytes(path("e.fmv")).find("\"aloH\""), std::string::npos);
}

TEST_F(FileCommandsTest, OverwriteAnsweredNoKeepsTheChooserAndWritesNothing) {
    WriteBytes(path("hay.fmv"), "viejo");
    compose();
    dialogs.answerNext(false);
    saveAs("hay");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].isQuestion);
    EXPECT_EQ(dialogs.shown[0].text, "El archivo existe, desea sobreescribirlo?");
    EXPECT_EQ(dialogs.shown[0].title, "Sobreescribir?");
    EXPECT_EQ(ReadBytes(path("hay.fmv")), "viejo");
    EXPECT_TRUE(chooser.isShown());
    EXPECT_FALSE(mainWindow.enabled());
    EXPECT_EQ(view.messageName(), "");
    EXPECT_FALSE(view.isEnabled(C::menArchGuardar));
    EXPECT_TRUE(store.MessageModified);
}

TEST_F(FileCommandsTest, OverwriteAnsweredYesWritesAndSetsTheName) {
    WriteBytes(path("hay.fmv"), "viejo");
    compose();
    dialogs.answerNext(true);
    saveAs("hay.fmv");
    EXPECT_EQ(dialogs.shown.size(), 1u);
    EXPECT_NE(ReadBytes(path("hay.fmv")), "viejo");
    EXPECT_EQ(view.messageName(), "hay.fmv");
    EXPECT_FALSE(chooser.isShown());
}

TEST_F(FileCommandsTest, SaveAsThenCancelChangesNothing) {
    compose();
    fileCommands.menArchGuardarComo_Click();
    chooser.setNameText("nada");
    fileCommands.cmdCancelar_Click();
    EXPECT_FALSE(view.isEnabled(C::menArchGuardar));
    EXPECT_TRUE(store.MessageModified);
    EXPECT_FALSE(chooser.isShown());
    EXPECT_TRUE(mainWindow.enabled());
    EXPECT_TRUE(mainWindow.focused());
    EXPECT_FALSE(fs::exists(messages / "nada.fmv"));
    EXPECT_FALSE(fileCommands.ModoAbrir());

    // And with Guardar already enabled and nothing modified.
    saveAs("uno");
    fileCommands.menArchGuardarComo_Click();
    fileCommands.cmdCancelar_Click();
    EXPECT_TRUE(view.isEnabled(C::menArchGuardar));
    EXPECT_FALSE(store.MessageModified);
    EXPECT_EQ(view.messageName(), "uno.fmv");
}

TEST_F(FileCommandsTest, NewAnsweredNoLeavesEverything) {
    compose();
    saveAs("m");
    view.setMessageText(U"cambio");
    ASSERT_TRUE(store.MessageModified);
    dialogs.clear();
    dialogs.answerNext(false);
    fileCommands.menArchNuevo_Click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].isQuestion);
    EXPECT_EQ(dialogs.shown[0].text,
              "Se perderán los cambios hechos al párrafo actual.\r\nDesea continuar?");
    EXPECT_EQ(dialogs.shown[0].title, "Mensaje nuevo");
    EXPECT_TRUE(store.MessageModified);
    EXPECT_TRUE(view.isEnabled(C::menArchGuardar));
    EXPECT_EQ(store.ParagraphCount, 1);
    EXPECT_EQ(view.messageText(), U"cambio");
    EXPECT_EQ(view.messageName(), "m.fmv");
}

TEST_F(FileCommandsTest, NewAnsweredYesClearsTheMessage) {
    compose();
    saveAs("m");
    view.setMessageText(U"cambio");
    dialogs.clear();
    dialogs.answerNext(true);
    fileCommands.menArchNuevo_Click();
    EXPECT_EQ(store.ParagraphCount, 0);
    EXPECT_EQ(view.paragraphItemCount(), 0);
    EXPECT_EQ(view.messageName(), "");
    EXPECT_EQ(view.capacityLabel(), "Capacidad ocupada: 0%");
    EXPECT_FALSE(view.capacityLabelIsRedBold());
    EXPECT_EQ(view.focused(), C::cmdParNuevo);
    EXPECT_FALSE(view.isEnabled(C::menArchGuardar));
    EXPECT_FALSE(store.MessageModified);
}

TEST_F(FileCommandsTest, NewAndOpenAskNothingWhenNothingIsModified) {
    compose();
    store.MessageModified = false;
    fileCommands.MenArchAbrir_Click();
    fileCommands.cmdCancelar_Click();
    fileCommands.menArchNuevo_Click();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(store.ParagraphCount, 0);
}

TEST_F(FileCommandsTest, OpenAnsweredNoDoesNotShowTheChooser) {
    compose();
    dialogs.answerNext(false);
    fileCommands.MenArchAbrir_Click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "Abrir mensaje");
    EXPECT_FALSE(chooser.isShown());
    EXPECT_TRUE(mainWindow.enabled());
}

TEST_F(FileCommandsTest, OpenReadsTheFileNamesTheMessageAndSaveWritesBack) {
    compose();
    saveAs("guardado");
    commands.ClearMessage();
    ASSERT_TRUE(addParagraph(U"otro"));
    store.MessageModified = false;

    open("guardado");
    EXPECT_FALSE(chooser.isShown());
    EXPECT_TRUE(mainWindow.enabled());
    EXPECT_EQ(view.messageName(), "guardado.fmv");
    EXPECT_TRUE(view.isEnabled(C::menArchGuardar));
    EXPECT_FALSE(store.MessageModified);
    ASSERT_EQ(store.ParagraphCount, 1);
    EXPECT_EQ(store.paragraph(1).Text, U"Hola");

    view.setMessageText(U"aloH");
    EXPECT_TRUE(fileCommands.menArchGuardar_Click());
    EXPECT_FALSE(store.MessageModified);
    EXPECT_NE(ReadBytes(path("guardado.fmv")).find("\"aloH\""), std::string::npos);
}

TEST_F(FileCommandsTest, DoubleClickInOpenModeOpensAtOnce) {
    compose();
    saveAs("doble");
    commands.ClearMessage();
    store.MessageModified = false;
    fileCommands.MenArchAbrir_Click();
    fileCommands.filArchivo_Click("doble.fmv");
    EXPECT_EQ(chooser.nameText(), "doble.fmv");
    EXPECT_TRUE(chooser.isShown());
    fileCommands.filArchivo_DblClick("doble.fmv");
    EXPECT_FALSE(chooser.isShown());
    EXPECT_EQ(store.ParagraphCount, 1);
    EXPECT_EQ(view.messageName(), "doble.fmv");
}

TEST_F(FileCommandsTest, OpenOfAnEmptyOrBrokenFileKeepsTheNameMenusAndFlag) {
    compose();
    saveAs("actual");
    const struct {
        const char* name;
        std::string bytes;
        const char* message;
    } cases[] = {
        {"vacio", "", "El archivo está vacío."},
        {"foto", std::string("\xFF\xD8\xFF\xE0\0\x10JFIF", 10),
         "El archivo no es un mensaje completo, línea 1: no es un ancho de espacio (un número)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(path(std::string(c.name) + ".fmv"), c.bytes);
        dialogs.clear();
        view.setMessageText(U"cambio");
        store.MessageModified = false;
        open(c.name);
        EXPECT_EQ(dialogs.texts(), std::vector<std::string>{c.message});
        EXPECT_FALSE(chooser.isShown());
        EXPECT_TRUE(mainWindow.enabled());
        EXPECT_EQ(view.messageName(), "actual.fmv");
        EXPECT_EQ(view.messageText(), U"cambio");
        EXPECT_TRUE(view.isEnabled(C::menArchGuardar));
        EXPECT_FALSE(store.MessageModified);
    }
}

// A replacer that always fails the way a read-only folder does.
class RefusingReplacer : public FileReplacer {
  public:
    FileResult Replace(const std::string&, std::string_view) override {
        ++calls;
        return {false, "Permiso denegado."};
    }
    int calls = 0;
};

class FailingSaveTest : public ::testing::Test {
  protected:
    FailingSaveTest()
        : chooser(m.store.MessageFolder),
          fileCommands(m.store, m.view, m.commands, m.files, chooser, mainWindow, m.dialogs) {}
    RefusingReplacer writer;
    testing::MessageFixture m{&writer};
    PlainChooserView chooser;
    PlainMainWindow mainWindow;
    FileCommands fileCommands;
};

TEST_F(FailingSaveTest, ChooserSaveThatCannotBeWrittenKeepsNameMenusAndFlag) {
    ASSERT_TRUE(m.addParagraph(U"Hola"));
    m.view.setMessageName("previo.fmv");
    m.store.MessageModified = true;
    fileCommands.menArchGuardarComo_Click();
    chooser.setNameText("otro");
    fileCommands.cmdAccion_Click();
    EXPECT_EQ(writer.calls, 1);
    EXPECT_EQ(m.dialogs.texts(),
              std::vector<std::string>{"No se pudo guardar el archivo: Permiso denegado."});
    EXPECT_EQ(m.view.messageName(), "previo.fmv");
    EXPECT_FALSE(m.view.isEnabled(C::menArchGuardar));
    EXPECT_TRUE(m.store.MessageModified);
    EXPECT_TRUE(mainWindow.enabled());
}

TEST_F(FailingSaveTest, MenuSaveThatCannotBeWrittenKeepsTheFlag) {
    ASSERT_TRUE(m.addParagraph(U"Hola"));
    m.view.setMessageName("previo.fmv");
    m.store.MessageModified = true;
    EXPECT_FALSE(fileCommands.menArchGuardar_Click());
    EXPECT_TRUE(m.store.MessageModified);
    EXPECT_EQ(m.dialogs.texts(),
              std::vector<std::string>{"No se pudo guardar el archivo: Permiso denegado."});
}

TEST_F(FileCommandsTest, ConfirmarIsFalseOnlyForNo) {
    dialogs.answerNext(true);
    dialogs.answerNext(false);
    EXPECT_TRUE(fileCommands.Confirmar("¿Seguro?", "Título"));
    EXPECT_FALSE(fileCommands.Confirmar("¿Seguro?", "Título"));
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_TRUE(dialogs.shown[0].isQuestion);
    EXPECT_EQ(dialogs.shown[0].title, "Título");
}

TEST_F(FileCommandsTest, ExisteEnListaLooksAtTheListAsLastRead) {
    WriteBytes(path("uno.fmv"), "x");
    fileCommands.MenArchAbrir_Click();
    WriteBytes(path("dos.fmv"), "x");
    EXPECT_TRUE(fileCommands.ExisteEnLista("uno.fmv"));
    EXPECT_FALSE(fileCommands.ExisteEnLista("dos.fmv"));
    EXPECT_FALSE(fileCommands.ExisteEnLista("UNO.fmv"));
    EXPECT_FALSE(fileCommands.ExisteEnLista("uno"));
}

}  // namespace
}  // namespace letrador
