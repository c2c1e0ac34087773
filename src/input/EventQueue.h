#pragma once
// The hand-over from the mouse hook (one producer) to the menu worker (one consumer): a byte ring
// of variable-length messages, a semaphore that wakes the reader and a lock around the ring.

#include <cstdint>

#include "platform/Geometry.h"
#include "platform/Platform.h"

enum QueueMessageType : uint8_t {
    MsgQuit = 1,     // no payload
    MsgOpen = 2,     // Point of the trigger press
    MsgRelease = 3,  // Point of the trigger release
    MsgWheel = 4,    // QueueWheel
    MsgCancel = 5,   // no payload: the trigger's release was lost; close without running anything
};

constexpr int kQueueHeaderSize = 2;                                     // payload length, type
constexpr int kQueueMaxPayload = 16;                                    // the largest payload delivered
constexpr int kQueueMessageSize = kQueueHeaderSize + kQueueMaxPayload;  // the reader's buffer
constexpr int kQueueWrapLimit = 240;  // a position this far or further starts again at 0
constexpr int32_t kQueueSemaphoreMax = 128;

// TakeQueueMessage results besides 0.
constexpr int32_t kQueueTimedOut = 128;

// Payloads, copied byte for byte (both ends run in the same process): a Point for open and
// release, a QueueWheel for a turn.
struct QueueWheel {
    int32_t x;
    int32_t y;
    int16_t delta;
    uint8_t unused[2];
};

static_assert(sizeof(Point) == 8, "open and release payloads are 8 bytes");
static_assert(sizeof(QueueWheel) == 12, "wheel payloads are 12 bytes");

struct EventQueue {
    // The last start position (kQueueWrapLimit - 1) leaves room for a whole message of the
    // largest payload, so no message ever wraps around the end.
    uint8_t storage[kQueueWrapLimit - 1 + kQueueMessageSize];
    uint16_t writePos;
    uint16_t readPos;
    uint16_t unread;  // whole messages between readPos and writePos
    PlatformSemaphore* semaphore;
    PlatformLock* lock;
};

// The queue between the trigger handlers and the menu worker.
extern EventQueue eventQueue;

[[nodiscard]] bool CreateEventQueue(EventQueue& queue);
void DestroyEventQueue(EventQueue& queue);
int32_t PostQueueMessage(EventQueue& queue, uint8_t length, uint8_t type, const void* payload);
int32_t TakeQueueMessage(EventQueue& queue, uint32_t timeoutMs, uint8_t message[kQueueMessageSize]);
