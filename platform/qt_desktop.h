#pragma once

#include "platform/desktop.h"

namespace platform {

class QtDesktop : public Desktop {
public:
    void openFile(const std::string& path) override;
};

}  // namespace platform
