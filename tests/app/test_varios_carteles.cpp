// "Grabación > Varios carteles…" over scripted signs, one line each: the main window's own
// "Total" gives the lines and bytes each sign must get; the window marks every sign's verdict,
// sums them up, tries the failed ones again, and stops the signs when closed while they record.
#include <gtest/gtest.h>

#include <QRadioButton>
#include <QScrollArea>

#include "signlink/frm_varios.h"
#include "signlink/turnero.h"
#include "tests/app/app_rig.h"

namespace letrador::testing {
namespace {

struct VariosRig : AppRig {
    explicit VariosRig(std::set<int> ports) : AppRig(std::move(ports)) {
        signs.script = [this](std::size_t k, platform::ScriptedSerialLink& l) {
            l.setResponder([this, k, &l, sign = CompatibleSign()](std::uint8_t b) mutable {
                if (onByte) onByte(l.written.size());
                return silent.count(k) ? kMute : sign(b);
            });
        };
    }
    frmVarios& open() {
        action("menGrabVarios")->trigger();
        return *window->varios();
    }
    template <typename W = QWidget>
    W* in(const char* name) const { return window->varios()->findChild<W*>(name); }
    QListWidget* list() const { return in<QListWidget>("lstPuertos"); }
    std::string item(int row) const { return list()->item(row)->text().toStdString(); }
    void check(std::set<int> rows) const {
        for (int k = 0; k < list()->count(); ++k) list()->item(k)->setCheckState(rows.count(k) ? Qt::Checked : Qt::Unchecked);
    }
    const Bytes& wire(std::size_t sign) const { return signs.signs.at(sign)->link.written; }

    std::set<std::size_t> silent;  // the signs, in the order they are made, that never answer
    std::function<void(std::size_t written)> onByte;
};

TEST(VariosCarteles, RecordsTheCheckedSignsMarksEachVerdictAndRetriesOnlyTheFailedOnes) {
    VariosRig rig({3, 7, 12});
    rig.silent = {3};  // COM 12 the first time
    ASSERT_TRUE(rig.start());
    rig.addParagraph("AB BA");
    rig.addParagraph("<4>AAB");
    rig.action("menGrabTotal")->trigger();  // on port 12, the chosen one: sign 0
    const Strings oneSign = rig.logLines();
    rig.recordingClose()->click();
    frmVarios& varios = rig.open();
    EXPECT_TRUE(varios.isVisible() && !rig.window->isEnabled());
    ASSERT_EQ(rig.list()->count(), 3);
    EXPECT_EQ(rig.item(1), "COM 7 (/dev/ttyS6)");
    rig.check({0, 1, 2});
    rig.in<QPushButton>("cmdGrabar")->click();
    ASSERT_FALSE(varios.recordingRunning());
    ASSERT_EQ(varios.recordedPorts(), (Strings{"3", "7", "12"}));
    const std::pair<Verdict, const char*> verdicts[] = {
        {Verdict::Clean, "COM 3 (/dev/ttyS2) ✔ sin errores"}, {Verdict::Clean, "COM 7 (/dev/ttyS6) ✔ sin errores"},
        {Verdict::Errors, "COM 12 (/dev/ttyS11) ✘ con errores"}};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(varios.verdict(k), verdicts[k].first);
        EXPECT_EQ(rig.item(k), verdicts[k].second);
        if (k == 2) continue;
        Strings lines = oneSign;
        lines.front() = "Usando puerto COM " + varios.recordedPorts()[k] + ".";
        EXPECT_EQ(varios.log(k).lines(), lines);
        EXPECT_EQ(rig.wire(k + 1), rig.wire(0));
    }
    EXPECT_EQ(rig.in<QLabel>("lblResumen")->text().toStdString(), "Resumen: 2 sin errores, 1 con errores.");
    auto* scroll = rig.in<QScrollArea>("scrCarteles");  // every sign's log in sight without scrolling
    QCoreApplication::processEvents();
    for (const char* port : {"COM3", "COM7", "COM12"}) {
        auto* box = rig.in((std::string("fraCartel") + port).c_str());
        ASSERT_NE(box, nullptr) << port;
        EXPECT_TRUE(scroll->viewport()->rect().contains({box->mapTo(scroll->viewport(), QPoint(0, 0)), box->size()}));
    }
    auto* retry = rig.in("cmdReintentar");  // only COM 12 again, now answering: sign 4
    ASSERT_TRUE(retry->isEnabled());
    rig.in<QPushButton>("cmdReintentar")->click();
    EXPECT_EQ(varios.recordedPorts(), Strings{"12"});
    EXPECT_EQ(rig.signs.signs.size(), 5u);
    EXPECT_EQ(rig.wire(4), rig.wire(0));
    EXPECT_TRUE(varios.verdict(0) == Verdict::Clean && !retry->isEnabled());
    QTest::keyClick(&varios, Qt::Key_Escape);  // closes it when nothing records
    EXPECT_TRUE(!varios.isVisible() && rig.window->isEnabled());
    rig.open();  // opened again it shows no run
    EXPECT_TRUE(varios.recordedPorts().empty() && rig.in<QLabel>("lblResumen")->text().isEmpty());
    EXPECT_EQ(rig.in("fraCartelCOM12"), nullptr);
    EXPECT_EQ(rig.item(2), "COM 12 (/dev/ttyS11)");
}

// Closing the window (or "&Detener") while the signs record: a Yes stops every sign at its next
// exchange and the window goes once they have; a No lets them finish. With no paragraph "&Total"
// is off, and so is the whole message here: the turn display is recorded, after its question.
TEST(VariosCarteles, ClosingWhileSignsRecordAsksWhetherToStopThem) {
    const std::tuple<const char*, const char*, bool, Verdict> cases[] = {  // paragraph, press, answer, verdict
        {"AAAA", "close", true, Verdict::Stopped}, {"AAAA", "close", false, Verdict::Clean},
        {"AAAA", "cmdDetener", true, Verdict::Stopped}, {"", "", true, Verdict::Clean}};
    for (const auto& [paragraph, press, yes, verdict] : cases) {
        SCOPED_TRACE(std::string(press) + (yes ? " yes" : " no"));
        VariosRig rig({3});
        ASSERT_TRUE(rig.start());
        const bool turnero = !*paragraph, byClose = press == std::string("close");
        if (!turnero) rig.addParagraph(paragraph);
        ASSERT_EQ(rig.action("menGrabTotal")->isEnabled(), !turnero);
        frmVarios& varios = rig.open();
        EXPECT_EQ(rig.in("optGrabTotal")->isEnabled(), !turnero);
        EXPECT_TRUE(!turnero || rig.in<QRadioButton>("optGrabTurnero")->isChecked());
        rig.check({0});
        rig.onByte = [&](std::size_t written) {  // at the sixth byte the operator closes or stops
            if (written != 6 || !*press) return;
            rig.dialogs.defaultAnswer = yes;
            byClose ? (void)varios.close() : rig.in<QPushButton>(press)->click();
        };
        rig.in<QPushButton>("cmdGrabar")->click();
        EXPECT_EQ(varios.verdict(0), verdict);
        EXPECT_EQ(rig.dialogs.shown.size(), byClose || turnero ? 1u : 0u);
        if (turnero) EXPECT_EQ(rig.dialogs.texts(), Strings{std::string(kTurneroPregunta)});
        if (turnero) EXPECT_EQ(rig.wire(0).size(), 4u + 1500 + 3);
        if (verdict == Verdict::Stopped) {
            EXPECT_EQ(rig.wire(0).size(), 6u);
            EXPECT_EQ(varios.log(0).lines().back(), "Grabación detenida por el operador.");
        }
        EXPECT_EQ(varios.isVisible(), !(byClose && yes));
        EXPECT_EQ(rig.window->isEnabled(), byClose && yes);
    }
}

}  // namespace
}  // namespace letrador::testing
