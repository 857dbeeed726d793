#include "tools/cartel-virtual/virtual_sign.h"

#include "signlink/puerto_serie.h"

namespace letrador::cartel {

std::uint8_t VirtualSign::answer(std::uint8_t byte) {
    if (state_ == State::Recording) {
        const bool closing = prev2_ == CodSeparador && prev1_ == CodCierre && byte == CodFinal;
        prev2_ = prev1_;
        prev1_ = byte;
        if (!closing) return byte;
        state_ = State::Idle;
        prev1_ = prev2_ = -1;
        ++closed_;
        lastEnded_ = true;
        return CodAcuse;
    }
    const bool armed = state_ == State::Armed;
    state_ = State::Idle;
    if (byte == CodAtencion) {
        state_ = State::Armed;
        return CodAcuse;
    }
    if (armed && byte == CodModelo) return faults_.model;
    if (armed && byte == CodGrabar) {
        if (faults_.refuseStart) return kRechazoInicio;
        state_ = State::Recording;
        prev1_ = prev2_ = -1;
        return CodAcuse;
    }
    if (byte == CodFinal) return CodAcuse;
    return byte;
}

std::optional<Reply> VirtualSign::receive(std::uint8_t byte, long long nowMs) {
    if (reposoMs_ > 0 && lastAtMs_ && nowMs - *lastAtMs_ >= reposoMs_) {
        // The host gave up on whatever was under way.
        state_ = State::Idle;
        prev1_ = prev2_ = -1;
    }
    lastAtMs_ = nowMs;
    lastEnded_ = false;
    const long long index = received_++;
    std::uint8_t reply = answer(byte);

    if (faults_.silentFrom && index >= *faults_.silentFrom) return std::nullopt;
    if (faults_.silentAt.count(index)) return std::nullopt;
    if (auto wrong = faults_.wrongReply.find(index); wrong != faults_.wrongReply.end()) {
        reply = wrong->second ? *wrong->second : static_cast<std::uint8_t>(reply ^ 0x01);
    }
    Reply r{reply, 0};
    if (auto late = faults_.lateMs.find(index); late != faults_.lateMs.end()) {
        r.delayMs = late->second > 0 ? late->second : 0;
    }
    return r;
}

}  // namespace letrador::cartel
