// The cursor patch: a window of the probe's own showing a system cursor, for the tests to see
// how that cursor looks on this display. Included by probe.cpp only.
#pragma once

#include <windows.h>

#include "window_thread.h"

namespace probe {

// A 16 x 16 topmost window with a given system cursor as its class cursor, on a thread of its own.
class CursorPatch {
public:
    bool Start(LPCWSTR cursor, int x, int y) { return window_.Start([cursor, x, y] { return Make(cursor, x, y); }); }
    void Stop() { window_.Stop(); }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_SETCURSOR) {
            // Set by way of no cursor: Wine leaves a new window's X cursor empty when the
            // thread's cursor is already the one asked for.
            ::SetCursor(nullptr);
            ::SetCursor(reinterpret_cast<HCURSOR>(::GetClassLongPtrW(window, GCLP_HCURSOR)));
            return TRUE;
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    static HWND Make(LPCWSTR cursor, int x, int y) {
        static const wchar_t* const kClass = L"CantivoProbeCursorPatch";
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &CursorPatch::Procedure;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClass;
        windowClass.hCursor = ::LoadCursorW(nullptr, cursor);
        windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
        ::UnregisterClassW(kClass, windowClass.hInstance);
        ::RegisterClassW(&windowClass);
        return ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kClass, L"", WS_POPUP | WS_VISIBLE,
                                 x, y, 16, 16, nullptr, nullptr, windowClass.hInstance, nullptr);
    }

    WindowThread window_;
};

}  // namespace probe
