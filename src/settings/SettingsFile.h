#pragma once
// Access to "setting.ini" beside the executable: its path (UTF-8), reading it whole, updating it in
// one step, numbers and texts of single keys, and the anchoring of relative item paths (code page
// 932) at the executable's directory.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/IniText.h"
#include "platform/Platform.h"

constexpr int kMaxPath = 260;          // bytes of an item path buffer, terminator included
constexpr int kSettingTextSize = 128;  // bytes of the text buffer of one number

// A path's parts as offsets: "C:\\Tools\\app.exe" has its drive up to 2, its directory up to 9 and
// the file name without its extension (what precedes its last dot) up to 12.
struct PathSplit {
    size_t driveEnd;   // 2 after "C:", else 0
    size_t nameStart;  // one past the last separator, else driveEnd
    size_t nameEnd;    // the file name's last dot, else the end
};

// How long a read at start-up, and a save, keep trying a file that another program holds.
constexpr uint32_t kStartReadRetryMs = 3000;
constexpr uint32_t kSaveRetryMs = 1000;
// How long a file that was there before may be missing while another program replaces it.
constexpr uint32_t kReplaceSettleMs = 250;

// The key writes of one update, applied to the file's text as it is on disk at that moment.
using SettingsEdit = std::function<bool(IniDocument* settings)>;

uint32_t BusyRetryDelayMs(uint32_t attempt, uint32_t elapsedMs, uint32_t budgetMs);
FileRead ReadSettingsFile(const std::string& path, IniDocument* settings, uint32_t retryMs = 0);
FileRead ReadSettingsFileAgain(const std::string& path, IniDocument* settings);
[[nodiscard]] bool UpdateSettingsFile(const std::string& path, const SettingsEdit& edit);
int32_t GetSettingsPath(std::string* path);
[[nodiscard]] bool GetExecutableDirectory(std::string* directory);
int32_t ReadSettingUInt(const IniDocument& settings, const char* section, const char* key, uint32_t* value);
uint32_t ReadSettingText(const IniDocument& settings, const char* section, const char* key, char* buffer,
                         uint32_t size);
int32_t WriteSettingUInt(IniDocument* settings, const char* section, const char* key, uint32_t value);
[[nodiscard]] bool WriteSettingText(IniDocument* settings, const char* section, const char* key,
                                    const char* value);
[[nodiscard]] bool ParseSettingUInt(const char* text, uint32_t* value);
int32_t ResolvePath(std::string* resolved, const char* path);
[[nodiscard]] bool GetPathFolder(char* folder, const char* path);
PathSplit SplitPath(const char* path, size_t length);
