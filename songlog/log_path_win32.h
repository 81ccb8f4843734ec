#pragma once

#include <string>

namespace cantivo {

// The running executable's full path, UTF-8, taken through the wide API so that any folder
// name works.
std::string ExecutablePath();

// "cantivolog.log" beside the running executable; the working directory plays no part.
std::string CantivoLogPath();

}  // namespace cantivo
