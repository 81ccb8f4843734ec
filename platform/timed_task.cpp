#include "platform/timed_task.h"

#include <atomic>
#include <new>
#include <utility>

#include "platform/kernel_handle.h"

namespace cantivo {

namespace {

// The task between the caller and its thread; whichever of the two leaves it last deletes it.
struct Handoff {
    std::unique_ptr<TimedTask> task;
    std::atomic<int> holders{2};
};

void Leave(Handoff* handoff) noexcept {
    if (handoff->holders.fetch_sub(1) == 1) delete handoff;
}

DWORD WINAPI RunTask(void* parameter) noexcept {
    auto* handoff = static_cast<Handoff*>(parameter);
    handoff->task->Run();
    Leave(handoff);
    return 0;
}

}  // namespace

bool RunWithin(std::unique_ptr<TimedTask>& task, DWORD limitMs) noexcept {
    auto* handoff = new (std::nothrow) Handoff;
    if (!handoff) return false;
    handoff->task = std::move(task);
    KernelObject thread(::CreateThread(nullptr, 0, &RunTask, handoff, 0, nullptr));
    if (!thread) {
        task = std::move(handoff->task);
        delete handoff;
        return false;
    }
    if (::WaitForSingleObject(thread.Get(), limitMs) != WAIT_OBJECT_0) {
        Leave(handoff);
        return false;
    }
    // The thread has ended, and left.
    task = std::move(handoff->task);
    delete handoff;
    return true;
}

}  // namespace cantivo
