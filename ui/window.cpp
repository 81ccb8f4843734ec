#include "ui/window.h"

#include <windowsx.h>

#include <algorithm>
#include <utility>

#include "base/error.h"
#include "ui/accessible_name.h"
#include "ui/pointer.h"

namespace cantivo {

namespace {

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

WindowPart::WindowPart(Window& window) : window_(window) { window_.parts_.push_back(this); }

WindowPart::~WindowPart() {
    std::vector<WindowPart*>& parts = window_.parts_;
    parts.erase(std::remove(parts.begin(), parts.end(), this), parts.end());
}

Window::Window(Application& application) : application_(application), cursor_(::LoadCursorA(nullptr, IDC_ARROW)) {}

Window::~Window() {
    if (!handle_) return;
    HWND window = handle_;
    Release(window);
    ::DestroyWindow(window);
}

void Window::Create(const wchar_t* className, const wchar_t* caption, DWORD style, int left, int top, int width,
                    int height) {
    WindowClass windowClass;
    windowClass.name = className;
    windowClass.style = CS_DBLCLKS;
    if (!CreateBound(application_.Instance(), windowClass, caption, style, left, top, width, height,
                     application_.Handle())) {
        throw CantivoError("ウィンドウを作成できません");
    }
}

void Window::Destroy() noexcept {
    if (handle_) ::DestroyWindow(handle_);
}

void Window::Bind(HWND window) noexcept {
    handle_ = window;
    canvas_.Attach(window);
    canvas_.SetBrushColor(background_);
    if (font_) canvas_.SetFont(font_, ::GetSysColor(COLOR_WINDOWTEXT));
}

void Window::Unbind() noexcept {
    canvas_.Detach();
    handle_ = nullptr;
}

LRESULT Window::HandleMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    ++dispatchDepth_;
    LRESULT result = 0;
    // RunGuarded catches whatever the handler throws; nothing leaves this function.
    // cppcheck-suppress throwInNoexceptFunction
    RunGuarded(application_, [&] { result = Dispatch(message, wParam, lParam); });
    // A DC taken for drawing straight onto the window is given back once the event is done.
    if (--dispatchDepth_ == 0) canvas_.ReleaseWindowDc();
    return result;
}

LRESULT Window::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (OnMessage(message, wParam, lParam, result)) return result;
    // Parts come and go with the window's owner, never while it handles a message.
    for (WindowPart* part : parts_) {
        if (part->OnWindowMessage(message, wParam, lParam)) return 0;
    }
    switch (message) {
        case WM_CREATE: OnCreate(); return 0;
        case WM_DESTROY: OnDestroy(); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: Paint(); return 0;
        case WM_TIMER:
        case WM_COMMAND: return 0;  // none of the window's parts
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
        case WM_GETOBJECT:
            if (!accessibleName_.empty()) {
                if (LRESULT answer = AnswerAccessibleObject(handle_, wParam, lParam, accessibleName_)) return answer;
            }
            break;
        case WM_CLOSE: application_.Terminate(); return 0;
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
        Canvas::Target target(canvas_, paint.Dc());
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
        Canvas::Target target(canvas_, memory.Get());
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
    if (!accessibleName_.empty()) ::NotifyWinEvent(EVENT_SYSTEM_ALERT, handle_, OBJID_CLIENT, CHILDID_SELF);
}

void Window::SetAccessibleName(std::wstring name) {
    if (name == accessibleName_) return;
    accessibleName_ = std::move(name);
    if (Visible()) ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, handle_, OBJID_CLIENT, CHILDID_SELF);
}

void Window::Hide() noexcept {
    if (Visible()) ::ShowWindow(handle_, SW_HIDE);
}

void Window::Place(const RECT& bounds, HWND insertAfter) noexcept {
    ::SetWindowPos(handle_, insertAfter, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
                   SWP_NOACTIVATE);
}

void Window::SetBackgroundColor(COLORREF color) noexcept {
    background_ = color;
    canvas_.SetBrushColor(color);
}

void Window::SetCursor(HCURSOR cursor) noexcept {
    cursor_ = cursor;
    if (!handle_ || ::GetCapture()) return;
    POINT point{};
    if (::GetCursorPos(&point) && ::WindowFromPoint(point) == handle_) ::SetCursor(cursor_);
}

void Window::SetFont(HFONT font) noexcept {
    font_ = font;
    canvas_.SetFont(font, ::GetSysColor(COLOR_WINDOWTEXT));
    if (handle_) ::SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

POINT Window::PointerInClient() const {
    POINT point = PointerScreenPosition();
    ::ScreenToClient(handle_, &point);
    return point;
}

}  // namespace cantivo
