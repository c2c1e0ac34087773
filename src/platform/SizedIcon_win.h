#pragma once
// Icons taken from their files at the size a scaled window draws them, so that they are only ever
// reduced, never enlarged from a smaller image.

#include <windows.h>

#include <cstdint>

HICON LoadIconFileAtSize(const char* resolvedPath, int32_t pixels);
