// The virtual sign's window: one LED strip per received paragraph with the columns the
// recording sent, the turn display's grid, the status line; and cartel-virtual --ventana as a
// process, with a (offscreen) display and without one.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QLabel>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/led_preview.h"
#include "message/effect_tags.h"
#include "message/sign_preview.h"
#include "signlink/recording_commands.h"
#include "signlink/turnero.h"
#include "signlink/turnero_digits.h"
#include "tests/signlink/sign_rig.h"
#include "tests/support/virtual_sign_process.h"
#include "tools/cartel-virtual/sign_display.h"
#include "tools/cartel-virtual/sign_window.h"
#include "tools/cartel-virtual/virtual_sign.h"

namespace letrador::cartel {
namespace {

namespace fs = std::filesystem;
using letrador::testing::Bytes;
using letrador::testing::ScratchFolder;
using letrador::testing::SignRig;
using letrador::testing::VirtualSignProcess;

}  // namespace
}  // namespace letrador::cartel

// Readable failures.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace letrador::cartel {
namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "test_sign_window";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

std::string ShippedFont(const std::string& name) {
    return (fs::path(LETRADOR_BINARY_DIR) / "work" / "tipografias" / (name + ".ffv")).string();
}

struct VirtualRig : SignRig {
    VirtualSign sign;
    VirtualRig() {
        link.setResponder([this](std::uint8_t b) {
            const auto r = sign.receive(b);
            return r ? platform::ScriptedSerialLink::Reply(r->byte)
                     : platform::ScriptedSerialLink::Silence();
        });
    }
};

Bytes RecordMessage(const std::vector<ParrafoAGrabar>& parrafos) {
    VirtualRig rig;
    OpcionesGrabacion o;
    o.textoPuerto = "3";
    o.spaceWidth = 3;
    EXPECT_TRUE(RecordWholeMessage(rig.grabador, parrafos, o));
    return rig.link.written;
}

Bytes RecordTurnDisplay(int style) {
    VirtualRig rig;
    Turnero turnero(rig.grabador);
    EXPECT_TRUE(turnero.GrabarTurnero(style, "3"));
    return rig.link.written;
}

const std::vector<std::u32string> kTexts = {U"<4>HOLA MUNDO", U"", U"Turno <0>42<3> ¡ya!"};

std::vector<ParrafoAGrabar> Paragraphs(const std::string& font) {
    std::vector<ParrafoAGrabar> out;
    for (const auto& t : kTexts) out.push_back({t, font, 1, false});
    return out;
}

// --- The window ---

TEST(SignWindow, OneStripPerParagraphAndTheStatusLine) {
    App();
    const std::string font = ShippedFont("negrita");
    const Bytes sent = RecordMessage(Paragraphs(font));
    SignDisplay display;
    SignWindow window(display);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Cartel virtual"));
    EXPECT_EQ(window.statusLabel()->text(), QStringLiteral("Esperando..."));
    EXPECT_TRUE(window.paragraphStrips().empty());

    display.append(std::span(sent).first(4));
    window.refresh();
    EXPECT_EQ(window.statusLabel()->text(), QStringLiteral("Recibiendo: 4 bytes"));
    EXPECT_TRUE(window.paragraphStrips().empty());

    display.append(std::span(sent).subspan(4, sent.size() - 5));
    window.refresh();
    EXPECT_EQ(window.statusLabel()->text(),
              QStringLiteral("Recibiendo: %1 bytes").arg(sent.size() - 1));
    display.append(std::span(sent).last(1));
    window.refresh();
    EXPECT_EQ(window.statusLabel()->text(), QStringLiteral("Grabación completa"));

    ASSERT_EQ(window.paragraphStrips().size(), kTexts.size());
    for (std::size_t k = 0; k < kTexts.size(); ++k) {
        const SignPreview expected = ComputeSignPreview(kTexts[k], font, 1, 3);
        const LedStrip* strip = window.paragraphStrips()[k];
        EXPECT_EQ(strip->columns(), expected.columns) << k;
        ASSERT_EQ(strip->markers().size(), expected.markers.size()) << k;
        for (std::size_t m = 0; m < expected.markers.size(); ++m) {
            EXPECT_EQ(strip->markers()[m].column, expected.markers[m].column);
            EXPECT_EQ(strip->markers()[m].code, expected.markers[m].code);
            EXPECT_EQ(strip->markers()[m].toolTip, EffectListText(expected.markers[m].code));
        }
        EXPECT_EQ(window.paragraphLabels()[k]->text(), QStringLiteral("Párrafo %1").arg(k + 1));
    }
    // The turn display's grid is there, empty.
    for (int n = 0; n < kTurnNumbers; ++n) {
        EXPECT_TRUE(window.turnCell(n)->columns().empty());
        EXPECT_EQ(window.turnCellLabel(n)->text(),
                  QString::fromStdString((n < 10 ? "0" : "") + std::to_string(n)));
    }

    // A shorter message afterwards leaves one strip.
    const Bytes next = RecordMessage({{U"FIN", font, 0, false}});
    display.append(next);
    window.refresh();
    ASSERT_EQ(window.paragraphStrips().size(), 1u);
    EXPECT_EQ(window.paragraphStrips()[0]->columns(), ComputeSignPreview(U"FIN", font, 0, 3).columns);
}

TEST(SignWindow, TurnDisplayGrid) {
    App();
    SignDisplay display;
    SignWindow window(display);
    const Bytes sent = RecordTurnDisplay(1);
    window.refresh();
    EXPECT_TRUE(window.turnGrid()->isHidden());
    EXPECT_EQ(window.turnLabel()->text(), QStringLiteral("Turnero: no se recibió ninguno"));
    // Half of it first: the cells fill as the entries come.
    display.append(std::span(sent).first(4 + 15 * 50));
    window.refresh();
    EXPECT_FALSE(window.turnGrid()->isHidden());
    EXPECT_EQ(window.turnLabel()->text(), QStringLiteral("Turnero (estilo 1)"));
    EXPECT_FALSE(window.turnCell(49)->columns().empty());
    EXPECT_TRUE(window.turnCell(50)->columns().empty());
    display.append(std::span(sent).subspan(4 + 15 * 50));
    window.refresh();
    EXPECT_EQ(window.statusLabel()->text(), QStringLiteral("Grabación completa"));
    EXPECT_TRUE(window.paragraphStrips().empty());
    for (int n = 0; n < kTurnNumbers; ++n) {
        Bytes expected;
        for (auto b : ColumnasDigito(n / 10, 1)) expected.push_back(b);
        expected.push_back(0x80);
        for (auto b : ColumnasDigito(n % 10, 1)) expected.push_back(b);
        EXPECT_EQ(window.turnCell(n)->columns(), expected) << n;
    }
}

TEST(SignWindow, BytesInARowAreDrawnSoonAfter) {
    App();
    SignDisplay display;
    SignWindow window(display);
    const Bytes sent = RecordMessage({{U"HOLA", ShippedFont("normal"), 1, false}});
    for (std::uint8_t b : sent) {
        display.append(std::span(&b, 1));
        window.scheduleRefresh();
    }
    // Nothing is drawn at once...
    EXPECT_EQ(window.statusLabel()->text(), QStringLiteral("Esperando..."));
    // ...and everything once the event loop has run a little.
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(window.statusLabel()->text(), QStringLiteral("Grabación completa"));
    ASSERT_EQ(window.paragraphStrips().size(), 1u);
}

// --- cartel-virtual --ventana as a process ---

// Sets environment variables for the life of the object, then puts them back.
class Environment {
  public:
    void set(const char* name, const char* value) {
        remember(name);
        if (value) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~Environment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second) {
                ::setenv(it->first.c_str(), it->second->c_str(), 1);
            } else {
                ::unsetenv(it->first.c_str());
            }
        }
    }

  private:
    void remember(const char* name) {
        const char* v = ::getenv(name);
        saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// Plays `bytes` to the sign one exchange at a time, as the recording did; the replies (-1 for
// none within `waitMs`).
std::vector<int> Exchange(const fs::path& port, const Bytes& bytes, int waitMs = 1000) {
    std::vector<int> out;
    const int fd = ::open(port.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) return out;
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    for (std::uint8_t b : bytes) {
        int reply = -1;
        if (::write(fd, &b, 1) == 1) {
            pollfd p{fd, POLLIN, 0};
            std::uint8_t r = 0;
            if (::poll(&p, 1, waitMs) > 0 && ::read(fd, &r, 1) == 1) reply = r;
        }
        out.push_back(reply);
    }
    ::close(fd);
    return out;
}

// What the sign's state machine answers to `bytes` with `faults`.
std::vector<int> Expected(const Bytes& bytes, Faults faults = {}) {
    VirtualSign sign(std::move(faults));
    std::vector<int> out;
    for (std::uint8_t b : bytes) {
        const auto r = sign.receive(b);
        out.push_back(r ? r->byte : -1);
    }
    return out;
}

// Whether the process has a Qt platform plugin loaded: a window was made.
bool HasPlatformPlugin(pid_t pid) {
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.find("platforms/libq") != std::string::npos) return true;
    }
    return false;
}

const char* const kNotice = "Sin pantalla: el cartel virtual sigue sin ventana.";

TEST(CartelVirtualVentana, OffscreenWindowAnswersARecording) {
    Environment env;
    env.set("QT_QPA_PLATFORM", "offscreen");
    ScratchFolder work;
    const Bytes sent = RecordMessage(Paragraphs(ShippedFont("normal")));
    VirtualSignProcess sign(work.path(), 7, {"--ventana"});
    std::string why;
    ASSERT_TRUE(sign.start(&why)) << why;
    EXPECT_EQ(sign.device().rfind("/dev/pts/", 0), 0u) << sign.device();
    EXPECT_EQ(Exchange(sign.linkPath(), sent), Expected(sent));
    EXPECT_TRUE(HasPlatformPlugin(sign.pid()));
    const auto rec = sign.stop();
    EXPECT_EQ(rec.exitCode, 0);
    EXPECT_EQ(rec.errors.find(kNotice), std::string::npos) << rec.errors;
    EXPECT_EQ(rec.bytes, sent);
    ASSERT_TRUE(rec.decoded) << rec.listing;
    EXPECT_EQ(*rec.decoded, DecodeStream(sent));
    EXPECT_FALSE(fs::exists(fs::symlink_status(sign.linkPath())));
}

TEST(CartelVirtualVentana, FaultsWorkWithTheWindow) {
    Environment env;
    env.set("QT_QPA_PLATFORM", "offscreen");
    ScratchFolder work;
    const Bytes sent = RecordTurnDisplay(2);
    VirtualSignProcess sign(work.path(), 7,
                            {"--ventana", "--silencio-solo", "1", "--eco-erroneo", "40:0x33",
                             "--tarde", "50:200"});
    ASSERT_TRUE(sign.start());
    Faults faults;
    faults.silentAt = {1};
    faults.wrongReply[40] = 0x33;
    faults.lateMs[50] = 200;
    // The late reply comes within the wait.
    EXPECT_EQ(Exchange(sign.linkPath(), sent, 500), Expected(sent, faults));
    const auto rec = sign.stop();
    EXPECT_EQ(rec.exitCode, 0);
    EXPECT_EQ(rec.bytes, sent);
}

TEST(CartelVirtualVentana, WithoutADisplayItSaysSoAndWorksOn) {
    Environment env;
    env.set("QT_QPA_PLATFORM", nullptr);
    env.set("DISPLAY", nullptr);
    env.set("WAYLAND_DISPLAY", nullptr);
    ScratchFolder work;
    const Bytes sent = RecordMessage(Paragraphs(ShippedFont("angosta")));
    VirtualSignProcess sign(work.path(), 7, {"--ventana"});
    std::string why;
    ASSERT_TRUE(sign.start(&why)) << why;
    EXPECT_EQ(Exchange(sign.linkPath(), sent), Expected(sent));
    EXPECT_FALSE(HasPlatformPlugin(sign.pid()));
    const auto rec = sign.stop();
    EXPECT_EQ(rec.exitCode, 0);
    EXPECT_EQ(rec.errors, std::string(kNotice) + "\n");
    EXPECT_EQ(rec.bytes, sent);
    ASSERT_TRUE(rec.decoded);
    EXPECT_EQ(*rec.decoded, DecodeStream(sent));
}

TEST(CartelVirtualVentana, NoNoticeWithoutTheOption) {
    Environment env;
    env.set("QT_QPA_PLATFORM", nullptr);
    env.set("DISPLAY", nullptr);
    env.set("WAYLAND_DISPLAY", nullptr);
    ScratchFolder work;
    // Without --ventana there is no notice at all.
    VirtualSignProcess sign(work.path(), 7);
    ASSERT_TRUE(sign.start());
    const auto rec = sign.stop();
    EXPECT_EQ(rec.errors, "");
}

}  // namespace
}  // namespace letrador::cartel
