#pragma once
// The application shell: process-wide handles, start-up, the main window and shutdown.

#include <windows.h>
#include <shellapi.h>

#include <cstdint>

extern HINSTANCE appInstance;
extern HANDLE instanceMutex;
extern ULONG_PTR gdiplusToken;
extern HFONT labelFont;
extern HWND mainWindow;

// The texts of the start-up failure messages and their caption.
extern const wchar_t kErrorCaption[];
extern const wchar_t kKeySettingsFailedText[];
extern const wchar_t kThreadStartFailedText[];
extern const wchar_t kHookFailedText[];

int RunPivotel(HINSTANCE instance);
void InitGraphics();
void ReleaseGraphics();
int32_t CreateMainWindow(HINSTANCE instance);
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The tray icon: its record, the callback message it sends the main window, and the message the
// shell broadcasts when its taskbar is (re)created.
extern NOTIFYICONDATAW trayIcon;
extern UINT taskbarCreatedMessage;
constexpr UINT kTrayCallbackMessage = WM_USER + 1;

// The shell call every change of the icon goes through (Shell_NotifyIconW; a test puts in its own).
using TrayNotifyFunction = BOOL(WINAPI*)(DWORD message, PNOTIFYICONDATAW data);
extern TrayNotifyFunction trayNotify;

void AddTrayIcon(HWND window);
void RemoveTrayIcon();
void ShowTrayMenu(HWND window, LPARAM mouseMessage);
void ShowTrayNotice(const wchar_t* title, const wchar_t* text);

// Telling the user of a settings file that cannot be read or saved, and reading it again later.
void WatchSettingsNotices();
bool HandleSettingsNotice(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void RetryTriggerSettings();
