#pragma once

#include <windows.h>

#include "os/unique_handle.h"

namespace cantivo {

// A pen, brush, font or bitmap. Deleting one that is still selected into a DC fails
// silently, so select it out (SelectedObject) before this is destroyed.
template <typename T>
using GdiObject = UniqueHandle<NullIsEmpty<T, &::DeleteObject>>;

using MemoryDc = UniqueHandle<NullIsEmpty<HDC, &::DeleteDC>>;

// Selects an object into a DC and selects the previous one back on scope exit.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) noexcept : dc_(dc), old_(::SelectObject(dc, object)) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() {
        if (old_) ::SelectObject(dc_, old_);
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// A window's DC from GetDC, released with ReleaseDC.
class WindowDc {
public:
    WindowDc() noexcept = default;
    explicit WindowDc(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() { Release(); }

    HDC Get() const noexcept { return dc_; }
    HDC Acquire(HWND window) noexcept {
        Release();
        window_ = window;
        dc_ = ::GetDC(window);
        return dc_;
    }
    void Release() noexcept {
        if (dc_) ::ReleaseDC(window_, dc_);
        dc_ = nullptr;
    }

private:
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
};

}  // namespace cantivo
