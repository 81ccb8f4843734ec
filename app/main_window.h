#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "balloon/balloon_view.h"
#include "onair/now_playing.h"
#include "platform/popup_menu.h"
#include "platform/timer.h"
#include "platform/window.h"
#include "text/locale_texts.h"
#include "wire_facts.h"

namespace cantivo {

// The tray icon's callback message; its lParam is the mouse message over the icon.
inline constexpr UINT kTrayIconMessage = WM_USER + CANTIVO_TRAY_MESSAGE_ABOVE_WM_USER;
inline constexpr UINT kTrayIconId = 1;
inline constexpr UINT_PTR kCloseTimerId = 1;
inline constexpr UINT kCloseTimerMs = 60000;  // the balloon shows for one minute
inline constexpr int kBalloonAlpha = 180;
inline constexpr int kFadeSteps = 10;

// The main window: the tray icon and its menu, and the balloon that shows what is playing.
// Each behaviour keeps the name it is known by; the balloon's own handlers pass on to its
// view (balloon/balloon_view.h).
class TfrmCantivo final : public Window {
public:
    explicit TfrmCantivo(Application& application);
    // The window goes with the object, whatever the way out: the icon with it.
    ~TfrmCantivo() override { Destroy(); }

    void Create();

private:
    // Start-up, tray icon, menu and the show/hide cycle.
    void FormCreate();
    void FormDestroy();
    void SetAlphaBlend(int alpha);
    void ICONMessage(LPARAM lParam);
    void OpenMenu();
    void G1Click();
    void Save1Click();
    void Exit1Click();
    void CloseTimerTimer();
    void ShowInfo();
    void HideInfo();

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

    void OnCreate() override { FormCreate(); }
    void OnDestroy() override { FormDestroy(); }
    void OnShow() override { FormShow(); }
    void OnPaint() override { FormPaint(); }
    void OnMouseMove(const ShiftState& shift, int x, int y) override { FormMouseMove(shift, x, y); }
    void OnMouseDown(MouseButton button, const ShiftState& shift, int x, int y) override {
        FormMouseDown(button, shift, x, y);
    }
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    void Fade(int from, int to);
    void ShowGet(bool getVisible);
    void AddTrayIcon();

    NowPlayingRecord NowPlaying;
    NOTIFYICONDATAA TrayIconData{};
    const std::string OnAirUrl;
    BalloonView view_;
    LocaleTexts locale_;
    POINT trayCursorPoint_{};
    UINT taskbarCreatedMessage_ = 0;
    // A Get waits for its page: messages sent meanwhile are answered, and start no Get.
    bool getting_ = false;
    bool menuAfterGet_ = false;  // the icon was right-clicked during the Get

    PopupMenu popMenu;
    PopupMenuItem& G1;
    PopupMenuItem& Save1;
    Timer CloseTimer;
};

}  // namespace cantivo
