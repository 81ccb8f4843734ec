#pragma once

namespace cantivo {

// The program's title: the application window's text, the main window's caption, the tray
// tip, the error box's title and the "not connected." box's text.
inline constexpr char kApplicationTitle[] = "Cantivo";
inline constexpr wchar_t kApplicationTitleW[] = L"Cantivo";

}  // namespace cantivo
