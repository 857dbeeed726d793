// The brand text shown on the main window (the first line of ayuda/Archivos/marca.txt).
#pragma once

#include <filesystem>
#include <string>

namespace letrador {

// The first line of the file (ended by CR, LF or both), without its line end, decoded from Windows-1252 to UTF-8.
// Any failure (no file, empty file, unreadable) gives "".
std::string ReadBrandText(const std::filesystem::path& workFolder);

std::filesystem::path BrandLogoPath(const std::filesystem::path& workFolder);

}  // namespace letrador
