#pragma once

#include <windows.h>

#include <functional>

namespace cantivo {

class Window;

// A timer whose ticks arrive as events of its window. Setting the enabled flag to the value
// it already has changes nothing, so a running period is never restarted.
class Timer {
public:
    Timer(Window& owner, UINT_PTR id, UINT intervalMs, std::function<void()> onTick);
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    ~Timer();

    // A real change stops the timer and, when now enabled, starts a full interval. Fails with
    // "タイマーを取得できません" (the flag already set) when the system has no timer to give.
    void SetEnabled(bool enabled);
    bool Enabled() const noexcept { return enabled_; }

    UINT_PTR Id() const noexcept { return id_; }
    void Tick() { onTick_(); }

private:
    Window& owner_;
    UINT_PTR id_;
    UINT intervalMs_;
    std::function<void()> onTick_;
    bool enabled_ = false;
};

}  // namespace cantivo
