#include "input/MenuWorker.h"

#include <cstring>

namespace {

Point PointOf(const uint8_t* message) {
    Point point;
    memcpy(&point, message + kQueueHeaderSize, sizeof point);
    return point;
}

}  // namespace

// Acts on one message taken off the queue. True for the quit message (the worker ends at once,
// leaving an open menu as it is). An open while the menu is open, and a release, a
// wheel turn or a cancel while it is closed, are dropped; a message too short for its type is
// ignored.
bool HandleMenuMessage(MenuWorker& worker, const uint8_t* message) {
    const uint8_t length = message[0];
    const RingMenuOps& ops = *worker.ops;
    switch (message[1]) {
        case MsgQuit:
            return true;
        case MsgOpen:
            if (worker.menuOpen == 0 && length >= sizeof(Point)) {
                const Point point = PointOf(message);
                ops.openRingMenu(point.x, point.y);
                worker.menuOpen = 1;  // even when nothing could be shown: the release still closes
            }
            return false;
        case MsgRelease:
            if (worker.menuOpen == 1 && length >= sizeof(Point)) {
                const Point point = PointOf(message);
                ops.selectRingItem(point.x, point.y);
                worker.menuOpen = 0;
            }
            return false;
        case MsgCancel:
            if (worker.menuOpen == 1) {
                ops.closeRingMenu();
                worker.menuOpen = 0;
            }
            return false;
        case MsgWheel:
            if (worker.menuOpen == 1 && length >= sizeof(QueueWheel)) {
                QueueWheel wheel;
                memcpy(&wheel, message + kQueueHeaderSize, sizeof wheel);
                if (wheel.delta < 0) {
                    ops.nextPage();
                } else {
                    ops.previousPage();
                }
                ops.forgetTrackedPos();
                ops.trackRingMenu();
            }
            return false;
        default:
            return false;
    }
}

// The worker's loop: readies the menu once, then sleeps without end while the menu is closed; while
// it is open, takes a tracking step whenever 16 ms pass without a message. Returns after the quit
// message. An event that arrives while the menu is being readied waits in the queue.
void RunMenuWorker(MenuWorker& worker) {
    uint8_t message[kQueueMessageSize];
    if (worker.ops->prepareRingMenu != nullptr) {
        worker.ops->prepareRingMenu();
    }
    for (;;) {
        const uint32_t timeout = worker.menuOpen == 1 ? kTrackingIntervalMs : kWaitForever;
        const int32_t taken = TakeQueueMessage(*worker.queue, timeout, message);
        if (taken == kQueueTimedOut && worker.menuOpen == 1) {
            worker.ops->trackRingMenu();
            continue;
        }
        if (taken == -1) {
            PlatformSleepMs(kTrackingIntervalMs);  // a broken wait must not spin
            continue;
        }
        if (taken != 0) {
            continue;
        }
        if (HandleMenuMessage(worker, message)) {
            return;
        }
    }
}

// Thread procedure: the argument is the MenuWorker record. Exit code 0.
uint32_t MenuWorkerThread(void* worker) {
    RunMenuWorker(*static_cast<MenuWorker*>(worker));
    return 0;
}
