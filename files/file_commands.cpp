#include "files/file_commands.h"

#include "message/codepage.h"

namespace letrador {

using C = EditorControl;

bool Confirmar(platform::Dialogs& dialogs, const std::string& pregunta, const std::string& titulo) {
    return dialogs.question(pregunta, titulo);
}

std::string WithMessageExtension(const std::string& name) {
    // Characters, not bytes: a name such as "ñ.fmv" has five.
    const std::u32string chars = FromUtf8(name);
    const std::u32string ext = U".fmv";
    if (chars.size() >= 5 && chars.compare(chars.size() - ext.size(), ext.size(), ext) == 0) {
        return name;
    }
    return name + kMessageExtension;
}

FileCommands::FileCommands(ParagraphStore& store, EditorView& view, ParagraphCommands& commands,
                           MessageFiles& files, ChooserView& chooser, MainWindowControl& mainWindow,
                           platform::Dialogs& dialogs)
    : store_(store),
      view_(view),
      commands_(commands),
      files_(files),
      chooser_(chooser),
      mainWindow_(mainWindow),
      dialogs_(dialogs) {}

bool FileCommands::Confirmar(const std::string& pregunta, const std::string& titulo) {
    return letrador::Confirmar(dialogs_, pregunta, titulo);
}

bool FileCommands::ExisteEnLista(const std::string& nombre) const {
    for (const std::string& entry : chooser_.entries()) {
        if (entry == nombre) return true;
    }
    return false;
}

std::string FileCommands::MessagePath(const std::string& name) const {
    return store_.MessageFolder + "/" + name;
}

void FileCommands::menArchNuevo_Click() {
    if (store_.MessageModified && !Confirmar(kPreguntaDescartar, kTituloMensajeNuevo)) return;
    commands_.ClearMessage();
    view_.setCapacityLabel(kCapacidadInicial, false);
    view_.setFocus(C::cmdParNuevo);
    view_.setEnabled(C::menArchGuardar, false);
    store_.MessageModified = false;
}

void FileCommands::MenArchAbrir_Click() {
    if (store_.MessageModified && !Confirmar(kPreguntaDescartar, kTituloAbrirMensaje)) return;
    modoAbrir_ = true;
    chooser_.setCaption(kCaptionAbrir);
    chooser_.setActionCaption(kAccionAbrir);
    chooser_.setNameText("");
    chooser_.showChooser();
    mainWindow_.setMainWindowEnabled(false);
    chooser_.refreshList();
    chooser_.focusName();
}

bool FileCommands::menArchGuardar_Click() {
    const std::string path = MessagePath(view_.messageName());
    // Stores the paragraph in the editor first; when it refuses, with its own message, the file
    // is still written from the store.
    commands_.cmdParGuardar_Click();
    // A failed write leaves MessageModified as it was, with the reason shown.
    return files_.EscribirMensaje(path);
}

void FileCommands::menArchGuardarComo_Click() {
    modoAbrir_ = false;
    chooser_.setCaption(kCaptionGuardar);
    chooser_.setActionCaption(kAccionGuardar);
    chooser_.showChooser();
    mainWindow_.setMainWindowEnabled(false);
    if (!view_.messageName().empty()) chooser_.setNameText(view_.messageName());
    chooser_.refreshList();
    chooser_.focusName();
}

void FileCommands::cmdAccion_Click() {
    if (chooser_.nameText().empty()) {
        dialogs_.information(kMsgSinNombre);
        chooser_.focusName();
        return;
    }
    // The operator sees the extension added in the box itself.
    const std::string name = WithMessageExtension(chooser_.nameText());
    if (name != chooser_.nameText()) chooser_.setNameText(name);
    const std::string path = MessagePath(chooser_.nameText());

    if (!modoAbrir_) {
        if (ExisteEnLista(chooser_.nameText()) &&
            !Confirmar(kPreguntaSobreescribir, kTituloSobreescribir)) {
            return;
        }
        commands_.cmdParGuardar_Click();
        cmdCancelar_Click();
        // A save that could not be written has shown why; the name and the menus stay.
        if (!files_.EscribirMensaje(path)) return;
    } else {
        if (!ExisteEnLista(chooser_.nameText())) {
            dialogs_.information(kMsgNoExiste);
            return;
        }
        cmdCancelar_Click();
        if (!files_.LeerMensaje(path)) return;
    }

    view_.setEnabled(C::menArchGuardar, true);
    store_.MessageModified = false;
    view_.setMessageName(chooser_.nameText());
}

void FileCommands::cmdCancelar_Click() {
    mainWindow_.setMainWindowEnabled(true);
    mainWindow_.focusMainWindow();
    chooser_.hideChooser();
}

void FileCommands::filArchivo_Click(const std::string& name) {
    chooser_.setNameText(name);
}

void FileCommands::filArchivo_DblClick(const std::string& name) {
    chooser_.setNameText(name);
    cmdAccion_Click();
}

}  // namespace letrador
