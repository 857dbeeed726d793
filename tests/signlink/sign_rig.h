// The room's rig: a recording over the scripted serial line and simulated time, a compatible
// sign, and one font.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/scripted_serial_link.h"
#include "signlink/grabacion.h"
#include "signlink/puerto_serie.h"
#include "signlink/recording_log.h"
#include "tests/support/sample_font.h"

namespace letrador::testing {

using Bytes = std::vector<std::uint8_t>;
using Step = platform::ScriptedSerialLink::Step;
inline Step Ans(std::uint8_t b) { return platform::ScriptedSerialLink::Reply(b); }
inline const Step kMute = platform::ScriptedSerialLink::Silence();
// "7E 0909": bytes in hexadecimal, blanks between them optional.
inline Bytes Hex(std::string_view hex) {
    Bytes out;
    for (std::size_t k = 0; k < hex.size(); ++k)
        if (hex[k] != ' ')
            out.push_back(static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(k++, 2)), nullptr, 16)));
    return out;
}
// How a recording's log ends, joined as Joined() does.
inline const std::string kClosed =
    "Finalizando grabación...|La grabación se realizó sin errores.|Grabación finalizada.";
inline const std::string kFailed = "Hubo errores en la grabación.|Grabación finalizada.";
// A log's lines from line `from` on, joined by '|'.
inline std::string Joined(const std::vector<std::string>& lines, std::size_t from = 0) {
    std::string out;
    for (std::size_t k = from; k < lines.size(); ++k) out += (k > from ? "|" : "") + lines[k];
    return out;
}

// A compatible sign: outside a recording it acknowledges attention (C3) and the end byte (C5);
// right after an attention it answers the model query with its model and acknowledges the start
// byte, which begins a recording. A recording echoes every byte until C9 D2 C5, whose C5 it
// acknowledges.
class CompatibleSign {
  public:
    Step operator()(std::uint8_t b) {
        State& s = *state_;
        if (s.recording) {
            const bool closing = s.prev2 == 0xC9 && s.prev1 == 0xD2 && b == 0xC5;
            s.prev2 = std::exchange(s.prev1, b);
            if (!closing) return Ans(b);
            s = State{};
            return Ans(0xC4);
        }
        const bool armed = std::exchange(s.armed, b == 0xC3);
        if (b == 0xC3 || b == 0xC5) return Ans(0xC4);
        if (armed && b == 0x01) return Ans(0x5A);
        s.recording = armed && b == 0x02;
        return Ans(s.recording ? 0xC4 : b);
    }

  private:
    struct State {
        bool armed = false, recording = false;
        int prev1 = -1, prev2 = -1;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

struct SignRig {
    platform::ScriptedSerialLink link;
    platform::SimulatedTicker ticker;
    platform::SimulatedEventPump pump{link, ticker};
    PlainRecordingView view;
    PuertoSerie puerto{link, pump, view};
    Grabador grabador{puerto, view};

    SignRig() {
        puerto.connect(ticker);
        link.setResponder(CompatibleSign());
    }
    void script(const std::vector<Step>& steps) {
        for (const Step& s : steps) link.queue(s);
    }
    std::string log(std::size_t from = 0) const { return Joined(view.lines(), from); }
    // Bytes written after the first `skip`.
    Bytes writtenAfter(std::size_t skip) const {
        return Bytes(link.written.begin() + static_cast<long>(std::min(skip, link.written.size())),
                     link.written.end());
    }
    // The "Grabando: ..." labels, in order.
    std::vector<std::string> percentLabels() const {
        std::vector<std::string> out;
        for (const auto& p : view.progressHistory())
            if (p.rfind("Grabando: ", 0) == 0) out.push_back(p);
        return out;
    }
};

// The room's font, in a scratch folder: «A» 7E 09 09 7E, «I» 7F, «x» 78 78, «G» with a dark
// column inside, «B» all dark, «W» with a column outside a byte, and «<» and «3» to make a lone
// "<" visible.
struct RoomFont {
    ScratchFolder scratch;
    std::string path = (scratch.path() / "f.ffv").string();
    RoomFont() {
        WriteFont(path, {{"A", {0x7E, 0x09, 0x09, 0x7E}}, {"I", {0x7F}}, {"x", {0x78, 0x78}},
                         {"G", {0x41, 0x00, 0x22}}, {"B", {}}, {"W", {0x01, 300, 0x02}},
                         {"<", {0x10}}, {"3", {0x33}}});
    }
};

}  // namespace letrador::testing
