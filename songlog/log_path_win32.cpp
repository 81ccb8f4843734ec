#include "songlog/log_path_win32.h"

#include "base/error.h"
#include "os/executable_path.h"
#include "songlog/song_log.h"

namespace cantivo {

std::string CantivoLogPath() {
    std::string executable = ExecutablePath();
    // Never a relative path: the log would land in whatever the working folder is.
    if (executable.empty()) throw CannotCreateFileError(kLogFileName);
    return LogPathBeside(executable);
}

}  // namespace cantivo
