#pragma once
// The Windows-only pieces the Wine tests share: taking this thread's messages while waiting,
// input through SendInput, GDI+ for the whole test program, pixels as the screen shows them, and
// the helper processes a test started.

#include <windows.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "TestSupport.h"

// Dispatches the messages waiting for this thread: a low-level hook is called on the thread that
// installed it, and only while that thread takes its messages.
void PumpMessages();

// WaitUntil that takes this thread's messages between looks.
template <typename Done>
bool PumpUntil(DWORD milliseconds, Done done) {
    return WaitUntil(
        [&] {
            PumpMessages();
            return done();
        },
        static_cast<int32_t>(milliseconds));
}

// Takes this thread's messages for the given time.
inline void Pump(DWORD milliseconds) {
    PumpUntil(milliseconds, [] { return false; });
}

// One mouse or key event, as the user's hardware would give it.
void SendMouse(DWORD flags, LONG dx = 0, LONG dy = 0, DWORD data = 0, ULONG_PTR extra = 0);
void SendKey(WORD key, bool down);

// GDI+ started for the whole test program, as the program starts it at start-up:
// ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment).
class GdiplusEnvironment : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;

private:
    ULONG_PTR token = 0;
};

// The colour on screen at a client point of window.
COLORREF ScreenPixel(HWND window, int32_t x, int32_t y);
// Whether the screen shows expected at a client point of window within the wait's bound. Wine copies
// a window's drawing to the screen a little after the drawing, and later still on a busy machine,
// so a pixel read at once can still show the frame before.
testing::AssertionResult PixelBecomes(HWND window, int32_t x, int32_t y, COLORREF expected);

// Ends every child process of this test whose program file has one of the given names and waits
// for each to be gone. The process that owns the desktop window is spared: Wine starts its
// desktop ("explorer.exe /desktop") as a child of the first program that needs it.
void EndChildProcesses(std::initializer_list<const char*> names);
// The ids of the child processes of this test, of those whose program file has the given name
// when one is given.
std::vector<DWORD> ChildProcesses(const char* name = nullptr);
