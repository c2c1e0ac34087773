// The event queue between the mouse hook and the menu worker.
//
// Each message is [payload length n][type][n payload bytes], back to back; the position goes back
// to 0 once it reaches kQueueWrapLimit, so a message never wraps. The unread messages run from
// readPos to writePos, and `unread` counts them, so readPos == writePos tells empty from full.
//
// After an overflow: the writer first drops the oldest unread messages, whole, while the new
// message's bytes would touch one, and post and take each run entirely under the lock (at most
// one short copy), so the reader never sees a half-written message and the hook never waits for
// the worker. The semaphore is raised once per post; a count whose message was dropped is stale,
// and the reader waits again for the rest of its time-out. The ring holds at most 120 messages,
// fewer than the semaphore's maximum of 128, so every unread message has a count. A payload
// longer than the reader's limit is refused rather than displacing messages that fit.

#include "input/EventQueue.h"

#include <cstring>

EventQueue eventQueue;

namespace {

uint16_t Advance(uint16_t position, uint8_t length) {
    const int next = position + length + kQueueHeaderSize;
    return static_cast<uint16_t>(next >= kQueueWrapLimit ? 0 : next);
}

// True while writing `size` bytes at writePos would touch the oldest unread message.
bool NewMessageMeetsUnread(const EventQueue& queue, int size) {
    if (queue.unread == 0) {
        return false;
    }
    if (queue.readPos == queue.writePos) {
        return true;  // full
    }
    return queue.readPos > queue.writePos && queue.readPos < queue.writePos + size;
}

void ResetPositions(EventQueue& queue) {
    queue.writePos = 0;
    queue.readPos = 0;
    queue.unread = 0;
}

}  // namespace

// Makes the semaphore (count 0, maximum 128) and the lock, and empties the ring. False when
// either cannot be made; nothing is kept then.
bool CreateEventQueue(EventQueue& queue) {
    ResetPositions(queue);
    queue.semaphore = PlatformCreateSemaphore(0, kQueueSemaphoreMax);
    queue.lock = queue.semaphore != nullptr ? PlatformCreateLock() : nullptr;
    if (queue.lock == nullptr) {
        DestroyEventQueue(queue);
        return false;
    }
    return true;
}

// Releases the semaphore and the lock. Nobody may post or take any more.
void DestroyEventQueue(EventQueue& queue) {
    if (queue.semaphore != nullptr) {
        PlatformDestroySemaphore(queue.semaphore);
        queue.semaphore = nullptr;
    }
    if (queue.lock != nullptr) {
        PlatformDestroyLock(queue.lock);
        queue.lock = nullptr;
    }
    ResetPositions(queue);
}

// Appends one message, dropping the oldest unread ones when the ring has no room for it. -1, and
// nothing posted, without a queue or for a payload longer than kQueueMaxPayload.
int32_t PostQueueMessage(EventQueue& queue, uint8_t length, uint8_t type, const void* payload) {
    if (queue.lock == nullptr || queue.semaphore == nullptr || length > kQueueMaxPayload ||
        (length != 0 && payload == nullptr)) {
        return -1;
    }
    const int size = length + kQueueHeaderSize;
    PlatformAcquireLock(queue.lock);
    while (NewMessageMeetsUnread(queue, size)) {
        queue.readPos = Advance(queue.readPos, queue.storage[queue.readPos]);
        --queue.unread;
    }
    uint8_t* slot = queue.storage + queue.writePos;
    slot[0] = length;
    slot[1] = type;
    if (length != 0) {
        memcpy(slot + kQueueHeaderSize, payload, length);
    }
    queue.writePos = Advance(queue.writePos, length);
    ++queue.unread;
    PlatformReleaseLock(queue.lock);
    PlatformReleaseSemaphore(queue.semaphore);
    return 0;
}

// Waits up to timeoutMs (kWaitForever: without end) for a message and copies it, header included;
// 0, kQueueTimedOut or -1 for a failed wait. A count left by a dropped message is passed over.
int32_t TakeQueueMessage(EventQueue& queue, uint32_t timeoutMs, uint8_t message[kQueueMessageSize]) {
    const uint32_t start = PlatformClockMs();
    uint32_t remaining = timeoutMs;
    for (;;) {
        const int32_t waited = PlatformWaitSemaphore(queue.semaphore, remaining);
        if (waited == kWaitTimedOut) {
            return kQueueTimedOut;
        }
        if (waited != kWaitAcquired) {
            return -1;
        }
        PlatformAcquireLock(queue.lock);
        if (queue.unread != 0) {
            const uint8_t* slot = queue.storage + queue.readPos;
            memcpy(message, slot, static_cast<size_t>(slot[0]) + kQueueHeaderSize);
            queue.readPos = Advance(queue.readPos, slot[0]);
            --queue.unread;
            PlatformReleaseLock(queue.lock);
            return 0;
        }
        PlatformReleaseLock(queue.lock);
        if (timeoutMs != kWaitForever) {
            const uint32_t elapsed = PlatformClockMs() - start;
            if (elapsed >= timeoutMs) {
                return kQueueTimedOut;
            }
            remaining = timeoutMs - elapsed;
        }
    }
}
