#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "platform/application.h"
#include "platform/canvas.h"

namespace cantivo {

class PopupMenu;
class Timer;

enum class MouseButton { Left, Right, Middle };

// The modifier keys, the mouse buttons held (the one just pressed included) and whether the
// press is the second of a double-click.
struct ShiftState {
    bool shift = false;
    bool alt = false;
    bool ctrl = false;
    bool left = false;
    bool right = false;
    bool middle = false;
    bool doubleClick = false;
};

// A top-level window owned by the application window. Every handler runs inside the guard:
// an error that escapes it ends the handler, ends any mouse capture and shows the error box,
// and the program goes on with the next event.
class Window {
public:
    explicit Window(Application& application);
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    // Creates the window hidden; OnCreate runs once it exists.
    void Create(const wchar_t* className, const wchar_t* caption, DWORD style, int left, int top, int width, int height);
    void Destroy() noexcept;
    HWND Handle() const noexcept { return handle_; }
    Application& App() const noexcept { return application_; }

    bool Visible() const noexcept { return handle_ && ::IsWindowVisible(handle_); }
    // From hidden: the show handler runs before the window is visible, then it is shown,
    // activated and raised. Already visible: only raised.
    void Show();
    void Hide() noexcept;
    // Ends the program once the current handler has returned.
    void Close() noexcept;

    // Each moves or sizes the window at once, without activating it.
    void SetLeft(int left) noexcept;
    void SetTop(int top) noexcept;
    void SetWidth(int width) noexcept;
    void SetHeight(int height) noexcept;
    RECT Bounds() const noexcept;

    void SetBackgroundColor(COLORREF color) noexcept;
    void SetCursor(HCURSOR cursor) noexcept;
    void SetFont(HFONT font) noexcept;
    void SetDoubleBuffered(bool doubleBuffered) noexcept { doubleBuffered_ = doubleBuffered; }
    Canvas& Surface() noexcept { return *canvas_; }

    // The pointer's screen position in this window's client coordinates.
    POINT PointerInClient() const;

    void AddTimer(Timer* timer) { timers_.push_back(timer); }
    void AddMenu(PopupMenu* menu) { menus_.push_back(menu); }

protected:
    virtual void OnCreate() {}
    virtual void OnDestroy() {}
    virtual void OnShow() {}
    virtual void OnPaint() {}
    virtual void OnMouseDown(MouseButton, const ShiftState&, int, int) {}
    virtual void OnMouseMove(const ShiftState&, int, int) {}
    // Any other message; returns false to leave it to the platform.
    virtual bool OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT GuardedDispatch(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void Paint();
    void MouseDown(MouseButton button, WPARAM wParam, LPARAM lParam, bool doubleClick);
    bool SetCursorFromMessage(LPARAM lParam) noexcept;
    void MoveAndSize(int left, int top, int width, int height) noexcept;

    Application& application_;
    HWND handle_ = nullptr;
    std::unique_ptr<Canvas> canvas_;
    COLORREF background_ = RGB(255, 255, 255);
    HCURSOR cursor_ = nullptr;
    HFONT font_ = nullptr;
    bool doubleBuffered_ = false;
    int dispatchDepth_ = 0;
    std::vector<Timer*> timers_;
    std::vector<PopupMenu*> menus_;
};

}  // namespace cantivo
