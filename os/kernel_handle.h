#pragma once

#include <windows.h>

#include "os/unique_handle.h"

namespace cantivo {

// A file or other kernel object; CreateFile reports failure as INVALID_HANDLE_VALUE.
struct FileHandleTraits {
    using Type = HANDLE;
    static Type Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type handle) noexcept { ::CloseHandle(handle); }
};
using FileHandle = UniqueHandle<FileHandleTraits>;

// A mutex, event or other kernel object whose creation reports failure as null.
struct KernelObjectTraits {
    using Type = HANDLE;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type handle) noexcept { ::CloseHandle(handle); }
};
using KernelObject = UniqueHandle<KernelObjectTraits>;

// A FindFirstFile search.
struct FindHandleTraits {
    using Type = HANDLE;
    static Type Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type handle) noexcept { ::FindClose(handle); }
};
using FindHandle = UniqueHandle<FindHandleTraits>;

}  // namespace cantivo
