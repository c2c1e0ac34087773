// The ring menu's threads: loading the items, starting the menu window thread, the event queue
// and the menu worker at start-up, and taking them down again at shutdown.

#include "input/MenuThreads_win.h"

#include "input/EventQueue.h"
#include "menu/MenuWindow_win.h"
#include "menu/RingGeometry.h"
#include "menu/RingMenu.h"
#include "settings/MenuItems.h"
#include "settings/Pages.h"
#include "settings/SettingsFormat.h"

PlatformThread* workerThread;
MenuWorker menuWorker;

const RingMenuOps ringMenuOps = {OpenRingMenu, SelectRingItem,   TrackRingMenu, NextPage,
                                 PreviousPage, ForgetTrackedPos, CloseRingMenu, PrepareRingMenu};

// Empties the pages and the item list, loads "setting.ini", then starts the menu window thread,
// makes the event queue and starts the worker, in that order. On any failure whatever was
// started is taken down again (the items loaded so far are freed) and -1 is returned; a failed
// load starts nothing.
int32_t StartMenuThreads(HINSTANCE instance) {
    ClearPages();
    FreeAllItems();
    if (LoadSettings() != 0) {
        return -1;
    }
    if (StartMenuWindowThread(instance) == 0 && CreateEventQueue(eventQueue)) {
        menuWorker = MenuWorker{&eventQueue, &ringMenuOps, 0};
        workerThread = PlatformStartThread(MenuWorkerThread, &menuWorker);
        if (workerThread != nullptr) {
            return 0;
        }
        DestroyEventQueue(eventQueue);
    }
    StopMenuWindowThread();
    FreeAllItems();
    return -1;
}

// Ends the worker with a quit message behind whatever it has still to take (an open menu is left
// to its window thread), destroys the queue, ends the menu window thread and frees the items.
// The hook must already be removed, so nothing posts any more. Tolerates a failed start.
void StopMenuThreads() {
    if (workerThread != nullptr) {
        PostQueueMessage(eventQueue, 0, MsgQuit, nullptr);
        PlatformJoinThread(workerThread);
        workerThread = nullptr;
        DestroyEventQueue(eventQueue);
    }
    StopMenuWindowThread();
    FreeAllItems();
}
