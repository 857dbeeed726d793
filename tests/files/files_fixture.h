// The files room's rig: a message edited without a window, over a scratch work folder holding
// the font a.ffv (in which «Hola» counts 24 columns at separation 1) and an empty message folder.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "files/message_files.h"
#include "message/paragraph_commands.h"
#include "message/plain_editor_view.h"
#include "platform/scripted_dialogs.h"
#include "settings/plain_options_view.h"
#include "tests/support/sample_font.h"

namespace letrador::testing {

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
// A new file each time: a file cut to nothing and written again is flushed to the disk on close.
inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
    std::ofstream(path, std::ios::binary) << bytes;
}
inline std::string Lines(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\r\n";
    return s;
}
// The file of one paragraph `text` in a.ffv, as the program writes it with the default options.
inline std::string Sample(const std::string& text = "Hola") {
    return Lines({"3", "0", "1", "\"a.ffv\"", "\"" + text + "\"", "\"fin_parrafo\"", "24", "#FALSE#", "1"});
}

// Keeps what a save would write instead of writing it, for tests that save thousands of times.
// A base listed before MessageFixture, so that it exists before the fixture uses it.
struct InMemorySaves : FileReplacer {
    FileResult Replace(const std::string&, std::string_view bytes) override {
        saved = std::string(bytes);
        return {};
    }
    std::string saved;
};

class MessageFixture {
  public:
    explicit MessageFixture(FileReplacer* writer = nullptr)
        : view(store), commands(store, view, dialogs, [this] { return options.joinedChecked(); }),
          files(store, view, options, commands, dialogs, writer) {
        std::filesystem::create_directories(fonts);
        std::filesystem::create_directories(messages);
        store.FontFolder = fonts.string();
        store.MessageFolder = messages.string();
        // H 6, o 5, l 4, a 5 columns wide.
        WriteFont(fonts / "a.ffv", {{"H", {0x7F, 0x08, 0x08, 0x08, 0x08, 0x7F}}, {"o", {0x38, 0x44, 0x44, 0x44, 0x38}},
                                    {"l", {0x01, 0x7F, 0x40, 0x40}}, {"a", {0x20, 0x54, 0x54, 0x54, 0x78}}});
        commands.DisableEditing();
    }
    // A new paragraph as the operator makes it: "Nuevo Párrafo", the boxes, "Guardar párrafo".
    bool addParagraph(const std::u32string& text, const std::string& font = "a.ffv", bool ignore = false,
                      const std::string& separation = "1") {
        commands.cmdParNuevo_Click();
        view.setMessageText(text);
        view.setFontFileText(font);
        view.setIgnoreChecked(ignore);
        view.setSeparationText(separation);
        return commands.cmdParGuardar_Click();
    }
    std::string path(const std::string& name) const { return (messages / name).string(); }

    ScratchFolder scratch;
    std::filesystem::path fonts = scratch.path() / "tipografias", messages = scratch.path() / "mensajes";
    ParagraphStore store;
    PlainEditorView view;
    platform::ScriptedDialogs dialogs;
    PlainOptionsView options;
    ParagraphCommands commands;
    MessageFiles files;
};

}  // namespace letrador::testing
