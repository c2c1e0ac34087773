#include "settings/SettingsFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Platform.h"

namespace {

constexpr int kMaxDrive = 3;  // "C:" and the terminator
constexpr int kMaxDir = 256;  // directory with its trailing separator and the terminator

// Length of drive + directory of a path: everything up to and including the last backslash or
// slash (a trail byte of a two-byte character is never taken for one), or just the drive ("C:")
// when there is no separator. Fails (-1) when a part is longer than its buffer would be.
int DirectoryPartLength(const char* path) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(path);
    size_t drive = 0;
    if (p[0] != 0 && p[1] == ':' && !PlatformIsLeadByte(p[0])) {
        drive = 2;
    }
    size_t end = drive;  // one past the last separator
    for (size_t i = drive; p[i] != 0; ++i) {
        if (PlatformIsLeadByte(p[i]) && p[i + 1] != 0) {
            ++i;
        } else if (p[i] == '\\' || p[i] == '/') {
            end = i + 1;
        }
    }
    if (drive + 1 > kMaxDrive || end - drive + 1 > kMaxDir) {
        return -1;
    }
    return static_cast<int>(end);
}

// drive + directory of the running executable into a kMaxPath buffer, ending in a separator
// whenever there is a directory. Returns its length, or -1.
int ExecutableDirectory(char* out) {
    char module[kMaxPath + 1] = {};
    if (PlatformModuleFileName(module, sizeof module) == 0 || GetPathFolder(out, module) != 0) {
        return -1;
    }
    return static_cast<int>(strlen(out));
}

}  // namespace

// The drive and directory of a path, everything up to and including its last separator (D:\ for
// D:\run.exe), into a kMaxPath buffer; just the drive when there is no separator, empty when
// there is neither. A backslash that is the second byte of a two-byte character is no separator.
int32_t GetPathFolder(char* folder, const char* path) {
    if (folder == nullptr || path == nullptr) {
        return -1;
    }
    int length = DirectoryPartLength(path);
    if (length < 0 || length >= kMaxPath) {
        return -1;
    }
    memcpy(folder, path, static_cast<size_t>(length));
    folder[length] = 0;
    return 0;
}

// Full path of "setting.ini" in the executable's directory, into a kMaxPath buffer.
int32_t GetSettingsPath(char* path) {
    if (path == nullptr) {
        return -1;
    }
    char directory[kMaxPath];
    int length = ExecutableDirectory(directory);
    if (length < 0) {
        return -1;
    }
    static const char kName[] = "setting.ini";
    if (static_cast<size_t>(length) + sizeof kName > kMaxPath) {
        return -1;
    }
    memcpy(path, directory, static_cast<size_t>(length));
    memcpy(path + length, kName, sizeof kName);
    return 0;
}

// The executable's drive and directory, ending in its separator, into a kMaxPath buffer.
int32_t GetExecutableDirectory(char* directory) {
    if (directory == nullptr) {
        return -1;
    }
    return ExecutableDirectory(directory) < 0 ? -1 : 0;
}

// Strict conversion of a whole text: decimal, 0x-hexadecimal or leading-0 octal, leading blanks
// and one sign allowed (a minus negates modulo 2^32), no trailing characters, no overflow.
// The destination is written only on success.
int32_t ParseSettingUInt(const char* text, uint32_t* value) {
    if (text == nullptr || value == nullptr || text[0] == 0) {
        return -1;
    }
    char* end = nullptr;
    errno = 0;
    unsigned long converted = strtoul(text, &end, 0);
    if (end == text || *end != 0 || errno != 0) {
        return -1;
    }
    // Where unsigned long is 64 bits wide, strtoul accepts what does not fit in 32 bits; refuse
    // it the way a 32-bit strtoul would (a negated value counts by its magnitude).
    if (sizeof(unsigned long) > sizeof(uint32_t)) {
        const bool negated = strchr(text, '-') != nullptr;
        const unsigned long magnitude = negated ? 0UL - converted : converted;
        if (magnitude > 0xFFFFFFFFUL) {
            return -1;
        }
    }
    *value = static_cast<uint32_t>(converted);
    return 0;
}

// Reads section/key of the settings file as an unsigned 32-bit number. A missing or empty key,
// or text that is not entirely one number, fails (-1) and leaves *value alone.
int32_t ReadSettingUInt(const char* section, const char* key, uint32_t* value, const char* path) {
    char text[kSettingTextSize] = {};
    if (PlatformReadProfileString(section, key, "", text, sizeof text, path) == 0) {
        return -1;
    }
    return ParseSettingUInt(text, value);
}

// Writes section/key as plain decimal. The outcome of the write is not looked at.
int32_t WriteSettingUInt(const char* section, const char* key, const char* path, uint32_t value) {
    char text[kSettingTextSize];
    snprintf(text, sizeof text, "%u", static_cast<unsigned>(value));
    PlatformWriteProfileString(section, key, text, path);
    return 0;
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
    if (ExecutableDirectory(directory) < 0) {
        return -1;
    }
    PlatformSetCurrentDirectory(directory);
    return PlatformQualifyPath(path, resolved, kMaxPath) ? 0 : -1;
}
