#include "files/message_files.h"

#include <algorithm>
#include <new>

#include "message/codepage.h"
#include "message/numeric.h"

namespace letrador {

std::string NotAMessageText(int line, const std::string& problem) {
    return "El archivo no es un mensaje completo, línea " + std::to_string(line) + ": " + problem +
           ".";
}

std::string LostCharactersText(const std::vector<LostCharacters>& lost) {
    std::string text = std::string(kMsgCaracteresReemplazados) + ":";
    for (const LostCharacters& p : lost) {
        text += "\r\nPárrafo " + std::to_string(p.paragraph) + ":";
        for (char32_t c : p.characters) text += " " + ToUtf8(std::u32string_view(&c, 1));
    }
    return text;
}

namespace {

FileReplacer& WriterOrOwn(FileReplacer* given, std::unique_ptr<FileReplacer>& own) {
    if (given) return *given;
    own = std::make_unique<AtomicFileReplacer>();
    return *own;
}

}  // namespace

MessageFiles::MessageFiles(ParagraphStore& store, EditorView& view, OptionsView& options,
                           ParagraphCommands& commands, platform::Dialogs& dialogs,
                           FileReplacer* writer)
    : store_(store),
      view_(view),
      options_(options),
      commands_(commands),
      dialogs_(dialogs),
      writer_(WriterOrOwn(writer, ownWriter_)) {}

bool MessageFiles::EscribirMensaje(const std::string& ruta) {
    const std::u32string marker = FromUtf8(store_.ParagraphEndMarker);
    const std::size_t count =
        std::min<std::size_t>(static_cast<std::size_t>(std::max(0, view_.paragraphItemCount())),
                              store_.Paragraphs.size());
    const std::vector<ParagraphRecord> paragraphs(store_.Paragraphs.begin(),
                                                  store_.Paragraphs.begin() + count);

    // The reader could not tell such a text from the end of the text, and every later value
    // would be read one line off: refuse the whole save rather than write a file that misreads.
    for (const ParagraphRecord& p : paragraphs) {
        if (CollidesWithEndMarker(p, marker)) {
            dialogs_.information(kMsgTextoEsMarcador);
            return false;
        }
    }

    MessageHeader header;
    header.spaceWidth = NumericValue(options_.spaceWidthText());
    header.joined = options_.joinedChecked();
    const ComposedMessage file = ComposeMessageFile(header, paragraphs, marker);

    const FileResult written = writer_.Replace(ruta, file.bytes);
    if (!written.ok) {
        dialogs_.information(kMsgNoSeGuardo + written.reason);
        return false;
    }
    if (file.lossy) dialogs_.information(LostCharactersText(file.lost));
    store_.MessageModified = false;
    return true;
}

void MessageFiles::ReadGroupIntoEditor(const ReadGroup& group) {
    view_.setFontFileText(group.fontFile);
    view_.setMessageText(group.text);
    view_.setIgnoreChecked(group.ignore);
    view_.setSeparationText(group.separation);
}

bool MessageFiles::LeerMensaje(const std::string& ruta) {
    // The whole file is checked before anything changes: a file that is not a complete message
    // is refused as a whole, so the message being edited and the options stay as they were.
    FileContent content;
    ParsedMessage parsed;
    try {
        content = ReadWholeFile(ruta);
        if (content.result.ok && !content.bytes.empty()) {
            parsed = ParseMessageFile(content.bytes, FromUtf8(store_.ParagraphEndMarker));
        }
    } catch (const std::bad_alloc&) {
        dialogs_.information(std::string(kMsgNoSeAbrio) + "No hay memoria suficiente.");
        return false;
    }
    if (!content.result.ok) {
        dialogs_.information(kMsgNoSeAbrio + content.result.reason);
        return false;
    }
    if (content.bytes.empty()) {
        dialogs_.information(kMsgArchivoVacio);
        return false;
    }
    if (!parsed.complete) {
        dialogs_.information(NotAMessageText(parsed.problemLine, parsed.problem));
        return false;
    }

    commands_.ClearMessage();
    options_.setSpaceWidthText(parsed.spaceWidthText);
    store_.SpaceWidth = WholeValue(options_.spaceWidthText());
    options_.setJoinedChecked(WholeValue(parsed.joinedText) != 0);

    for (const ReadGroup& group : parsed.groups) {
        // After a group that "Guardar párrafo" refused, the window is in the new-paragraph state
        // with "Nuevo Párrafo" disabled: as for an operator, the button is not pressed then, and
        // the group goes into the empty paragraph that the refused one left. So a refused group
        // in the middle of a file leaves no empty paragraph behind; only a refused last group
        // does, as in a file whose newest paragraph was never saved.
        if (view_.isEnabled(EditorControl::cmdParNuevo)) commands_.cmdParNuevo_Click();
        ReadGroupIntoEditor(group);
        commands_.cmdParGuardar_Click();
    }

    if (view_.paragraphItemCount() > 0) commands_.selectParagraph(0);
    store_.MessageModified = false;
    return true;
}

}  // namespace letrador
