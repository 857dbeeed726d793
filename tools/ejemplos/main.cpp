// letrador-ejemplos DESTINO [TIPOGRAFIAS]
// Composes the example messages as an operator would (new paragraph, text, font, separation,
// save paragraph) and writes them with the program's own message file writer into DESTINO.
// TIPOGRAFIAS is the font folder, the built one by default.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "files/message_files.h"
#include "message/codepage.h"
#include "message/effect_tags.h"
#include "message/font_file.h"
#include "message/paragraph_commands.h"
#include "message/plain_editor_view.h"
#include "settings/plain_options_view.h"

namespace {

using namespace letrador;

// Boxes are shown on the terminal: a well-formed example raises none, so any box is an error.
class ConsoleDialogs : public platform::Dialogs {
  public:
    void information(const std::string& text, const std::string&) override {
        std::fprintf(stderr, "letrador-ejemplos: %s\n", text.c_str());
        ++shown;
    }
    bool question(const std::string& text, const std::string&) override {
        std::fprintf(stderr, "letrador-ejemplos: %s\n", text.c_str());
        ++shown;
        return true;
    }
    int shown = 0;
};

struct Paragraph {
    std::string text;  // UTF-8; line breaks as CR LF
    std::string font;
    int separation = 1;
    bool ignore = false;
};

struct Example {
    std::string name;
    std::string spaceWidth;
    bool joined;
    std::vector<Paragraph> paragraphs;
};

std::vector<Example> Examples() {
    return {
        {"bienvenida.fmv",
         "3",
         false,
         {
             {"<4>Bienvenidos<3>", "negrita.ffv", 1, false},
             {"<7>Atención al público<2><0>", "normal.ffv", 1, false},
             {"<5>Pregunte por nuestras ofertas<3><8>", "angosta.ffv", 1, false},
             {"<6>¡Gracias por su visita!<3><A>", "normal.ffv", 2, false},
         }},
        {"horario.fmv",
         "2",
         true,
         {
             {"<4>Horario de atención<2>", "negrita.ffv", 1, false},
             {"<7>Lunes a viernes 8 a 18 hs.\r\nSábados 9 a 13 hs.<3>", "normal.ffv", 1, false},
             {"<1>Domingos y feriados cerrado<3><9>", "angosta.ffv", 0, false},
         }},
    };
}

// Every drawn character of the text must be in the font, or the example would lose it silently.
bool AllDrawn(const std::u32string& text, const std::string& fontPath) {
    std::vector<bool> inTag(text.size(), false);
    for (const TagSpan& t : FindTags(text)) {
        for (std::size_t i = t.start; i < t.start + 3 && i < text.size(); ++i) inTag[i] = true;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (inTag[i] || c == U' ' || c == U'\r' || c == U'\n') continue;
        if (BuscarCaracter(fontPath, c) == 0) {
            std::fprintf(stderr, "letrador-ejemplos: %s no tiene el carácter %s\n",
                         fontPath.c_str(), ToUtf8(std::u32string(1, c)).c_str());
            return false;
        }
    }
    return true;
}

bool Compose(const Example& example, const std::string& fontFolder, const std::string& destino) {
    ParagraphStore store;
    store.FontFolder = fontFolder;
    store.MessageFolder = destino;
    PlainEditorView view(store);
    PlainOptionsView options;
    ConsoleDialogs dialogs;
    ParagraphCommands commands(store, view, dialogs, [&] { return options.joinedChecked(); });
    MessageFiles files(store, view, options, commands, dialogs);

    options.setSpaceWidthText(example.spaceWidth);
    store.SpaceWidth = WholeValue(options.spaceWidthText());
    options.setJoinedChecked(example.joined);
    commands.ClearMessage();
    for (const Paragraph& p : example.paragraphs) {
        if (!AllDrawn(FromUtf8(p.text), store.fontPath(p.font))) return false;
        commands.cmdParNuevo_Click();
        view.setMessageText(FromUtf8(p.text));
        view.setFontFileText(p.font);
        view.setSeparationText(DecimalText(p.separation));
        view.setIgnoreChecked(p.ignore);
        if (!commands.cmdParGuardar_Click()) return false;
        if (store.LastParagraphColumns == 0) {
            std::fprintf(stderr, "letrador-ejemplos: %s mide 0 columnas con %s\n", p.text.c_str(),
                         p.font.c_str());
            return false;
        }
    }
    const std::string path = destino + "/" + example.name;
    if (!files.EscribirMensaje(path) || dialogs.shown > 0) return false;
    std::printf("%s: %d párrafos, %s\n", path.c_str(), static_cast<int>(store.ParagraphCount),
                view.capacityLabel().c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "uso: letrador-ejemplos DESTINO [TIPOGRAFIAS]\n");
        return 2;
    }
    const std::string destino = argv[1];
    const std::string fonts = argc == 3 ? argv[2] : LETRADOR_DEFAULT_FONTS;
    for (const char* font : {"normal.ffv", "negrita.ffv", "angosta.ffv"}) {
        if (!std::filesystem::is_regular_file(std::filesystem::path(fonts) / font)) {
            std::fprintf(stderr, "letrador-ejemplos: falta la tipografía %s/%s\n", fonts.c_str(),
                         font);
            return 1;
        }
    }
    std::error_code ec;
    std::filesystem::create_directories(destino, ec);
    for (const Example& e : Examples()) {
        if (!Compose(e, fonts, destino)) return 1;
    }
    return 0;
}
