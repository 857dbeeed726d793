// The fonts the program ships: one built .ffv for every source in data/fonts, sorted.
#pragma once

#include <algorithm>
#include <filesystem>
#include <vector>

namespace letrador::testing {

inline std::vector<std::filesystem::path> ShippedFonts() {
    namespace fs = std::filesystem;
    std::vector<fs::path> fonts;
    for (const auto& e : fs::directory_iterator(fs::path(LETRADOR_SOURCE_DIR) / "data" / "fonts"))
        if (e.path().extension() == ".txt")
            fonts.push_back(fs::path(LETRADOR_BINARY_DIR) / "work" / "tipografias" /
                            (e.path().stem().string() + ".ffv"));
    std::sort(fonts.begin(), fonts.end());
    return fonts;
}

}  // namespace letrador::testing
