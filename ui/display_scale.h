#pragma once

#include <windows.h>

namespace cantivo {

// Windows' pixels per inch at 100 %.
inline constexpr int kDesignDpi = 96;

// The pixels per inch of the monitor that holds the point: each monitor's own where Windows
// gives each its own (8.1 on, to a program aware of it), the screen's otherwise.
int MonitorDpiAt(POINT point) noexcept;

// The small-icon size of the window's scale, which follows its monitor where Windows lets it
// (10, version 1607, on); the system's otherwise.
int SmallIconSize(HWND window) noexcept;

}  // namespace cantivo
