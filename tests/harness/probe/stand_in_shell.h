// The stand-in shell: a notification area of the probe's own, for the tray icon's requests when
// Wine's explorer is gone. Included by probe.cpp only.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "window_thread.h"

namespace probe {

// A stand-in for the shell's notification area, for when Wine's explorer is gone: Wine 8 keeps
// the desktop window of a killed explorer, so a new explorer cannot take the desktop again while
// any program still runs on it. Like a shell that has just started, it owns the one
// "Shell_TrayWnd" window, which Shell_NotifyIcon sends its requests to, and announces itself with
// the "TaskbarCreated" broadcast. It keeps every request it receives, and answers as a shell
// does: an icon is added once, and only an added icon is modified or deleted. Started busy, it
// refuses its first adds, as a shell that is not ready at logon does.
class StandInShell {
public:
    struct Request {
        DWORD message = 0;  // NIM_ADD, NIM_MODIFY, NIM_DELETE, ...
        HWND owner = nullptr;
        UINT id = 0;
        UINT flags = 0;
        UINT callbackMessage = 0;
        std::wstring tip;
        bool accepted = false;
    };

    bool Start(int addsRefused = 0) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            addsRefused_ = addsRefused;
        }
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
            request.accepted = self->Answer(request);
            self->requests_.push_back(request);
            return request.accepted;
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    // Under the mutex.
    bool Answer(const Request& request) {
        const auto icon = std::make_pair(request.owner, request.id);
        const bool there = std::find(icons_.begin(), icons_.end(), icon) != icons_.end();
        switch (request.message) {
            case NIM_ADD:
                if (addsRefused_ > 0) {
                    --addsRefused_;
                    return false;
                }
                if (there) return false;
                icons_.push_back(icon);
                return true;
            case NIM_DELETE:
                icons_.erase(std::remove(icons_.begin(), icons_.end(), icon), icons_.end());
                return there;
            case NIM_MODIFY: return there;
            default: return true;
        }
    }

    HWND Make() { return MakeOwnedWindow(L"Shell_TrayWnd", &StandInShell::Procedure, this); }

    WindowThread window_;
    std::mutex mutex_;
    std::vector<Request> requests_;
    std::vector<std::pair<HWND, UINT>> icons_;
    int addsRefused_ = 0;
};

}  // namespace probe
