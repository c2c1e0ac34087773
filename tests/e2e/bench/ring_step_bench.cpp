// In-process timings of the ring menu under Wine, for bench_ring.py: tracking steps within a slot
// and to another slot, a whole frame (DrawRingMenu and PresentLayeredSurface), and ShowLabel, each
// beside baselines of the same run: presenting the unchanged surfaces and moving the label, which
// no drawing code can save. It runs the program's own start-up pieces (graphics, settings from
// setting.ini beside the executable, the menu window and label threads) and calls the menu's
// operations directly on this thread, which stands in for the menu worker (not run here).
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
#include "platform/DisplayScale.h"
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
    // The ring at the scale of the display it opened on: slots 85 pixels (scaled) from the centre.
    const uint32_t dpi = menuRing.dpi;
    const int32_t slotDistance = ScaleToDpi(85, dpi);
    const int32_t labelOffset = LabelMetricsForDpi(dpi).cursorOffsetY;
    printf("{\"dpi\":%u,\"ring_size\":%d}\n", dpi, menuRing.size);
    SetCursorPos(cx, cy - slotDistance);
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

    ForgetTrackedPos();  // the frames above were drawn behind the tracking's back

    // Tracking steps as the worker takes them once the cursor has moved: within slot 0 (a pixel to
    // and fro), and between slots 0 and 2, which both hold an item. Each is timed in turns with
    // what it cannot do without, after the same untimed cursor move: moving the label (same text),
    // or presenting the ring and moving the label.
    std::string shownTexts[2];  // the items of slots 0 and 2
    for (int32_t i = 0; i < 2; ++i) {
        TablesLock lock;
        const MenuItem* item = GetCurrentPageItem(i * 2);
        shownTexts[i] = item != nullptr ? item->text : "";
    }
    // Every call, and every step, finds the cursor elsewhere than the one before it.
    auto withinSlotAt = [&](int j) { return POINT{cx + j % 3, cy - slotDistance}; };
    auto otherSlotAt = [&](int j) {
        return j % 4 < 2 ? POINT{cx + slotDistance + j % 3, cy} : POINT{cx + j % 3, cy - slotDistance};
    };
    auto cursorTo = [](auto at) {
        return [at](int j) {
            const POINT point = at(j);
            SetCursorPos(point.x, point.y);
        };
    };
    auto moveLabelTo = [&](auto at) {  // where the step would put it, with the text it shows
        return [&, at](int j) {
            ShowLabel(shownTexts[selectedSlot == 2 ? 1 : 0].c_str(), at(j).x, at(j).y + labelOffset, dpi);
        };
    };
    auto step = [](int) { TrackRingMenu(); };
    Measure(warmUp, cursorTo(withinSlotAt), step);
    const int32_t trackedSlot = selectedSlot;
    const auto same = MeasureInTurns(rounds, cursorTo(withinSlotAt), step, moveLabelTo(withinSlotAt));
    EmitStats("step-same-slot", same.first);
    EmitStats("show-label", same.second);
    EmitStats("read-cursor", Measure(rounds, cursorTo(withinSlotAt), [](int) {
                  POINT cursor;
                  GetCursorPos(&cursor);
              }));
    const auto other = MeasureInTurns(rounds, cursorTo(otherSlotAt), step, [&](int j) {
        PresentLayeredSurface(menuSurface, window);
        moveLabelTo(otherSlotAt)(j);
    });
    EmitStats("step-other-slot", other.first);
    EmitStats("present-and-move-label", other.second);
    printf("{\"tracked_slot\":%d,\"label_visible\":%d}\n", trackedSlot, labelVisible);

    // The label alone: presenting its unchanged surface, and showing a text never shown before
    // (laid out, drawn and presented).
    EmitStats("label-present-only",
              Measure(rounds, [&](int) { PresentLayeredSurface(labelSurface, labelWindow); }));
    EmitStats("show-label-first-text", Measure(rounds, [&](int i) {
                  const std::string fresh = "Notepad " + std::to_string(i);
                  ShowLabel(fresh.c_str(), cx + (i % 2), cy + labelOffset, dpi);
              }));

    SelectRingItem(cx, cy);  // the dead centre: nothing runs, the ring and the label are hidden
    StopLabelThread();
    StopMenuWindowThread();
    FreeAllItems();
    ReleaseGraphics();
    return 0;
}
