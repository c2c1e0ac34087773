// The ring's arithmetic: which slot a client point selects (the band's edges, the sector edges,
// and that the sectors turn with the point), the highlight's turned corners, paging, and the
// search for a page to open with.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "TestSupport.h"
#include "menu/RingGeometry.h"
#include "settings/MenuItems.h"
#include "settings/Pages.h"

namespace {

TEST(HitTestRingTest, BandEdgesSectorEdgesAndAxes) {
    struct Case {
        int32_t x, y, slot;
        const char* what;
    };
    const Case cases[] = {
        {128, 128, -1, "dead centre"},
        {128, 78, 0, "distance 50, the band's inner edge"},
        {128, 79, -1, "distance 49"},
        {128, 8, 0, "distance 120, the band's outer edge"},
        {128, 7, -1, "distance 121"},
        {166, 36, 0, "22.44 degrees"},
        {167, 36, 1, "22.97 degrees"},
        {248, 128, 2, "right"},
        {128, 248, 4, "down"},
        {8, 128, 6, "left"},
        {198, 58, 1, "distance 98 at 45 degrees"},
        {228, 28, -1, "distance 141 up-right"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HitTestRing(c.x, c.y), c.slot) << c.what << " at (" << c.x << ", " << c.y << ")";
    }
    // Distances are truncated: (213, 43) is 120.21 and (43, 214) 120.92 from the centre, both
    // count as 120; (214, 42) is 121.62, out.
    EXPECT_EQ(HitTestRing(213, 43), 1);
    EXPECT_EQ(HitTestRing(43, 214), 5);
    EXPECT_EQ(HitTestRing(214, 42), -1);
}

// On a scaled display every length of the ring is scaled from one set of numbers: the window, the
// band's edges where the hit test puts them, and the icon squares inside their own slots, placed
// symmetrically about the centre.
TEST(HitTestRingTest, ScaledRingsKeepTheirBandIconsAndSymmetry) {
    struct Case {
        uint32_t dpi;
        int32_t size, centre, inner, outer, iconExtent;
    };
    for (const Case& c : {Case{96, 256, 128, 50, 120, 31}, Case{120, 320, 160, 62, 150, 39},
                          Case{144, 384, 192, 75, 180, 46}, Case{192, 512, 256, 100, 240, 62}}) {
        const RingMetrics ring = RingMetricsForDpi(c.dpi);
        EXPECT_EQ(ring.size, c.size) << c.dpi;
        EXPECT_EQ(ring.centre, c.centre) << c.dpi;
        EXPECT_EQ(ring.iconExtent, c.iconExtent) << c.dpi;
        EXPECT_EQ(HitTestRing(c.centre, c.centre - c.inner, ring), 0) << c.dpi;
        EXPECT_EQ(HitTestRing(c.centre, c.centre - c.inner + 1, ring), -1) << c.dpi;
        EXPECT_EQ(HitTestRing(c.centre + c.outer, c.centre, ring), 2) << c.dpi;
        EXPECT_EQ(HitTestRing(c.centre + c.outer + 1, c.centre, ring), -1) << c.dpi;
        for (int32_t slot = 0; slot < 8; ++slot) {
            const SlotOffset& offset = ring.slotOffsets[slot];
            const SlotOffset& opposite = ring.slotOffsets[(slot + 4) % 8];
            EXPECT_EQ(offset.dx, -opposite.dx) << c.dpi << " slot " << slot;
            EXPECT_EQ(offset.dy, -opposite.dy) << c.dpi << " slot " << slot;
            const int32_t x = ring.iconOrigin + offset.dx + ring.iconExtent / 2;
            const int32_t y = ring.iconOrigin + offset.dy + ring.iconExtent / 2;
            EXPECT_EQ(HitTestRing(x, y, ring), slot) << c.dpi << " slot " << slot;
            // The icon square lies whole inside the window.
            EXPECT_GE(std::min(x, y) - ring.iconExtent / 2, 0) << c.dpi << " slot " << slot;
            EXPECT_LE(std::max(x, y) + ring.iconExtent / 2, ring.size) << c.dpi << " slot " << slot;
        }
    }
}

// Each sector's lower edge belongs to it: at the boundaries between slots the slot on the
// clockwise side wins, and slot 0 closes the circle at straight up.
TEST(HitTestRingTest, SectorsMeetWithoutGapsOrOverlapsAllRound) {
    for (int32_t slot = 0; slot < 8; ++slot) {
        // Points just anticlockwise and just clockwise of the boundary at 45 * slot + 22.5 degrees,
        // at distance 100.
        const double edge = (45.0 * slot + 22.5) * 3.14159265358979 / 180.0;
        const double before = edge - 0.02;
        const double after = edge + 0.02;
        const int32_t x0 = static_cast<int32_t>(std::lround(128 + 100 * std::sin(before)));
        const int32_t y0 = static_cast<int32_t>(std::lround(128 - 100 * std::cos(before)));
        const int32_t x1 = static_cast<int32_t>(std::lround(128 + 100 * std::sin(after)));
        const int32_t y1 = static_cast<int32_t>(std::lround(128 - 100 * std::cos(after)));
        EXPECT_EQ(HitTestRing(x0, y0), slot) << "before boundary " << slot;
        EXPECT_EQ(HitTestRing(x1, y1), (slot + 1) % 8) << "after boundary " << slot;
    }
}

// Every whole client point of the window: inside the band a slot, outside none, and the slot
// turns with the point: a quarter turn clockwise about the centre is two slots on.
TEST(HitTestRingTest, EveryPointOfTheWindowTurnsWithItsSlot) {
    for (int32_t y = 0; y < 256; ++y) {
        for (int32_t x = 0; x < 256; ++x) {
            const int32_t dx = x - 128;
            const int32_t dy = y - 128;
            const int32_t r = static_cast<int32_t>(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
            const int32_t slot = HitTestRing(x, y);
            if (r < 50 || r > 120) {
                ASSERT_EQ(slot, -1) << x << ", " << y;
                continue;
            }
            ASSERT_GE(slot, 0) << x << ", " << y;
            // (dx, dy) turned a quarter clockwise on screen (y down) is (-dy, dx).
            ASSERT_EQ(HitTestRing(128 - dy, 128 + dx), (slot + 2) % 8) << x << ", " << y;
            // Mirrored left to right, slot s becomes slot (8 - s) mod 8.
            if (dx != 0) {
                ASSERT_EQ(HitTestRing(128 - dx, y), (8 - slot) % 8) << x << ", " << y;
            }
        }
    }
}

TEST(HighlightCornersTest, UnturnedForSlotZeroAndAQuarterTurnForSlotTwo) {
    RingPointF p[3];
    HighlightCorners(0.0, 256, 256, p);
    EXPECT_FLOAT_EQ(p[0].x, 0.0f);
    EXPECT_FLOAT_EQ(p[0].y, 0.0f);
    EXPECT_FLOAT_EQ(p[1].x, 256.0f);
    EXPECT_FLOAT_EQ(p[1].y, 0.0f);
    EXPECT_FLOAT_EQ(p[2].x, 0.0f);
    EXPECT_FLOAT_EQ(p[2].y, 256.0f);

    // Turned clockwise by (almost) 90 degrees: the image's top edge runs down the right side.
    HighlightCorners(90.0, 256, 256, p);
    EXPECT_NEAR(p[0].x, 256.0f, 0.5f);
    EXPECT_NEAR(p[0].y, 0.0f, 0.5f);
    EXPECT_NEAR(p[1].x, 256.0f, 0.5f);
    EXPECT_NEAR(p[1].y, 256.0f, 0.5f);
    EXPECT_NEAR(p[2].x, 0.0f, 0.5f);
    EXPECT_NEAR(p[2].y, 0.0f, 0.5f);
}

// For every slot the corners form the image's square turned about (128, 128): sides of 256 at
// right angles, centred on the ring. The turn uses 3.14 for pi, so slot 7 stands about 0.16
// degrees short of 315.
TEST(HighlightCornersTest, ARigidTurnAboutTheCentreByTheSlotsAngle) {
    for (int32_t slot = 0; slot < 8; ++slot) {
        RingPointF p[3];
        HighlightCorners(45.0 * slot, 256, 256, p);
        const double ax = p[1].x - p[0].x, ay = p[1].y - p[0].y;  // along the image's top edge
        const double bx = p[2].x - p[0].x, by = p[2].y - p[0].y;  // down its left edge
        EXPECT_NEAR(std::hypot(ax, ay), 256.0, 1e-3) << slot;
        EXPECT_NEAR(std::hypot(bx, by), 256.0, 1e-3) << slot;
        EXPECT_NEAR(ax * bx + ay * by, 0.0, 1e-2) << slot;
        EXPECT_NEAR(p[1].x + p[2].x, 256.0, 1e-3) << slot;  // the square's centre is (128, 128)
        EXPECT_NEAR(p[1].y + p[2].y, 256.0, 1e-3) << slot;
        // The image's "up" (from its centre towards its top edge), as a clockwise compass angle.
        const double upX = (p[0].x + p[1].x) / 2.0 - 128.0;
        const double upY = (p[0].y + p[1].y) / 2.0 - 128.0;
        double degrees = std::atan2(upX, -upY) * 180.0 / 3.14159265358979;
        if (degrees < -1.0) {
            degrees += 360.0;
        }
        EXPECT_NEAR(degrees, 45.0 * slot * 3.14 / 3.14159265358979, 1e-3) << slot;
    }
    RingPointF p[3];
    HighlightCorners(315.0, 256, 256, p);
    const double upX = (p[0].x + p[1].x) / 2.0 - 128.0;
    const double upY = (p[0].y + p[1].y) / 2.0 - 128.0;
    const double degrees = std::atan2(upX, -upY) * 180.0 / 3.14159265358979 + 360.0;
    EXPECT_GT(315.0 - degrees, 0.15);
    EXPECT_LT(315.0 - degrees, 0.17);
}

TEST(RingSlotOffsetsTest, IconSquaresSitOnTheRingAtTheirSlots) {
    for (int32_t slot = 0; slot < 8; ++slot) {
        // The centre of the slot's icon square is in the band and in its own sector.
        const int32_t cx = kSlotIconOrigin + RingSlotOffsets[slot].dx + kSlotIconExtent / 2;
        const int32_t cy = kSlotIconOrigin + RingSlotOffsets[slot].dy + kSlotIconExtent / 2;
        EXPECT_EQ(HitTestRing(cx, cy), slot);
    }
    EXPECT_EQ(RingSlotOffsets[1].dx, 63);
    EXPECT_EQ(RingSlotOffsets[1].dy, -63);
}

class PagingTest : public ::testing::Test {
protected:
    void SetUp() override { ResetTables(); }
    void TearDown() override { ResetTables(); }
    // A page whose slot holds an id; the id names an item only when one was created for it.
    static void Fill(int32_t page, int32_t slot, uint32_t id) {
        ASSERT_TRUE(StorePageSlotId(page, slot, id));
    }
};

TEST_F(PagingTest, NextAndPreviousSkipEmptyPagesAndWrap) {
    Fill(1, 0, 7);
    Fill(6, 3, 7);
    pageTable.currentPage = 1;
    EXPECT_EQ(NextPage(), 0);
    EXPECT_EQ(pageTable.currentPage, 6);
    EXPECT_EQ(NextPage(), 0);  // wraps from 7 to 0 and on to 1
    EXPECT_EQ(pageTable.currentPage, 1);
    EXPECT_EQ(PreviousPage(), 0);  // wraps from 0 to 7 and down to 6
    EXPECT_EQ(pageTable.currentPage, 6);
    EXPECT_EQ(PreviousPage(), 0);
    EXPECT_EQ(pageTable.currentPage, 1);

    // Pages are taken by their count only: an id that names no item still counts.
    Fill(3, 0, 999);
    EXPECT_EQ(NextPage(), 0);
    EXPECT_EQ(pageTable.currentPage, 3);
}

TEST_F(PagingTest, NoOtherPageWithItemsLeavesTheCurrentPage) {
    Fill(3, 5, 1);
    pageTable.currentPage = 3;
    EXPECT_EQ(NextPage(), -1);
    EXPECT_EQ(pageTable.currentPage, 3);
    EXPECT_EQ(PreviousPage(), -1);
    EXPECT_EQ(pageTable.currentPage, 3);

    ClearPages();
    pageTable.currentPage = 2;
    EXPECT_EQ(NextPage(), -1);
    EXPECT_EQ(PreviousPage(), -1);
    EXPECT_EQ(pageTable.currentPage, 2);
}

TEST_F(PagingTest, ACurrentPageOutOfRangeStillFindsAPage) {
    Fill(4, 0, 1);
    pageTable.currentPage = 8;
    EXPECT_EQ(NextPage(), 0);
    EXPECT_EQ(pageTable.currentPage, 4);
    pageTable.currentPage = -3;
    EXPECT_EQ(PreviousPage(), 0);
    EXPECT_EQ(pageTable.currentPage, 4);
}

TEST_F(PagingTest, OpeningFallsBackToThePreviousPageThatShowsAnItem) {
    ASSERT_NE(CreateItem(5), nullptr);
    Fill(5, 2, 5);
    pageTable.currentPage = 6;
    EXPECT_EQ(ChoosePageToOpen(), 0);
    EXPECT_EQ(pageTable.currentPage, 5);
    EXPECT_NE(pageTable.pages[5].items[2], nullptr);  // resolved and cached on the way

    // A current page that shows an item stays, even when others precede it.
    Fill(4, 0, 5);
    EXPECT_EQ(ChoosePageToOpen(), 0);
    EXPECT_EQ(pageTable.currentPage, 5);
}

TEST_F(PagingTest, OpeningPassesOverPagesWhoseIdsNameNoItem) {
    ASSERT_NE(CreateItem(5), nullptr);
    Fill(2, 0, 900);  // filled, but no such item
    Fill(0, 7, 901);
    Fill(6, 1, 5);
    pageTable.currentPage = 2;
    EXPECT_EQ(ChoosePageToOpen(), 0);
    EXPECT_EQ(pageTable.currentPage, 6);
}

TEST_F(PagingTest, OpeningFailsWhenNoPageShowsAnItem) {
    pageTable.currentPage = 4;
    EXPECT_EQ(ChoosePageToOpen(), -1);
    EXPECT_EQ(pageTable.currentPage, 4);

    // Only ids that name no item: the search gives up after eight pages.
    Fill(1, 0, 900);
    Fill(5, 0, 901);
    EXPECT_EQ(ChoosePageToOpen(), -1);
    EXPECT_TRUE(pageTable.currentPage == 1 || pageTable.currentPage == 5);

    // A current page that is not a page shows nothing; the search moves to a real one.
    ASSERT_NE(CreateItem(5), nullptr);
    Fill(7, 4, 5);
    pageTable.currentPage = 8;
    EXPECT_EQ(ChoosePageToOpen(), 0);
    EXPECT_EQ(pageTable.currentPage, 7);
}

}  // namespace
