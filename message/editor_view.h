// The main window's editing controls as the paragraph commands see them. The Qt window
// implements it over its widgets; PlainEditorView holds the same state without a window.
#pragma once

#include <string>

namespace letrador {

// The controls whose enabled state the editing commands switch.
enum class EditorControl {
    txtMsjMensaje,
    frmMensaje,
    frmArchivos,
    frmSepar,
    frmEfectos,
    chkMsjIgnora,
    cmdParGuardar,
    cmdParNuevo,
    cboParParrafos,
    menGrabTotal,
    menGrabParcial,
    menArchGuardar,
    menArchGuardarComo,
};

class EditorView {
public:
    virtual ~EditorView() = default;

    // Paragraph text of txtMsjMensaje, line breaks as CR LF. Setting it runs the change
    // handling of the box (highlighting, MessageModified) as an operator's edit would.
    virtual std::u32string messageText() const = 0;
    virtual void setMessageText(const std::u32string& text) = 0;
    // The selected part of txtMsjMensaje ("" when nothing is selected).
    virtual std::u32string selectedMessageText() const = 0;

    virtual std::string fontFileText() const = 0;  // txtMsjArchivo
    virtual void setFontFileText(const std::string& text) = 0;
    virtual std::string separationText() const = 0;  // txtMsjSeparSepar
    virtual void setSeparationText(const std::string& text) = 0;
    virtual bool ignoreChecked() const = 0;  // chkMsjIgnora
    virtual void setIgnoreChecked(bool checked) = 0;
    virtual std::string messageName() const = 0;  // txtNomMensaje
    virtual void setMessageName(const std::string& text) = 0;

    // cboParParrafos: items "1".."n"; the current text names the paragraph being edited.
    virtual int paragraphItemCount() const = 0;
    virtual void addParagraphItem(const std::string& text) = 0;
    virtual void removeFirstParagraphItem() = 0;
    // Makes item `index` (0-based) current without running the selection handler.
    virtual void setCurrentParagraphIndex(int index) = 0;
    virtual std::string currentParagraphText() const = 0;

    // lblMsjCapacidad: black plain text, or bold red when the capacity is exceeded.
    virtual void setCapacityLabel(const std::string& text, bool exceeded) = 0;
    virtual std::string capacityLabel() const = 0;

    virtual void setEnabled(EditorControl control, bool enabled) = 0;
    virtual bool isEnabled(EditorControl control) const = 0;
    virtual void setFocus(EditorControl control) = 0;
};

}  // namespace letrador
