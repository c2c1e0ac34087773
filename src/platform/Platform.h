#pragma once
// The few things the portable core needs from the operating system. Platform_win.cpp implements
// them with Win32; Platform_posix.cpp with the C++ library and our own INI reader and writer, so
// the core builds and is tested natively.

#include <cstddef>
#include <cstdint>
#include <string>

// Milliseconds of elapsed real time since the process started (wraps after 49 days).
uint32_t PlatformClockMs();

// Paths of the system (the executable's, the settings file's, resolved item paths) are UTF-8
// here, so that they may hold any character; the Win32 layer hands them to the wide functions.

// Full path of the running executable; false when the system cannot tell it.
bool PlatformModuleFileName(std::string* path);

// Whole files. A read answers Missing only when nothing has that name, Busy while another program
// holds the file open without sharing it (a scanner, a backup or sync client: worth another try in
// a moment), and Failed for a file that is there but cannot be read whole (a folder, no rights).
enum class FileRead { Read, Missing, Failed, Busy };
FileRead PlatformReadFile(const char* path, std::string* content);
// How a write or a replace went; Busy as for a read.
enum class FileStep { Done, Busy, Failed };
// Creates or truncates path with exactly content, flushed to the disk before it returns. The file
// is open to other programs meanwhile, so a scanner that looks at it does not make it fail.
FileStep PlatformWriteFile(const char* path, const std::string& content);
// PlatformRemoveFile is true when nothing is left under that name. PlatformReplaceFile puts source
// in target's place in one step on the same volume, written through before it returns; target
// keeps its attributes and security where the system can carry them over.
bool PlatformRemoveFile(const char* path);
FileStep PlatformReplaceFile(const char* source, const char* target);

// Path helpers in the manner of PathIsRelative, SetCurrentDirectory and PathSearchAndQualify.
bool PlatformIsRelativePath(const char* path);
bool PlatformSetCurrentDirectory(const char* directory);
bool PlatformQualifyPath(const char* path, std::string* qualified);

// The system's table of code page 932 (CodePage.h is what the program calls): bytes to UTF-16,
// and UTF-16 to bytes, false when a character has no exact form in the code page.
void PlatformWideFromCp932(const char* text, size_t size, std::u16string* wide);
bool PlatformCp932FromWide(const char16_t* text, size_t size, std::string* out);

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
// error dialogs and a console of its own for a console program. All three are UTF-8; parameters
// and directory may be null. Returns at once, true when the request was handed to the thread that
// asks the shell; the shell's answer is not waited for.
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
