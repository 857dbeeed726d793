// "Probar" of a port: does a sign answer there? The port is opened and the sign recognised as a
// recording's opening does it (attention answered by the acknowledgement, then the model
// query answered by the sign's model), and the port is closed again; nothing is recorded.
// Plain C++: it runs on the thread of a platform::LinkThread.
#pragma once

#include <string>

#include "platform/event_pump.h"
#include "platform/serial_link.h"

namespace letrador {

struct SignProbe {
    enum class Outcome {
        Answered,    // a compatible sign answered
        NotOpened,   // the port, or the connection to its server, did not open
        NoReply,     // it opened, but no sign acknowledged the attention byte
        OtherModel,  // a sign acknowledged, but its model is another
    };
    Outcome outcome = Outcome::NotOpened;
    std::string reason;  // why it did not open, in words
};

// Probes port `numero` over `link`, waiting on `pump` with time-outs counted by `ticker`'s
// ticks. Leaves the link closed, and its handlers and the ticker's unset.
SignProbe ProbeSign(platform::SerialLink& link, platform::EventPump& pump, platform::Ticker& ticker,
                    int numero);

// What the window says of it, in Spanish.
std::string ProbeText(const SignProbe& probe);

}  // namespace letrador
