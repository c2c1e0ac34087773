// A helper process for the window command tests: it owns top-level windows, so the commands act
// on windows of another program, as they do in use.
//   window_owner.exe t:<hex> [t:<hex>|s:<hex>...]
// Each argument is one window's title in hexadecimal UTF-8 bytes (empty for a window without
// title); an s: window has the class of the shell's taskbar.
// The handles of the windows are written to standard output, one decimal number per line, once
// all exist. The helper exits when its standard input ends (the test closed it, or died).

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "WindowOwner.h"

namespace {

DWORD mainThread = 0;
std::vector<HWND> windows;
std::vector<LONG> closeCounts;

std::string FromHex(const char* hex) {
    std::string bytes;
    for (size_t i = 0; hex[i] != 0 && hex[i + 1] != 0; i += 2) {
        char pair[3] = {hex[i], hex[i + 1], 0};
        bytes.push_back(static_cast<char>(strtoul(pair, nullptr, 16)));
    }
    return bytes;
}

LRESULT CALLBACK OwnerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    size_t index = 0;
    while (index < windows.size() && windows[index] != window) {
        ++index;
    }
    switch (message) {
        case WM_CLOSE:
            if (index < closeCounts.size()) {
                ++closeCounts[index];
            }
            return 0;
        case kOwnerCloseCount:
            return index < closeCounts.size() ? closeCounts[index] : -1;
        case kOwnerHoldClipboard:
            return wParam != 0 ? OpenClipboard(window) : CloseClipboard();
        case kOwnerMakeLayered:
            SetWindowLongA(window, GWL_EXSTYLE, GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_LAYERED);
            return SetLayeredWindowAttributes(window, 0, static_cast<BYTE>(lParam), LWA_ALPHA);
        case kOwnerHang:
            Sleep(static_cast<DWORD>(wParam));
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

// Waits for the end of standard input, then ends the message loop.
DWORD WINAPI WatchInput(void*) {
    char buffer[256];
    DWORD read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &read, nullptr) && read > 0) {
    }
    PostThreadMessageA(mainThread, WM_QUIT, 0, 0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    mainThread = GetCurrentThreadId();
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = OwnerWndProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"PivotelTestOwner";
    if (!RegisterClassW(&windowClass)) {
        return 1;
    }
    windowClass.lpszClassName = L"Shell_TrayWnd";
    if (!RegisterClassW(&windowClass)) {
        return 1;
    }
    std::string handles;
    for (int i = 1; i < argc; ++i) {
        const bool taskbar = strncmp(argv[i], "s:", 2) == 0;
        if (!taskbar && strncmp(argv[i], "t:", 2) != 0) {
            return 2;
        }
        const std::string title = FromHex(argv[i] + 2);  // UTF-8
        std::wstring wideTitle(title.size() + 1, L'\0');
        wideTitle.resize(
            static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, title.data(), static_cast<int>(title.size()),
                                                    wideTitle.data(), static_cast<int>(wideTitle.size()))));
        const int offset = 40 * (i - 1);
        HWND window = CreateWindowExW(0, taskbar ? L"Shell_TrayWnd" : L"PivotelTestOwner", wideTitle.c_str(),
                                      WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100 + offset, 100 + offset, 400, 300,
                                      nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (window == nullptr) {
            return 3;
        }
        windows.push_back(window);
        closeCounts.push_back(0);
        handles += std::to_string(reinterpret_cast<ULONG_PTR>(window)) + "\n";
    }
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists from here on
    HANDLE watcher = CreateThread(nullptr, 0, WatchInput, nullptr, 0, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), handles.data(), static_cast<DWORD>(handles.size()), &written,
              nullptr);
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    CloseHandle(watcher);
    return 0;
}
