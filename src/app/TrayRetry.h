#pragma once
// When the tray icon is tried again: at logon the notification area may not be ready to take it.

#include <cstdint>

constexpr uint32_t kTrayRetryPeriodMs = 2000;
constexpr uint32_t kTrayRetryForMs = 5 * 60 * 1000;  // the longest logon seen to keep it away

enum class TrayNext : uint8_t { Added, TryAgain, GiveUp };

// One round of tries: it starts when the program starts and again when the shell has a new taskbar.
struct TrayRetryRound {
    bool added = false;
    bool failing = false;
    uint32_t firstFailureMs = 0;
};

TrayNext AfterTrayAdd(TrayRetryRound* round, bool added, uint32_t nowMs);
