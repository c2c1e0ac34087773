// The hidden main window: it is never shown, and its destruction ends the program.

#include "app/App.h"

HWND mainWindow;

namespace {
const char kMainWindowClass[] = "ピボテル";
const char kMainWindowTitle[] = "ピボテル";
const DWORD kMainWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
}  // namespace

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            // Nothing else destroys this window, so its end is the program's end: leave the
            // message loop and take everything down in order.
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

// Registers the main window's class and creates the window, sized for a 320 x 240 client area
// but never shown. Returns 0, or -1 when the class or the window cannot be made.
int32_t CreateMainWindow(HINSTANCE instance) {
    WNDCLASSA windowClass = {};
    windowClass.style = 0;
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kMainWindowClass;
    if (RegisterClassA(&windowClass) == 0) {
        return -1;
    }
    RECT frame = {0, 0, 320, 240};
    AdjustWindowRect(&frame, kMainWindowStyle, FALSE);
    mainWindow = CreateWindowExA(0, kMainWindowClass, kMainWindowTitle, kMainWindowStyle, CW_USEDEFAULT,
                                 CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                 nullptr, instance, nullptr);
    return mainWindow != nullptr ? 0 : -1;
}
