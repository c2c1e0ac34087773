#pragma once
// Putting a label's image into labelSurface, copied from one kept since it was last drawn or drawn
// afresh and kept. Called with the label's lock held.

#include <windows.h>

#include <cstdint>

RECT LeftColumns(int32_t width);
int32_t PutLabelImage(const char* text);
void ForgetKeptLabels();
