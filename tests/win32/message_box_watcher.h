#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "message_box.h"

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
        harness::MessageBoxView view = harness::InspectMessageBox(box);
        seen = true;
        owner = view.owner;
        text = view.text;
        hasIcon = view.hasIcon;
    }

    std::wstring title_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
