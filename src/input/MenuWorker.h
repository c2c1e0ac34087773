#pragma once
// The menu worker: the one thread that takes the trigger's messages off the event queue and
// drives the ring menu, waking every 16 ms while it is open to follow the pointer. The menu is
// reached through RingMenuOps, so the same state machine drives the real one or a recording.

#include <cstdint>

#include "input/EventQueue.h"

constexpr uint32_t kTrackingIntervalMs = 16;

struct RingMenuOps {
    int32_t (*openRingMenu)(int32_t x, int32_t y);
    int32_t (*selectRingItem)(int32_t x, int32_t y);
    void (*trackRingMenu)();
    int32_t (*nextPage)();
    int32_t (*previousPage)();
    void (*forgetTrackedPos)();  // makes the next tracking step redraw
    void (*closeRingMenu)();     // hides the menu and the label, running nothing
    void (*prepareRingMenu)();   // optional: readies the first frame before any event arrives
};

struct MenuWorker {
    EventQueue* queue;
    const RingMenuOps* ops;
    int32_t menuOpen;  // 1 from an accepted open to the next accepted release
};

bool HandleMenuMessage(MenuWorker& worker, const uint8_t* message);
void RunMenuWorker(MenuWorker& worker);
uint32_t MenuWorkerThread(void* worker);
