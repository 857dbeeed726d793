// The working folder: the one that holds tipografias/, mensajes/ and ayuda/.
#pragma once

#include <filesystem>
#include <string>

namespace letrador {

struct WorkFolderChoice {
    std::filesystem::path folder;
    bool isUserDataFolder = false;  // the per-user folder, seeded from the installed data
};

// The current folder when it holds tipografias/; otherwise $XDG_DATA_HOME/letrador, or
// ~/.local/share/letrador when XDG_DATA_HOME is not set.
WorkFolderChoice ChooseWorkFolder(const std::filesystem::path& current, const char* xdgDataHome,
                                  const char* home);

// Creates the folder and its tipografias/, mensajes/, ayuda/Archivos/ and puertos/ where
// missing, and copies from `seed` (an installed data folder; may be empty or absent) every file
// the working folder does not have yet. Never overwrites. Returns false only when the folder
// itself cannot be made; `problem` then says why.
bool PrepareWorkFolder(const std::filesystem::path& folder, const std::filesystem::path& seed,
                       std::string* problem = nullptr);

// The installed data folder (fonts, example messages, help): share/letrador beside the running
// program's bin/, so an installed tree works wherever it was unpacked; the build's install
// prefix when that is absent.
std::filesystem::path InstalledDataFolder(const std::filesystem::path& executable);

// The working folder as every program of the package finds it at start: chosen from the current
// folder and the environment, then prepared, seeded from the installed data when it is the
// per-user folder. When it cannot be prepared, `problem` says why; the folder is given anyway.
std::filesystem::path FindWorkFolder(std::string* problem = nullptr);

}  // namespace letrador
