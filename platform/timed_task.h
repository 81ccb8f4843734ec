#pragma once

#include <windows.h>

#include <memory>

namespace cantivo {

// Work done on a thread of its own while the caller waits for it a limited time. Work that is
// late is given up on: the caller goes on, and the work's thread deletes the work when it ends.
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

// Runs task on a new thread and waits for it limitMs at most. True when it ended in time: task
// is the caller's again. False when it is late (task is then its thread's, which deletes it
// when Run returns) or when no thread could be started (task, left with the caller, never ran).
bool RunWithin(std::unique_ptr<TimedTask>& task, DWORD limitMs) noexcept;

}  // namespace cantivo
