// The palette editor's gestures and commands on the real tables: drags between cells and slots,
// tabs, scrolling, context menus, delete and remove, the dialog's inputs, and the frame a cursor
// position gives (which icons where, and what the label says).

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "TestSupport.h"
#include "dialogs/ItemEdit.h"
#include "palette/PaletteEditing.h"
#include "palette/PaletteLayout.h"
#include "settings/MenuItems.h"
#include "settings/Pages.h"

namespace {

Point Centre(const Rect& box) {
    return {(box.left + box.right) / 2, (box.top + box.bottom) / 2};
}

Point CellCentre(int32_t visibleRow, int32_t column) {
    return Centre(CellBox(visibleRow, column));
}

Point SlotCentre(int32_t slot) {
    return Centre(SlotBox(slot));
}

Point TabCentre(int32_t page) {
    return Centre(PageTabBox(page));
}

// A press at one point and a release at another, as a drag with the left button.
void Drag(Point from, Point to) {
    PaletteLeftPress(from.x, from.y);
    PaletteLeftRelease(to.x, to.y);
}

class PaletteEditingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetTables();
        editorPage = 0;
        ResetPaletteEditor();
        editDialogOpen = 0;
        editItem = nullptr;
        editFromDrop = 0;
        iconPath = ExecutableDir() + UniqueName("palette_icon") + ".ico";
        ASSERT_TRUE(WriteIconFile(iconPath));
    }
    void TearDown() override {
        ResetTables();
        RemoveFile(iconPath);
    }

    // An item with an icon and a name; launch items unless told otherwise.
    MenuItem* Item(uint32_t id, const char* text, uint8_t kind = KindLaunch) {
        MenuItem* item = CreateItem(id);
        EXPECT_NE(item, nullptr);
        EXPECT_EQ(SetItemIcon(item, iconPath.c_str()), 0);
        SetItemText(item, text);
        item->kind = kind;
        return item;
    }

    uint32_t CellId(int32_t row, int32_t column) const {
        return paletteGrid.cells[row * kPaletteColumns + column].id;
    }

    std::string iconPath;
};

TEST_F(PaletteEditingTest, CellDragsMoveSwapOrChangeNothing) {
    MenuItem* a = Item(1, "a");
    MenuItem* b = Item(2, "b");
    SetPaletteCell(0, 0, a);

    // Onto an empty cell: moved.
    Drag(CellCentre(0, 0), CellCentre(0, 1));
    EXPECT_EQ(CellId(0, 0), 0u);
    EXPECT_EQ(CellId(0, 1), 1u);
    EXPECT_EQ(dragSource, DragNone);
    EXPECT_EQ(dragItem, nullptr);

    // Onto an occupied cell: the two swap, also across scrolled rows.
    SetPaletteCell(12, 3, b);
    scrollRow = 10;
    SetPaletteCell(10, 0, a);
    SetPaletteCell(0, 1, nullptr);
    Drag(CellCentre(0, 0), CellCentre(2, 3));
    EXPECT_EQ(CellId(10, 0), 2u);
    EXPECT_EQ(CellId(12, 3), 1u);
    EXPECT_EQ(GetPaletteItem(12, 3), a);

    // Onto its own cell, onto the tabs, outside everything, or onto a cell or slot that names a
    // held item (which looks empty but keeps its place): nothing changes.
    ASSERT_NE(CreateHeldItem(50), nullptr);
    StorePaletteCellId(10 * kPaletteColumns + 6, 50);
    StorePageSlotId(0, 2, 50);
    SetPageSlot(0, 1, b);
    const TablesImage before;
    Drag(CellCentre(2, 3), CellCentre(0, 6));
    Drag(CellCentre(2, 3), SlotCentre(2));
    Drag(SlotCentre(1), SlotCentre(2));
    Drag(CellCentre(2, 3), CellCentre(2, 3));
    Drag(CellCentre(2, 3), TabCentre(4));
    Drag(CellCentre(2, 3), Point{600, 150});
    Drag(CellCentre(2, 3), Point{-50, -50});
    EXPECT_TRUE(before.Unchanged());
    EXPECT_EQ(editorPage, 0) << "a drop on a tab is no tab click";

    // A press on an empty cell, or on a cell whose id names no item, starts no drag.
    StorePaletteCellId(10 * kPaletteColumns + 5, 99);
    PaletteLeftPress(CellCentre(0, 4).x, CellCentre(0, 4).y);
    EXPECT_EQ(dragSource, DragNone);
    PaletteLeftPress(CellCentre(0, 5).x, CellCentre(0, 5).y);
    EXPECT_EQ(dragSource, DragNone);
    EXPECT_EQ(dragItem, nullptr);
}

TEST_F(PaletteEditingTest, SlotDropsReferToMoveAndSwapItems) {
    MenuItem* a = Item(1, "a");
    MenuItem* b = Item(2, "b");
    SetPaletteCell(0, 0, a);
    SetPaletteCell(0, 1, b);
    editorPage = 2;

    // A palette item onto an empty slot: the page gains it, the palette keeps it, and the same
    // item can stand in a second slot.
    Drag(CellCentre(0, 0), SlotCentre(3));
    EXPECT_EQ(pageTable.pages[2].count, 1);
    EXPECT_EQ(GetPageItem(2, 3), a);
    EXPECT_EQ(CellId(0, 0), 1u);
    Drag(CellCentre(0, 0), SlotCentre(5));
    EXPECT_EQ(pageTable.pages[2].count, 2);
    EXPECT_EQ(GetPageItem(2, 5), a);

    // Onto an occupied slot: the reference is replaced and the count stays.
    Drag(CellCentre(0, 1), SlotCentre(5));
    EXPECT_EQ(GetPageItem(2, 5), b);
    EXPECT_EQ(pageTable.pages[2].count, 2);
    EXPECT_EQ(CellId(0, 0), 1u);

    // Slot to empty slot moves; slot to occupied slot swaps; the count follows the slots.
    Drag(SlotCentre(3), SlotCentre(0));
    EXPECT_EQ(GetPageItem(2, 0), a);
    EXPECT_EQ(GetPageItem(2, 3), nullptr);
    EXPECT_EQ(pageTable.pages[2].count, 2);
    Drag(SlotCentre(0), SlotCentre(5));
    EXPECT_EQ(GetPageItem(2, 0), b);
    EXPECT_EQ(GetPageItem(2, 5), a);

    // A slot's item dropped on the palette, a tab or nowhere changes nothing.
    const TablesImage before;
    Drag(SlotCentre(0), CellCentre(3, 3));
    Drag(SlotCentre(0), CellCentre(0, 1));
    Drag(SlotCentre(0), TabCentre(6));
    Drag(SlotCentre(0), Point{135, 156});
    EXPECT_TRUE(before.Unchanged());
    EXPECT_EQ(editorPage, 2);
}

TEST_F(PaletteEditingTest, TabsChooseTheEditorsPageOnly) {
    pageTable.currentPage = 1;
    for (int32_t page = 0; page < kPageCount; ++page) {
        const Point tab = TabCentre(page);
        PaletteLeftPress(tab.x, tab.y);
        PaletteLeftRelease(tab.x, tab.y);
        EXPECT_EQ(editorPage, page);
    }
    EXPECT_EQ(pageTable.currentPage, 1);
    // Below the tabs' band nothing is chosen.
    PaletteLeftPress(TabCentre(2).x, 26);
    EXPECT_EQ(editorPage, kPageCount - 1);
}

TEST_F(PaletteEditingTest, WheelArrowsAndThumbScrollWithinRowsZeroToTwentyTwo) {
    // The wheel: one row per message whatever the delta, stopping at both ends.
    PaletteWheel(-360);
    EXPECT_EQ(scrollRow, 1);
    PaletteWheel(120);
    PaletteWheel(0);
    EXPECT_EQ(scrollRow, 0);
    for (int i = 0; i < 40; ++i) {
        PaletteWheel(-120);
    }
    EXPECT_EQ(scrollRow, kPaletteMaxScrollRow);

    // The down arrow scrolls only when released over itself, and not past 22.
    scrollRow = 5;
    EXPECT_FALSE(PaletteLeftPress(600, 280));
    EXPECT_EQ(scrollPress, ScrollPressDownArrow);
    EXPECT_TRUE(PaletteLeftRelease(600, 200)) << "a release off the arrow lets the mouse go";
    EXPECT_EQ(scrollRow, 5);
    EXPECT_EQ(scrollPress, ScrollPressNone);
    PaletteLeftPress(600, 280);
    EXPECT_FALSE(PaletteLeftRelease(601, 286));
    EXPECT_EQ(scrollRow, 6);
    scrollRow = kPaletteMaxScrollRow;
    PaletteLeftPress(600, 280);
    PaletteLeftRelease(600, 280);
    EXPECT_EQ(scrollRow, kPaletteMaxScrollRow);

    // The up arrow likewise; at row 0 its lower part belongs to the thumb.
    scrollRow = 3;
    PaletteLeftPress(600, 10);
    EXPECT_EQ(scrollPress, ScrollPressUpArrow);
    PaletteLeftRelease(600, 10);
    EXPECT_EQ(scrollRow, 2);
    scrollRow = 0;
    EXPECT_TRUE(PaletteLeftPress(600, 21));
    EXPECT_EQ(scrollPress, ScrollPressThumb);

    // The held thumb follows the cursor while frames are drawn, clamped far outside the track.
    PaletteFrame frame;
    ComposePaletteFrame(600, 20 + 251 / 2, true, &frame);
    EXPECT_EQ(scrollRow, 11);
    EXPECT_EQ(frame.thumbTop, ThumbTop(11));
    ComposePaletteFrame(600, -5000, true, &frame);
    EXPECT_EQ(scrollRow, 0);
    ComposePaletteFrame(600, 5000, true, &frame);
    EXPECT_EQ(scrollRow, kPaletteMaxScrollRow);
    PaletteLeftRelease(600, 5000);
    ComposePaletteFrame(600, 20, true, &frame);
    EXPECT_EQ(scrollRow, kPaletteMaxScrollRow) << "a released thumb no longer follows";

    // A press on the track beside the thumb does nothing.
    scrollRow = 0;
    EXPECT_FALSE(PaletteLeftPress(600, 150));
    EXPECT_EQ(scrollPress, ScrollPressNone);
    EXPECT_EQ(scrollRow, 0);
}

TEST_F(PaletteEditingTest, FrameShiftsTheHoveredIconAndNamesTheRightItem) {
    MenuItem* a = Item(1, "first");
    MenuItem* b = Item(2, "second");
    MenuItem* noIcon = CreateItem(3);
    SetItemText(noIcon, "invisible");
    SetPaletteCell(0, 0, a);
    SetPaletteCell(0, 1, b);
    SetPaletteCell(0, 2, noIcon);
    StorePaletteCellId(3, 77);  // names no item
    editorPage = 4;
    SetPageSlot(4, 6, b);

    // Nothing hovered: icons at rest, no label, tab joint under the editor's page.
    PaletteFrame frame;
    ComposePaletteFrame(5, 5, false, &frame);
    ASSERT_EQ(frame.iconCount, 3);
    EXPECT_EQ(frame.icons[0].x, CellIconCorner(0, 0, false).x);
    EXPECT_EQ(frame.icons[0].y, CellIconCorner(0, 0, false).y);
    EXPECT_EQ(frame.icons[2].x, SlotIconCorner(6, false).x);
    EXPECT_FALSE(frame.labelShown);
    EXPECT_EQ(frame.tabJointPage, 4);

    // Over a cell: that icon 2 pixels right and down, its name in the label.
    const Point over = CellCentre(0, 1);
    ComposePaletteFrame(over.x, over.y, false, &frame);
    EXPECT_EQ(frame.icons[1].x, CellIconCorner(0, 1, false).x + 2);
    EXPECT_EQ(frame.icons[1].y, CellIconCorner(0, 1, false).y + 2);
    EXPECT_TRUE(frame.labelShown);
    EXPECT_STREQ(frame.labelText, "second");

    // Items without an icon, and ids that name no item, are neither drawn nor named.
    for (const Point p : {CellCentre(0, 2), CellCentre(0, 3)}) {
        ComposePaletteFrame(p.x, p.y, false, &frame);
        EXPECT_EQ(frame.iconCount, 3);
        EXPECT_FALSE(frame.labelShown);
    }

    // A dragged item is drawn on the cursor and named, even over another occupied cell or slot.
    const Point from = CellCentre(0, 0);
    PaletteLeftPress(from.x, from.y);
    const Point slot = SlotCentre(6);
    ComposePaletteFrame(slot.x, slot.y, true, &frame);
    EXPECT_STREQ(frame.labelText, "first");
    ASSERT_EQ(frame.iconCount, 4);
    EXPECT_EQ(frame.icons[3].x, slot.x - 16);
    EXPECT_EQ(frame.icons[3].y, slot.y - 16);

    // The button went up outside the window: the next frame ends the drag.
    ComposePaletteFrame(-300, -300, false, &frame);
    EXPECT_EQ(dragItem, nullptr);
    EXPECT_EQ(dragSource, DragNone);
    EXPECT_EQ(dragCell.row, -1);
    EXPECT_EQ(frame.iconCount, 3);
}

TEST_F(PaletteEditingTest, FrameNeverShowsGridRowTwentyNine) {
    MenuItem* last = Item(1, "last row");
    MenuItem* nearLast = Item(2, "row 28");
    SetPaletteCell(29, 7, last);
    SetPaletteCell(28, 7, nearLast);
    for (int i = 0; i < 30; ++i) {
        PaletteWheel(-120);
    }
    PaletteFrame frame;
    ComposePaletteFrame(0, 0, false, &frame);
    ASSERT_EQ(frame.iconCount, 1);
    EXPECT_EQ(frame.icons[0].y, CellIconCorner(6, 7, false).y);
}

TEST_F(PaletteEditingTest, ContextMenusNameTheirTargetAndGreyDeleteForCommands) {
    MenuItem* launch = Item(1, "launch");
    MenuItem* command = Item(2, "command", KindWindowCommand);
    SetPaletteCell(2, 0, launch);
    SetPaletteCell(2, 1, command);
    StorePaletteCellId(2 * kPaletteColumns + 2, 55);
    scrollRow = 2;
    editorPage = 1;
    SetPageSlot(1, 7, command);

    PaletteMenuRequest request = PaletteRightRelease(CellCentre(0, 0).x, CellCentre(0, 0).y);
    EXPECT_EQ(request.kind, PaletteMenuItem);
    EXPECT_TRUE(request.deleteEnabled);
    EXPECT_EQ(paletteGrid.contextCell.row, 2);
    EXPECT_EQ(paletteGrid.contextCell.column, 0);
    request = PaletteRightRelease(CellCentre(0, 1).x, CellCentre(0, 1).y);
    EXPECT_EQ(request.kind, PaletteMenuItem);
    EXPECT_FALSE(request.deleteEnabled);

    // An empty cell and a cell whose id names no item both offer a new item.
    EXPECT_EQ(PaletteRightRelease(CellCentre(0, 2).x, CellCentre(0, 2).y).kind, PaletteMenuEmptyCell);
    EXPECT_EQ(PaletteRightRelease(CellCentre(4, 4).x, CellCentre(4, 4).y).kind, PaletteMenuEmptyCell);
    EXPECT_EQ(paletteGrid.contextCell.row, 6);
    // A cell that names a held item is not free: no menu, and the context cell stays as it was.
    ASSERT_NE(CreateHeldItem(56), nullptr);
    StorePaletteCellId(2 * kPaletteColumns + 3, 56);
    EXPECT_EQ(PaletteRightRelease(CellCentre(0, 3).x, CellCentre(0, 3).y).kind, PaletteMenuNone);
    EXPECT_EQ(paletteGrid.contextCell.row, 6);
    // Dismissed without a command: the cell is forgotten, and any drag ends.
    PaletteLeftPress(SlotCentre(7).x, SlotCentre(7).y);
    PaletteContextMenuEnded(PaletteMenuEmptyCell, false);
    EXPECT_EQ(paletteGrid.contextCell.row, -1);
    EXPECT_EQ(dragSource, DragNone);

    // An occupied slot names itself; an empty slot or empty space asks for no menu.
    request = PaletteRightRelease(SlotCentre(7).x, SlotCentre(7).y);
    EXPECT_EQ(request.kind, PaletteMenuSlot);
    EXPECT_EQ(slotMenuTarget.page, 1);
    EXPECT_EQ(slotMenuTarget.slot, 7);
    EXPECT_EQ(PaletteRightRelease(SlotCentre(2).x, SlotCentre(2).y).kind, PaletteMenuNone);
    EXPECT_EQ(PaletteRightRelease(135, 156).kind, PaletteMenuNone);
}

TEST_F(PaletteEditingTest, DeleteEmptiesEverySlotAndCellThenFreesTheItem) {
    MenuItem* doomed = Item(7, "doomed");
    MenuItem* keeper = Item(8, "keeper");
    SetPaletteCell(1, 1, doomed);
    SetPaletteCell(1, 2, keeper);
    StorePaletteCellId(9 * kPaletteColumns, 7);  // a second cell with the same id, from a hand-made file
    SetPageSlot(0, 0, doomed);
    SetPageSlot(0, 4, doomed);
    SetPageSlot(0, 5, keeper);
    StorePageSlotId(3, 2, 7);  // not yet resolved
    ASSERT_EQ(pageTable.pages[0].count, 3);

    // Dragging it while its menu runs: the drag must not outlive the item.
    PaletteLeftPress(CellCentre(1, 1).x, CellCentre(1, 1).y);
    ASSERT_EQ(dragItem, doomed);
    PaletteRightRelease(CellCentre(1, 1).x, CellCentre(1, 1).y);
    ASSERT_TRUE(DeleteContextItem());

    EXPECT_EQ(FindItem(7), nullptr);
    EXPECT_EQ(dragItem, nullptr);
    EXPECT_EQ(CellId(1, 1), 0u);
    EXPECT_EQ(CellId(9, 0), 0u);
    EXPECT_EQ(pageTable.pages[0].count, 1);
    EXPECT_EQ(pageTable.pages[3].count, 0);
    EXPECT_EQ(GetPageItem(0, 5), keeper);
    EXPECT_EQ(GetPaletteItem(1, 2), keeper);
    EXPECT_EQ(paletteGrid.contextCell.row, -1);

    // With no item at the context cell, delete and edit do nothing and keep the cell named.
    paletteGrid.contextCell = {1, 1};
    EXPECT_FALSE(DeleteContextItem());
    EXPECT_EQ(PrepareEditItem(), -1);
    EXPECT_EQ(paletteGrid.contextCell.row, 1);
}

TEST_F(PaletteEditingTest, RemoveFromPageTakesOnlyThatReference) {
    MenuItem* a = Item(1, "a");
    SetPaletteCell(0, 0, a);
    SetPageSlot(2, 1, a);
    SetPageSlot(2, 2, a);
    SetPageSlot(5, 0, a);
    editorPage = 2;
    PaletteRightRelease(SlotCentre(2).x, SlotCentre(2).y);
    ASSERT_TRUE(RemoveSlotMenuTarget());
    EXPECT_EQ(GetPageItem(2, 2), nullptr);
    EXPECT_EQ(GetPageItem(2, 1), a);
    EXPECT_EQ(GetPageItem(5, 0), a);
    EXPECT_EQ(pageTable.pages[2].count, 1);
    EXPECT_EQ(GetPaletteItem(0, 0), a);
    EXPECT_EQ(FindItem(1), a);
    // The target is used up.
    EXPECT_FALSE(RemoveSlotMenuTarget());
    EXPECT_EQ(pageTable.pages[2].count, 1);
}

TEST_F(PaletteEditingTest, DialogInputsAreSetOnlyWhenNoDialogIsOpen) {
    MenuItem* a = Item(1, "a");
    SetPaletteCell(0, 3, a);
    paletteGrid.contextCell = {0, 3};
    ASSERT_EQ(PrepareEditItem(), 1);
    EXPECT_EQ(editItem, a);
    EXPECT_EQ(editFromDrop, 0);

    ASSERT_TRUE(PrepareNewItem());
    EXPECT_EQ(editItem, nullptr);
    EXPECT_EQ(paletteGrid.contextCell.row, 0) << "the new item goes into the right-clicked cell";

    // A drop keeps the path, cut at the field's size without splitting a double-byte character.
    std::string path = "C:\\";
    while (path.size() < 257) {
        path += 'a';
    }
    path += "\x83\x5C\x83\x5C";  // two double-byte characters whose trail byte is a backslash
    ASSERT_TRUE(PrepareDroppedFile(path.c_str()));
    EXPECT_EQ(editFromDrop, 1);
    EXPECT_EQ(strlen(droppedPath), 259u);
    EXPECT_EQ(static_cast<unsigned char>(droppedPath[258]), 0x5Cu);
    EXPECT_EQ(static_cast<unsigned char>(droppedPath[257]), 0x83u);
    EXPECT_FALSE(PrepareDroppedFile(""));

    // With the dialog open nothing is prepared and the inputs stay as they are.
    editDialogOpen = 1;
    editItem = a;
    EXPECT_EQ(PrepareEditItem(), 0);
    EXPECT_FALSE(PrepareNewItem());
    EXPECT_FALSE(PrepareDroppedFile("C:\\x.exe"));
    EXPECT_EQ(editItem, a);
    EXPECT_EQ(editFromDrop, 1);
    editDialogOpen = 0;
}

}  // namespace
