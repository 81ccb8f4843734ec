#include "ui/timer.h"

#include "base/error.h"

namespace cantivo {

Timer::Timer(Window& owner, UINT_PTR id, UINT intervalMs, std::function<void()> onTick)
    : WindowPart(owner), id_(id), intervalMs_(intervalMs), onTick_(std::move(onTick)) {}

Timer::~Timer() {
    if (Owner().Handle()) ::KillTimer(Owner().Handle(), id_);
}

void Timer::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    ::KillTimer(Owner().Handle(), id_);
    if (enabled_ && intervalMs_ != 0 && onTick_) {
        if (!::SetTimer(Owner().Handle(), id_, intervalMs_, nullptr)) throw CantivoError("タイマーを取得できません");
    }
}

bool Timer::OnWindowMessage(UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_TIMER || wParam != id_) return false;
    onTick_();
    return true;
}

}  // namespace cantivo
