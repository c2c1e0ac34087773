// The platform layer on Windows: thin calls into KERNEL32 and SHLWAPI.

#include <windows.h>
#include <shlwapi.h>

#include <ctime>

#include "platform/Platform.h"

// The C run time's clock counts milliseconds of elapsed real time since the process started.
uint32_t PlatformClockMs() { return static_cast<uint32_t>(clock()); }

uint32_t PlatformModuleFileName(char* buffer, uint32_t size) { return GetModuleFileNameA(nullptr, buffer, size); }

uint32_t PlatformReadProfileString(const char* section, const char* key, const char* defaultValue,
                                   char* buffer, uint32_t size, const char* path) {
    return GetPrivateProfileStringA(section, key, defaultValue, buffer, size, path);
}

int PlatformWriteProfileString(const char* section, const char* key, const char* value, const char* path) {
    return WritePrivateProfileStringA(section, key, value, path);
}

bool PlatformIsRelativePath(const char* path) { return PathIsRelativeA(path) != FALSE; }

bool PlatformSetCurrentDirectory(const char* directory) { return SetCurrentDirectoryA(directory) != FALSE; }

bool PlatformQualifyPath(const char* path, char* buffer, uint32_t size) {
    return PathSearchAndQualifyA(path, buffer, size) != FALSE;
}

bool PlatformIsLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }
