// Small font files for tests, written record by record, and a scratch folder.
#pragma once

#include <stdlib.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace letrador::testing {

struct SampleGlyph {
    std::string key;  // raw key bytes (Windows-1252)
    std::array<std::int16_t, 10> columns{};
};

// 24 bytes: key length (u16 LE), key, ten s16 LE columns; whatever passes byte 24 is cut.
inline std::string FontRecordBytes(const SampleGlyph& g) {
    std::string rec = {static_cast<char>(g.key.size() & 0xFF), static_cast<char>(g.key.size() >> 8)};
    rec += g.key;
    for (std::int16_t v : g.columns) {
        const auto u = static_cast<std::uint16_t>(v);
        rec += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
    }
    rec.resize(24, '\0');
    return rec;
}
inline void WriteFont(const std::filesystem::path& path, const std::vector<SampleGlyph>& glyphs) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const auto& g : glyphs) out << FontRecordBytes(g);
}
// «A» = 7E 09 09 7E (width 4), «B» all dark.
inline std::vector<SampleGlyph> SampleAB() { return {{"A", {0x7E, 0x09, 0x09, 0x7E}}, {"B", {}}}; }

// A scratch folder, removed with the object whatever its permissions.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string templ = (std::filesystem::temp_directory_path() / "letrador-XXXXXX").string();
        if (::mkdtemp(templ.data())) path_ = templ;
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace letrador::testing
