#pragma once

#include <windows.h>

#include "os/unique_handle.h"

namespace cantivo {

// A kernel handle kind whose failure and empty value is INVALID_HANDLE_VALUE, as CreateFile
// and FindFirstFile report it.
template <auto CloseFunction>
struct InvalidIsEmpty {
    using Type = HANDLE;
    static Type Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type handle) noexcept { CloseFunction(handle); }
};

// A file or other kernel object that CreateFile opens.
using FileHandle = UniqueHandle<InvalidIsEmpty<&::CloseHandle>>;
// A mutex, event, thread or other kernel object whose creation reports failure as null.
using KernelObject = UniqueHandle<NullIsEmpty<HANDLE, &::CloseHandle>>;
// A FindFirstFile search.
using FindHandle = UniqueHandle<InvalidIsEmpty<&::FindClose>>;

}  // namespace cantivo
