#include "settings/SettingsFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/CodePage.h"
#include "platform/Platform.h"
#include "settings/TextField.h"

namespace {

constexpr size_t kMaxDir = 256;  // directory with its trailing separator and the terminator

// Whether the profile functions would read text back otherwise than written: a blank at either
// end, or like quotes around it. The last character is found by walking, since a lead byte takes
// a quote or a blank after it as its partner.
bool ReadChangesText(const char* text) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    size_t last = 0;
    size_t end = 0;
    while (p[end] != 0) {
        last = end;
        end += IsCp932LeadByte(p[end]) && p[end + 1] != 0 ? 2 : 1;
    }
    if (end == 0) {
        return false;
    }
    const bool lastIsSingle = end - last == 1;
    if (IsProfileBlank(p[0]) || (lastIsSingle && IsProfileBlank(p[last]))) {
        return true;
    }
    return (p[0] == '"' || p[0] == '\'') && last > 0 && lastIsSingle && p[last] == p[0];
}

}  // namespace

// Where the parts of the first length bytes of a path end. The second byte of a two-byte
// character is never taken for a separator or a dot.
PathSplit SplitPath(const char* path, size_t length) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(path);
    const size_t drive = length >= 2 && p[1] == ':' && !IsCp932LeadByte(p[0]) ? 2 : 0;
    PathSplit split{drive, drive, length};
    for (size_t i = drive; i < length; ++i) {
        if (IsCp932LeadByte(p[i]) && i + 1 < length) {
            ++i;
        } else if (p[i] == '\\' || p[i] == '/') {
            split.nameStart = i + 1;
            split.nameEnd = length;
        } else if (p[i] == '.') {
            split.nameEnd = i;
        }
    }
    return split;
}

// The drive and directory of a path, everything up to and including its last separator (D:\ for
// D:\run.exe), into a kMaxPath buffer; just the drive when there is no separator, empty when
// there is neither. A backslash that is the second byte of a two-byte character is no separator.
bool GetPathFolder(char* folder, const char* path) {
    if (folder == nullptr || path == nullptr) {
        return false;
    }
    const PathSplit split = SplitPath(path, strlen(path));
    if (split.nameStart - split.driveEnd + 1 > kMaxDir || split.nameStart >= kMaxPath) {
        return false;  // longer than a directory buffer would be
    }
    memcpy(folder, path, split.nameStart);
    folder[split.nameStart] = 0;
    return true;
}

// Full path of "setting.ini" in the executable's directory.
int32_t GetSettingsPath(std::string* path) {
    std::string directory;
    if (path == nullptr || !GetExecutableDirectory(&directory)) {
        return -1;
    }
    *path = directory + "setting.ini";
    return 0;
}

// The executable's drive and directory, ending in its separator, asked of the system once: every
// relative item path is resolved against it. The path is UTF-8, in which a separator is never part
// of another character.
bool GetExecutableDirectory(std::string* directory) {
    static const std::string known = [] {
        std::string module;
        const size_t separator =
            PlatformModuleFileName(&module) ? module.find_last_of("\\/") : std::string::npos;
        return separator != std::string::npos ? module.substr(0, separator + 1) : std::string();
    }();
    if (directory == nullptr || known.empty()) {
        return false;
    }
    *directory = known;
    return true;
}

// How long to wait before trying a file that another program holds once more: 10 ms, doubled at
// each try up to 200 ms, so a scanner's short look costs little and a longer hold is not polled
// hard; never past the budget, and 0 (give up) once it is spent.
uint32_t BusyRetryDelayMs(uint32_t attempt, uint32_t elapsedMs, uint32_t budgetMs) {
    if (elapsedMs >= budgetMs) {
        return 0;
    }
    const uint32_t delay = attempt >= 5 ? 200 : 10u << attempt;
    return delay < budgetMs - elapsedMs ? delay : budgetMs - elapsedMs;
}

namespace {

// One update of the settings file at a time: two updates that overlap would each replace the file
// with a text that lacks the other's writes.
PlatformLock* UpdateLock() {
    static PlatformLock* lock = PlatformCreateLock();
    return lock;
}

// The copy's path: the file's, with the extension after the name's last dot made "tmp" (or ".tmp"
// added to a name without one), so that it lies in the same folder.
std::string UpdateCopyPath(const std::string& path) {
    const size_t nameStart = path.find_last_of("\\/") + 1;  // 0 without a separator
    const size_t dot = path.rfind('.');
    const size_t stem = dot != std::string::npos && dot >= nameStart ? dot : path.size();
    return path.substr(0, stem) + ".tmp";
}

bool IsBusy(FileRead read) {
    return read == FileRead::Busy;
}
bool IsBusy(FileStep step) {
    return step == FileStep::Busy;
}

// Runs step until it answers other than busy or the budget, counted from startMs, is spent.
template <typename Step>
auto RetryWhileBusy(uint32_t startMs, uint32_t budgetMs, Step step) {
    for (uint32_t attempt = 0;; ++attempt) {
        const auto result = step();
        const uint32_t delay =
            IsBusy(result) ? BusyRetryDelayMs(attempt, PlatformClockMs() - startMs, budgetMs) : 0;
        if (delay == 0) {
            return result;
        }
        PlatformSleepMs(delay);
    }
}

FileRead ReadSettingsText(const std::string& path, IniDocument* settings, uint32_t startMs,
                          uint32_t retryMs) {
    std::string content;
    FileRead read =
        RetryWhileBusy(startMs, retryMs, [&] { return PlatformReadFile(path.c_str(), &content); });
    if (read == FileRead::Busy) {
        read = FileRead::Failed;  // still held: as unreadable as a file without rights
    }
    *settings = read == FileRead::Read ? IniParse(content) : IniDocument{};
    return read;
}

}  // namespace

// Reads the whole file into settings, trying for up to retryMs while another program holds it: an
// empty document when it is missing, and also when it cannot be read (Failed; the caller decides
// what that means).
FileRead ReadSettingsFile(const std::string& path, IniDocument* settings, uint32_t retryMs) {
    return ReadSettingsText(path, settings, PlatformClockMs(), retryMs);
}

// Reads a file that was there but could not be read before. Missing, it may be in the middle of
// another program's delete-and-rename, so it is looked for again for a moment; only a file still
// missing then counts as removed (Missing).
FileRead ReadSettingsFileAgain(const std::string& path, IniDocument* settings) {
    constexpr uint32_t kLookMs = 50;
    FileRead read = ReadSettingsFile(path, settings);
    for (uint32_t waited = 0; read == FileRead::Missing && waited < kReplaceSettleMs; waited += kLookMs) {
        PlatformSleepMs(kLookMs);
        read = ReadSettingsFile(path, settings);
    }
    return read;
}

// Applies edit to the file's text as it is on disk now, under the update lock, and puts the result
// in the file's place in one step through a flushed copy beside it. Each step is tried again while
// another program holds the file, for kSaveRetryMs in all. A file that cannot be read, an edit
// that fails or a step that fails leaves the file exactly as it was and no copy behind.
bool UpdateSettingsFile(const std::string& path, const SettingsEdit& edit) {
    PlatformAcquireLock(UpdateLock());
    const uint32_t startMs = PlatformClockMs();
    const std::string copy = UpdateCopyPath(path);
    IniDocument settings;
    bool updated = copy != path &&
                   ReadSettingsText(path, &settings, startMs, kSaveRetryMs) != FileRead::Failed &&
                   !settings.utf16;
    try {
        updated = updated && edit(&settings);
        if (updated) {
            const std::string text = IniSerialize(settings);
            updated =
                RetryWhileBusy(startMs, kSaveRetryMs,
                               [&] { return PlatformWriteFile(copy.c_str(), text); }) == FileStep::Done &&
                RetryWhileBusy(startMs, kSaveRetryMs, [&] {
                    return PlatformReplaceFile(copy.c_str(), path.c_str());
                }) == FileStep::Done;
        }
    } catch (...) {
        updated = false;  // out of memory: the file stays as it was
    }
    if (!updated && copy != path) {
        PlatformRemoveFile(copy.c_str());
    }
    PlatformReleaseLock(UpdateLock());
    return updated;
}

// Strict conversion of a whole text: decimal, 0x-hexadecimal or leading-0 octal, leading blanks
// and one sign allowed (a minus negates modulo 2^32), no trailing characters, no overflow.
// The destination is written only on success.
bool ParseSettingUInt(const char* text, uint32_t* value) {
    if (text == nullptr || value == nullptr || text[0] == 0) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    unsigned long converted = strtoul(text, &end, 0);
    if (end == text || *end != 0 || errno != 0) {
        return false;
    }
    // Where unsigned long is 64 bits wide, strtoul accepts what does not fit in 32 bits; refuse
    // it the way a 32-bit strtoul would (a negated value counts by its magnitude).
    if (sizeof(unsigned long) > sizeof(uint32_t)) {
        const bool negated = strchr(text, '-') != nullptr;
        const unsigned long magnitude = negated ? 0UL - converted : converted;
        if (magnitude > 0xFFFFFFFFUL) {
            return false;
        }
    }
    *value = static_cast<uint32_t>(converted);
    return true;
}

// Reads section/key as an unsigned 32-bit number. A missing or empty key, or text that is not
// entirely one number, fails (-1) and leaves *value alone.
int32_t ReadSettingUInt(const IniDocument& settings, const char* section, const char* key, uint32_t* value) {
    char text[kSettingTextSize] = {};
    if (IniGetString(settings, section, key, "", text, sizeof text) == 0) {
        return -1;
    }
    return ParseSettingUInt(text, value) ? 0 : -1;
}

// Reads a text value into a field of size bytes, never half a character, not even one the file
// holds at its end; its length, 0 when missing. Two bytes more are read, so that a value written inside
// quotes comes back whole.
uint32_t ReadSettingText(const IniDocument& settings, const char* section, const char* key, char* buffer,
                         uint32_t size) {
    char text[kMaxPath + 2] = {};
    const uint32_t readSize = size + 2 <= sizeof text ? size + 2 : sizeof text;
    if (IniGetString(settings, section, key, "", text, readSize) == 0) {
        buffer[0] = 0;
        return 0;
    }
    text[readSize - 1] = 0;
    CopyTextField(buffer, size, text);
    // A lead byte with nothing after it is half a character, and written back it would take the
    // line's end for its other half.
    size_t last = 0;
    size_t end = 0;
    while (buffer[end] != 0) {
        last = end;
        end += Cp932CharLength(buffer, end, size);
    }
    if (end > 0 && IsCp932LeadByte(static_cast<unsigned char>(buffer[last])) && end - last == 1) {
        buffer[last] = 0;
    }
    return static_cast<uint32_t>(strlen(buffer));
}

// Sets section/key to plain decimal.
int32_t WriteSettingUInt(IniDocument* settings, const char* section, const char* key, uint32_t value) {
    char text[kSettingTextSize];
    snprintf(text, sizeof text, "%u", static_cast<unsigned>(value));
    return IniSetString(settings, section, key, text) ? 0 : -1;
}

// Sets section/key so that it reads back exactly as given: a value the read would trim or
// unquote goes inside one more pair of double quotes, which the read takes off again.
bool WriteSettingText(IniDocument* settings, const char* section, const char* key, const char* value) {
    if (ReadChangesText(value)) {
        return IniSetString(settings, section, key, ("\"" + std::string(value) + "\"").c_str());
    }
    return IniSetString(settings, section, key, value);
}

// Absolute paths come back unchanged, as UTF-8. A relative path is anchored at the executable's
// directory, which becomes the process's current directory for good (every caller sets the same
// one).
int32_t ResolvePath(std::string* resolved, const char* path) {
    if (resolved == nullptr || path == nullptr) {
        return -1;
    }
    const std::string systemPath = Utf8FromCp932(path);
    if (!PlatformIsRelativePath(systemPath.c_str())) {
        *resolved = systemPath;
        return 0;
    }
    std::string directory;
    if (!GetExecutableDirectory(&directory)) {
        return -1;
    }
    PlatformSetCurrentDirectory(directory.c_str());
    return PlatformQualifyPath(systemPath.c_str(), resolved) ? 0 : -1;
}
