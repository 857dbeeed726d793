// The font editor over the real main window, the glyphs drawn from the DejaVu faces, and the
// access keys of every window.
#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QGroupBox>
#include <QLayout>
#include <QMenuBar>
#include <QSpinBox>
#include <map>

#include "app/frm_fuentes.h"
#include "app/glyph_raster.h"
#include "tests/app/app_rig.h"
#include "tests/support/odd_fonts.h"

namespace letrador::testing {
namespace {

class FontEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rig.load());
        rig.action("menEditorFuentes")->trigger();
        ASSERT_NE(editor = rig.window->fuentes(), nullptr);
    }
    template <typename W>
    W* get(const char* name) const { return editor->findChild<W*>(name); }
    void click(const char* button) { get<QPushButton>(button)->click(); }
    void type(const char* box, const QString& text) { get<QLineEdit>(box)->setText(text); }
    void open(const std::string& name) {
        editor->refreshFiles();
        get<QComboBox>("cboFuenteArchivo")->setCurrentText(QString::fromStdString(name));
        rig.dialogs.clear();
        click("cmdFuenteAbrir");
    }
    fs::path folder() const { return rig.scratch.path() / "tipografias"; }
    AppRig rig;
    frmFuentes* editor = nullptr;
};

// Characters drawn dot by dot show lit as drawn, with their widths, and go into the sample line;
// one already there is refused. Saved, the font reads back by the font code and the main window
// lists it; saving over it asks first, and so does Esc with a change unsaved.
TEST_F(FontEditorTest, DrawnCharactersAreSavedAndReadBackByTheFontCode) {
    EXPECT_TRUE(editor->isVisible() && !rig.window->isEnabled());
    EXPECT_TRUE(get<QWidget>("cmdFuenteAbrir")->isEnabled());  // a.ffv, the folder's only font
    click("cmdFuenteNueva");
    // The character, the clicks (column, row; a second click darkens), its dots and width.
    const std::tuple<const char*, std::vector<std::pair<int, int>>, GlyphDots, int> drawn[] = {
        {"€", {{0, 3}, {2, 6}, {1, 0}}, {0x08, 0x01, 0x40}, 3}, {"Z", {}, {}, 0},
        {"i", {{1, 2}, {1, 4}, {1, 5}, {1, 6}, {1, 2}, {1, 0}}, {0, 0x71}, 2},
        {"q", {{9, 0}}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01}, 10}};
    auto* grid = get<DotGrid>("grdFuentePuntos");
    for (const auto& [ch, clicks, dots, width] : drawn) {
        type("txtFuenteCaracter", ch);
        click("cmdFuenteAgregar");
        EXPECT_TRUE(editor->modified()) << ch;  // an added character alone is a change to keep
        for (auto [c, r] : clicks) QTest::mouseClick(grid, Qt::LeftButton, {}, grid->cellCentre(c, r));
        EXPECT_EQ(get<QLabel>("lblFuenteAncho")->text(), QString("Ancho: %1").arg(width));
        const QImage shown = grid->grab().toImage();
        for (int c = 0; c < static_cast<int>(dots.size()); ++c)
            for (int r = 0; r < kSignRows; ++r)
                EXPECT_EQ(shown.pixelColor(grid->cellCentre(c, r)) == QColor(0xff, 0x30, 0x20), (dots[c] >> r) & 1)
                    << ch << c << "," << r;
    }
    type("txtFuenteCaracter", "i");
    click("cmdFuenteAgregar");
    EXPECT_EQ(rig.dialogs.texts(), Strings{AddRefusal(FontModel::AddResult::AlreadyThere, U'i')});
    type("txtFuenteMuestra", "i€ i");
    for (int separation : {1, 2}) {  // first as the window opens, with a paragraph's own default
        if (separation > 1) get<QSpinBox>("spnFuenteSepar")->setValue(separation);
        EXPECT_EQ(get<LedStrip>("ledFuenteMuestra")->columns(),
                  ComputeSignPreview(U"i€ i", editor->model().data(), separation, rig.store.SpaceWidth).columns);
    }
    type("txtFuenteNombre", "nueva");
    click("cmdFuenteGuardar");
    // The file holds the font as drawn; how it reads back is the font model's tests' part.
    const fs::path path = folder() / "nueva.ffv";
    for (const auto& [ch, clicks, dots, width] : drawn)
        EXPECT_EQ(editor->model().dots(FromUtf8(ch)[0]), dots) << ch;
    EXPECT_EQ(editor->model().characters(), (std::vector<char32_t>{U'€', U'Z', U'i', U'q'}));
    const std::string before = ReadAll(path);
    EXPECT_EQ(before, editor->model().bytes());
    EXPECT_EQ(rig.child<QListWidget>("filArchArchivos")->findItems("nueva.ffv", Qt::MatchExactly).size(), 1);
    QTest::mouseClick(grid, Qt::LeftButton, {}, grid->cellCentre(5, 5));
    rig.dialogs.clear();
    rig.dialogs.defaultAnswer = false;
    click("cmdFuenteGuardar");
    EXPECT_EQ(rig.dialogs.texts(), Strings{"El archivo «nueva.ffv» ya existe. ¿Desea reemplazarlo?"});
    EXPECT_EQ(ReadAll(path), before);
    ASSERT_TRUE(Activate(*editor));
    for (bool yes : {false, true}) {  // Esc is "Cerrar"; the change given up, a new font next time
        rig.dialogs.defaultAnswer = yes;
        QTest::keyClick(editor, Qt::Key_Escape);
        EXPECT_EQ(rig.dialogs.texts().back(), "La fuente tiene cambios sin guardar. ¿Desea descartarlos?");
        EXPECT_TRUE(editor->isVisible() != yes && rig.window->isEnabled() == yes);
    }
    rig.action("menEditorFuentes")->trigger();
    EXPECT_TRUE(editor->model().characters().empty() && !editor->modified());
}

// Each button refuses, saying why, what it cannot do, and nothing changes. "Copiar en" gives the
// written character the chosen one's dots; "Quitar" removes the chosen one, choosing the next.
TEST_F(FontEditorTest, ButtonsRefuseCopyOrRemoveAndAllFitALaptopScreen) {
    click("cmdFuenteNueva");
    for (const char* ch : {"A", "B", "C"}) {
        type("txtFuenteCaracter", ch);
        click("cmdFuenteAgregar");
    }
    auto* list = get<QListWidget>("lstFuenteCaracteres");
    list->setCurrentRow(0);
    QTest::mouseClick(get<DotGrid>("grdFuentePuntos"), Qt::LeftButton, {}, get<DotGrid>("grdFuentePuntos")->cellCentre(1, 1));
    get<QRadioButton>("optFuenteUno")->setChecked(true);
    const std::tuple<const char*, const char*, const char*, std::string> cases[] = {  // box, text, button: said
        {"txtFuenteCaracter", "", "cmdFuenteAgregar", "Escriba en «Carácter» el carácter que desea agregar."},
        {"txtFuenteCaracter", "x", "cmdFuenteCopiar",
         "Escriba en «Carácter» un carácter de la fuente sobre el que copiar los puntos de «A»."},
        {"txtFuenteRelleno", "", "cmdFuenteDibujar", "Escriba el carácter que desea dibujar."},
        {"txtFuenteNombre", " ", "cmdFuenteGuardar", "Escriba el nombre de la fuente."},
        {"txtFuenteNombre", "a/b", "cmdFuenteGuardar", "El nombre de la fuente no puede llevar «/»."},
        {"txtFuenteNombre", "..", "cmdFuenteGuardar", "El nombre de la fuente no puede llevar «/»."}};
    for (const auto& [box, text, button, said] : cases) {
        type(box, text);
        rig.dialogs.clear();
        click(button);
        EXPECT_EQ(rig.dialogs.texts(), Strings{said}) << button << " " << text;
    }
    EXPECT_EQ(editor->model().characters(), (std::vector<char32_t>{U'A', U'B', U'C'}));
    EXPECT_EQ(get<QListWidget>("lstFuenteRevision")->count(), 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder()), {}), 1);  // a.ffv only
    type("txtFuenteCaracter", "C");
    click("cmdFuenteCopiar");
    EXPECT_EQ(editor->model().dots(U'C'), (GlyphDots{0, 0x02}));
    const std::pair<int, char32_t> removals[] = {{2, U'B'}, {0, U'B'}, {0, 0}};  // the row removed: the one chosen
    for (auto [row, chosen] : removals) {
        list->setCurrentRow(row);
        click("cmdFuenteQuitar");
        EXPECT_EQ(editor->currentCharacter(), chosen) << row;
    }
    EXPECT_TRUE(editor->model().characters().empty() && !get<QWidget>("cmdFuenteQuitar")->isEnabled());
    // The window fits a 1366 x 768 screen, less a title bar and a panel, with every button in view
    // and no control or caption lying over another.
    const QSize least = editor->minimumSizeHint();
    EXPECT_TRUE(least.height() <= 700 && least.width() <= 1366) << least.width() << "x" << least.height();
    editor->resize(least);
    editor->layout()->activate();
    for (QPushButton* b : editor->findChildren<QPushButton*>()) {
        EXPECT_TRUE(b->isVisible() && editor->rect().contains(QRect(b->mapTo(editor, QPoint(0, 0)), b->size())))
            << b->objectName().toStdString();
        EXPECT_GE(b->height(), b->minimumSizeHint().height()) << b->objectName().toStdString();
    }
    EXPECT_EQ(OverlappingControls(*editor), Strings{});
}

// A font opened and saved unchanged keeps its bytes, records the editor cannot show included;
// a file too large to edit is refused as a font, and the font in the window stays.
TEST_F(FontEditorTest, EveryFontOpenedAndSavedUnchangedKeepsItsBytes) {
    for (const OddFont& f : OddFonts()) {  // the shipped ones are kept in the font model's tests
        SCOPED_TRACE(f.name);
        std::ofstream(folder() / f.name, std::ios::binary) << f.bytes;
        open(f.name);
        EXPECT_EQ(get<QLabel>("lblFuenteRegistros")->text().contains(QString("%1 registro").arg(f.odd)), f.odd > 0);
        EXPECT_TRUE(f.shown < 0 || get<QListWidget>("lstFuenteCaracteres")->count() == f.shown);
        click("cmdFuenteGuardar");
        EXPECT_EQ(rig.dialogs.texts(), Strings{"El archivo «" + f.name + "» ya existe. ¿Desea reemplazarlo?"});
        EXPECT_EQ(ReadAll(folder() / f.name), f.bytes);
    }
    const std::size_t shown = editor->model().characters().size();
    std::ofstream(folder() / "grande.ffv", std::ios::binary) << FontRecordBytes({"A", {1}});
    fs::resize_file(folder() / "grande.ffv", kMaxEditedFontBytes + kFontRecordSize);
    open("grande.ffv");
    EXPECT_EQ(rig.dialogs.texts(),
              Strings{"No se pudo abrir «grande.ffv»: El archivo es demasiado grande para ser una fuente."});
    EXPECT_EQ(editor->model().characters().size(), shown);
}

// Every glyph drawn from a system font is shown for review, and only those left checked go in; a
// character the font has already is replaced only as the operator answers. The regular style
// comes first, and DejaVu Sans gives each letter and digit distinct dots within the sign's rows.
TEST_F(FontEditorTest, DrawnGlyphsAreReviewedAndReplaceOnlyWhenTheOperatorSaysSo) {
    click("cmdFuenteNueva");
    ASSERT_EQ(get<QComboBox>("cboFuenteFamilia")->currentText().toStdString(), "DejaVu Sans");
    EXPECT_EQ(get<QComboBox>("cboFuenteEstilo")->itemText(0).toStdString(), "Book");
    get<QRadioButton>("optFuenteTodos")->setChecked(true);
    click("cmdFuenteDibujar");
    auto* review = get<QListWidget>("lstFuenteRevision");
    const std::u32string all = SpanishCharacters();
    ASSERT_EQ(review->count(), static_cast<int>(all.size()));
    for (int i = 0; i < review->count(); ++i)
        EXPECT_TRUE(review->item(i)->checkState() == Qt::Checked && !review->item(i)->icon().isNull()) << i;
    EXPECT_TRUE(editor->model().characters().empty());
    std::vector<QImage> pictures;
    for (int i = 0; i < review->count(); ++i) pictures.push_back(review->item(i)->icon().pixmap(review->iconSize()).toImage());
    review->item(static_cast<int>(all.find(U'Z')))->setCheckState(Qt::Unchecked);
    click("cmdFuentePoner");
    // Each glyph was pictured for review with the dots it was then given, and only them.
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i] == U'Z') continue;  // unchecked, so never put
        const GlyphDots dots = editor->model().dots(all[i]);
        const int pitch = pictures[i].width() / kGlyphColumns;
        for (int c = 0; c < kGlyphColumns; ++c)
            for (int r = 0; r < kSignRows; ++r)
                EXPECT_EQ(pictures[i].pixelColor(c * pitch + pitch / 2, r * pitch + pitch / 2) == QColor(0xff, 0x30, 0x20),
                          ((dots[c] >> r) & 1) != 0) << i << ": " << c << "," << r;
    }
    EXPECT_TRUE(rig.dialogs.shown.empty());  // nothing there to replace: nothing asked
    EXPECT_EQ(editor->model().characters().size(), all.size() - 1);
    EXPECT_FALSE(editor->model().has(U'Z') || get<QWidget>("cmdFuentePoner")->isEnabled());
    EXPECT_EQ(review->count(), 0);
    std::map<GlyphDots, char32_t> seen;
    for (char32_t ch : std::u32string(U"ABCDEFGHIJKLMNOPQRSTUVWXYabcdefghijklmnopqrstuvwxyz0123456789ñÑáéíóúü¿¡")) {
        const GlyphDots dots = editor->model().dots(ch);
        EXPECT_TRUE(std::any_of(dots.begin(), dots.end(), [](Int16 v) { return v != 0; })) << ToUtf8({&ch, 1});
        for (Int16 v : dots) EXPECT_TRUE(v >= 0 && v < (1 << kSignRows)) << v;
        const auto [it, added] = seen.emplace(dots, ch);
        EXPECT_TRUE(added) << ToUtf8({&ch, 1}) << " has the dots of " << ToUtf8({&it->second, 1});
    }
    // «Ñ» drawn again, smaller: "Cancelar" keeps it for review, the other two answers end it.
    get<QRadioButton>("optFuenteUno")->setChecked(true);
    type("txtFuenteRelleno", "Ñ");
    get<QSpinBox>("spnFuenteAltura")->setValue(4);
    const GlyphDots before = editor->model().dots(U'Ñ'),
                    small = DrawGlyph({"DejaVu Sans", "Book", 4, GlyphSource{}.thresholdPercent}, U'Ñ');
    ASSERT_NE(small, before);
    const std::tuple<int, GlyphDots, int> answers[] = {{2, before, 1}, {1, before, 0}, {0, small, 0}};
    for (const auto& [button, dots, left] : answers) {  // left: glyphs still under review
        SCOPED_TRACE(button);
        click("cmdFuenteDibujar");
        rig.dialogs.clear();
        rig.dialogs.chooseNext(button);
        click("cmdFuentePoner");
        ASSERT_EQ(rig.dialogs.texts(), Strings{"La fuente ya tiene 1 de estos caracteres: Ñ\r\n"
                                               "¿Reemplaza sus dibujos o pone solo los caracteres que faltan?"});
        EXPECT_EQ(rig.dialogs.shown[0].buttons, (Strings{"&Reemplazar", "&Solo los que faltan", "Cancelar"}));
        EXPECT_EQ(editor->model().dots(U'Ñ'), dots);
        EXPECT_EQ(review->count(), left);
    }
}

// At the sign's seven rows and the default threshold, no digit of the DejaVu faces is drawn
// as another digit or as a letter ("0" came out as "D", "2" as "J").
TEST(GlyphRaster, DigitsStayApartFromDigitsAndLettersAtTheDefaultThreshold) {
    TestApp();
    for (const char* family : {"DejaVu Sans", "DejaVu Serif", "DejaVu Sans Mono"})
        for (const char* style : {"Book", "Bold"}) {
            SCOPED_TRACE(std::string(family) + " " + style);
            ASSERT_TRUE(QFontDatabase::styles(family).contains(style));
            const GlyphSource source{family, style, kSignRows, GlyphSource{}.thresholdPercent};
            std::map<GlyphDots, char32_t> seen;
            for (char32_t c = U'A'; c <= U'Z'; ++c) seen.emplace(DrawGlyph(source, c), c);
            for (char32_t c = U'a'; c <= U'z'; ++c) seen.emplace(DrawGlyph(source, c), c);
            for (char32_t digit = U'0'; digit <= U'9'; ++digit) {
                const auto [it, added] = seen.emplace(DrawGlyph(source, digit), digit);
                EXPECT_TRUE(added) << ToUtf8({&digit, 1}) << " drawn as " << ToUtf8({&it->second, 1});
            }
        }
}

// No two controls of one window (buttons, labels' buddies, group boxes, the menu bar), and no two
// items of one menu, share an access key; every window the program makes is looked at.
TEST_F(FontEditorTest, AccessKeysEachWindowAndMenuHasItsOwn) {
    fs::create_directories(rig.scratch.path() / "ayuda");  // no opener in the rig: our own window
    std::ofstream(rig.scratch.path() / "ayuda" / "letrador.html") << "<html></html>";
    rig.action("menAyudaGeneral")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.window->ayuda() != nullptr; }, 30000));
    rig.window->menGrabVarios_Click();
    std::map<QString, QStringList> texts;  // a window or menu: the texts that may carry a key
    for (QWidget* w : std::initializer_list<QWidget*>{rig.window.get(), &rig.window->avanzadas(),
                                                     &rig.window->archivo(), &rig.window->graba(),
                                                     rig.window->varios(), editor, rig.window->ayuda()}) {
        QStringList& mine = texts[w->objectName()];
        for (QAbstractButton* b : w->findChildren<QAbstractButton*>()) mine << b->text();
        for (QLabel* l : w->findChildren<QLabel*>())
            if (l->buddy()) mine << l->text();
        for (QGroupBox* g : w->findChildren<QGroupBox*>()) mine << g->title();
        if (auto* main = qobject_cast<QMainWindow*>(w))
            for (QAction* top : main->menuBar()->actions()) {
                mine << top->text();
                for (QAction* item : top->menu()->actions()) texts[top->text()] << item->text();
            }
    }
    EXPECT_EQ(texts.size(), 7u + 5u);
    for (const auto& [where, list] : texts) {
        std::map<QString, QString> first;
        for (const QString& text : list) {
            const QString key = QKeySequence::mnemonic(text).toString();
            const auto [it, added] = first.emplace(key, text);
            EXPECT_TRUE(key.isEmpty() || added) << where.toStdString() << ": " << text.toStdString() << " and "
                                                << it->second.toStdString();
        }
    }
}

}  // namespace
}  // namespace letrador::testing
