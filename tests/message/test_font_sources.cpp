// The shipped fonts: their drawn sources compile into the .ffv files the build ships, dump back
// to a source that compiles to the same bytes, and hold every character a Spanish text needs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "message/font_file.h"
#include "tools/fontc/font_source.h"

namespace letrador {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct ShippedFont {
    const char* name;
    int minWidth;  // the width of a capital letter or digit
    int maxWidth;
};

const ShippedFont kFonts[] = {{"normal", 5, 5}, {"negrita", 6, 7}, {"angosta", 3, 4}};

fs::path SourceOf(const char* name) {
    return fs::path(LETRADOR_SOURCE_DIR) / "data" / "fonts" / (std::string(name) + ".txt");
}
fs::path BuiltOf(const char* name) {
    return fs::path(LETRADOR_BINARY_DIR) / "work" / "tipografias" / (std::string(name) + ".ffv");
}

TEST(FontSources, CompileDumpCompileGivesTheShippedBytes) {
    for (const auto& font : kFonts) {
        SCOPED_TRACE(font.name);
        const auto compiled = fontc::CompileFontSource(ReadAll(SourceOf(font.name)));
        ASSERT_TRUE(compiled.ok) << "línea " << compiled.line << ": " << compiled.error;
        ASSERT_EQ(compiled.bytes.size() % kFontRecordSize, 0u);
        EXPECT_EQ(compiled.bytes, ReadAll(BuiltOf(font.name)));

        const std::string dumped = fontc::DumpFontFile(compiled.bytes);
        const auto again = fontc::CompileFontSource(dumped);
        ASSERT_TRUE(again.ok) << "línea " << again.line << ": " << again.error;
        EXPECT_EQ(again.bytes, compiled.bytes);
        // The dumped form is a fixed point: dumping its own compilation gives it back.
        EXPECT_EQ(fontc::DumpFontFile(again.bytes), dumped);
    }
}

TEST(FontSources, EverySpanishCharacterIsDrawnWithinSevenDots) {
    std::u32string needed;
    for (char32_t c = 0x21; c <= 0x7E; ++c) needed += c;
    needed += U"¡¿º ª°€ÁÉÍÓÚÜÑáéíóúüñ";
    std::erase(needed, U' ');
    for (const auto& font : kFonts) {
        SCOPED_TRACE(font.name);
        const std::string path = BuiltOf(font.name).string();
        const auto data = LoadFont(path);
        ASSERT_FALSE(data->records.empty());
        for (char32_t c : needed) {
            const Int16 n = data->find(c);
            ASSERT_GT(n, 0) << "falta U+" << std::hex << static_cast<unsigned>(c);
            const RegistroCaracter& r = data->records[n - 1];
            EXPECT_GT(GlyphWidth(r), 0) << "vacío U+" << std::hex << static_cast<unsigned>(c);
            for (Int16 column : r.Columna) {
                EXPECT_GE(column, 0);
                EXPECT_LT(column, 0x80) << "más de 7 puntos en U+" << std::hex
                                        << static_cast<unsigned>(c);
            }
        }
        for (char32_t c : std::u32string(U"AHMN08")) {
            const int width = GlyphWidth(data->records[data->find(c) - 1]);
            EXPECT_GE(width, font.minWidth) << static_cast<char>(c);
            EXPECT_LE(width, font.maxWidth) << static_cast<char>(c);
        }
    }
}

}  // namespace
}  // namespace letrador
