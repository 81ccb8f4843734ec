#include <windows.h>

#include <string>

#include "app/main_window.h"
#include "onair/on_air_page.h"
#include "os/kernel_handle.h"
#include "os/system_library.h"
#include "ui/application.h"
#include "ui/error_box.h"

namespace {

// One Cantivo per user session: two would race on the log file.
constexpr wchar_t kInstanceMutex[] = L"Local\\Cantivo.SingleInstance";

// An error before the message loop runs or after it has ended, in the guard's own words.
int ReportFailedRun() noexcept {
    try {
        std::wstring text = cantivo::ErrorBoxText(cantivo::CaughtError(), cantivo::kPageCodePage);
        ::MessageBoxW(nullptr, text.c_str(), cantivo::kApplicationTitleW, MB_OK | MB_ICONERROR);
    } catch (...) {
        ::MessageBoxW(nullptr, L"Out of memory", cantivo::kApplicationTitleW, MB_OK | MB_ICONERROR);
    }
    return 1;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    using namespace cantivo;
    // Before anything else is loaded: no DLL from the program's own folder.
    SearchSystemFolderOnly();
    KernelObject instanceMutex(::CreateMutexW(nullptr, FALSE, kInstanceMutex));
    if (!instanceMutex || ::GetLastError() == ERROR_ALREADY_EXISTS) return 0;

    try {
        Application application(instance, kPageCodePage);
        TfrmCantivo form(application);
        form.Create();
        application.Run();
        // On the way out: hidden without a fade; the form's end destroys it, and the icon
        // with it, on this path and on every other.
        form.Hide();
    } catch (...) {
        return ReportFailedRun();
    }
    return 0;
}
