#include "settings/SettingsFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Platform.h"

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
        end += PlatformIsLeadByte(p[end]) && p[end + 1] != 0 ? 2 : 1;
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
    const size_t drive = length >= 2 && p[1] == ':' && !PlatformIsLeadByte(p[0]) ? 2 : 0;
    PathSplit split{drive, drive, length};
    for (size_t i = drive; i < length; ++i) {
        if (PlatformIsLeadByte(p[i]) && i + 1 < length) {
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

// Blanks as the profile functions trim them from both ends of a name or a value.
bool IsProfileBlank(unsigned char c) {
    return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0x1A;
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

// Full path of "setting.ini" in the executable's directory, into a kMaxPath buffer.
int32_t GetSettingsPath(char* path) {
    if (path == nullptr) {
        return -1;
    }
    char directory[kMaxPath];
    if (!GetExecutableDirectory(directory)) {
        return -1;
    }
    const size_t length = strlen(directory);
    static const char kName[] = "setting.ini";
    if (length + sizeof kName > kMaxPath) {
        return -1;
    }
    memcpy(path, directory, length);
    memcpy(path + length, kName, sizeof kName);
    return 0;
}

// The executable's drive and directory, ending in its separator, into a kMaxPath buffer.
bool GetExecutableDirectory(char* directory) {
    char module[kMaxPath + 1] = {};
    return directory != nullptr && PlatformModuleFileName(module, sizeof module) != 0 &&
           GetPathFolder(directory, module);
}

namespace {

// One update of the settings file at a time: two updates that overlap would each replace the file
// with a copy that lacks the other's writes.
PlatformLock* UpdateLock() {
    static PlatformLock* lock = PlatformCreateLock();
    return lock;
}

// The copy's path: the file's, with the extension after the name's last dot made "tmp" (or ".tmp"
// added to a name without one), so that it lies in the same folder. False when it would not fit
// in a path buffer or would name the file itself.
bool UpdateCopyPath(char* copy, const char* path) {
    char folder[kMaxPath];
    if (!GetPathFolder(folder, path)) {
        return false;
    }
    const size_t folderLength = strlen(folder);
    const char* dot = strrchr(path + folderLength, '.');  // a dot is never a trail byte
    const size_t stem = dot != nullptr ? static_cast<size_t>(dot - path) : strlen(path);
    if (stem + sizeof ".tmp" > kMaxPath) {
        return false;
    }
    memcpy(copy, path, stem);
    memcpy(copy + stem, ".tmp", sizeof ".tmp");
    return strcmp(copy, path) != 0;
}

}  // namespace

// Starts an update of the file at path: takes the update lock (calling waitStep between tries when
// given, so the thread stays responsive) and makes a fresh copy, none when there is no file yet.
// On failure nothing is held and nothing is left behind.
bool BeginSettingsUpdate(SettingsUpdate* update, const char* path, SettingsWaitStep waitStep) {
    if (waitStep == nullptr) {
        PlatformAcquireLock(UpdateLock());
    } else {
        while (!PlatformTryAcquireLock(UpdateLock())) {
            waitStep();
        }
    }
    update->path = path;
    if (!UpdateCopyPath(update->copy, path)) {
        PlatformReleaseLock(UpdateLock());
        return false;
    }
    if (PlatformRemoveFile(update->copy) &&
        (!PlatformFileExists(path) || PlatformCopyFile(path, update->copy))) {
        return true;
    }
    PlatformRemoveFile(update->copy);
    PlatformReleaseLock(UpdateLock());
    return false;
}

// Ends an update: when every write succeeded the copy replaces the file, else it is removed and
// the file stays exactly as it was. True when the file was replaced.
bool FinishSettingsUpdate(SettingsUpdate* update, bool written) {
    const bool replaced = written && PlatformReplaceFile(update->copy, update->path);
    if (!replaced) {
        PlatformRemoveFile(update->copy);
    }
    PlatformReleaseLock(UpdateLock());
    return replaced;
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

// Reads section/key of the settings file as an unsigned 32-bit number. A missing or empty key,
// or text that is not entirely one number, fails (-1) and leaves *value alone.
int32_t ReadSettingUInt(const char* section, const char* key, uint32_t* value, const char* path) {
    char text[kSettingTextSize] = {};
    if (PlatformReadProfileString(section, key, "", text, sizeof text, path) == 0) {
        return -1;
    }
    return ParseSettingUInt(text, value) ? 0 : -1;
}

// Writes section/key as plain decimal; -1 when the profile function could not write it.
int32_t WriteSettingUInt(const char* section, const char* key, const char* path, uint32_t value) {
    char text[kSettingTextSize];
    snprintf(text, sizeof text, "%u", static_cast<unsigned>(value));
    return PlatformWriteProfileString(section, key, text, path) != 0 ? 0 : -1;
}

// Writes section/key so that it reads back exactly as given: a value the read would trim or
// unquote goes inside one more pair of double quotes, which the read takes off again.
bool WriteSettingText(const char* section, const char* key, const char* path, const char* value) {
    char quoted[kMaxPath + 2];
    if (ReadChangesText(value)) {
        const size_t length = strlen(value);
        if (length + 3 > sizeof quoted) {
            return false;
        }
        quoted[0] = '"';
        memcpy(quoted + 1, value, length);
        quoted[length + 1] = '"';
        quoted[length + 2] = 0;
        value = quoted;
    }
    return PlatformWriteProfileString(section, key, value, path);
}

// Absolute paths come back unchanged. A relative path is anchored at the executable's directory,
// which becomes the process's current directory for good (every caller sets the same one).
int32_t ResolvePath(char* resolved, const char* path) {
    if (resolved == nullptr || path == nullptr) {
        return -1;
    }
    if (!PlatformIsRelativePath(path)) {
        memset(resolved, 0, kMaxPath);
        strncpy(resolved, path, kMaxPath - 1);
        return 0;
    }
    char directory[kMaxPath];
    if (!GetExecutableDirectory(directory)) {
        return -1;
    }
    PlatformSetCurrentDirectory(directory);
    return PlatformQualifyPath(path, resolved, kMaxPath) ? 0 : -1;
}
