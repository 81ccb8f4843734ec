#pragma once

#include <windows.h>
#include <wininet.h>

#include "platform/unique_handle.h"

namespace cantivo {

struct InternetHandleTraits {
    using Type = HINTERNET;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type handle) noexcept { ::InternetCloseHandle(handle); }
};
// An internet or URL handle of WinInet. Declare the internet handle before the URL handles
// opened on it, so they are closed first.
using InternetHandle = UniqueHandle<InternetHandleTraits>;

}  // namespace cantivo
