#pragma once

#include <windows.h>
#include <wininet.h>

namespace cantivo {

// The WinInet functions the program calls, listed once: the list makes both the members
// below and their lookup (wininet_library.cpp), so none can be added without being looked up.
#define CANTIVO_WININET_FUNCTIONS(FUNCTION) \
    FUNCTION(InternetGetConnectedState)     \
    FUNCTION(InternetOpenA)                 \
    FUNCTION(InternetCrackUrlA)             \
    FUNCTION(InternetCombineUrlA)           \
    FUNCTION(InternetConnectA)              \
    FUNCTION(InternetSetOptionA)            \
    FUNCTION(HttpOpenRequestA)              \
    FUNCTION(HttpSendRequestA)              \
    FUNCTION(HttpQueryInfoA)                \
    FUNCTION(InternetQueryDataAvailable)    \
    FUNCTION(InternetReadFile)              \
    FUNCTION(InternetCloseHandle)

// Each function typed as the system's header declares it. WinInet is not one of the system's
// known DLLs, so it is loaded from the system folder at its first use instead of being imported
// (see system_library.h).
struct WinInetFunctions {
// NOLINTNEXTLINE(bugprone-macro-parentheses): the argument is a member's name, not an expression.
#define CANTIVO_WININET_MEMBER(name) decltype(&::name) name = nullptr;
    CANTIVO_WININET_FUNCTIONS(CANTIVO_WININET_MEMBER)
#undef CANTIVO_WININET_MEMBER
};

// WinInet's functions, loaded at the first call; null when wininet.dll cannot be loaded or
// lacks one of them, which the program takes as a network that does not work.
const WinInetFunctions* WinInet() noexcept;

}  // namespace cantivo
