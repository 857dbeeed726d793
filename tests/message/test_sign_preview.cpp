// The paragraph commands driven as the window drives them, the message total and the capacity
// label; the sign preview's columns, markers and counts, checked against what a recording sends
// over the scripted line, with a small test font.
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

namespace letrador::testing {
namespace {

namespace fs = std::filesystem;
using C = EditorControl;
using Columns = std::vector<std::uint8_t>;
using K = PreviewMarker::Kind;

// «A» (width 4); «G» a dark column inside; «B» all dark; «W» a column that does not fit in a
// byte; «H» a column of 0x80 (bit 7 only); «<» one column; a second «A», never used.
const std::vector<SampleGlyph> kGlyphs = {{"A", {0x7E, 0x09, 0x09, 0x7E}}, {"G", {0x41, 0x00, 0x22}}, {"B", {}},
                                          {"W", {0x01, 300, 0x02}}, {"H", {0x80, 0x7F}}, {"<", {0x10}}, {"A", {0x01}}};

class EditorTest : public ::testing::Test {
protected:
    EditorTest() : view(store), commands(store, view, dialogs, [this] { return joined; }) {
        store.FontFolder = scratch.path().string();
        WriteFont(font, kGlyphs);
        commands.DisableEditing();
    }
    // A new paragraph with `text` in the test font, saved.
    void addSaved(const std::u32string& text, bool ignore = false, const char* separation = "1") {
        commands.cmdParNuevo_Click();
        view.setMessageText(text);
        view.setFontFileText("prueba.ffv");
        view.setIgnoreChecked(ignore);
        view.setSeparationText(separation);
        ASSERT_TRUE(commands.cmdParGuardar_Click());
    }
    // Which of `controls` are enabled, as 1 and 0.
    std::string enabled(std::initializer_list<C> controls) const {
        std::string s;
        for (C c : controls) s += view.isEnabled(c) ? '1' : '0';
        return s;
    }
    SignPreview preview(const std::u32string& text, Int16 separation = 1, Int16 space = 3) const {
        return ComputeSignPreview(text, font, separation, space);
    }

    ScratchFolder scratch;
    std::string font = (scratch.path() / "prueba.ffv").string();
    ParagraphStore store;
    PlainEditorView view;
    platform::ScriptedDialogs dialogs;
    bool joined = false;
    ParagraphCommands commands;
};

// "Nuevo Párrafo" starts an empty record and the editing state; "Guardar párrafo" wants a text,
// then a font, and stores the editor with its count. (The enabled sets of every step are checked
// on the window, in tests/app; here the refused save's.)
TEST_F(EditorTest, NewAndSaveFillTheRecordAndASaveWithoutTextOrFontIsRefused) {
    commands.cmdParNuevo_Click();
    ASSERT_EQ(store.ParagraphCount, 1);
    const ParagraphRecord& r = store.paragraph(1);
    EXPECT_TRUE(r.Number == 1 && r.Text.empty() && r.FontFile.empty() && !r.Ignore && r.Separation == 1 && r.Columns == 0);
    EXPECT_EQ(view.currentParagraphText() + view.separationText(), "11");
    const auto shown = {C::txtMsjMensaje, C::frmMensaje, C::frmArchivos, C::frmSepar, C::frmEfectos, C::chkMsjIgnora,
                        C::cmdParGuardar, C::menGrabParcial, C::cmdParNuevo, C::cboParParrafos, C::menGrabTotal,
                        C::menArchGuardar, C::menArchGuardarComo};
    store.MessageModified = false;
    view.setFocus(C::cmdParNuevo);
    EXPECT_FALSE(commands.cmdParGuardar_Click());
    EXPECT_EQ(view.focused(), C::txtMsjMensaje);
    view.setMessageText(U"A A");
    EXPECT_FALSE(commands.cmdParGuardar_Click());
    EXPECT_EQ(dialogs.texts(), (std::vector<std::string>{"Debe ingresar texto en el mensaje.",
                                                         "Debe seleccionar un archivo de fuente para el mensaje."}));
    EXPECT_TRUE(store.paragraph(1).Text.empty());
    EXPECT_EQ(enabled(shown), "1111111100000");
    view.setFontFileText("prueba.ffv");
    view.setIgnoreChecked(true);
    ASSERT_TRUE(commands.cmdParGuardar_Click());
    EXPECT_EQ(r.Text + FromUtf8(r.FontFile), U"A Aprueba.ffv");
    EXPECT_EQ(std::tuple(r.Columns, store.LastParagraphColumns, r.Ignore), std::tuple(13, 13, true));
    EXPECT_EQ(view.capacityLabel(), "Capacidad ocupada: 0%");  // an ignored paragraph takes no room
    EXPECT_TRUE(store.MessageModified);                        // commands never clear it
    EXPECT_EQ(enabled(shown), "1111111111101");
}

// The separation box is read as a number rounded halves to even. The total counts a separating
// column after each paragraph unless they are joined, never an ignored one, and saturates; the
// total beside the capacity label is the one the next save counts.
TEST_F(EditorTest, SeparationsTotalsAndTheCapacityLabel) {
    const std::pair<const char*, Int16> separations[] = {{"2.5", 2}, {"3.5", 4}, {"7abc", 7}, {"", 0}, {"  5", 5}, {"99999", 32767}};
    for (auto [text, expected] : separations) {
        addSaved(U"A", false, text);
        EXPECT_EQ(store.paragraph(store.ParagraphCount).Separation, expected) << text;
        EXPECT_EQ(store.paragraph(store.ParagraphCount).Columns, Add16(4, expected)) << text;
    }
    commands.ClearMessage();
    EXPECT_EQ(commands.TotalColumns() + TotalWithEditor(store, 0, 55, false, false), 0);
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
        check(-1, U"AWA", "0", true);        // ignored
        check(0, U"A<4>A<4>A", "2", false);  // back on paragraph 1, changed
        check(1, U"<9>G G", "3", true);      // ignoring the one edited takes it out with its separator
        store.SpaceWidth = 5;
        check(0, U"A<4>A<4>A", "2", false);
        store.SpaceWidth = 3;
        EXPECT_EQ(commands.TotalColumns(), j ? 20 : 21);  // paragraph 1 alone: the others are ignored
    }
    store.paragraph(3).Ignore = false;
    const std::tuple<Int16, const char*, bool> labels[] = {  // paragraph 3, joined after 20 columns
        {2025, "Capacidad ocupada: 99%", false}, {2026, "Capacidad ocupada: 100%", false}, {2027, "Capacidad excedida.", true},
        {1003, "Capacidad ocupada: 50%", false}, {0, "Capacidad ocupada: 0%", false}, {32000, "Capacidad excedida.", true}};
    for (const auto& [columns, label, exceeded] : labels) {
        store.paragraph(3).Columns = columns;
        commands.selectParagraph(0);
        ASSERT_TRUE(commands.cmdParGuardar_Click());
        EXPECT_EQ(std::tuple(view.capacityLabel(), view.capacityLabelIsRedBold(), store.CapacityExceeded),
                  std::tuple(std::string(label), exceeded, exceeded)) << columns;
    }
    store.paragraph(1).Columns = 32000;
    EXPECT_EQ(commands.TotalColumns(), 32767);
}

// The fiftieth paragraph is the last: "Nuevo Párrafo" says so and the next save goes into it.
// Selecting loads a record; the ignore box counts only once saved; clearing empties everything.
TEST_F(EditorTest, FiftyParagraphsSelectingAndClearing) {
    for (int i = 0; i < 50; ++i) addSaved(i == 49 ? U"AA" : U"A", i == 0);
    EXPECT_TRUE(dialogs.shown.empty());
    commands.cmdParNuevo_Click();
    ASSERT_EQ(dialogs.texts(), std::vector<std::string>{"Se alcanzó la cantidad máxima de párrafos permitidos (50)"});
    EXPECT_EQ(view.paragraphItemCount() + store.ParagraphCount, 100);
    EXPECT_EQ(view.currentParagraphText() + ToUtf8(view.messageText()), "50");
    EXPECT_TRUE(view.isEnabled(C::cmdParGuardar));
    view.setMessageText(U"A");
    view.setFontFileText("prueba.ffv");
    ASSERT_TRUE(commands.cmdParGuardar_Click());
    EXPECT_EQ(store.paragraph(50).Text + store.paragraph(49).Text, U"AA");
    const std::string label = view.capacityLabel();
    commands.selectParagraph(0);
    EXPECT_EQ(view.messageText(), U"A");
    EXPECT_TRUE(view.ignoreChecked());
    EXPECT_EQ(view.capacityLabel(), label);
    commands.selectParagraph(1);
    EXPECT_FALSE(view.ignoreChecked());
    view.setIgnoreChecked(true);
    EXPECT_FALSE(store.paragraph(2).Ignore);
    const Int16 total = commands.TotalColumns();
    ASSERT_TRUE(commands.cmdParGuardar_Click());
    EXPECT_EQ(commands.TotalColumns(), total - 6);  // with its separating column
    view.setMessageName("hola.fmv");
    view.setSeparationText("4");
    commands.ClearMessage();
    EXPECT_TRUE(view.paragraphItemCount() == 0 && store.ParagraphCount == 0 && store.Paragraphs.empty());
    EXPECT_EQ(view.separationText() + view.messageName() + view.fontFileText() + ToUtf8(view.messageText()), "1");
    EXPECT_FALSE(view.ignoreChecked());
    EXPECT_EQ(enabled({C::cmdParNuevo, C::txtMsjMensaje, C::frmEfectos, C::menGrabTotal, C::menGrabParcial, C::chkMsjIgnora,
                       C::frmArchivos, C::cmdParGuardar, C::frmSepar, C::menArchGuardar, C::menArchGuardarComo}),
              "10000000000");
    commands.cmdParNuevo_Click();
    EXPECT_EQ(view.currentParagraphText(), "1");
}

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

TEST_F(EditorTest, PreviewColumnsOfCharactersSeparationAndSpaces) {
    const std::tuple<std::u32string, Int16, Int16, Columns> cases[] = {  // text, separation, space width, columns
        {U"", 1, 3, {}}, {U"A", 2, 3, {0x7E, 0x09, 0x09, 0x7E, 0x80, 0x80}}, {U"A", 0, 3, {0x7E, 0x09, 0x09, 0x7E}},
        {U"G", 1, 3, {0x41, 0x80, 0x22, 0x80}},  // a gap inside a glyph is a dark column
        {U"  ", 4, 2, {0x80, 0x80, 0x80, 0x80}}, {U"H", 0, 3, {0x80, 0x7F}}, {U"BAB", 0, 3, {0x7E, 0x09, 0x09, 0x7E}},
        {U"<3", 0, 3, {0x10}}, {U"A<", 0, 3, {0x7E, 0x09, 0x09, 0x7E, 0x10}}, {U"<<>", 0, 3, {}},  // half tags
    };
    for (const auto& [text, sep, space, columns] : cases) {
        SCOPED_TRACE(ToUtf8(text));
        const SignPreview p = preview(text, sep, space);
        EXPECT_EQ(p.columns, columns);
        EXPECT_EQ(p.count, ContarColumnas(text, font, sep, space));
    }
    EXPECT_EQ(preview(U"<<>", 0).markers.at(0).code, U'<');
    for (int row = 0; row < 7; ++row) EXPECT_TRUE(DotLit(0x41, row) == (row == 0 || row == 6) && !DotLit(0x80, row)) << row;
    EXPECT_FALSE(DotLit(0xFF, 7) || DotLit(0xFF, -1));
}

TEST_F(EditorTest, MissingAndRefusedCharactersAreMarked) {
    const std::string none = "Sin dibujo en «prueba.ffv»: ", lost = "No se pueden guardar (quedan como ?): ";
    const std::pair<std::u32string, std::string> cases[] = {  // "" when nothing is marked
        {U"B", ""}, {U"C", none + "C"}, {U"\r\n", ""}, {U"<3", none + "3"},
        {U"中→中", none + "中 → · " + lost + "中 →"}};  // characters no message file holds
    for (const auto& [text, line] : cases) {
        SCOPED_TRACE(ToUtf8(text));
        const SignPreview p = preview(text, 0);
        ASSERT_EQ(p.markers.size(), line.empty() ? 0u : text.size() - (text[0] == U'<'));
        for (const PreviewMarker& m : p.markers) EXPECT_EQ(m.kind, K::Missing);
        EXPECT_EQ(MissingLine(p), line);
    }
    // With no font chosen yet only what no file can hold is named.
    EXPECT_EQ(MissingLine(ComputeSignPreview(U"C中", FontData{}, 1, 3)), lost + "中");
    const SignPreview p = preview(U"AWA", 1);
    EXPECT_EQ(p.columns.size(), 10u);
    ASSERT_EQ(p.markers.size(), 1u);
    EXPECT_EQ(std::tuple(p.markers[0].kind, p.markers[0].column, p.markers[0].position), std::tuple(K::Refused, 5u, 1u));
    EXPECT_NE(p.markers[0].toolTip.find("no se graba"), std::string::npos);
    EXPECT_EQ(p.count, ContarColumnas(U"AWA", font, 1, 3));  // the capacity still counts it
}

// Tags are found greedily from the left in characters, as the highlighter and the count find
// them; the preview marks them among the columns with their list text and colour.
TEST_F(EditorTest, TagsAreMarkedAmongTheColumnsWithTheirListTextAndColour) {
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
    const Rgb green{0, 150, 0}, orange{255, 150, 0};
    const Rgb colours[] = {{0, 0, 255}, {0, 200, 200}, green, {255, 0, 0}, green, orange, orange, green, green, {255, 0, 255}, green};
    for (std::size_t i = 0; i < kEffects.size(); ++i) {
        EXPECT_EQ(preview(EffectTag(static_cast<int>(i))).markers.at(0).toolTip, kEffects[i].listText);
        EXPECT_EQ(TagColor(kEffects[i].code), colours[i]) << i;
    }
    EXPECT_EQ(TagColor(U'x'), green);
    EXPECT_EQ(EffectTag(-1) + EffectTag(11) + FromUtf8(EffectListText(U'x')), U"");
    using T = std::vector<std::pair<std::size_t, char32_t>>;  // as the highlighter finds them
    const std::pair<std::u32string, T> cases[] = {{U"<<>>", {{0, U'<'}}}, {U"a<b<4", {}}, {U"😀<😀><A><x>", {{1, U'😀'}, {4, U'A'}, {7, U'x'}}}};
    for (const auto& [text, tags] : cases) {
        T found;
        for (const TagSpan& t : FindTags(text)) found.emplace_back(t.start, t.code);
        EXPECT_EQ(found, tags) << ToUtf8(text);
    }
    EXPECT_EQ(InsertarEfecto(U"<3>", U"Hola", 2) + InsertarEfecto(U"<3>", U"Hola", 4) + InsertarEfecto(U"<3>", U"Hola", 99),
              U"Ho<3>laHola<3>Hola<3>");
}

// A font name that could lead out of the font folder is kept, and is a font that is not there
// for the count, the preview and the recording, even where it would reach a real font file.
TEST_F(EditorTest, AFontNameThatCouldLeadOutOfTheFolderDrawsNothing) {
    store.FontFolder = (scratch.path() / "tipografias").string();
    fs::create_directories(store.FontFolder);
    WriteFont(store.FontFolder + "/a.ffv", kGlyphs);
    WriteFont(store.FontFolder + "/a b.ffv", kGlyphs);
    const std::string names[] = {"../tipografias/a.ffv", std::string("a.ffv\0", 6), "./a.ffv", "a.ffv\x1F", "a.ffv\x7F", "..", ".", ""};
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
    EXPECT_EQ(ContarColumnas(U"A A", store.fontPath("a.ffv"), 1, 3) + ContarColumnas(U"A A", store.fontPath("a b.ffv"), 1, 3), 26);
}

TEST_F(EditorTest, ThePreviewCacheRecomputesOnlyWhenAnInputChanges) {
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

// The preview's count is ContarColumnas' and its columns are the bytes the recording sends, with
// the test font, whose «W» the recording keeps back. (With the shipped fonts the same is checked
// against what cartel-virtual receives, in tests/e2e.)
TEST_F(EditorTest, PreviewColumnsAreTheBytesTheRecordingSends) {
    const std::u32string text = EverythingIn(*LoadFont(font));
    for (Int16 sep : {0, 1, 2, 5}) {
        for (Int16 space : {1, 3, 5}) {
            const std::string what = "separation " + std::to_string(sep) + ", space " + std::to_string(space);
            const auto [sent, clean] = Recorded(text, font, sep, space);
            EXPECT_FALSE(clean) << what;
            const SignPreview p = ComputeSignPreview(text, font, sep, space);
            EXPECT_GT(p.columns.size(), 30u) << what;
            ExpectRecordingShowsThePreview(sent, p, what);
            EXPECT_EQ(p.count, ContarColumnas(text, font, sep, space)) << what;
        }
    }
}

}  // namespace
}  // namespace letrador::testing
