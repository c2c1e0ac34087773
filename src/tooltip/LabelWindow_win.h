#pragma once
// The label window's state and inner steps, for LabelWindow_win.cpp and its Wine tests.

#include <windows.h>

#include <cstdint>

#include "platform/LayeredSurface_win.h"
#include "platform/WindowThread_win.h"
#include "tooltip/LabelWindow.h"

// Guarded by the label's lock; the label thread writes labelWindow and labelSurface only while
// creating and tearing them down.
extern HWND labelWindow;
extern LayeredSurface* labelSurface;
extern int32_t labelVisible;
extern POINT labelPos;
extern LabelMetrics labelMetrics;  // the scale the surface and the window are made for
extern WindowThread labelThread;

constexpr wchar_t kLabelClassName[] = L"Pivotel Tool Tip";
constexpr size_t kLabelTextUnits = 256;

size_t ConvertLabelText(const char* text, wchar_t (&wide)[kLabelTextUnits]);
int32_t MeasureLabelText(const char* text, const Rect& area);
