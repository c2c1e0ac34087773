// The label's gradient box: 17 pixels of margin either side of the measured text, always inside
// the 1024-pixel surface.

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

}  // namespace
