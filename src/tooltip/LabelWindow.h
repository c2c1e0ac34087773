#pragma once
// The item label: a small always-on-top window that shows an item's name just below the cursor.
// It is owned by a thread of its own; the ring menu's worker and the palette editor's thread show
// and hide it, one at a time (the label keeps a lock of its own for that).
//
// This header names no Windows type so that portable code may call ShowLabel and HideLabel. The
// box geometry below is portable and tested natively; the window itself is LabelWindow_win.cpp.

#include <cstdint>

#include "platform/DisplayScale.h"
#include "platform/Geometry.h"

// At 96 DPI the label window and its surface are 1024 x 26 pixels.
constexpr int32_t kLabelWindowWidth = 1024;
constexpr int32_t kLabelWindowHeight = 26;
// Callers place the window's top-left corner this far below the cursor's hot spot.
constexpr int32_t kLabelCursorOffsetY = 20;
// Free space left and right of the text inside the box.
constexpr int32_t kLabelTextMargin = 17;
// Where the text is measured: the surface minus 26 pixels on the left.
constexpr Rect kLabelMeasureArea = {26, 0, kLabelWindowWidth, kLabelWindowHeight};
// The text's height at 96 DPI when the label font cannot be had.
constexpr int32_t kLabelFallbackFontPixels = 16;

// The label's sizes on a display of `dpi`, each scaled from its 96-DPI constant above.
struct LabelMetrics {
    uint32_t dpi;
    int32_t windowWidth;
    int32_t windowHeight;
    int32_t cursorOffsetY;
    int32_t textMargin;
    Rect measureArea;
    int32_t fallbackFontPixels;
};
LabelMetrics LabelMetricsForDpi(uint32_t dpi);

Rect LabelBoxForTextWidth(int32_t textWidth, const LabelMetrics& label = LabelMetricsForDpi(kBaseDpi));

// The label window (LabelWindow_win.cpp). StartLabelThread and StopLabelThread belong to the main
// thread's start-up and shutdown; ShowLabel and HideLabel may be called from any thread.
int32_t StartLabelThread();
void StopLabelThread();
int32_t WaitForLabelWindow();
int32_t ShowLabel(const char* text, int32_t x, int32_t y, uint32_t dpi = kBaseDpi);
void HideLabel();
