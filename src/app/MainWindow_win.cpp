// The hidden main window: it is never shown, and its destruction ends the program.

#include "app/App_win.h"

#include "dialogs/AdvancedSettingsDialog_win.h"
#include "palette/PaletteWindow_win.h"
#include "platform/WindowThread_win.h"
#include "res/resource.h"

HWND mainWindow;

namespace {
const wchar_t kMainWindowClass[] = L"ピボテル";
const wchar_t kMainWindowTitle[] = L"ピボテル";
const DWORD kMainWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// Opens the advanced settings dialog unless it is open already. The flag is cleared here too,
// since a dialog that the modal loop ends on WM_QUIT never reaches its own close handling.
void OpenAdvancedSettings(HWND window) {
    if (advancedDialogOpen == 1) {
        return;
    }
    DialogBoxParamW(appInstance, MAKEINTRESOURCEW(IDD_ADVANCED), window, AdvancedSettingsDlgProc, 0);
    advancedDialogOpen = 0;
}

void MainWindowCommand(HWND window, WPARAM wParam) {
    switch (LOWORD(wParam)) {
        case IDC_TRAY_PALETTE:
            StartPaletteThread();
            break;
        case IDC_TRAY_EXIT:
            PostMessageW(window, WM_QUIT, 0, 0);
            RemoveTrayIcon();
            break;
        case IDC_TRAY_ADVANCED:
            OpenAdvancedSettings(window);
            break;
        default:
            break;
    }
}
}  // namespace

// The main window's procedure: the tray icon's life and callback, the tray menu's commands and
// the settings file's notices.
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (HandleSettingsNotice(window, message, wParam, lParam)) {
        return 0;
    }
    switch (message) {
        case WM_CREATE:
            AddTrayIcon(window);
            break;
        case WM_DESTROY:
            // Nothing else destroys this window, so its end is the program's end: leave the
            // message loop and take everything down in order.
            RemoveTrayIcon();
            PostQuitMessage(0);
            return 0;
        case WM_COMMAND:
            MainWindowCommand(window, wParam);
            break;
        case kTrayCallbackMessage:
            ShowTrayMenu(window, lParam);
            break;
        default:
            // A restarted shell starts with an empty notification area: put the icon back.
            if (taskbarCreatedMessage != 0 && message == taskbarCreatedMessage) {
                AddTrayIcon(window);
            }
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Registers the main window's class and creates the window, sized for a 320 x 240 client area
// but never shown. Returns 0, or -1 when the class or the window cannot be made.
int32_t CreateMainWindow(HINSTANCE instance) {
    taskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");
    if (!RegisterWindowClass(instance, kMainWindowClass, MainWndProc)) {
        return -1;
    }
    RECT frame = {0, 0, 320, 240};
    AdjustWindowRect(&frame, kMainWindowStyle, FALSE);
    mainWindow = CreateWindowExW(0, kMainWindowClass, kMainWindowTitle, kMainWindowStyle, CW_USEDEFAULT,
                                 CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                 nullptr, instance, nullptr);
    if (mainWindow == nullptr) {
        return -1;
    }
    // Run as administrator, the program would not get the shell's broadcast from a lower level.
    if (taskbarCreatedMessage != 0) {
        ChangeWindowMessageFilterEx(mainWindow, taskbarCreatedMessage, MSGFLT_ALLOW, nullptr);
    }
    return 0;
}
