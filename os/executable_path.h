#pragma once

#include <string>

namespace cantivo {

// The running executable's full path, UTF-8, taken through the wide API so that any folder
// name works; empty when the system cannot tell.
std::string ExecutablePath();

}  // namespace cantivo
