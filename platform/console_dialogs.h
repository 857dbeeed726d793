// Message boxes for programs without a window: every box is written as text to a stream
// (standard error), and Yes/No questions are answered by a fixed rule.
#pragma once

#include <istream>
#include <ostream>
#include <string>

#include "platform/dialogs.h"

namespace platform {

class ConsoleDialogs : public Dialogs {
  public:
    // How a question is answered:
    //  - Yes: always Yes, nothing is read;
    //  - No: always No, nothing is read;
    //  - AskWhenInteractive: when `in` is given (a terminal), the question waits for a line and
    //    only "s", "si" or "sí" (any letter case) answer Yes; without `in`, the answer is No.
    enum class Rule { Yes, No, AskWhenInteractive };

    // Each box is written as "<prefix>: <text>"; line breaks inside the text (CR LF) start new
    // lines indented under the first.
    ConsoleDialogs(std::ostream& out, std::string prefix, Rule rule = Rule::No,
                   std::istream* in = nullptr)
        : out_(out), prefix_(std::move(prefix)), rule_(rule), in_(in) {}

    void information(const std::string& text, const std::string& title = kApplicationTitle) override;
    bool question(const std::string& text, const std::string& title) override;

    void setRule(Rule rule, std::istream* in = nullptr) {
        rule_ = rule;
        in_ = in;
    }
    // Boxes shown so far.
    int shown() const { return shown_; }

    // "s", "si", "sí" in any letter case, blanks around allowed.
    static bool IsYes(const std::string& answer);

  private:
    void writeBox(const std::string& title, const std::string& text);

    std::ostream& out_;
    std::string prefix_;
    Rule rule_;
    std::istream* in_;
    int shown_ = 0;
};

}  // namespace platform
