#pragma once
// The palette editor's state and what its gestures and commands do to it and to the tables, free
// of any platform; the window procedure does the platform's part (capture, menus, the dialog,
// drawing the composed frame). Palette thread only; every change of the tables is made under their
// lock, so the ring menu never sees a half-made change. Cursor positions are client pixels.

#include <cstdint>

#include "platform/Platform.h"
#include "settings/Pages.h"

// What the left button holds on the scroll bar.
enum ScrollPress : uint8_t {
    ScrollPressNone = 0,
    ScrollPressDownArrow = 1,
    ScrollPressThumb = 100,
    ScrollPressUpArrow = 255,
};

// Where a drag started.
enum DragSource : uint8_t { DragNone = 0, DragFromCell = 1, DragFromSlot = 2 };

struct SlotPosition {
    int32_t page;
    int32_t slot;
};

extern int32_t scrollRow;   // first grid row shown, 0..22
extern int32_t editorPage;  // the page whose ring the editor shows; not the ring menu's page
extern uint8_t scrollPress;
extern MenuItem* dragItem;  // not owned; valid while the drag lasts (only this thread frees items)
extern uint8_t dragSource;
extern CellPosition dragCell;
extern SlotPosition dragSlot;
extern SlotPosition slotMenuTarget;  // the slot whose context menu is being handled

// The editor's context menus.
enum PaletteMenuKind : int32_t {
    PaletteMenuNone = 0,
    PaletteMenuItem = 1,       // an occupied cell: edit, delete
    PaletteMenuEmptyCell = 2,  // an empty cell: new
    PaletteMenuSlot = 3,       // an occupied slot of the editor's page: remove from page
};

struct PaletteMenuRequest {
    int32_t kind;
    bool deleteEnabled;  // for PaletteMenuItem: only launch items can be deleted
};

// One icon of a frame, at its top-left corner.
struct PaletteIconPlacement {
    IconHandle icon;
    const char* iconPath;  // the item's, for taking its icon at a larger size
    int32_t x;
    int32_t y;
};

constexpr int32_t kPaletteFrameMaxIcons = 7 * 8 + 8 + 1;  // visible cells, slots, dragged item

// Everything a frame shows besides the background picture, in drawing order: the thumb, a
// pressed arrow, the cell icons, the tab joint, the slot icons, the dragged icon.
struct PaletteFrame {
    int32_t thumbTop;
    bool upArrowPressed;
    bool downArrowPressed;
    int32_t tabJointPage;
    int32_t iconCount;
    PaletteIconPlacement icons[kPaletteFrameMaxIcons];
    bool labelShown;  // an item is hovered or dragged: its name goes into the label
    char labelText[kItemTextSize];
};

void ResetPaletteDrag();
void ResetPaletteEditor();

void ComposePaletteFrame(int32_t x, int32_t y, bool leftButtonHeld, PaletteFrame* frame);

bool PaletteLeftPress(int32_t x, int32_t y);
bool PaletteLeftRelease(int32_t x, int32_t y);
PaletteMenuRequest PaletteRightRelease(int32_t x, int32_t y);
void PaletteContextMenuEnded(int32_t kind, bool commandChosen);
void PaletteWheel(int32_t delta);

int32_t PrepareEditItem();
bool PrepareNewItem();
bool PrepareDroppedFile(const char* path);
void ForgetContextCell();
bool DeleteContextItem();
bool RemoveSlotMenuTarget();
