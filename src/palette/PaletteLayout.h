#pragma once
// The palette editor's screen layout, free of any platform: where the page tabs, the ring's slots,
// the palette cells and the scroll bar sit in the editor window's client area, and which of them a
// point falls in. Coordinates are client pixels, x to the right and y downwards. A box includes
// its left and top edges and excludes its right and bottom ones.

#include <cstdint>

#include "platform/DisplayScale.h"
#include "platform/Geometry.h"

// The picture fills the client area; the window and its back buffer are a little larger.
constexpr int32_t kPaletteClientWidth = 613;
constexpr int32_t kPaletteClientHeight = 290;
constexpr int32_t kPaletteBufferWidth = 619;
constexpr int32_t kPaletteBufferHeight = 314;

constexpr int32_t kPaletteTabCount = 8;
constexpr int32_t kPaletteVisibleRows = 7;
constexpr int32_t kPaletteVisibleColumns = 8;
constexpr int32_t kPaletteMaxScrollRow = 22;
constexpr int32_t kPaletteIconSize = 32;

// The editor's ring: its centre and the band of the grey ring in the picture.
constexpr int32_t kEditorRingCentreX = 135;
constexpr int32_t kEditorRingCentreY = 156;

// The sprites in the strip below the picture (rows 290..303 of the background bitmap).
constexpr Rect kTabJointSprite = {0, 290, 33, 296};
constexpr Rect kThumbSprite = {33, 290, 49, 302};
constexpr Rect kUpPressedSprite = {49, 290, 65, 304};
constexpr Rect kDownPressedSprite = {65, 290, 81, 304};
// The scroll bar's left edge, where the thumb and the pressed arrows are drawn.
constexpr int32_t kScrollBarX = 593;
// Where the pressed arrows are drawn.
constexpr Point kUpPressedOrigin = {593, 7};
constexpr Point kDownPressedOrigin = {593, 273};

// The parts of the scroll bar a press can hit.
enum ScrollBarPart : int32_t { ScrollNone = 0, ScrollThumb = 1, ScrollUpArrow = 2, ScrollDownArrow = 3 };

Rect PageTabBox(int32_t page);
int32_t PageTabAt(int32_t x, int32_t y);
Point TabJointOrigin(int32_t page);

Rect SlotBox(int32_t slot);
Point SlotIconCorner(int32_t slot, bool hovered);
int32_t SlotAt(int32_t x, int32_t y);

Rect CellBox(int32_t row, int32_t column);
Point CellIconCorner(int32_t row, int32_t column, bool hovered);
[[nodiscard]] bool CellAt(int32_t x, int32_t y, int32_t* row, int32_t* column);
int32_t GridRowOfVisibleRow(int32_t scrollRow, int32_t visibleRow);

bool InScrollBarColumn(int32_t x);
bool InUpArrow(int32_t x, int32_t y);
bool InDownArrow(int32_t x, int32_t y);
bool InDownArrowPressedArea(int32_t x, int32_t y);
int32_t ThumbTop(int32_t scrollRow);
bool InThumb(int32_t x, int32_t y, int32_t scrollRow);
ScrollBarPart ScrollBarPartAt(int32_t x, int32_t y, int32_t scrollRow);
int32_t ScrollRowForCursorY(int32_t y);

// The picture is drawn scaled to the window's DPI so that it keeps its usual size on a scaled
// display; the hit tests above stay in picture pixels.
constexpr uint32_t kPaletteBaseDpi = kBaseDpi;
int32_t PictureFromClient(int32_t clientPixel, uint32_t dpi);
