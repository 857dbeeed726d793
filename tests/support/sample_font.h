// Writes small font files for tests, record by record.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <stdlib.h>

namespace letrador::testing {

struct SampleGlyph {
    std::string key;  // raw key bytes (Windows-1252)
    std::array<std::int16_t, 10> columns{};
};

inline std::string FontRecordBytes(const SampleGlyph& g) {
    std::string rec(24, '\0');
    rec[0] = static_cast<char>(g.key.size() & 0xFF);
    rec[1] = static_cast<char>((g.key.size() >> 8) & 0xFF);
    std::size_t at = 2;
    for (char c : g.key) {
        if (at < rec.size()) rec[at] = c;
        ++at;
    }
    for (std::int16_t v : g.columns) {
        auto u = static_cast<std::uint16_t>(v);
        if (at < rec.size()) rec[at] = static_cast<char>(u & 0xFF);
        if (at + 1 < rec.size()) rec[at + 1] = static_cast<char>(u >> 8);
        at += 2;
    }
    return rec;
}

inline void WriteFont(const std::filesystem::path& path, const std::vector<SampleGlyph>& glyphs) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const auto& g : glyphs) out << FontRecordBytes(g);
}

// «A» = 7E 09 09 7E (width 4), «B» all dark.
inline std::vector<SampleGlyph> SampleAB() {
    return {{"A", {0x7E, 0x09, 0x09, 0x7E}}, {"B", {}}};
}

// A scratch folder removed with the object.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string templ = (std::filesystem::temp_directory_path() / "letrador-XXXXXX").string();
        path_ = ::mkdtemp(templ.data()) ? std::filesystem::path(templ) : std::filesystem::path();
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace letrador::testing
