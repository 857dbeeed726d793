// A Dialogs double for tests: records every box and answers questions from a script.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace platform {

class ScriptedDialogs : public Dialogs {
public:
    struct Shown {
        bool isQuestion;
        std::string text;
        std::string title;
        std::vector<std::string> buttons = {};  // of a question with buttons of its own
    };
    std::vector<Shown> shown;

    // Answers for the next questions, in order; then `defaultAnswer`.
    void answerNext(bool yes) { answers_.push_back(yes); }
    bool defaultAnswer = true;
    // The buttons pressed in the next questions with buttons of their own; then the first.
    void chooseNext(int button) { choices_.push_back(button); }

    void information(const std::string& text, const std::string& title) override {
        shown.push_back({false, text, title});
    }
    bool question(const std::string& text, const std::string& title) override {
        shown.push_back({true, text, title});
        if (answers_.empty()) return defaultAnswer;
        const bool yes = answers_.front();
        answers_.pop_front();
        return yes;
    }
    int choose(const std::string& text, const std::string& title,
               const std::vector<std::string>& buttons) override {
        shown.push_back({true, text, title, buttons});
        if (choices_.empty()) return 0;
        const int button = choices_.front();
        choices_.pop_front();
        return button;
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& s : shown) out.push_back(s.text);
        return out;
    }
    void clear() { shown.clear(); }

private:
    std::deque<bool> answers_;
    std::deque<int> choices_;
};

}  // namespace platform
