// A recording log as a box on screen: read-only, both scroll bars, no wrapping, and after each
// append the view shows the start of the last line, so that every new line is read from its
// beginning. The recording window and "Varios carteles…" each show their logs so.
#pragma once

#include <string_view>

class QPlainTextEdit;

namespace letrador {

// Makes `box` a log box.
void SetUpLogBox(QPlainTextEdit& box);
// Appends `texto` to the box, on a new line when `nuevaLinea`, and scrolls to the last line's
// start.
void AppendToLogBox(QPlainTextEdit& box, std::string_view texto, bool nuevaLinea);

}  // namespace letrador
