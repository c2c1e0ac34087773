#pragma once
// Painting the parts of a ring frame onto menuSurface at the ring's scale (menuRing): the ring,
// a turned highlight and icons.

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>

int32_t DrawRingBackground(const RECT* rect);
int32_t DrawSectorHighlight(double angleDegrees);
int32_t DrawSlotIcon(const RECT* rect, HICON icon);
void PaintRingBackground(int32_t highlightSlot);
RECT IconSquare(int32_t slot, int32_t margin);
void DrawPageIcons(Gdiplus::GpGraphics* graphics, RECT (*square)(int32_t, int32_t));
