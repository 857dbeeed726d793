// Names that come from a page or a hand-written file, checked as the file chooser takes a name:
// a plain file name of its folder, never a path.
#pragma once

#include <string_view>

namespace letrador::service {

// A file name of mensajes/ ending in ".fmv", or of tipografias/ ending in ".ffv": no folder
// part ("/" or "\"), no "..", no leading dot, no control characters, at most 120 bytes.
bool ValidMessageName(std::string_view name);
bool ValidFontName(std::string_view name);

}  // namespace letrador::service
