#include "ui/canvas.h"

#include <climits>

#include "base/error.h"

namespace cantivo {

namespace {

int ByteCount(std::string_view bytes) noexcept {
    return bytes.size() > INT_MAX ? INT_MAX : static_cast<int>(bytes.size());
}

}  // namespace

void Canvas::SetPenColor(COLORREF color) noexcept {
    toolsStale_ = toolsStale_ || color != penColor_;
    penColor_ = color;
}

void Canvas::SetBrushColor(COLORREF color) noexcept {
    toolsStale_ = toolsStale_ || color != brushColor_;
    brushColor_ = color;
}

void Canvas::SetFont(HFONT font, COLORREF textColor) noexcept {
    // A font being replaced is let go of by the DC now, so that its owner may delete it.
    if (font != font_) DeselectTools();
    font_ = font;
    textColor_ = textColor;
    toolsStale_ = true;
}

void Canvas::SetTextColor(COLORREF color) noexcept {
    toolsStale_ = toolsStale_ || color != textColor_;
    textColor_ = color;
}

HDC Canvas::Prepare() {
    if (!dc_) {
        dc_ = windowDc_.Acquire(window_);
        if (!dc_) throw CantivoError("デバイス コンテキストの作成に失敗しました");
    }
    if (!selected_) {
        savedState_ = ::SaveDC(dc_);
        selected_ = true;
        toolsStale_ = true;
    }
    if (toolsStale_) {
        GdiObject<HPEN> pen(::CreatePen(PS_SOLID, 1, penColor_));
        GdiObject<HBRUSH> brush(::CreateSolidBrush(brushColor_));
        // Selecting the new tools deselects the old ones, which may then be deleted.
        ::SelectObject(dc_, pen.Get());
        ::SelectObject(dc_, brush.Get());
        pen_ = std::move(pen);
        brush_ = std::move(brush);
        if (font_) ::SelectObject(dc_, font_);
        ::SetTextColor(dc_, textColor_);
        ::SetBkColor(dc_, brushColor_);
        ::SetBkMode(dc_, OPAQUE);
        ::SetROP2(dc_, R2_COPYPEN);
        ::SetPolyFillMode(dc_, ALTERNATE);
        toolsStale_ = false;
    }
    return dc_;
}

void Canvas::DeselectTools() noexcept {
    if (selected_ && dc_) ::RestoreDC(dc_, savedState_);
    selected_ = false;
}

void Canvas::ReleaseWindowDc() noexcept {
    if (dc_ && dc_ == windowDc_.Get()) {
        DeselectTools();
        dc_ = nullptr;
    }
    windowDc_.Release();
}

Canvas::Target::Target(Canvas& canvas, HDC dc) noexcept : canvas_(canvas), previous_(canvas.dc_) {
    canvas_.DeselectTools();
    canvas_.dc_ = dc;
}

Canvas::Target::~Target() {
    canvas_.DeselectTools();
    canvas_.dc_ = previous_;
}

void Canvas::Rectangle(int x1, int y1, int x2, int y2) { ::Rectangle(Prepare(), x1, y1, x2, y2); }

void Canvas::RoundRect(int x1, int y1, int x2, int y2, int ellipseWidth, int ellipseHeight) {
    ::RoundRect(Prepare(), x1, y1, x2, y2, ellipseWidth, ellipseHeight);
}

void Canvas::Polygon(const POINT* points, int count) { ::Polygon(Prepare(), points, count); }

void Canvas::Polyline(const POINT* points, int count) { ::Polyline(Prepare(), points, count); }

SIZE Canvas::TextExtent(std::string_view bytes) {
    HDC dc = Prepare();
    SIZE size{0, 0};
    if (bytes.empty()) {
        TEXTMETRICA metrics{};
        ::GetTextMetricsA(dc, &metrics);
        size.cy = metrics.tmHeight;
        return size;
    }
    ::GetTextExtentPoint32A(dc, bytes.data(), ByteCount(bytes), &size);
    return size;
}

void Canvas::PutText(int x, int y, std::string_view bytes) {
    SIZE size = TextExtent(bytes);
    RECT cell{x, y, x + size.cx, y + size.cy};
    ::ExtTextOutA(Prepare(), x, y, ETO_OPAQUE, &cell, bytes.data(), static_cast<UINT>(ByteCount(bytes)), nullptr);
}

int Canvas::TextWidth(std::string_view bytes) { return TextExtent(bytes).cx; }

int Canvas::TextHeight(std::string_view bytes) { return TextExtent(bytes).cy; }

}  // namespace cantivo
