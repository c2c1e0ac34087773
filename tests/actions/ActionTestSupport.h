#pragma once
// Shared pieces of the Wine tests of the actions: the test program's folder, polling with a
// time-out, the clipboard as the user sees it, and ending helper processes that were left over.

#include <windows.h>
#include <tlhelp32.h>

#include <cstring>
#include <initializer_list>
#include <string>

// The folder of the running test program, ending in a backslash.
inline std::string TestProgramFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string text = path;
    return text.substr(0, text.find_last_of('\\') + 1);
}

// Checks condition every 10 ms until it holds (true) or timeoutMs have passed (false).
template <typename Condition>
bool WaitFor(Condition condition, DWORD timeoutMs = 5000) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        Sleep(10);
    }
    return true;
}

inline bool OpenClipboardPatiently() {
    return WaitFor([] { return OpenClipboard(nullptr) != FALSE; }, 2000);
}

// Replaces the clipboard's content with text (CF_TEXT).
inline bool PutClipboardText(const std::string& text) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
    GlobalUnlock(memory);
    if (!OpenClipboardPatiently()) {
        GlobalFree(memory);
        return false;
    }
    const bool stored = EmptyClipboard() && SetClipboardData(CF_TEXT, memory) != nullptr;
    CloseClipboard();
    if (!stored) {
        GlobalFree(memory);
    }
    return stored;
}

// The clipboard's CF_TEXT content; "<no text>" when it holds none, "<busy>" when it cannot be
// opened.
inline std::string ClipboardText() {
    if (!OpenClipboardPatiently()) {
        return "<busy>";
    }
    std::string text = "<no text>";
    HANDLE data = GetClipboardData(CF_TEXT);
    if (data != nullptr) {
        const char* bytes = static_cast<const char*>(GlobalLock(data));
        text = bytes != nullptr ? bytes : "<no text>";
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

// Ends every child process of this test whose program file has one of the given names (helpers
// that were left over, a folder window the shell opened) and waits for each to be gone. The
// process that owns the desktop window is spared: Wine starts its desktop ("explorer.exe
// /desktop") as a child of the first program that needs it, which may be this test.
inline void EndChildProcesses(std::initializer_list<const char*> names) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD desktopProcess = 0;
    GetWindowThreadProcessId(GetDesktopWindow(), &desktopProcess);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (entry.th32ParentProcessID != GetCurrentProcessId() || entry.th32ProcessID == desktopProcess) {
            continue;
        }
        for (const char* name : names) {
            if (_stricmp(entry.szExeFile, name) != 0) {
                continue;
            }
            HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
            if (process != nullptr) {
                TerminateProcess(process, 1);
                WaitForSingleObject(process, 5000);
                CloseHandle(process);
            }
        }
    }
    CloseHandle(snapshot);
}

// The number of child processes of this test whose program file has the given name.
inline int CountChildProcesses(const char* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return -1;
    }
    int count = 0;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (entry.th32ParentProcessID == GetCurrentProcessId() && _stricmp(entry.szExeFile, name) == 0) {
            ++count;
        }
    }
    CloseHandle(snapshot);
    return count;
}
