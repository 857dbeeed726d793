// The program's serial stack as a recording uses it (QtPortLink, QtEventPump, QtTicker,
// PuertoSerie, Grabador), the port resolved through the port mapping of a scratch work folder,
// and cartel-virtual running as a separate process behind WORK/puertos/COMn.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "platform/qt_event_pump.h"
#include "platform/qt_port_link.h"
#include "settings/port_mapping.h"
#include "signlink/grabacion.h"
#include "signlink/puerto_serie.h"
#include "signlink/recording_commands.h"
#include "signlink/turnero.h"
#include "tests/support/virtual_sign_process.h"

namespace letrador::testing {

using Bytes = std::vector<std::uint8_t>;
using Lines = std::vector<std::string>;

inline const Bytes kOpening = {0xC3, 0x01, 0xC3, 0x02};
inline const Bytes kClosing = {0xC9, 0xD2, 0xC5};

inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

class E2eBench {
  public:
    // cartel-virtual for port `port`, with `signArgs` (its faults) after the link and record.
    // Its font: H and A plain, E with a dark column inside, I with dark columns after it.
    explicit E2eBench(int port = 5, std::vector<std::string> signArgs = {})
        : sign(work.path(), port, std::move(signArgs)), portText(std::to_string(port)) {
        puerto.connect(ticker);
        WriteFont(font, {{"H", {0x7F, 0x08, 0x08, 0x7F}}, {"E", {0x7F, 0x49, 0x00, 0x49, 0x41}},
                         {"A", {0x7E, 0x09, 0x09, 0x7E}}, {"I", {0x7F, 0x00, 0x00}}});
    }
    // Starts the sign; a failed start fails the test.
    bool startSign() {
        std::string why;
        const bool ok = sign.start(&why);
        if (!ok) ADD_FAILURE() << "cartel-virtual did not start: " << why;
        return ok;
    }
    // "<4>HE A" with separation 2, then "I<A>I<3>" with none, paragraphs not joined, blanks of 3.
    bool recordTwoParagraphs(const std::string& fontPath = {}) {
        OpcionesGrabacion o;
        o.textoPuerto = portText;
        o.spaceWidth = 3;
        const std::string f = fontPath.empty() ? font : fontPath;
        return RecordWholeMessage(grabador, {{U"<4>HE A", f, 2, false}, {U"I<A>I<3>", f, 0, false}}, o);
    }

  private:
    struct AppFirst {
        AppFirst() {
            static int argc = 1;
            static char name[] = "test_e2e_sign";
            static char* argv[] = {name, nullptr};
            static QCoreApplication app(argc, argv);
        }
    } app_;

  public:
    ScratchFolder work;
    VirtualSignProcess sign;
    std::string portText;
    std::string font = (work.path() / "prueba.ffv").string();
    platform::QtPortLink link{[this](int n) { return PortDevicePath(work.path(), n); }};
    platform::QtEventPump pump;
    platform::QtTicker ticker;
    PlainRecordingView view;
    PuertoSerie puerto{link, pump, view};
    Grabador grabador{puerto, view};
};

}  // namespace letrador::testing
