#include "palette/PaletteLayout.h"

#include "menu/RingGeometry.h"
#include "settings/Pages.h"

namespace {

constexpr int32_t kTabLeft = 2;
constexpr int32_t kTabWidth = 33;
constexpr int32_t kTabTop = 5;
constexpr int32_t kTabBottom = 25;
constexpr int32_t kTabJointY = 20;

constexpr int32_t kSlotHalf = 20;   // a slot box is 40 x 40 around the slot's centre
constexpr int32_t kIconInset = 4;   // an icon at rest sits 4 pixels inside its box
constexpr int32_t kHoverShift = 2;  // and 2 pixels further right and down under the cursor

constexpr int32_t kCellsLeft = 273;
constexpr int32_t kCellsTop = 6;
constexpr int32_t kCellSize = 40;

constexpr int32_t kScrollBarLeft = 593;  // the column is 593..609, both included
constexpr int32_t kScrollBarRight = 609;
constexpr int32_t kUpArrowTop = 7;  // 7..21 included
constexpr int32_t kUpArrowBottom = 21;
constexpr int32_t kDownArrowTop = 274;  // 274..287 included for presses and releases
constexpr int32_t kDownArrowBottom = 287;
constexpr int32_t kDownSpriteTop = 273;  // the pressed sprite shows from y 273
constexpr int32_t kTrackTop = 20;        // the thumb's top at row 0
constexpr int32_t kTrackSpan = 251;      // the thumb's top runs 20..271 over 23 steps
constexpr int32_t kScrollSteps = kPaletteMaxScrollRow + 1;
constexpr int32_t kThumbHeight = 12;

bool InBox(const Rect& box, int32_t x, int32_t y) {
    return x >= box.left && x < box.right && y >= box.top && y < box.bottom;
}

// An icon's 32 x 32 top-left corner: 4 pixels inside its box, 2 more while hovered.
Point IconCorner(const Rect& box, bool hovered) {
    const int32_t inset = kIconInset + (hovered ? kHoverShift : 0);
    return {box.left + inset, box.top + inset};
}

// a / b rounded down, for b > 0.
int64_t FloorDiv(int64_t a, int64_t b) {
    const int64_t quotient = a / b;
    return quotient * b > a ? quotient - 1 : quotient;
}

}  // namespace

// Tab n spans x [2 + 33n, 35 + 33n); a press takes it between y 5 and 24.
Rect PageTabBox(int32_t page) {
    return {kTabLeft + kTabWidth * page, kTabTop, kTabLeft + kTabWidth * (page + 1), kTabBottom};
}

// The first of count boxes, boxOf(0) to boxOf(count - 1), that holds the point, or -1.
static int32_t FirstBoxAt(int32_t count, Rect (*boxOf)(int32_t), int32_t x, int32_t y) {
    for (int32_t i = 0; i < count; ++i) {
        if (InBox(boxOf(i), x, y)) {
            return i;
        }
    }
    return -1;
}

// The tab under a point, or -1.
int32_t PageTabAt(int32_t x, int32_t y) {
    return FirstBoxAt(kPaletteTabCount, PageTabBox, x, y);
}

// The tab joint sprite covers the lower edge of the current tab, joining it to the panel.
Point TabJointOrigin(int32_t page) {
    return {kTabLeft + kTabWidth * page, kTabJointY};
}

// The 40 x 40 box of ring slot i around the ring's centre moved by the slot's ring offset.
Rect SlotBox(int32_t slot) {
    const SlotOffset& offset = RingSlotOffsets[slot & 7];
    const int32_t cx = kEditorRingCentreX + offset.dx;
    const int32_t cy = kEditorRingCentreY + offset.dy;
    return {cx - kSlotHalf, cy - kSlotHalf, cx + kSlotHalf, cy + kSlotHalf};
}

Point SlotIconCorner(int32_t slot, bool hovered) {
    return IconCorner(SlotBox(slot), hovered);
}

// The first slot (0 to 7) whose box holds the point, or -1.
int32_t SlotAt(int32_t x, int32_t y) {
    return FirstBoxAt(kSlotsPerPage, SlotBox, x, y);
}

// Visible cell (row, column) of the palette: a 40 x 40 square from (273, 6).
Rect CellBox(int32_t row, int32_t column) {
    const int32_t left = kCellsLeft + kCellSize * column;
    const int32_t top = kCellsTop + kCellSize * row;
    return {left, top, left + kCellSize, top + kCellSize};
}

Point CellIconCorner(int32_t row, int32_t column, bool hovered) {
    return IconCorner(CellBox(row, column), hovered);
}

// The visible cell under a point, searched row by row: true with its row and column.
bool CellAt(int32_t x, int32_t y, int32_t* row, int32_t* column) {
    for (int32_t r = 0; r < kPaletteVisibleRows; ++r) {
        for (int32_t c = 0; c < kPaletteVisibleColumns; ++c) {
            if (InBox(CellBox(r, c), x, y)) {
                *row = r;
                *column = c;
                return true;
            }
        }
    }
    return false;
}

// The palette grid row that visible row r shows at a scroll position, or -1 past the grid's end.
int32_t GridRowOfVisibleRow(int32_t scrollRow, int32_t visibleRow) {
    const int32_t row = scrollRow + visibleRow;
    return row >= 0 && row < kPaletteRows ? row : -1;
}

bool InScrollBarColumn(int32_t x) {
    return x >= kScrollBarLeft && x <= kScrollBarRight;
}

// Whether the point is in the scroll bar's column between top and bottom, both included.
static bool InScrollBarSpan(int32_t x, int32_t y, int32_t top, int32_t bottom) {
    return InScrollBarColumn(x) && y >= top && y <= bottom;
}

bool InUpArrow(int32_t x, int32_t y) {
    return InScrollBarSpan(x, y, kUpArrowTop, kUpArrowBottom);
}

// Where a press or release counts for the down arrow.
bool InDownArrow(int32_t x, int32_t y) {
    return InScrollBarSpan(x, y, kDownArrowTop, kDownArrowBottom);
}

// Where the held down arrow is drawn pressed: one pixel higher than its press zone.
bool InDownArrowPressedArea(int32_t x, int32_t y) {
    return InScrollBarSpan(x, y, kDownSpriteTop, kDownArrowBottom);
}

// Top of the thumb for a scroll position 0..22: 20, 30, 41, ... 249, 260.
int32_t ThumbTop(int32_t scrollRow) {
    return kTrackTop + scrollRow * kTrackSpan / kScrollSteps;
}

bool InThumb(int32_t x, int32_t y, int32_t scrollRow) {
    return InScrollBarSpan(x, y, ThumbTop(scrollRow), ThumbTop(scrollRow) + kThumbHeight - 1);
}

// The part of the scroll bar a press at the point takes. The thumb is tested first, so where it
// overlaps the up arrow (y 20 and 21 at row 0) the thumb wins; the track beside it is nothing.
ScrollBarPart ScrollBarPartAt(int32_t x, int32_t y, int32_t scrollRow) {
    if (InThumb(x, y, scrollRow)) {
        return ScrollThumb;
    }
    if (InUpArrow(x, y)) {
        return ScrollUpArrow;
    }
    if (InDownArrow(x, y)) {
        return ScrollDownArrow;
    }
    return ScrollNone;
}

// The scroll position the held thumb follows for a cursor y: the track's offset v = y - 20 maps
// to floor(v * 23 / 251), 0 at or above the track's top and 22 from its end on.
int32_t ScrollRowForCursorY(int32_t y) {
    const int32_t v = y - kTrackTop;
    if (v <= 0) {
        return 0;
    }
    if (v >= kTrackSpan) {
        return kPaletteMaxScrollRow;
    }
    return v * kScrollSteps / kTrackSpan;
}

// The inverse of ScaleToDpi: a client pixel shows the picture pixel under its centre, also left of
// and above the window (a captured drag). A dpi of 0 (unknown) counts as the picture's own.
int32_t PictureFromClient(int32_t clientPixel, uint32_t dpi) {
    if (dpi == 0) {
        return clientPixel;
    }
    return static_cast<int32_t>(FloorDiv((2 * int64_t{clientPixel} + 1) * (kPaletteBaseDpi / 2), dpi));
}
