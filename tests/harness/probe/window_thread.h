// A window of the probe's own, made and served on a thread of its own: the reference menu's
// owner, the stand-in shell and the cursor patch each live on one. Included by probe.cpp only.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>
#include <utility>

namespace probe {

// An invisible tool window of a class of its own, whose procedure finds owner in the window's
// user data (null until this returns); null when it cannot be made.
inline HWND MakeOwnedWindow(const wchar_t* className, WNDPROC procedure, void* owner) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className;
    ::RegisterClassW(&windowClass);
    HWND window = ::CreateWindowExW(WS_EX_TOOLWINDOW, className, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                    windowClass.hInstance, nullptr);
    if (window) ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    return window;
}

// A window made and served on a thread of its own, until Stop closes it.
class WindowThread {
public:
    ~WindowThread() { Stop(); }

    // make runs on the new thread and returns the window to serve (null for none).
    bool Start(std::function<HWND()> make) {
        Stop();
        thread_ = std::thread([this, make = std::move(make)] { Serve(make()); });
        for (int waited = 0; waited < 5000 && !window_; waited += 10) ::Sleep(10);
        return window_ != nullptr;
    }

    void Stop() {
        if (!thread_.joinable()) return;
        if (window_) ::PostMessageW(window_, WM_CLOSE, 0, 0);
        thread_.join();
        window_ = nullptr;
    }

private:
    void Serve(HWND window) {
        if (!window) return;
        window_ = window;
        // WM_CLOSE reaches DefWindowProc, which destroys the window: the thread ends then.
        MSG message{};
        while (::IsWindow(window) && ::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
    }

    std::thread thread_;
    std::atomic<HWND> window_{nullptr};
};

}  // namespace probe
