#include "message/paragraph_commands.h"

#include <cmath>

#include "message/font_file.h"

namespace letrador {

using C = EditorControl;

ParagraphCommands::ParagraphCommands(ParagraphStore& store, EditorView& view,
                                     platform::Dialogs& dialogs,
                                     std::function<bool()> parrafosUnidos)
    : store_(store), view_(view), dialogs_(dialogs), parrafosUnidos_(std::move(parrafosUnidos)) {}

int ParagraphCommands::currentParagraphNumber() const {
    int k = WholeValue(view_.currentParagraphText());
    return store_.hasParagraph(k) ? k : 0;
}

void ParagraphCommands::AppendRecord() {
    int n = view_.paragraphItemCount();
    store_.Paragraphs.resize(static_cast<std::size_t>(n) + 1);
    view_.addParagraphItem(DecimalText(n + 1));
    view_.setCurrentParagraphIndex(n);
    ParagraphRecord& r = store_.paragraph(n + 1);
    r = ParagraphRecord{};
    r.Number = Saturate16(n + 1);
    r.Separation = store_.DefaultSeparation;
    store_.ParagraphCount = Saturate16(view_.paragraphItemCount());
}

void ParagraphCommands::StoreEditorIntoRecord() {
    int k = currentParagraphNumber();
    // The list only ever names existing paragraphs; a number naming none never reaches the store.
    if (k == 0) return;
    ParagraphRecord& r = store_.paragraph(k);
    r.Number = Saturate16(k);
    r.FontFile = view_.fontFileText();
    r.Text = view_.messageText();
    r.Ignore = view_.ignoreChecked();
    r.Columns = store_.LastParagraphColumns;
    r.Separation = WholeValue(view_.separationText());
}

void ParagraphCommands::LoadRecordIntoEditor() {
    int k = currentParagraphNumber();
    if (k == 0) return;
    const ParagraphRecord r = store_.paragraph(k);  // a copy: the setters below may re-enter
    view_.setMessageText(r.Text);
    view_.setFontFileText(r.FontFile);
    view_.setSeparationText(DecimalText(r.Separation));
    view_.setIgnoreChecked(r.Ignore);
}

Int16 ParagraphCommands::TotalColumns() const {
    Int16 total = 0;
    const int count = store_.ParagraphCount;
    for (int k = 1; k <= count && store_.hasParagraph(k); ++k) {
        const ParagraphRecord& r = store_.paragraph(k);
        if (r.Ignore) continue;
        total = Add16(total, r.Columns);
        if (!parrafosUnidos_()) total = Add16(total, 1);
    }
    return total;
}

void ParagraphCommands::DisableEditing() {
    for (C c : {C::txtMsjMensaje, C::frmEfectos, C::menGrabTotal, C::menGrabParcial,
                C::chkMsjIgnora, C::frmArchivos, C::cmdParGuardar, C::frmSepar,
                C::menArchGuardar, C::menArchGuardarComo}) {
        view_.setEnabled(c, false);
    }
}

void ParagraphCommands::ClearMessage() {
    store_.Paragraphs.clear();
    store_.ParagraphCount = 0;
    while (view_.paragraphItemCount() > 0) view_.removeFirstParagraphItem();
    view_.setMessageName("");
    view_.setMessageText(U"");
    view_.setFontFileText("");
    view_.setSeparationText(DecimalText(store_.DefaultSeparation));
    view_.setIgnoreChecked(false);
    DisableEditing();
    view_.setEnabled(C::cmdParNuevo, true);
}

void ParagraphCommands::cboParParrafos_Click() { LoadRecordIntoEditor(); }

void ParagraphCommands::selectParagraph(int index) {
    view_.setCurrentParagraphIndex(index);
    cboParParrafos_Click();
}

void ParagraphCommands::cmdParNuevo_Click() {
    view_.setMessageText(U"");
    view_.setFontFileText("");
    view_.setIgnoreChecked(false);

    view_.setEnabled(C::cboParParrafos, false);
    view_.setEnabled(C::txtMsjMensaje, true);
    view_.setEnabled(C::cmdParNuevo, false);
    view_.setEnabled(C::cmdParGuardar, true);
    view_.setEnabled(C::menGrabTotal, false);
    view_.setEnabled(C::menGrabParcial, true);
    view_.setEnabled(C::chkMsjIgnora, true);
    view_.setEnabled(C::frmEfectos, true);
    view_.setEnabled(C::frmSepar, true);

    if (view_.paragraphItemCount() == store_.MaxParagraphs) {
        dialogs_.information("Se alcanzó la cantidad máxima de párrafos permitidos (" +
                             DecimalText(store_.MaxParagraphs) + ")");
        return;
    }

    AppendRecord();
    cboParParrafos_Click();
    view_.setEnabled(C::frmMensaje, true);
    view_.setEnabled(C::frmArchivos, true);
    view_.setFocus(C::txtMsjMensaje);
}

std::string ParagraphCommands::CapacityText(Int16 total, Int16 capacity) {
    double percent = static_cast<double>(total) / static_cast<double>(capacity) * 100.0;
    return "Capacidad ocupada: " + DecimalText(static_cast<long long>(std::floor(percent))) + "%";
}

bool ParagraphCommands::cmdParGuardar_Click() {
    if (view_.messageText().empty()) {
        dialogs_.information(kMsgTextoVacio);
        view_.setFocus(C::txtMsjMensaje);
        return false;
    }
    if (view_.fontFileText().empty()) {
        dialogs_.information(kMsgSinFuente);
        return false;
    }
    view_.setEnabled(C::menArchGuardarComo, true);

    store_.LastParagraphColumns =
        ContarColumnas(view_.messageText(), store_.fontPath(view_.fontFileText()),
                       WholeValue(view_.separationText()), store_.SpaceWidth);
    StoreEditorIntoRecord();

    Int16 total = TotalColumns();
    if (total > store_.SignCapacity) {
        view_.setCapacityLabel(kCapacidadExcedida, true);
        store_.CapacityExceeded = true;
    } else {
        view_.setCapacityLabel(CapacityText(total, store_.SignCapacity), false);
        store_.CapacityExceeded = false;
    }

    view_.setEnabled(C::cmdParNuevo, true);
    view_.setEnabled(C::cboParParrafos, true);
    view_.setEnabled(C::menGrabTotal, true);
    return true;
}

}  // namespace letrador
