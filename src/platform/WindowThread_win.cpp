#include "platform/WindowThread_win.h"

#include <process.h>

#include "platform/Holders_win.h"

namespace {

// How long a caller waits for a window thread that is still setting up.
constexpr DWORD kReadyWaitMs = 1000;
// How often a stop repeats WM_QUIT, for a thread that had no message queue at the first post.
constexpr DWORD kQuitRepostMs = 50;

// Runs the thread's body and then marks the set-up as over, so that a thread that failed before
// publishing its window never keeps a waiter for the whole bounded wait.
unsigned __stdcall RunWindowThread(void* argument) {
    WindowThread* record = static_cast<WindowThread*>(argument);
    const unsigned exitCode = record->body(record->argument);
    SetEvent(record->ready);
    return exitCode;
}

}  // namespace

// Starts body(argument) on a new thread unless one runs already; the handle of one that has ended
// is released first. True when a thread runs afterwards.
bool StartWindowThread(WindowThread& record, unsigned(__stdcall* body)(void*), void* argument) {
    LockHolder hold(record.lock);
    if (record.thread != nullptr) {
        if (WaitForSingleObject(record.thread, 0) == WAIT_TIMEOUT) {
            return true;
        }
        CloseHandle(record.thread);
        record.thread = nullptr;
    }
    if (record.ready == nullptr) {
        record.ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    if (record.ready == nullptr || !ResetEvent(record.ready)) {
        return false;
    }
    record.body = body;
    record.argument = argument;
    unsigned id = 0;
    record.thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RunWindowThread, &record, 0, &id));
    record.id = id;
    return record.thread != nullptr;
}

// Called by the thread once its window is published.
void SignalWindowThreadReady(WindowThread& record) {
    SetEvent(record.ready);
}

// Waits, for a bounded time, until the thread's set-up is over. False at once without a thread;
// true once it published its window or has given up (callers then look at the window itself).
bool AwaitWindowThread(WindowThread& record) {
    HANDLE ready = nullptr;
    {
        LockHolder hold(record.lock);
        if (record.thread == nullptr) {
            return false;
        }
        ready = record.ready;
    }
    return WaitForSingleObject(ready, kReadyWaitMs) == WAIT_OBJECT_0;
}

// True while a started thread has not ended.
bool IsWindowThreadRunning(WindowThread& record) {
    LockHolder hold(record.lock);
    return record.thread != nullptr && WaitForSingleObject(record.thread, 0) == WAIT_TIMEOUT;
}

// The handle the record owns, for watching the thread; null without one.
HANDLE WindowThreadHandle(WindowThread& record) {
    LockHolder hold(record.lock);
    return record.thread;
}

// Ends the thread and releases its handle. WM_QUIT goes to the thread's queue, so it also ends a
// modal loop and a thread whose window does not exist yet. Messages sent to the caller's windows
// are answered meanwhile, so the thread's teardown can never wait on the thread that waits for it.
// A thread still setting up after the bounded wait is left alone (false) unless waitForUnready.
bool StopWindowThread(WindowThread& record, bool waitForUnready) {
    HANDLE thread = WindowThreadHandle(record);
    if (thread == nullptr) {
        return true;
    }
    if (!AwaitWindowThread(record) && !waitForUnready && WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) {
        return false;
    }
    while (WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) {
        PostThreadMessageW(record.id, WM_QUIT, 0, 0);
        if (MsgWaitForMultipleObjects(1, &thread, FALSE, kQuitRepostMs, QS_SENDMESSAGE) ==
            WAIT_OBJECT_0 + 1) {
            MSG message;
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }
    LockHolder hold(record.lock);
    CloseHandle(record.thread);
    record.thread = nullptr;
    record.id = 0;
    return true;
}

// Dispatches the thread's messages until WM_QUIT (true) or until GetMessageW fails (false), since a
// thread whose queue is broken can do nothing.
bool RunMessageLoop() {
    MSG message;
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return got == 0;
}

// Registers a window class with the arrow cursor and the dialog face as background.
bool RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HICON icon) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = icon;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = name;
    return RegisterClassExW(&windowClass) != 0;
}

// The procedure of a window that lives as long as its thread: any program may post WM_CLOSE to a
// hidden top-level window, and only the stopper's WM_QUIT ends it, so closing it is refused.
LRESULT CALLBACK ResidentWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A hidden per-pixel-alpha popup that stays on top and never takes the focus, of a class of its
// own that refuses WM_CLOSE. Null when it cannot be made; a class this call registered is then
// taken away again, and one it could not register (the name is taken) is left alone.
HWND CreateResidentWindow(HINSTANCE instance, const wchar_t* className, const wchar_t* title, int width,
                          int height) {
    if (!RegisterWindowClass(instance, className, ResidentWindowProc)) {
        return nullptr;
    }
    HWND window =
        CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST, className, title, WS_POPUP,
                        CW_USEDEFAULT, CW_USEDEFAULT, width, height, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        UnregisterClassW(className, instance);
    }
    return window;
}

// Destroys a window made by CreateResidentWindow, and its class.
void DestroyResidentWindow(HWND window, HINSTANCE instance, const wchar_t* className) {
    if (window != nullptr) {
        DestroyWindow(window);
        UnregisterClassW(className, instance);
    }
}
