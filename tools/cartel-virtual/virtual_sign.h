// A compatible sign as a state machine: one received byte in, at most one reply out.
//
// Outside a recording it acknowledges the attention byte (C3 -> C4) and the end byte (C5 -> C4);
// right after an attention it answers the model query with its model (01 -> 5A) and the start
// byte with the acknowledge (02 -> C4), which begins a recording. Any other byte is echoed.
// During a recording every byte is echoed, the closing C9 D2 included, until the C5 that follows
// C9 D2, which is acknowledged (C4) and ends the recording. The turn display travels the same
// way: its columns, D0 and C9 are echoed like any other recording byte.
//
// A recording that the host abandoned (a time-out, then the port closed) gets no closing. The
// sign therefore goes back to waiting for an attention when no byte has come for `reposoMs`:
// the host's next opening comes after at least a time-out and a pause (1.3 s and more), while a
// live recording never leaves more than one time-out (1 s) between two bytes.
//
// Faults are tied to the 0-based index of a received byte, counted over the whole life of the
// sign (all recordings). They only change the reply; the byte counts as received and moves the
// state on as usual.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>

namespace letrador::cartel {

inline constexpr std::uint8_t kModeloPropio = 0x5A;
// Another model, for a sign that is not compatible.
inline constexpr std::uint8_t kOtroModelo = 0x5B;
// What a sign that refuses the start answers to 02 (a NAK).
inline constexpr std::uint8_t kRechazoInicio = 0x15;
inline constexpr long long kReposoMs = 1200;

struct Faults {
    // No reply to any byte from this index on (0: a sign that never answers).
    std::optional<long long> silentFrom;
    // No reply to these bytes only; the bytes after them are answered again.
    std::set<long long> silentAt;
    // The reply to these bytes leaves after the given delay in milliseconds.
    std::map<long long, int> lateMs;
    // The reply to these bytes is replaced: by the given value, or, when none was given, by the
    // proper reply with its lowest bit flipped.
    std::map<long long, std::optional<std::uint8_t>> wrongReply;
    // The answer to the model query.
    std::uint8_t model = kModeloPropio;
    // The start byte gets kRechazoInicio instead of the acknowledge, and no recording begins.
    bool refuseStart = false;
};

struct Reply {
    std::uint8_t byte = 0;
    int delayMs = 0;  // 0: at once
};

class VirtualSign {
  public:
    enum class State { Idle, Armed, Recording };

    explicit VirtualSign(Faults faults = {}, long long reposoMs = kReposoMs)
        : faults_(std::move(faults)), reposoMs_(reposoMs) {}

    // One received byte at `nowMs` (any monotonic clock in milliseconds); the reply, if any.
    // Never blocks: a late reply carries its delay and the caller sends it when due.
    std::optional<Reply> receive(std::uint8_t byte, long long nowMs = 0);

    State state() const { return state_; }
    // Bytes received so far; the index of the next one.
    long long received() const { return received_; }
    // Recordings ended with the closing sequence.
    long long recordingsClosed() const { return closed_; }
    // True when the last byte received ended a recording (its C5).
    bool lastEndedRecording() const { return lastEnded_; }
    const Faults& faults() const { return faults_; }

  private:
    // The fault-free answer, moving the state on.
    std::uint8_t answer(std::uint8_t byte);

    Faults faults_;
    long long reposoMs_;
    State state_ = State::Idle;
    long long received_ = 0;
    long long closed_ = 0;
    std::optional<long long> lastAtMs_;
    int prev1_ = -1;  // the last two bytes of the recording, for its closing
    int prev2_ = -1;
    bool lastEnded_ = false;
};

}  // namespace letrador::cartel
