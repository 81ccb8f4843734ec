#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "onair/now_playing.h"
#include "platform/gdi.h"
#include "platform/popup_menu.h"
#include "platform/timer.h"
#include "platform/window.h"
#include "text/locale_texts.h"

namespace cantivo {

// The tray icon's callback message; its lParam is the mouse message over the icon.
inline constexpr UINT kTrayIconMessage = WM_USER + 100;
inline constexpr UINT kTrayIconId = 1;
inline constexpr UINT_PTR kCloseTimerId = 1;
inline constexpr UINT kCloseTimerMs = 60000;  // the balloon shows for one minute
inline constexpr UINT kFirstMenuCommand = 100;
inline constexpr int kBalloonAlpha = 180;
inline constexpr int kFadeSteps = 10;
inline constexpr COLORREF kColorKeyWhite = RGB(255, 255, 255);
inline constexpr COLORREF kOutlineColor = RGB(49, 101, 255);
inline constexpr COLORREF kBalloonFill = RGB(206, 255, 255);
inline constexpr COLORREF kButtonHotFill = RGB(255, 207, 156);

// The main window: the tray icon and its menu, and the balloon that shows what is playing.
class TfrmCantivo : public Window {
public:
    explicit TfrmCantivo(Application& application);
    void Create();

    // Start-up, tray icon, menu and the show/hide cycle.
    void FormCreate();
    void FormDestroy();
    void SetAlphaBlend(int alpha);
    void ICONMessage(LPARAM lParam);
    void G1Click();
    void Save1Click();
    void Exit1Click();
    void CloseTimerTimer();
    void ShowInfo();
    void HideInfo();
    bool GetCantivoInfo();
    void SaveCantivoLog();

    // The balloon: layout and painting.
    void GetTextSize();
    void SetClientSize();
    void FormShow();
    void FormPaint();
    void Redraw();
    void DrawBackground();
    void DrawButton();
    void DrawButtonOver();
    void DrawTextString();

    // The balloon: pointer handling.
    void FormMouseMove(const ShiftState& shift, int x, int y);
    void FormMouseDown(MouseButton button, const ShiftState& shift, int x, int y);

    // What several parts of the program share.
    cantivo::NowPlaying NowPlaying;
    int TextWidth = 0;
    int LineHeight = 0;
    bool ButtonHot = false;
    NOTIFYICONDATAA TrayIconData{};
    POINT TrayCursorPoint{};
    const std::string OnAirUrl;
    LocaleTexts Locale;

    PopupMenu popMenu;
    PopupMenuItem& G1;
    PopupMenuItem& Save1;
    PopupMenuItem& N1;
    PopupMenuItem& Exit1;
    Timer CloseTimer;

protected:
    void OnCreate() override { FormCreate(); }
    void OnDestroy() override { FormDestroy(); }
    void OnShow() override { FormShow(); }
    void OnPaint() override { FormPaint(); }
    void OnMouseMove(const ShiftState& shift, int x, int y) override { FormMouseMove(shift, x, y); }
    void OnMouseDown(MouseButton button, const ShiftState& shift, int x, int y) override {
        FormMouseDown(button, shift, x, y);
    }
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void Fade(int from, int to);
    void ShowGet(bool getVisible);
    void AddTrayIcon();

    UINT taskbarCreatedMessage_ = 0;
    GdiObject<HFONT> font_;
    HCURSOR handCursor_ = nullptr;
};

}  // namespace cantivo
