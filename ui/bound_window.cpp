#include "ui/bound_window.h"

#include "base/error.h"

namespace cantivo {

HWND BoundWindow::CreateBound(HINSTANCE instance, const WindowClass& windowClass, const wchar_t* caption, DWORD style,
                              int left, int top, int width, int height, HWND owner) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (!::GetClassInfoExW(instance, windowClass.name, &existing)) {
        WNDCLASSEXW registered{};
        registered.cbSize = sizeof registered;
        registered.style = windowClass.style;
        registered.lpfnWndProc = &BoundWindow::WindowProc;
        registered.hInstance = instance;
        registered.hIcon = windowClass.icon;
        registered.hCursor = windowClass.cursor;
        registered.lpszClassName = windowClass.name;
        if (!::RegisterClassExW(&registered)) throw CantivoError("ウィンドウ クラスを登録できません");
    }
    return ::CreateWindowExW(0, windowClass.name, caption, style, left, top, width, height, owner, nullptr, instance,
                             this);
}

void BoundWindow::Release(HWND window) noexcept {
    if (auto* self = reinterpret_cast<BoundWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA))) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->Unbind();
    }
}

LRESULT CALLBACK BoundWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<BoundWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<BoundWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->Bind(window);
    }
    if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
    LRESULT result = self->HandleMessage(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) Release(window);
    return result;
}

}  // namespace cantivo
