// The paragraph commands of the "Párrafos" frame and the store operations they use: the one
// implementation that the window, the message file reader and the recorder all press.
#pragma once

#include <functional>
#include <string>

#include "message/editor_view.h"
#include "message/paragraph_store.h"
#include "platform/dialogs.h"

namespace letrador {

class ParagraphCommands {
public:
    // `parrafosUnidos` reads the "Párrafos unidos" option afresh each time it is asked.
    ParagraphCommands(ParagraphStore& store, EditorView& view, platform::Dialogs& dialogs,
                      std::function<bool()> parrafosUnidos);

    // "Nuevo Párrafo".
    void cmdParNuevo_Click();
    // "Guardar párrafo"; true when both checks passed and the paragraph was stored.
    bool cmdParGuardar_Click();
    // Selection of an item of cboParParrafos: loads that paragraph into the editor.
    void cboParParrafos_Click();
    // Makes item `index` (0-based) current and runs the selection handler, as a click would.
    void selectParagraph(int index);

    // Store-level operations.
    void AppendRecord();
    void StoreEditorIntoRecord();
    void LoadRecordIntoEditor();
    Int16 TotalColumns() const;
    void ClearMessage();
    void DisableEditing();

    // The paragraph named by the list's current text, or 0 when it names none.
    int currentParagraphNumber() const;

    // "Capacidad ocupada: N%" for a total within the capacity.
    static std::string CapacityText(Int16 total, Int16 capacity);

private:
    ParagraphStore& store_;
    EditorView& view_;
    platform::Dialogs& dialogs_;
    std::function<bool()> parrafosUnidos_;
};

inline constexpr const char* kMsgTextoVacio = "Debe ingresar texto en el mensaje.";
inline constexpr const char* kMsgSinFuente = "Debe seleccionar un archivo de fuente para el mensaje.";
inline constexpr const char* kCapacidadExcedida = "Capacidad excedida.";
inline constexpr const char* kCapacidadInicial = "Capacidad ocupada: 0%";

}  // namespace letrador
