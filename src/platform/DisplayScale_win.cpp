// Asking the system for the DPI of a window's or a point's monitor.

#include "platform/DisplayScale_win.h"

#include "platform/DisplayScale.h"
#include "platform/Holders_win.h"

namespace {

// The screen's DPI, where the system cannot tell a monitor's; 96 when even that is unknown.
uint32_t ScreenDpi() {
    const WindowDc screen;
    const int dpi = screen.get() != nullptr ? GetDeviceCaps(screen.get(), LOGPIXELSX) : 0;
    return dpi > 0 ? static_cast<uint32_t>(dpi) : kBaseDpi;
}

}  // namespace

// The DPI of the window's monitor; the screen's for no window or where the system cannot tell.
uint32_t WindowDpi(HWND window) {
    static const auto getDpiForWindow = SystemFunction<UINT(WINAPI*)(HWND)>(L"user32.dll", "GetDpiForWindow");
    const UINT dpi = window != nullptr && getDpiForWindow != nullptr ? getDpiForWindow(window) : 0;
    return dpi != 0 ? dpi : ScreenDpi();
}

// The effective DPI of the monitor that holds the screen point (the nearest one when none does);
// the screen's where the system cannot tell.
uint32_t DpiAtPoint(POINT point) {
    static const auto getDpiForMonitor =
        SystemFunction<HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*)>(L"shcore.dll", "GetDpiForMonitor");
    constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
    UINT dpiX = 0;
    UINT dpiY = 0;
    HMONITOR monitor = MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST);
    if (monitor == nullptr || getDpiForMonitor == nullptr ||
        FAILED(getDpiForMonitor(monitor, kEffectiveDpi, &dpiX, &dpiY)) || dpiX == 0) {
        return ScreenDpi();
    }
    return dpiX;
}
