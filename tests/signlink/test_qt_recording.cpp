// A whole recording through the Qt serial link, event pump and ticker, against a sign answered
// from the other end of a pseudo-terminal, port COM5 mapped by puertos/COM5 in the work folder.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/qt_event_pump.h"
#include "platform/qt_serial_link.h"
#include "settings/port_mapping.h"
#include "signlink/recording_commands.h"
#include "tests/signlink/sign_rig.h"
#include "tests/support/sample_font.h"

namespace letrador::testing {
namespace {

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "test_signlink_qt_recording";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// The sign on the master side of a pty, answering on the event loop like a real one would.
class PtySign {
  public:
    PtySign() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        slave_ = ::ptsname(master_);
        termios t{};
        ::tcgetattr(master_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(master_, TCSANOW, &t);
        // Keeps the slave side alive between the link's openings.
        keep_ = ::open(slave_.c_str(), O_RDWR | O_NOCTTY);
        notifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { answer(); });
    }
    ~PtySign() {
        notifier_.reset();
        if (keep_ >= 0) ::close(keep_);
        if (master_ >= 0) ::close(master_);
    }
    bool ok() const { return master_ >= 0 && keep_ >= 0; }
    const std::string& slave() const { return slave_; }
    Bytes received;

  private:
    void answer() {
        unsigned char buf[256];
        const ssize_t got = ::read(master_, buf, sizeof buf);
        for (ssize_t k = 0; k < got; ++k) {
            received.push_back(buf[k]);
            const Step s = sign_(buf[k]);
            if (!s.reply.empty()) {
                [[maybe_unused]] ssize_t w = ::write(master_, s.reply.data(), s.reply.size());
            }
        }
    }
    int master_ = -1;
    int keep_ = -1;
    std::string slave_;
    CompatibleSign sign_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

TEST(QtRecording, CleanTwoParagraphRecordingOverAPty) {
    App();
    ScratchFolder work;
    PtySign sign;
    ASSERT_TRUE(sign.ok());
    std::filesystem::create_directories(work.path() / "puertos");
    std::filesystem::create_symlink(sign.slave(), work.path() / "puertos" / "COM5");
    const std::string font = (work.path() / "f.ffv").string();
    WriteFont(font, {{"A", {0x7E, 0x09, 0x09, 0x7E}}, {"I", {0x7F}}});

    platform::QtSerialLink link([&](int n) { return PortDevicePath(work.path(), n); });
    platform::QtEventPump pump;
    platform::QtTicker ticker;
    PlainRecordingView view;
    PuertoSerie puerto(link, pump, view);
    puerto.connect(ticker);
    Grabador grabador(puerto, view);

    OpcionesGrabacion opciones;
    opciones.textoPuerto = "5";
    EXPECT_TRUE(RecordWholeMessage(grabador, {{U"A I", font, 1, false}, {U"<3>I", font, 0, false}},
                                   opciones));
    EXPECT_EQ(view.log().text(),
              "Usando puerto COM 5.\r\n"
              "Reconociendo dispositivo...\r\n"
              "Cartel electrónico compatible.\r\n"
              "Comenzando grabación...\r\n"
              "Grabando párrafo 1 de 2... OK.\r\n"
              "Grabando párrafo 2 de 2... OK.\r\n"
              "Finalizando grabación...\r\n"
              "La grabación se realizó sin errores.\r\n"
              "Grabación finalizada.");
    EXPECT_EQ(sign.received,
              Bytes({0xC3, 0x01, 0xC3, 0x02,                                            // opening
                     0x7E, 0x09, 0x09, 0x7E, 0x80, 0x80, 0x80, 0x80, 0x7F, 0x80, 0xC9,  // A I
                     0xC8, 0x7F, 0xC9,                                                  // <3>I
                     0xC9, 0xD2, 0xC5}));                                               // closing
    EXPECT_FALSE(link.isOpen());
}

TEST(QtRecording, SilentPortTimesOutThroughTheRealTicker) {
    App();
    ScratchFolder work;
    // A pty whose master never answers.
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string slave = ::ptsname(master);
    platform::QtSerialLink link([&](int) { return slave; });
    platform::QtEventPump pump;
    platform::QtTicker ticker;
    PlainRecordingView view;
    PuertoSerie puerto(link, pump, view);
    puerto.connect(ticker);
    link.setPort(5);
    ASSERT_TRUE(link.open(nullptr));
    EXPECT_EQ(puerto.EnviarLeer(0xC3), -1);
    EXPECT_EQ(view.lines().back(), "Error de Timeout.");
    EXPECT_GE(puerto.ContadorTicks, 10);
    link.close();
    ::close(master);
}

}  // namespace
}  // namespace letrador::testing
