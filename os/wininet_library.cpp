#include "os/wininet_library.h"

#include <new>
#include <type_traits>

#include "os/system_library.h"

namespace cantivo {

namespace {

// Fills every function from library; false when one is missing.
bool FindAll(const SystemLibrary& library, WinInetFunctions& functions) noexcept {
    bool found = true;
    auto find = [&](auto& function, const char* name) {
        function = library.Find<std::remove_reference_t<decltype(function)>>(name);
        found = found && function != nullptr;
    };
#define CANTIVO_WININET_FIND(name) find(functions.name, #name);
    CANTIVO_WININET_FUNCTIONS(CANTIVO_WININET_FIND)
#undef CANTIVO_WININET_FIND
    return found;
}

struct LoadedWinInet {
    SystemLibrary library{L"wininet.dll"};
    WinInetFunctions functions{};
    bool complete = library && FindAll(library, functions);
};

}  // namespace

const WinInetFunctions* WinInet() noexcept {
    // Loaded once and never freed, not even at the program's end: a download that was given
    // up on for taking too long may still be inside WinInet on its own thread then.
    static const LoadedWinInet* const loaded = new (std::nothrow) LoadedWinInet;
    return loaded && loaded->complete ? &loaded->functions : nullptr;
}

}  // namespace cantivo
