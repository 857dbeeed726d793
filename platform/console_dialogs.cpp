#include "platform/console_dialogs.h"

#include <cctype>

namespace platform {

void ConsoleDialogs::writeBox(const std::string& title, const std::string& text) {
    ++shown_;
    const std::string head = prefix_ + ": ";
    std::string body;
    if (title != kApplicationTitle && !title.empty()) body = title + ": ";
    // The boxes break lines with CR LF; a terminal wants one line per line.
    const std::string indent(head.size(), ' ');
    for (std::size_t k = 0; k < text.size(); ++k) {
        if (text[k] == '\r' && k + 1 < text.size() && text[k + 1] == '\n') {
            body += "\n" + indent;
            ++k;
        } else if (text[k] == '\n') {
            body += "\n" + indent;
        } else {
            body += text[k];
        }
    }
    out_ << head << body;
}

void ConsoleDialogs::information(const std::string& text, const std::string& title) {
    writeBox(title, text);
    out_ << '\n' << std::flush;
}

bool ConsoleDialogs::question(const std::string& text, const std::string& title) {
    writeBox(title, text);
    bool yes = false;
    switch (rule_) {
        case Rule::Yes: yes = true; break;
        case Rule::No: yes = false; break;
        case Rule::AskWhenInteractive:
            if (in_) {
                out_ << " (s/n) " << std::flush;
                std::string line;
                // The terminal echoes the answer and its line end; at the end of input, No.
                if (!std::getline(*in_, line)) {
                    out_ << "n\n" << std::flush;
                    return false;
                }
                return IsYes(line);
            }
            yes = false;
            break;
    }
    out_ << " (s/n) " << (yes ? "s" : "n") << '\n' << std::flush;
    return yes;
}

bool ConsoleDialogs::IsYes(const std::string& answer) {
    std::size_t b = 0, e = answer.size();
    while (b < e && std::isspace(static_cast<unsigned char>(answer[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(answer[e - 1]))) --e;
    std::string a;
    for (std::size_t k = b; k < e; ++k) {
        const unsigned char c = static_cast<unsigned char>(answer[k]);
        a += static_cast<char>(c < 0x80 ? std::tolower(c) : c);
    }
    // "Sí" and "SÍ": the accented letter in UTF-8, either case.
    return a == "s" || a == "si" || a == "s\xC3\xAD" || a == "s\xC3\x8D";
}

}  // namespace platform
