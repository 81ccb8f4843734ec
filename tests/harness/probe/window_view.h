// What the probe tells of a window, and the windows it lists: top-level ones, the tray's icons,
// message boxes and popup menus. Included by probe.cpp only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "json.h"
#include "message_box.h"

namespace probe {

inline long long HandleNumber(HWND window) { return static_cast<long long>(reinterpret_cast<uintptr_t>(window)); }

inline HWND HandleFrom(const std::string& text) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(text.c_str(), nullptr, 0)));
}

inline std::wstring ClassOf(HWND window) { return harness::WindowClassName(window); }

inline std::wstring TextOf(HWND window) { return harness::WindowText(window); }

inline DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    return pid;
}

// Wine keeps the X window of every top-level window in this property.
inline long long XWindowOf(HWND window) {
    return static_cast<long long>(reinterpret_cast<uintptr_t>(::GetPropW(window, L"__wine_x11_whole_window")));
}

inline void Brief(Json& json, HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    json.Num("hwnd", HandleNumber(window))
        .Num("pid", ProcessOf(window))
        .Str("class", ClassOf(window))
        .Str("title", TextOf(window))
        .Bool("visible", ::IsWindowVisible(window) != FALSE)
        .Rect("rect", rect)
        .Num("xid", XWindowOf(window));
}

inline void Describe(Json& json, HWND window) {
    json.Bool("exists", window != nullptr);
    if (!window) return;
    Brief(json, window);
    json.Bool("enabled", ::IsWindowEnabled(window) != FALSE)
        .Bool("iconic", ::IsIconic(window) != FALSE)
        .Num("style", static_cast<DWORD>(::GetWindowLongW(window, GWL_STYLE)))
        .Num("exstyle", static_cast<DWORD>(::GetWindowLongW(window, GWL_EXSTYLE)));
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    json.Open("layered");
    if (::GetLayeredWindowAttributes(window, &key, &alpha, &flags)) {
        json.Bool("ok", true).Num("key", key).Num("alpha", alpha).Num("flags", flags);
    } else {
        json.Bool("ok", false);
    }
    json.Close();
    HWND owner = ::GetWindow(window, GW_OWNER);
    if (owner) {
        json.Open("owner");
        Brief(json, owner);
        json.Close();
    } else {
        json.Null("owner");
    }
}

// EnumWindows' callback has the system's calling convention, which a lambda lacks on 32-bit x86.
inline BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

inline std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> windows;
    ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

inline std::vector<HWND> ChildWindows(HWND parent) {
    std::vector<HWND> windows;
    ::EnumChildWindows(parent, &CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

inline void ListWindows(Json& json, DWORD onlyPid) {
    json.OpenArray("windows");
    for (HWND window : TopLevelWindows()) {
        if (onlyPid && ProcessOf(window) != onlyPid) continue;
        json.Open();
        Brief(json, window);
        json.Num("owner", HandleNumber(::GetWindow(window, GW_OWNER)));
        json.Close();
    }
    json.Close();
}

inline void Tray(Json& json) {
    HWND tray = ::FindWindowW(nullptr, L"Wine System Tray");
    json.Bool("exists", tray != nullptr);
    if (!tray) return;
    Brief(json, tray);
    json.OpenArray("icons");
    for (HWND icon : ChildWindows(tray)) {
        json.Open();
        Brief(json, icon);
        json.Close();
    }
    json.Close();
}

inline void Boxes(Json& json) {
    json.OpenArray("boxes");
    for (HWND box : TopLevelWindows()) {
        if (!harness::IsMessageBox(box) || !::IsWindowVisible(box)) continue;
        harness::MessageBoxView view = harness::InspectMessageBox(box);
        json.Open();
        Brief(json, box);
        json.Num("owner", HandleNumber(view.owner)).Str("owner_class", view.owner ? ClassOf(view.owner) : L"");
        json.OpenArray("buttons");
        for (const harness::MessageBoxButton& button : view.buttons) {
            json.Open().Num("id", button.id).Str("text", button.text).Close();
        }
        json.Close();
        json.Str("text", view.text).Bool("icon", view.hasIcon);
        if (view.hasIcon) json.Rect("icon_rect", view.iconRect);
        json.Close();
    }
    json.Close();
}

inline void Menus(Json& json) {
    json.OpenArray("menus");
    for (HWND menu : TopLevelWindows()) {
        if (ClassOf(menu) != L"#32768" || !::IsWindowVisible(menu)) continue;
        json.Open();
        Brief(json, menu);
        json.Close();
    }
    json.Close();
}

}  // namespace probe
