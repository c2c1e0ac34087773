#pragma once
// Message pumping for the Wine tests of the input threads: a low-level hook is called on the
// thread that installed it, and only while that thread takes its messages.

#include <windows.h>

// Dispatches this thread's messages for the given time, looking every 5 ms.
inline void Pump(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(5);
    } while (GetTickCount() - start < milliseconds);
}

// Pumps until done() holds or the time is up; true when it held.
template <typename Done>
bool PumpUntil(DWORD milliseconds, Done done) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= milliseconds) {
            return false;
        }
        Pump(10);
    }
    return true;
}
