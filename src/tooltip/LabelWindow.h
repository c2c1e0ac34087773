#pragma once
// The item label: a small always-on-top window that shows an item's name just below the cursor.
// It is owned by a thread of its own; the ring menu's worker and the palette editor's thread show
// and hide it, one at a time (the label keeps a lock of its own for that).
//
// This header names no Windows type so that portable code may call ShowLabel and HideLabel. The
// box geometry below is portable and tested natively; the window itself is LabelWindow_win.cpp.

#include <cstdint>

#include "platform/Geometry.h"

// The label window and its surface are 1024 x 26 pixels.
constexpr int32_t kLabelWindowWidth = 1024;
constexpr int32_t kLabelWindowHeight = 26;
// Callers place the window's top-left corner this far below the cursor's hot spot.
constexpr int32_t kLabelCursorOffsetY = 20;
// Free space left and right of the text inside the box.
constexpr int32_t kLabelTextMargin = 17;
// Where the text is measured: the surface minus 26 pixels on the left.
constexpr Rect kLabelMeasureArea = {26, 0, kLabelWindowWidth, kLabelWindowHeight};

Rect LabelBoxForTextWidth(int32_t textWidth);

// The label window (LabelWindow_win.cpp). StartLabelThread and StopLabelThread belong to the main
// thread's start-up and shutdown; ShowLabel and HideLabel may be called from any thread.
int32_t StartLabelThread();
void StopLabelThread();
int32_t WaitForLabelWindow();
int32_t ShowLabel(const char* text, int32_t x, int32_t y);
void HideLabel();
