#pragma once

#include <windows.h>

namespace cantivo {

// A window class: its name, and what the system does for its windows unasked.
struct WindowClass {
    const wchar_t* name = nullptr;
    UINT style = 0;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
};

// What every window of the program is bound to: the C++ object that handles its messages.
// There is one binding path. The object comes as the window's creation parameter and is bound
// at WM_NCCREATE, the first message, so even the creation handlers find it; it is unbound
// after WM_NCDESTROY, the last one. Copying is barred: the window holds the object's address.
class BoundWindow {
public:
    BoundWindow() = default;
    BoundWindow(const BoundWindow&) = delete;
    BoundWindow& operator=(const BoundWindow&) = delete;

protected:
    virtual ~BoundWindow() = default;

    // Registers the class (once) and creates a window of it bound to this object; returns
    // null when the system will not make it. Fails with "ウィンドウ クラスを登録できません"
    // when the class cannot be registered.
    HWND CreateBound(HINSTANCE instance, const WindowClass& windowClass, const wchar_t* caption, DWORD style, int left,
                     int top, int width, int height, HWND owner);
    // The window stops reaching this object; used by an object that goes before its window.
    static void Release(HWND window) noexcept;

    virtual void Bind(HWND window) noexcept = 0;
    virtual void Unbind() noexcept = 0;
    // Nothing may leave this: the system called it.
    virtual LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept = 0;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

}  // namespace cantivo
