// The platform layer on Windows: thin calls into KERNEL32 and SHLWAPI.

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <process.h>

#include <ctime>

#include "platform/Platform.h"

// The C run time's clock counts milliseconds of elapsed real time since the process started.
uint32_t PlatformClockMs() {
    return static_cast<uint32_t>(clock());
}

// GetModuleFileNameA answers the buffer's size when it had to cut the path.
uint32_t PlatformModuleFileName(char* buffer, uint32_t size) {
    DWORD length = GetModuleFileNameA(nullptr, buffer, size);
    if (length == 0 || length >= size) {
        if (size > 0) {
            buffer[0] = 0;
        }
        return 0;
    }
    return length;
}

uint32_t PlatformReadProfileString(const char* section, const char* key, const char* defaultValue,
                                   char* buffer, uint32_t size, const char* path) {
    return GetPrivateProfileStringA(section, key, defaultValue, buffer, size, path);
}

int PlatformWriteProfileString(const char* section, const char* key, const char* value, const char* path) {
    return WritePrivateProfileStringA(section, key, value, path);
}

bool PlatformFileExists(const char* path) {
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    const DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

bool PlatformCopyFile(const char* source, const char* target) {
    return CopyFileA(source, target, FALSE) != FALSE;
}

// A read-only file cannot be deleted, so it loses that attribute first.
bool PlatformRemoveFile(const char* path) {
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path) != FALSE || GetLastError() == ERROR_FILE_NOT_FOUND;
}

// The rename alone does not flush the renamed file's data, so a power cut could leave the new name
// on a file whose content never reached the disk.
bool PlatformReplaceFile(const char* source, const char* target) {
    HANDLE file =
        CreateFileA(source, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const BOOL flushed = FlushFileBuffers(file);
    CloseHandle(file);
    return flushed != FALSE &&
           MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool PlatformIsRelativePath(const char* path) {
    return PathIsRelativeA(path) != FALSE;
}

bool PlatformSetCurrentDirectory(const char* directory) {
    return SetCurrentDirectoryA(directory) != FALSE;
}

bool PlatformQualifyPath(const char* path, char* buffer, uint32_t size) {
    return PathSearchAndQualifyA(path, buffer, size) != FALSE;
}

bool PlatformIsLeadByte(unsigned char c) {
    return IsDBCSLeadByte(c) != FALSE;
}

// First the icon stored in the file itself; else the icon the shell shows for the path (a
// folder, a document), asked as a file or as a folder depending on whether the path names a
// file. ExtractIconA answers 1 for a file that holds no icons: that is no icon, so the shell's
// icon for the file is taken instead. The shell's answer counts only when the call succeeds: on
// failure the structure's icon field is not reliable (Wine copies an uninitialised one), and a
// path that names nothing must give no icon.
IconHandle PlatformLoadItemIcon(const char* resolvedPath) {
    HICON icon = ExtractIconA(GetModuleHandleA(nullptr), resolvedPath, 0);
    if (icon != nullptr && icon != reinterpret_cast<HICON>(1)) {
        return icon;
    }
    char title[MAX_PATH];
    const bool isFile = GetFileTitleA(resolvedPath, title, sizeof title) >= 0;
    SHFILEINFOA info = {};
    if (SHGetFileInfoA(resolvedPath, isFile ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_DIRECTORY, &info,
                       sizeof info, SHGFI_ICON) == 0) {
        return nullptr;
    }
    return info.hIcon;
}

void PlatformDestroyIcon(IconHandle icon) {
    if (icon != nullptr) {
        DestroyIcon(static_cast<HICON>(icon));
    }
}

struct PlatformLock {
    CRITICAL_SECTION section;
};

PlatformLock* PlatformCreateLock() {
    PlatformLock* lock = new PlatformLock;
    InitializeCriticalSection(&lock->section);
    return lock;
}

void PlatformDestroyLock(PlatformLock* lock) {
    DeleteCriticalSection(&lock->section);
    delete lock;
}

void PlatformAcquireLock(PlatformLock* lock) {
    EnterCriticalSection(&lock->section);
}
bool PlatformTryAcquireLock(PlatformLock* lock) {
    return TryEnterCriticalSection(&lock->section) != FALSE;
}
void PlatformReleaseLock(PlatformLock* lock) {
    LeaveCriticalSection(&lock->section);
}

bool PlatformShellOpen(const char* file, const char* parameters, const char* directory, int32_t show) {
    SHELLEXECUTEINFOA request = {};
    request.cbSize = sizeof request;
    request.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NO_CONSOLE;
    request.hwnd = GetDesktopWindow();
    request.lpVerb = "open";
    request.lpFile = file;
    request.lpParameters = parameters;
    request.lpDirectory = directory;
    request.nShow = show;
    return ShellExecuteExA(&request) == TRUE;
}

struct PlatformSemaphore {
    HANDLE handle;
};

PlatformSemaphore* PlatformCreateSemaphore(int32_t initialCount, int32_t maximumCount) {
    HANDLE handle = CreateSemaphoreA(nullptr, initialCount, maximumCount, nullptr);
    if (handle == nullptr) {
        return nullptr;
    }
    return new PlatformSemaphore{handle};
}

void PlatformDestroySemaphore(PlatformSemaphore* semaphore) {
    if (semaphore != nullptr) {
        CloseHandle(semaphore->handle);
        delete semaphore;
    }
}

bool PlatformReleaseSemaphore(PlatformSemaphore* semaphore) {
    return ReleaseSemaphore(semaphore->handle, 1, nullptr) != FALSE;
}

int32_t PlatformWaitSemaphore(PlatformSemaphore* semaphore, uint32_t timeoutMs) {
    switch (WaitForSingleObject(semaphore->handle, timeoutMs)) {
        case WAIT_OBJECT_0:
            return kWaitAcquired;
        case WAIT_TIMEOUT:
            return kWaitTimedOut;
        default:
            return kWaitFailed;
    }
}

struct PlatformThread {
    HANDLE handle;
    PlatformThreadProc proc;
    void* argument;
};

static unsigned __stdcall ThreadTrampoline(void* context) {
    PlatformThread* thread = static_cast<PlatformThread*>(context);
    return thread->proc(thread->argument);
}

PlatformThread* PlatformStartThread(PlatformThreadProc proc, void* argument) {
    PlatformThread* thread = new PlatformThread{nullptr, proc, argument};
    thread->handle =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadTrampoline, thread, 0, nullptr));
    if (thread->handle == nullptr) {
        delete thread;
        return nullptr;
    }
    return thread;
}

void PlatformJoinThread(PlatformThread* thread) {
    if (thread == nullptr) {
        return;
    }
    WaitForSingleObject(thread->handle, INFINITE);
    CloseHandle(thread->handle);
    delete thread;
}

void PlatformSleepMs(uint32_t milliseconds) {
    Sleep(milliseconds);
}
