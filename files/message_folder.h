// The message files of a folder as the chooser lists them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace letrador {

// True for a name that the pattern "*.fmv" takes, letter case not significant.
bool MatchesMessagePattern(std::string_view name);

// The names (without folder) of the files in `folder` that match "*.fmv", sorted without regard
// to letter case. A missing or unreadable folder lists nothing.
std::vector<std::string> ListMessageFiles(const std::string& folder);

}  // namespace letrador
