#pragma once

namespace cantivo {

// The program's title: the application window's text, the main window's caption, the tray
// tip and the error box's title.
inline constexpr char kApplicationTitle[] = "Cantivo";

}  // namespace cantivo
