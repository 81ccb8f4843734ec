#pragma once

#include <windows.h>

#include <string>

#include "os/kernel_handle.h"
#include "os/unicode.h"

inline constexpr wchar_t kHoldingEvent[] = L"CantivoTestHolding";
inline constexpr wchar_t kReleaseEvent[] = L"CantivoTestRelease";

// In the second process: opens the file with no sharing, says so, and waits to be released.
inline int HoldFileWithoutSharing(const char* utf8Path) {
    cantivo::FileHandle file(::CreateFileW(cantivo::WideFromUtf8(utf8Path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return 2;
    HANDLE holding = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, kHoldingEvent);
    HANDLE release = ::OpenEventW(SYNCHRONIZE, FALSE, kReleaseEvent);
    if (!holding || !release) return 3;
    ::SetEvent(holding);
    ::WaitForSingleObject(release, 30000);
    ::CloseHandle(holding);
    ::CloseHandle(release);
    return 0;
}

// In the test: another process holds path open without sharing while this object lives.
class OtherProcessHolding {
public:
    explicit OtherProcessHolding(const std::string& utf8Path)
        : holding_(::CreateEventW(nullptr, TRUE, FALSE, kHoldingEvent)),
          release_(::CreateEventW(nullptr, TRUE, FALSE, kReleaseEvent)) {
        wchar_t self[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring command = L"\"" + std::wstring(self) + L"\" --hold \"" + cantivo::WideFromUtf8(utf8Path) + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        started_ = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                    &process_) != FALSE;
        holds = started_ && ::WaitForSingleObject(holding_, 20000) == WAIT_OBJECT_0;
    }
    OtherProcessHolding(const OtherProcessHolding&) = delete;
    OtherProcessHolding& operator=(const OtherProcessHolding&) = delete;
    ~OtherProcessHolding() {
        ::SetEvent(release_);
        if (started_) {
            ::WaitForSingleObject(process_.hProcess, 20000);
            ::CloseHandle(process_.hThread);
            ::CloseHandle(process_.hProcess);
        }
        ::CloseHandle(holding_);
        ::CloseHandle(release_);
    }

    bool holds = false;

private:
    HANDLE holding_;
    HANDLE release_;
    PROCESS_INFORMATION process_{};
    bool started_ = false;
};
