#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/application.h"
#include "ui/bound_window.h"
#include "ui/canvas.h"

namespace cantivo {

class Window;

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

// Something that takes some of a window's messages (a timer its ticks, a menu its commands)
// for exactly as long as it lives: it hooks itself onto the window as it is made and off
// again as it goes, so the window never calls a part that is gone.
class WindowPart {
public:
    explicit WindowPart(Window& window);
    WindowPart(const WindowPart&) = delete;
    WindowPart& operator=(const WindowPart&) = delete;
    virtual ~WindowPart();

    Window& Owner() const noexcept { return window_; }
    // Returns true when the message was this part's.
    virtual bool OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

private:
    Window& window_;
};

// A top-level window owned by the application window. Every handler runs inside the guard:
// an error that escapes it ends the handler, ends any mouse capture and shows the error box,
// and the program goes on with the next event.
//
// Its life: Create() makes the window hidden, and its handlers run from then on. The class
// derived from Window destroys the window in its own destructor, while the whole object
// still stands, so that OnDestroy runs whatever way the scope holding it is left, by a
// return or by an exception. Should a window still be there when ~Window runs, it is taken
// down without calling back into the half-destroyed object.
class Window : private BoundWindow {
public:
    explicit Window(Application& application);
    ~Window() override;

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

    // Moves, sizes and stacks the window in one step, without activating it.
    void Place(const RECT& bounds, HWND insertAfter) noexcept;

    Canvas& Surface() noexcept { return canvas_; }

    // The pointer's screen position in this window's client coordinates.
    POINT PointerInClient() const;

protected:
    // The window's looks are its own class's to set.
    void SetBackgroundColor(COLORREF color) noexcept;
    void SetCursor(HCURSOR cursor) noexcept;
    void SetFont(HFONT font) noexcept;
    void SetDoubleBuffered(bool doubleBuffered) noexcept { doubleBuffered_ = doubleBuffered; }
    // What assistive technology reads of a window that paints its own content, in place of its
    // window text (accessible_name.h). A change is told while the window is visible; each show
    // is told as an alert, so that a screen reader reads it without the user going to find it.
    void SetAccessibleName(std::wstring name);

    virtual void OnCreate() {}
    virtual void OnDestroy() {}
    virtual void OnShow() {}
    virtual void OnPaint() {}
    virtual void OnMouseDown(MouseButton, const ShiftState&, int, int) {}
    virtual void OnMouseMove(const ShiftState&, int, int) {}
    // Any other message; returns false to leave it to the platform.
    virtual bool OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

private:
    friend class WindowPart;

    void Bind(HWND window) noexcept override;
    void Unbind() noexcept override;
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept override;
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void Paint();
    void MouseDown(MouseButton button, WPARAM wParam, LPARAM lParam, bool doubleClick);
    bool SetCursorFromMessage(LPARAM lParam) noexcept;

    Application& application_;
    HWND handle_ = nullptr;
    Canvas canvas_;
    COLORREF background_ = RGB(255, 255, 255);
    HCURSOR cursor_ = nullptr;
    HFONT font_ = nullptr;
    bool doubleBuffered_ = false;
    int dispatchDepth_ = 0;
    std::vector<WindowPart*> parts_;
    std::wstring accessibleName_;
};

}  // namespace cantivo
