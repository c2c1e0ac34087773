#pragma once
// The system-wide low-level mouse hook that feeds the event table, and its watchdog.

#include <cstdint>

// How often the watchdog looks whether the hook still sees the pointer move.
constexpr uint32_t kHookWatchdogPeriodMs = 1000;

int32_t InstallMouseHook();
void RemoveMouseHook();
int32_t CheckMouseHook();
uint16_t HeldButtonsNow();
