#pragma once

#include <windows.h>
#include <wininet.h>

#include "os/unique_handle.h"
#include "os/wininet_library.h"

namespace cantivo {

// A handle exists only once WinInet has loaded.
inline void CloseInternetHandle(HINTERNET handle) noexcept { WinInet()->InternetCloseHandle(handle); }

// An internet or URL handle of WinInet. Declare the internet handle before the URL handles
// opened on it, so they are closed first.
using InternetHandle = UniqueHandle<NullIsEmpty<HINTERNET, &CloseInternetHandle>>;

}  // namespace cantivo
