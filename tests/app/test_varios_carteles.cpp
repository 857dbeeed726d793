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

using platform::ScriptedSerialLink;

struct VariosRig : AppRig {
    explicit VariosRig(std::set<int> ports) : AppRig(std::move(ports)) {
        signs.script = [this](std::size_t k, ScriptedSerialLink& l) {
            l.setResponder(CompatibleSign());
            if (silent.count(k)) l.setResponder([](std::uint8_t) { return ScriptedSerialLink::Silence(); });
            if (onByte) {
                auto sign = CompatibleSign();
                l.setResponder([this, &l, sign](std::uint8_t b) mutable {
                    onByte(l.written.size());
                    return sign(b);
                });
            }
        };
    }
    frmVarios& open() {
        action("menGrabVarios")->trigger();
        return *window->varios();
    }
    template <typename W>
    W* in(const char* name) const {
        return window->varios()->findChild<W*>(QString::fromUtf8(name));
    }
    QListWidget* list() const { return in<QListWidget>("lstPuertos"); }
    void check(std::initializer_list<int> rows) {
        for (int k = 0; k < list()->count(); ++k)
            list()->item(k)->setCheckState(std::find(rows.begin(), rows.end(), k) != rows.end()
                                               ? Qt::Checked
                                               : Qt::Unchecked);
    }
    const Bytes& wire(std::size_t sign) const { return signs.signs.at(sign)->link.written; }

    std::set<std::size_t> silent;  // the signs made in this order that never answer
    std::function<void(std::size_t written)> onByte;
};

TEST(VariosCarteles, RecordsTheCheckedSignsMarksEachVerdictAndRetriesOnlyTheFailedOnes) {
    VariosRig rig({3, 7, 12});
    rig.silent = {3};  // COM 12 the first time
    ASSERT_TRUE(rig.load());
    rig.window->show();
    rig.addParagraph(QStringLiteral("AB BA"));
    rig.addParagraph(QStringLiteral("<4>AAB"));
    // The one-sign "Total" on port 12, the chosen one: sign 0.
    rig.action("menGrabTotal")->trigger();
    const std::vector<std::string> oneSignLines = rig.logLines();
    const Bytes totalBytes = rig.wire(0);
    rig.recordingClose()->click();
    ASSERT_TRUE(rig.window->isEnabled());

    frmVarios& varios = rig.open();
    EXPECT_TRUE(varios.isVisible() && !rig.window->isEnabled());
    ASSERT_EQ(rig.list()->count(), 3);
    EXPECT_EQ(rig.list()->item(1)->text().toStdString(),
              "COM 7 (/dev/ttyS6)");
    rig.check({0, 1, 2});
    rig.in<QPushButton>("cmdGrabar")->click();
    ASSERT_FALSE(varios.recordingRunning());
    ASSERT_EQ(varios.recordedPorts(), (std::vector<std::string>{"3", "7", "12"}));
    const Verdict expected[] = {Verdict::Clean, Verdict::Clean, Verdict::Errors};
    const char* marks[] = {" ✔ sin errores", " ✔ sin errores", " ✘ con errores"};
    for (std::size_t k = 0; k < 3; ++k) {
        SCOPED_TRACE(varios.recordedPorts()[k]);
        EXPECT_EQ(varios.verdict(k), expected[k]);
        const std::string item = rig.list()->item(static_cast<int>(k))->text().toStdString();
        EXPECT_EQ(item.substr(item.size() - std::string(marks[k]).size()), marks[k]);
        if (k == 2) continue;
        std::vector<std::string> lines = oneSignLines;
        lines.front() = "Usando puerto COM " + varios.recordedPorts()[k] + ".";
        EXPECT_EQ(varios.log(k).lines(), lines);
        EXPECT_EQ(rig.wire(k + 1), totalBytes);
    }
    EXPECT_EQ(rig.in<QLabel>("lblResumen")->text().toStdString(),
              "Resumen: 2 sin errores, 1 con errores.");
    // Every sign's log is in sight without scrolling.
    auto* scroll = rig.in<QScrollArea>("scrCarteles");
    QCoreApplication::processEvents();
    for (const char* port : {"COM3", "COM7", "COM12"}) {
        auto* box = rig.in<QWidget>((std::string("fraCartel") + port).c_str());
        ASSERT_NE(box, nullptr) << port;
        const QRect inView(box->mapTo(scroll->viewport(), QPoint(0, 0)), box->size());
        EXPECT_TRUE(scroll->viewport()->rect().contains(inView)) << port;
    }

    // Only COM 12 is recorded again, now answering: sign 4.
    auto* retry = rig.in<QPushButton>("cmdReintentar");
    ASSERT_TRUE(retry->isEnabled());
    retry->click();
    EXPECT_EQ(varios.recordedPorts(), std::vector<std::string>{"12"});
    EXPECT_EQ(rig.signs.signs.size(), 5u);
    EXPECT_EQ(rig.wire(4), totalBytes);
    EXPECT_EQ(varios.verdict(0), Verdict::Clean);
    EXPECT_FALSE(retry->isEnabled());

    // Esc closes it when nothing records; opened again it shows no run.
    QTest::keyClick(&varios, Qt::Key_Escape);
    EXPECT_TRUE(!varios.isVisible() && rig.window->isEnabled());
    rig.open();
    EXPECT_TRUE(varios.recordedPorts().empty());
    EXPECT_EQ(rig.in<QWidget>("fraCartelCOM12"), nullptr);
    EXPECT_EQ(rig.list()->item(2)->text().toStdString(),
              "COM 12 (/dev/ttyS11)");
    EXPECT_TRUE(rig.in<QLabel>("lblResumen")->text().isEmpty());
}

// With no paragraph "&Total" is off, and so is the whole message here: the turn display is what
// gets recorded, after its question.
TEST(VariosCarteles, TheWholeMessageIsOfferedOnlyWhenTotalCouldRecordIt) {
    VariosRig rig({3});
    ASSERT_TRUE(rig.start());
    ASSERT_FALSE(rig.action("menGrabTotal")->isEnabled());
    rig.open();
    EXPECT_FALSE(rig.in<QRadioButton>("optGrabTotal")->isEnabled());
    EXPECT_TRUE(rig.in<QRadioButton>("optGrabTurnero")->isChecked());
    rig.check({0});
    rig.dialogs.answerNext(true);
    rig.in<QPushButton>("cmdGrabar")->click();
    EXPECT_EQ(rig.dialogs.texts(), (std::vector<std::string>{std::string(kTurneroPregunta)}));
    EXPECT_EQ(rig.wire(0).size(), 4u + 1500 + 3);
}

// Closing the window (or "&Detener") while the signs record: a Yes stops every sign at its next
// exchange and the window goes once they have; a No lets them finish.
TEST(VariosCarteles, ClosingWhileSignsRecordAsksWhetherToStopThem) {
    const struct {
        const char* name;
        bool byDetener, answer;
        Verdict verdict;
        bool visibleAfter;
    } cases[] = {
        {"close, Yes", false, true, Verdict::Stopped, false},
        {"close, No", false, false, Verdict::Clean, true},
        {"Detener", true, true, Verdict::Stopped, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VariosRig rig({3});
        ASSERT_TRUE(rig.start());
        rig.addParagraph(QStringLiteral("AAAA"));
        frmVarios& varios = rig.open();
        rig.check({0});
        // At the sixth byte the operator closes the window, or presses "&Detener".
        rig.onByte = [&](std::size_t written) {
            if (written != 6) return;
            rig.dialogs.answerNext(c.answer);
            if (c.byDetener) {
                rig.in<QPushButton>("cmdDetener")->click();
            } else {
                varios.close();
            }
        };
        rig.in<QPushButton>("cmdGrabar")->click();
        EXPECT_EQ(varios.verdict(0), c.verdict);
        EXPECT_EQ(rig.dialogs.shown.size(), c.byDetener ? 0u : 1u);
        if (c.verdict == Verdict::Stopped) {
            EXPECT_EQ(rig.wire(0).size(), 6u);
            EXPECT_EQ(varios.log(0).lines().back(), "Grabación detenida por el operador.");
        }
        EXPECT_EQ(varios.isVisible(), c.visibleAfter);
        EXPECT_EQ(rig.window->isEnabled(), !c.visibleAfter);
    }
}

}  // namespace
}  // namespace letrador::testing
