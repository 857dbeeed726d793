// The font editor window over the real main window, the glyphs drawn from DejaVu Sans, and how
// the LED preview shows characters a font lacks.
#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <filesystem>
#include <map>

#include "app/frm_fuentes.h"
#include "app/glyph_raster.h"
#include "app/led_preview.h"
#include "message/codepage.h"
#include "message/glyph_cut.h"
#include "message/sign_preview.h"
#include "tests/app/app_rig.h"
#include "tests/files/files_fixture.h"
#include "tests/support/odd_fonts.h"
#include "tests/support/shipped_fonts.h"

namespace letrador::testing {
namespace {

namespace fs = std::filesystem;

class FontEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rig.load());
        rig.action("menEditorFuentes")->trigger();
        ASSERT_NE(editor = rig.window->fuentes(), nullptr);
    }
    template <typename W>
    W* get(const char* name) const { return editor->findChild<W*>(QString::fromUtf8(name)); }
    void click(const char* button) { get<QPushButton>(button)->click(); }
    fs::path folder() const { return rig.scratch.path() / "tipografias"; }
    AppRig rig;
    frmFuentes* editor = nullptr;
};

TEST_F(FontEditorTest, DrawnCharactersAreSavedAndReadBackByTheFontCode) {
    EXPECT_TRUE(editor->isVisible() && !rig.window->isEnabled());
    click("cmdFuenteNueva");
    struct Drawn {
        QString ch;
        std::vector<std::pair<int, int>> clicks;  // column, row; a second click darkens
        GlyphDots dots;
        int width;
    };
    const std::vector<Drawn> drawn = {
        {QStringLiteral("€"), {{0, 3}, {2, 6}, {1, 0}}, {0x08, 0x01, 0x40}, 3},
        {QStringLiteral("i"), {{1, 2}, {1, 4}, {1, 5}, {1, 6}, {1, 2}, {1, 0}}, {0, 0x71}, 2},
        {QStringLiteral("Z"), {}, {}, 0},
        {QStringLiteral("q"), {{9, 0}}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01}, 10},
    };
    auto* grid = get<DotGrid>("grdFuentePuntos");
    for (const Drawn& d : drawn) {
        get<QLineEdit>("txtFuenteCaracter")->setText(d.ch);
        click("cmdFuenteAgregar");
        for (auto [c, r] : d.clicks) QTest::mouseClick(grid, Qt::LeftButton, {}, grid->cellCentre(c, r));
        EXPECT_EQ(get<QLabel>("lblFuenteAncho")->text(), QStringLiteral("Ancho: %1").arg(d.width));
        // The grid shows lit exactly the dots drawn.
        const QImage shown = grid->grab().toImage();
        for (std::size_t c = 0; c < d.dots.size(); ++c)
            for (int r = 0; r < kSignRows; ++r)
                EXPECT_EQ(shown.pixelColor(grid->cellCentre(int(c), r)) == QColor(0xff, 0x30, 0x20),
                          ((d.dots[c] >> r) & 1) != 0) << c << "," << r;
    }
    // A character already there is refused with its reason, and nothing is added.
    get<QLineEdit>("txtFuenteCaracter")->setText(QStringLiteral("i"));
    click("cmdFuenteAgregar");
    EXPECT_EQ(rig.dialogs.texts(), std::vector<std::string>{AddRefusal(FontModel::AddResult::AlreadyThere, U'i')});
    // The sample line is the font as it stands, at the chosen separation.
    get<QSpinBox>("spnFuenteSepar")->setValue(2);
    get<QLineEdit>("txtFuenteMuestra")->setText(QStringLiteral("i€ i"));
    EXPECT_EQ(get<LedStrip>("ledFuenteMuestra")->columns(),
              ComputeSignPreview(U"i€ i", editor->model().data(), 2, rig.store.SpaceWidth).columns);
    get<QLineEdit>("txtFuenteNombre")->setText(QStringLiteral("nueva"));
    click("cmdFuenteGuardar");
    const std::string path = (folder() / "nueva.ffv").string();
    const auto font = LoadFont(path);
    ASSERT_EQ(font->recordCount(), drawn.size());
    for (std::size_t k = 0; k < drawn.size(); ++k) {
        SCOPED_TRACE(drawn[k].ch.toStdString());
        const char32_t ch = FromUtf8(drawn[k].ch.toStdString())[0];
        ASSERT_EQ(font->find(ch), static_cast<Int16>(k + 1));
        EXPECT_EQ(font->record(ch)->Columna, drawn[k].dots);
        EXPECT_EQ(GlyphWidth(*font->record(ch)), drawn[k].width);
    }
    // The main window lists it at once.
    EXPECT_EQ(rig.child<QListWidget>("filArchArchivos")->findItems("nueva.ffv", Qt::MatchExactly).size(), 1);
    // Saving over it asks first; No leaves the file as it was.
    const std::string before = ReadBytes(path);
    QTest::mouseClick(grid, Qt::LeftButton, {}, grid->cellCentre(5, 5));
    rig.dialogs.clear();
    rig.dialogs.answerNext(false);
    click("cmdFuenteGuardar");
    EXPECT_EQ(rig.dialogs.texts(), std::vector<std::string>{"El archivo «nueva.ffv» ya existe. ¿Desea reemplazarlo?"});
    EXPECT_EQ(ReadBytes(path), before);
    // Closing with the change unsaved asks too; Yes gives the main window back.
    rig.dialogs.clear();
    click("cmdFuenteCerrar");
    ASSERT_EQ(rig.dialogs.shown.size(), 1u);
    EXPECT_TRUE(rig.window->isEnabled());
    EXPECT_FALSE(editor->isVisible());
}

TEST_F(FontEditorTest, EveryFontOpenedAndSavedUnchangedKeepsItsBytes) {
    std::vector<OddFont> fonts = OddFonts();
    for (const auto& path : ShippedFonts()) fonts.push_back({path.filename().string(), ReadBytes(path), -1, 0});
    for (const OddFont& f : fonts) {
        SCOPED_TRACE(f.name);
        std::ofstream(folder() / f.name, std::ios::binary) << f.bytes;
        editor->refreshFiles();
        auto* files = get<QComboBox>("cboFuenteArchivo");
        files->setCurrentIndex(files->findText(QString::fromStdString(f.name)));
        click("cmdFuenteAbrir");
        EXPECT_EQ(get<QLabel>("lblFuenteRegistros")->text().contains(QStringLiteral("%1 registro").arg(f.odd)),
                  f.odd > 0);
        EXPECT_TRUE(f.shown < 0 || get<QListWidget>("lstFuenteCaracteres")->count() == f.shown);
        rig.dialogs.clear();
        click("cmdFuenteGuardar");
        EXPECT_EQ(rig.dialogs.texts(),
                  std::vector<std::string>{"El archivo «" + f.name + "» ya existe. ¿Desea reemplazarlo?"});
        EXPECT_EQ(ReadBytes(folder() / f.name), f.bytes);
    }
}

TEST_F(FontEditorTest, DrawnGlyphsAreShownForReviewAndOnlyThenPutIntoTheFont) {
    click("cmdFuenteNueva");
    get<QRadioButton>("optFuenteTodos")->setChecked(true);
    click("cmdFuenteDibujar");
    const int all = static_cast<int>(SpanishCharacters().size());
    EXPECT_EQ(get<QListWidget>("lstFuenteRevision")->count(), all);
    EXPECT_TRUE(editor->model().characters().empty());
    click("cmdFuentePoner");
    EXPECT_EQ(static_cast<int>(editor->model().characters().size()), all);
    EXPECT_EQ(get<QListWidget>("lstFuenteRevision")->count(), 0);
    // DejaVu Sans, the default, gives each letter and digit distinct dots within the sign's rows.
    ASSERT_EQ(get<QComboBox>("cboFuenteFamilia")->currentText(), QStringLiteral("DejaVu Sans"));
    std::map<GlyphDots, char32_t> seen;
    for (char32_t ch : std::u32string(U"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789ñÑáéíóúü¿¡")) {
        const GlyphDots dots = editor->model().dots(ch);
        SCOPED_TRACE(ToUtf8(std::u32string(1, ch)));
        EXPECT_TRUE(std::any_of(dots.begin(), dots.end(), [](Int16 v) { return v != 0; }));
        for (Int16 v : dots) EXPECT_TRUE(v >= 0 && v < (1 << kSignRows)) << v;
        const auto [it, added] = seen.emplace(dots, ch);
        EXPECT_TRUE(added) << "same dots as " << ToUtf8(std::u32string(1, it->second));
    }
    // One character drawn again replaces its dots, at a smaller height.
    get<QRadioButton>("optFuenteUno")->setChecked(true);
    get<QLineEdit>("txtFuenteRelleno")->setText(QStringLiteral("Ñ"));
    get<QSpinBox>("spnFuenteAltura")->setValue(4);
    click("cmdFuenteDibujar");
    click("cmdFuentePoner");
    const GlyphSource small{get<QComboBox>("cboFuenteFamilia")->currentText(),
                            get<QComboBox>("cboFuenteEstilo")->currentText(), 4, 40};
    EXPECT_EQ(editor->model().dots(U'Ñ'), DrawGlyph(small, U'Ñ'));
    EXPECT_EQ(static_cast<int>(editor->model().characters().size()), all);
}

// The marks and the line that name what a font lacks are the window's own; which characters
// are missing is the preview's count.
TEST(MissingCharacterTest, ThePreviewNamesAndTipsWhatAFontLacks) {
    TestApp();
    const std::string normal = (fs::path(LETRADOR_BINARY_DIR) / "work" / "tipografias" / "normal.ffv").string();
    const SignPreview p = ComputeSignPreview(U"5 € – 7 → –", normal, 1, 3);
    ASSERT_EQ(p.markers.size(), 3u);
    LedPreview preview;
    preview.setPreview(p);
    EXPECT_EQ(preview.missingLabel()->text(),
              QStringLiteral("Sin dibujo en «normal.ffv»: – → · No se pueden guardar (quedan como ?): →"));
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(preview.strip()->toolTipAt(preview.strip()->markRect(k).center()),
                  QString::fromStdString(p.markers[static_cast<std::size_t>(k)].toolTip)) << k;
}

}  // namespace
}  // namespace letrador::testing
