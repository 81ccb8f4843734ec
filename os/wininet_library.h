#pragma once

#include <windows.h>
#include <wininet.h>

namespace cantivo {

// The WinInet functions the program calls, each typed as the system's header declares it.
// WinInet is not one of the system's known DLLs, so it is loaded from the system folder at its
// first use instead of being imported (see system_library.h).
struct WinInetFunctions {
    decltype(&::InternetGetConnectedState) InternetGetConnectedState;
    decltype(&::InternetOpenA) InternetOpenA;
    decltype(&::InternetCrackUrlA) InternetCrackUrlA;
    decltype(&::InternetCombineUrlA) InternetCombineUrlA;
    decltype(&::InternetConnectA) InternetConnectA;
    decltype(&::InternetSetOptionA) InternetSetOptionA;
    decltype(&::HttpOpenRequestA) HttpOpenRequestA;
    decltype(&::HttpSendRequestA) HttpSendRequestA;
    decltype(&::HttpQueryInfoA) HttpQueryInfoA;
    decltype(&::InternetQueryDataAvailable) InternetQueryDataAvailable;
    decltype(&::InternetReadFile) InternetReadFile;
    decltype(&::InternetCloseHandle) InternetCloseHandle;
};

// WinInet's functions, loaded at the first call; null when wininet.dll cannot be loaded or
// lacks one of them, which the program takes as a network that does not work.
const WinInetFunctions* WinInet() noexcept;

}  // namespace cantivo
