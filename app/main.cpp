#include <windows.h>

#include "app/main_window.h"
#include "platform/application.h"
#include "platform/error_box.h"
#include "platform/kernel_handle.h"

namespace {

// One Cantivo per user session: two would race on the log file.
constexpr wchar_t kInstanceMutex[] = L"Local\\Cantivo.SingleInstance";

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    using namespace cantivo;
    KernelObject instanceMutex(::CreateMutexW(nullptr, FALSE, kInstanceMutex));
    if (!instanceMutex || ::GetLastError() == ERROR_ALREADY_EXISTS) return 0;

    try {
        Application application(instance);
        TfrmCantivo form(application);
        application.SetMainWindow(&form);
        form.Create();
        application.Run();
        // On the way out: hidden without a fade, then destroyed, which takes the icon away.
        form.Hide();
        form.Destroy();
    } catch (const CantivoError& error) {
        ::MessageBoxW(nullptr, ErrorBoxText(error).c_str(), kApplicationTitleW, MB_OK | MB_ICONERROR);
        return 1;
    } catch (const std::exception&) {
        ::MessageBoxW(nullptr, L"Out of memory", kApplicationTitleW, MB_OK | MB_ICONERROR);
        return 1;
    }
    return 0;
}
