// The notification-area icon of the main window and its menu.

#include "app/App_win.h"

#include <cstring>

#include "platform/Holders_win.h"
#include "res/resource.h"

NOTIFYICONDATAW trayIcon;
UINT taskbarCreatedMessage;

namespace {
const wchar_t kTrayTip[] = L"Pivotel";
}  // namespace

// Adds the icon for `window`, filling the record that every later removal uses. A refusal by
// the shell is not reported: the program then runs without an icon. Also called again when the
// shell announces a new taskbar, whose notification area starts empty.
void AddTrayIcon(HWND window) {
    trayIcon = NOTIFYICONDATAW{};
    trayIcon.cbSize = sizeof trayIcon;
    trayIcon.hWnd = window;
    trayIcon.uID = 0;
    trayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    trayIcon.uCallbackMessage = kTrayCallbackMessage;
    trayIcon.hIcon = LoadIconW(appInstance, MAKEINTRESOURCEW(IDI_PIVOTEL));
    static_assert(sizeof kTrayTip <= sizeof trayIcon.szTip, "tip fits");
    memcpy(trayIcon.szTip, kTrayTip, sizeof kTrayTip);
    Shell_NotifyIconW(NIM_ADD, &trayIcon);
}

// Removes the icon; harmless when it was never added or is already gone.
void RemoveTrayIcon() {
    if (trayIcon.cbSize != 0) {
        Shell_NotifyIconW(NIM_DELETE, &trayIcon);
    }
}

// Shows the tray menu at the cursor for a right-button press on the icon; other mouse messages
// of the icon show nothing. The owner comes to the foreground first and gets a null message
// after the menu, or the menu would not close on a click elsewhere or on Escape. The chosen
// command arrives at `window` as WM_COMMAND.
void ShowTrayMenu(HWND window, LPARAM mouseMessage) {
    const MenuHolder menu(LoadMenuW(appInstance, MAKEINTRESOURCEW(IDM_TRAY)));
    HMENU popup = GetSubMenu(menu.get(), 0);
    POINT cursor = {};
    if (popup != nullptr && LOWORD(mouseMessage) == WM_RBUTTONDOWN && GetCursorPos(&cursor)) {
        SetForegroundWindow(window);
        TrackPopupMenu(popup, 0, cursor.x, cursor.y, 0, window, nullptr);
        PostMessageW(window, WM_NULL, 0, 0);
    }
}

// Shows a warning balloon on the tray icon.
void ShowTrayNotice(const wchar_t* title, const wchar_t* text) {
    if (trayIcon.cbSize == 0) {
        return;
    }
    NOTIFYICONDATAW notice = trayIcon;
    notice.uFlags = NIF_INFO;
    notice.dwInfoFlags = NIIF_WARNING;
    wcsncpy(notice.szInfoTitle, title, ARRAYSIZE(notice.szInfoTitle) - 1);
    wcsncpy(notice.szInfo, text, ARRAYSIZE(notice.szInfo) - 1);
    Shell_NotifyIconW(NIM_MODIFY, &notice);
}
