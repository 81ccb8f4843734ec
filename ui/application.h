#pragma once

#include <windows.h>

#include <string>

#include "base/application_title.h"
#include "base/error.h"
#include "os/unique_handle.h"
#include "ui/bound_window.h"

namespace cantivo {

using WindowHandle = UniqueHandle<NullIsEmpty<HWND, &::DestroyWindow>>;
// An icon made by LoadImage without LR_SHARED, which its loader destroys.
using IconHandle = UniqueHandle<NullIsEmpty<HICON, &::DestroyIcon>>;

// The application: its icon, its never-visible application window that owns every window
// and every error box (so none has a taskbar button of its own), the message loop, and the
// error box.
class Application : private BoundWindow {
public:
    // pageCodePage: the code page of the page bytes that an error quotes, for the error box.
    Application(HINSTANCE instance, unsigned pageCodePage);
    ~Application() override;

    HINSTANCE Instance() const noexcept { return instance_; }
    HICON Icon() const noexcept { return icon_; }
    // The main icon's image of size pixels square (the one the icon file has of that size, or
    // the nearest scaled); empty when it cannot be made.
    IconHandle IconOfSize(int size) const noexcept;
    HWND Handle() const noexcept { return window_.Get(); }

    // Handles events until a quit request has been met.
    void Run();
    // Handles the pending events, including any that arrive meanwhile, then returns; at a
    // quit request it returns at once, and leaves the request for Run.
    void ProcessMessages();
    // Ends the program once the current handler has returned: the way every close request
    // (the menu's Exit, the system's to either window) goes.
    void Terminate() noexcept;

    // Shown once, without activation, when the first window becomes visible.
    void NoteWindowShowing() noexcept;
    void HideWindow() noexcept;

    // The error box: the message with the full-stop rule, the error icon and OK, owned by the
    // application window. While it is open the program's other windows are disabled; timer
    // ticks and other events go on; afterwards the active window is active again.
    void ShowErrorBox(const CantivoError& error) noexcept;
    // What the guard does with an error that escaped a handler.
    void HandleError(const CantivoError& error) noexcept;

private:
    void Bind(HWND) noexcept override {}
    void Unbind() noexcept override {}
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept override;
    void Deliver(const MSG& message);

    HINSTANCE instance_;
    unsigned pageCodePage_;
    HICON icon_ = nullptr;  // shared: the system owns it and frees it with the process
    WindowHandle window_;
    bool windowShownOnce_ = false;
};

// Runs handler inside the guard: an error that escapes it ends it, and is reported.
template <typename Handler>
void RunGuarded(Application& application, Handler&& handler) noexcept {
    try {
        try {
            handler();
        } catch (...) {
            application.HandleError(CaughtError());
        }
    } catch (...) {
        // Not even the error could be reported; the handler still ends here.
    }
}

}  // namespace cantivo
