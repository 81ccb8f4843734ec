// The main window as the balloon: its layout, painting and pointer handling.
#include <windows.h>

#include "app/main_window.h"
#include "balloon/balloon_geometry.h"
#include "platform/pointer.h"

namespace cantivo {

namespace {

BalloonGeometry Geometry(int textWidth, int lineHeight) { return BalloonGeometry{textWidth, lineHeight}; }

POINT ToPoint(Point p) { return POINT{p.x, p.y}; }

Rect WorkArea() {
    RECT work{};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    return {work.left, work.top, work.right, work.bottom};
}

}  // namespace

void TfrmCantivo::GetTextSize() {
    Canvas& canvas = Surface();
    BalloonGeometry g = BalloonGeometry::Measure(canvas.TextWidth(NowPlaying.MainText), canvas.TextHeight(NowPlaying.MainText),
                                                 canvas.TextWidth(NowPlaying.SubText), canvas.TextHeight(NowPlaying.SubText))
                            .FittedTo(WorkArea());
    TextWidth = g.W;
    LineHeight = g.H;
}

void TfrmCantivo::SetClientSize() {
    BalloonGeometry g = Geometry(TextWidth, LineHeight);
    SetWidth(g.ClientWidth());
    SetHeight(g.ClientHeight());
}

void TfrmCantivo::FormShow() {
    GetTextSize();
    SetClientSize();
    Point at = Geometry(TextWidth, LineHeight).Position(WorkArea());
    SetLeft(at.x);
    SetTop(at.y);
    // Hidden on every show, so the program never has a taskbar button.
    App().HideWindow();
    ::SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TfrmCantivo::FormPaint() {
    if (!NowPlaying.MainText.empty() && !NowPlaying.SubText.empty()) Redraw();
}

void TfrmCantivo::Redraw() {
    GetTextSize();
    DrawBackground();
    DrawButton();
    DrawTextString();
}

void TfrmCantivo::DrawBackground() {
    BalloonGeometry g = Geometry(TextWidth, LineHeight);
    Rect body = g.Body();
    Surface().RoundRect(body.left, body.top, body.right, body.bottom, BalloonGeometry::kBodyCorner,
                        BalloonGeometry::kBodyCorner);
    Point tail[3];
    g.Tail(tail);
    POINT corners[3] = {ToPoint(tail[0]), ToPoint(tail[1]), ToPoint(tail[2])};
    Surface().Polygon(corners, 3);
}

static void DrawCloseButtonSquare(Canvas& canvas, const BalloonGeometry& g) {
    Rect button = g.CloseButton();
    canvas.Rectangle(button.left, button.top, button.right, button.bottom);
}

static void DrawCloseButtonCross(Canvas& canvas, const BalloonGeometry& g) {
    Point first[2], second[2];
    g.Cross(first, second);
    POINT line1[2] = {ToPoint(first[0]), ToPoint(first[1])};
    POINT line2[2] = {ToPoint(second[0]), ToPoint(second[1])};
    canvas.Polyline(line1, 2);
    canvas.Polyline(line2, 2);
}

void TfrmCantivo::DrawButton() {
    BalloonGeometry g = Geometry(TextWidth, LineHeight);
    DrawCloseButtonSquare(Surface(), g);
    DrawCloseButtonCross(Surface(), g);
}

// The same button with its square lit; the balloon's brush is restored for what follows.
void TfrmCantivo::DrawButtonOver() {
    BalloonGeometry g = Geometry(TextWidth, LineHeight);
    Surface().SetBrushColor(kButtonHotFill);
    DrawCloseButtonSquare(Surface(), g);
    Surface().SetBrushColor(kBalloonFill);
    DrawCloseButtonCross(Surface(), g);
}

void TfrmCantivo::DrawTextString() {
    BalloonGeometry g = Geometry(TextWidth, LineHeight);
    Surface().TextOut(g.TimeAt().x, g.TimeAt().y, NowPlaying.TimeText);
    Surface().TextOut(g.MainAt().x, g.MainAt().y, NowPlaying.MainText);
    Surface().TextOut(g.SubAt().x, g.SubAt().y, NowPlaying.SubText);
}

void TfrmCantivo::FormMouseMove(const ShiftState&, int, int) {
    BalloonGeometry g = Geometry(TextWidth, LineHeight);
    POINT pointer = PointerInClient();
    bool inside = g.InCloseButton(pointer.x, pointer.y);
    if (ButtonHot && !inside) {
        DrawButton();
        SetCursor(::LoadCursorA(nullptr, IDC_ARROW));
        ButtonHot = false;
    } else if (!ButtonHot && inside) {
        DrawButtonOver();
        SetCursor(::LoadCursorA(nullptr, IDC_HAND));
        ButtonHot = true;
    }
}

void TfrmCantivo::FormMouseDown(MouseButton, const ShiftState& shift, int, int) {
    if (shift.left) {
        // The system's move loop: the window follows the pointer until the button is released,
        // so the pointer ends where it started relative to the window.
        ::ReleaseCapture();
        ::SendMessageA(Handle(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
        POINT pointer = PointerInClient();
        if (Geometry(TextWidth, LineHeight).InCloseButton(pointer.x, pointer.y)) HideInfo();
    } else if (shift.right) {
        HideInfo();
    }
}

}  // namespace cantivo
