#pragma once
// Painting one frame of the ring menu into menuSurface (MenuWindow.h): the ring, the highlight
// of selectedSlot and the icons of the current page. The caller presents the frame.
// DrawRingHighlight is the cheap frame for another slot: it reuses the last DrawRingMenu's icons.

#include <windows.h>

#include <cstdint>

void DrawRingMenu();
void DrawRingHighlight(int32_t fromSlot, RECT& changed);
void ForgetRingFrames();
int32_t DrawRingBackground(const RECT* rect);
int32_t DrawSectorHighlight(double angleDegrees);
int32_t DrawSlotIcon(const RECT* rect, HICON icon);
