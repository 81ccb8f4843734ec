#pragma once

#include <windows.h>

#include <string_view>

#include "ui/gdi.h"

namespace cantivo {

// A window's drawing surface. Pen, brush and font live here and carry over between drawing
// in a paint event (on the off-screen bitmap) and drawing straight onto the window, which
// takes the window's DC when first needed and gives it back when the event is handled.
// Coordinates are client pixels; right and bottom edges are excluded.
class Canvas {
public:
    Canvas() noexcept = default;
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    ~Canvas() { ReleaseWindowDc(); }

    // The window drawn on straight; none until attached, and none again once detached.
    void Attach(HWND window) noexcept { window_ = window; }
    void Detach() noexcept {
        ReleaseWindowDc();
        window_ = nullptr;
    }

    void SetPenColor(COLORREF color) noexcept;
    void SetBrushColor(COLORREF color) noexcept;
    void SetFont(HFONT font, COLORREF textColor) noexcept;
    void SetTextColor(COLORREF color) noexcept;

    void Rectangle(int x1, int y1, int x2, int y2);
    void RoundRect(int x1, int y1, int x2, int y2, int ellipseWidth, int ellipseHeight);
    void Polygon(const POINT* points, int count);
    void Polyline(const POINT* points, int count);
    // The text's cell is filled with the brush colour; the bytes go to the ANSI call whole,
    // read in the font's character set. (Not named TextOut: <windows.h> turns that name into
    // TextOutA or TextOutW.)
    void PutText(int x, int y, std::string_view bytes);
    int TextWidth(std::string_view bytes);
    int TextHeight(std::string_view bytes);

    // Drawing goes to dc until the returned scope ends, then back to where it went before.
    class Target {
    public:
        Target(Canvas& canvas, HDC dc) noexcept;
        Target(const Target&) = delete;
        Target& operator=(const Target&) = delete;
        ~Target();

    private:
        Canvas& canvas_;
        HDC previous_;
    };

    void ReleaseWindowDc() noexcept;

private:
    // The DC to draw on, with the pen, brush and font selected in their current colours.
    HDC Prepare();
    void DeselectTools() noexcept;
    SIZE TextExtent(std::string_view bytes);

    HWND window_ = nullptr;
    HDC dc_ = nullptr;  // where drawing goes now; the window DC or a paint event's bitmap
    WindowDc windowDc_;
    bool selected_ = false;  // our tools are selected into dc_
    int savedState_ = 0;     // SaveDC level of dc_ before they were, to give its own back

    COLORREF penColor_ = RGB(0, 0, 0);
    COLORREF brushColor_ = RGB(255, 255, 255);
    COLORREF textColor_ = RGB(0, 0, 0);
    HFONT font_ = nullptr;
    GdiObject<HPEN> pen_;
    GdiObject<HBRUSH> brush_;
    bool toolsStale_ = true;
};

}  // namespace cantivo
