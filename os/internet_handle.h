#pragma once

#include <windows.h>
#include <wininet.h>

#include "os/unique_handle.h"
#include "os/wininet_library.h"

namespace cantivo {

struct InternetHandleTraits {
    using Type = HINTERNET;
    static Type Empty() noexcept { return nullptr; }
    // A handle exists only once WinInet has loaded.
    static void Close(Type handle) noexcept { WinInet()->InternetCloseHandle(handle); }
};
// An internet or URL handle of WinInet. Declare the internet handle before the URL handles
// opened on it, so they are closed first.
using InternetHandle = UniqueHandle<InternetHandleTraits>;

}  // namespace cantivo
