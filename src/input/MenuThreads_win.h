#pragma once
// Starting and stopping the ring menu's two threads (the menu window thread and the menu worker)
// together with the event queue between the hook and the worker.

#include <windows.h>

#include <cstdint>

#include "input/MenuWorker.h"
#include "platform/Platform.h"

extern PlatformThread* workerThread;
extern MenuWorker menuWorker;
// The ring menu's real operations, as the worker calls them.
extern const RingMenuOps ringMenuOps;

int32_t StartMenuThreads(HINSTANCE instance);
void StopMenuThreads();
