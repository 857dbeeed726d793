// Font files with records the editor does not show as plain characters.
#pragma once

#include <string>
#include <vector>

#include "tests/support/sample_font.h"

namespace letrador::testing {

struct OddFont {
    std::string name;
    std::string bytes;
    int shown;  // characters the editor lists (-1: not checked)
    int odd;    // records kept as they are
};

inline std::vector<OddFont> OddFonts() {
    auto rec = [](const SampleGlyph& g) { return FontRecordBytes(g); };
    std::string unusedByte = rec({"U", {0x11}});
    unusedByte[23] = '\x5A';  // the byte a one-byte key leaves unused, not 0
    const std::string longKey = std::string("\x03\x00", 2) + std::string(22, '\x33');  // 3-byte key
    return {{"dos_bytes.ffv", rec({"A", {0x7E}}) + rec({"AB", {0x01, 0x02}}), 1, 1},
            {"clave_vacia.ffv", rec({"", {0x05}}) + rec({"B", {0x7F}}), 1, 1},
            {"repetido.ffv", rec({"A", {0x7E}}) + rec({"A", {0x01}}) + rec({"a", {0x02}}), 2, 1},
            {"resto.ffv", rec({"A", {0x7E}}) + std::string("\x01\x00\x41", 3), 1, 1},
            {"resto_dibuja.ffv", rec({"A", {0x7E}}) + std::string("\x01\x00Z\x7F", 4), 2, 0},
            {"sin_uso.ffv", unusedByte + rec({"\x80", {-1, 300}}), 2, 0},
            {"clave_larga.ffv", rec({"A", {0x7E}}) + longKey, 1, 1}};
}

}  // namespace letrador::testing
