#include "ui/tray_icon.h"

#include <cstring>
#include <utility>

#include "os/system_library.h"
#include "ui/display_scale.h"

namespace cantivo {

namespace {

// About two minutes of tries: long enough for a shell that is busy at logon.
constexpr UINT kRetryEveryMs = 4000;
constexpr int kTries = 30;
constexpr UINT kFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
// The first version of the record, with a 64-byte tip: 88 bytes in the 32-bit layout.
static_assert(sizeof(void*) != 4 || NOTIFYICONDATAA_V1_SIZE == 88);

// Looked up: each came with a later Windows than the oldest the program runs on.
using GetRectFunction = HRESULT(WINAPI*)(const NOTIFYICONIDENTIFIER*, RECT*);
using MessageFilterFunction = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);

// An elevated program gets no "TaskbarCreated" from the shell, which runs with less privilege,
// unless its window lets the message through (User Interface Privilege Isolation).
void LetThrough(HWND window, UINT message) noexcept {
    static const auto filter = ImportedFunction<MessageFilterFunction>(L"user32.dll", "ChangeWindowMessageFilterEx");
    if (filter) filter(window, message, MSGFLT_ALLOW, nullptr);
}

}  // namespace

POINT IconMenuPoint(POINT pointer, const RECT* icon) noexcept {
    if (!icon || ::PtInRect(icon, pointer)) return pointer;
    return {icon->left + (icon->right - icon->left) / 2, icon->top + (icon->bottom - icon->top) / 2};
}

TrayIcon::TrayIcon(Window& owner, const Settings& settings, std::function<void(UINT mouseMessage)> onMouse)
    : WindowPart(owner),
      onMouse_(std::move(onMouse)),
      retry_(owner, settings.retryTimerId, kRetryEveryMs, [this] { TryAgain(); }) {
    TrayIconData.cbSize = NOTIFYICONDATAA_V1_SIZE;
    TrayIconData.uID = settings.id;
    TrayIconData.uFlags = kFlags;
    TrayIconData.uCallbackMessage = settings.callbackMessage;
    std::strncpy(TrayIconData.szTip, settings.tip, sizeof TrayIconData.szTip - 1);
    taskbarCreatedMessage_ = ::RegisterWindowMessageW(L"TaskbarCreated");
}

TrayIcon::~TrayIcon() { Remove(); }

bool TrayIcon::Notify(DWORD request) noexcept { return ::Shell_NotifyIconA(request, &TrayIconData) != FALSE; }

void TrayIcon::Add() {
    TrayIconData.hWnd = Owner().Handle();
    if (taskbarCreatedMessage_ != 0) LetThrough(TrayIconData.hWnd, taskbarCreatedMessage_);
    IconHandle replaced;
    UpdateImage(replaced);
    retry_.SetEnabled(false);
    added_ = Notify(NIM_ADD);
    triesLeft_ = added_ ? 0 : kTries;
    if (!added_) retry_.SetEnabled(true);
}

void TrayIcon::TryAgain() {
    // An add that timed out may have been made after all: then a modify is all it needs.
    added_ = Notify(NIM_MODIFY) || Notify(NIM_ADD);
    if (added_ || --triesLeft_ <= 0) {
        triesLeft_ = 0;
        retry_.SetEnabled(false);
    }
}

void TrayIcon::Remove() noexcept {
    retry_.SetEnabled(false);
    // While tries go on, an add that timed out may have been made.
    if (added_ || triesLeft_ > 0) Notify(NIM_DELETE);
    added_ = false;
    triesLeft_ = 0;
}

POINT TrayIcon::MenuPoint() const noexcept {
    POINT pointer{};
    ::GetCursorPos(&pointer);
    static const auto getRect = ImportedFunction<GetRectFunction>(L"shell32.dll", "Shell_NotifyIconGetRect");
    NOTIFYICONIDENTIFIER identifier{};
    identifier.cbSize = sizeof identifier;
    identifier.hWnd = TrayIconData.hWnd;
    identifier.uID = TrayIconData.uID;
    RECT icon{};
    const bool known = added_ && getRect && SUCCEEDED(getRect(&identifier, &icon));
    return IconMenuPoint(pointer, known ? &icon : nullptr);
}

void TrayIcon::GiveBackFocus() noexcept {
    if (added_) Notify(NIM_SETFOCUS);
}

bool TrayIcon::UpdateImage(IconHandle& replaced) {
    const int size = SmallIconSize(Owner().Handle());
    if (icon_ && size == iconSize_) return false;
    IconHandle icon = Owner().App().IconOfSize(size);
    if (!icon && icon_) return false;  // keeps the image it has
    replaced = std::exchange(icon_, std::move(icon));
    iconSize_ = size;
    TrayIconData.hIcon = icon_ ? icon_.Get() : Owner().App().Icon();
    return true;
}

void TrayIcon::ModifyImage() {
    IconHandle replaced;
    if (UpdateImage(replaced) && added_) Notify(NIM_MODIFY);
}

bool TrayIcon::OnWindowMessage(UINT message, WPARAM, LPARAM lParam) {
    if (message == TrayIconData.uCallbackMessage) {
        onMouse_(static_cast<UINT>(lParam));
        return true;
    }
    // Explorer was restarted and its notification area made anew: without the icon again the
    // program would run on out of reach. Its scale may have changed meanwhile.
    if (taskbarCreatedMessage_ != 0 && message == taskbarCreatedMessage_) {
        added_ = false;
        Add();
        return true;
    }
    // The scale changed without signing out, or the session moved to a screen of another scale.
    if (message == WM_DPICHANGED || message == WM_DISPLAYCHANGE || message == WM_SETTINGCHANGE) ModifyImage();
    if (message == WM_DESTROY) Remove();
    return false;  // the owner may want these too
}

}  // namespace cantivo
