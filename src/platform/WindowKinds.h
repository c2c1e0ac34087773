#pragma once
// Which windows the program leaves alone: those of a process above its own integrity level, the
// shell's own desktop and taskbar, and the frames of modern (packaged) apps.

#include <cstdint>
#include <string_view>

// Mandatory integrity levels: the RID of a token's mandatory label.
constexpr uint32_t kIntegrityUntrusted = 0x0000;
constexpr uint32_t kIntegrityLow = 0x1000;
constexpr uint32_t kIntegrityMedium = 0x2000;
constexpr uint32_t kIntegrityHigh = 0x3000;
constexpr uint32_t kIntegritySystem = 0x4000;
// A level that could not be read: the process refused to be opened or its token to be queried.
constexpr uint32_t kIntegrityUnreadable = 0xFFFFFFFF;

bool IsAboveIntegrity(uint32_t target, uint32_t own);
bool IsShellWindowClass(std::wstring_view className);
bool IsModernAppFrameClass(std::wstring_view className);
