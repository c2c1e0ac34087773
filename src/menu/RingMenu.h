#pragma once
// Opening, tracking and closing the ring menu; all of it runs on the menu worker thread, which
// calls these in answer to the trigger's events. No Windows header, so portable code may name
// them. Paging (NextPage, PreviousPage) is in RingGeometry.h.

#include <cstdint>

#include "platform/Geometry.h"
#include "settings/MenuItems.h"

extern int32_t selectedSlot;
extern WindowHandle targetWindow;
extern Point lastTrackedPos;

void PrepareRingMenu();
int32_t OpenRingMenu(int32_t x, int32_t y);
void TrackRingMenu();
int32_t SelectRingItem(int32_t x, int32_t y);
void ForgetTrackedPos();
void CloseRingMenu();
