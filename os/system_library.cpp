#include "os/system_library.h"

#include <string>

namespace cantivo {

namespace {

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

// SetDefaultDllDirectories and the LOAD_LIBRARY_SEARCH flags come together: with Windows 8,
// or with an update on Windows 7. Looked up, so that a Windows 7 without it still starts.
SetDefaultDllDirectoriesFunction FindSetDefaultDllDirectories() noexcept {
    return ImportedFunction<SetDefaultDllDirectoriesFunction>(L"kernel32.dll", "SetDefaultDllDirectories");
}

bool HasSearchFlags() noexcept {
    static const bool has = FindSetDefaultDllDirectories() != nullptr;
    return has;
}

// Without the search flags: the DLL by its full path in the system folder; ALTERED_SEARCH_PATH
// makes its own dependencies be looked for in that folder first, not in the program's.
HMODULE LoadByFullPath(const wchar_t* name) noexcept {
    wchar_t folder[MAX_PATH];
    UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    try {
        std::wstring path = std::wstring(folder, length) + L"\\" + name;
        return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    } catch (...) {
        return nullptr;
    }
}

}  // namespace

void SearchSystemFolderOnly() noexcept {
    // The current folder out of the search on every Windows; the program's own folder out of
    // it, too, where the system can do so.
    ::SetDllDirectoryW(L"");
    if (SetDefaultDllDirectoriesFunction restrict = FindSetDefaultDllDirectories()) {
        restrict(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}

SystemLibrary::SystemLibrary(const wchar_t* name) noexcept
    : module_(HasSearchFlags() ? ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32) : LoadByFullPath(name)) {}

}  // namespace cantivo
