// The recording log and what a recording needs of the recording window (frmGraba) and the main
// window.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace letrador {

// The text of txtLog: lines separated by CR LF, no line break after the last one.
class RecordingLog {
  public:
    // Appends `texto`, on a new line when `nuevaLinea`. Always true.
    bool AgregarLog(std::string_view texto, bool nuevaLinea);
    void clear() { text_.clear(); }
    const std::string& text() const { return text_; }
    // Where the caret stands after an append: the end of the text.
    std::size_t caret() const { return text_.size(); }
    // The text split at CR LF (one empty line for an empty log).
    std::vector<std::string> lines() const;

  private:
    std::string text_;
};

// The one writer of the log, as the serial exchanges see it.
class LogWriter {
  public:
    virtual ~LogWriter() = default;
    virtual void AgregarLog(std::string_view texto, bool nuevaLinea) = 0;
};

// The recording window and the main window as an opening and a closing drive them.
class RecordingView : public LogWriter {
  public:
    // Disables the main window, shows frmGraba, hides its cmdCerrar and empties txtLog.
    virtual void prepare() = 0;
    // Sets lblProgreso; `percent` is the share sent that the label names, -1 for a phase.
    virtual void setProgress(std::string_view texto, int percent) = 0;
    // Shows cmdCerrar and gives it the focus.
    virtual void showClose() = 0;
};

// A window-less view: keeps the log, the label and the window states, and (when given a stream)
// prints every log line once it is complete, that is when the next line starts or the recording
// is closed.
class PlainRecordingView : public RecordingView {
  public:
    explicit PlainRecordingView(std::ostream* out = nullptr) : out_(out) {}
    ~PlainRecordingView() override { flush(); }

    void prepare() override;
    void AgregarLog(std::string_view texto, bool nuevaLinea) override;
    void setProgress(std::string_view texto, int percent) override;
    void showClose() override;
    // Prints the line still open, if any.
    void flush();

    const RecordingLog& log() const { return log_; }
    std::vector<std::string> lines() const { return log_.lines(); }
    const std::string& progress() const { return progress_; }
    int percent() const { return percent_; }
    // Every text lblProgreso was given since the last prepare(), in order.
    const std::vector<std::string>& progressHistory() const { return progressHistory_; }

    bool mainWindowEnabled = true;
    bool windowShown = false;
    bool closeButtonShown = false;
    bool closeButtonFocused = false;
    int prepareCount = 0;

  private:
    std::ostream* out_;
    RecordingLog log_;
    std::string progress_ = "Grabando";
    int percent_ = -1;
    std::vector<std::string> progressHistory_;
    std::string openLine_;
    bool lineOpen_ = false;
};

}  // namespace letrador
