#pragma once

#include "platform/desktop.h"

namespace platform {

class QtDesktop : public Desktop {
public:
    bool openFile(const std::string& path) override;
};

}  // namespace platform
