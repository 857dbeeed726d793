// Text sources of font files: one drawn block per character record (format in FORMAT.md).
#pragma once

#include <string>
#include <string_view>

namespace letrador::fontc {

struct CompileResult {
    bool ok = false;
    std::string bytes;  // the .ffv contents when ok
    int line = 0;       // 1-based line of the first error
    std::string error;  // Spanish description of the first error
};

// Turns a UTF-8 font source into the bytes of a .ffv file.
CompileResult CompileFontSource(std::string_view source);

// Writes the source form of any .ffv contents; compiling it gives back the same bytes.
std::string DumpFontFile(std::string_view bytes);

}  // namespace letrador::fontc
