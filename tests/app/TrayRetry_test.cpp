// The tray icon's retry policy, across a wrap of the millisecond clock and after a success.

#include <gtest/gtest.h>

#include "app/TrayRetry.h"

namespace {

TEST(TrayRetry, FailedAddsAreTriedAgainForAWhileFromTheFirstFailure) {
    for (const uint32_t start : {1000u, 0xFFFFFFFFu - 5000u}) {
        TrayRetryRound round;
        EXPECT_EQ(AfterTrayAdd(&round, false, start), TrayNext::TryAgain);
        EXPECT_EQ(AfterTrayAdd(&round, false, start + kTrayRetryForMs - 1), TrayNext::TryAgain);
        EXPECT_EQ(AfterTrayAdd(&round, false, start + kTrayRetryForMs), TrayNext::GiveUp);
        EXPECT_EQ(AfterTrayAdd(&round, true, start + kTrayRetryForMs + 1), TrayNext::Added);
        // Lost later (a new taskbar that refuses it at first): a new round of tries.
        EXPECT_EQ(AfterTrayAdd(&round, false, start + 3 * kTrayRetryForMs), TrayNext::TryAgain);
    }
}

}  // namespace
