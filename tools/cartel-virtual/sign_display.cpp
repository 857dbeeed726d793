#include "tools/cartel-virtual/sign_display.h"

namespace letrador::cartel {

SignPreview StripOf(const Paragraph& paragraph) {
    SignPreview strip;
    strip.columns.reserve(paragraph.items.size());
    for (std::size_t k = 0; k < paragraph.items.size(); ++k) {
        const Item& it = paragraph.items[k];
        if (it.isColumn()) {
            strip.columns.push_back(it.byte);
            continue;
        }
        const char32_t code = static_cast<unsigned char>(it.effect);
        strip.markers.push_back(
            {PreviewMarker::Kind::Effect, strip.columns.size(), k, code, TagToolTip(code)});
    }
    return strip;
}

void SignDisplay::append(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return;
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    ++revision_;
}

SignDisplay::State SignDisplay::state() const {
    if (bytes_.empty()) return State::Waiting;
    const SignRecord& r = record();
    if (!r.recordings.empty() && r.recordings.back().closed) return State::Complete;
    return State::Receiving;
}

std::string SignDisplay::statusText() const {
    switch (state()) {
        case State::Waiting:
            return "Esperando...";
        case State::Complete:
            return "Grabación completa";
        case State::Receiving:
            break;
    }
    return "Recibiendo: " + std::to_string(received()) + " bytes";
}

const SignRecord& SignDisplay::record() const {
    update();
    return record_;
}

const std::vector<SignPreview>& SignDisplay::strips() const {
    update();
    return strips_;
}

int SignDisplay::stripsRecording() const {
    update();
    return stripsRecording_;
}

const std::array<TurnCell, kTurnNumbers>& SignDisplay::turnCells() const {
    update();
    return cells_;
}

int SignDisplay::turnStyle() const {
    update();
    return turnStyle_;
}

void SignDisplay::update() const {
    if (decodedBytes_ == received()) return;
    decodedBytes_ = received();
    const std::span<const std::uint8_t> all(bytes_);

    // The last session may still grow or split, so it is decoded again from its first byte;
    // everything before it stays as it was.
    const std::size_t from =
        record_.recordings.empty() ? 0 : static_cast<std::size_t>(record_.recordings.back().firstByte);
    if (!record_.recordings.empty()) record_.recordings.pop_back();
    SignRecord tail = DecodeStream(all.subspan(from));
    for (Recording& r : tail.recordings) {
        r.firstByte += static_cast<long long>(from);
        record_.recordings.push_back(std::move(r));
    }
    record_.received = received();
    record_.strayBytes = finalStray_ + tail.strayBytes;
    if (!record_.recordings.empty()) {
        const auto newFrom = static_cast<std::size_t>(record_.recordings.back().firstByte);
        if (newFrom != from) {
            // The stray bytes before the new last session are final too.
            finalStray_ = record_.strayBytes - DecodeStream(all.subspan(newFrom)).strayBytes;
        }
    }

    // Redrawn from the sessions that hold a message and a turn display, the last of each.
    strips_.clear();
    stripsRecording_ = 0;
    cells_ = {};
    turnStyle_ = 0;
    const auto& recs = record_.recordings;
    for (std::size_t k = recs.size(); k-- > 0;) {
        if (recs[k].kind != Recording::Kind::Message) continue;
        // A message that only just began shows nothing yet: the old one stays meanwhile.
        if (recs[k].paragraphs.empty() && !recs[k].closed) continue;
        stripsRecording_ = static_cast<int>(k) + 1;
        for (const Paragraph& p : recs[k].paragraphs) strips_.push_back(StripOf(p));
        break;
    }
    for (std::size_t k = recs.size(); k-- > 0;) {
        if (recs[k].kind != Recording::Kind::TurnDisplay) continue;
        const TurnDisplay& t = recs[k].turn;
        turnStyle_ = t.style;
        // The entries go 00, 01, ... 99, so the n-th one is number n.
        for (std::size_t n = 0; n < t.entries.size() && n < cells_.size(); ++n) {
            cells_[n] = {t.entries[n].bytes, true, t.entries[n].complete};
        }
        break;
    }
}

}  // namespace letrador::cartel
