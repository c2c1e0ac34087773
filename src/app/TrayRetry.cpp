// The retry policy of the tray icon.

#include "app/TrayRetry.h"

// Records one try to add the icon at nowMs (a millisecond clock that may wrap) and says what
// follows: nothing once the icon is there, another try after kTrayRetryPeriodMs while the first
// failure of the round is less than kTrayRetryForMs ago, else no more tries in this round.
TrayNext AfterTrayAdd(TrayRetryRound* round, bool added, uint32_t nowMs) {
    if (added) {
        *round = TrayRetryRound{true, false, 0};
        return TrayNext::Added;
    }
    round->added = false;
    if (!round->failing) {
        round->failing = true;
        round->firstFailureMs = nowMs;
    }
    return nowMs - round->firstFailureMs < kTrayRetryForMs ? TrayNext::TryAgain : TrayNext::GiveUp;
}
