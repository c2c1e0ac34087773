// The platform layer of the native build: the C++ library and our own INI reader and writer.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <condition_variable>
#include <mutex>
#include <new>
#include <string>
#include <thread>

#include "platform/IniFile.h"
#include "platform/Platform.h"

namespace {
const auto processStart = std::chrono::steady_clock::now();
}

uint32_t PlatformClockMs() {
    auto elapsed = std::chrono::steady_clock::now() - processStart;
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

uint32_t PlatformModuleFileName(char* buffer, uint32_t size) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof path || static_cast<uint32_t>(length) >= size) {
        buffer[0] = 0;
        return 0;
    }
    memcpy(buffer, path, static_cast<size_t>(length));
    buffer[length] = 0;
    return static_cast<uint32_t>(length);
}

uint32_t PlatformReadProfileString(const char* section, const char* key, const char* defaultValue,
                                   char* buffer, uint32_t size, const char* path) {
    return IniReadString(section, key, defaultValue, buffer, size, path);
}

int PlatformWriteProfileString(const char* section, const char* key, const char* value, const char* path) {
    return IniWriteString(section, key, value, path);
}

bool PlatformFileExists(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 || errno != ENOENT;
}

// The copy gets the source's permission bits, as a copy on Windows gets its attributes.
bool PlatformCopyFile(const char* source, const char* target) {
    const int in = open(source, O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return false;
    }
    struct stat info;
    std::string content;
    const bool loaded = fstat(in, &info) == 0 && ReadAll(in, &content);
    close(in);
    const int out = loaded ? open(target, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600) : -1;
    if (out < 0) {
        return false;
    }
    const bool ok = fchmod(out, info.st_mode & 07777) == 0 && WriteAll(out, content.data(), content.size());
    return close(out) == 0 && ok;
}

bool PlatformRemoveFile(const char* path) {
    return unlink(path) == 0 || errno == ENOENT;
}

// The file is flushed before the rename and its folder after it, so that a power cut loses
// neither the content nor the rename.
bool PlatformReplaceFile(const char* source, const char* target) {
    const int fd = open(source, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = fsync(fd) == 0;
    if (close(fd) != 0 || !synced || rename(source, target) != 0) {
        return false;
    }
    SyncFolderOf(target);
    return true;
}

// Windows-style paths are what the settings file holds, so a drive or a leading separator of
// either kind makes a path absolute here as well.
bool PlatformIsRelativePath(const char* path) {
    return path != nullptr && path[0] != '/' && path[0] != '\\' && !(path[0] != 0 && path[1] == ':');
}

bool PlatformSetCurrentDirectory(const char* directory) {
    return chdir(directory) == 0;
}

bool PlatformQualifyPath(const char* path, char* buffer, uint32_t size) {
    std::string full = path;
    if (PlatformIsRelativePath(path)) {
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd) == nullptr) {
            return false;
        }
        const size_t cwdLength = strlen(cwd);
        full = std::string(cwd) + (cwdLength > 0 && cwd[cwdLength - 1] == '/' ? "" : "/") + path;
    }
    if (full.size() >= size) {
        return false;
    }
    memcpy(buffer, full.c_str(), full.size() + 1);
    return true;
}

// Code page 932: 0x81-0x9F and 0xE0-0xFC lead a two-byte character.
bool PlatformIsLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// The host has no icons: an existing file or folder gives a token that stands for its icon,
// anything else none, which is the outcome the two stages of the Windows loader have.
IconHandle PlatformLoadItemIcon(const char* resolvedPath) {
    struct stat info;
    if (resolvedPath == nullptr || stat(resolvedPath, &info) != 0) {
        return nullptr;
    }
    return new (std::nothrow) char(1);
}

void PlatformDestroyIcon(IconHandle icon) {
    delete static_cast<char*>(icon);
}

struct PlatformLock {
    std::recursive_mutex mutex;
};

PlatformLock* PlatformCreateLock() {
    return new PlatformLock;
}
void PlatformDestroyLock(PlatformLock* lock) {
    delete lock;
}
void PlatformAcquireLock(PlatformLock* lock) {
    lock->mutex.lock();
}
bool PlatformTryAcquireLock(PlatformLock* lock) {
    return lock->mutex.try_lock();
}
void PlatformReleaseLock(PlatformLock* lock) {
    lock->mutex.unlock();
}

// The host build has no desktop shell to hand programs and documents to.
bool PlatformShellOpen(const char*, const char*, const char*, int32_t) {
    return false;
}

struct PlatformSemaphore {
    std::mutex mutex;
    std::condition_variable available;
    int32_t count;
    int32_t maximum;
};

PlatformSemaphore* PlatformCreateSemaphore(int32_t initialCount, int32_t maximumCount) {
    if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount) {
        return nullptr;
    }
    PlatformSemaphore* semaphore = new (std::nothrow) PlatformSemaphore;
    if (semaphore != nullptr) {
        semaphore->count = initialCount;
        semaphore->maximum = maximumCount;
    }
    return semaphore;
}

void PlatformDestroySemaphore(PlatformSemaphore* semaphore) {
    delete semaphore;
}

bool PlatformReleaseSemaphore(PlatformSemaphore* semaphore) {
    {
        std::lock_guard<std::mutex> lock(semaphore->mutex);
        if (semaphore->count >= semaphore->maximum) {
            return false;
        }
        ++semaphore->count;
    }
    semaphore->available.notify_one();
    return true;
}

int32_t PlatformWaitSemaphore(PlatformSemaphore* semaphore, uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(semaphore->mutex);
    auto ready = [semaphore] { return semaphore->count > 0; };
    if (timeoutMs == kWaitForever) {
        semaphore->available.wait(lock, ready);
    } else if (!semaphore->available.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
        return kWaitTimedOut;
    }
    --semaphore->count;
    return kWaitAcquired;
}

struct PlatformThread {
    std::thread thread;
};

PlatformThread* PlatformStartThread(PlatformThreadProc proc, void* argument) {
    PlatformThread* thread = new (std::nothrow) PlatformThread;
    if (thread == nullptr) {
        return nullptr;
    }
    try {
        thread->thread = std::thread([proc, argument] { proc(argument); });
    } catch (...) {
        delete thread;
        return nullptr;
    }
    return thread;
}

void PlatformJoinThread(PlatformThread* thread) {
    if (thread == nullptr) {
        return;
    }
    if (thread->thread.joinable()) {
        thread->thread.join();
    }
    delete thread;
}

void PlatformSleepMs(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
