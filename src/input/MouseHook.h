#pragma once
// The system-wide low-level mouse hook that feeds the event table.

#include <cstdint>

int32_t InstallMouseHook();
void RemoveMouseHook();
