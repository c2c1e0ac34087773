#include "settings/Pages.h"

PageTable pageTable;
PaletteGrid paletteGrid = {{}, {-1, -1}};

namespace {

bool IsPageSlot(int32_t page, int32_t slot) {
    return page >= 0 && page < kPageCount && slot >= 0 && slot < kSlotsPerPage;
}

bool IsCell(int32_t row, int32_t column) {
    return row >= 0 && row < kPaletteRows && column >= 0 && column < kPaletteColumns;
}

// Stores an id and its cached item in a slot, keeping the page's count of occupied slots right.
bool StoreSlot(int32_t pageIndex, int32_t slot, uint32_t id, MenuItem* item) {
    if (!IsPageSlot(pageIndex, slot)) {
        return false;
    }
    TablesLock lock;
    Page& page = pageTable.pages[pageIndex];
    if (page.ids[slot] == 0 && id != 0) {
        ++page.count;
    } else if (page.ids[slot] != 0 && id == 0) {
        --page.count;
    }
    page.ids[slot] = id;
    page.items[slot] = item;
    return true;
}

bool StoreCell(int32_t cell, uint32_t id, MenuItem* item) {
    if (cell < 0 || cell >= kPaletteCells) {
        return false;
    }
    TablesLock lock;
    paletteGrid.cells[cell] = PaletteCell{id, item};
    return true;
}

// The item of a slot or cell, looked up by id on first use and cached. An id that names no
// item resolves to null and is looked up again next time.
MenuItem* Resolve(uint32_t id, MenuItem*& cached) {
    if (cached == nullptr && id != 0) {
        cached = FindItem(id);
    }
    return cached;
}

}  // namespace

int32_t ClearPages() {
    TablesLock lock;
    pageTable = PageTable{};
    return 0;
}

void ClearPalette() {
    TablesLock lock;
    paletteGrid = PaletteGrid{{}, {-1, -1}};
}

int32_t SetPageSlot(int32_t page, int32_t slot, MenuItem* item) {
    return StoreSlot(page, slot, item != nullptr ? item->id : 0, item) ? 0 : -1;
}

// What loading does: an id with no cached item yet.
bool StorePageSlotId(int32_t page, int32_t slot, uint32_t id) {
    return StoreSlot(page, slot, id, nullptr);
}

MenuItem* GetPageItem(int32_t page, int32_t slot) {
    if (!IsPageSlot(page, slot)) {
        return nullptr;
    }
    TablesLock lock;
    Page& p = pageTable.pages[page];
    return Resolve(p.ids[slot], p.items[slot]);
}

MenuItem* GetCurrentPageItem(int32_t slot) {
    TablesLock lock;
    return GetPageItem(pageTable.currentPage, slot);
}

int32_t SetPaletteCell(int32_t row, int32_t column, MenuItem* item) {
    const bool stored = IsCell(row, column) &&
                        StoreCell(row * kPaletteColumns + column, item != nullptr ? item->id : 0, item);
    return stored ? 0 : -1;
}

bool StorePaletteCellId(int32_t cell, uint32_t id) {
    return StoreCell(cell, id, nullptr);
}

MenuItem* GetPaletteItem(int32_t row, int32_t column) {
    if (!IsCell(row, column)) {
        return nullptr;
    }
    TablesLock lock;
    PaletteCell& cell = paletteGrid.cells[row * kPaletteColumns + column];
    return Resolve(cell.id, cell.item);
}

// Puts a new item into the right-clicked cell (-1 when it holds a live or held item; a stale id
// looks empty and is replaced), else into the first empty cell of the rows the editor shows; -1
// when those are full. A right-clicked cell outside the grid is forgotten, never a success with
// the item in no cell.
int32_t PlaceInPalette(MenuItem* item) {
    if (item == nullptr) {
        return -1;
    }
    TablesLock lock;
    CellPosition& context = paletteGrid.contextCell;
    if (context.row >= 0 && context.column >= 0) {
        const bool inGrid = IsCell(context.row, context.column);
        if (inGrid) {
            PaletteCell& cell = paletteGrid.cells[context.row * kPaletteColumns + context.column];
            if (cell.id != 0 && (FindItem(cell.id) != nullptr || IsHeldItemId(cell.id))) {
                return -1;
            }
            cell = PaletteCell{item->id, item};
        }
        context = CellPosition{-1, -1};
        if (inGrid) {
            return 0;
        }
    }
    for (int index = 0; index < kPaletteRowsForNewItems * kPaletteColumns; ++index) {
        PaletteCell& cell = paletteGrid.cells[index];
        if (cell.id == 0) {
            cell = PaletteCell{item->id, item};
            return 0;
        }
    }
    return -1;
}
