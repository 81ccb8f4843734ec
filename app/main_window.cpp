#include "app/main_window.h"

#include "base/local_clock.h"
#include "menu_commands.h"
#include "onair/get_cantivo_info.h"
#include "onair/on_air_page.h"
#include "os/locale_texts_win32.h"
#include "os/win32_file_layer.h"
#include "songlog/log_path_win32.h"
#include "songlog/song_log.h"
#include "wire_facts.h"

namespace cantivo {

namespace {

// The tray icon's callback message; its lParam is the mouse message over the icon.
constexpr UINT kTrayIconMessage = WM_USER + CANTIVO_TRAY_MESSAGE_ABOVE_WM_USER;
constexpr UINT kTrayIconId = 1;
constexpr UINT_PTR kCloseTimerId = 1;
constexpr UINT_PTR kTrayRetryTimerId = 2;
constexpr UINT kCloseTimerMs = 60000;  // the balloon shows for one minute
constexpr int kBalloonAlpha = CANTIVO_BALLOON_ALPHA;
constexpr int kFadeSteps = 10;
constexpr wchar_t kMainWindowClass[] = CANTIVO_MAIN_WINDOW_CLASS;
// The designed place and size, replaced by the balloon's own before it is ever visible.
constexpr int kDesignedLeft = 192;
constexpr int kDesignedTop = 107;
constexpr int kDesignedWidth = 104;
constexpr int kDesignedHeight = 16;

// Raises a flag for as long as it lives, however the scope is left.
class RaisedFlag {
public:
    explicit RaisedFlag(bool& flag) noexcept : flag_(flag) { flag_ = true; }
    ~RaisedFlag() { flag_ = false; }
    RaisedFlag(const RaisedFlag&) = delete;
    RaisedFlag& operator=(const RaisedFlag&) = delete;

private:
    bool& flag_;
};

}  // namespace

TfrmCantivo::TfrmCantivo(Application& application)
    : Window(application),
      OnAirUrl(DefaultOnAirUrl()),
      locale_(ReadUserLocaleTexts()),
      trayIcon_(*this, {kTrayIconId, kTrayIconMessage, kTrayRetryTimerId, kApplicationTitle},
                [this](UINT mouseMessage) { ICONMessage(mouseMessage); }),
      popMenu(*this),
      G1(popMenu.Add({kGetCommand, "取得(&G)", true, true, [this] { G1Click(); }})),
      Save1(popMenu.Add({kSaveCommand, "保存(&S)", false, true, [this] { Save1Click(); }})),
      CloseTimer(*this, kCloseTimerId, kCloseTimerMs, [this] { CloseTimerTimer(); }) {
    popMenu.Add({0, "-", true, true, nullptr});
    popMenu.Add({kExitCommand, "終了(&X)", true, true, [this] { Exit1Click(); }});
}

void TfrmCantivo::Create() {
    SetFont(view_.Font());
    // No border, no caption bar, no system menu: the outer size is the client size.
    Window::Create(kMainWindowClass, kApplicationTitleW, WS_POPUP, kDesignedLeft, kDesignedTop, kDesignedWidth,
                   kDesignedHeight);
}

bool TfrmCantivo::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = 0;
    if (message == WM_SETTINGCHANGE) {
        locale_ = ReadUserLocaleTexts();
        if (wParam == SPI_SETHIGHCONTRAST) ThemeChanged();
        return false;
    }
    if (message == WM_SYSCOLORCHANGE) {
        ThemeChanged();
        return false;
    }
    if (message == WM_DPICHANGED) {
        MovedToScale(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return false;  // the tray icon follows the scale too
    }
    if (message == WM_ENDSESSION && wParam) {
        // The session ends and the process with it: take the icon away first. The Restart
        // Manager asks a program to close while the session goes on: without its icon nothing
        // could reach it, so it ends.
        FormDestroy();
        if (lParam & ENDSESSION_CLOSEAPP) App().Terminate();
        return true;
    }
    return false;
}

void TfrmCantivo::FormCreate() {
    SetDoubleBuffered(true);
    SetBackgroundColor(kColorKeyWhite);
    trayIcon_.Add();
    LONG exStyle = ::GetWindowLongA(Handle(), GWL_EXSTYLE);
    ::SetWindowLongA(Handle(), GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
    SetAlphaBlend(kBalloonAlpha);
    view_.PrepareCanvas(Surface());
}

// The balloon dragged onto a monitor of another scale: its font and layout made for that
// scale, where it now is. A move of the program's own, to the work area's corner, finds the
// font already made for it.
void TfrmCantivo::MovedToScale(int dpi, const RECT& suggested) {
    if (!view_.SetDpi(dpi)) return;
    UseViewFont();
    if (!Visible()) return;
    GetTextSize();
    RECT bounds = view_.WindowBounds();
    ::OffsetRect(&bounds, suggested.left - bounds.left, suggested.top - bounds.top);
    Place(bounds, HWND_TOPMOST);
    ::InvalidateRect(Handle(), nullptr, FALSE);
}

// The view's font on the window, in the view's colours.
void TfrmCantivo::UseViewFont() {
    SetFont(view_.Font());
    view_.PrepareCanvas(Surface());
}

// A high-contrast theme switched on or off, or the system's colours changed: a balloon on the
// screen is painted again in the new ones.
void TfrmCantivo::ThemeChanged() {
    view_.ReadColors();
    view_.PrepareCanvas(Surface());
    if (Visible()) ::InvalidateRect(Handle(), nullptr, FALSE);
}

void TfrmCantivo::FormDestroy() { trayIcon_.Remove(); }

void TfrmCantivo::SetAlphaBlend(int alpha) {
    ::SetLayeredWindowAttributes(Handle(), kColorKeyWhite, static_cast<BYTE>(alpha), LWA_COLORKEY | LWA_ALPHA);
}

void TfrmCantivo::ICONMessage(UINT mouseMessage) {
    if (getting_) {
        // Sent by the shell while a Get waits for its page: a Get now would run inside it, and
        // the menu's loop would take the queued input. The menu opens once the Get has ended.
        if (mouseMessage == WM_RBUTTONDOWN) menuAfterGet_ = true;
        return;
    }
    if (mouseMessage == WM_LBUTTONDBLCLK) {
        G1Click();
    } else if (mouseMessage == WM_RBUTTONDOWN) {
        OpenMenu();
    }
}

void TfrmCantivo::OpenMenu() {
    // The window must be in the foreground, or the menu stays open when the user clicks
    // elsewhere.
    ::SetForegroundWindow(Handle());
    // At the pointer after a click, at the icon when it was reached by keyboard.
    if (!popMenu.Open(trayIcon_.MenuPoint())) trayIcon_.GiveBackFocus();
}

void TfrmCantivo::G1Click() {
    if (getting_) return;
    bool got = false;
    {
        RaisedFlag getting(getting_);
        got = GetCantivoInfo(Handle(), OnAirUrl, locale_, NowPlaying);
    }
    if (got) ShowInfo();
    if (menuAfterGet_) {
        menuAfterGet_ = false;
        OpenMenu();
    }
}

void TfrmCantivo::Save1Click() {
    SaveCantivoLog(SystemFileLayer(), CantivoLogPath(), NowPlaying, locale_, LocalNow());
    HideInfo();
}

void TfrmCantivo::Exit1Click() { App().Terminate(); }

void TfrmCantivo::CloseTimerTimer() {
    HideInfo();
    CloseTimer.SetEnabled(false);
}

void TfrmCantivo::ShowGet(bool getVisible) {
    G1.visible = getVisible;
    Save1.visible = !getVisible;
}

// Ten steps; each lets pending events run, so any handler may run in the middle of a fade.
void TfrmCantivo::Fade(int from, int to) {
    int step = (to - from) / (kFadeSteps - 1);
    for (int i = 0; i < kFadeSteps; ++i) {
        SetAlphaBlend(from + i * step);
        ::Sleep(1);
        App().ProcessMessages();
    }
}

void TfrmCantivo::ShowInfo() {
    Hide();
    SetAlphaBlend(0);
    Show();
    ShowGet(false);
    CloseTimer.SetEnabled(true);
    Fade(0, kBalloonAlpha);
}

void TfrmCantivo::HideInfo() {
    Fade(kBalloonAlpha, 0);
    Hide();
    ShowGet(true);
}

// The balloon: each handler passes on to the view.

void TfrmCantivo::GetTextSize() { view_.Measure(Surface(), NowPlaying); }

// The client size, the place above the work area's corner and the topmost band, in one move.
void TfrmCantivo::SetClientSize() { Place(view_.WindowBounds(), HWND_TOPMOST); }

void TfrmCantivo::FormShow() {
    if (view_.FollowMonitorScale()) UseViewFont();
    GetTextSize();
    SetAccessibleName(BalloonView::SpokenText(NowPlaying, kPageCodePage));
    // The application window is shown in the window layer and hidden here on purpose. The
    // layer serves any window: it shows the application window, which carries the program's
    // taskbar button, when the first window becomes visible (Window::Show). Only the tray shell
    // knows that this program wants no taskbar button, so it hides that window again on every
    // show, here in the show handler, which runs before the balloon itself is shown.
    App().HideWindow();
    SetClientSize();
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

void TfrmCantivo::DrawBackground() { view_.PaintBackground(Surface()); }

void TfrmCantivo::DrawButton() { view_.PaintButton(Surface(), false); }

void TfrmCantivo::DrawButtonOver() { view_.PaintButton(Surface(), true); }

void TfrmCantivo::DrawTextString() { view_.PaintTexts(Surface(), NowPlaying); }

// Lit under the pointer with the hand cursor, plain with the arrow elsewhere: drawn straight
// onto the window, only when that changes.
void TfrmCantivo::FormMouseMove(const ShiftState&, int, int) {
    bool inside = view_.InCloseButton(PointerInClient());
    if (inside == view_.ButtonHot()) return;
    if (inside) {
        DrawButtonOver();
    } else {
        DrawButton();
    }
    SetCursor(::LoadCursorA(nullptr, inside ? IDC_HAND : IDC_ARROW));
    view_.SetButtonHot(inside);
}

void TfrmCantivo::FormMouseDown(MouseButton, const ShiftState& shift, int, int) {
    if (shift.left) {
        // The system's move loop: the window follows the pointer until the button is released,
        // so the pointer ends where it started relative to the window.
        ::ReleaseCapture();
        ::SendMessageA(Handle(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
        if (view_.InCloseButton(PointerInClient())) HideInfo();
    } else if (shift.right) {
        HideInfo();
    }
}

}  // namespace cantivo
