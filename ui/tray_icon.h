#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>

#include "ui/application.h"
#include "ui/timer.h"
#include "ui/window.h"

namespace cantivo {

// Where a menu of the icon opens: at the pointer when it is over the icon (a click), else at
// the icon, when its place is known. With the notification area reached by keyboard, Windows
// sends the icon the right button's message wherever the pointer is.
POINT IconMenuPoint(POINT pointer, const RECT* icon) noexcept;

// The owner's icon in the notification area, a part of the owner: it takes the callback
// message and reports the mouse messages over the icon to onMouse.
//
// The shell may not take the icon: at logon, a program in the Startup folder often starts
// before the notification area is ready or while it is too busy to answer. A failed add is
// tried again on a timer of the icon's own, every few seconds for about two minutes, each try
// first as a modify (an add that timed out may have been made after all). When the shell makes
// its notification area anew ("TaskbarCreated", let through to an elevated program too), the
// icon is added again. Its image is the one of the small-icon size, loaded again when the scale
// changes. It is removed when the part goes, or before with Remove.
class TrayIcon : private WindowPart {
public:
    struct Settings {
        UINT id = 0;
        UINT callbackMessage = 0;
        UINT_PTR retryTimerId = 0;  // one of the owner's timer ids that no other part uses
        const char* tip = "";       // ANSI, 63 bytes at most
    };

    TrayIcon(Window& owner, const Settings& settings, std::function<void(UINT mouseMessage)> onMouse);
    ~TrayIcon() override;

    // Adds the icon; the owner's window must exist. When the shell does not take it, tries again.
    void Add();
    void Remove() noexcept;
    bool Added() const noexcept { return added_; }
    // The screen point a menu of the icon opens at, now.
    POINT MenuPoint() const noexcept;
    // After a menu of the icon has closed with nothing chosen: the keyboard focus goes back to
    // the notification area, as the shell asks of its icons.
    void GiveBackFocus() noexcept;

private:
    bool OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool Notify(DWORD request) noexcept;
    void TryAgain();
    // The application's icon at the small-icon size of the owner's scale now, when that is not
    // the one in the record already; the image it replaces is let go only once the shell has
    // the new one.
    bool UpdateImage(IconHandle& replaced);
    void ModifyImage();

    // The record that adds, modifies and removes the icon.
    NOTIFYICONDATAA TrayIconData{};
    std::function<void(UINT)> onMouse_;
    UINT taskbarCreatedMessage_ = 0;
    IconHandle icon_;
    int iconSize_ = 0;
    Timer retry_;
    int triesLeft_ = 0;
    bool added_ = false;
};

}  // namespace cantivo
