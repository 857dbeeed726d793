// Message boxes: information with an OK button, Yes/No questions, and questions with buttons
// of their own. No icon.
#pragma once

#include <string>
#include <vector>

namespace platform {

inline constexpr const char* kApplicationTitle = "Letrador de Mensajes";

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Modal box with `text`, an OK button only and the title (the application's by default).
    virtual void information(const std::string& text, const std::string& title = kApplicationTitle) = 0;
    // Modal Yes/No question; true unless the answer is No.
    virtual bool question(const std::string& text, const std::string& title) = 0;
    // Modal question answered by one of `buttons` (left to right; "&" marks an access key): the
    // index of the button pressed. The last button is the one Esc and closing the box press.
    // Where there are no buttons of one's own, the Yes/No question stands for the first and the
    // last.
    virtual int choose(const std::string& text, const std::string& title,
                       const std::vector<std::string>& buttons) {
        const int last = buttons.empty() ? 0 : static_cast<int>(buttons.size()) - 1;
        return question(text, title) ? 0 : last;
    }
};

}  // namespace platform
