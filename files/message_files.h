// Reading and writing message files (the file side of mdlArchivos) against the live message:
// the writer takes the paragraph store and the options, the reader presses the paragraph
// commands as an operator would.
#pragma once

#include <memory>
#include <string>

#include "files/file_access.h"
#include "files/message_format.h"
#include "message/editor_view.h"
#include "message/paragraph_commands.h"
#include "message/paragraph_store.h"
#include "platform/dialogs.h"
#include "settings/options_view.h"

namespace letrador {

inline constexpr const char* kMsgArchivoVacio = "El archivo está vacío.";
inline constexpr const char* kMsgNoSeGuardo = "No se pudo guardar el archivo: ";
inline constexpr const char* kMsgNoSeAbrio = "No se pudo abrir el archivo: ";
inline constexpr const char* kMsgTextoEsMarcador =
    "El texto fin_parrafo no puede usarse como párrafo completo.";
inline constexpr const char* kMsgCaracteresReemplazados =
    "Algunos caracteres no se pueden guardar y se reemplazaron por ?";

// kMsgCaracteresReemplazados and, on a line of its own, each paragraph with the characters it
// lost: "Párrafo 2: → ☺".
std::string LostCharactersText(const std::vector<LostCharacters>& lost);

// "El archivo no es un mensaje completo, línea N: " and what is wrong there.
std::string NotAMessageText(int line, const std::string& problem);

class MessageFiles {
  public:
    // `writer` replaces files on disk; without one, the temporary-file-and-rename writer is used.
    MessageFiles(ParagraphStore& store, EditorView& view, OptionsView& options,
                 ParagraphCommands& commands, platform::Dialogs& dialogs,
                 FileReplacer* writer = nullptr);

    // Writes the whole message to `ruta`. True when the file now holds it (MessageModified is
    // then false); false when the save was refused or failed, with its message shown, the file
    // that was there untouched and MessageModified as it was.
    bool EscribirMensaje(const std::string& ruta);

    // Rebuilds the message from `ruta`. False, with one message and the current message, its
    // name, the options and MessageModified untouched, for a file that is empty, unreadable or
    // not a complete message; true otherwise.
    bool LeerMensaje(const std::string& ruta);

  private:
    void ReadGroupIntoEditor(const ReadGroup& group);

    ParagraphStore& store_;
    EditorView& view_;
    OptionsView& options_;
    ParagraphCommands& commands_;
    platform::Dialogs& dialogs_;
    std::unique_ptr<FileReplacer> ownWriter_;
    FileReplacer& writer_;
};

}  // namespace letrador
