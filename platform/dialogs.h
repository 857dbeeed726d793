// Message boxes: information with an OK button, and Yes/No questions. No icon.
#pragma once

#include <string>

namespace platform {

inline constexpr const char* kApplicationTitle = "Letrador de Mensajes";

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Modal box with `text`, an OK button only and the title (the application's by default).
    virtual void information(const std::string& text, const std::string& title = kApplicationTitle) = 0;
    // Modal Yes/No question; true unless the answer is No.
    virtual bool question(const std::string& text, const std::string& title) = 0;
};

}  // namespace platform
