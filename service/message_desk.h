// The message files and fonts of the working folder as the pages use them: read as the program
// opens a message, drawn as the LED preview draws them, made into recording jobs as "&Total"
// makes them, and the quick message saved as a normal message file. Holds no state: any
// thread of the web server may use it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/app_core.h"
#include "message/paragraph_store.h"
#include "message/sign_preview.h"
#include "signlink/recording_job.h"

namespace letrador::service {

class MessageDesk {
  public:
    explicit MessageDesk(const AppCore& core) : core_(core) {}

    std::vector<std::string> messages() const;
    std::vector<std::string> fonts() const;

    struct Shown {
        bool ok = false;
        std::vector<std::string> boxes;  // the message boxes the program would have shown
        std::vector<ParagraphRecord> paragraphs;
        std::string capacity;  // the capacity label
        Int16 total = 0;
    };
    Shown read(const std::string& name) const;
    // Paragraph `k` (1-based) of the message; nothing when there is no such paragraph.
    std::optional<SignPreview> paragraphPreview(const std::string& name, int k) const;
    // The whole message as "&Total" records it; nothing, with the message boxes' texts in
    // `problem`, when it was refused.
    std::optional<WholeMessage> whole(const std::string& name, std::string& problem) const;

    // A one-paragraph message typed on the page, in font `font`.
    struct Quick {
        SignPreview preview;
        std::string capacity;  // "Capacidad ocupada: 3%" or "Capacidad excedida."
        bool exceeded = false;
    };
    Quick quick(const std::u32string& text, const std::string& font) const;
    std::optional<WholeMessage> quickWhole(const std::u32string& text, const std::string& font,
                                           std::string& problem) const;
    enum class Saved { Yes, Exists, No };
    // Writes it as mensajes/NAME; an existing file is replaced only with `overwrite`.
    Saved saveQuick(const std::u32string& text, const std::string& font, const std::string& name,
                    bool overwrite, std::string& problem) const;

  private:
    const AppCore& core_;
};

}  // namespace letrador::service
