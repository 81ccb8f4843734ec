#include "os/executable_path.h"

#include <windows.h>

#include "os/unicode.h"

namespace cantivo {

std::string ExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return Utf8FromWide(path);
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace cantivo
