#pragma once
// What the tests share, the same calls natively and under Wine: the executable's directory (where
// "setting.ini" and relative icon paths live), files and folders, waiting for a condition, real
// icon files, a lock that keeps test processes sharing that directory apart, and a clean slate for
// the tables. The Windows-only pieces are in TestSupport_win.h.

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "settings/Pages.h"

#ifdef _WIN32
constexpr char kSep = '\\';
#else
constexpr char kSep = '/';
#endif

// The running executable's directory, ending in its separator, asked of the system directly.
std::string ExecutableDir();
std::string CurrentDir();
// A name no other running test process uses: prefix and this process's id.
std::string UniqueName(const std::string& prefix);
bool EnterDir(const std::string& path);

bool WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);
bool MakeDir(const std::string& path);
void RemoveFile(const std::string& path);
// Removes a folder and everything in it (paths made by the tests only).
void RemoveTree(const std::string& path);

// A fresh folder under the system's temporary folder, removed with its content when the holder goes.
struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string File(const std::string& name) const { return path + kSep + name; }
    std::string path;  // without a trailing separator
};

// Looks at done() every 10 ms until it holds (true) or timeoutMs have passed (false). A bound on
// the wait only: a busy machine makes it slower, never wrong.
template <typename Done>
bool WaitUntil(Done done, int32_t timeoutMs = 20000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Writes a real 16 x 16 icon file (.ico with one 32-bit image).
bool WriteIconFile(const std::string& path);

// Empties the item list, the pages and the palette (context cell included).
void ResetTables();
// The ids along the item list, and their number.
std::vector<uint32_t> ItemIds();
inline int32_t CountItems() {
    return static_cast<int32_t>(ItemIds().size());
}

// Byte images of the pages and the palette, to show that a refused call or a gesture that should
// do nothing changed nothing at all.
struct TablesImage {
    TablesImage();
    bool Unchanged() const;
    unsigned char pages[sizeof(PageTable)];
    unsigned char palette[sizeof(PaletteGrid)];
};

// Holds the settings file beside the executable for one test: other test processes that use the
// same directory wait (natively ctest runs test cases in parallel), the file is removed before and
// after, and the tables are emptied before and after.
struct SettingsFileSession {
    SettingsFileSession();
    ~SettingsFileSession();
    SettingsFileSession(const SettingsFileSession&) = delete;
    SettingsFileSession& operator=(const SettingsFileSession&) = delete;
    std::string path;  // the settings path as the program composes it
    intptr_t lockHandle = -1;
};
