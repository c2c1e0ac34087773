#pragma once
// A display's scale: a length given in pixels at 96 DPI (100 %) as pixels of a display of another
// DPI. Every scaled window of the program takes its sizes from here.

#include <cstdint>

constexpr uint32_t kBaseDpi = 96;

int32_t ScaleToDpi(int32_t pixels, uint32_t dpi);
int32_t ScaleOffsetToDpi(int32_t pixels, uint32_t dpi);
// The scale of the artwork a display of that DPI draws from: 1 at 100 % or less, else 2, the
// nearest drawn size at or above the display's (reduced to it, never enlarged up to 200 %).
int32_t ArtScaleForDpi(uint32_t dpi);
