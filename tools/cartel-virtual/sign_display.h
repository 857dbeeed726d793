// What the virtual sign shows, built from the bytes it received so far: the paragraphs of the
// last message as LED strips (their columns, a marker where each effect stands), the turn
// display's numbers 00-99 as the columns of each entry, and where the sign is (waiting,
// receiving, a recording complete). Plain C++, for the window to draw and for tests to read.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "message/sign_preview.h"
#include "tools/cartel-virtual/sign_decoder.h"

namespace letrador::cartel {

inline constexpr int kTurnNumbers = 100;

// One paragraph as a strip: the column bytes in order, effect codes left out, and a marker
// (PreviewMarker::Kind::Effect) before the column where each effect came, with the effect's
// list text as its tool tip. `position` is the item's index in the paragraph as received.
SignPreview StripOf(const Paragraph& paragraph);

// The grid cell of one turn-display number: the entry's column bytes as received (tens,
// blank, units), empty while that entry has not come.
struct TurnCell {
    std::vector<std::uint8_t> columns;
    bool received = false;  // some of its bytes came
    bool complete = false;  // its D0 C9 came
    bool operator==(const TurnCell&) const = default;
};

class SignDisplay {
  public:
    enum class State { Waiting, Receiving, Complete };

    // The bytes that came after those already given.
    void append(std::span<const std::uint8_t> bytes);

    long long received() const { return static_cast<long long>(bytes_.size()); }
    // Waiting before any byte; Complete when the last session ended with its closing;
    // Receiving otherwise.
    State state() const;
    // "Esperando...", "Recibiendo: N bytes", "Grabación completa".
    std::string statusText() const;

    // Everything decoded so far, as DecodeStream of all the bytes gives it.
    const SignRecord& record() const;
    // One strip per paragraph of the last session that held a message (a new message takes
    // the place of the old one with its first byte of text, or its closing); empty before
    // any.
    const std::vector<SignPreview>& strips() const;
    // 1-based number of the session the strips come from, 0 when none.
    int stripsRecording() const;
    // The numbers of the last turn display, cell n for the n-th entry it sent (00 first).
    const std::array<TurnCell, kTurnNumbers>& turnCells() const;
    // The digit style of that turn display, 0 when none came.
    int turnStyle() const;
    // Changes each time what is shown may have changed (for redrawing only what moved).
    long long revision() const { return revision_; }

  private:
    void update() const;

    std::vector<std::uint8_t> bytes_;
    long long revision_ = 0;
    // The decoding, brought up to date lazily: the sessions before the last one are final
    // (nothing received later moves them), so only the last one is decoded again.
    mutable long long decodedBytes_ = 0;
    mutable SignRecord record_;
    mutable long long finalStray_ = 0;  // stray bytes before the last session
    mutable std::vector<SignPreview> strips_;
    mutable int stripsRecording_ = 0;
    mutable std::array<TurnCell, kTurnNumbers> cells_{};
    mutable int turnStyle_ = 0;
};

}  // namespace letrador::cartel
