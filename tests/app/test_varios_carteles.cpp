// "Grabación > Varios carteles…" against two cartel-virtual processes: the main window's own
// "Total" on its scripted line gives the lines and bytes each sign must get, each on its own
// thread and serial port.
#include <gtest/gtest.h>

#include <QRadioButton>

#include "signlink/frm_varios.h"
#include "signlink/turnero.h"
#include "tests/app/app_rig.h"
#include "tests/support/virtual_sign_process.h"

namespace letrador::testing {
namespace {

TEST(VariosCarteles, RecordsTheMessageAndATurnDisplayIntoTheCheckedSignsAtOnce) {
    AppRig rig({3, 7});
    std::vector<std::unique_ptr<VirtualSignProcess>> signs;
    for (int port : {3, 7}) {
        signs.push_back(std::make_unique<VirtualSignProcess>(rig.scratch.path(), port));
        std::string problem;
        ASSERT_TRUE(signs.back()->start(&problem)) << problem;
    }
    ASSERT_TRUE(rig.load());
    rig.addParagraph(QStringLiteral("AB BA"));
    rig.addParagraph(QStringLiteral("<4>AAB"));
    // The one-sign "Total" on port 7, the chosen one, over the scripted line.
    rig.action("menGrabTotal")->trigger();
    const std::vector<std::string> oneSignLines = rig.logLines();
    const Bytes totalBytes = rig.link.written;
    rig.recordingClose()->click();
    ASSERT_TRUE(rig.window->isEnabled());
    rig.action("menGrabVarios")->trigger();
    frmVarios* varios = rig.window->varios();
    ASSERT_NE(varios, nullptr);
    EXPECT_TRUE(varios->isVisible() && !rig.window->isEnabled());
    auto* list = varios->findChild<QListWidget*>(QStringLiteral("lstPuertos"));
    ASSERT_EQ(list->count(), 2);
    for (int k = 0; k < 2; ++k) list->item(k)->setCheckState(Qt::Checked);
    EXPECT_EQ(list->item(1)->text().toStdString(), "COM 7 (" + (rig.scratch.path() / "puertos" / "COM7").string() + ")");
    auto* grabar = varios->findChild<QPushButton*>(QStringLiteral("cmdGrabar"));
    auto* cerrar = varios->findChild<QPushButton*>(QStringLiteral("cmdCerrar"));
    grabar->click();
    EXPECT_TRUE(varios->recordingRunning());
    EXPECT_FALSE(cerrar->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!varios->recordingRunning(), 60000);
    EXPECT_TRUE(cerrar->isEnabled());
    ASSERT_EQ(varios->recordedPorts(), (std::vector<std::string>{"3", "7"}));
    for (std::size_t k = 0; k < 2; ++k) {
        SCOPED_TRACE(varios->recordedPorts()[k]);
        std::vector<std::string> expected = oneSignLines;
        expected.front() = "Usando puerto COM " + varios->recordedPorts()[k] + ".";
        EXPECT_EQ(varios->log(k).lines(), expected);
        EXPECT_EQ(varios->verdict(k), "La grabación se realizó sin errores.");
        const auto* shown = varios->findChild<QLabel*>(QString::fromStdString("lblVeredictoCOM" + varios->recordedPorts()[k]));
        EXPECT_EQ(shown ? shown->text().toStdString() : "", varios->verdict(k));
    }
    // Turnero 2 into sign 7 only, after its question.
    list->item(0)->setCheckState(Qt::Unchecked);
    varios->findChild<QRadioButton*>(QStringLiteral("optGrabTurnero"))->setChecked(true);
    varios->findChild<QComboBox*>(QStringLiteral("cboTurnEstilo"))->setCurrentIndex(1);
    rig.dialogs.clear();
    grabar->click();
    EXPECT_EQ(rig.dialogs.texts(), (std::vector<std::string>{std::string(kTurneroPregunta)}));
    QTRY_VERIFY_WITH_TIMEOUT(!varios->recordingRunning(), 60000);
    EXPECT_EQ(varios->recordedPorts(), (std::vector<std::string>{"7"}));
    EXPECT_EQ(varios->verdict(0), "La grabación se realizó sin errores.");
    cerrar->click();
    EXPECT_TRUE(!varios->isVisible() && rig.window->isEnabled());
    EXPECT_EQ(signs[0]->stop().bytes, totalBytes);
    EXPECT_GT(signs[1]->stop().bytes.size(), totalBytes.size() + 1000);  // and 100 turns
}

}  // namespace
}  // namespace letrador::testing
