#pragma once

// What a window and a message box show, read from outside them: the one inspection the
// end-to-end probe and the Win32 tests share.

#include <windows.h>

#include <string>
#include <vector>

namespace harness {

struct MessageBoxButton {
    int id = 0;
    std::wstring text;
};

struct MessageBoxView {
    HWND owner = nullptr;
    std::wstring text;  // the visible static texts, one per line
    bool hasIcon = false;
    RECT iconRect{};
    std::vector<MessageBoxButton> buttons;
};

inline std::wstring WindowClassName(HWND window) {
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    return name;
}

inline std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

namespace detail {

// EnumChildWindows' callback has the system's calling convention, which a lambda lacks on
// 32-bit x86; nothing may be thrown from here.
inline BOOL CALLBACK CollectChild(HWND child, LPARAM list) noexcept {
    try {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    } catch (...) {
        return FALSE;
    }
    return TRUE;
}

}  // namespace detail

inline bool IsMessageBox(HWND window) { return WindowClassName(window) == L"#32770"; }

// Works across processes: the icon is asked for with a time limit.
inline MessageBoxView InspectMessageBox(HWND box) {
    MessageBoxView view;
    view.owner = ::GetWindow(box, GW_OWNER);
    std::vector<HWND> children;
    ::EnumChildWindows(box, &detail::CollectChild, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
        if (!::IsWindowVisible(child)) continue;
        std::wstring cls = WindowClassName(child);
        if (lstrcmpiW(cls.c_str(), L"Button") == 0) {
            view.buttons.push_back({::GetDlgCtrlID(child), WindowText(child)});
        } else if (lstrcmpiW(cls.c_str(), L"Static") == 0) {
            if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
                DWORD_PTR icon = 0;
                ::SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &icon);
                if (icon) {
                    view.hasIcon = true;
                    ::GetWindowRect(child, &view.iconRect);
                }
            } else {
                std::wstring part = WindowText(child);
                if (!part.empty()) view.text += (view.text.empty() ? L"" : L"\n") + part;
            }
        }
    }
    return view;
}

}  // namespace harness
