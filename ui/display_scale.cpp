#include "ui/display_scale.h"

#include "os/system_library.h"
#include "ui/gdi.h"

namespace cantivo {

namespace {

// GetDpiForMonitor's MDT_EFFECTIVE_DPI: the scale the user chose for the monitor.
constexpr int kEffectiveDpi = 0;
using DpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

int ScreenDpi() noexcept {
    WindowDc screen(nullptr);
    return screen.Get() ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : kDesignDpi;
}

}  // namespace

int MonitorDpiAt(POINT point) noexcept {
    // shcore is loaded from the system folder once, where Windows has it, and stays.
    static const SystemLibrary shcore(L"shcore.dll");
    static const auto dpiForMonitor = shcore.Find<DpiForMonitorFunction>("GetDpiForMonitor");
    UINT dpiX = 0;
    UINT dpiY = 0;
    HMONITOR monitor = ::MonitorFromPoint(point, MONITOR_DEFAULTTOPRIMARY);
    if (dpiForMonitor && monitor && SUCCEEDED(dpiForMonitor(monitor, kEffectiveDpi, &dpiX, &dpiY)) && dpiY != 0) {
        return static_cast<int>(dpiY);
    }
    return ScreenDpi();
}

}  // namespace cantivo
