// Start-up, the port list, the no-port end, the close question, brand text and help.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSet>
#include <fstream>

#include "app/brand.h"
#include "tests/app/app_rig.h"

namespace letrador {
namespace {

using testing::AppRig;

TEST(StartUp, EditingIsOffAndOnlyNewParagraphIsOpen) {
    AppRig rig;
    ASSERT_TRUE(rig.load());
    EXPECT_EQ(rig.window->windowTitle(), QStringLiteral("Letrador de Mensajes"));
    for (const char* name : {"menArchGuardar", "menArchGuardarComo", "menGrabTotal", "menGrabParcial"})
        EXPECT_FALSE(rig.action(name)->isEnabled()) << name;
    for (const char* name : {"menArchNuevo", "MenArchAbrir", "menOpcAvanzadas", "menTurn1",
                             "menTurn2", "menTurn3", "menAyudaGeneral"})
        EXPECT_TRUE(rig.action(name)->isEnabled()) << name;
    EXPECT_FALSE(rig.child<QPlainTextEdit>("txtMsjMensaje")->isEnabled());
    EXPECT_FALSE(rig.child<QPushButton>("cmdParGuardar")->isEnabled());
    EXPECT_TRUE(rig.child<QPushButton>("cmdParNuevo")->isEnabled());
    EXPECT_EQ(rig.child<QComboBox>("cboParParrafos")->count(), 0);
    EXPECT_EQ(rig.child<QLabel>("lblMsjCapacidad")->text(), QStringLiteral("Capacidad ocupada: 0%"));
    auto* effects = rig.child<QComboBox>("cboMsjFxEfectos");
    ASSERT_EQ(effects->count(), 11);
    EXPECT_EQ(effects->itemText(0), QStringLiteral("0 - Parpadea"));
    EXPECT_EQ(effects->itemText(10), QStringLiteral("A - Separa Msj."));
    EXPECT_EQ(effects->currentIndex(), -1);
    EXPECT_FALSE(rig.optionsChild<QCheckBox>("chkParUnidos")->isChecked());
    EXPECT_EQ(rig.optionsChild<QLineEdit>("txtParEspacio")->text(), QStringLiteral("3"));
    EXPECT_EQ(rig.store.SpaceWidth, 3);
    EXPECT_FALSE(rig.store.MessageModified);
    EXPECT_TRUE(rig.dialogs.shown.empty());
    EXPECT_EQ(rig.store.FontFolder, (rig.scratch.path() / "tipografias").string());
    EXPECT_TRUE(std::filesystem::is_directory(rig.scratch.path() / "mensajes"));
}

TEST(StartUp, ShortcutsAndAccessKeysAreThoseOfTheMenus) {
    AppRig rig;
    ASSERT_TRUE(rig.load());
    const std::pair<const char*, const char*> shortcuts[] = {
        {"menArchNuevo", "Ctrl+N"}, {"MenArchAbrir", "Ctrl+A"}, {"menArchGuardar", "Ctrl+G"},
        {"menOpcAvanzadas", "Ctrl+O"}, {"menGrabTotal", "Ctrl+T"}, {"menGrabParcial", "Ctrl+P"},
        {"menAyudaGeneral", "Ctrl+H"}};
    for (auto [name, keys] : shortcuts)
        EXPECT_EQ(rig.action(name)->shortcut().toString(), QString::fromLatin1(keys)) << name;
    EXPECT_TRUE(rig.action("menArchGuardarComo")->shortcut().isEmpty());
    EXPECT_EQ(rig.action("menArchGuardarComo")->text(), QStringLiteral("Guardar &Como"));
    EXPECT_EQ(rig.action("menTurn2")->text(), QStringLiteral("Turnero &2"));
}

TEST(StartUp, PortsThreeAndFiveAreListedAndFiveIsChosen) {
    AppRig rig({3, 5});
    ASSERT_TRUE(rig.load());
    auto* ports = rig.optionsChild<QComboBox>("cboPuertoCom");
    ASSERT_EQ(ports->count(), 2);
    EXPECT_EQ(ports->itemText(0), QStringLiteral("3"));
    EXPECT_EQ(ports->itemText(1), QStringLiteral("5"));
    EXPECT_EQ(ports->currentText(), QStringLiteral("5"));
    EXPECT_EQ(ports->itemData(0, Qt::ToolTipRole).toString(),
              QStringLiteral("Dispositivo: /dev/ttyS2"));
    // Choosing an entry leaves the list's own tool tip as it is.
    EXPECT_EQ(ports->toolTip(), QStringLiteral("Puertos COM disponibles en el sistema."));
    EXPECT_EQ(rig.link.triedPorts.size(), 255u);
}

TEST(StartUp, NoPortShowsTheTwoLineMessageAndEnds) {
    AppRig rig(std::set<int>{});
    EXPECT_FALSE(rig.load());
    ASSERT_EQ(rig.dialogs.shown.size(), 1u);
    EXPECT_FALSE(rig.dialogs.shown[0].isQuestion);
    EXPECT_EQ(rig.dialogs.shown[0].text,
              "No se encontraron puertos COM en el sistema.\r\nEl programa no puede continuar.");
    EXPECT_EQ(rig.dialogs.shown[0].title, "Letrador de Mensajes");
    EXPECT_FALSE(rig.window->isVisible());
}

TEST(Closing, NoKeepsTheWindowAndYesClosesEvenWithUnsavedChanges) {
    AppRig rig;
    ASSERT_TRUE(rig.load());
    rig.window->show();
    rig.addParagraph(QStringLiteral("AA"));
    rig.store.MessageModified = true;
    rig.dialogs.answerNext(false);
    EXPECT_FALSE(rig.window->close());
    EXPECT_TRUE(rig.window->isVisible());
    EXPECT_EQ(rig.store.ParagraphCount, 1);
    ASSERT_EQ(rig.dialogs.shown.size(), 1u);
    EXPECT_TRUE(rig.dialogs.shown[0].isQuestion);
    EXPECT_EQ(rig.dialogs.shown[0].text, "Desea salir del programa?");
    EXPECT_EQ(rig.dialogs.shown[0].title, "Salir de la aplicación?");
    rig.dialogs.answerNext(true);
    EXPECT_TRUE(rig.window->close());
    EXPECT_FALSE(rig.window->isVisible());
    EXPECT_EQ(rig.dialogs.shown.size(), 2u);
}

void WriteBrand(const std::filesystem::path& work, const std::string& bytes) {
    std::filesystem::create_directories(work / "ayuda" / "Archivos");
    std::ofstream(work / "ayuda" / "Archivos" / "marca.txt", std::ios::binary) << bytes;
}

TEST(Brand, OnlyTheFirstLineIsShownDecodedFromWindows1252) {
    AppRig rig;
    WriteBrand(rig.scratch.path(), "Carteles Pe\xF1" "a\r\nSegunda linea\r\n");
    ASSERT_TRUE(rig.load());
    EXPECT_EQ(rig.child<QLabel>("lblArchVelmora")->text(), QStringLiteral("Carteles Peña"));
}

TEST(Brand, TheFirstLineEndsAtCrLfLfOrALoneCr) {
    const struct {
        const char* bytes;
        const char* shown;
    } cases[] = {{"Uno\r\nDos", "Uno"}, {"Uno\nDos", "Uno"}, {"Uno\rDos\r", "Uno"},
                 {"Uno", "Uno"}, {"\rDos", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        testing::ScratchFolder work;
        WriteBrand(work.path(), c.bytes);
        EXPECT_EQ(ReadBrandText(work.path()), c.shown);
    }
}

TEST(Brand, EmptyFirstLineMissingFileAndMissingLogoGiveEmptyControls) {
    {
        AppRig rig;
        WriteBrand(rig.scratch.path(), "\r\nSegunda\r\n");
        ASSERT_TRUE(rig.load());
        EXPECT_EQ(rig.child<QLabel>("lblArchVelmora")->text(), QString());
    }
    AppRig rig;
    ASSERT_TRUE(rig.load());
    EXPECT_EQ(rig.child<QLabel>("lblArchVelmora")->text(), QString());
    auto* logo = rig.child<QLabel>("imgArchVelmora");
    EXPECT_TRUE(logo->pixmap().isNull());
    EXPECT_FALSE(logo->isEnabled());
    EXPECT_TRUE(rig.dialogs.shown.empty());
}

TEST(Brand, TheShippedLogoLoads) {
    AppRig rig;
    std::filesystem::path shipped =
        std::filesystem::path(LETRADOR_SOURCE_DIR) / "data" / "ayuda" / "Archivos" / "logo.jpg";
    if (!std::filesystem::exists(shipped)) GTEST_SKIP() << "no shipped logo";
    std::filesystem::create_directories(rig.scratch.path() / "ayuda" / "Archivos");
    std::filesystem::copy_file(shipped, rig.scratch.path() / "ayuda" / "Archivos" / "logo.jpg");
    ASSERT_TRUE(rig.load());
    auto* logo = rig.child<QLabel>("imgArchVelmora");
    EXPECT_FALSE(logo->pixmap().isNull());
    EXPECT_TRUE(logo->isEnabled());
}

TEST(Help, GeneralHelpOpensTheHelpPageOfTheWorkingFolder) {
    AppRig rig;
    ASSERT_TRUE(rig.load());
    rig.action("menAyudaGeneral")->trigger();
    ASSERT_EQ(rig.desktop.opened.size(), 1u);
    EXPECT_EQ(rig.desktop.opened[0], (rig.scratch.path() / "ayuda" / "letrador.html").string());
}

// The shipped help page names every menu item of the window with its shortcut, and every
// "Menu > Item" it names exists: a menu item added or renamed without the page fails here.
TEST(Help, ThePageNamesEveryMenuItemAndNoOther) {
    QFile file(QStringLiteral(LETRADOR_SOURCE_DIR "/data/ayuda/letrador.html"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(file.readAll()).simplified();
    AppRig rig;
    ASSERT_TRUE(rig.load());
    QSet<QString> paths;
    for (QAction* top : rig.window->menuBar()->actions()) {
        ASSERT_NE(top->menu(), nullptr);
        const QString menu = top->menu()->title().remove(QLatin1Char('&'));
        for (QAction* item : top->menu()->actions()) {
            if (item->isSeparator()) continue;
            const QString text = item->text().remove(QLatin1Char('&'));
            const QString path = menu + QStringLiteral(" &gt; ") + text;
            paths.insert(path);
            SCOPED_TRACE(path.toStdString());
            EXPECT_TRUE(page.contains(QStringLiteral("<b>") + path + QStringLiteral("</b>")) ||
                        page.contains(QStringLiteral("<b>") + text + QStringLiteral("</b>")));
            if (!item->shortcut().isEmpty())
                EXPECT_TRUE(page.contains(QStringLiteral("<kbd>") + item->shortcut().toString() +
                                          QStringLiteral("</kbd>")));
        }
    }
    static const QRegularExpression named(QStringLiteral("<b>([^<]+ &gt; [^<]+)</b>"));
    int seen = 0;
    for (const QRegularExpressionMatch& m : named.globalMatch(page)) {
        ++seen;
        EXPECT_TRUE(paths.contains(m.captured(1))) << m.captured(1).toStdString();
    }
    EXPECT_GT(seen, 0);  // the pattern still matches how the page names menu items
}

}  // namespace
}  // namespace letrador
