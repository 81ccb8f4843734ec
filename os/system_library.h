#pragma once

#include <windows.h>

#include "os/unique_handle.h"

namespace cantivo {

// Windows looks for a DLL in the program's folder before the system's, unless it is one of
// the system's known DLLs. Users run Cantivo from wherever they unzipped it, Downloads often,
// where anything may lie beside the exe. So the program's very first step takes its own
// folder (and the current one) out of the search, and every DLL that is not a known one is
// loaded at run time from the system folder by SystemLibrary rather than imported.
void SearchSystemFolderOnly() noexcept;

// A function of a system DLL the program imports anyway (so the DLL is loaded), looked up at
// run time because some Windows it runs on lack it; null there. Function is the pointer type,
// decltype(&::Name) where the header declares it.
template <typename Function>
Function ImportedFunction(const wchar_t* module, const char* name) noexcept {
    HMODULE loaded = ::GetModuleHandleW(module);
    FARPROC found = loaded ? ::GetProcAddress(loaded, name) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

using ModuleHandle = UniqueHandle<NullIsEmpty<HMODULE, &::FreeLibrary>>;

// A DLL of the system's, loaded from the system folder and never from anywhere else, its
// dependencies too; freed when it goes. Empty when it cannot be loaded.
class SystemLibrary {
public:
    explicit SystemLibrary(const wchar_t* name) noexcept;

    explicit operator bool() const noexcept { return static_cast<bool>(module_); }

    // The exported function called name, typed as Function (a pointer to the function as the
    // system's header declares it: decltype(&::Name)); null when it is missing.
    template <typename Function>
    Function Find(const char* name) const noexcept {
        FARPROC found = module_ ? ::GetProcAddress(module_.Get(), name) : nullptr;
        return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
    }

private:
    ModuleHandle module_;
};

}  // namespace cantivo
