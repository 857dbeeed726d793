// The sign preview: columns, markers and counts, checked against what a recording sends over
// the scripted line for the same paragraph, with a small test font and with every shipped font.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
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

// «A» 7E 09 09 7E (width 4); «G» 41 00 22 (a dark column inside); «B» all dark; «W» a column
// that does not fit in a byte; «H» a column of 0x80 (bit 7 only); «<» one column.
std::vector<SampleGlyph> TestGlyphs() {
    return {
        {"A", {0x7E, 0x09, 0x09, 0x7E}},
        {"G", {0x41, 0x00, 0x22}},
        {"B", {}},
        {"W", {0x01, 300, 0x02}},
        {"H", {0x80, 0x7F}},
        {"<", {0x10}},
        {"A", {0x01}},  // a second «A»: never used
    };
}

// The bytes a recording of `text` sends after its opening, against a compatible sign.
Bytes RecordedParagraph(const std::u32string& text, const std::string& font, Int16 separation,
                        Int16 spaceWidth, bool* clean = nullptr) {
    SignRig rig;
    EXPECT_TRUE(rig.grabador.AbrirGrabacion("3"));
    const std::size_t opening = rig.link.written.size();
    EXPECT_TRUE(rig.grabador.GrabarParrafo(text, font, separation, spaceWidth));
    Bytes sent = rig.writtenAfter(opening);
    if (clean) *clean = !rig.puerto.ErrorGrabacion;
    return sent;
}

// The recorded bytes with the effect codes taken out at the places the preview marks; every
// marked effect must find its own code there.
Columns ColumnsOfRecording(const Bytes& sent, const SignPreview& preview) {
    Columns columns;
    std::size_t at = 0;
    std::size_t m = 0;
    for (;;) {
        while (m < preview.markers.size() && preview.markers[m].column == columns.size()) {
            const PreviewMarker& marker = preview.markers[m++];
            if (marker.kind != PreviewMarker::Kind::Effect) continue;
            const CodigoEfecto code = CodigoDeEfecto(marker.code);
            EXPECT_LT(at, sent.size()) << "no bytes left for the tag at " << marker.position;
            if (at >= sent.size()) return columns;
            EXPECT_EQ(sent[at++], code.primero) << "tag at text position " << marker.position;
            if (code.tieneSegundo) {
                EXPECT_LT(at, sent.size());
                if (at >= sent.size()) return columns;
                EXPECT_EQ(sent[at++], code.segundo) << "tag at text position " << marker.position;
            }
        }
        if (at >= sent.size()) break;
        columns.push_back(sent[at++]);
    }
    EXPECT_EQ(m, preview.markers.size()) << "markers past the last column";
    return columns;
}

// Column for column, naming the first columns that differ.
void ExpectSameColumns(const Columns& recorded, const Columns& preview, const std::string& what) {
    EXPECT_EQ(recorded.size(), preview.size()) << what;
    int shown = 0;
    for (std::size_t i = 0; i < std::min(recorded.size(), preview.size()) && shown < 5; ++i) {
        if (recorded[i] != preview[i]) {
            ADD_FAILURE() << what << ": column " << i << " sent " << int(recorded[i])
                          << ", preview " << int(preview[i]);
            ++shown;
        }
    }
}

class SignPreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        font = (scratch.path() / "prueba.ffv").string();
        WriteFont(font, TestGlyphs());
    }
    SignPreview preview(const std::u32string& text, Int16 separation = 1, Int16 space = 3) {
        return ComputeSignPreview(text, font, separation, space);
    }
    ScratchFolder scratch;
    std::string font;
};

TEST_F(SignPreviewTest, EmptyTextShowsNothing) {
    SignPreview p = preview(U"");
    EXPECT_TRUE(p.columns.empty());
    EXPECT_TRUE(p.markers.empty());
    EXPECT_EQ(p.count, 0);
}

TEST_F(SignPreviewTest, GlyphColumnsThenSeparationAsDarkColumns) {
    EXPECT_EQ(preview(U"A", 2).columns, Columns({0x7E, 0x09, 0x09, 0x7E, 0x80, 0x80}));
    EXPECT_EQ(preview(U"A", 0).columns, Columns({0x7E, 0x09, 0x09, 0x7E}));
    EXPECT_EQ(preview(U"AA", 1).count, 10);
}

TEST_F(SignPreviewTest, AGapInsideAGlyphIsADarkColumn) {
    const SignPreview p = preview(U"G", 1);
    EXPECT_EQ(p.columns, Columns({0x41, 0x80, 0x22, 0x80}));
    for (int row = 0; row < 7; ++row) EXPECT_FALSE(DotLit(p.columns[1], row));
    EXPECT_TRUE(DotLit(p.columns[0], 0));
    EXPECT_TRUE(DotLit(p.columns[0], 6));
    EXPECT_FALSE(DotLit(p.columns[0], 1));
}

TEST_F(SignPreviewTest, SpacesAreSpaceWidthDarkColumnsWithoutSeparation) {
    const SignPreview p = preview(U"  ", 4, 2);
    EXPECT_EQ(p.columns, Columns({0x80, 0x80, 0x80, 0x80}));
    EXPECT_EQ(p.count, 4);
    EXPECT_EQ(preview(U"A A", 1, 3).count, 13);
}

TEST_F(SignPreviewTest, MissingAndDarkCharactersAreLeftOutAndOnlyMissingOnesMarked) {
    struct Case {
        std::u32string text;
        bool marked;  // the font has no record for it
    };
    for (const Case& c : {Case{U"B", false}, Case{U"C", true}, Case{U"\r\n", false},
                          Case{U"中", true}}) {
        SCOPED_TRACE(ToUtf8(c.text));
        const SignPreview p = preview(c.text);
        EXPECT_TRUE(p.columns.empty());
        EXPECT_EQ(p.count, 0);
        ASSERT_EQ(p.markers.size(), c.marked ? 1u : 0u);
        if (c.marked) {
            EXPECT_EQ(p.markers[0].kind, PreviewMarker::Kind::Missing);
            EXPECT_EQ(MissingLine(p), "Sin dibujo en «prueba.ffv»: " + ToUtf8(c.text));
        }
    }
    EXPECT_EQ(preview(U"BAB", 1).columns, preview(U"A", 1).columns);
}

TEST_F(SignPreviewTest, TheFirstRecordOfACharacterIsTheOneShown) {
    EXPECT_EQ(preview(U"A", 0).columns.size(), 4u);
}

TEST_F(SignPreviewTest, AColumnOfBit7OnlyGoesOutAsItselfAndShowsDark) {
    const SignPreview p = preview(U"H", 0);
    EXPECT_EQ(p.columns, Columns({0x80, 0x7F}));
    for (int row = 0; row < 7; ++row) {
        EXPECT_FALSE(DotLit(p.columns[0], row));
        EXPECT_TRUE(DotLit(p.columns[1], row));
    }
}

TEST_F(SignPreviewTest, TagsAreMarkersAmongTheColumnsWithTheirListText) {
    const SignPreview p = preview(U"<3>A<9>A<A><x>", 1);
    EXPECT_EQ(p.columns.size(), 10u);
    ASSERT_EQ(p.markers.size(), 4u);
    EXPECT_EQ(p.markers[0].column, 0u);
    EXPECT_EQ(p.markers[0].position, 0u);
    EXPECT_EQ(p.markers[0].code, U'3');
    EXPECT_EQ(p.markers[0].toolTip, "3 - Pausa larga");
    EXPECT_EQ(p.markers[1].column, 5u);
    EXPECT_EQ(p.markers[1].position, 4u);
    EXPECT_EQ(p.markers[1].toolTip, "9 - Apagado");
    EXPECT_EQ(p.markers[2].column, 10u);
    EXPECT_EQ(p.markers[2].toolTip, "A - Separa Msj.");
    EXPECT_EQ(p.markers[3].column, 10u);
    EXPECT_EQ(p.markers[3].toolTip, "<x>: no es un efecto (se graba 0)");
    for (const PreviewMarker& m : p.markers) EXPECT_EQ(m.kind, PreviewMarker::Kind::Effect);
    // Tags count 1, "<9>" 2, as the capacity counts them.
    EXPECT_EQ(p.count, 1 + 5 + 2 + 5 + 1 + 1);
}

TEST_F(SignPreviewTest, EveryEffectHasItsListTextAsToolTip) {
    for (int i = 0; i < static_cast<int>(kEffects.size()); ++i) {
        const SignPreview p = preview(EffectTag(i));
        ASSERT_EQ(p.markers.size(), 1u);
        EXPECT_EQ(p.markers[0].toolTip, kEffects[static_cast<std::size_t>(i)].listText);
    }
}

TEST_F(SignPreviewTest, HalfTagsAreOrdinaryCharacters) {
    // "<" has one column in this font; "<3" at the end and "A<" form no tag.
    EXPECT_EQ(preview(U"<3", 0).columns, Columns({0x10}));
    ASSERT_EQ(preview(U"<3", 0).markers.size(), 1u);  // the font has no "3"
    EXPECT_EQ(preview(U"<3", 0).markers[0].kind, PreviewMarker::Kind::Missing);
    EXPECT_EQ(preview(U"A<", 0).columns, Columns({0x7E, 0x09, 0x09, 0x7E, 0x10}));
    // "<<>" is a tag whose middle character is "<".
    const SignPreview p = preview(U"<<>", 0);
    EXPECT_TRUE(p.columns.empty());
    ASSERT_EQ(p.markers.size(), 1u);
    EXPECT_EQ(p.markers[0].code, U'<');
}

TEST_F(SignPreviewTest, AGlyphTheRecordingRefusesIsMarkedAndNotShown) {
    const SignPreview p = preview(U"AWA", 1);
    EXPECT_EQ(p.columns.size(), 10u);
    ASSERT_EQ(p.markers.size(), 1u);
    EXPECT_EQ(p.markers[0].kind, PreviewMarker::Kind::Refused);
    EXPECT_EQ(p.markers[0].column, 5u);
    EXPECT_EQ(p.markers[0].position, 1u);
    EXPECT_NE(p.markers[0].toolTip.find("no se graba"), std::string::npos);
    // The capacity still counts it, as ContarColumnas does.
    EXPECT_EQ(p.count, ContarColumnas(U"AWA", font, 1, 3));
}

TEST_F(SignPreviewTest, CountEqualsContarColumns) {
    for (const std::u32string& text :
         {std::u32string(U"A A"), std::u32string(U"<4>A<9>G  B C<3"), std::u32string(U"<<>A<"),
          std::u32string(U"HOLA\r\nG<A>W"), std::u32string(U"")}) {
        for (Int16 sep = 0; sep <= 5; ++sep) {
            for (Int16 space = 1; space <= 5; space += 2) {
                EXPECT_EQ(preview(text, sep, space).count, ContarColumnas(text, font, sep, space));
            }
        }
    }
}

TEST_F(SignPreviewTest, TheSmallFontPreviewIsWhatTheRecordingSends) {
    const std::u32string text = U"<3>A G\r\nB<9>W<x>H<A> <<A<";
    for (Int16 sep = 0; sep <= 3; ++sep) {
        bool clean = true;
        const Bytes sent = RecordedParagraph(text, font, sep, 2, &clean);
        const SignPreview p = preview(text, sep, 2);
        ExpectSameColumns(ColumnsOfRecording(sent, p), p.columns, "separation " + std::to_string(sep));
        EXPECT_FALSE(clean);  // «W» was kept back
    }
}

TEST_F(SignPreviewTest, TheCacheRecomputesOnlyWhenAnInputChanges) {
    SignPreviewCache cache;
    EXPECT_TRUE(cache.update(U"A", font, 1, 3));
    EXPECT_EQ(cache.preview().count, 5);
    EXPECT_FALSE(cache.update(U"A", font, 1, 3));
    EXPECT_TRUE(cache.update(U"AA", font, 1, 3));
    EXPECT_EQ(cache.preview().count, 10);
    EXPECT_TRUE(cache.update(U"AA", font, 0, 3));
    EXPECT_EQ(cache.preview().count, 8);
    EXPECT_TRUE(cache.update(U"A A", font, 0, 4));
    EXPECT_EQ(cache.preview().count, 12);
    // Another font file, and the same file rewritten, are seen.
    const std::string other = (scratch.path() / "otra.ffv").string();
    WriteFont(other, {{"A", {0x01}}});
    EXPECT_TRUE(cache.update(U"A A", other, 0, 4));
    EXPECT_EQ(cache.preview().columns, Columns({0x01, 0x80, 0x80, 0x80, 0x80, 0x01}));
    WriteFont(other, {{"A", {0x01, 0x02}}});
    EXPECT_TRUE(cache.update(U"A A", other, 0, 4));
    EXPECT_EQ(cache.preview().count, 8);
}

// --- The shipped fonts ---

// Every character the font draws, each between others and beside blanks, line breaks, every
// tag, a tag naming no effect, half tags and characters the font lacks.
std::u32string EverythingIn(const FontData& font) {
    std::u32string chars;
    for (const RegistroCaracter& r : font.records) {
        if (r.keyLength == 1 && r.Caracter.size() == 1)
            chars += DecodeCp1252(static_cast<unsigned char>(r.Caracter[0]));
    }
    std::u32string text = chars;
    text += U" ";
    for (std::size_t i = 0; i < chars.size(); ++i) {
        text += chars[i];
        if (i % 7 == 0) text += U" ";
        if (i % 11 == 0) text += EffectTag(static_cast<int>(i / 11 % kEffects.size()));
        if (i % 13 == 0) text += U"\r\n";
    }
    for (int i = 0; i < static_cast<int>(kEffects.size()); ++i) text += EffectTag(i);
    text += U"<x><<>中\u0001 <A>HOLA, Señor Muñoz: ¡3 €!<3";
    return text;
}

TEST(SignPreviewShippedFonts, AllShippedFontsAreBuilt) {
    const auto fonts = ShippedFonts();
    EXPECT_GE(fonts.size(), 3u);
    for (const fs::path& f : fonts) {
        EXPECT_TRUE(fs::exists(f)) << f;
        EXPECT_GT(LoadFont(f.string())->records.size(), 50u) << f;
    }
}

TEST(SignPreviewShippedFonts, PreviewColumnsAreTheBytesTheRecordingSends) {
    for (const fs::path& path : ShippedFonts()) {
        const std::string font = path.string();
        const std::u32string text = EverythingIn(*LoadFont(font));
        for (Int16 sep : {0, 1, 2, 5}) {
            for (Int16 space : {1, 3, 5}) {
                const std::string what = path.filename().string() + ", separation " +
                                         std::to_string(sep) + ", space " + std::to_string(space);
                bool clean = false;
                const Bytes sent = RecordedParagraph(text, font, sep, space, &clean);
                EXPECT_TRUE(clean) << what;
                const SignPreview p = ComputeSignPreview(text, font, sep, space);
                EXPECT_GT(p.columns.size(), 500u) << what;
                ExpectSameColumns(ColumnsOfRecording(sent, p), p.columns, what);
                EXPECT_EQ(p.count, ContarColumnas(text, font, sep, space)) << what;
            }
        }
    }
}

TEST(SignPreviewShippedFonts, EachCharacterAloneIsWhatEnviarCaracterSends) {
    for (const fs::path& path : ShippedFonts()) {
        const std::string font = path.string();
        const auto data = LoadFont(font);
        for (const RegistroCaracter& r : data->records) {
            if (r.keyLength != 1 || r.Caracter.size() != 1) continue;
            const char32_t c = DecodeCp1252(static_cast<unsigned char>(r.Caracter[0]));
            if (c == U' ') continue;  // a blank in a paragraph is never looked up in the font
            SignRig rig;
            rig.link.setPort(3);
            ASSERT_TRUE(rig.link.open(nullptr));
            ASSERT_TRUE(rig.grabador.EnviarCaracter(c, font, 2));
            const SignPreview p = ComputeSignPreview(std::u32string(1, c), font, 2, 3);
            EXPECT_EQ(rig.link.written, p.columns)
                << path.filename() << " «" << ToUtf8(std::u32string(1, c)) << "»";
        }
    }
}

// --- The message total beside the capacity label ---

class PreviewTotalTest : public ::testing::Test {
protected:
    PreviewTotalTest() : view(store), commands(store, view, dialogs, [this] { return joined; }) {
        store.FontFolder = scratch.path().string();
        WriteFont(scratch.path() / "a.ffv", TestGlyphs());
        commands.DisableEditing();
    }
    void edit(const std::u32string& text, Int16 separation = 1, bool ignore = false) {
        view.setMessageText(text);
        view.setFontFileText("a.ffv");
        view.setSeparationText(std::to_string(separation));
        view.setIgnoreChecked(ignore);
    }
    // What the preview shows for the editor, then what a save gives.
    void expectTotalMatchesSave() {
        const Int16 columns =
            ComputeSignPreview(view.messageText(), store.fontPath(view.fontFileText()),
                               WholeValue(view.separationText()), store.SpaceWidth)
                .count;
        const Int16 live = TotalWithEditor(store, commands.currentParagraphNumber(), columns,
                                           view.ignoreChecked(), joined);
        ASSERT_TRUE(commands.cmdParGuardar_Click());
        EXPECT_EQ(live, commands.TotalColumns());
        EXPECT_EQ(columns, store.LastParagraphColumns);
    }
    ScratchFolder scratch;
    ParagraphStore store;
    PlainEditorView view;
    platform::ScriptedDialogs dialogs;
    bool joined = false;
    ParagraphCommands commands;
};

TEST_F(PreviewTotalTest, NoParagraphGivesTheStoreTotal) {
    EXPECT_EQ(TotalWithEditor(store, 0, 55, false, false), 0);
}

TEST_F(PreviewTotalTest, TheLiveTotalIsWhatTheNextSaveCounts) {
    for (bool j : {false, true}) {
        joined = j;
        commands.ClearMessage();
        commands.cmdParNuevo_Click();
        edit(U"AAA A");
        expectTotalMatchesSave();
        commands.cmdParNuevo_Click();
        edit(U"<9>G G", 3);
        expectTotalMatchesSave();
        commands.cmdParNuevo_Click();
        edit(U"AWA", 0, true);  // ignored
        expectTotalMatchesSave();
        // Back on paragraph 1, changed but not saved yet.
        commands.selectParagraph(0);
        edit(U"A<4>A<4>A", 2);
        expectTotalMatchesSave();
        // Ignoring the paragraph being edited takes it out, separating column included.
        commands.selectParagraph(1);
        edit(U"<9>G G", 3, true);
        expectTotalMatchesSave();
        store.SpaceWidth = 5;
        commands.selectParagraph(0);
        expectTotalMatchesSave();
        store.SpaceWidth = 3;
    }
}

TEST_F(PreviewTotalTest, OtherParagraphsCountWithTheirStoredColumns) {
    commands.cmdParNuevo_Click();
    edit(U"A");
    ASSERT_TRUE(commands.cmdParGuardar_Click());
    commands.cmdParNuevo_Click();
    edit(U"AA");
    ASSERT_TRUE(commands.cmdParGuardar_Click());
    store.paragraph(1).Columns = 100;  // as saved with another space width, say
    EXPECT_EQ(TotalWithEditor(store, 2, 7, false, false), 101 + 8);
    EXPECT_EQ(TotalWithEditor(store, 2, 7, false, true), 107);
    EXPECT_EQ(TotalWithEditor(store, 2, 7, true, false), 101);
    EXPECT_EQ(TotalWithEditor(store, 1, 7, false, true), 7 + 10);
}

}  // namespace
}  // namespace letrador::testing
