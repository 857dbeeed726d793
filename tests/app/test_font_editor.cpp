// The font editor window over the real main window, the glyphs drawn from the DejaVu faces, how
// the LED preview shows characters a font lacks, and the access keys of every window.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QFontDatabase>
#include <QImage>
#include <QKeySequence>
#include <QLayout>
#include <QMenuBar>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <filesystem>
#include <map>

#include "app/frm_ayuda.h"
#include "app/frm_fuentes.h"
#include "files/frm_archivo.h"
#include "signlink/frm_varios.h"
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
    // A file too large to edit is refused as a font, and the font in the window stays.
    const std::size_t shown = editor->model().characters().size();
    std::ofstream(folder() / "grande.ffv", std::ios::binary) << FontRecordBytes({"A", {1}});
    fs::resize_file(folder() / "grande.ffv", kMaxEditedFontBytes + kFontRecordSize);
    editor->refreshFiles();
    auto* files = get<QComboBox>("cboFuenteArchivo");
    files->setCurrentIndex(files->findText(QStringLiteral("grande.ffv")));
    rig.dialogs.clear();
    click("cmdFuenteAbrir");
    EXPECT_EQ(rig.dialogs.texts(), std::vector<std::string>{"No se pudo abrir «grande.ffv»: El archivo es "
                                                            "demasiado grande para ser una fuente."});
    EXPECT_EQ(editor->model().characters().size(), shown);
}

// Every glyph drawn is shown for review, and only those left checked go in; a character the
// font has already is replaced only as the operator answers. The regular style comes first.
TEST_F(FontEditorTest, DrawnGlyphsAreReviewedAndReplaceOnlyWhenTheOperatorSaysSo) {
    click("cmdFuenteNueva");
    ASSERT_EQ(get<QComboBox>("cboFuenteFamilia")->currentText(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(get<QComboBox>("cboFuenteEstilo")->itemText(0), QStringLiteral("Book"));
    get<QRadioButton>("optFuenteTodos")->setChecked(true);
    click("cmdFuenteDibujar");
    auto* review = get<QListWidget>("lstFuenteRevision");
    const std::u32string all = SpanishCharacters();
    ASSERT_EQ(review->count(), static_cast<int>(all.size()));
    for (int i = 0; i < review->count(); ++i) {
        EXPECT_EQ(review->item(i)->checkState(), Qt::Checked) << i;
        EXPECT_FALSE(review->item(i)->icon().isNull()) << i;
    }
    EXPECT_TRUE(editor->model().characters().empty());
    review->item(static_cast<int>(all.find(U'Z')))->setCheckState(Qt::Unchecked);
    click("cmdFuentePoner");
    EXPECT_TRUE(rig.dialogs.shown.empty());  // nothing there to replace: nothing asked
    EXPECT_EQ(editor->model().characters().size(), all.size() - 1);
    EXPECT_FALSE(editor->model().has(U'Z'));
    EXPECT_EQ(review->count(), 0);
    // DejaVu Sans gives each letter and digit distinct dots within the sign's rows.
    std::map<GlyphDots, char32_t> seen;
    for (char32_t ch : std::u32string(U"ABCDEFGHIJKLMNOPQRSTUVWXYabcdefghijklmnopqrstuvwxyz0123456789ñÑáéíóúü¿¡")) {
        const GlyphDots dots = editor->model().dots(ch);
        SCOPED_TRACE(ToUtf8(std::u32string(1, ch)));
        EXPECT_TRUE(std::any_of(dots.begin(), dots.end(), [](Int16 v) { return v != 0; }));
        for (Int16 v : dots) EXPECT_TRUE(v >= 0 && v < (1 << kSignRows)) << v;
        const auto [it, added] = seen.emplace(dots, ch);
        EXPECT_TRUE(added) << "same dots as " << ToUtf8(std::u32string(1, it->second));
    }
    // «Ñ» drawn again, smaller: Cancelar keeps it for review, the other two answers end it.
    get<QRadioButton>("optFuenteUno")->setChecked(true);
    get<QLineEdit>("txtFuenteRelleno")->setText(QStringLiteral("Ñ"));
    get<QSpinBox>("spnFuenteAltura")->setValue(4);
    const GlyphDots before = editor->model().dots(U'Ñ');
    const GlyphDots small = DrawGlyph({get<QComboBox>("cboFuenteFamilia")->currentText(),
                                       get<QComboBox>("cboFuenteEstilo")->currentText(), 4,
                                       GlyphSource{}.thresholdPercent}, U'Ñ');
    ASSERT_NE(small, before);
    const struct {
        int button;
        GlyphDots dots;
        int left;  // glyphs still under review
    } answers[] = {{2, before, 1}, {1, before, 0}, {0, small, 0}};
    for (const auto& a : answers) {
        SCOPED_TRACE(a.button);
        click("cmdFuenteDibujar");
        rig.dialogs.clear();
        rig.dialogs.chooseNext(a.button);
        click("cmdFuentePoner");
        ASSERT_EQ(rig.dialogs.shown.size(), 1u);
        EXPECT_EQ(rig.dialogs.shown[0].text, "La fuente ya tiene 1 de estos caracteres: Ñ\r\n"
                                             "¿Reemplaza sus dibujos o pone solo los caracteres que faltan?");
        EXPECT_EQ(rig.dialogs.shown[0].buttons,
                  (std::vector<std::string>{"&Reemplazar", "&Solo los que faltan", "Cancelar"}));
        EXPECT_EQ(editor->model().dots(U'Ñ'), a.dots);
        EXPECT_EQ(review->count(), a.left);
    }
    EXPECT_EQ(editor->model().characters().size(), all.size() - 1);
}

// At the sign's seven rows and the default threshold, no digit of the DejaVu faces is drawn
// as another digit or as a letter ("0" came out as "D", "2" as "J").
TEST(GlyphRaster, DigitsStayApartFromDigitsAndLettersAtTheDefaultThreshold) {
    TestApp();
    const std::pair<const char*, const char*> faces[] = {
        {"DejaVu Sans", "Book"},  {"DejaVu Sans", "Bold"},      {"DejaVu Serif", "Book"},
        {"DejaVu Serif", "Bold"}, {"DejaVu Sans Mono", "Book"}, {"DejaVu Sans Mono", "Bold"}};
    std::u32string letters;
    for (char32_t c = U'A'; c <= U'Z'; ++c) letters += std::u32string{c, static_cast<char32_t>(c + U'a' - U'A')};
    for (const auto& [family, style] : faces) {
        SCOPED_TRACE(std::string(family) + " " + style);
        ASSERT_TRUE(QFontDatabase::styles(QString::fromUtf8(family)).contains(QString::fromUtf8(style)));
        const GlyphSource source{QString::fromUtf8(family), QString::fromUtf8(style), kSignRows,
                                 GlyphSource{}.thresholdPercent};
        std::map<GlyphDots, char32_t> seen;
        for (char32_t ch : letters) seen.emplace(DrawGlyph(source, ch), ch);
        for (char32_t digit = U'0'; digit <= U'9'; ++digit) {
            const auto [it, added] = seen.emplace(DrawGlyph(source, digit), digit);
            EXPECT_TRUE(added) << ToUtf8(std::u32string(1, digit)) << " drawn as " << ToUtf8(std::u32string(1, it->second));
        }
    }
}

// The window fits a 1366 x 768 screen, less a title bar and a panel, with every button in view;
// Esc closes it as "Cerrar" does.
TEST_F(FontEditorTest, FitsALaptopScreenAndEscClosesIt) {
    const QSize least = editor->minimumSizeHint();
    EXPECT_LE(least.height(), 700);
    EXPECT_LE(least.width(), 1366);
    editor->resize(least);
    editor->layout()->activate();
    for (QPushButton* b : editor->findChildren<QPushButton*>()) {
        SCOPED_TRACE(b->objectName().toStdString());
        EXPECT_TRUE(b->isVisible());
        EXPECT_TRUE(editor->rect().contains(QRect(b->mapTo(editor, QPoint(0, 0)), b->size())));
        EXPECT_GE(b->height(), b->minimumSizeHint().height());
    }
    editor->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(editor));
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_FALSE(editor->isVisible());
    EXPECT_TRUE(rig.window->isEnabled());
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

// Every window the program makes, with the access keys of its controls (and of its menu bar),
// and each of its menus with the access keys of its items.
std::vector<std::pair<QString, std::vector<QString>>> AccessKeys(AppRig& rig) {
    // There is no opener in the rig's folder: the page shows in the program's own window.
    std::filesystem::create_directories(rig.scratch.path() / "ayuda");
    std::ofstream(rig.scratch.path() / "ayuda" / "letrador.html") << "<html></html>";
    rig.action("menAyudaGeneral")->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return rig.window->ayuda() != nullptr; }, 30000));
    rig.action("menEditorFuentes")->trigger();
    rig.window->menGrabVarios_Click();
    std::vector<std::pair<QString, std::vector<QString>>> out;
    auto keyOf = [](const QString& text) { return QKeySequence::mnemonic(text).toString(); };
    QWidget* const windows[] = {rig.window.get(), &rig.window->avanzadas(), &rig.window->archivo(),
                                &rig.window->graba(), rig.window->varios(), rig.window->fuentes(),
                                rig.window->ayuda()};
    for (QWidget* w : windows) {
        if (!w) continue;
        std::vector<QString> keys;
        auto add = [&](const QString& text, const QString& who) {
            if (!keyOf(text).isEmpty()) keys.push_back(keyOf(text) + " " + who);
        };
        for (QAbstractButton* b : w->findChildren<QAbstractButton*>()) add(b->text(), b->objectName() + b->text());
        for (QLabel* l : w->findChildren<QLabel*>())
            if (l->buddy()) add(l->text(), l->text());
        for (QGroupBox* g : w->findChildren<QGroupBox*>()) add(g->title(), g->title());
        if (auto* main = qobject_cast<QMainWindow*>(w)) {
            for (QAction* top : main->menuBar()->actions()) {
                add(top->text(), top->text());
                std::vector<QString> items;
                for (QAction* item : top->menu()->actions())
                    if (!keyOf(item->text()).isEmpty()) items.push_back(keyOf(item->text()) + " " + item->text());
                out.emplace_back(top->text(), items);
            }
        }
        out.emplace_back(w->objectName(), keys);
    }
    return out;
}

// No two controls of one window, and no two items of one menu, share an access key.
TEST(AccessKeys, EachWindowAndMenuHasItsOwn) {
    AppRig rig;
    ASSERT_TRUE(rig.start());
    const auto all = AccessKeys(rig);
    EXPECT_EQ(all.size(), 7u + 5u);
    for (const auto& [where, keys] : all) {
        SCOPED_TRACE(where.toStdString());
        std::map<QString, QString> first;
        for (const QString& k : keys) {
            const QString key = k.section(QLatin1Char(' '), 0, 0);
            const auto [it, added] = first.emplace(key, k);
            EXPECT_TRUE(added) << k.toStdString() << " and " << it->second.toStdString();
        }
    }
}

}  // namespace
}  // namespace letrador::testing
