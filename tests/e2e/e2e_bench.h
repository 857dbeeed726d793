// The program's serial stack as a recording uses it (QtPortLink, QtEventPump, QtTicker,
// PuertoSerie, Grabador), the port resolved through the port mapping of a scratch work folder,
// and cartel-virtual running as a separate process behind WORK/puertos/COMn.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/qt_event_pump.h"
#include "platform/qt_port_link.h"
#include "settings/port_mapping.h"
#include "signlink/grabacion.h"
#include "signlink/puerto_serie.h"
#include "signlink/recording_log.h"
#include "tests/support/sample_font.h"
#include "tests/support/virtual_sign_process.h"

namespace letrador::testing {

using Bytes = std::vector<std::uint8_t>;

inline QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "test_e2e_sign";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

inline const Bytes kOpening = {0xC3, 0x01, 0xC3, 0x02};
inline const Bytes kClosing = {0xC9, 0xD2, 0xC5};

inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// H and A plain, E with a dark column inside it, I with dark columns after it (not sent).
inline std::vector<SampleGlyph> BenchGlyphs() {
    return {{"H", {0x7F, 0x08, 0x08, 0x7F}},
            {"E", {0x7F, 0x49, 0x00, 0x49, 0x41}},
            {"A", {0x7E, 0x09, 0x09, 0x7E}},
            {"I", {0x7F, 0x00, 0x00}}};
}

class E2eBench {
  public:
    // cartel-virtual for port `port`, with `signArgs` (its faults) after the link and record.
    explicit E2eBench(int port = 5, std::vector<std::string> signArgs = {})
        : sign(work.path(), port, std::move(signArgs)), portText(std::to_string(port)) {
        puerto.connect(ticker);
        font = (work.path() / "prueba.ffv").string();
        WriteFont(font, BenchGlyphs());
    }

    // Starts the sign; a failed start fails the test.
    bool startSign() {
        std::string why;
        const bool ok = sign.start(&why);
        if (!ok) ADD_FAILURE() << "cartel-virtual did not start: " << why;
        return ok;
    }

    // The "Grabando: ..." labels, in order.
    std::vector<std::string> percentLabels() const {
        std::vector<std::string> out;
        for (const auto& p : view.progressHistory()) {
            if (p.rfind("Grabando: ", 0) == 0) out.push_back(p);
        }
        return out;
    }

  private:
    struct AppFirst {
        AppFirst() { App(); }
    } app_;

  public:
    ScratchFolder work;
    VirtualSignProcess sign;
    std::string portText;
    std::string font;
    platform::QtPortLink link{[this](int n) { return PortDevicePath(work.path(), n); }};
    platform::QtEventPump pump;
    platform::QtTicker ticker;
    PlainRecordingView view;
    PuertoSerie puerto{link, pump, view};
    Grabador grabador{puerto, view};
};

}  // namespace letrador::testing
