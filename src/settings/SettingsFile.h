#pragma once
// Access to "setting.ini" beside the executable: its path, one unsigned number per key, and the
// anchoring of relative paths at the executable's directory.

#include <cstddef>
#include <cstdint>

constexpr int kMaxPath = 260;          // bytes of a path buffer, terminator included
constexpr int kSettingTextSize = 128;  // bytes of the text buffer of one number

// A change of the settings file that lands whole or not at all: the writes go to a copy beside
// the file, which takes the file's place in one step once every write has succeeded.
struct SettingsUpdate {
    const char* path;     // the settings file
    char copy[kMaxPath];  // where the writes go
};

// A path's parts as offsets: "C:\\Tools\\app.exe" has its drive up to 2, its directory up to 9 and
// the file name without its extension (what precedes its last dot) up to 12.
struct PathSplit {
    size_t driveEnd;   // 2 after "C:", else 0
    size_t nameStart;  // one past the last separator, else driveEnd
    size_t nameEnd;    // the file name's last dot, else the end
};

// What a thread that must stay responsive does while another update holds the file.
using SettingsWaitStep = void (*)();

[[nodiscard]] bool BeginSettingsUpdate(SettingsUpdate* update, const char* path,
                                       SettingsWaitStep waitStep = nullptr);
bool FinishSettingsUpdate(SettingsUpdate* update, bool written);
int32_t GetSettingsPath(char* path);
[[nodiscard]] bool GetExecutableDirectory(char* directory);
int32_t ReadSettingUInt(const char* section, const char* key, uint32_t* value, const char* path);
int32_t WriteSettingUInt(const char* section, const char* key, const char* path, uint32_t value);
[[nodiscard]] bool WriteSettingText(const char* section, const char* key, const char* path,
                                    const char* value);
[[nodiscard]] bool ParseSettingUInt(const char* text, uint32_t* value);
bool IsProfileBlank(unsigned char c);
int32_t ResolvePath(char* resolved, const char* path);
[[nodiscard]] bool GetPathFolder(char* folder, const char* path);
PathSplit SplitPath(const char* path, size_t length);
