// In-process timings of the ring menu under Wine, for bench_ring.py: one tracking step (hit test,
// label, draw and present), a frame alone (DrawRingMenu and PresentLayeredSurface) and its parts,
// and ShowLabel, each against a baseline taken in the same run: presenting the unchanged surface,
// which is the part no drawing code can save. It runs the program's own start-up pieces (graphics,
// settings from setting.ini beside the executable, the menu window thread, the label thread) and
// calls the menu's operations directly on this thread, which stands in for the menu worker (the
// worker does not run here).
//
// Usage: ring_step_bench [ROUNDS]  (default 500). Prints one JSON line of order statistics per
// measurement, in microseconds. Exit code 0, or 1 when the menu cannot be opened.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchTiming.h"
#include "app/App_win.h"
#include "menu/MenuDrawing_win.h"
#include "menu/MenuWindow_win.h"
#include "menu/RingGeometry.h"
#include "menu/RingMenu.h"
#include "settings/MenuItems.h"
#include "settings/Pages.h"
#include "settings/SettingsFormat.h"
#include "tooltip/LabelWindow.h"
#include "tooltip/LabelWindow_win.h"

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(10, atoi(argv[1])) : 500;
    appInstance = GetModuleHandleA(nullptr);
    InitGraphics();
    if (LoadSettings() != 0 || StartMenuWindowThread(appInstance) != 0 || StartLabelThread() != 0 ||
        WaitForMenuWindow() != 0 || WaitForLabelWindow() != 0) {
        printf("{\"error\":\"start-up\"}\n");
        return 1;
    }
    // The ring at the screen's middle, the cursor on slot 0 of the first page, so that every
    // tracking step finds an item there and shows its label.
    const int32_t cx = GetSystemMetrics(SM_CXSCREEN) / 2;
    const int32_t cy = GetSystemMetrics(SM_CYSCREEN) / 2;
    if (OpenRingMenu(cx, cy) != 0) {
        printf("{\"error\":\"the menu did not open (no item on any page?)\"}\n");
        return 1;
    }
    SetCursorPos(cx, cy - 85);
    Sleep(200);
    HWND window = menuWindow.load();
    const int warmUp = 20;

    // Presenting the unchanged surface: the floor of every frame.
    Measure(warmUp, [&](int) { PresentLayeredSurface(menuSurface, window); });
    EmitStats("present-only", Measure(rounds, [&](int) { PresentLayeredSurface(menuSurface, window); }));

    // A whole frame: ring, highlight (on a different slot each time) and icons, then present.
    Measure(warmUp, [&](int i) {
        selectedSlot = i % 8;
        DrawRingMenu();
        PresentLayeredSurface(menuSurface, window);
    });
    EmitStats("draw-present", Measure(rounds, [&](int i) {
                  selectedSlot = i % 8;
                  DrawRingMenu();
                  PresentLayeredSurface(menuSurface, window);
              }));

    // The parts of a frame, to tell where its time goes.
    const RECT whole = {0, 0, kMenuSize, kMenuSize};
    EmitStats("part-clear", Measure(rounds, [&](int) { ClearLayeredSurface(menuSurface); }));
    EmitStats("part-ring", Measure(rounds, [&](int) { DrawRingBackground(&whole); }));
    EmitStats("part-highlight", Measure(rounds, [&](int i) { DrawSectorHighlight(45.0 * (i % 8)); }));
    HICON icon = nullptr;
    {
        TablesLock lock;
        const MenuItem* item = GetCurrentPageItem(0);
        icon = item != nullptr ? static_cast<HICON>(item->icon) : nullptr;
    }
    if (icon != nullptr) {  // the item list keeps its icons while nobody edits it
        const RECT square = {kSlotIconOrigin, kSlotIconOrigin - 90, kSlotIconOrigin + kSlotIconExtent,
                             kSlotIconOrigin + kSlotIconExtent - 90};
        EmitStats("part-icon", Measure(rounds, [&](int) { DrawSlotIcon(&square, icon); }));
    }

    // A whole tracking step as the worker runs it after the cursor has moved: hit test, label
    // shown, frame drawn and presented.
    lastTrackedPos = Point{-1, -1};
    TrackRingMenu();
    const int32_t trackedSlot = selectedSlot;
    Measure(warmUp, [&](int) {
        lastTrackedPos = Point{-1, -1};
        TrackRingMenu();
    });
    EmitStats("tracking-step", Measure(rounds, [&](int) {
                  lastTrackedPos = Point{-1, -1};
                  TrackRingMenu();
              }));
    printf("{\"tracked_slot\":%d,\"label_visible\":%d}\n", trackedSlot, labelVisible);

    // The label: presenting its unchanged surface, then ShowLabel moving it by a pixel each time
    // with the same text (only a move, as while the cursor follows a slot), then with a new text.
    char text[kItemTextSize] = "タイトルをコピー";
    {
        TablesLock lock;
        const MenuItem* item = GetCurrentPageItem(0);
        if (item != nullptr) {
            memcpy(text, item->text, sizeof text);
        }
    }
    EmitStats("label-present-only",
              Measure(rounds, [&](int) { PresentLayeredSurface(labelSurface, labelWindow); }));
    Measure(warmUp, [&](int i) { ShowLabel(text, cx + (i % 2), cy + 20); });
    EmitStats("show-label", Measure(rounds, [&](int i) { ShowLabel(text, cx + (i % 2), cy + 20); }));
    // A new text each time (as when the cursor passes to another slot): moved, drawn and presented.
    const char* const texts[2] = {text, "Notepad"};
    EmitStats("show-label-new-text",
              Measure(rounds, [&](int i) { ShowLabel(texts[i % 2], cx + (i % 2), cy + 20); }));

    SelectRingItem(cx, cy);  // the dead centre: nothing runs, the ring and the label are hidden
    StopLabelThread();
    StopMenuWindowThread();
    FreeAllItems();
    ReleaseGraphics();
    return 0;
}
