#include "ui/display_scale.h"

#include "os/system_library.h"
#include "ui/gdi.h"

namespace cantivo {

namespace {

// GetDpiForMonitor's MDT_EFFECTIVE_DPI: the scale the user chose for the monitor.
constexpr int kEffectiveDpi = 0;
using DpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
// Looked up in user32: each came with a later Windows than the oldest the program runs on.
using DpiForWindowFunction = UINT(WINAPI*)(HWND);
using MetricForDpiFunction = int(WINAPI*)(int, UINT);

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

int SmallIconSize(HWND window) noexcept {
    static const auto dpiForWindow = ImportedFunction<DpiForWindowFunction>(L"user32.dll", "GetDpiForWindow");
    static const auto metricForDpi = ImportedFunction<MetricForDpiFunction>(L"user32.dll", "GetSystemMetricsForDpi");
    const UINT dpi = dpiForWindow && metricForDpi ? dpiForWindow(window) : 0;
    return dpi != 0 ? metricForDpi(SM_CXSMICON, dpi) : ::GetSystemMetrics(SM_CXSMICON);
}

}  // namespace cantivo
