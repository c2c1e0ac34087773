#pragma once
// The few things the portable core needs from the operating system. Platform_win.cpp implements
// them with Win32; Platform_posix.cpp with the C++ library and our own INI reader and writer, so
// the core builds and is tested natively.

#include <cstddef>
#include <cstdint>

// Milliseconds of elapsed real time since the process started (wraps after 49 days).
uint32_t PlatformClockMs();

// Full path of the running executable, zero-terminated: the number of bytes stored without the
// terminator, or 0 on failure. A path that does not fit whole is a failure, never cut: a cut path
// would name another directory.
uint32_t PlatformModuleFileName(char* buffer, uint32_t size);

// Profile (INI) access with the semantics of GetPrivateProfileStringA / WritePrivateProfileStringA
// for single keys: the number of bytes copied (without the terminator), and nonzero on success.
uint32_t PlatformReadProfileString(const char* section, const char* key, const char* defaultValue,
                                   char* buffer, uint32_t size, const char* path);
int PlatformWriteProfileString(const char* section, const char* key, const char* value, const char* path);

// Whole files, for replacing one in a single step. PlatformFileExists is false only when the
// system says that nothing has that name (a file it cannot look at counts as there).
// PlatformCopyFile copies source over target, attributes included. PlatformRemoveFile is true when
// nothing is left under that name. PlatformReplaceFile flushes source to the disk and renames it
// over target in one step on the same volume, written through before it returns.
bool PlatformFileExists(const char* path);
bool PlatformCopyFile(const char* source, const char* target);
bool PlatformRemoveFile(const char* path);
bool PlatformReplaceFile(const char* source, const char* target);

// Path helpers in the manner of PathIsRelativeA, SetCurrentDirectoryA and PathSearchAndQualifyA.
bool PlatformIsRelativePath(const char* path);
bool PlatformSetCurrentDirectory(const char* directory);
bool PlatformQualifyPath(const char* path, char* buffer, uint32_t size);

// True when c starts a two-byte character in the program's 8-bit code page (932), so the byte
// after it must not be taken for a path separator.
bool PlatformIsLeadByte(unsigned char c);

// An item's icon: an opaque handle owned by whoever loaded it.
using IconHandle = void*;

// Loads the icon for an item from a resolved path in two stages: the first icon stored in the
// file, else the icon the desktop shell shows for the path. Null when neither gives one.
IconHandle PlatformLoadItemIcon(const char* resolvedPath);
// Releases an icon; null is allowed and does nothing.
void PlatformDestroyIcon(IconHandle icon);

// A recursive lock (a thread that holds it may take it again), like a critical section.
struct PlatformLock;
PlatformLock* PlatformCreateLock();
void PlatformDestroyLock(PlatformLock* lock);
void PlatformAcquireLock(PlatformLock* lock);
// Takes the lock when no other thread holds it; false at once otherwise.
bool PlatformTryAcquireLock(PlatformLock* lock);
void PlatformReleaseLock(PlatformLock* lock);

// Opens a file, program, document or folder through the desktop shell with the verb "open", no
// error dialogs and a console of its own for a console program. parameters and directory may be
// null. True when the shell accepted the request.
bool PlatformShellOpen(const char* file, const char* parameters, const char* directory, int32_t show);

// A counting semaphore with a maximum count, like a Win32 semaphore: a release beyond the
// maximum is refused and changes nothing.
struct PlatformSemaphore;
PlatformSemaphore* PlatformCreateSemaphore(int32_t initialCount, int32_t maximumCount);
void PlatformDestroySemaphore(PlatformSemaphore* semaphore);
bool PlatformReleaseSemaphore(PlatformSemaphore* semaphore);
// Waits for a count: kWaitAcquired, kWaitTimedOut, or kWaitFailed. kWaitForever waits without end.
constexpr uint32_t kWaitForever = 0xFFFFFFFF;
constexpr int32_t kWaitAcquired = 0;
constexpr int32_t kWaitTimedOut = 128;
constexpr int32_t kWaitFailed = -1;
int32_t PlatformWaitSemaphore(PlatformSemaphore* semaphore, uint32_t timeoutMs);

// Threads: started running at once; joined and released by their starter.
struct PlatformThread;
using PlatformThreadProc = uint32_t (*)(void* argument);
PlatformThread* PlatformStartThread(PlatformThreadProc proc, void* argument);
void PlatformJoinThread(PlatformThread* thread);
void PlatformSleepMs(uint32_t milliseconds);
