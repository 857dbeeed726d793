#include "signlink/recording_log.h"

namespace letrador {

bool RecordingLog::AgregarLog(std::string_view texto, bool nuevaLinea) {
    if (nuevaLinea) text_ += "\r\n";
    text_ += texto;
    return true;
}

std::vector<std::string> RecordingLog::lines() const {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (true) {
        std::size_t at = text_.find("\r\n", start);
        if (at == std::string::npos) {
            out.push_back(text_.substr(start));
            return out;
        }
        out.push_back(text_.substr(start, at - start));
        start = at + 2;
    }
}

void PlainRecordingView::prepare() {
    flush();
    ++prepareCount;
    mainWindowEnabled = false;
    windowShown = true;
    closeButtonShown = false;
    closeButtonFocused = false;
    log_.clear();
    progressHistory_.clear();
}

void PlainRecordingView::AgregarLog(std::string_view texto, bool nuevaLinea) {
    // A new line on an empty log leaves an empty first line behind it.
    if (nuevaLinea && log_.text().empty()) lineOpen_ = true;
    log_.AgregarLog(texto, nuevaLinea);
    if (nuevaLinea) flush();
    openLine_ += texto;
    lineOpen_ = true;
}

void PlainRecordingView::setProgress(std::string_view texto, int percent) {
    progress_ = std::string(texto);
    percent_ = percent;
    progressHistory_.push_back(progress_);
}

void PlainRecordingView::showClose() {
    closeButtonShown = true;
    closeButtonFocused = true;
    flush();
}

void PlainRecordingView::flush() {
    if (!lineOpen_) return;
    if (out_) *out_ << openLine_ << '\n' << std::flush;
    openLine_.clear();
    lineOpen_ = false;
}

}  // namespace letrador
