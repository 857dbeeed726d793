#include "platform/telnet_codec.h"

namespace platform::telnet {
namespace {

void Command(Bytes& out, std::uint8_t verb, std::uint8_t option) {
    out.insert(out.end(), {kIAC, verb, option});
}

// IAC SB COM-PORT-OPTION command value... IAC SE, with 0xFF in the value doubled.
void ComPort(Bytes& out, std::uint8_t command, const Bytes& value) {
    out.insert(out.end(), {kIAC, kSB, kOptComPort, command});
    for (auto b : value) Codec::encode(b, out);
    out.insert(out.end(), {kIAC, kSE});
}

constexpr std::uint32_t kBaudRate = 9600;

}  // namespace

Bytes Codec::greeting() {
    Bytes out;
    for (std::uint8_t option : {kOptBinary, kOptSuppressGoAhead}) {
        askedUs_[option] = true;
        Command(out, kWILL, option);
        askedHim_[option] = true;
        Command(out, kDO, option);
    }
    if (role_ == Role::Client) {
        askedUs_[kOptComPort] = true;
        Command(out, kWILL, kOptComPort);
    } else {
        askedHim_[kOptComPort] = true;
        Command(out, kDO, kOptComPort);
    }
    return out;
}

void Codec::encode(std::uint8_t byte, Bytes& out) {
    out.push_back(byte);
    if (byte == kIAC) out.push_back(kIAC);
}

bool Codec::localAllowed(std::uint8_t option) const {
    return option == kOptBinary || option == kOptSuppressGoAhead ||
           (option == kOptComPort && role_ == Role::Client);
}

// A server's echo would come back as a second reply to every byte, so it is refused.
bool Codec::remoteAllowed(std::uint8_t option) const {
    return option == kOptBinary || option == kOptSuppressGoAhead ||
           (option == kOptComPort && role_ == Role::Server);
}

void Codec::decode(const std::uint8_t* bytes, std::size_t count, Bytes& data, Bytes& answer) {
    for (std::size_t k = 0; k < count && !failed_; ++k) {
        const std::uint8_t b = bytes[k];
        switch (state_) {
            case State::Data:
                if (b == kIAC) {
                    state_ = State::Iac;
                } else {
                    data.push_back(b);
                }
                break;
            case State::Iac:
                if (b == kIAC) {
                    data.push_back(kIAC);
                    state_ = State::Data;
                } else if (b >= kWILL) {
                    verb_ = b;
                    state_ = State::Verb;
                } else if (b == kSB) {
                    sub_.clear();
                    state_ = State::Sub;
                } else {
                    // NOP, go-ahead and the other one-byte commands mean nothing to the data.
                    state_ = State::Data;
                }
                break;
            case State::Verb:
                negotiate(verb_, b, answer);
                state_ = State::Data;
                break;
            case State::Sub:
                if (b == kIAC) {
                    state_ = State::SubIac;
                } else if (sub_.size() >= kMaxSubnegotiation) {
                    failed_ = true;
                } else {
                    sub_.push_back(b);
                }
                break;
            case State::SubIac:
                if (b == kSE) {
                    subnegotiation(answer);
                    state_ = State::Data;
                } else {
                    // IAC IAC inside a subnegotiation is one 0xFF of its value.
                    sub_.push_back(b);
                    state_ = State::Sub;
                }
                break;
        }
    }
}

// Each option is answered only when its state changes, and a reply to this side's own request
// is not answered again, so that the two sides never loop.
void Codec::negotiate(std::uint8_t verb, std::uint8_t option, Bytes& answer) {
    switch (verb) {
        case kWILL:
            if (him_[option]) break;
            if (remoteAllowed(option)) {
                him_[option] = true;
                if (!askedHim_[option]) Command(answer, kDO, option);
            } else if (!askedHim_[option]) {
                Command(answer, kDONT, option);
            }
            askedHim_[option] = false;
            break;
        case kWONT:
            if (him_[option]) Command(answer, kDONT, option);
            if (askedHim_[option] || him_[option]) refusedHim_[option] = true;
            him_[option] = false;
            askedHim_[option] = false;
            break;
        case kDO:
            if (us_[option]) break;
            if (localAllowed(option)) {
                us_[option] = true;
                if (!askedUs_[option]) Command(answer, kWILL, option);
                if (option == kOptComPort) requestLineSettings(answer);
            } else if (!askedUs_[option]) {
                Command(answer, kWONT, option);
            }
            askedUs_[option] = false;
            break;
        case kDONT:
            if (us_[option]) Command(answer, kWONT, option);
            if (askedUs_[option] || us_[option]) refusedUs_[option] = true;
            us_[option] = false;
            askedUs_[option] = false;
            break;
    }
}

void Codec::requestLineSettings(Bytes& answer) {
    if (role_ != Role::Client || settingsSent_) return;
    settingsSent_ = true;
    ComPort(answer, kSetBaudRate,
            {static_cast<std::uint8_t>(kBaudRate >> 24), static_cast<std::uint8_t>(kBaudRate >> 16),
             static_cast<std::uint8_t>(kBaudRate >> 8), static_cast<std::uint8_t>(kBaudRate)});
    ComPort(answer, kSetDataSize, {8});
    ComPort(answer, kSetParity, {kParityNone});
    ComPort(answer, kSetStopSize, {kOneStopBit});
    ComPort(answer, kSetControl, {kNoFlowControl});
}

void Codec::subnegotiation(Bytes& answer) {
    if (sub_.size() < 2 || sub_[0] != kOptComPort) return;
    const std::uint8_t command = sub_[1];
    const Bytes value(sub_.begin() + 2, sub_.end());
    if (role_ == Role::Client) {
        if (command > kServerOffset && command <= kServerOffset + kSetControl) {
            acked_[command - kServerOffset] = true;
            ackedValue_[command - kServerOffset] = value;
        }
        return;
    }
    // The server takes the settings (a virtual line has no baud rate to change) and
    // acknowledges each with what it now uses; notifications and the rest need no answer.
    if (command < kSetBaudRate || command > kSetControl) return;
    Bytes now = value;
    if (command == kSetBaudRate && value.size() == 4) {
        const std::uint32_t asked = (std::uint32_t{value[0]} << 24) |
                                    (std::uint32_t{value[1]} << 16) |
                                    (std::uint32_t{value[2]} << 8) | value[3];
        // 0 asks for the current value.
        if (asked != 0) requestedBaud_ = asked;
        const std::uint32_t rate = requestedBaud_ ? requestedBaud_ : kBaudRate;
        now = {static_cast<std::uint8_t>(rate >> 24), static_cast<std::uint8_t>(rate >> 16),
               static_cast<std::uint8_t>(rate >> 8), static_cast<std::uint8_t>(rate)};
    } else if (value == Bytes{0}) {
        now = {command == kSetDataSize ? std::uint8_t{8} : std::uint8_t{1}};
    }
    ComPort(answer, static_cast<std::uint8_t>(command + kServerOffset), now);
}

namespace {

std::string Number(const Bytes& value) {
    std::uint32_t n = 0;
    for (auto b : value) n = (n << 8) | b;
    return std::to_string(n);
}

std::string Named(const Bytes& value, std::initializer_list<const char*> names) {
    if (value.size() == 1 && value[0] >= 1 && value[0] <= names.size())
        return *(names.begin() + (value[0] - 1));
    return Number(value);
}

}  // namespace

Agreement Codec::agreement() const {
    auto refused = [](std::string reason) { return Agreement{Agreement::State::Refused, reason}; };
    if (refusedUs_[kOptComPort]) return refused("el servidor no admite RFC 2217 (COM-PORT-CONTROL)");
    if (refusedUs_[kOptBinary] || refusedHim_[kOptBinary])
        return refused("el servidor no aceptó el modo binario");
    const std::uint8_t baud[] = {static_cast<std::uint8_t>(kBaudRate >> 24),
                                 static_cast<std::uint8_t>(kBaudRate >> 16),
                                 static_cast<std::uint8_t>(kBaudRate >> 8),
                                 static_cast<std::uint8_t>(kBaudRate)};
    const struct {
        std::uint8_t command;
        Bytes wanted;
        std::string what;
        std::string given;
    } settings[] = {
        {kSetBaudRate, Bytes(std::begin(baud), std::end(baud)), "9600 baudios",
         Number(ackedValue_[kSetBaudRate])},
        {kSetDataSize, {8}, "8 bits de datos", Number(ackedValue_[kSetDataSize])},
        {kSetParity, {kParityNone}, "trabajar sin paridad",
         "paridad " + Named(ackedValue_[kSetParity], {"ninguna", "impar", "par", "marca", "espacio"})},
        {kSetStopSize, {kOneStopBit}, "1 bit de parada",
         Named(ackedValue_[kSetStopSize], {"1 bit", "2 bits", "1,5 bits"}) + " de parada"},
        {kSetControl, {kNoFlowControl}, "trabajar sin control de flujo",
         "control de flujo " + Named(ackedValue_[kSetControl], {"ninguno", "XON/XOFF", "por hardware"})},
    };
    bool all = true;
    for (const auto& s : settings) {
        if (!acked_[s.command]) {
            all = false;
        } else if (ackedValue_[s.command] != s.wanted) {
            return refused("el servidor no aceptó " + s.what + " (respondió " + s.given + ")");
        }
    }
    if (all && us_[kOptBinary] && him_[kOptBinary]) return {Agreement::State::Agreed, {}};
    return {};
}

bool Codec::lineSettingsAcknowledged() const {
    for (std::uint8_t c = kSetBaudRate; c <= kSetControl; ++c) {
        if (!acked_[c]) return false;
    }
    return true;
}

}  // namespace platform::telnet
