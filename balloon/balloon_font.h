#pragma once

#include <windows.h>

#include "ui/gdi.h"

namespace cantivo {

// The balloon's font: "ＭＳ Ｐゴシック", 12 pixels high at 96 pixels per inch and scaled to dpi,
// Shift-JIS, regular. Where that face is missing, a proportional Shift-JIS face of the same
// height takes its place (IPAPGothic on Debian).
GdiObject<HFONT> CreateBalloonFont(int dpi);

}  // namespace cantivo
