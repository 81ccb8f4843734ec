#include "balloon/balloon_view.h"

#include <utility>

#include "balloon/balloon_font.h"
#include "os/unicode.h"
#include "ui/display_scale.h"

namespace cantivo {

namespace {

POINT ToPoint(Point p) { return POINT{p.x, p.y}; }

// Read anew each time, so that measuring and placing agree with the desktop as it is now.
Rect WorkArea() noexcept {
    RECT work{};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    return {work.left, work.top, work.right, work.bottom};
}

}  // namespace

BalloonView::BalloonView() {
    FollowMonitorScale();
    ReadColors();
}

bool BalloonView::FollowMonitorScale() {
    const Rect work = WorkArea();
    return SetDpi(MonitorDpiAt(POINT{work.right - 1, work.bottom - 1}));
}

bool BalloonView::SetDpi(int dpi) {
    if (dpi == dpi_ && font_) return false;
    GdiObject<HFONT> font = CreateBalloonFont(dpi);
    if (!font) return false;  // keeps the font it has
    replacedFont_ = std::exchange(font_, std::move(font));
    dpi_ = dpi;
    return true;
}

void BalloonView::ReadColors() noexcept {
    HIGHCONTRASTW highContrast{};
    highContrast.cbSize = sizeof highContrast;
    const bool on = ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof highContrast, &highContrast, 0) &&
                    (highContrast.dwFlags & HCF_HIGHCONTRASTON);
    colors_ = ChooseBalloonColors(
        on, {::GetSysColor(COLOR_WINDOW), ::GetSysColor(COLOR_WINDOWTEXT), ::GetSysColor(COLOR_HIGHLIGHT)});
}

void BalloonView::PrepareCanvas(Canvas& canvas) const noexcept {
    canvas.SetPenColor(colors_.outline);
    canvas.SetBrushColor(colors_.fill);
    canvas.SetTextColor(colors_.text);
}

void BalloonView::Measure(Canvas& canvas, const NowPlayingRecord& song) {
    geometry_ = BalloonGeometry::Measure(canvas.TextWidth(song.MainText), canvas.TextHeight(song.MainText),
                                         canvas.TextWidth(song.SubText), canvas.TextHeight(song.SubText))
                    .FittedTo(WorkArea());
}

RECT BalloonView::WindowBounds() const noexcept {
    Point at = geometry_.Position(WorkArea());
    return RECT{at.x, at.y, at.x + geometry_.ClientWidth(), at.y + geometry_.ClientHeight()};
}

void BalloonView::PaintBackground(Canvas& canvas) const {
    Rect body = geometry_.Body();
    canvas.RoundRect(body.left, body.top, body.right, body.bottom, BalloonGeometry::kBodyCorner,
                     BalloonGeometry::kBodyCorner);
    Point tail[3];
    geometry_.Tail(tail);
    POINT corners[3] = {ToPoint(tail[0]), ToPoint(tail[1]), ToPoint(tail[2])};
    canvas.Polygon(corners, 3);
}

void BalloonView::PaintButton(Canvas& canvas, bool lit) const {
    Rect button = geometry_.CloseButton();
    if (lit) canvas.SetBrushColor(colors_.buttonHot);
    canvas.Rectangle(button.left, button.top, button.right, button.bottom);
    if (lit) canvas.SetBrushColor(colors_.fill);
    Point first[2], second[2];
    geometry_.Cross(first, second);
    POINT line1[2] = {ToPoint(first[0]), ToPoint(first[1])};
    POINT line2[2] = {ToPoint(second[0]), ToPoint(second[1])};
    canvas.Polyline(line1, 2);
    canvas.Polyline(line2, 2);
}

void BalloonView::PaintTexts(Canvas& canvas, const NowPlayingRecord& song) const {
    canvas.PutText(geometry_.TimeAt().x, geometry_.TimeAt().y, song.TimeText);
    canvas.PutText(geometry_.MainAt().x, geometry_.MainAt().y, song.MainText);
    canvas.PutText(geometry_.SubAt().x, geometry_.SubAt().y, song.SubText);
}

std::wstring BalloonView::SpokenText(const NowPlayingRecord& song, unsigned codePage) {
    return WideFromCodePage(song.TimeText, codePage) + L", " + WideFromCodePage(song.MainText, codePage) + L", " +
           WideFromCodePage(song.SubText, codePage);
}

}  // namespace cantivo
