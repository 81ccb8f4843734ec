// The probe's view of the display configuration: monitors and work areas, the screen's
// resolution, and which images an exe's main icon holds. Included by probe.cpp only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "os/system_library.h"
#include "ui/gdi.h"

namespace display_config {

// An exe loaded as data: its resources can be read, nothing of it runs.
using DataModule = cantivo::ModuleHandle;

struct Monitor {
    RECT rect{};
    RECT work{};
    bool primary = false;
};

// Called by Windows for each monitor: nothing may be thrown from here.
BOOL CALLBACK NoteMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) noexcept {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!::GetMonitorInfoW(monitor, &info)) return TRUE;
    try {
        reinterpret_cast<std::vector<Monitor>*>(data)->push_back(
            Monitor{info.rcMonitor, info.rcWork, (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
    } catch (...) {
        return FALSE;
    }
    return TRUE;
}

std::vector<Monitor> Monitors() {
    std::vector<Monitor> monitors;
    ::EnumDisplayMonitors(nullptr, nullptr, &NoteMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

int ScreenDpi() {
    cantivo::WindowDc screen(nullptr);
    return screen.Get() ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width;
    BYTE height;
    BYTE colours;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytes;
    WORD id;
};
struct GroupIconHeader {
    WORD reserved;
    WORD type;
    WORD count;
};
#pragma pack(pop)

struct IconImage {
    int size;
    int colours;
    int bitCount;
    int id;
};

// The images of an exe's icon group 1, read from the file as data (nothing of it runs), and
// the id of the one the system picks for a small icon of the given size.
struct IconGroup {
    bool found = false;
    std::vector<IconImage> images;
    int chosenForSmall = 0;
};

IconGroup ReadIconGroup(const std::wstring& exe, int smallSize) {
    IconGroup group;
    DataModule module(::LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) return group;
    HRSRC resource = ::FindResourceW(module.Get(), MAKEINTRESOURCEW(1), reinterpret_cast<LPCWSTR>(RT_GROUP_ICON));
    // A loaded resource is part of the module's image and goes with it.
    HGLOBAL loaded = resource ? ::LoadResource(module.Get(), resource) : nullptr;
    auto* data = loaded ? static_cast<BYTE*>(::LockResource(loaded)) : nullptr;
    if (data && ::SizeofResource(module.Get(), resource) >= sizeof(GroupIconHeader)) {
        const auto* header = reinterpret_cast<const GroupIconHeader*>(data);
        const auto* entries = reinterpret_cast<const GroupIconEntry*>(data + sizeof(GroupIconHeader));
        group.found = true;
        for (WORD i = 0; i < header->count; ++i) {
            const GroupIconEntry& entry = entries[i];
            group.images.push_back(IconImage{entry.width ? entry.width : 256, entry.colours, entry.bitCount, entry.id});
        }
        group.chosenForSmall = ::LookupIconIdFromDirectoryEx(data, TRUE, smallSize, smallSize, LR_DEFAULTCOLOR);
    }
    return group;
}

}  // namespace display_config
