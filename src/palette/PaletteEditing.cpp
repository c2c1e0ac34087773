#include "palette/PaletteEditing.h"

#include <cstring>

#include "dialogs/ItemEdit.h"
#include "settings/TextField.h"
#include "menu/RingGeometry.h"
#include "palette/PaletteLayout.h"

int32_t scrollRow;
int32_t editorPage;
uint8_t scrollPress;
MenuItem* dragItem;
uint8_t dragSource;
CellPosition dragCell = {-1, -1};
SlotPosition dragSlot = {-1, -1};
SlotPosition slotMenuTarget = {-1, -1};

// New items go only into rows the editor can scroll into view.
static_assert(kPaletteMaxScrollRow + kPaletteVisibleRows == kPaletteRowsForNewItems, "rows for new items");

namespace {

bool IsEditorPage(int32_t page) {
    return page >= 0 && page < kPageCount;
}

bool IsGridCell(const CellPosition& cell) {
    return cell.row >= 0 && cell.row < kPaletteRows && cell.column >= 0 && cell.column < kPaletteColumns;
}

// The grid cell under the cursor: true with its grid row and column when the cursor is over a
// visible cell that stands for a row of the grid.
bool GridCellAt(int32_t x, int32_t y, CellPosition* cell) {
    int32_t r = 0;
    int32_t c = 0;
    if (!CellAt(x, y, &r, &c)) {
        return false;
    }
    const int32_t row = GridRowOfVisibleRow(scrollRow, r);
    if (row < 0) {
        return false;
    }
    *cell = CellPosition{row, c};
    return true;
}

// Moves the palette by rows, kept within 0..kPaletteMaxScrollRow.
void ScrollTo(int32_t row) {
    scrollRow = row < 0 ? 0 : (row > kPaletteMaxScrollRow ? kPaletteMaxScrollRow : row);
}

// The stored cell at a grid position. Caller holds the tables' lock.
PaletteCell& StoredCell(const CellPosition& cell) {
    return paletteGrid.cells[cell.row * kPaletteColumns + cell.column];
}

// A press on an occupied cell or slot starts a drag; nothing moves until the release.
void StartDrag(MenuItem* item, uint8_t source) {
    ResetPaletteDrag();
    dragItem = item;
    dragSource = source;
}

void AddIcon(PaletteFrame* frame, const MenuItem* item, Point corner) {
    if (frame->iconCount < kPaletteFrameMaxIcons) {
        frame->icons[frame->iconCount++] =
            PaletteIconPlacement{item->icon, item->iconPath, corner.x, corner.y};
    }
}

// The icon of an item that has one, in its box; shifted, and the item taken as hovered, while the
// cursor is over the box. corner(over) is the icon's top-left corner.
template <typename Corner>
void ComposeItem(const MenuItem* item, const Rect& box, Corner corner, int32_t x, int32_t y,
                 PaletteFrame* frame, const MenuItem** hovered) {
    if (item == nullptr || item->icon == nullptr) {
        return;
    }
    const bool over = x >= box.left && x < box.right && y >= box.top && y < box.bottom;
    AddIcon(frame, item, corner(over));
    if (over) {
        *hovered = item;
    }
}

// Cell icons of the visible rows; the item under the cursor is drawn shifted and returned.
const MenuItem* ComposeCells(int32_t x, int32_t y, PaletteFrame* frame) {
    const MenuItem* hovered = nullptr;
    for (int32_t r = 0; r < kPaletteVisibleRows; ++r) {
        const int32_t row = GridRowOfVisibleRow(scrollRow, r);
        for (int32_t c = 0; row >= 0 && c < kPaletteVisibleColumns; ++c) {
            ComposeItem(
                GetPaletteItem(row, c), CellBox(r, c),
                [r, c](bool over) { return CellIconCorner(r, c, over); }, x, y, frame, &hovered);
        }
    }
    return hovered;
}

// Slot icons of the editor's page; the item under the cursor is drawn shifted and returned.
const MenuItem* ComposeSlots(int32_t x, int32_t y, PaletteFrame* frame) {
    if (!IsEditorPage(editorPage)) {
        return nullptr;
    }
    const MenuItem* hovered = nullptr;
    for (int32_t slot = 0; slot < kSlotsPerPage; ++slot) {
        ComposeItem(
            GetPageItem(editorPage, slot), SlotBox(slot),
            [slot](bool over) { return SlotIconCorner(slot, over); }, x, y, frame, &hovered);
    }
    return hovered;
}

// The dragged item's icon, centred on the cursor. A drag whose release the window never saw (the
// button went up outside it) ends here, at the first frame that finds the button up.
const MenuItem* ComposeDrag(int32_t x, int32_t y, bool leftButtonHeld, PaletteFrame* frame) {
    if (!leftButtonHeld) {
        ResetPaletteDrag();
        return nullptr;
    }
    if (dragItem == nullptr || dragItem->icon == nullptr) {
        return nullptr;
    }
    AddIcon(frame, dragItem, Point{x - kPaletteIconSize / 2, y - kPaletteIconSize / 2});
    return dragItem;
}

// The item of the right-clicked cell, or null when no cell is named or it holds no item. Caller
// holds the tables' lock.
MenuItem* ContextCellItem() {
    const CellPosition cell = paletteGrid.contextCell;
    return IsGridCell(cell) ? GetPaletteItem(cell.row, cell.column) : nullptr;
}

// Empties every slot and cell that holds the item, by id or by cached pointer, so that nothing
// refers to it once it is freed. Caller holds the tables' lock.
void ForgetItemEverywhere(const MenuItem* item) {
    for (int32_t page = 0; page < kPageCount; ++page) {
        for (int32_t slot = 0; slot < kSlotsPerPage; ++slot) {
            const Page& p = pageTable.pages[page];
            if ((p.ids[slot] != 0 && p.ids[slot] == item->id) || p.items[slot] == item) {
                SetPageSlot(page, slot, nullptr);
            }
        }
    }
    for (PaletteCell& cell : paletteGrid.cells) {
        if ((cell.id != 0 && cell.id == item->id) || cell.item == item) {
            cell = PaletteCell{0, nullptr};
        }
    }
}

}  // namespace

// Ends any drag: no item, no source, no cell or slot.
void ResetPaletteDrag() {
    dragItem = nullptr;
    dragSource = DragNone;
    dragCell = CellPosition{-1, -1};
    dragSlot = SlotPosition{-1, -1};
}

// The state a newly opened editor starts from; the page shown is kept from the last time.
void ResetPaletteEditor() {
    scrollRow = 0;
    scrollPress = ScrollPressNone;
    ResetPaletteDrag();
    slotMenuTarget = SlotPosition{-1, -1};
    if (!IsEditorPage(editorPage)) {
        editorPage = 0;
    }
}

// Composes a frame for the cursor at (x, y), scrolling with a held thumb first. The label names
// the dragged, else the hovered slot's, else the hovered cell's item; items without an icon are
// neither drawn nor named. The icons stay valid until this thread next changes an item.
void ComposePaletteFrame(int32_t x, int32_t y, bool leftButtonHeld, PaletteFrame* frame) {
    *frame = PaletteFrame{};
    ScrollTo(scrollPress == ScrollPressThumb ? ScrollRowForCursorY(y) : scrollRow);
    frame->thumbTop = ThumbTop(scrollRow);
    frame->upArrowPressed = scrollPress == ScrollPressUpArrow && InUpArrow(x, y);
    frame->downArrowPressed = scrollPress == ScrollPressDownArrow && InDownArrowPressedArea(x, y);
    frame->tabJointPage = IsEditorPage(editorPage) ? editorPage : -1;

    TablesLock lock;
    const MenuItem* labelled = ComposeCells(x, y, frame);
    if (const MenuItem* slotItem = ComposeSlots(x, y, frame)) {
        labelled = slotItem;
    }
    if (const MenuItem* dragged = ComposeDrag(x, y, leftButtonHeld, frame)) {
        labelled = dragged;
    }
    if (labelled != nullptr) {
        frame->labelShown = true;
        memcpy(frame->labelText, labelled->text, sizeof frame->labelText);
        frame->labelText[kItemTextSize - 1] = '\0';
    }
}

// A left press holds the thumb or an arrow, starts a drag from an occupied cell or slot, or picks
// a tab's page. True when the thumb was taken, so the caller captures the mouse.
bool PaletteLeftPress(int32_t x, int32_t y) {
    switch (ScrollBarPartAt(x, y, scrollRow)) {
        case ScrollThumb:
            scrollPress = ScrollPressThumb;
            return true;
        case ScrollUpArrow:
            scrollPress = ScrollPressUpArrow;
            return false;
        case ScrollDownArrow:
            scrollPress = ScrollPressDownArrow;
            return false;
        case ScrollNone:
            break;
    }
    scrollPress = ScrollPressNone;

    TablesLock lock;
    CellPosition cell;
    if (GridCellAt(x, y, &cell)) {
        if (MenuItem* item = GetPaletteItem(cell.row, cell.column)) {
            StartDrag(item, DragFromCell);
            dragCell = cell;
            return false;
        }
    } else if (InScrollBarColumn(x)) {
        return false;  // the track beside the thumb
    }
    const int32_t slot = SlotAt(x, y);
    if (slot >= 0) {
        MenuItem* item = IsEditorPage(editorPage) ? GetPageItem(editorPage, slot) : nullptr;
        if (item != nullptr) {
            StartDrag(item, DragFromSlot);
            dragSlot = SlotPosition{editorPage, slot};
            return false;
        }
    }
    const int32_t tab = PageTabAt(x, y);
    if (tab >= 0) {
        editorPage = tab;
    }
    return false;
}

// A left release: a held arrow released over itself scrolls one row; otherwise a drag is dropped.
// A palette item dropped on a visible cell swaps with that cell (moving into an empty one); one
// dropped on a slot is referred to from it (the palette keeps it); a slot's item dropped on a slot
// swaps the two slots. Anything else, a cell or slot naming a held item included, changes nothing.
// True when the caller should release the mouse capture (every release but an arrow's scroll).
bool PaletteLeftRelease(int32_t x, int32_t y) {
    const bool upScroll = scrollPress == ScrollPressUpArrow && InUpArrow(x, y);
    const bool downScroll = scrollPress == ScrollPressDownArrow && InDownArrow(x, y);
    bool done = upScroll || downScroll;
    if (done) {
        ScrollTo(scrollRow + (downScroll ? 1 : -1));
    }
    scrollPress = ScrollPressNone;

    // A cell or slot that names a held item looks empty but is not free: a drop there would erase
    // the held item's place, so it changes nothing.
    TablesLock lock;
    CellPosition target;
    if (!done && dragSource == DragFromCell && dragItem != nullptr && GridCellAt(x, y, &target)) {
        if (IsGridCell(dragCell) && !IsHeldItemId(StoredCell(target).id)) {
            MenuItem* former = GetPaletteItem(target.row, target.column);
            SetPaletteCell(target.row, target.column, dragItem);
            SetPaletteCell(dragCell.row, dragCell.column, former);
        }
        done = true;
    }
    if (!done && dragSource != DragNone && dragItem != nullptr && IsEditorPage(editorPage)) {
        int32_t slot = SlotAt(x, y);
        if (slot >= 0 && IsHeldItemId(pageTable.pages[editorPage].ids[slot])) {
            slot = -1;
        }
        if (slot >= 0 && dragSource == DragFromCell) {
            SetPageSlot(editorPage, slot, dragItem);
        } else if (slot >= 0 && dragSource == DragFromSlot) {
            MenuItem* old = GetPageItem(editorPage, slot);
            SetPageSlot(editorPage, slot, dragItem);
            SetPageSlot(dragSlot.page, dragSlot.slot, old);
        }
    }
    ResetPaletteDrag();
    return !upScroll && !downScroll;
}

// A right release over a visible cell names it the context cell and asks for the item menu (delete
// only for launch items) or the empty cell's menu (also for an id that names no item; a held
// item's cell asks for none); over an occupied slot it names the slot and asks for its menu.
PaletteMenuRequest PaletteRightRelease(int32_t x, int32_t y) {
    TablesLock lock;
    CellPosition cell;
    if (GridCellAt(x, y, &cell)) {
        if (IsHeldItemId(StoredCell(cell).id)) {
            return PaletteMenuRequest{PaletteMenuNone, false};
        }
        paletteGrid.contextCell = cell;
        const MenuItem* item = GetPaletteItem(cell.row, cell.column);
        if (item != nullptr) {
            return PaletteMenuRequest{PaletteMenuItem, item->kind == KindLaunch};
        }
        return PaletteMenuRequest{PaletteMenuEmptyCell, false};
    }
    const int32_t slot = SlotAt(x, y);
    if (slot >= 0 && IsEditorPage(editorPage) && GetPageItem(editorPage, slot) != nullptr) {
        slotMenuTarget = SlotPosition{editorPage, slot};
        return PaletteMenuRequest{PaletteMenuSlot, false};
    }
    return PaletteMenuRequest{PaletteMenuNone, false};
}

// After a context menu has closed (its command, if any, has run): a cell menu dismissed without a
// command forgets the context cell, and any drag ends.
void PaletteContextMenuEnded(int32_t kind, bool commandChosen) {
    if ((kind == PaletteMenuItem || kind == PaletteMenuEmptyCell) && !commandChosen) {
        ForgetContextCell();
    }
    ResetPaletteDrag();
}

// One row per wheel message, whatever its size: towards the user (negative) scrolls down.
void PaletteWheel(int32_t delta) {
    ScrollTo(scrollRow + (delta < 0 ? 1 : -1));
}

// The edit command: 1 when the dialog is to be opened now for the context cell's item, 0 when one
// is open already, -1 (context cell kept) when that cell holds no item.
int32_t PrepareEditItem() {
    TablesLock lock;
    MenuItem* item = ContextCellItem();
    if (item == nullptr) {
        return -1;
    }
    if (editDialogOpen == 1) {
        return 0;
    }
    editItem = item;
    editFromDrop = 0;
    return 1;
}

// The new-item command: true when the dialog is to be opened now, false when one is open
// already. The context cell stays named while the dialog runs, so the new item goes into that cell.
bool PrepareNewItem() {
    if (editDialogOpen == 1) {
        return false;
    }
    editItem = nullptr;
    editFromDrop = 0;
    return true;
}

// A file dropped on the editor: true when the dialog is to be opened for it now, false when one is
// open already or there is no path.
bool PrepareDroppedFile(const char* path) {
    if (editDialogOpen == 1 || path == nullptr || path[0] == '\0') {
        return false;
    }
    editItem = nullptr;
    editFromDrop = 1;
    CopyTextField(droppedPath, sizeof droppedPath, path);
    return true;
}

void ForgetContextCell() {
    TablesLock lock;
    paletteGrid.contextCell = CellPosition{-1, -1};
}

// The delete command: the context cell's item leaves every slot and cell and is freed under one
// hold of the lock, so the ring menu never meets it half removed. False when the context cell
// names no item (it is then kept).
bool DeleteContextItem() {
    TablesLock lock;
    MenuItem* item = ContextCellItem();
    if (item == nullptr) {
        return false;
    }
    ForgetItemEverywhere(item);
    if (dragItem == item) {
        ResetPaletteDrag();
    }
    if (editItem == item) {
        editItem = nullptr;
    }
    RemoveItem(item);
    paletteGrid.contextCell = CellPosition{-1, -1};
    return true;
}

// The remove-from-page command: empties the slot whose menu was shown; the item stays in the
// palette and in its other slots. False when no slot was named.
bool RemoveSlotMenuTarget() {
    const SlotPosition target = slotMenuTarget;
    slotMenuTarget = SlotPosition{-1, -1};
    if (!IsEditorPage(target.page) || target.slot < 0 || target.slot >= kSlotsPerPage) {
        return false;
    }
    return SetPageSlot(target.page, target.slot, nullptr) == 0;
}
