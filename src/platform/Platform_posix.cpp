// The platform layer of the native build: the C and C++ libraries, with the C library's table of
// code page 932.

#include <fcntl.h>
#include <iconv.h>
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

#include "platform/CodePage.h"
#include "platform/IniFile.h"
#include "platform/Platform.h"

namespace {
const auto processStart = std::chrono::steady_clock::now();
}

uint32_t PlatformClockMs() {
    auto elapsed = std::chrono::steady_clock::now() - processStart;
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

bool PlatformModuleFileName(std::string* path) {
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer) {
        return false;
    }
    path->assign(buffer, static_cast<size_t>(length));
    return true;
}

FileRead PlatformReadFile(const char* path, std::string* content) {
    content->clear();
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT ? FileRead::Missing : FileRead::Failed;
    }
    struct stat info;
    const bool read = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ReadAll(fd, content);
    close(fd);
    if (!read) {
        content->clear();
    }
    return read ? FileRead::Read : FileRead::Failed;
}

// Files here are never held against us, so nothing is ever busy.
FileStep PlatformWriteFile(const char* path, const std::string& content) {
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return FileStep::Failed;
    }
    const bool ok = WriteAll(fd, content.data(), content.size()) && fsync(fd) == 0;
    return close(fd) == 0 && ok ? FileStep::Done : FileStep::Failed;
}

bool PlatformRemoveFile(const char* path) {
    return unlink(path) == 0 || errno == ENOENT;
}

// The folder is flushed after the rename, so that a power cut does not lose it.
FileStep PlatformReplaceFile(const char* source, const char* target) {
    if (rename(source, target) != 0) {
        return FileStep::Failed;
    }
    SyncFolderOf(target);
    return FileStep::Done;
}

// Windows-style paths are what the settings file holds, so a drive or a leading separator of
// either kind makes a path absolute here as well.
bool PlatformIsRelativePath(const char* path) {
    return path != nullptr && path[0] != '/' && path[0] != '\\' && !(path[0] != 0 && path[1] == ':');
}

bool PlatformSetCurrentDirectory(const char* directory) {
    return chdir(directory) == 0;
}

bool PlatformQualifyPath(const char* path, std::string* qualified) {
    std::string full = path;
    if (PlatformIsRelativePath(path)) {
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd) == nullptr) {
            return false;
        }
        const size_t cwdLength = strlen(cwd);
        full = std::string(cwd) + (cwdLength > 0 && cwd[cwdLength - 1] == '/' ? "" : "/") + path;
    }
    *qualified = full;
    return true;
}

// Code page 932: 0x81-0x9F and 0xE0-0xFC lead a two-byte character.
namespace {

// One conversion through the C library's table, the text whole; false at the first byte or
// character it cannot convert.
template <typename From, typename To>
bool IconvWhole(const char* from, const char* to, const From* text, size_t size, std::basic_string<To>* out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    std::string bytes(size * 4 + 4, '\0');
    char* in = const_cast<char*>(reinterpret_cast<const char*>(text));
    size_t inLeft = size * sizeof(From);
    char* outPtr = bytes.data();
    size_t outLeft = bytes.size();
    const bool ok = iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) && inLeft == 0;
    iconv_close(cd);
    if (ok) {
        const size_t produced = bytes.size() - outLeft;
        out->assign(reinterpret_cast<const To*>(bytes.data()), produced / sizeof(To));
    }
    return ok;
}

}  // namespace

// Bytes that form no character each become U+FFFD, as on Windows.
void PlatformWideFromCp932(const char* text, size_t size, std::u16string* wide) {
    wide->clear();
    if (IconvWhole("CP932", "UTF-16LE", text, size, wide)) {
        return;
    }
    wide->clear();
    for (size_t i = 0; i < size;) {
        const size_t length = Cp932CharLength(text, i, size);
        std::u16string one;
        if (IconvWhole("CP932", "UTF-16LE", text + i, length, &one)) {
            *wide += one;
        } else {
            wide->push_back(u'\uFFFD');
        }
        i += length;
    }
}

bool PlatformCp932FromWide(const char16_t* text, size_t size, std::string* out) {
    out->clear();
    return size == 0 || IconvWhole("UTF-16LE", "CP932", text, size, out);
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
