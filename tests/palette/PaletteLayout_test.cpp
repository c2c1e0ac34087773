// The editor's layout: every element a press or the drawing uses, at its edges.

#include <gtest/gtest.h>

#include "palette/PaletteLayout.h"

namespace {

TEST(PaletteLayout, TabsSpanThirtyThreePixelsFromXTwoAndTakePressesBetweenY5And24) {
    EXPECT_EQ(PageTabAt(2, 5), 0);
    EXPECT_EQ(PageTabAt(34, 24), 0);
    EXPECT_EQ(PageTabAt(35, 10), 1);
    EXPECT_EQ(PageTabAt(265, 10), 7);
    EXPECT_EQ(PageTabAt(233, 10), 7);
    EXPECT_EQ(PageTabAt(232, 10), 6);
    EXPECT_EQ(PageTabAt(266, 10), -1);  // the last tab ends at x 266
    EXPECT_EQ(PageTabAt(1, 10), -1);
    EXPECT_EQ(PageTabAt(10, 4), -1);
    EXPECT_EQ(PageTabAt(10, 25), -1);
    EXPECT_EQ(TabJointOrigin(0).x, 2);
    EXPECT_EQ(TabJointOrigin(0).y, 20);
    EXPECT_EQ(TabJointOrigin(7).x, 233);
}

TEST(PaletteLayout, SlotBoxesAreFortyPixelSquaresAroundTheRingOffsets) {
    const struct {
        int32_t left, top;
    } expected[8] = {{115, 46},  {178, 73}, {205, 136}, {178, 199},
                     {115, 226}, {52, 199}, {25, 136},  {52, 73}};
    for (int32_t i = 0; i < 8; ++i) {
        const Rect box = SlotBox(i);
        EXPECT_EQ(box.left, expected[i].left) << "slot " << i;
        EXPECT_EQ(box.top, expected[i].top) << "slot " << i;
        EXPECT_EQ(box.right - box.left, 40);
        EXPECT_EQ(box.bottom - box.top, 40);
        EXPECT_EQ(SlotAt(box.left, box.top), i);
        EXPECT_EQ(SlotAt(box.right - 1, box.bottom - 1), i);
        EXPECT_EQ(SlotAt(box.right, box.bottom - 1), -1) << "slot " << i;
        EXPECT_EQ(SlotAt(box.left, box.top - 1), -1) << "slot " << i;
    }
    // Slot 0's icon at rest and hovered.
    EXPECT_EQ(SlotIconCorner(0, false).x, 119);
    EXPECT_EQ(SlotIconCorner(0, false).y, 50);
    EXPECT_EQ(SlotIconCorner(0, true).x, 121);
    EXPECT_EQ(SlotIconCorner(0, true).y, 52);
    EXPECT_EQ(SlotIconCorner(5, false).x, 56);
    EXPECT_EQ(SlotIconCorner(5, false).y, 203);
    EXPECT_EQ(SlotAt(135, 156), -1);  // the ring's centre is in no slot
}

TEST(PaletteLayout, CellsTileFromX273Y6InFortyPixelSteps) {
    int32_t row = -1;
    int32_t column = -1;
    ASSERT_TRUE(CellAt(273, 6, &row, &column));
    EXPECT_EQ(row, 0);
    EXPECT_EQ(column, 0);
    ASSERT_TRUE(CellAt(312, 45, &row, &column));
    EXPECT_EQ(row, 0);
    EXPECT_EQ(column, 0);
    ASSERT_TRUE(CellAt(313, 46, &row, &column));
    EXPECT_EQ(row, 1);
    EXPECT_EQ(column, 1);
    ASSERT_TRUE(CellAt(592, 285, &row, &column));
    EXPECT_EQ(row, 6);
    EXPECT_EQ(column, 7);
    EXPECT_FALSE(CellAt(272, 100, &row, &column));
    EXPECT_FALSE(CellAt(593, 100, &row, &column));  // the scroll bar
    EXPECT_FALSE(CellAt(300, 5, &row, &column));
    EXPECT_FALSE(CellAt(300, 286, &row, &column));

    EXPECT_EQ(CellIconCorner(0, 0, false).x, 277);
    EXPECT_EQ(CellIconCorner(0, 0, false).y, 10);
    EXPECT_EQ(CellIconCorner(6, 7, true).x, 279 + 280);
    EXPECT_EQ(CellIconCorner(6, 7, true).y, 12 + 240);

    EXPECT_EQ(GridRowOfVisibleRow(0, 0), 0);
    EXPECT_EQ(GridRowOfVisibleRow(22, 6), 28);
    EXPECT_EQ(GridRowOfVisibleRow(23, 6), 29);
    EXPECT_EQ(GridRowOfVisibleRow(24, 6), -1);
}

TEST(PaletteLayout, ThumbTopForEveryScrollRow) {
    const int32_t expected[23] = {20,  30,  41,  52,  63,  74,  85,  96,  107, 118, 129, 140,
                                  150, 161, 172, 183, 194, 205, 216, 227, 238, 249, 260};
    for (int32_t row = 0; row <= kPaletteMaxScrollRow; ++row) {
        EXPECT_EQ(ThumbTop(row), expected[row]) << "row " << row;
        EXPECT_TRUE(InThumb(600, expected[row], row));
        EXPECT_TRUE(InThumb(600, expected[row] + 11, row));
        EXPECT_FALSE(InThumb(600, expected[row] + 12, row));
        EXPECT_FALSE(InThumb(600, expected[row] - 1, row));
    }
}

TEST(PaletteLayout, ArrowZonesAndTheThumbWinningWhereItOverlapsTheUpArrow) {
    EXPECT_TRUE(InUpArrow(593, 7));
    EXPECT_TRUE(InUpArrow(609, 21));
    EXPECT_FALSE(InUpArrow(592, 10));
    EXPECT_FALSE(InUpArrow(610, 10));
    EXPECT_FALSE(InUpArrow(600, 6));
    EXPECT_FALSE(InUpArrow(600, 22));
    EXPECT_TRUE(InDownArrow(593, 274));
    EXPECT_TRUE(InDownArrow(609, 287));
    EXPECT_FALSE(InDownArrow(600, 273));
    EXPECT_FALSE(InDownArrow(600, 288));
    EXPECT_TRUE(InDownArrowPressedArea(600, 273));
    EXPECT_FALSE(InDownArrowPressedArea(600, 272));

    EXPECT_EQ(ScrollBarPartAt(600, 20, 0), ScrollThumb);
    EXPECT_EQ(ScrollBarPartAt(600, 21, 0), ScrollThumb);
    EXPECT_EQ(ScrollBarPartAt(600, 19, 0), ScrollUpArrow);
    EXPECT_EQ(ScrollBarPartAt(600, 20, 5), ScrollUpArrow);
    EXPECT_EQ(ScrollBarPartAt(600, 100, 0), ScrollNone);  // the track beside the thumb
    EXPECT_EQ(ScrollBarPartAt(600, 265, 22), ScrollThumb);
    EXPECT_EQ(ScrollBarPartAt(600, 280, 22), ScrollDownArrow);
    EXPECT_EQ(ScrollBarPartAt(600, 273, 0), ScrollNone);
    EXPECT_EQ(ScrollBarPartAt(610, 280, 0), ScrollNone);
}

TEST(PaletteLayout, HeldThumbMapsTheCursorToARowAndClampsOutsideTheTrack) {
    EXPECT_EQ(ScrollRowForCursorY(-500), 0);
    EXPECT_EQ(ScrollRowForCursorY(20), 0);
    EXPECT_EQ(ScrollRowForCursorY(30), 0);    // v = 10: 10 * 23 / 251 = 0.92
    EXPECT_EQ(ScrollRowForCursorY(31), 1);    // v = 11: 1.008
    EXPECT_EQ(ScrollRowForCursorY(270), 22);  // v = 250: 22.9
    EXPECT_EQ(ScrollRowForCursorY(271), 22);
    EXPECT_EQ(ScrollRowForCursorY(5000), 22);
    // Dropping the thumb where it is drawn keeps the row it shows.
    for (int32_t row = 0; row <= kPaletteMaxScrollRow; ++row) {
        EXPECT_EQ(ScrollRowForCursorY(ThumbTop(row) + 1), row) << "row " << row;
    }
}

// Drawn scaled to the window's DPI, every client pixel hits the picture pixel drawn over it, so
// scaled presses land where the picture shows; also left of the window during a captured drag.
TEST(PaletteLayout, ScaledClientPixelsHitThePicturePixelDrawnOverThem) {
    for (const uint32_t dpi : {96u, 120u, 144u, 168u, 192u}) {
        for (int32_t p = -3; p < kPaletteClientWidth; ++p) {
            for (int32_t d = ScaleToDpi(p, dpi); d < ScaleToDpi(p + 1, dpi); ++d) {
                ASSERT_EQ(PictureFromClient(d, dpi), p) << "client pixel " << d << " at " << dpi << " dpi";
            }
        }
    }
    EXPECT_EQ(ScaleToDpi(kPaletteClientHeight, 144), 435);
}

}  // namespace
