// Handing a document to the desktop: the help page opens in the default browser.
#pragma once

#include <functional>
#include <string>

namespace platform {

class Desktop {
public:
    virtual ~Desktop() = default;
    // Hands a local file to the desktop's opener and returns at once, without waiting for it.
    // `notOpened` runs later, on the calling thread's event loop, when it turns out that nothing
    // opened the file (no opener, or one that found no program for it); never when a program
    // took it.
    virtual void openFile(const std::string& path, std::function<void()> notOpened) = 0;
};

}  // namespace platform
