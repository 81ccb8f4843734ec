#include "ui/application.h"

#include <vector>

#include "base/error.h"
#include "ui/error_box.h"
#include "wire_facts.h"

namespace cantivo {

namespace {

constexpr wchar_t kApplicationWindowClass[] = CANTIVO_APPLICATION_WINDOW_CLASS;
constexpr int kMainIconId = 1;

// The program's visible, enabled top-level windows are disabled while a box is open.
class DisabledWindows {
public:
    DisabledWindows() noexcept { ::EnumThreadWindows(::GetCurrentThreadId(), &DisabledWindows::Disable, reinterpret_cast<LPARAM>(this)); }
    DisabledWindows(const DisabledWindows&) = delete;
    DisabledWindows& operator=(const DisabledWindows&) = delete;
    ~DisabledWindows() {
        for (HWND window : windows_) {
            if (::IsWindow(window)) ::EnableWindow(window, TRUE);
        }
    }

private:
    // Called by user32: nothing may be thrown from here.
    static BOOL CALLBACK Disable(HWND window, LPARAM self) noexcept {
        if (!::IsWindowVisible(window) || !::IsWindowEnabled(window)) return TRUE;
        try {
            reinterpret_cast<DisabledWindows*>(self)->windows_.push_back(window);
        } catch (...) {
            return FALSE;
        }
        ::EnableWindow(window, FALSE);
        return TRUE;
    }

    std::vector<HWND> windows_;
};

}  // namespace

Application::Application(HINSTANCE instance, unsigned pageCodePage) : instance_(instance), pageCodePage_(pageCodePage) {
    icon_ = ::LoadIconW(instance, MAKEINTRESOURCEW(kMainIconId));
    if (!icon_) icon_ = ::LoadIconA(nullptr, IDI_APPLICATION);

    WindowClass windowClass;
    windowClass.name = kApplicationWindowClass;
    windowClass.icon = icon_;
    windowClass.cursor = ::LoadCursorA(nullptr, IDC_ARROW);
    // 0 x 0 at the screen's centre, never meant to be seen; it carries the title.
    int x = ::GetSystemMetrics(SM_CXSCREEN) / 2;
    int y = ::GetSystemMetrics(SM_CYSCREEN) / 2;
    window_.Reset(CreateBound(instance, windowClass, kApplicationTitleW,
                              WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, x, y, 0, 0, nullptr));
    if (!window_) throw CantivoError("アプリケーション ウィンドウを作成できません");
}

Application::~Application() {
    if (window_) Release(window_.Get());
}

IconHandle Application::IconOfSize(int size) const noexcept {
    return IconHandle(
        static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(kMainIconId), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

LRESULT Application::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    // A close request to the application window ends the program, as one to the main window does.
    if (message == WM_CLOSE) {
        Terminate();
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void Application::Deliver(const MSG& message) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
}

void Application::Run() {
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) Deliver(message);
}

void Application::ProcessMessages() {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Posted again for Run's loop, as the system's own modal loops do. The handler this
            // runs in may itself run inside Run's wait for a posted message (the shell sends the
            // tray icon's messages), which would otherwise wait on for the next one.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        Deliver(message);
    }
}

void Application::Terminate() noexcept { ::PostQuitMessage(0); }

void Application::NoteWindowShowing() noexcept {
    if (windowShownOnce_) return;
    windowShownOnce_ = true;
    ::ShowWindow(window_.Get(), SW_SHOWNOACTIVATE);
}

void Application::HideWindow() noexcept { ::ShowWindow(window_.Get(), SW_HIDE); }

void Application::ShowErrorBox(const CantivoError& error) noexcept {
    try {
        std::wstring text = ErrorBoxText(error, pageCodePage_);
        HWND active = ::GetActiveWindow();
        {
            DisabledWindows disabled;
            ::MessageBoxW(window_.Get(), text.c_str(), kApplicationTitleW, MB_OK | MB_ICONERROR);
        }
        if (active && ::IsWindow(active)) ::SetActiveWindow(active);
    } catch (...) {
        ::MessageBoxW(window_.Get(), L"Out of memory", kApplicationTitleW, MB_OK | MB_ICONERROR);
    }
}

void Application::HandleError(const CantivoError& error) noexcept {
    // End a capture or a drag before the box takes the input.
    if (HWND capture = ::GetCapture()) ::SendMessageW(capture, WM_CANCELMODE, 0, 0);
    ShowErrorBox(error);
}

}  // namespace cantivo
