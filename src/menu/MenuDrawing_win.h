#pragma once
// Painting one frame of the ring menu into menuSurface (MenuWindow.h): the ring, the highlight
// of selectedSlot and the icons of the current page. The caller presents the frame.
// DrawRingHighlight is the cheap frame for another slot: it reuses the last DrawRingMenu's icons.
// The parts of a frame are painted by RingPainting_win.h.

#include <windows.h>

#include <cstdint>

#include "menu/RingPainting_win.h"

void DrawRingMenu();
void DrawRingHighlight(int32_t fromSlot, RECT& changed);
void ForgetRingFrames();
