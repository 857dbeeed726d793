#include "signlink/log_box.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

namespace letrador {

void SetUpLogBox(QPlainTextEdit& box) {
    box.setReadOnly(true);
    box.setLineWrapMode(QPlainTextEdit::NoWrap);
    box.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void AppendToLogBox(QPlainTextEdit& box, std::string_view texto, bool nuevaLinea) {
    // Appending at the end keeps a long log cheap.
    QTextCursor cursor = box.textCursor();
    cursor.movePosition(QTextCursor::End);
    if (nuevaLinea) cursor.insertBlock();
    cursor.insertText(QString::fromUtf8(texto.data(), static_cast<qsizetype>(texto.size())));
    box.setTextCursor(cursor);
    box.ensureCursorVisible();
    // The caret stands at the end of a long line; the view goes back to where the line starts.
    box.horizontalScrollBar()->setValue(box.horizontalScrollBar()->minimum());
}

}  // namespace letrador
