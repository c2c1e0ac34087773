#pragma once
// The life cycle shared by the threads that own one of the program's windows (the ring menu, the
// label, the palette editor): the starter owns the thread handle, the thread signals readiness
// once its window is published (or it has given up), and stopping posts WM_QUIT to the thread.

#include <windows.h>

struct WindowThread {
    SRWLOCK lock = SRWLOCK_INIT;  // guards thread and id
    HANDLE thread = nullptr;
    DWORD id = 0;
    // Set by the thread once its set-up has ended, with or without a window; created at the first
    // start and kept for the program's life, so a waiter never holds a closed handle.
    HANDLE ready = nullptr;
    unsigned(__stdcall* body)(void*) = nullptr;
    void* argument = nullptr;
};

bool StartWindowThread(WindowThread& record, unsigned(__stdcall* body)(void*), void* argument);
void SignalWindowThreadReady(WindowThread& record);
bool AwaitWindowThread(WindowThread& record);
bool IsWindowThreadRunning(WindowThread& record);
bool StopWindowThread(WindowThread& record, bool waitForUnready);
HANDLE WindowThreadHandle(WindowThread& record);
bool RunMessageLoop();
bool RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HICON icon = nullptr);
LRESULT CALLBACK ResidentWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
HWND CreateResidentWindow(HINSTANCE instance, const wchar_t* className, const wchar_t* title, int width,
                          int height);
void DestroyResidentWindow(HWND window, HINSTANCE instance, const wchar_t* className);
