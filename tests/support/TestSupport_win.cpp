#include "TestSupport_win.h"

#include <objidl.h>
#include <gdiplus.h>
#include <tlhelp32.h>

#include <cstdio>

void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void SendMouse(DWORD flags, LONG dx, LONG dy, DWORD data, ULONG_PTR extra) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = dx;
    input.mi.dy = dy;
    input.mi.dwFlags = flags;
    input.mi.mouseData = data;
    input.mi.dwExtraInfo = extra;
    SendInput(1, &input, sizeof input);
}

void SendKey(WORD key, bool down) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
}

void GdiplusEnvironment::SetUp() {
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
}

void GdiplusEnvironment::TearDown() {
    Gdiplus::GdiplusShutdown(token);
}

COLORREF ScreenPixel(HWND window, int32_t x, int32_t y) {
    POINT point = {x, y};
    ClientToScreen(window, &point);
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, point.x, point.y);
    ReleaseDC(nullptr, screen);
    return colour;
}

testing::AssertionResult PixelBecomes(HWND window, int32_t x, int32_t y, COLORREF expected) {
    COLORREF colour = CLR_INVALID;
    const bool shown = WaitUntil([&] { return (colour = ScreenPixel(window, x, y)) == expected; });
    if (shown) {
        return testing::AssertionSuccess();
    }
    char text[96];
    snprintf(text, sizeof text, "pixel (%d, %d) is 0x%06lX, not 0x%06lX", static_cast<int>(x),
             static_cast<int>(y), static_cast<unsigned long>(colour), static_cast<unsigned long>(expected));
    return testing::AssertionFailure() << text;
}

std::vector<DWORD> ChildProcesses(const char* name) {
    std::vector<DWORD> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return found;
    }
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (entry.th32ParentProcessID == GetCurrentProcessId() &&
            (name == nullptr || _stricmp(entry.szExeFile, name) == 0)) {
            found.push_back(entry.th32ProcessID);
        }
    }
    CloseHandle(snapshot);
    return found;
}

void EndChildProcesses(std::initializer_list<const char*> names) {
    DWORD desktopProcess = 0;
    GetWindowThreadProcessId(GetDesktopWindow(), &desktopProcess);
    for (const char* name : names) {
        for (DWORD id : ChildProcesses(name)) {
            HANDLE process =
                id != desktopProcess ? OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id) : nullptr;
            if (process != nullptr) {
                TerminateProcess(process, 1);
                WaitForSingleObject(process, 5000);
                CloseHandle(process);
            }
        }
    }
}
