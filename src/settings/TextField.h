#pragma once
// Fixed-size, zero-terminated 8-bit text fields (code page 932).

#include <cstddef>

void CopyTextField(char* field, size_t fieldSize, const char* text);
