#include "app/brand.h"

#include <fstream>

#include "message/codepage.h"

namespace letrador {

std::string ReadBrandText(const std::filesystem::path& workFolder) {
    std::ifstream in(workFolder / "ayuda" / "Archivos" / "marca.txt", std::ios::binary);
    if (!in) return {};
    std::string line;
    if (!std::getline(in, line)) return {};
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return ToUtf8(FromCp1252(line));
}

std::filesystem::path BrandLogoPath(const std::filesystem::path& workFolder) {
    return workFolder / "ayuda" / "Archivos" / "logo.jpg";
}

}  // namespace letrador
