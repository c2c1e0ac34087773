#include "TestSupport.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "settings/MenuItems.h"
#include "settings/Pages.h"
#include "settings/SettingsFile.h"

std::string ExecutableDir() {
    char path[1024] = {};
#ifdef _WIN32
    GetModuleFileNameA(nullptr, path, sizeof path);
#else
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    path[length > 0 ? length : 0] = 0;
#endif
    std::string text = path;
    return text.substr(0, text.find_last_of(kSep) + 1);
}

std::string CurrentDir() {
    char path[1024] = {};
#ifdef _WIN32
    GetCurrentDirectoryA(sizeof path, path);
#else
    if (getcwd(path, sizeof path) == nullptr) {
        return "";
    }
#endif
    return path;
}

std::string UniqueName(const std::string& prefix) {
#ifdef _WIN32
    return prefix + std::to_string(GetCurrentProcessId());
#else
    return prefix + std::to_string(getpid());
#endif
}

bool EnterDir(const std::string& path) {
#ifdef _WIN32
    return SetCurrentDirectoryA(path.c_str()) != FALSE;
#else
    return chdir(path.c_str()) == 0;
#endif
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (f == nullptr) {
        return false;
    }
    const bool written = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && written;
}

std::string ReadFileBytes(const std::string& path) {
    std::string bytes;
    if (FILE* f = fopen(path.c_str(), "rb")) {
        char chunk[4096];
        size_t got;
        while ((got = fread(chunk, 1, sizeof chunk, f)) > 0) {
            bytes.append(chunk, got);
        }
        fclose(f);
    }
    return bytes;
}

bool FileExists(const std::string& path) {
#ifdef _WIN32
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
#else
    struct stat info;
    return stat(path.c_str(), &info) == 0;
#endif
}

bool MakeDir(const std::string& path) {
#ifdef _WIN32
    return CreateDirectoryA(path.c_str(), nullptr) != FALSE || GetLastError() == ERROR_ALREADY_EXISTS;
#else
    return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
#endif
}

void RemoveFile(const std::string& path) {
    remove(path.c_str());
}

void RemoveTree(const std::string& path) {
#ifdef _WIN32
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") {
                continue;
            }
            const std::string child = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
#else
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..") {
                continue;
            }
            const std::string child = path + "/" + name;
            struct stat info;
            if (lstat(child.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
                RemoveTree(child);
            } else {
                unlink(child.c_str());
            }
        }
        closedir(dir);
    }
    rmdir(path.c_str());
#endif
}

TempDir::TempDir() {
#ifdef _WIN32
    char base[MAX_PATH] = {};
    GetTempPathA(sizeof base, base);
    static unsigned counter = 0;
    path = std::string(base) + UniqueName("pivotel-") + "-" + std::to_string(++counter);
    CreateDirectoryA(path.c_str(), nullptr);
#else
    char name[] = "/tmp/pivotel-XXXXXX";
    path = mkdtemp(name) != nullptr ? name : "";
#endif
}

TempDir::~TempDir() {
    if (!path.empty()) {
#ifndef _WIN32
        chmod(path.c_str(), 0755);  // a test may have taken away the right to remove its files
#endif
        RemoveTree(path);
    }
}

namespace {

void PutLe(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

}  // namespace

bool WriteIconFile(const std::string& path) {
    const int size = 16;
    const uint32_t pixels = size * size * 4;
    const uint32_t mask = size * 4;  // 1 bit per pixel, rows padded to 32 bits
    const uint32_t image = 40 + pixels + mask;
    std::string ico;
    PutLe(ico, 0, 2);  // reserved
    PutLe(ico, 1, 2);  // type: icon
    PutLe(ico, 1, 2);  // one image
    ico += static_cast<char>(size);
    ico += static_cast<char>(size);
    PutLe(ico, 0, 2);   // no palette, reserved
    PutLe(ico, 1, 2);   // planes
    PutLe(ico, 32, 2);  // bits per pixel
    PutLe(ico, image, 4);
    PutLe(ico, 22, 4);  // offset of the image
    PutLe(ico, 40, 4);  // BITMAPINFOHEADER
    PutLe(ico, size, 4);
    PutLe(ico, size * 2, 4);  // colour and mask stacked
    PutLe(ico, 1, 2);
    PutLe(ico, 32, 2);
    PutLe(ico, 0, 4);  // uncompressed
    PutLe(ico, pixels + mask, 4);
    ico.append(16, '\0');  // resolution and colour counts
    for (int p = 0; p < size * size; ++p) {
        PutLe(ico, 0xFF2080C0u, 4);  // opaque blue-ish
    }
    ico.append(mask, '\0');
    return WriteFileBytes(path, ico);
}

std::vector<uint32_t> ItemIds() {
    std::vector<uint32_t> ids;
    TablesLock lock;
    for (const MenuItem* item = itemListHead; item != nullptr; item = item->next) {
        ids.push_back(item->id);
    }
    return ids;
}

void ResetTables() {
    FreeAllItems();
    ClearPages();
    ClearPalette();
}

SettingsFileSession::SettingsFileSession() {
    GetSettingsPath(&path);
#ifndef _WIN32
    int fd = open((ExecutableDir() + "setting.ini.lock").c_str(), O_RDWR | O_CREAT, 0644);
    if (fd >= 0) {
        flock(fd, LOCK_EX);
        lockHandle = fd;
    }
#endif
    RemoveFile(path);
    ResetTables();
}

SettingsFileSession::~SettingsFileSession() {
    ResetTables();
    RemoveFile(path);
#ifndef _WIN32
    if (lockHandle >= 0) {
        close(static_cast<int>(lockHandle));  // releases the lock
    }
#endif
}

TablesImage::TablesImage() {
    memcpy(pages, &pageTable, sizeof pages);
    memcpy(palette, &paletteGrid, sizeof palette);
}

bool TablesImage::Unchanged() const {
    return memcmp(pages, &pageTable, sizeof pages) == 0 && memcmp(palette, &paletteGrid, sizeof palette) == 0;
}
