// What the two recording commands do once their refusals are past: open, send, close.
// Shared by the main window's menu commands and the command-line recorder.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "message/editor_view.h"
#include "message/numeric.h"
#include "message/paragraph_commands.h"
#include "message/paragraph_store.h"
#include "platform/dialogs.h"
#include "signlink/grabacion.h"

namespace letrador {

struct ParrafoAGrabar {
    std::u32string Text;
    std::string fontPath;  // full path: the font folder and the paragraph's font file
    Int16 Separation = 1;
    bool Ignore = false;
};

struct OpcionesGrabacion {
    std::string textoPuerto;  // the chosen entry of the port list, "3"
    bool joined = false;      // "Párrafos unidos" ticked: no separator between paragraphs
    Int16 spaceWidth = 3;
};

// The whole message, from the opening on: "Grabando párrafo p de n..." for every paragraph not
// ignored (numbered among all of them), " OK." after each clean one, the separator after each
// one when not joined. Stops at the first paragraph that times out. The closing's result.
bool RecordWholeMessage(Grabador& grabador, const std::vector<ParrafoAGrabar>& parrafos,
                        const OpcionesGrabacion& opciones);

// The first steps of "&Total": presses "Guardar párrafo" and refuses a message over the capacity
// with its message box. The paragraphs of the list to record, or nothing when it was refused.
std::optional<std::vector<ParrafoAGrabar>> PrepararMensajeTotal(ParagraphCommands& commands,
                                                                 const ParagraphStore& store,
                                                                 const EditorView& view,
                                                                 platform::Dialogs& dialogs);

// "&Total" from its first step: presses "Guardar párrafo", refuses a message over the capacity
// with its message box, and otherwise records the paragraphs of the list on port `textoPuerto`.
// False when it was refused and nothing was sent.
bool GrabarMensajeTotal(ParagraphCommands& commands, const ParagraphStore& store,
                        const EditorView& view, platform::Dialogs& dialogs, Grabador& grabador,
                        const std::string& textoPuerto, bool joined);

// The paragraph being edited, from the opening on: only `seleccion` when it is not empty
// ("Grabando selección: ..." and no OK mark), else the whole `texto` ("Grabando párrafo
// actual..." and "OK" when clean). The closing's result.
bool RecordCurrentParagraph(Grabador& grabador, std::u32string_view texto,
                            std::u32string_view seleccion, const std::string& fontPath,
                            Int16 separacion, const OpcionesGrabacion& opciones);

// Asks "Grabación de turnero"; true on Yes.
bool ConfirmarTurnero(platform::Dialogs& dialogs);

// "Turnero 1" to "Turnero 3": asks "Grabación de turnero" and, on Yes, records the turn display
// in `estilo` on port `textoPuerto`. False when the operator answered No and nothing was sent.
bool GrabarTurneroConfirmado(platform::Dialogs& dialogs, Grabador& grabador, int estilo,
                             std::string_view textoPuerto);

}  // namespace letrador
