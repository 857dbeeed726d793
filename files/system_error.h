// The system's reason for a failed file operation, as the operator reads it.
#pragma once

#include <string>

namespace letrador {

// A Spanish description of an errno value; the system's own text for the rare ones.
std::string SystemErrorText(int errnum);

}  // namespace letrador
