#include "app/work_folder.h"

#include <cstdlib>
#include <system_error>

namespace fs = std::filesystem;

namespace letrador {

WorkFolderChoice ChooseWorkFolder(const fs::path& current, const char* xdgDataHome,
                                  const char* home) {
    std::error_code ec;
    if (fs::is_directory(current / "tipografias", ec)) return {current, false};
    fs::path base;
    if (xdgDataHome && *xdgDataHome) {
        base = xdgDataHome;
    } else if (home && *home) {
        base = fs::path(home) / ".local" / "share";
    } else {
        // No home at all: stay where we are rather than fail.
        return {current, false};
    }
    return {base / "letrador", true};
}

bool PrepareWorkFolder(const fs::path& folder, const fs::path& seed, std::string* problem) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder)) {
        if (problem) *problem = ec ? ec.message() : "no es una carpeta";
        return false;
    }
    for (const char* sub : {"tipografias", "mensajes", "ayuda/Archivos", "puertos"}) {
        fs::create_directories(folder / sub, ec);
    }
    if (seed.empty() || !fs::is_directory(seed, ec)) return true;
    for (auto it = fs::recursive_directory_iterator(seed, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        fs::path relative = fs::relative(it->path(), seed, ec);
        if (ec) break;
        fs::path target = folder / relative;
        if (it->is_directory(ec)) {
            fs::create_directories(target, ec);
        } else if (!fs::exists(target, ec)) {
            fs::copy_file(it->path(), target, ec);
        }
        ec.clear();
    }
    return true;
}

fs::path InstalledDataFolder(const fs::path& executable) {
    std::error_code ec;
    if (!executable.empty()) {
        const fs::path beside = executable.parent_path().parent_path() / "share" / "letrador";
        if (fs::is_directory(beside / "tipografias", ec)) return beside;
    }
    return LETRADOR_INSTALLED_DATA;
}

fs::path FindWorkFolder(std::string* problem) {
    std::error_code ec;
    const WorkFolderChoice choice =
        ChooseWorkFolder(fs::current_path(ec), std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    std::string why;
    const fs::path seed =
        choice.isUserDataFolder ? InstalledDataFolder(fs::read_symlink("/proc/self/exe", ec))
                                : fs::path();
    if (!PrepareWorkFolder(choice.folder, seed, &why)) {
        if (problem) *problem = why;
    }
    return choice.folder;
}

}  // namespace letrador
