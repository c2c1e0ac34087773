// Opening, tracking and closing the ring menu on the worker thread.

#include <windows.h>

#include <cstring>

#include "menu/MenuDrawing_win.h"
#include "menu/MenuWindow_win.h"
#include "menu/RingItems.h"
#include "menu/RingGeometry.h"
#include "menu/RingMenu.h"
#include "platform/DisplayScale_win.h"
#include "settings/Pages.h"
#include "tooltip/LabelWindow.h"

// The slot under the cursor (0..7) or -1; DrawRingMenu highlights it. Worker thread only.
int32_t selectedSlot = -1;
// The top-level window under the press point of the last opening; the chosen item acts on it.
WindowHandle targetWindow;
// The cursor in the menu window's client coordinates at the last tracking step that redrew; the
// worker sets it to (-1, -1) after a page change so that the next step redraws.
Point lastTrackedPos = {0, 0};

namespace {

// The highlight the presented frame shows, or kIconsStale after a page change, whose icons must be
// drawn afresh. A tracking step draws and presents only when this differs from what it finds.
constexpr int32_t kIconsStale = -2;
int32_t shownSlot = kIconsStale;

}  // namespace

// Readies the ring at the scale of the display under the pointer, with the current page drawn and
// kept, so that the first opening costs no more than the next: its surface, skins at that scale,
// sized icons and kept ring are otherwise made while the user waits for the first ring.
void PrepareRingMenu() {
    POINT cursor = {0, 0};
    if (WaitForMenuWindow() == 0 && GetCursorPos(&cursor) && ScaleRingMenu(DpiAtPoint(cursor))) {
        // The hidden window takes the size and the page's frame, which the system sets up once per
        // size: the first opening shows that frame at once, as later ones show the last ring's.
        HWND window = menuWindow.load();
        SetWindowPos(window, nullptr, 0, 0, menuRing.size, menuRing.size,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        DrawRingMenu();
        PresentLayeredSurface(menuSurface, window);
    }
}

// Shows the ring centred on the screen point (x, y), at the scale of the display under that point,
// with the first page, from the current one backwards, that shows an item. The target of the items is the
// top-level window under the point, found while the menu is still hidden. The menu is placed where it is,
// never clamped to the screen, and never takes the focus. 0 when it is shown, -1 when there is no menu window
// or no page with an item.
int32_t OpenRingMenu(int32_t x, int32_t y) {
    if (WaitForMenuWindow() != 0) {
        return -1;
    }
    HWND window = menuWindow.load();
    if (ChoosePageToOpen() != 0) {
        return -1;
    }
    const POINT press = {x, y};
    if (!ScaleRingMenu(DpiAtPoint(press))) {
        return -1;
    }
    targetWindow = GetAncestor(WindowFromPoint(press), GA_ROOTOWNER);
    SetWindowPos(window, HWND_TOP, x - menuRing.centre, y - menuRing.centre, menuRing.size, menuRing.size,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
    DrawRingMenu();
    if (PresentLayeredSurface(menuSurface, window) == 1) {
        shownSlot = selectedSlot;
    } else {
        // The window may still show the last ring closed: the next step presents this one whole,
        // even when the cursor has not moved.
        ForgetTrackedPos();
    }
    return 0;
}

// One tracking step: when the cursor has moved, finds the slot under it and shows that item's name
// 20 pixels (at 96 DPI, scaled with the ring) below the cursor (or hides the label when there is none); the
// ring is drawn and presented only when its picture changes (another slot, another page). A cursor that has
// not moved costs three calls and changes nothing; a menu that did not open (its window hidden) is not
// tracked, so no label appears for it.
void TrackRingMenu() {
    HWND window = menuWindow.load();
    if (window == nullptr || !IsWindowVisible(window)) {
        return;
    }
    // One reading serves the hit test and the label, so the two cannot disagree.
    POINT screen;
    GetCursorPos(&screen);
    POINT cursor = screen;
    ScreenToClient(window, &cursor);
    if (cursor.x == lastTrackedPos.x && cursor.y == lastTrackedPos.y) {
        return;
    }
    lastTrackedPos = {cursor.x, cursor.y};
    selectedSlot = HitTestRing(cursor.x, cursor.y, menuRing);
    if (selectedSlot >= 0) {
        char text[kItemTextSize];
        if (CopyItemText(selectedSlot, text)) {
            ShowLabel(text, screen.x, screen.y + LabelMetricsForDpi(menuRing.dpi).cursorOffsetY,
                      menuRing.dpi);
        } else {
            selectedSlot = -1;
        }
    }
    if (selectedSlot != shownSlot) {
        RECT changed = {0, 0, menuRing.size, menuRing.size};
        if (shownSlot == kIconsStale) {
            DrawRingMenu();
        } else {
            DrawRingHighlight(shownSlot, changed);
        }
        const bool presented =
            IsRectEmpty(&changed) || PresentLayeredSurface(menuSurface, window, nullptr, &changed) == 1;
        // A frame that did not reach the window is drawn and presented whole at the next step that moves.
        shownSlot = presented ? selectedSlot : kIconsStale;
    }
    if (selectedSlot == -1) {
        HideLabel();
    }
}

// Closes the menu at the release point (x, y) on the screen: the item under that point, chosen
// afresh, runs on the target window while the ring is still shown (a launch item once it is
// hidden); then the label and the ring are hidden. A release in the centre, outside the ring or over an empty
// slot runs nothing. 0, or -1 when there is no menu window (nothing runs, the label is still hidden).
int32_t SelectRingItem(int32_t x, int32_t y) {
    const int32_t result = WaitForMenuWindow();
    HWND window = result == 0 ? menuWindow.load() : nullptr;
    if (window != nullptr) {
        POINT release = {x, y};
        ScreenToClient(window, &release);
        selectedSlot = HitTestRing(release.x, release.y, menuRing);
        // A menu that did not open chose nothing, even if an item has appeared since the press.
        ItemSnapshot snapshot;
        if (selectedSlot >= 0 && IsWindowVisible(window) && TakeItemSnapshot(selectedSlot, snapshot)) {
            // A started program's first window, or a consent prompt, must not open under the ring.
            if (snapshot.item.kind == KindLaunch) {
                CloseRingMenu();
            }
            snapshot.item.action(&snapshot.item, targetWindow, 0);
        }
    }
    CloseRingMenu();
    return result;
}

// Makes the next tracking step find the slot afresh and draw the whole frame: the page changed.
void ForgetTrackedPos() {
    lastTrackedPos = Point{-1, -1};
    shownSlot = kIconsStale;
}

// Hides the label and the ring without running anything.
void CloseRingMenu() {
    HideLabel();
    HWND window = menuWindow.load();
    if (window != nullptr) {
        SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
    }
}
