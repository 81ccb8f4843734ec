#include "platform/window.h"

#include <windowsx.h>

#include <new>

#include "platform/pointer.h"
#include "platform/popup_menu.h"
#include "platform/timer.h"
#include "text/error.h"

namespace cantivo {

namespace {

void RegisterWindowClass(HINSTANCE instance, const wchar_t* className, WNDPROC procedure) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (::GetClassInfoExW(instance, className, &existing)) return;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = className;
    if (!::RegisterClassExW(&windowClass)) throw CantivoError("ウィンドウ クラスを登録できません");
}

// BeginPaint and EndPaint, on every path.
class PaintScope {
public:
    explicit PaintScope(HWND window) noexcept : window_(window), dc_(::BeginPaint(window, &paint_)) {}
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    ~PaintScope() { ::EndPaint(window_, &paint_); }
    HDC Dc() const noexcept { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

ShiftState ShiftFrom(WPARAM keys, bool doubleClick) {
    ShiftState shift;
    shift.shift = (keys & MK_SHIFT) != 0;
    shift.ctrl = (keys & MK_CONTROL) != 0;
    shift.alt = ::GetKeyState(VK_MENU) < 0;
    shift.left = (keys & MK_LBUTTON) != 0;
    shift.right = (keys & MK_RBUTTON) != 0;
    shift.middle = (keys & MK_MBUTTON) != 0;
    shift.doubleClick = doubleClick;
    return shift;
}

}  // namespace

Window::Window(Application& application) : application_(application), cursor_(::LoadCursorA(nullptr, IDC_ARROW)) {}

Window::~Window() { Destroy(); }

void Window::Create(const wchar_t* className, const wchar_t* caption, DWORD style, int left, int top, int width,
                    int height) {
    RegisterWindowClass(application_.Instance(), className, &Window::WindowProc);
    HWND created = ::CreateWindowExW(0, className, caption, style, left, top, width, height, application_.Handle(), nullptr,
                                     application_.Instance(), this);
    if (!created) throw CantivoError("ウィンドウを作成できません");
}

void Window::Destroy() noexcept {
    if (handle_) ::DestroyWindow(handle_);
}

LRESULT CALLBACK Window::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Window*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        // Bound here, so the creation handler already finds the object.
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->handle_ = window;
        self->canvas_ = std::make_unique<Canvas>(window);
        self->canvas_->SetBrushColor(self->background_);
        if (self->font_) self->canvas_->SetFont(self->font_, ::GetSysColor(COLOR_WINDOWTEXT));
    }
    if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
    LRESULT result = self->GuardedDispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->canvas_.reset();
        self->handle_ = nullptr;
    }
    return result;
}

LRESULT Window::GuardedDispatch(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    ++dispatchDepth_;
    LRESULT result = 0;
    // RunGuarded catches whatever the handler throws; nothing leaves this function.
    // cppcheck-suppress throwInNoexceptFunction
    RunGuarded(application_, [&] { result = Dispatch(message, wParam, lParam); });
    // A DC taken for drawing straight onto the window is given back once the event is done.
    if (--dispatchDepth_ == 0 && canvas_) canvas_->ReleaseWindowDc();
    return result;
}

LRESULT Window::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (OnMessage(message, wParam, lParam, result)) return result;
    switch (message) {
        case WM_CREATE: OnCreate(); return 0;
        case WM_DESTROY: OnDestroy(); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: Paint(); return 0;
        case WM_TIMER:
            for (Timer* timer : timers_) {
                if (timer->Id() == wParam) timer->Tick();
            }
            return 0;
        case WM_COMMAND:
            for (PopupMenu* menu : menus_) menu->Choose(LOWORD(wParam));
            return 0;
        case WM_LBUTTONDOWN: MouseDown(MouseButton::Left, wParam, lParam, false); return 0;
        case WM_LBUTTONDBLCLK: MouseDown(MouseButton::Left, wParam, lParam, true); return 0;
        case WM_RBUTTONDOWN: MouseDown(MouseButton::Right, wParam, lParam, false); return 0;
        case WM_RBUTTONDBLCLK: MouseDown(MouseButton::Right, wParam, lParam, true); return 0;
        case WM_MBUTTONDOWN: MouseDown(MouseButton::Middle, wParam, lParam, false); return 0;
        case WM_MBUTTONDBLCLK: MouseDown(MouseButton::Middle, wParam, lParam, true); return 0;
        case WM_LBUTTONUP:
            if (::GetCapture() == handle_) ::ReleaseCapture();
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(ShiftFrom(wParam, false), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return 0;
        case WM_SETCURSOR:
            if (SetCursorFromMessage(lParam)) return TRUE;
            break;
        case WM_CLOSE: Close(); return 0;
        case WM_QUERYENDSESSION: return TRUE;
        default: break;
    }
    return ::DefWindowProcW(handle_, message, wParam, lParam);
}

void Window::MouseDown(MouseButton button, WPARAM wParam, LPARAM lParam, bool doubleClick) {
    if (button == MouseButton::Left) ::SetCapture(handle_);
    OnMouseDown(button, ShiftFrom(wParam, doubleClick), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
}

void Window::Paint() {
    PaintScope paint(handle_);
    if (!doubleBuffered_) {
        Canvas::Target target(*canvas_, paint.Dc());
        OnPaint();
        return;
    }
    RECT client{};
    ::GetClientRect(handle_, &client);
    if (client.right <= 0 || client.bottom <= 0) return;
    // Off screen first, so the window never shows a half-painted balloon.
    GdiObject<HBITMAP> bitmap(::CreateCompatibleBitmap(paint.Dc(), client.right, client.bottom));
    MemoryDc memory(::CreateCompatibleDC(paint.Dc()));
    if (!bitmap || !memory) throw CantivoError("デバイス コンテキストの作成に失敗しました");
    SelectedObject selected(memory.Get(), bitmap.Get());
    GdiObject<HBRUSH> background(::CreateSolidBrush(background_));
    ::FillRect(memory.Get(), &client, background.Get());
    {
        Canvas::Target target(*canvas_, memory.Get());
        OnPaint();
    }
    ::BitBlt(paint.Dc(), 0, 0, client.right, client.bottom, memory.Get(), 0, 0, SRCCOPY);
}

bool Window::SetCursorFromMessage(LPARAM lParam) noexcept {
    if (LOWORD(lParam) != HTCLIENT || !cursor_) return false;
    ::SetCursor(cursor_);
    return true;
}

void Window::Show() {
    if (Visible()) {
        ::BringWindowToTop(handle_);
        return;
    }
    application_.NoteWindowShowing();
    // The show handler has a guard of its own: if it fails, the window is still shown.
    RunGuarded(application_, [this] { OnShow(); });
    ::ShowWindow(handle_, SW_SHOWNORMAL);
    ::BringWindowToTop(handle_);
}

void Window::Hide() noexcept {
    if (Visible()) ::ShowWindow(handle_, SW_HIDE);
}

void Window::Close() noexcept { application_.Terminate(); }

RECT Window::Bounds() const noexcept {
    RECT bounds{};
    ::GetWindowRect(handle_, &bounds);
    return bounds;
}

void Window::MoveAndSize(int left, int top, int width, int height) noexcept {
    ::SetWindowPos(handle_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Window::SetLeft(int left) noexcept {
    RECT r = Bounds();
    MoveAndSize(left, r.top, r.right - r.left, r.bottom - r.top);
}

void Window::SetTop(int top) noexcept {
    RECT r = Bounds();
    MoveAndSize(r.left, top, r.right - r.left, r.bottom - r.top);
}

void Window::SetWidth(int width) noexcept {
    RECT r = Bounds();
    MoveAndSize(r.left, r.top, width, r.bottom - r.top);
}

void Window::SetHeight(int height) noexcept {
    RECT r = Bounds();
    MoveAndSize(r.left, r.top, r.right - r.left, height);
}

void Window::SetBackgroundColor(COLORREF color) noexcept {
    background_ = color;
    if (canvas_) canvas_->SetBrushColor(color);
}

void Window::SetCursor(HCURSOR cursor) noexcept {
    cursor_ = cursor;
    if (!handle_ || ::GetCapture()) return;
    POINT point{};
    if (::GetCursorPos(&point) && ::WindowFromPoint(point) == handle_) ::SetCursor(cursor_);
}

void Window::SetFont(HFONT font) noexcept {
    font_ = font;
    if (canvas_) canvas_->SetFont(font, ::GetSysColor(COLOR_WINDOWTEXT));
    if (handle_) ::SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

POINT Window::PointerInClient() const {
    POINT point = PointerScreenPosition();
    ::ScreenToClient(handle_, &point);
    return point;
}

}  // namespace cantivo
