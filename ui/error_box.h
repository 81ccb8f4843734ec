#pragma once

#include <string>

namespace cantivo {

class CantivoError;

// The error box's text: the program's own words decoded as UTF-8, quoted page bytes in the
// page's code page, and a full stop appended when the last byte sorts after it.
std::wstring ErrorBoxText(const CantivoError& error, unsigned pageCodePage);

}  // namespace cantivo
