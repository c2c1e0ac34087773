// The notification-area icon of the main window, its menu and its notices.

#include "app/App_win.h"

#include <cstring>
#include <cwchar>

#include "app/TrayRetry.h"
#include "platform/Holders_win.h"
#include "res/resource.h"

NOTIFYICONDATAW trayIcon;
UINT taskbarCreatedMessage;
TrayNotifyFunction trayNotify = Shell_NotifyIconW;

namespace {

const wchar_t kTrayTip[] = L"Pivotel";
constexpr UINT_PTR kTrayRetryTimer = 0x7E1;

TrayRetryRound trayRound;
bool retrying;  // the retry timer runs

// The notice that waits for the icon; only the latest one is kept.
struct PendingNotice {
    bool waiting = false;
    wchar_t title[sizeof NOTIFYICONDATAW::szInfoTitle / sizeof(wchar_t)] = {};
    wchar_t text[sizeof NOTIFYICONDATAW::szInfo / sizeof(wchar_t)] = {};
} pendingNotice;

void StopRetrying() {
    if (retrying) {
        KillTimer(trayIcon.hWnd, kTrayRetryTimer);
        retrying = false;
    }
}

// Shows the waiting notice as a balloon of the icon; it keeps waiting when the shell refuses it.
void ShowPendingNotice() {
    if (!pendingNotice.waiting || !trayRound.added) {
        return;
    }
    NOTIFYICONDATAW balloon = trayIcon;
    balloon.uFlags = NIF_INFO;
    balloon.dwInfoFlags = NIIF_WARNING;
    memcpy(balloon.szInfoTitle, pendingNotice.title, sizeof balloon.szInfoTitle);
    memcpy(balloon.szInfo, pendingNotice.text, sizeof balloon.szInfo);
    if (trayNotify(NIM_MODIFY, &balloon)) {
        pendingNotice.waiting = false;
    }
}

void TryAddTrayIcon();

VOID CALLBACK TrayRetryTick(HWND, UINT, UINT_PTR, DWORD) {
    TryAddTrayIcon();
}

// One try to add the icon. An add that the shell answered too late may have put the icon there
// all the same, so a refused add is followed by a change of the icon, which succeeds only if it
// is there. A failure is tried again on a timer of the icon's window for a while.
void TryAddTrayIcon() {
    const bool added = trayNotify(NIM_ADD, &trayIcon) || trayNotify(NIM_MODIFY, &trayIcon);
    switch (AfterTrayAdd(&trayRound, added, GetTickCount())) {
        case TrayNext::Added:
            StopRetrying();
            ShowPendingNotice();
            break;
        case TrayNext::TryAgain:
            if (!retrying) {
                retrying = SetTimer(trayIcon.hWnd, kTrayRetryTimer, kTrayRetryPeriodMs, TrayRetryTick) != 0;
            }
            break;
        case TrayNext::GiveUp:
            StopRetrying();
            break;
    }
}

}  // namespace

// Adds the icon for `window`, filling the record that every later removal uses. At logon the
// notification area may not be ready yet: a refused add is tried again every kTrayRetryPeriodMs
// for kTrayRetryForMs, and the program runs without an icon if the shell never takes it. Also
// called again when the shell announces a new taskbar, whose notification area starts empty.
void AddTrayIcon(HWND window) {
    StopRetrying();
    trayIcon = NOTIFYICONDATAW{};
    trayIcon.cbSize = sizeof trayIcon;
    trayIcon.hWnd = window;
    trayIcon.uID = 0;
    trayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    trayIcon.uCallbackMessage = kTrayCallbackMessage;
    trayIcon.hIcon = LoadIconW(appInstance, MAKEINTRESOURCEW(IDI_PIVOTEL));
    static_assert(sizeof kTrayTip <= sizeof trayIcon.szTip, "tip fits");
    memcpy(trayIcon.szTip, kTrayTip, sizeof kTrayTip);
    trayRound = TrayRetryRound{};
    TryAddTrayIcon();
}

// Removes the icon and stops trying to add it; harmless when it was never added or is gone.
void RemoveTrayIcon() {
    StopRetrying();
    if (trayIcon.cbSize != 0) {
        trayNotify(NIM_DELETE, &trayIcon);
    }
    trayRound = TrayRetryRound{};
}

// Tells the user something in a warning balloon of the tray icon; main thread only. Until the
// icon is there the notice waits and is shown as soon as the icon has been added. Texts longer
// than the balloon holds are cut.
void ShowTrayNotice(const wchar_t* title, const wchar_t* text) {
    wcsncpy_s(pendingNotice.title, title != nullptr ? title : L"", _TRUNCATE);
    wcsncpy_s(pendingNotice.text, text != nullptr ? text : L"", _TRUNCATE);
    pendingNotice.waiting = true;
    ShowPendingNotice();
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
