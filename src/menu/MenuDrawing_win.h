#pragma once
// Painting one frame of the ring menu into menuSurface (MenuWindow.h): the ring, the highlight
// of selectedSlot and the icons of the current page. The caller presents the frame.

#include <windows.h>

#include <cstdint>

void DrawRingMenu();
void ForgetRingFrames();
int32_t DrawRingBackground(const RECT* rect);
int32_t DrawSectorHighlight(double angleDegrees);
int32_t DrawSlotIcon(const RECT* rect, HICON icon);
