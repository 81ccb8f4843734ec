#include "songlog/log_path_win32.h"

#include <windows.h>

#include "platform/unicode.h"
#include "songlog/song_log.h"
#include "text/error.h"

namespace cantivo {

std::string ExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        // Never a relative path: the log would land in whatever the working folder is.
        if (length == 0) throw CannotCreateFileError(kLogFileName);
        if (length < path.size()) {
            path.resize(length);
            return Utf8FromWide(path);
        }
        path.resize(path.size() * 2);
    }
}

std::string CantivoLogPath() { return LogPathBeside(ExecutablePath()); }

}  // namespace cantivo
