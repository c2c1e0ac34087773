// Single-key reads and writes of an INI file, answering as the Windows profile functions do (the
// text rules are IniText.cpp's), for the native build and for the differential test against the
// system's functions. A write goes to a temporary file renamed over the old one, so it never
// leaves a half-written file, and fails in a folder where no file may be created. Only regular
// files are used.

#include "platform/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/CodePage.h"
#include "platform/IniText.h"

namespace {

enum class LoadResult { Loaded, Missing, Failed };

// The file system's calls and flags under their names on each system; Windows takes either
// slash as a separator.
#ifdef _WIN32
using FileStat = struct _stat64;
int (*const StatPath)(const char*, FileStat*) = _stat64;
int (*const StatFile)(int, FileStat*) = _fstat64;
constexpr int kOpenFlags = _O_BINARY;
constexpr char kOtherSeparator = '\\';
#else
using FileStat = struct stat;
int (*const StatPath)(const char*, FileStat*) = stat;
int (*const StatFile)(int, FileStat*) = fstat;
constexpr int kOpenFlags = O_CLOEXEC;
constexpr char kOtherSeparator = '/';
#endif

bool IsSeparator(char c) {
    return c == '/' || c == kOtherSeparator;
}

// Bytes of the path's character at i: on Windows these 8-bit paths are code page 932, whose trail
// bytes may be a backslash; elsewhere UTF-8, whose separators are never part of a character.
size_t PathCharLength(const char* path, size_t i, size_t size) {
#ifdef _WIN32
    return Cp932CharLength(path, i, size);
#else
    (void)path, (void)i, (void)size;
    return 1;
#endif
}

// Whether the directory that path names a file in exists (the current one when there is none).
bool ParentDirectoryExists(const char* path) {
    const size_t size = strlen(path);
    size_t separator = size;
    for (size_t i = 0; i < size; i += PathCharLength(path, i, size)) {
        if (IsSeparator(path[i])) {
            separator = i;
        }
    }
    if (separator == size) {
        return true;
    }
    std::string directory(path, separator);
    if (directory.empty() || directory.back() == ':') {
        directory.push_back(path[separator]);  // the root of the file system or of a drive
    }
    FileStat st;
    return StatPath(directory.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == S_IFDIR;
}

// Reads the whole file. Missing: the file does not exist but its directory does, so a write may
// create it. Failed: anything else, a path that names no regular file included.
LoadResult LoadFile(const char* path, std::string* content, FileStat* st) {
    content->clear();
    int fd = open(path, O_RDONLY | kOpenFlags);
    if (fd < 0) {
        return errno == ENOENT && ParentDirectoryExists(path) ? LoadResult::Missing : LoadResult::Failed;
    }
    const bool regular = StatFile(fd, st) == 0 && (st->st_mode & S_IFMT) == S_IFREG;
    if (regular) {
        content->reserve(static_cast<size_t>(st->st_size));
    }
    const bool read = regular && ReadAll(fd, content);
    close(fd);
    return read ? LoadResult::Loaded : LoadResult::Failed;
}

// A name beside target that no other writer uses: target + ".~<process>-<counter><suffix>".
std::string SideName(const std::string& target, const char* suffix) {
    static std::atomic<unsigned> counter{0};
    char tail[64];
    snprintf(tail, sizeof tail, ".~%d-%u%s", static_cast<int>(getpid()), counter.fetch_add(1), suffix);
    return target + tail;
}

// Puts content in place of the file at path through a flushed file beside it renamed over the
// old one, keeping an existing file's permission bits (and owner, where we may). False, the old
// file as it was and no temporary file left, when any step fails.
bool ReplaceFile(const char* path, const std::string& content, bool existed, const FileStat& old) {
    std::string target = path;
#ifndef _WIN32
    // Write through a symbolic link rather than replacing the link.
    if (existed) {
        if (char* real = realpath(path, nullptr)) {
            target = real;
            free(real);
        }
    }
#endif
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = SideName(target, ".tmp");
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | kOpenFlags, 0666);
        if (fd < 0 && errno != EEXIST) {
            return false;
        }
    }
    if (fd < 0) {
        return false;
    }
    bool ok = WriteAll(fd, content.data(), content.size());
#ifdef _WIN32
    ok = ok && _commit(fd) == 0;
    (void)old;
#else
    if (ok && existed) {
        if (fchown(fd, old.st_uid, old.st_gid) != 0) {
            // Only a privileged writer may hand the file back to its owner; the content is what counts.
        }
        ok = fchmod(fd, old.st_mode & 07777) == 0;
    }
    ok = ok && fsync(fd) == 0;
#endif
    ok = close(fd) == 0 && ok;
    if (!ok) {
        remove(temporary.c_str());
        return false;
    }
#ifdef _WIN32
    // The C run time's rename never replaces a file, so the old one steps aside first and comes
    // back if the new one cannot take its place.
    std::string aside;
    if (existed) {
        aside = SideName(target, ".old");
        if (rename(target.c_str(), aside.c_str()) != 0) {
            remove(temporary.c_str());
            return false;
        }
    }
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        if (existed) {
            rename(aside.c_str(), target.c_str());
        }
        remove(temporary.c_str());
        return false;
    }
    if (existed) {
        remove(aside.c_str());
    }
#else
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    // Make the rename itself durable; a failure here no longer endangers either version.
    SyncFolderOf(target.c_str());
#endif
    return true;
}

// Whether an existing file may be written: a read-only file is refused, as the system does.
bool Writable(const char* path, const FileStat& st) {
#ifdef _WIN32
    (void)st;
    return _access(path, 2) == 0;
#else
    return (st.st_mode & 0222) != 0 && access(path, W_OK) == 0;
#endif
}

std::mutex& FileLock() {
    static std::mutex lock;
    return lock;
}

// A failed read answers the default as it is, quotes and all, less trailing spaces.
uint32_t CopyDefault(const char* defaultValue, char* buffer, uint32_t size) {
    size_t length = strlen(defaultValue);
    while (length > 1 && defaultValue[length - 1] == ' ') {
        --length;
    }
    size_t bytes = 0;
    while (bytes < length) {
        const size_t width = Cp932CharLength(defaultValue, bytes, length);
        if (bytes + width > size - 1) {
            break;
        }
        bytes += width;
    }
    memcpy(buffer, defaultValue, bytes);
    buffer[bytes] = 0;
    return static_cast<uint32_t>(bytes);
}

uint32_t ReadString(const char* section, const char* key, const char* defaultValue, char* buffer,
                    uint32_t size, const char* path) {
    std::string content;
    FileStat st;
    LoadResult loaded;
    {
        std::lock_guard<std::mutex> guard(FileLock());
        loaded = LoadFile(path, &content, &st);
    }
    if (loaded == LoadResult::Failed) {
        return CopyDefault(defaultValue, buffer, size);
    }
    return IniGetString(IniParse(content), section, key, defaultValue, buffer, size);
}

int WriteString(const char* section, const char* key, const char* value, const char* path) {
    std::lock_guard<std::mutex> guard(FileLock());
    std::string content;
    FileStat st;
    LoadResult loaded = LoadFile(path, &content, &st);
    if (loaded == LoadResult::Failed || (loaded == LoadResult::Loaded && !Writable(path, st))) {
        return 0;
    }
    IniDocument document = IniParse(content);
    const std::string before = IniSerialize(document);
    if (!IniSetString(&document, section, key, value)) {
        return 0;  // a UTF-16 file is left alone rather than mixed with 8-bit text
    }
    std::string after = IniSerialize(document);
    if (after == before) {
        return 1;  // nothing changes, so the file is not touched
    }
    return ReplaceFile(path, after, loaded == LoadResult::Loaded, st) ? 1 : 0;
}

}  // namespace

// Appends everything up to the end of the file, going on after interrupted reads.
bool ReadAll(int fd, std::string* content) {
    char chunk[65536];
    for (;;) {
        const auto got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return got == 0;
        }
        content->append(chunk, static_cast<size_t>(got));
    }
}

// Writes all of data, going on after interrupted and partial writes.
bool WriteAll(int fd, const char* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        size_t chunk = size - done;
        if (chunk > (1u << 30)) {
            chunk = 1u << 30;
        }
        auto wrote = write(fd, data + done, static_cast<unsigned>(chunk));
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    return true;
}

#ifndef _WIN32
// Flushes the folder that holds path to the disk, so that a rename in it survives a power cut.
void SyncFolderOf(const char* path) {
    const std::string target = path;
    const std::string directory = target.substr(0, target.find_last_of('/') + 1);
    int dirFd = open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
}
#endif

// Null section, key or path give an empty answer; so does running out of memory.
uint32_t IniReadString(const char* section, const char* key, const char* defaultValue, char* buffer,
                       uint32_t size, const char* path) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    if (section == nullptr || key == nullptr || path == nullptr) {
        buffer[0] = 0;
        return 0;
    }
    try {
        return ReadString(section, key, defaultValue != nullptr ? defaultValue : "", buffer, size, path);
    } catch (...) {
        buffer[0] = 0;
        return 0;
    }
}

// Nonzero also when the key already had that value; 0 leaves the file as it was.
int IniWriteString(const char* section, const char* key, const char* value, const char* path) {
    if (section == nullptr || key == nullptr || value == nullptr || path == nullptr) {
        return 0;
    }
    try {
        return WriteString(section, key, value, path);
    } catch (...) {
        return 0;
    }
}
