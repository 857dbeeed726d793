#include "signlink/recording_printer.h"

#include <string_view>
#include <type_traits>

namespace letrador {

namespace {
std::string PortPrefix(const std::string& port) { return "COM " + port + ": "; }
}  // namespace

RecordingPrinter::RecordingPrinter(std::ostream& out, std::vector<std::string> ports)
    : out_(out), ports_(std::move(ports)), prefixed_(ports_.size() > 1), verdicts_(ports_.size()) {
    for (std::size_t k = 0; k < ports_.size(); ++k) {
        pending_.push_back(std::make_unique<std::ostringstream>());
        views_.push_back(std::make_unique<PlainRecordingView>(pending_.back().get()));
    }
}

void RecordingPrinter::drain(std::size_t sign) {
    std::ostringstream& pending = *pending_[sign];
    const std::string text = pending.str();
    if (text.empty()) return;
    pending.str({});
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        if (prefixed_) out_ << PortPrefix(ports_[sign]);
        out_ << std::string_view(text).substr(start, end - start) << '\n';
    }
    out_ << std::flush;
}

void RecordingPrinter::operator()(const RecordingEvent& e) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::visit(
        [this](const auto& ev) {
            using T = std::decay_t<decltype(ev)>;
            if constexpr (std::is_same_v<T, event::LogLine>) {
                if (ev.sign >= views_.size()) return;
                views_[ev.sign]->AgregarLog(ev.text, ev.newLine);
                drain(ev.sign);
            } else if constexpr (std::is_same_v<T, event::SignEnded>) {
                if (ev.sign >= views_.size()) return;
                views_[ev.sign]->flush();
                drain(ev.sign);
                verdicts_[ev.sign] = ev.verdict;
            } else if constexpr (std::is_same_v<T, event::JobEnded>) {
                ended_ = true;
            }
        },
        e);
}

void RecordingPrinter::printSummary() {
    std::lock_guard<std::mutex> lock(mutex_);
    out_ << "Resumen:\n";
    for (std::size_t k = 0; k < ports_.size(); ++k) {
        out_ << PortPrefix(ports_[k])
             << (verdicts_[k] ? VerdictLine(*verdicts_[k]) : VerdictLine(Verdict::Errors)) << '\n';
    }
    out_ << std::flush;
}

bool RecordingPrinter::allClean() const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& v : verdicts_)
        if (v != Verdict::Clean) return false;
    return ended_;
}

bool RecordingPrinter::ended() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ended_;
}

}  // namespace letrador
