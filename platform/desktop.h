// Handing a document to the desktop: the help page opens in the default browser.
#pragma once

#include <string>

namespace platform {

class Desktop {
public:
    virtual ~Desktop() = default;
    // Opens a local file with the desktop's default program; false when no program could be
    // started for it (no browser or opener installed).
    virtual bool openFile(const std::string& path) = 0;
};

}  // namespace platform
