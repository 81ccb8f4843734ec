#include "os/timed_task.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace cantivo {
namespace {

// Sleeps a while on its thread; notes, when it is freed, which thread freed it.
class SleepingTask final : public TimedTask {
public:
    SleepingTask(DWORD sleepMs, std::atomic<DWORD>& freedOn) : sleepMs_(sleepMs), freedOn_(freedOn) {}
    ~SleepingTask() override { freedOn_ = ::GetCurrentThreadId(); }
    void Run() noexcept override {
        ::Sleep(sleepMs_);
        ran = true;
    }
    bool ran = false;

private:
    const DWORD sleepMs_;
    std::atomic<DWORD>& freedOn_;
};

// The deadline limitMs from now, as the runner takes it.
ULONGLONG MsFromNow(DWORD limitMs) { return ::GetTickCount64() + limitMs; }

bool WaitUntil(const std::atomic<DWORD>& value, DWORD limitMs) {
    for (DWORD waited = 0; value == 0; waited += 10) {
        if (waited >= limitMs) return false;
        ::Sleep(10);
    }
    return true;
}

TEST(TaskRunnerTest, ATaskInTimeIsTheCallersToReadAndFreedByIt) {
    std::atomic<DWORD> freedOn{0};
    TaskRunner runner;
    auto task = std::make_shared<SleepingTask>(10, freedOn);
    ASSERT_EQ(runner.Run(task, MsFromNow(5000)), TaskOutcome::kDone);
    EXPECT_TRUE(task->ran);
    EXPECT_EQ(task.use_count(), 1);  // the thread's share is gone with the thread
    task.reset();
    EXPECT_EQ(freedOn, ::GetCurrentThreadId());
}

TEST(TaskRunnerTest, ALateTaskIsFreedOnItsOwnThreadAndKeepsTheRunnerBusyUntilThen) {
    std::atomic<DWORD> freedOn{0};
    TaskRunner runner;
    auto late = std::make_shared<SleepingTask>(500, freedOn);
    ASSERT_EQ(runner.Run(late, MsFromNow(50)), TaskOutcome::kLate);
    late.reset();  // the caller lets go at once; the thread still holds its share
    EXPECT_EQ(freedOn, 0u);

    // While it lives, no other task starts.
    std::atomic<DWORD> otherFreedOn{0};
    auto other = std::make_shared<SleepingTask>(0, otherFreedOn);
    EXPECT_EQ(runner.Run(other, MsFromNow(5000)), TaskOutcome::kBusy);
    EXPECT_FALSE(other->ran);

    ASSERT_TRUE(WaitUntil(freedOn, 5000));
    EXPECT_NE(freedOn, ::GetCurrentThreadId());
    // The thread ends just after it frees the task; then the runner takes tasks again.
    TaskOutcome outcome = TaskOutcome::kBusy;
    for (int tries = 0; outcome == TaskOutcome::kBusy && tries < 500; ++tries) {
        outcome = runner.Run(other, MsFromNow(5000));
        if (outcome == TaskOutcome::kBusy) ::Sleep(10);
    }
    EXPECT_EQ(outcome, TaskOutcome::kDone);
    EXPECT_TRUE(other->ran);
}

// A window on the waiting thread, and another thread that sends it a message.
struct SendFromAnotherThread {
    static DWORD WINAPI Send(void* window) {
        ::SendMessageW(static_cast<HWND>(window), WM_USER + 1, 0, 0);
        return 0;
    }
};

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 1) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, ::GetWindowLongPtrW(window, GWLP_USERDATA) + 1);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// A message-only window of the waiting thread, its messages handled by procedure.
HWND MessageWindow(WNDPROC procedure, const wchar_t* className) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className;
    ::RegisterClassW(&windowClass);
    return ::CreateWindowW(className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
}

TEST(TaskRunnerTest, MessagesSentWhileWaitingAreAnsweredAndPostedOnesStayQueued) {
    HWND window = MessageWindow(&CountingProc, L"CantivoTaskRunnerTest");
    ASSERT_NE(window, nullptr);
    ::PostMessageW(window, WM_USER + 2, 0, 0);

    HANDLE sender = ::CreateThread(nullptr, 0, &SendFromAnotherThread::Send, window, 0, nullptr);
    ASSERT_NE(sender, nullptr);
    std::atomic<DWORD> freedOn{0};
    TaskRunner runner;
    auto task = std::make_shared<SleepingTask>(3000, freedOn);
    EXPECT_EQ(runner.Run(task, MsFromNow(10000)), TaskOutcome::kDone);
    EXPECT_TRUE(task->ran);
    // The sender was answered while the task still ran, not after it.
    EXPECT_EQ(::WaitForSingleObject(sender, 0), WAIT_OBJECT_0);
    EXPECT_EQ(::GetWindowLongPtrW(window, GWLP_USERDATA), 1);
    ::CloseHandle(sender);

    MSG posted;
    EXPECT_TRUE(::PeekMessageW(&posted, window, WM_USER + 2, WM_USER + 2, PM_REMOVE));
    ::DestroyWindow(window);
}

// What asks the program to end while a task is awaited, and when.
enum class EndRequest { kClosePosted, kQuitPosted, kClosePostedMeanwhile, kSentMessageQuits };

struct EndRequestCase {
    EndRequest request;
    HWND window;
};

constexpr UINT kQuittingMessage = WM_USER + 3;

LRESULT CALLBACK QuittingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kQuittingMessage) {
        ::PostQuitMessage(7);  // as the program's handler of the Restart Manager's close request
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

DWORD WINAPI RequestEndMeanwhile(void* parameter) {
    const auto* request = static_cast<const EndRequestCase*>(parameter);
    ::Sleep(200);
    if (request->request == EndRequest::kClosePostedMeanwhile) {
        ::PostMessageW(request->window, WM_CLOSE, 0, 0);
    } else {
        ::SendMessageW(request->window, kQuittingMessage, 0, 0);
    }
    return 0;
}

TEST(TaskRunnerTest, ARequestToEndTheProgramEndsTheWaitAndStaysQueued) {
    HWND window = MessageWindow(&QuittingProc, L"CantivoTaskRunnerEndTest");
    ASSERT_NE(window, nullptr);
    for (EndRequest request : {EndRequest::kClosePosted, EndRequest::kQuitPosted, EndRequest::kClosePostedMeanwhile,
                               EndRequest::kSentMessageQuits}) {
        const int name = static_cast<int>(request);
        EndRequestCase meanwhile{request, window};
        HANDLE requester = nullptr;
        if (request == EndRequest::kClosePosted) {
            ::PostMessageW(window, WM_CLOSE, 0, 0);
        } else if (request == EndRequest::kQuitPosted) {
            ::PostQuitMessage(7);
        } else {
            requester = ::CreateThread(nullptr, 0, &RequestEndMeanwhile, &meanwhile, 0, nullptr);
            ASSERT_NE(requester, nullptr);
        }
        std::atomic<DWORD> freedOn{0};
        TaskRunner runner;
        auto task = std::make_shared<SleepingTask>(3000, freedOn);
        EXPECT_EQ(runner.Run(task, MsFromNow(20000)), TaskOutcome::kLate) << name;
        EXPECT_FALSE(task->ran) << name;
        task.reset();

        // The request is still there for the message loop, and nothing else was taken.
        MSG queued{};
        const UINT expected = request == EndRequest::kClosePosted || request == EndRequest::kClosePostedMeanwhile
                                  ? UINT(WM_CLOSE)
                                  : UINT(WM_QUIT);
        EXPECT_TRUE(::PeekMessageW(&queued, nullptr, expected, expected, PM_REMOVE)) << name;
        EXPECT_EQ(queued.message, expected) << name;
        if (requester) {
            ::WaitForSingleObject(requester, 5000);
            ::CloseHandle(requester);
        }
        ASSERT_TRUE(WaitUntil(freedOn, 10000)) << name;  // the task's thread still holds freedOn
    }
    ::DestroyWindow(window);
}

}  // namespace
}  // namespace cantivo
