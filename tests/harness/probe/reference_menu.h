// The reference menu: the probe's own popup menu, for the tests to hold the program's against.
// Included by probe.cpp only.
#pragma once

#include <windows.h>

#include <string>

#include "window_thread.h"
#include "window_view.h"

namespace probe {

// A popup menu of the probe's own, drawn by the same Wine code and fonts as the program's, for
// the tests to compare the program's menu with. Its owner window runs on a window thread;
// the menu's own loop runs there too, from the owner's first message.
class ReferenceMenu {
public:
    bool Open(int x, int y, const std::wstring& captions) {
        Close();
        x_ = x;
        y_ = y;
        captions_ = captions;
        if (!owner_.Start([this] { return MakeOwner(); })) return false;
        for (int waited = 0; waited < 5000; waited += 20) {
            if (Window()) return true;
            ::Sleep(20);
        }
        return false;
    }

    HWND Window() const {
        for (HWND menu : TopLevelWindows()) {
            if (ClassOf(menu) == L"#32768" && ::IsWindowVisible(menu) && ProcessOf(menu) == ::GetCurrentProcessId())
                return menu;
        }
        return nullptr;
    }

    void Close() {
        // The menu loop watches for WM_CANCELMODE posted to the menu window, as EndMenu does.
        for (int tries = 0; tries < 250; ++tries) {
            HWND menu = Window();
            if (!menu) break;
            ::PostMessageW(menu, WM_CANCELMODE, 0, 0);
            ::Sleep(20);
        }
        owner_.Stop();
    }

private:
    static constexpr UINT kTrackMessage = WM_APP + 1;

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<ReferenceMenu*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == kTrackMessage && self) {
            self->Track(window);
            return 0;
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    HWND MakeOwner() {
        HWND owner = MakeOwnedWindow(L"CantivoProbeMenuOwner", &ReferenceMenu::Procedure, this);
        if (owner) ::PostMessageW(owner, kTrackMessage, 0, 0);
        return owner;
    }

    void Track(HWND owner) {
        HMENU menu = ::CreatePopupMenu();
        UINT id = 1;
        size_t start = 0;
        while (start <= captions_.size()) {
            size_t end = captions_.find(L'|', start);
            if (end == std::wstring::npos) end = captions_.size();
            std::wstring caption = captions_.substr(start, end - start);
            if (caption == L"-") {
                ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            } else {
                ::AppendMenuW(menu, MF_STRING, id++, caption.c_str());
            }
            start = end + 1;
        }
        ::TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, x_, y_, 0, owner, nullptr);
        ::DestroyMenu(menu);
        ::DestroyWindow(owner);
    }

    int x_ = 0;
    int y_ = 0;
    std::wstring captions_;
    WindowThread owner_;
};

}  // namespace probe
