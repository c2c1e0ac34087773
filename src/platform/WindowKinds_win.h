#pragma once
// What the system tells about a window that decides whether the program may act on it.

#include <windows.h>

#include <cstdint>

uint32_t ProcessIntegrity(DWORD processId);
uint32_t OwnIntegrity();
bool IsAboveOwnIntegrity(HWND window);
bool IsShellWindow(HWND window);
bool IsModernAppFrame(HWND window);
