// In-process timings of the palette editor under Wine, for bench_ring.py: one frame as the editor
// draws it after every mouse move (fill, picture, sprites, every visible cell's icon, the page's
// slot icons, the label, and the copy to the window), the frame's composition alone (which icons
// where, from the tables), against a baseline taken in the same run: copying the finished frame to
// the window, which no drawing code can save. The palette's 56 visible cells and the page's eight
// slots all hold items with icons, the most a frame ever draws.
//
// Usage: palette_frame_bench [ROUNDS]  (default 500). Prints one JSON line of order statistics
// per measurement, in microseconds. Exit code 0, or 1 when the editor cannot be opened.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchTiming.h"
#include "app/App_win.h"
#include "palette/PaletteEditing.h"
#include "palette/PaletteWindow_win.h"
#include "settings/MenuItems.h"
#include "settings/Pages.h"
#include "tooltip/LabelWindow.h"

namespace {

// Items with the bench program's own icon (the desktop shell's icon for a program) in every
// visible cell and every slot of page 0.
bool FillTables() {
    char self[MAX_PATH] = {};
    if (GetModuleFileNameA(nullptr, self, sizeof self) == 0) {
        return false;
    }
    for (uint32_t id = 1; id <= 56; ++id) {
        MenuItem* item = CreateItem(id);
        if (item == nullptr || SetItemIcon(item, self) != 0) {
            return false;
        }
        SetItemText(item, ("item " + std::to_string(id)).c_str());
        SetItemKind(item, KindWindowCommand, nullptr);
        SetPaletteCell(static_cast<int32_t>(id - 1) / 8, static_cast<int32_t>(id - 1) % 8, item);
        if (id <= 8) {
            SetPageSlot(0, static_cast<int32_t>(id - 1), item);
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(10, atoi(argv[1])) : 500;
    appInstance = GetModuleHandleA(nullptr);
    InitGraphics();
    editorPage = 0;
    if (!FillTables() || StartLabelThread() != 0 || WaitForLabelWindow() != 0 || StartPaletteThread() != 0 ||
        WaitForPaletteWindow() != 0) {
        printf("{\"error\":\"start-up\"}\n");
        return 1;
    }
    HWND window = paletteWindow;
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE);
    Sleep(300);
    const int warmUp = 20;

    // The baseline: the finished frame copied to the window.
    auto copyOnly = [&](int) {
        HDC dc = GetDC(window);
        BitBlt(dc, 0, 0, 619, 314, backBuffer->dc, 0, 0, SRCCOPY);
        ReleaseDC(window, dc);
    };
    Measure(warmUp, copyOnly);
    EmitStats("palette-copy-only", Measure(rounds, copyOnly));

    // Which icons where, from the tables (the portable part of a frame).
    PaletteFrame frame;
    EmitStats("palette-compose",
              Measure(rounds, [&](int i) { ComposePaletteFrame(300 + i % 2, 30, false, &frame); }));
    printf("{\"icons_per_frame\":%d}\n", frame.iconCount);

    // A whole frame as after a mouse move, here on this thread (the editor's own thread waits in
    // its message loop meanwhile).
    Measure(warmUp, [&](int) { RepaintPalette(window); });
    EmitStats("palette-frame", Measure(rounds, [&](int) { RepaintPalette(window); }));

    ClosePaletteWithoutSaving();
    StopLabelThread();
    ClearPages();
    ClearPalette();
    FreeAllItems();
    ReleaseGraphics();
    return 0;
}
