// The sign preview: columns, markers and counts, checked against what a recording sends over
// the scripted line for the same paragraph, with a small test font and with every shipped font.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "message/codepage.h"
#include "message/effect_tags.h"
#include "message/paragraph_commands.h"
#include "message/plain_editor_view.h"
#include "message/sign_preview.h"
#include "platform/scripted_dialogs.h"
#include "tests/signlink/sign_rig.h"
#include "tests/support/sample_font.h"
#include "tests/support/shipped_fonts.h"

namespace letrador::testing {
namespace {

namespace fs = std::filesystem;
using Columns = std::vector<std::uint8_t>;
using K = PreviewMarker::Kind;

// «A» (width 4); «G» a dark column inside; «B» all dark; «W» a column that does not fit in a
// byte; «H» a column of 0x80 (bit 7 only); «<» one column; a second «A», never used.
const std::vector<SampleGlyph> kGlyphs = {{"A", {0x7E, 0x09, 0x09, 0x7E}}, {"G", {0x41, 0x00, 0x22}}, {"B", {}},
                                          {"W", {0x01, 300, 0x02}}, {"H", {0x80, 0x7F}}, {"<", {0x10}}, {"A", {0x01}}};

// The bytes a recording of `text` sends after its opening, against a compatible sign, and
// whether it ended clean.
std::pair<Bytes, bool> Recorded(const std::u32string& text, const std::string& font, Int16 separation, Int16 space) {
    SignRig rig;
    EXPECT_TRUE(rig.grabador.AbrirGrabacion("3"));
    const std::size_t opening = rig.link.written.size();
    EXPECT_TRUE(rig.grabador.GrabarParrafo(text, font, separation, space));
    return {rig.writtenAfter(opening), !rig.puerto.ErrorGrabacion};
}

// The recorded bytes with the effect codes taken out where the preview marks them (each must be
// its own code there) must be the preview's columns.
void ExpectRecordingShowsThePreview(const Bytes& sent, const SignPreview& preview, const std::string& what) {
    Columns columns;
    std::size_t at = 0, m = 0;
    for (;;) {
        for (; m < preview.markers.size() && preview.markers[m].column == columns.size(); ++m) {
            if (preview.markers[m].kind != K::Effect) continue;
            const CodigoEfecto code = CodigoDeEfecto(preview.markers[m].code);
            const Bytes want = code.tieneSegundo ? Bytes{code.primero, code.segundo} : Bytes{code.primero};
            ASSERT_EQ(Bytes(sent.begin() + std::min(at, sent.size()), sent.begin() + std::min(at + want.size(), sent.size())),
                      want) << what << ": tag at text position " << preview.markers[m].position;
            at += want.size();
        }
        if (at >= sent.size()) break;
        columns.push_back(sent[at++]);
    }
    EXPECT_EQ(m, preview.markers.size()) << what << ": markers past the last column";
    ASSERT_EQ(columns.size(), preview.columns.size()) << what;
    const auto diff = std::mismatch(columns.begin(), columns.end(), preview.columns.begin());
    EXPECT_TRUE(diff.first == columns.end()) << what << ": column " << diff.first - columns.begin() << " sent "
                                             << int(*diff.first) << ", preview " << int(*diff.second);
}

class SignPreviewTest : public ::testing::Test {
protected:
    void SetUp() override { WriteFont(font, kGlyphs); }
    SignPreview preview(const std::u32string& text, Int16 separation = 1, Int16 space = 3) {
        return ComputeSignPreview(text, font, separation, space);
    }
    ScratchFolder scratch;
    std::string font = (scratch.path() / "prueba.ffv").string();
};

TEST_F(SignPreviewTest, ColumnsOfCharactersSeparationAndSpaces) {
    const struct {
        std::u32string text;
        Int16 sep, space;
        Columns columns;
    } cases[] = {
        {U"", 1, 3, {}}, {U"A", 2, 3, {0x7E, 0x09, 0x09, 0x7E, 0x80, 0x80}}, {U"A", 0, 3, {0x7E, 0x09, 0x09, 0x7E}},
        {U"G", 1, 3, {0x41, 0x80, 0x22, 0x80}},  // a gap inside a glyph is a dark column
        {U"  ", 4, 2, {0x80, 0x80, 0x80, 0x80}}, {U"H", 0, 3, {0x80, 0x7F}}, {U"BAB", 0, 3, {0x7E, 0x09, 0x09, 0x7E}},
        {U"<3", 0, 3, {0x10}}, {U"A<", 0, 3, {0x7E, 0x09, 0x09, 0x7E, 0x10}}, {U"<<>", 0, 3, {}},  // half tags
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.text));
        const SignPreview p = preview(c.text, c.sep, c.space);
        EXPECT_EQ(p.columns, c.columns);
        EXPECT_EQ(p.count, ContarColumnas(c.text, font, c.sep, c.space));
    }
    EXPECT_EQ(preview(U"<<>", 0).markers.at(0).code, U'<');
    for (int row = 0; row < 7; ++row) EXPECT_TRUE(DotLit(0x41, row) == (row == 0 || row == 6) && !DotLit(0x80, row)) << row;
}

TEST_F(SignPreviewTest, MissingAndRefusedCharactersAreMarked) {
    const std::string none = "Sin dibujo en «prueba.ffv»: ", lost = "No se pueden guardar (quedan como ?): ";
    const struct {
        std::u32string text;
        std::string line;  // "" when nothing is marked
    } cases[] = {{U"B", ""}, {U"C", none + "C"}, {U"\r\n", ""}, {U"<3", none + "3"},
                 {U"中→中", none + "中 → · " + lost + "中 →"}};  // characters no message file holds
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.text));
        const SignPreview p = preview(c.text, 0);
        ASSERT_EQ(p.markers.size(), c.line.empty() ? 0u : c.text.size() - (c.text[0] == U'<'));
        for (const PreviewMarker& m : p.markers) EXPECT_EQ(m.kind, K::Missing);
        EXPECT_EQ(MissingLine(p), c.line);
    }
    // With no font chosen yet only what no file can hold is named.
    EXPECT_EQ(MissingLine(ComputeSignPreview(U"C中", FontData{}, 1, 3)), lost + "中");
    const SignPreview p = preview(U"AWA", 1);
    EXPECT_EQ(p.columns.size(), 10u);
    ASSERT_EQ(p.markers.size(), 1u);
    EXPECT_EQ(p.markers[0].kind, K::Refused);
    EXPECT_EQ(p.markers[0].column, 5u);
    EXPECT_EQ(p.markers[0].position, 1u);
    EXPECT_NE(p.markers[0].toolTip.find("no se graba"), std::string::npos);
    EXPECT_EQ(p.count, ContarColumnas(U"AWA", font, 1, 3));  // the capacity still counts it
}

TEST_F(SignPreviewTest, TagsAreMarkersAmongTheColumnsWithTheirListText) {
    const SignPreview p = preview(U"<3>A<9>A<A><x>", 1);
    EXPECT_EQ(p.columns.size(), 10u);
    EXPECT_EQ(p.count, 1 + 5 + 2 + 5 + 1 + 1);  // tags count 1, "<9>" 2
    std::vector<std::tuple<std::size_t, std::size_t, char32_t, std::string>> markers;
    for (const PreviewMarker& m : p.markers) {
        EXPECT_EQ(m.kind, K::Effect);
        markers.emplace_back(m.column, m.position, m.code, m.toolTip);
    }
    EXPECT_EQ(markers, (decltype(markers){{0, 0, U'3', "3 - Pausa larga"}, {5, 4, U'9', "9 - Apagado"},
                                          {10, 8, U'A', "A - Separa Msj."},
                                          {10, 11, U'x', "<x>: no es un efecto (se graba 0)"}}));
    for (std::size_t i = 0; i < kEffects.size(); ++i)
        EXPECT_EQ(preview(EffectTag(static_cast<int>(i))).markers.at(0).toolTip, kEffects[i].listText);
}

// The tags as the highlighter finds them: greedy from the left, counted in characters.
TEST(EffectTags, FoundFromTheLeftAndInsertedAtTheCaret) {
    using T = std::vector<std::pair<std::size_t, char32_t>>;
    const std::pair<std::u32string, T> cases[] = {
        {U"<4>Hola<9>", {{0, U'4'}, {7, U'9'}}}, {U"<<>>", {{0, U'<'}}}, {U"a<b", {}}, {U"<4", {}},
        {U"😀<😀>", {{1, U'😀'}}}, {U"<A><x>", {{0, U'A'}, {3, U'x'}}}, {U"", {}}};
    for (const auto& [text, tags] : cases) {
        T found;
        for (const TagSpan& t : FindTags(text)) found.emplace_back(t.start, t.code);
        EXPECT_EQ(found, tags) << ToUtf8(text);
    }
    EXPECT_EQ(InsertarEfecto(U"<3>", U"Hola", 2), U"Ho<3>la");
    EXPECT_EQ(InsertarEfecto(U"<3>", U"Hola", 99), U"Hola<3>");
    EXPECT_EQ(EffectListText(U'5'), "5 - Sale x der.");
    EXPECT_EQ(EffectListText(U'x'), "");
    EXPECT_EQ(TagColor(U'3'), (Rgb{255, 0, 0}));
}

TEST_F(SignPreviewTest, CountAndColumnsAreWhatTheRecordingCountsAndSends) {
    for (const std::u32string text : {U"A A", U"<4>A<9>G  B C<3", U"<<>A<", U"HOLA\r\nG<A>W", U""})
        for (Int16 sep = 0; sep <= 5; ++sep)
            for (Int16 space = 1; space <= 5; space += 2)
                EXPECT_EQ(preview(text, sep, space).count, ContarColumnas(text, font, sep, space));
    const std::u32string text = U"<3>A G\r\nB<9>W<x>H<A> <<A<";
    for (Int16 sep = 0; sep <= 3; ++sep) {
        const auto [sent, clean] = Recorded(text, font, sep, 2);
        ExpectRecordingShowsThePreview(sent, preview(text, sep, 2), "separation " + std::to_string(sep));
        EXPECT_FALSE(clean);  // «W» was kept back
    }
}

// A font name that could lead out of the font folder is kept, and is a font that is not there
// for the count, the preview and the recording, even where it would reach a real font file.
TEST_F(SignPreviewTest, AFontNameThatCouldLeadOutOfTheFolderDrawsNothing) {
    ParagraphStore store;
    store.FontFolder = (scratch.path() / "tipografias").string();
    fs::create_directories(store.FontFolder);
    WriteFont(store.FontFolder + "/a.ffv", kGlyphs);
    const std::string names[] = {"../tipografias/a.ffv", std::string("a.ffv\0", 6), "./a.ffv", "a.ffv\x1F", "..", ""};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string path = store.fontPath(name);
        const SignPreview p = ComputeSignPreview(U"A A", path, 1, 3);
        EXPECT_EQ(p.columns, Columns(3, kBlankColumn));
        EXPECT_EQ(p.count, 3);
        EXPECT_EQ(ContarColumnas(U"A A", path, 1, 3), 3);
        EXPECT_EQ(MissingLine(p), name.empty() ? "" : "Sin dibujo en «" + name + "»: A");
        EXPECT_EQ(Recorded(U"A A", path, 1, 3).first, Bytes(3, ColumnaVacia));
        EXPECT_NE(CheckFontFile(path).result, FontCheck::Result::Ok);
    }
    EXPECT_EQ(ContarColumnas(U"A A", store.fontPath("a.ffv"), 1, 3), 13);
}

TEST_F(SignPreviewTest, TheCacheRecomputesOnlyWhenAnInputChanges) {
    SignPreviewCache cache;
    const std::string other = (scratch.path() / "otra.ffv").string();
    WriteFont(other, {{"A", {0x01}}});
    EXPECT_TRUE(cache.update(U"A", font, 1, 3));
    EXPECT_FALSE(cache.update(U"A", font, 1, 3));
    EXPECT_TRUE(cache.update(U"AA", font, 1, 3) && cache.preview().count == 10);
    EXPECT_TRUE(cache.update(U"AA", font, 0, 3) && cache.preview().count == 8);
    EXPECT_TRUE(cache.update(U"A A", font, 0, 4) && cache.preview().count == 12);
    EXPECT_TRUE(cache.update(U"A A", other, 0, 4));
    EXPECT_EQ(cache.preview().columns, Columns({0x01, 0x80, 0x80, 0x80, 0x80, 0x01}));
    WriteFont(other, {{"A", {0x01, 0x02}}});  // the same file rewritten is seen
    EXPECT_TRUE(cache.update(U"A A", other, 0, 4) && cache.preview().count == 8);
}

// Every character the font draws, each between others and beside blanks, line breaks, every
// tag, a tag naming no effect, half tags and characters the font lacks.
std::u32string EverythingIn(const FontData& font) {
    const std::u32string chars = font.characters();
    std::u32string text = chars + U" ";
    for (std::size_t i = 0; i < chars.size(); ++i) {
        text += chars[i];
        if (i % 7 == 0) text += U" ";
        if (i % 11 == 0) text += EffectTag(static_cast<int>(i / 11 % kEffects.size()));
        if (i % 13 == 0) text += U"\r\n";
    }
    for (int i = 0; i < static_cast<int>(kEffects.size()); ++i) text += EffectTag(i);
    return text + U"<x><<>中\u0001 <A>HOLA, Señor Muñoz: ¡3 €!<3";
}

TEST(SignPreviewShippedFonts, PreviewColumnsAreTheBytesTheRecordingSends) {
    ASSERT_GE(ShippedFonts().size(), 3u);
    for (const fs::path& path : ShippedFonts()) {
        const std::string font = path.string();
        const auto data = LoadFont(font);
        ASSERT_GT(data->characters().size(), 50u) << path;
        const std::u32string text = EverythingIn(*data);
        for (Int16 sep : {0, 1, 2, 5}) {
            for (Int16 space : {1, 3, 5}) {
                const std::string what = path.filename().string() + ", separation " + std::to_string(sep) +
                                         ", space " + std::to_string(space);
                const auto [sent, clean] = Recorded(text, font, sep, space);
                EXPECT_TRUE(clean) << what;
                const SignPreview p = ComputeSignPreview(text, font, sep, space);
                EXPECT_GT(p.columns.size(), 500u) << what;
                ExpectRecordingShowsThePreview(sent, p, what);
                EXPECT_EQ(p.count, ContarColumnas(text, font, sep, space)) << what;
            }
        }
    }
}

// The message total beside the capacity label is what the next save counts.
TEST_F(SignPreviewTest, TheLiveTotalIsWhatTheNextSaveCounts) {
    ParagraphStore store;
    PlainEditorView view(store);
    platform::ScriptedDialogs dialogs;
    bool joined = false;
    ParagraphCommands commands(store, view, dialogs, [&] { return joined; });
    store.FontFolder = scratch.path().string();
    commands.DisableEditing();
    EXPECT_EQ(TotalWithEditor(store, 0, 55, false, false), 0);
    auto check = [&](int select, const std::u32string& text, const char* separation, bool ignore) {
        if (select < 0) commands.cmdParNuevo_Click(); else commands.selectParagraph(select);
        view.setMessageText(text);
        view.setFontFileText("prueba.ffv");
        view.setSeparationText(separation);
        view.setIgnoreChecked(ignore);
        const Int16 columns = ComputeSignPreview(view.messageText(), store.fontPath(view.fontFileText()),
                                                 WholeValue(view.separationText()), store.SpaceWidth).count;
        const Int16 live = TotalWithEditor(store, commands.currentParagraphNumber(), columns, view.ignoreChecked(), joined);
        ASSERT_TRUE(commands.cmdParGuardar_Click());
        EXPECT_EQ(live, commands.TotalColumns()) << ToUtf8(text);
        EXPECT_EQ(columns, store.LastParagraphColumns) << ToUtf8(text);
    };
    for (bool j : {false, true}) {
        joined = j;
        commands.ClearMessage();
        check(-1, U"AAA A", "1", false);
        check(-1, U"<9>G G", "3", false);
        check(-1, U"AWA", "0", true);          // ignored
        check(0, U"A<4>A<4>A", "2", false);    // back on paragraph 1, changed
        check(1, U"<9>G G", "3", true);        // ignoring the one edited takes it out with its separator
        store.SpaceWidth = 5;
        check(0, U"A<4>A<4>A", "2", false);
        store.SpaceWidth = 3;
    }
}

}  // namespace
}  // namespace letrador::testing
