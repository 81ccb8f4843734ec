#include "platform/timer.h"

#include "platform/window.h"
#include "text/error.h"

namespace cantivo {

Timer::Timer(Window& owner, UINT_PTR id, UINT intervalMs, std::function<void()> onTick)
    : owner_(owner), id_(id), intervalMs_(intervalMs), onTick_(std::move(onTick)) {
    owner_.AddTimer(this);
}

Timer::~Timer() {
    if (owner_.Handle()) ::KillTimer(owner_.Handle(), id_);
}

void Timer::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    ::KillTimer(owner_.Handle(), id_);
    if (enabled_ && intervalMs_ != 0 && onTick_) {
        if (!::SetTimer(owner_.Handle(), id_, intervalMs_, nullptr)) throw CantivoError("タイマーを取得できません");
    }
}

}  // namespace cantivo
