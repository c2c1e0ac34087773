#pragma once
// Loading items, pages and palette from "setting.ini" at start-up and writing them back.

#include <cstdint>

int32_t LoadSettings();
int32_t SaveSettings();
