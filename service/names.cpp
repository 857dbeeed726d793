#include "service/names.h"

#include "files/message_folder.h"

namespace letrador::service {

namespace {
bool PlainFileName(std::string_view name) {
    if (name.empty() || name.size() > 120 || name.front() == '.' || name.front() == ' ') return false;
    if (name.find("..") != std::string_view::npos) return false;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\') return false;
    }
    return true;
}
bool EndsWithNoCase(std::string_view name, std::string_view ext) {
    if (name.size() <= ext.size()) return false;
    for (std::size_t k = 0; k < ext.size(); ++k) {
        char c = name[name.size() - ext.size() + k];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != ext[k]) return false;
    }
    return true;
}
}  // namespace

bool ValidMessageName(std::string_view name) {
    return PlainFileName(name) && MatchesMessagePattern(name);
}

bool ValidFontName(std::string_view name) {
    return PlainFileName(name) && EndsWithNoCase(name, ".ffv");
}

}  // namespace letrador::service
