// The recording commands in two halves. The first half runs where the operator is, before
// anything is sent: "Guardar párrafo", the refusals with their message boxes and the turn-display
// question; it makes what the job records. The second half runs on each sign's own thread, from
// the opening to the closing. Shared by the windows, letrador-cli and the service.
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
#include "signlink/recording_job.h"

namespace letrador {

struct OpcionesGrabacion {
    std::string textoPuerto;  // the chosen entry of the port list, "3"
    bool joined = false;      // "Párrafos unidos" ticked: no separator between paragraphs
    Int16 spaceWidth = 3;
};

// ---- Before the job: on the operator's side ----

// The first steps of "&Total": presses "Guardar párrafo" and refuses a message over the capacity
// with its message box. The message to record, or nothing when it was refused.
std::optional<WholeMessage> PrepararMensajeTotal(ParagraphCommands& commands,
                                                 const ParagraphStore& store,
                                                 const EditorView& view,
                                                 platform::Dialogs& dialogs, bool joined);

// The refusals of "&Parcial" (no text, no font, a text over the capacity even when only a
// selection is recorded), each with its message box. The text to record, or nothing.
std::optional<CurrentParagraph> PrepararParrafoActual(const ParagraphStore& store,
                                                      EditorView& view,
                                                      platform::Dialogs& dialogs);

// Asks "Grabación de turnero"; true on Yes.
bool ConfirmarTurnero(platform::Dialogs& dialogs);

// ---- The job on each sign: from the opening on ----

// The whole message: "Grabando párrafo p de n..." for every paragraph not ignored (numbered
// among all of them), " OK." after each clean one, the separator after each one when not
// joined. Stops at the first paragraph that times out. The closing's result.
bool RecordWholeMessage(Grabador& grabador, const std::vector<ParrafoAGrabar>& parrafos,
                        const OpcionesGrabacion& opciones);

// The paragraph being edited: only `seleccion` when it is not empty ("Grabando selección: ..."
// and no OK mark), else the whole `texto` ("Grabando párrafo actual..." and "OK" when clean).
// The closing's result.
bool RecordCurrentParagraph(Grabador& grabador, std::u32string_view texto,
                            std::u32string_view seleccion, const std::string& fontPath,
                            Int16 separacion, const OpcionesGrabacion& opciones);

}  // namespace letrador
