// Pages and the palette grid: slot counts, lazy resolution of ids (also of ids naming no item),
// placing new items in the palette, and arguments out of range that must change nothing.

#include <gtest/gtest.h>

#include <cstring>

#include "TestSupport.h"
#include "settings/MenuItems.h"
#include "settings/Pages.h"

namespace {

bool NoCellChosen() {
    return paletteGrid.contextCell.row == -1 && paletteGrid.contextCell.column == -1;
}

class TablesTest : public ::testing::Test {
protected:
    void SetUp() override { ResetTables(); }
    void TearDown() override { ResetTables(); }
};

TEST_F(TablesTest, SlotCountRisesOnlyForEmptySlotsAndFallsOnlyForOccupiedOnes) {
    MenuItem* a = CreateItem(1);
    MenuItem* b = CreateItem(2);
    ASSERT_TRUE(a != nullptr && b != nullptr);
    Page& page = pageTable.pages[3];

    ASSERT_EQ(SetPageSlot(3, 7, a), 0);
    EXPECT_EQ(page.count, 1);
    ASSERT_EQ(SetPageSlot(3, 7, b), 0);  // replacing an item
    EXPECT_EQ(page.count, 1);
    EXPECT_EQ(page.ids[7], 2u);
    EXPECT_EQ(page.items[7], b);
    ASSERT_EQ(SetPageSlot(3, 0, a), 0);  // the same item in a second slot
    EXPECT_EQ(page.count, 2);
    ASSERT_EQ(SetPageSlot(3, 7, nullptr), 0);
    EXPECT_EQ(page.count, 1);
    EXPECT_EQ(page.ids[7], 0u);
    EXPECT_EQ(page.items[7], nullptr);
    ASSERT_EQ(SetPageSlot(3, 7, nullptr), 0);  // already empty
    EXPECT_EQ(page.count, 1);

    // The loader's form (an id, no item yet) follows the same rule.
    ASSERT_TRUE(StorePageSlotId(3, 5, 99));
    ASSERT_TRUE(StorePageSlotId(3, 5, 98));
    EXPECT_EQ(page.count, 2);
    ASSERT_TRUE(StorePageSlotId(3, 5, 0));
    ASSERT_TRUE(StorePageSlotId(3, 6, 0));
    EXPECT_EQ(page.count, 1);
    for (int other = 0; other < kPageCount; ++other) {
        EXPECT_EQ(pageTable.pages[other].count, other == 3 ? 1 : 0) << other;
    }

    pageTable.currentPage = 5;
    ClearPages();
    EXPECT_EQ(pageTable.currentPage, 0);
    EXPECT_EQ(page.count, 0);
    EXPECT_EQ(page.ids[0], 0u);
    EXPECT_EQ(page.items[0], nullptr);
}

TEST_F(TablesTest, IdsResolveOnFirstUseAndUnknownIdsStayCountedButResolveToNothing) {
    ASSERT_TRUE(StorePageSlotId(0, 2, 5));
    ASSERT_TRUE(StorePageSlotId(0, 4, 77));  // no item 77
    ASSERT_TRUE(StorePaletteCellId(239, 5));
    MenuItem* five = CreateItem(5);
    ASSERT_NE(five, nullptr);

    EXPECT_EQ(pageTable.pages[0].items[2], nullptr);
    EXPECT_EQ(GetPageItem(0, 2), five);
    EXPECT_EQ(pageTable.pages[0].items[2], five);  // cached
    EXPECT_EQ(GetPageItem(0, 4), nullptr);
    EXPECT_EQ(pageTable.pages[0].count, 2);
    EXPECT_EQ(GetPageItem(0, 3), nullptr);
    EXPECT_EQ(GetPaletteItem(29, 7), five);
    EXPECT_EQ(paletteGrid.cells[239].item, five);

    // A null answer is asked again: once item 77 exists, the slot shows it.
    MenuItem* late = CreateItem(77);
    ASSERT_NE(late, nullptr);
    EXPECT_EQ(GetPageItem(0, 4), late);

    pageTable.currentPage = 0;
    EXPECT_EQ(GetCurrentPageItem(2), five);
    pageTable.currentPage = 8;  // not a page
    EXPECT_EQ(GetCurrentPageItem(2), nullptr);
    pageTable.currentPage = -1;
    EXPECT_EQ(GetCurrentPageItem(2), nullptr);
}

TEST_F(TablesTest, ArgumentsOutOfRangeLeaveBothTablesUntouched) {
    MenuItem* item = CreateItem(1);
    ASSERT_NE(item, nullptr);
    ASSERT_EQ(SetPageSlot(0, 0, item), 0);
    ASSERT_EQ(SetPaletteCell(0, 0, item), 0);
    const TablesImage before;

    const int pages[][2] = {{-1, 0}, {8, 0}, {0, -1}, {0, 8}, {INT32_MIN, INT32_MAX}};
    for (const auto& p : pages) {
        EXPECT_EQ(SetPageSlot(p[0], p[1], item), -1);
        EXPECT_EQ(SetPageSlot(p[0], p[1], nullptr), -1);
        EXPECT_FALSE(StorePageSlotId(p[0], p[1], 1));
        EXPECT_EQ(GetPageItem(p[0], p[1]), nullptr);
    }
    EXPECT_EQ(GetCurrentPageItem(-1), nullptr);
    EXPECT_EQ(GetCurrentPageItem(8), nullptr);
    const int cells[][2] = {{-1, 0}, {30, 0}, {0, -1}, {0, 8}, {INT32_MAX, INT32_MIN}};
    for (const auto& c : cells) {
        EXPECT_EQ(SetPaletteCell(c[0], c[1], item), -1);
        EXPECT_EQ(GetPaletteItem(c[0], c[1]), nullptr);
    }
    EXPECT_FALSE(StorePaletteCellId(-1, 1));
    EXPECT_FALSE(StorePaletteCellId(kPaletteCells, 1));
    EXPECT_EQ(PlaceInPalette(nullptr), -1);
    EXPECT_TRUE(before.Unchanged());
}

TEST_F(TablesTest, NewItemGoesToTheFirstEmptyCellRowByRow) {
    MenuItem* item = CreateItem(1000);
    ASSERT_NE(item, nullptr);
    ASSERT_EQ(PlaceInPalette(item), 0);
    EXPECT_EQ(paletteGrid.cells[0].id, 1000u);
    EXPECT_EQ(GetPaletteItem(0, 0), item);

    for (int cell = 0; cell < 10; ++cell) {
        StorePaletteCellId(cell, 500 + cell);
    }
    MenuItem* next = CreateItem(1001);
    ASSERT_NE(next, nullptr);
    ASSERT_EQ(PlaceInPalette(next), 0);
    EXPECT_EQ(paletteGrid.cells[1 * kPaletteColumns + 2].id, 1001u);
    EXPECT_EQ(paletteGrid.cells[1 * kPaletteColumns + 2].item, next);

    // Row 29, which the editor never shows, takes no new item.
    for (int cell = 0; cell < kPaletteCells - kPaletteColumns; ++cell) {
        StorePaletteCellId(cell, 500 + cell);
    }
    const TablesImage full;
    EXPECT_EQ(PlaceInPalette(next), -1);
    EXPECT_TRUE(full.Unchanged());
}

TEST_F(TablesTest, RightClickedCellTakesTheItemOnlyWhenEmpty) {
    MenuItem* item = CreateItem(1);
    ASSERT_NE(item, nullptr);
    // Occupied: refused, and the cell stays chosen so the dialog can stay open.
    MenuItem* holder = CreateItem(9);
    ASSERT_NE(holder, nullptr);
    StorePaletteCellId(3 * kPaletteColumns + 4, 9);
    paletteGrid.contextCell = {3, 4};
    const TablesImage occupied;
    EXPECT_EQ(PlaceInPalette(item), -1);
    EXPECT_TRUE(occupied.Unchanged());
    ASSERT_NE(CreateHeldItem(8), nullptr);  // so is a cell naming a held item, though it looks empty
    StorePaletteCellId(3 * kPaletteColumns + 4, 8);
    EXPECT_EQ(PlaceInPalette(item), -1);

    // A stale id (no such item) shows as an empty cell, so the new item replaces it there.
    StorePaletteCellId(4 * kPaletteColumns + 1, 77);
    paletteGrid.contextCell = {4, 1};
    MenuItem* fresh = CreateItem(3);
    ASSERT_NE(fresh, nullptr);
    ASSERT_EQ(PlaceInPalette(fresh), 0);
    EXPECT_EQ(paletteGrid.cells[4 * kPaletteColumns + 1].id, 3u);
    EXPECT_EQ(GetPaletteItem(4, 1), fresh);

    // Empty: exactly that cell, though earlier cells are free, and the choice is used up.
    paletteGrid.contextCell = {5, 6};
    ASSERT_EQ(PlaceInPalette(item), 0);
    EXPECT_EQ(paletteGrid.cells[5 * kPaletteColumns + 6].id, 1u);
    EXPECT_EQ(paletteGrid.cells[5 * kPaletteColumns + 6].item, item);
    EXPECT_EQ(paletteGrid.cells[0].id, 0u);
    EXPECT_TRUE(NoCellChosen());

    // A chosen cell outside the grid is forgotten and the item still gets a cell.
    MenuItem* other = CreateItem(2);
    ASSERT_NE(other, nullptr);
    paletteGrid.contextCell = {30, 0};
    ASSERT_EQ(PlaceInPalette(other), 0);
    EXPECT_EQ(paletteGrid.cells[0].id, 2u);
    EXPECT_TRUE(NoCellChosen());

    // ClearPalette empties every cell and forgets the choice; the pages are not its business.
    ASSERT_EQ(SetPageSlot(1, 1, item), 0);
    paletteGrid.contextCell = {2, 2};
    ClearPalette();
    EXPECT_EQ(paletteGrid.cells[0].id, 0u);
    EXPECT_TRUE(NoCellChosen());
    EXPECT_EQ(pageTable.pages[1].count, 1);
}

}  // namespace
