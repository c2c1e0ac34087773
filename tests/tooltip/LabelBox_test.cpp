// The label's gradient box: 17 pixels of margin either side of the measured text, always inside
// the 1024-pixel surface, all of it scaled on a scaled display.

#include <gtest/gtest.h>

#include "tooltip/LabelWindow.h"

namespace {

void ExpectBox(const Rect& box, int32_t right) {
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(box.right, right);
    EXPECT_EQ(box.bottom, 26);
}

TEST(LabelBoxTest, AddsTheMarginsToTheMeasuredWidth) {
    ExpectBox(LabelBoxForTextWidth(0), 34);
    ExpectBox(LabelBoxForTextWidth(1), 35);
    ExpectBox(LabelBoxForTextWidth(517), 551);
}

TEST(LabelBoxTest, FailedMeasurementGivesTheEmptyBox) {
    ExpectBox(LabelBoxForTextWidth(-1), 34);
    ExpectBox(LabelBoxForTextWidth(INT32_MIN), 34);
}

TEST(LabelBoxTest, NeverReachesPastTheSurface) {
    ExpectBox(LabelBoxForTextWidth(989), 1023);
    ExpectBox(LabelBoxForTextWidth(990), 1024);
    ExpectBox(LabelBoxForTextWidth(998), 1024);
    ExpectBox(LabelBoxForTextWidth(INT32_MAX), 1024);
}

// At 150 % the margins, the box's height, the surface and the distance below the cursor grow alike.
TEST(LabelBoxTest, ScaledWithTheDisplay) {
    const LabelMetrics label = LabelMetricsForDpi(144);
    EXPECT_EQ(label.cursorOffsetY, 30);
    const Rect box = LabelBoxForTextWidth(517, label);
    EXPECT_EQ(box.right - box.left, 517 + 2 * 25);
    EXPECT_EQ(box.bottom - box.top, 39);
    EXPECT_EQ(LabelBoxForTextWidth(INT32_MAX, label).right, 1536);
}

}  // namespace
