// The main window's LED preview against what cartel-virtual receives: for every shipped font, the
// columns the preview draws are, column for column, the bytes the recording put on the wire.
#include <string_view>

#include "message/sign_preview.h"
#include "tests/e2e/e2e_bench.h"
#include "tests/support/shipped_fonts.h"

namespace letrador::testing {
namespace {

TEST(E2ePreview, PreviewColumnsAreWhatTheVirtualSignReceivedForEveryShippedFont) {
    // Every printable ASCII character, the Spanish letters and signs, blanks and effect tags
    // ("<1>" left out: on the wire it is the separator's byte).
    std::u32string text = U"<4>";
    for (char32_t c = 0x21; c <= 0x7E; ++c) text += c;
    text += U"<2> ¡Hola! ¿Qué tal? Señor Muñoz: 3 € 20° 1º 2ª ÁÉÍÓÚÜÑ áéíóúüñ<0>  fin<9><A><3>";
    const auto fonts = ShippedFonts();
    ASSERT_GE(fonts.size(), 3u);
    for (const auto& font : fonts) {
        for (Int16 separation : {0, 2}) {
            SCOPED_TRACE(font.filename().string() + ", separación " + std::to_string(separation));
            E2eBench bench;
            ASSERT_TRUE(bench.startSign());
            ASSERT_EQ(bench.record(WholeMessage{{{text, font.string(), separation, false}}, true, 4}),
                      Verdict::Clean);
            const auto rec = bench.sign.stop();
            ASSERT_TRUE(rec.decoded) << rec.listing;
            ASSERT_EQ(rec.decoded->recordings.size(), 1u);
            ASSERT_EQ(rec.decoded->recordings[0].paragraphs.size(), 1u);
            Bytes received;
            std::string effects;
            for (const auto& item : rec.decoded->recordings[0].paragraphs[0].items) {
                if (item.isColumn()) received.push_back(item.byte);
                else effects += item.effect;
            }
            const SignPreview preview = ComputeSignPreview(text, font.string(), separation, 4);
            EXPECT_GT(preview.columns.size(), 400u);
            EXPECT_EQ(received, preview.columns);
            std::string marked;
            for (const auto& m : preview.markers) {
                if (m.kind != PreviewMarker::Kind::Effect) continue;
                // A tag of any other character goes out as the code 00, read back as "?".
                const char c = static_cast<char>(m.code);
                marked += std::string_view("0123456789A").find(c) == std::string_view::npos ? '?' : c;
            }
            EXPECT_EQ(effects, marked);
            EXPECT_EQ(effects, "4?209A3");  // "<=>" among the ASCII characters is a tag too
        }
    }
}

}  // namespace
}  // namespace letrador::testing
