#include "os/timed_task.h"

#include <new>
#include <utility>

namespace cantivo {

namespace {

DWORD WINAPI RunTask(void* parameter) noexcept {
    // The thread's own share of the task, let go of when the task has run.
    std::unique_ptr<std::shared_ptr<TimedTask>> share(static_cast<std::shared_ptr<TimedTask>*>(parameter));
    (*share)->Run();
    return 0;
}

bool Signalled(HANDLE object) noexcept { return ::WaitForSingleObject(object, 0) == WAIT_OBJECT_0; }

// A request to end the program waits in the queue: a quit, or a WM_CLOSE posted to one of the
// thread's windows (Task Manager's "End task"). It is left there for the message loop.
bool EndRequested() noexcept {
    MSG message;
    return ::PeekMessageW(&message, nullptr, WM_CLOSE, WM_CLOSE, PM_NOREMOVE) ||
           ::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE);
}

// Waits for object until deadline at the latest, answering sent messages meanwhile; true when
// it is signalled, false when the time is up or a request to end the program has come.
bool WaitAnsweringSentMessages(HANDLE object, ULONGLONG deadline) noexcept {
    for (;;) {
        // Peeking also delivers the sent messages, which may themselves end the program (the
        // Restart Manager's close request), and takes nothing else from the queue.
        if (EndRequested()) return Signalled(object);
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
        const DWORD woken = ::MsgWaitForMultipleObjects(1, &object, FALSE, left, QS_SENDMESSAGE | QS_POSTMESSAGE);
        if (woken == WAIT_OBJECT_0) return true;
        if (woken != WAIT_OBJECT_0 + 1) return Signalled(object);  // the time is up, or the wait failed
    }
}

}  // namespace

bool TaskRunner::Busy() const noexcept { return waiting_ || (lateThread_ && !Signalled(lateThread_.Get())); }

TaskOutcome TaskRunner::Run(const std::shared_ptr<TimedTask>& task, ULONGLONG deadline) noexcept {
    if (Busy()) return TaskOutcome::kBusy;
    lateThread_.Reset();
    auto* share = new (std::nothrow) std::shared_ptr<TimedTask>(task);
    if (!share) return TaskOutcome::kNotStarted;
    KernelObject thread(::CreateThread(nullptr, 0, &RunTask, share, 0, nullptr));
    if (!thread) {
        delete share;
        return TaskOutcome::kNotStarted;
    }
    waiting_ = true;
    const bool ended = WaitAnsweringSentMessages(thread.Get(), deadline);
    waiting_ = false;
    if (ended) return TaskOutcome::kDone;
    lateThread_ = std::move(thread);
    return TaskOutcome::kLate;
}

}  // namespace cantivo
