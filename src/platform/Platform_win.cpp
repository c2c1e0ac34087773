// The platform layer on Windows: thin calls into the wide functions of KERNEL32, SHLWAPI and SHELL32.

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <process.h>

#include <atomic>
#include <ctime>

#include "platform/Holders_win.h"
#include "platform/Jobs_win.h"
#include "platform/Platform.h"
#include "platform/Platform_win.h"
#include "platform/WideText_win.h"

namespace {
constexpr UINT kCodePage932 = 932;
}  // namespace

// The C run time's clock counts milliseconds of elapsed real time since the process started.
uint32_t PlatformClockMs() {
    return static_cast<uint32_t>(clock());
}

// GetModuleFileNameW answers the buffer's size when it had to cut the path, so the buffer grows
// up to the longest path the system has.
bool PlatformModuleFileName(std::string* path) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return false;
        }
        if (length < buffer.size()) {
            *path = Utf8FromWideString(std::wstring_view(buffer.data(), length));
            return true;
        }
        if (buffer.size() >= 32768) {
            return false;
        }
        buffer.resize(buffer.size() * 2);
    }
}

// Others may go on reading, writing or renaming the file while it is read; the read takes
// whatever it then holds.
namespace {

// Another program has the file open in a way that keeps us out for now.
bool IsBusyError(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

}  // namespace

FileRead PlatformReadFile(const char* path, std::string* content) {
    content->clear();
    FileHandle file(CreateFileW(WideStringFromUtf8(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return FileRead::Missing;
        }
        return IsBusyError(error) ? FileRead::Busy : FileRead::Failed;
    }
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x7FFFFFFF) {
        return FileRead::Failed;
    }
    content->resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < content->size()) {
        DWORD got = 0;
        if (!ReadFile(file.get(), content->data() + done, static_cast<DWORD>(content->size() - done), &got,
                      nullptr)) {
            // A range another program has locked reads again once it lets go.
            const bool busy = IsBusyError(GetLastError());
            content->clear();
            return busy ? FileRead::Busy : FileRead::Failed;
        }
        if (got == 0) {
            break;  // the file shrank meanwhile
        }
        done += got;
    }
    content->resize(done);
    return FileRead::Read;
}

FileStep PlatformWriteFile(const char* path, const std::string& content) {
    FileHandle file(CreateFileW(WideStringFromUtf8(path).c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return IsBusyError(GetLastError()) ? FileStep::Busy : FileStep::Failed;
    }
    size_t done = 0;
    while (done < content.size()) {
        DWORD wrote = 0;
        if (!WriteFile(file.get(), content.data() + done, static_cast<DWORD>(content.size() - done), &wrote,
                       nullptr) ||
            wrote == 0) {
            return FileStep::Failed;
        }
        done += wrote;
    }
    return FlushFileBuffers(file.get()) != FALSE ? FileStep::Done : FileStep::Failed;
}

// A read-only file cannot be deleted, so it loses that attribute first.
bool PlatformRemoveFile(const char* path) {
    const std::wstring wide = WideStringFromUtf8(path);
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileW(wide.c_str()) != FALSE || GetLastError() == ERROR_FILE_NOT_FOUND;
}

// ReplaceFileW keeps the target's attributes, security and streams. Where it answers that the
// target could not be removed, both files are as they were, so that is tried again later; where
// it cannot be used at all (no target yet, a file system without it) or has moved the target
// aside and left the source in place, the plain rename puts the source where the target was.
FileStep PlatformReplaceFile(const char* source, const char* target) {
    const std::wstring wideSource = WideStringFromUtf8(source);
    const std::wstring wideTarget = WideStringFromUtf8(target);
    if (ReplaceFileW(wideTarget.c_str(), wideSource.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                     nullptr, nullptr)) {
        return FileStep::Done;
    }
    const DWORD error = GetLastError();
    if (IsBusyError(error) || error == ERROR_UNABLE_TO_REMOVE_REPLACED) {
        return FileStep::Busy;
    }
    if (MoveFileExW(wideSource.c_str(), wideTarget.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return FileStep::Done;
    }
    return IsBusyError(GetLastError()) ? FileStep::Busy : FileStep::Failed;
}

bool PlatformIsRelativePath(const char* path) {
    return PathIsRelativeW(WideStringFromUtf8(path).c_str()) != FALSE;
}

bool PlatformSetCurrentDirectory(const char* directory) {
    return SetCurrentDirectoryW(WideStringFromUtf8(directory).c_str()) != FALSE;
}

bool PlatformQualifyPath(const char* path, std::string* qualified) {
    // A result longer than the buffer is no answer, though some versions report success for it.
    wchar_t buffer[MAX_PATH] = {};
    if (!PathSearchAndQualifyW(WideStringFromUtf8(path).c_str(), buffer, MAX_PATH) || buffer[0] == 0) {
        return false;
    }
    *qualified = Utf8FromWideString(buffer);
    return true;
}

// The strict conversion fails for bytes that form no character; then each character is taken on
// its own so that only the bad ones become U+FFFD, the same answer as the native table gives.
void PlatformWideFromCp932(const char* text, size_t size, std::u16string* wide) {
    wide->clear();
    auto convert = [wide](const char* piece, size_t length) {
        const int needed = MultiByteToWideChar(kCodePage932, MB_ERR_INVALID_CHARS, piece,
                                               static_cast<int>(length), nullptr, 0);
        if (needed <= 0) {
            return false;
        }
        const size_t at = wide->size();
        wide->resize(at + static_cast<size_t>(needed));
        MultiByteToWideChar(kCodePage932, MB_ERR_INVALID_CHARS, piece, static_cast<int>(length),
                            reinterpret_cast<wchar_t*>(wide->data() + at), needed);
        return true;
    };
    if (size == 0 || convert(text, size)) {
        return;
    }
    wide->clear();
    for (size_t i = 0; i < size;) {
        const size_t length = Cp932CharLength(text, i, size);
        if (!convert(text + i, length)) {
            wide->push_back(u'\uFFFD');
        }
        i += length;
    }
}

bool PlatformCp932FromWide(const char16_t* text, size_t size, std::string* out) {
    out->clear();
    if (size == 0) {
        return true;
    }
    const wchar_t* wide = reinterpret_cast<const wchar_t*>(text);
    BOOL usedDefault = FALSE;
    const int needed = WideCharToMultiByte(kCodePage932, WC_NO_BEST_FIT_CHARS, wide, static_cast<int>(size),
                                           nullptr, 0, nullptr, &usedDefault);
    if (needed <= 0 || usedDefault) {
        return false;
    }
    out->resize(static_cast<size_t>(needed));
    WideCharToMultiByte(kCodePage932, WC_NO_BEST_FIT_CHARS, wide, static_cast<int>(size), out->data(), needed,
                        nullptr, &usedDefault);
    return !usedDefault;
}

// First the icon stored in the file itself; else the icon the shell shows for the path (a
// folder, a document), asked as a file or as a folder depending on whether the path names a
// file. ExtractIconW answers 1 for a file that holds no icons: that is no icon, so the shell's
// icon for the file is taken instead. The shell's answer counts only when the call succeeds: on
// failure the structure's icon field is not reliable (Wine copies an uninitialised one), and a
// path that names nothing must give no icon.
IconHandle PlatformLoadItemIcon(const char* resolvedPath) {
    const std::wstring path = WideStringFromUtf8(resolvedPath);
    HICON icon = ExtractIconW(GetModuleHandleW(nullptr), path.c_str(), 0);
    if (icon != nullptr && icon != reinterpret_cast<HICON>(1)) {
        return icon;
    }
    wchar_t title[MAX_PATH];
    const bool isFile = GetFileTitleW(path.c_str(), title, MAX_PATH) >= 0;
    SHFILEINFOW info = {};
    if (SHGetFileInfoW(path.c_str(), isFile ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_DIRECTORY, &info,
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

namespace {
std::atomic<HWND> shellOwner{nullptr};
}  // namespace

void SetShellOwnerWindow(HWND window) {
    shellOwner.store(window);
}

// The shell is asked on a thread of its own: a slow network path, a program that asks for
// elevation or a verb that needs COM would otherwise hold up the caller. The thread waits for the
// shell to finish (no asynchronous hand-off that would outlive its apartment). The started program
// may take the foreground, which a background thread could not give it otherwise.
bool PlatformShellOpen(const char* file, const char* parameters, const char* directory, int32_t show) {
    struct Request {
        std::wstring file;
        std::wstring parameters;
        std::wstring directory;
        bool hasParameters;
        bool hasDirectory;
        int32_t show;
    };
    Request request{WideStringFromUtf8(file),
                    parameters != nullptr ? WideStringFromUtf8(parameters) : std::wstring(),
                    directory != nullptr ? WideStringFromUtf8(directory) : std::wstring(),
                    parameters != nullptr,
                    directory != nullptr,
                    show};
    return StartComJob([request = std::move(request)] {
        AllowSetForegroundWindow(ASFW_ANY);
        SHELLEXECUTEINFOW execute = {};
        execute.cbSize = sizeof execute;
        execute.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NO_CONSOLE | SEE_MASK_NOASYNC;
        execute.hwnd = shellOwner.load();
        execute.lpVerb = L"open";
        execute.lpFile = request.file.c_str();
        execute.lpParameters = request.hasParameters ? request.parameters.c_str() : nullptr;
        execute.lpDirectory = request.hasDirectory ? request.directory.c_str() : nullptr;
        execute.nShow = request.show;
        ShellExecuteExW(&execute);
    });
}

struct PlatformSemaphore {
    HANDLE handle;
};

PlatformSemaphore* PlatformCreateSemaphore(int32_t initialCount, int32_t maximumCount) {
    HANDLE handle = CreateSemaphoreW(nullptr, initialCount, maximumCount, nullptr);
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
