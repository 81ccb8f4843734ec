#include "onair/page_download.h"

#include <windows.h>
#include <wininet.h>

#include <cstring>

#include "platform/internet_handle.h"

namespace cantivo {

bool InternetConnected() {
    DWORD flags = 0;
    return ::InternetGetConnectedState(&flags, 0) != FALSE;
}

bool GetHtmlSource(MemoryStream& stream, const std::string& url) {
    InternetHandle internet(::InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet) return false;
    // RELOAD: always from the server, never from a cache, so every Get sees the page as it is now.
    InternetHandle page(::InternetOpenUrlA(internet.Get(), url.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0));
    if (!page) return false;
    char buffer[kReadBufferSize];
    for (;;) {
        std::memset(buffer, 0, sizeof buffer);
        DWORD delivered = 0;
        // The delivered count alone ends the loop: a failing read delivers nothing, like the end.
        ::InternetReadFile(page.Get(), buffer, sizeof buffer, &delivered);
        if (delivered == 0) break;
        stream.Write(buffer, delivered);
    }
    stream.SetPosition(0);
    return true;
}

}  // namespace cantivo
