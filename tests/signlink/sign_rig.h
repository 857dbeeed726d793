// A recording set up over the scripted serial line and simulated time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/scripted_serial_link.h"
#include "signlink/grabacion.h"
#include "signlink/puerto_serie.h"
#include "signlink/recording_log.h"

namespace letrador::testing {

using Bytes = std::vector<std::uint8_t>;
using Step = platform::ScriptedSerialLink::Step;
inline Step Ans(std::uint8_t b) { return platform::ScriptedSerialLink::Reply(b); }
inline const Step kMute = platform::ScriptedSerialLink::Silence();

// What a compatible sign answers. Outside a recording: the acknowledge to attention (0xC3) and to
// the end byte (0xC5); after attention, its model code to the model query and the acknowledge to
// the start byte, which begins a recording. During a recording every byte is echoed until the
// closing sequence C9 D2 C5, whose C5 is acknowledged.
class CompatibleSign {
  public:
    Step operator()(std::uint8_t b) {
        State& s = *state_;
        if (s.recording) {
            const bool closing = s.prev2 == 0xC9 && s.prev1 == 0xD2 && b == 0xC5;
            s.prev2 = s.prev1;
            s.prev1 = b;
            if (!closing) return Ans(b);
            s = State{};
            return Ans(0xC4);
        }
        const bool armed = s.armed;
        s.armed = b == 0xC3;
        if (b == 0xC3 || b == 0xC5) return Ans(0xC4);
        if (armed && b == 0x01) return Ans(0x5A);
        if (armed && b == 0x02) s.recording = true;
        return Ans(armed && b == 0x02 ? 0xC4 : b);
    }

  private:
    struct State {
        bool armed = false;
        bool recording = false;
        int prev1 = -1;
        int prev2 = -1;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

inline const Bytes kCleanOpening = {0xC3, 0x01, 0xC3, 0x02};
inline const Bytes kCleanClosing = {0xC9, 0xD2, 0xC5};

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
    // Bytes written after the first `skip`.
    Bytes writtenAfter(std::size_t skip) const {
        if (skip >= link.written.size()) return {};
        return Bytes(link.written.begin() + static_cast<long>(skip), link.written.end());
    }
    // The "Grabando: ..." labels, in order.
    std::vector<std::string> percentLabels() const {
        std::vector<std::string> out;
        for (const auto& p : view.progressHistory())
            if (p.rfind("Grabando: ", 0) == 0) out.push_back(p);
        return out;
    }
};

}  // namespace letrador::testing
