// What the system reports of a process's holdings, each null where it reports nothing: the
// soak's figures from inside Wine. Included by probe.cpp only.
#pragma once

#include <windows.h>
// After windows.h, which they need.
#include <psapi.h>
#include <winternl.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "json.h"
#include "os/kernel_handle.h"

namespace probe {

inline void NumberOrNull(Json& json, const char* key, bool known, unsigned long long value) {
    if (known) {
        json.Num(key, static_cast<long long>(value));
    } else {
        json.Null(key);
    }
}

// The handle count in the system's list of processes, which the kernel keeps apart from
// GetProcessHandleCount's answer.
inline void ListedHandles(Json& json, DWORD pid) {
    std::vector<unsigned char> buffer(1 << 20);
    ULONG needed = 0;
    NTSTATUS status = 0;
    while ((status = ::NtQuerySystemInformation(SystemProcessInformation, buffer.data(),
                                                static_cast<ULONG>(buffer.size()), &needed)) ==
               static_cast<NTSTATUS>(0xC0000004L) &&
           buffer.size() < (64u << 20)) {  // STATUS_INFO_LENGTH_MISMATCH: a bigger buffer
        buffer.resize(buffer.size() * 2);
    }
    if (status >= 0) {
        for (size_t offset = 0;;) {
            auto* entry = reinterpret_cast<SYSTEM_PROCESS_INFORMATION*>(buffer.data() + offset);
            if (reinterpret_cast<uintptr_t>(entry->UniqueProcessId) == pid) {
                json.Num("listed_handles", entry->HandleCount).Num("threads", entry->NumberOfThreads);
                return;
            }
            if (entry->NextEntryOffset == 0) break;
            offset += entry->NextEntryOffset;
        }
    }
    json.Null("listed_handles").Null("threads");
}

// Windows of the process among the first kMaxWindowSlots of the window handle table: a
// handle with 0 in its upper word names a slot whatever its generation.
inline long long WindowsOwnedBy(DWORD pid) {
    constexpr uintptr_t kMaxWindowSlots = 8192;
    long long count = 0;
    for (uintptr_t slot = 0; slot < kMaxWindowSlots; ++slot) {
        DWORD owner = 0;
        HWND window = reinterpret_cast<HWND>(0x20 + 2 * slot);
        if (::GetWindowThreadProcessId(window, &owner) && owner == pid) ++count;
    }
    return count;
}

// Its GDI and USER objects (GetGuiResources), kernel handles (GetProcessHandleCount, and the
// count the system's process list gives), private bytes and working set (GetProcessMemoryInfo),
// and its windows of every kind, child and message-only ones too, found by their handles.
inline void Resources(Json& json, DWORD pid) {
    cantivo::KernelObject process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process) {
        json.Bool("ok", false).Str("error", "OpenProcess failed: " + std::to_string(::GetLastError()));
        return;
    }
    json.Bool("ok", true);
    // GetGuiResources gives 0 both for none and on failure; the error code tells which.
    for (auto [key, flag] : {std::pair{"gdi", GR_GDIOBJECTS}, std::pair{"user", GR_USEROBJECTS}}) {
        ::SetLastError(0);
        DWORD count = ::GetGuiResources(process.Get(), flag);
        NumberOrNull(json, key, count != 0 || ::GetLastError() == 0, count);
    }
    // A living process holds some handles and private memory: a 0 is a call that only
    // pretends to answer.
    DWORD handles = 0;
    NumberOrNull(json, "handles", ::GetProcessHandleCount(process.Get(), &handles) && handles != 0, handles);
    ListedHandles(json, pid);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    bool read = ::GetProcessMemoryInfo(process.Get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                                       sizeof memory) != FALSE;
    NumberOrNull(json, "private_bytes", read && memory.PrivateUsage != 0, memory.PrivateUsage);
    NumberOrNull(json, "working_set", read && memory.WorkingSetSize != 0, memory.WorkingSetSize);
    json.Num("all_windows", WindowsOwnedBy(pid));
}

}  // namespace probe
