#pragma once

#include <windows.h>

#include <string>

#include "balloon/balloon_view.h"
#include "base/locale_texts.h"
#include "base/now_playing.h"
#include "ui/popup_menu.h"
#include "ui/timer.h"
#include "ui/tray_icon.h"
#include "ui/window.h"

namespace cantivo {

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
    void ICONMessage(UINT mouseMessage);
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
    void ThemeChanged();
    void MovedToScale(int dpi, const RECT& suggested);
    void UseViewFont();

    NowPlayingRecord NowPlaying;
    const std::string OnAirUrl;
    BalloonView view_;
    LocaleTexts locale_;
    TrayIcon trayIcon_;
    // A Get waits for its page: messages sent meanwhile are answered, and start no Get.
    bool getting_ = false;
    bool menuAfterGet_ = false;  // the icon was right-clicked during the Get

    PopupMenu popMenu;
    PopupMenuItem& G1;
    PopupMenuItem& Save1;
    Timer CloseTimer;
};

}  // namespace cantivo
