#pragma once

#include <windows.h>

#include <memory>

#include "os/kernel_handle.h"

namespace cantivo {

// Work done on a thread of its own while the caller waits for it a limited time.
class TimedTask {
public:
    TimedTask() = default;
    TimedTask(const TimedTask&) = delete;
    TimedTask& operator=(const TimedTask&) = delete;
    virtual ~TimedTask() = default;

    // The work, on the task's own thread. Whatever it leaves for the caller, the caller reads
    // only once the task has ended in time.
    virtual void Run() noexcept = 0;
};

enum class TaskOutcome {
    kDone,        // the task ended in time: what it left is the caller's to read
    kLate,        // given up on, at its deadline or at a request to end the program: its
                  // thread goes on alone, and lets go of the task when it ends
    kBusy,        // not started: a task given up on earlier still runs, or one is awaited now
    kNotStarted,  // not started: no thread could be had
};

// Runs tasks one at a time, each on a thread of its own. While the caller waits, it answers
// the messages other threads and the system send to its windows (a caller that is a window's
// thread would otherwise keep them waiting, the system's sign-out query among them); what is
// posted to it stays queued. A request to end the program (a quit, or a close posted to one of
// its windows) ends the wait at once, and stays queued for the message loop: the program then
// ends without waiting for the task. A task given up on keeps the runner busy until its thread
// ends, so that late tasks never pile up.
class TaskRunner {
public:
    TaskRunner() = default;
    TaskRunner(const TaskRunner&) = delete;
    TaskRunner& operator=(const TaskRunner&) = delete;

    // Runs task and waits for it until deadline (a GetTickCount64 time) at the latest, so that
    // a task with a deadline of its own and its caller give up at the same moment. The thread
    // holds a share of the task, so the task lives as long as either of them needs it.
    TaskOutcome Run(const std::shared_ptr<TimedTask>& task, ULONGLONG deadline) noexcept;

private:
    bool Busy() const noexcept;

    KernelObject lateThread_;  // the thread of the task last given up on
    bool waiting_ = false;     // a Run is waiting: a sent message may call Run again meanwhile
};

}  // namespace cantivo
