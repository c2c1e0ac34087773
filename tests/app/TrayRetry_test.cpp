// The tray icon's retry policy: tries every period while the round is young, across a wrap of the
// millisecond clock, and a new round after success or a new taskbar.

#include <gtest/gtest.h>

#include "app/TrayRetry.h"

namespace {

TEST(TrayRetry, FailedAddsAreTriedAgainForAWhileFromTheFirstFailure) {
    for (const uint32_t start : {1000u, 0xFFFFFFFFu - 5000u}) {
        TrayRetryRound round;
        EXPECT_EQ(AfterTrayAdd(&round, false, start), TrayNext::TryAgain);
        EXPECT_EQ(AfterTrayAdd(&round, false, start + kTrayRetryForMs - 1), TrayNext::TryAgain);
        EXPECT_EQ(AfterTrayAdd(&round, false, start + kTrayRetryForMs), TrayNext::GiveUp);
        EXPECT_FALSE(round.added);
    }
    TrayRetryRound round;
    EXPECT_EQ(AfterTrayAdd(&round, false, 0), TrayNext::TryAgain);
    EXPECT_EQ(AfterTrayAdd(&round, true, kTrayRetryPeriodMs), TrayNext::Added);
    EXPECT_TRUE(round.added);
    // Lost later (a new taskbar that refuses it at first): the next failure starts a new round.
    EXPECT_EQ(AfterTrayAdd(&round, false, 2 * kTrayRetryForMs), TrayNext::TryAgain);
}

}  // namespace
