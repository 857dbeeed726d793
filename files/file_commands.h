// The "&Mensaje" menu (new, open, save, save as) and the handlers of the chooser frmArchivo.
#pragma once

#include <string>

#include "files/chooser_view.h"
#include "files/message_files.h"
#include "message/editor_view.h"
#include "message/paragraph_commands.h"
#include "message/paragraph_store.h"
#include "platform/dialogs.h"

namespace letrador {

inline constexpr const char* kPreguntaDescartar =
    "Se perderán los cambios hechos al párrafo actual.\r\nDesea continuar?";
inline constexpr const char* kTituloMensajeNuevo = "Mensaje nuevo";
inline constexpr const char* kTituloAbrirMensaje = "Abrir mensaje";
inline constexpr const char* kPreguntaSobreescribir = "El archivo existe, desea sobreescribirlo?";
inline constexpr const char* kTituloSobreescribir = "Sobreescribir?";
inline constexpr const char* kMsgSinNombre = "Debe escribir un nombre de archivo.";
inline constexpr const char* kMsgNoExiste = "El nombre de archivo escrito no existe.";
inline constexpr const char* kCaptionAbrir = "Abrir archivo de mensaje";
inline constexpr const char* kCaptionGuardar = "Guardar mensaje";
inline constexpr const char* kAccionAbrir = "Abrir";
inline constexpr const char* kAccionGuardar = "Guardar";
inline constexpr const char* kLabelNombre = "Nombre del archivo (*.fmv)";
inline constexpr const char* kMessageExtension = ".fmv";

// Yes/No question with no icon; false only when the answer is No.
bool Confirmar(platform::Dialogs& dialogs, const std::string& pregunta, const std::string& titulo);

// `name` as the action button leaves it: unchanged when it has at least 5 characters and ends
// in exactly ".fmv" (letter case significant), otherwise with ".fmv" appended.
std::string WithMessageExtension(const std::string& name);

class FileCommands {
  public:
    FileCommands(ParagraphStore& store, EditorView& view, ParagraphCommands& commands,
                 MessageFiles& files, ChooserView& chooser, MainWindowControl& mainWindow,
                 platform::Dialogs& dialogs);

    // Menu items.
    void menArchNuevo_Click();
    void MenArchAbrir_Click();
    // True when the file was written.
    bool menArchGuardar_Click();
    void menArchGuardarComo_Click();

    // The chooser's controls.
    void cmdAccion_Click();
    void cmdCancelar_Click();
    void filArchivo_Click(const std::string& name);
    void filArchivo_DblClick(const std::string& name);

    bool Confirmar(const std::string& pregunta, const std::string& titulo);
    // True when an entry of filArchivo, as last read, equals `nombre` exactly.
    bool ExisteEnLista(const std::string& nombre) const;

    bool ModoAbrir() const { return modoAbrir_; }
    // MessageFolder joined with a file name.
    std::string MessagePath(const std::string& name) const;

  private:
    ParagraphStore& store_;
    EditorView& view_;
    ParagraphCommands& commands_;
    MessageFiles& files_;
    ChooserView& chooser_;
    MainWindowControl& mainWindow_;
    platform::Dialogs& dialogs_;
    bool modoAbrir_ = false;
};

}  // namespace letrador
