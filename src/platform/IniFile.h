#pragma once
// A portable INI reader and writer that answers like the Windows profile functions
// GetPrivateProfileStringA and WritePrivateProfileStringA do for single keys (names compared
// without regard to case, blanks around names and values dropped, a matching pair of quotes
// around a value removed, the first of duplicate sections and keys used). Files are 8-bit text
// and are never converted (the text rules are IniText's). The program itself reads and writes whole
// documents (IniText.h); these single-key calls serve the tests that hold the rules against the
// system's profile functions, and the native platform layer shares the whole-file helpers.

#include <cstddef>
#include <cstdint>
#include <string>

// Copies the value of section/key (or defaultValue when the file, the section or the key is
// missing) into buffer, cut to size - 1 bytes and zero-terminated. Returns the bytes copied.
uint32_t IniReadString(const char* section, const char* key, const char* defaultValue, char* buffer,
                       uint32_t size, const char* path);

// Sets section/key to value, creating the file, the section or the key as needed. Returns
// nonzero on success and 0 when the file cannot be written.
int IniWriteString(const char* section, const char* key, const char* value, const char* path);

// File helpers that the host's platform layer shares: a whole read of a descriptor to its end and
// a whole write to one (false when any of it fails) and, off Windows, flushing the folder of a
// path after a rename in it.
bool ReadAll(int fd, std::string* content);
bool WriteAll(int fd, const char* data, size_t size);
#ifndef _WIN32
void SyncFolderOf(const char* path);
#endif
