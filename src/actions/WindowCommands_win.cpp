// The nine window commands on Win32. The target is a top-level window that usually belongs to
// another program. The commands run on the menu worker thread, which must never wait for that
// program: a hung window is often exactly the one the user wants to minimize or push away. So
// the show and z-order requests are handed to the window's own thread (ShowWindowAsync,
// SWP_ASYNCWINDOWPOS), and the style change of the translucency toggle, which the system delivers
// as a message that is waited for, is refused for a window that has stopped answering.
//
// The shell's desktop and taskbar are no target: closing them would bring up the shut-down dialog
// or end the desktop. A window of a process above the program's integrity level (an elevated
// program) is no target for the commands that act on it, which the system would drop without a
// word; its title and program file can still be read, so the copy and folder commands work there.

#include <windows.h>

#include <cstring>
#include <string>

#include "actions/WindowCommands.h"
#include "platform/Platform.h"
#include "platform/WindowKinds_win.h"
#include "platform/WideText_win.h"

namespace {

constexpr int kTitleBufferSize = 512;        // the longest title copied is 511 units
constexpr DWORD kExePathBufferSize = 32768;  // the longest path the system hands out
constexpr int kClipboardAttempts = 5;        // another program may hold the clipboard for a moment
constexpr DWORD kClipboardRetryMs = 20;

// The target as a window handle, or null when it is null, names no window or is the shell's.
HWND ExistingWindow(WindowHandle target) {
    HWND window = static_cast<HWND>(target);
    return window != nullptr && IsWindow(window) && !IsShellWindow(window) ? window : nullptr;
}

// The target of a command that changes the window, or null when it is no target or belongs to a
// process above the program's integrity level.
HWND ActingTarget(WindowHandle target) {
    HWND window = ExistingWindow(target);
    return window != nullptr && !IsAboveOwnIntegrity(window) ? window : nullptr;
}

// Puts length UTF-16 units of text, zero-terminated, on the clipboard as Unicode text; the
// system offers the 8-bit forms to programs that ask for them. The clipboard is opened for a
// message-only window of this thread: opened without an owner, EmptyClipboard leaves the
// clipboard ownerless and SetClipboardData is then allowed to fail. The data stays on the
// clipboard after that window is gone. The memory belongs to the clipboard once SetClipboardData
// accepts it and is freed on every other way out.
bool CopyTextToClipboard(const wchar_t* text, size_t length) {
    HGLOBAL memory =
        GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE, (length + 1) * sizeof(wchar_t));
    if (memory == nullptr) {
        return false;
    }
    wchar_t* units = static_cast<wchar_t*>(GlobalLock(memory));
    if (units == nullptr) {
        GlobalFree(memory);
        return false;
    }
    memcpy(units, text, length * sizeof(wchar_t));
    units[length] = 0;
    GlobalUnlock(memory);

    HWND owner =
        CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (owner == nullptr) {
        GlobalFree(memory);
        return false;
    }
    bool opened = false;
    for (int attempt = 0; attempt < kClipboardAttempts && !opened; ++attempt) {
        if (attempt > 0) {
            Sleep(kClipboardRetryMs);
        }
        opened = OpenClipboard(owner) != FALSE;
    }
    const bool copied = opened && EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    if (opened) {
        CloseClipboard();
    }
    DestroyWindow(owner);
    if (!copied) {
        GlobalFree(memory);
    }
    return copied;
}

// The full path of the program file of the process that owns the window. The process is asked
// for its own image name rather than for its first module: that needs only the right to query
// limited information (so windows of elevated programs work too), does not depend on the order
// in which the modules are listed, and is never cut at 260 bytes.
bool WindowExePath(WindowHandle target, std::wstring* path) {
    HWND window = ExistingWindow(target);
    DWORD processId = 0;
    if (window == nullptr || GetWindowThreadProcessId(window, &processId) == 0 || processId == 0) {
        return false;
    }
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr) {
        return false;
    }
    std::wstring buffer(kExePathBufferSize, L'\0');
    DWORD size = kExePathBufferSize;
    const BOOL found = QueryFullProcessImageNameW(process, 0, buffer.data(), &size);
    CloseHandle(process);
    if (!found || size == 0) {
        return false;
    }
    buffer.resize(size);
    *path = buffer;
    return true;
}

}  // namespace

// Asks the window to close by posting WM_CLOSE; its program decides what closing means.
int32_t CmdClose(MenuItem*, WindowHandle target, int32_t) {
    HWND window = ActingTarget(target);
    return window != nullptr && PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : -1;
}

// Moves the window to the bottom of the z-order without activating it.
int32_t CmdSendToBottom(MenuItem*, WindowHandle target, int32_t) {
    HWND window = ActingTarget(target);
    const UINT flags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS;
    return window != nullptr && SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, flags) ? 0 : -1;
}

// Restores the window when isInState says it is in that state, else puts it there. The result of
// ShowWindowAsync says whether the window was visible, not whether the request was taken, so it
// is not looked at.
static int32_t ToggleShowState(WindowHandle target, BOOL(WINAPI* isInState)(HWND), int enterState) {
    HWND window = ActingTarget(target);
    if (window == nullptr) {
        return -1;
    }
    ShowWindowAsync(window, isInState(window) ? SW_RESTORE : enterState);
    return 0;
}

// Restores a maximized window and maximizes any other, a minimized one included.
int32_t CmdToggleMaximize(MenuItem*, WindowHandle target, int32_t) {
    return ToggleShowState(target, IsZoomed, SW_MAXIMIZE);
}

// Restores a minimized window and minimizes any other, a maximized one included.
int32_t CmdToggleMinimize(MenuItem*, WindowHandle target, int32_t) {
    return ToggleShowState(target, IsIconic, SW_MINIMIZE);
}

// Copies the window's title, at most 511 UTF-16 units of it and never half a character, to the
// clipboard as text. A window without a title leaves the clipboard as it was.
int32_t CmdCopyTitle(MenuItem*, WindowHandle target, int32_t) {
    HWND window = ExistingWindow(target);
    wchar_t title[kTitleBufferSize] = {};
    const int copied = window != nullptr ? GetWindowTextW(window, title, kTitleBufferSize) : 0;
    size_t length = copied > 0 ? static_cast<size_t>(copied) : 0;
    if (length > 0 && IS_HIGH_SURROGATE(title[length - 1])) {
        --length;  // a pair the buffer cut in two
    }
    return length > 0 && CopyTextToClipboard(title, length) ? 0 : -1;
}

// Copies the full path of the window's program file to the clipboard as text.
int32_t CmdCopyExePath(MenuItem*, WindowHandle target, int32_t) {
    std::wstring path;
    return WindowExePath(target, &path) && CopyTextToClipboard(path.data(), path.size()) ? 0 : -1;
}

// Opens the folder that holds the window's program file in the shell (D:\ for D:\run.exe),
// without error dialogs.
int32_t CmdOpenExeFolder(MenuItem*, WindowHandle target, int32_t) {
    std::wstring path;
    if (!WindowExePath(target, &path)) {
        return -1;
    }
    const size_t separator = path.find_last_of(L"\\/");
    const size_t end =
        separator != std::wstring::npos ? separator + 1 : (path.size() >= 2 && path[1] == L':' ? 2 : 0);
    if (end == 0) {
        return -1;
    }
    const std::string folder = Utf8FromWideString(std::wstring_view(path.data(), end));
    return PlatformShellOpen(folder.c_str(), nullptr, nullptr, SW_SHOW) ? 0 : -1;
}

// Makes the window translucent with the opacity translucencyAlpha holds at this moment, or
// opaque again when it is layered, whoever made it so.
int32_t CmdToggleTranslucent(MenuItem*, WindowHandle target, int32_t) {
    HWND window = ActingTarget(target);
    if (window == nullptr || IsHungAppWindow(window)) {
        return -1;
    }
    const LONG style = GetWindowLongW(window, GWL_EXSTYLE);
    if (style & WS_EX_LAYERED) {
        SetWindowLongW(window, GWL_EXSTYLE, style & ~WS_EX_LAYERED);
        return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYERED) == 0 ? 0 : -1;
    }
    SetWindowLongW(window, GWL_EXSTYLE, style | WS_EX_LAYERED);
    if (!SetLayeredWindowAttributes(window, 0, translucencyAlpha.load(), LWA_ALPHA)) {
        // A layered window without attributes is not drawn at all: take the style back.
        SetWindowLongW(window, GWL_EXSTYLE, style);
        return -1;
    }
    return 0;
}

// Makes the window always-on-top, or puts it back among the normal windows when it is. The
// topmost band is changed through the z-order alone; the WS_EX_TOPMOST style follows it.
int32_t CmdToggleTopmost(MenuItem*, WindowHandle target, int32_t) {
    HWND window = ActingTarget(target);
    if (window == nullptr) {
        return -1;
    }
    const bool topmost = (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    const UINT flags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOOWNERZORDER | SWP_ASYNCWINDOWPOS;
    return SetWindowPos(window, topmost ? HWND_NOTOPMOST : HWND_TOPMOST, 0, 0, 0, 0, flags) ? 0 : -1;
}
