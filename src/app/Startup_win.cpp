// Start-up and shutdown of the whole program, on the main thread.

#include <windows.h>
#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>

#include "app/App_win.h"
#include "input/MenuThreads_win.h"
#include "input/MouseHook.h"
#include "input/TriggerBindings.h"
#include "palette/PaletteWindow_win.h"
#include "platform/Platform_win.h"
#include "platform/WindowThread_win.h"
#include "tooltip/LabelWindow.h"

HINSTANCE appInstance;
HANDLE instanceMutex;
ULONG_PTR gdiplusToken;
HFONT labelFont;

const wchar_t kErrorCaption[] = L"ERROR";
const wchar_t kKeySettingsFailedText[] = L"キー設定の読み込みに失敗しました。";
const wchar_t kThreadStartFailedText[] = L"スレッドの開始に失敗しました。";
const wchar_t kHookFailedText[] = L"フックのセットに失敗しました。";

namespace {
const wchar_t kInstanceMutexName[] = L"Pivotel";

void ShowStartupError(const wchar_t* text) {
    MessageBoxW(nullptr, text, kErrorCaption, MB_OK);
}
}  // namespace

// GDI+ and the label font. A failure here is not reported: drawing falls back where it can.
void InitGraphics() {
    Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback, background thread on
    Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr);
    HFONT font =
        CreateFontW(16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_TT_ONLY_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH, nullptr);
    if (font != nullptr) {
        if (labelFont != nullptr) {
            DeleteObject(labelFont);
        }
        labelFont = font;
    }
}

void ReleaseGraphics() {
    if (labelFont != nullptr) {
        DeleteObject(labelFont);
        labelFont = nullptr;
    }
    if (gdiplusToken != 0) {
        Gdiplus::GdiplusShutdown(gdiplusToken);
        gdiplusToken = 0;
    }
}

// The whole life of the program. A second instance ends at once; failures after the main window
// exists are shown and the program runs on with whatever did start. Returns the exit code, 0.
int RunPivotel(HINSTANCE instance) {
    appInstance = instance;
    instanceMutex = CreateMutexW(nullptr, TRUE, kInstanceMutexName);
    const bool otherInstance = GetLastError() == ERROR_ALREADY_EXISTS;

    if (!otherInstance) {
        // The shell's icon and file functions used while loading items want COM on their thread.
        const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        InitGraphics();
        // The settings dialog's trackbar and up-down.
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_UPDOWN_CLASS};
        InitCommonControlsEx(&controls);
        if (CreateMainWindow(appInstance) == 0) {
            SetShellOwnerWindow(mainWindow);
            WatchSettingsNotices();
            SetWindowPos(mainWindow, HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_HIDEWINDOW);
            const int32_t bound = LoadTriggerBindings(ForwardWheel);
            if (bound < 0) {
                ShowStartupError(kKeySettingsFailedText);
            } else if (bound == 1) {
                RetryTriggerSettings();
            }
            if (StartMenuThreads(appInstance) != 0) {
                ShowStartupError(kThreadStartFailedText);
            }
            if (StartLabelThread() != 0) {
                ShowStartupError(kThreadStartFailedText);
            }
            // Last, so that no mouse event is queued before its consumer runs.
            if (InstallMouseHook() != 0) {
                ShowStartupError(kHookFailedText);
            }
            RunMessageLoop();

            // The tray icon goes first, then the hook: after it nothing posts into the event queue.
            // The label thread ends before the menu worker. An open palette editor is closed
            // without saving and waited for, and the items are freed only after it and the worker
            // have ended, so nothing draws or edits through freed items.
            RemoveTrayIcon();
            RemoveMouseHook();
            StopLabelThread();
            ClosePaletteWithoutSaving();
            StopMenuThreads();
        }
        ReleaseGraphics();
        if (SUCCEEDED(com)) {
            CoUninitialize();
        }
    }

    if (instanceMutex != nullptr) {
        ReleaseMutex(instanceMutex);
        CloseHandle(instanceMutex);
        instanceMutex = nullptr;
    }
    return 0;
}
