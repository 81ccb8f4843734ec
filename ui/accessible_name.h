#pragma once

#include <windows.h>

#include <string>

namespace cantivo {

// What assistive technology reads of a window that paints its own content: the system's
// standard accessible object of its client area, with the name replaced by name (the window
// text stays as it is) and the role an alert's, so that a screen reader reads it when it
// appears. The answer to WM_GETOBJECT; 0 when another object is asked for or the object cannot
// be made, and the platform answers then.
LRESULT AnswerAccessibleObject(HWND window, WPARAM wParam, LPARAM lParam, const std::wstring& name) noexcept;

}  // namespace cantivo
