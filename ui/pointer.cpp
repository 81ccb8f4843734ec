#include "ui/pointer.h"

#include <string>

#include "base/error.h"
#include "os/unicode.h"

namespace cantivo {

namespace {

std::string SystemText(DWORD code) {
    wchar_t* buffer = nullptr;
    DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                        FORMAT_MESSAGE_IGNORE_INSERTS,
                                    nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = length ? Utf8FromWide(std::wstring_view(buffer, length)) : std::string();
    ::LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

}  // namespace

POINT PointerScreenPosition() {
    POINT point{};
    if (::GetCursorPos(&point)) return point;
    DWORD code = ::GetLastError();
    if (code == 0) throw CantivoError("A call to an OS function failed");
    throw CantivoError(Substitute("System Error.  Code: %d.", std::to_string(code)) + "\n" + SystemText(code));
}

}  // namespace cantivo
