#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

// Waits on a thread of its own for a message box with the given title, notes what it shows and
// closes it with OK, so a test of code that shows a box never hangs.
class MessageBoxWatcher {
public:
    explicit MessageBoxWatcher(std::wstring title) : title_(std::move(title)), thread_([this] { Watch(); }) {}
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;
    ~MessageBoxWatcher() { Stop(); }

    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }

    bool seen = false;
    std::wstring text;
    HWND owner = nullptr;
    bool hasIcon = false;

private:
    static constexpr int kWaitMs = 15000;

    void Watch() {
        for (int waited = 0; waited < kWaitMs && !stop_; waited += 20) {
            HWND box = ::FindWindowW(L"#32770", title_.c_str());
            if (box && ::IsWindowVisible(box)) {
                Inspect(box);
                ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                return;
            }
            ::Sleep(20);
        }
    }

    void Inspect(HWND box) {
        seen = true;
        owner = ::GetWindow(box, GW_OWNER);
        ::EnumChildWindows(box, &MessageBoxWatcher::InspectChild, reinterpret_cast<LPARAM>(this));
    }

    static BOOL CALLBACK InspectChild(HWND child, LPARAM self) {
        auto* watcher = reinterpret_cast<MessageBoxWatcher*>(self);
        wchar_t className[32] = {};
        ::GetClassNameW(child, className, 32);
        if (lstrcmpiW(className, L"Static") != 0 || !::IsWindowVisible(child)) return TRUE;
        if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            watcher->hasIcon = watcher->hasIcon || ::SendMessageW(child, STM_GETICON, 0, 0) != 0;
            return TRUE;
        }
        wchar_t text[512] = {};
        ::GetWindowTextW(child, text, 512);
        if (text[0]) watcher->text = text;
        return TRUE;
    }

    std::wstring title_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
