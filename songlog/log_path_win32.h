#pragma once

#include <string>

namespace cantivo {

// "cantivolog.log" beside the running executable; the working directory plays no part.
std::string CantivoLogPath();

}  // namespace cantivo
