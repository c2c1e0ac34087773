#pragma once
// The ring menu's eight pages of eight slots and the palette editor's 30 x 8 grid of cells. Both
// hold item ids, each with a cached item pointer filled on first use. See MenuItems.h for the
// lock that guards them together with the item list.

#include <cstdint>

#include "settings/MenuItems.h"

constexpr int kPageCount = 8;
constexpr int kSlotsPerPage = 8;
constexpr int kPaletteRows = 30;
constexpr int kPaletteColumns = 8;
constexpr int kPaletteCells = kPaletteRows * kPaletteColumns;
// The rows the editor can scroll into view (its last row shown is 28). A new item goes only into
// these, where it can be seen, moved and deleted; row 29 keeps what a file puts there.
constexpr int kPaletteRowsForNewItems = 29;

struct Page {
    int32_t count;  // slots whose id is nonzero
    uint32_t ids[kSlotsPerPage];
    MenuItem* items[kSlotsPerPage];
};

struct PageTable {
    Page pages[kPageCount];
    int32_t currentPage;
};

struct PaletteCell {
    uint32_t id;
    MenuItem* item;
};

struct CellPosition {
    int32_t row;
    int32_t column;
};

struct PaletteGrid {
    PaletteCell cells[kPaletteCells];  // row-major: row * 8 + column
    CellPosition contextCell;          // the cell last right-clicked in the editor, -1/-1 for none
};

extern PageTable pageTable;
extern PaletteGrid paletteGrid;

int32_t ClearPages();
void ClearPalette();
int32_t SetPageSlot(int32_t page, int32_t slot, MenuItem* item);
bool StorePageSlotId(int32_t page, int32_t slot, uint32_t id);
MenuItem* GetPageItem(int32_t page, int32_t slot);
MenuItem* GetCurrentPageItem(int32_t slot);
int32_t SetPaletteCell(int32_t row, int32_t column, MenuItem* item);
bool StorePaletteCellId(int32_t cell, uint32_t id);
MenuItem* GetPaletteItem(int32_t row, int32_t column);
int32_t PlaceInPalette(MenuItem* item);
