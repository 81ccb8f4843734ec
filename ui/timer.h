#pragma once

#include <windows.h>

#include <functional>

#include "ui/window.h"

namespace cantivo {

// A timer whose ticks arrive as events of its window. Setting the enabled flag to the value
// it already has changes nothing, so a running period is never restarted.
class Timer : private WindowPart {
public:
    Timer(Window& owner, UINT_PTR id, UINT intervalMs, std::function<void()> onTick);
    ~Timer() override;

    // A real change stops the timer and, when now enabled, starts a full interval. Fails with
    // "タイマーを取得できません" (the flag already set) when the system has no timer to give.
    void SetEnabled(bool enabled);

private:
    bool OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    UINT_PTR id_;
    UINT intervalMs_;
    std::function<void()> onTick_;
    bool enabled_ = false;
};

}  // namespace cantivo
