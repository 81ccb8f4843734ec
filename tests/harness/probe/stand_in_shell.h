// The stand-in shell: a notification area of the probe's own, for the tray icon's requests when
// Wine's explorer is gone. Included by probe.cpp only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "window_thread.h"

namespace probe {

// A stand-in for the shell's notification area, for when Wine's explorer is gone: Wine 8 keeps
// the desktop window of a killed explorer, so a new explorer cannot take the desktop again while
// any program still runs on it. Like a shell that has just started, it owns the one
// "Shell_TrayWnd" window, which Shell_NotifyIcon sends its requests to, and announces itself with
// the "TaskbarCreated" broadcast. It keeps every request it receives.
class StandInShell {
public:
    struct Request {
        DWORD message = 0;  // NIM_ADD, NIM_MODIFY, NIM_DELETE, ...
        HWND owner = nullptr;
        UINT id = 0;
        UINT flags = 0;
        UINT callbackMessage = 0;
        std::wstring tip;
    };

    bool Start() {
        if (!window_.Start([this] { return Make(); })) return false;
        ::SendNotifyMessageW(HWND_BROADCAST, ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
        return true;
    }

    void Stop() { window_.Stop(); }

    std::vector<Request> Requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

private:
    // The layout Wine's shell32 sends Shell_NotifyIcon's data in (the head of it).
    struct NotifyData {
        LONG owner;
        UINT id;
        UINT flags;
        UINT callbackMessage;
        WCHAR tip[128];
    };

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<StandInShell*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_COPYDATA && self) {
            const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            if (copy->cbData < sizeof(NotifyData)) return FALSE;
            NotifyData data{};
            std::memcpy(&data, copy->lpData, sizeof data);
            Request request;
            request.message = static_cast<DWORD>(copy->dwData);
            request.owner = reinterpret_cast<HWND>(static_cast<uintptr_t>(static_cast<ULONG>(data.owner)));
            request.id = data.id;
            request.flags = data.flags;
            request.callbackMessage = data.callbackMessage;
            data.tip[127] = L'\0';
            request.tip = data.tip;
            std::lock_guard<std::mutex> lock(self->mutex_);
            self->requests_.push_back(request);
            return TRUE;
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    HWND Make() { return MakeOwnedWindow(L"Shell_TrayWnd", &StandInShell::Procedure, this); }

    WindowThread window_;
    std::mutex mutex_;
    std::vector<Request> requests_;
};

}  // namespace probe
