#include "app/brand.h"

#include <fstream>

#include "message/codepage.h"

namespace letrador {

std::string ReadBrandText(const std::filesystem::path& workFolder) {
    std::ifstream in(workFolder / "ayuda" / "Archivos" / "marca.txt", std::ios::binary);
    if (!in) return {};
    // The first line ends at CR LF, a lone LF or a lone CR (a file from an old Mac editor).
    std::string line;
    for (char c; in.get(c) && c != '\r' && c != '\n';) line += c;
    return ToUtf8(FromCp1252(line));
}

std::filesystem::path BrandLogoPath(const std::filesystem::path& workFolder) {
    return workFolder / "ayuda" / "Archivos" / "logo.jpg";
}

}  // namespace letrador
