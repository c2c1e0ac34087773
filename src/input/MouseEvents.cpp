#include "input/MouseEvents.h"

#include <algorithm>
#include <iterator>

#include "platform/Platform.h"

EventEntry eventTable[kMouseEventCount][kHandlersPerEvent];
uint16_t heldButtons;
uint32_t lastPressTime[kPressButtons];
uint32_t doubleClickTime;

// Binds handler to an event. A handler already in the row only gets its mask replaced; otherwise
// it takes the first empty entry. A full row or an unknown code refuses (-1) and changes nothing.
int32_t RegisterEventHandler(uint8_t code, EventHandler handler, uint16_t mask) {
    if (code >= kMouseEventCount) {
        return -1;
    }
    for (EventEntry& entry : eventTable[code]) {
        if (entry.handler == handler || entry.handler == nullptr) {
            entry.mask = mask;
            entry.handler = handler;
            return 0;
        }
    }
    return -1;
}

// Runs the handlers of one event in order until one consumes the message. Returns the consuming
// handler's result, or kPassOn. Input marked with PassThroughMarker reaches no handler.
int32_t DispatchMouseEvent(uint8_t code, const MouseHookRecord& event) {
    if (event.dwExtraInfo == PassThroughMarker || code >= kMouseEventCount) {
        return kPassOn;
    }
    const uint16_t held = heldButtons;
    for (const EventEntry& entry : eventTable[code]) {
        if (entry.handler == nullptr) {
            break;
        }
        if ((entry.mask & held) == entry.mask) {
            int32_t result = entry.handler(event);
            if (result != kPassOn) {
                return result;
            }
        }
    }
    return kPassOn;
}

// Tells a first press from a quick second press of the same button: a press no later than
// doubleClickTime ms after the previous press of that button (inclusive) is a second press.
// Press times start at 0, so a press within doubleClickTime of process start counts as second.
int32_t ClassifyPressAt(int button, uint32_t now) {
    uint32_t limit = lastPressTime[button] + doubleClickTime;
    lastPressTime[button] = now;
    return limit < now ? kFirstPress : kSecondPress;
}

int32_t ClassifyPress(int button) {
    return ClassifyPressAt(button, PlatformClockMs());
}

namespace {

// One button's down and up messages (an X button's also its bit in the high word of mouseData),
// its held bit, its press clock and its event codes.
struct ButtonMessages {
    uint32_t down;
    uint32_t up;
    uint16_t xButton;  // 0 for the left, right and middle buttons
    uint16_t held;
    PressButton press;
    uint8_t secondPress;
    uint8_t firstPress;
    uint8_t release;
};

constexpr ButtonMessages kButtonMessages[] = {
    {kMsgLButtonDown, kMsgLButtonUp, 0, kHeldLeft, kPressLeft, LeftDouble, LeftDown, LeftUp},
    {kMsgRButtonDown, kMsgRButtonUp, 0, kHeldRight, kPressRight, RightDouble, RightDown, RightUp},
    {kMsgMButtonDown, kMsgMButtonUp, 0, kHeldMiddle, kPressMiddle, MiddleDouble, MiddleDown, MiddleUp},
    {kMsgXButtonDown, kMsgXButtonUp, kXButton1, kHeldX1, kPressX1, X1Double, X1Down, X1Up},
    {kMsgXButtonDown, kMsgXButtonUp, kXButton2, kHeldX2, kPressX2, X2Double, X2Down, X2Up},
};

}  // namespace

// Turns a mouse message into its event code, updating heldButtons (and the press clock) first.
// An X-button message that names both buttons counts for each, and its code is the second's.
uint8_t ClassifyMouseMessage(uint32_t message, const MouseHookRecord& event) {
    if (message == kMsgMouseMove) {
        return MouseMove;
    }
    if (message == kMsgMouseWheel) {
        return Wheel;
    }
    const uint16_t xButtons = static_cast<uint16_t>(event.mouseData >> 16);
    uint8_t code = NoEvent;
    for (const ButtonMessages& button : kButtonMessages) {
        if (button.xButton != 0 && (xButtons & button.xButton) == 0) {
            continue;
        }
        if (message == button.down) {
            heldButtons |= button.held;
            code = ClassifyPress(button.press) == kSecondPress ? button.secondPress : button.firstPress;
        } else if (message == button.up) {
            heldButtons &= ~button.held;
            code = button.release;
        }
    }
    return code;
}

// Classification and dispatch of one hook message: kPassOn, or the consuming handler's result.
int32_t HandleMouseMessage(uint32_t message, const MouseHookRecord& event) {
    return DispatchMouseEvent(ClassifyMouseMessage(message, event), event);
}

// The held buttons with left and right exchanged when the system swaps them. The system's
// asynchronous key state names the physical buttons, the hook and the window messages the logical
// ones (those the user chose as primary and secondary); the exchange turns either into the other.
uint16_t SwapLeftAndRight(uint16_t held, bool swapped) {
    if (!swapped) {
        return held;
    }
    const uint16_t others = held & ~(kHeldLeft | kHeldRight);
    return others | ((held & kHeldLeft) ? kHeldRight : 0) | ((held & kHeldRight) ? kHeldLeft : 0);
}

// The state a newly installed hook starts from.
void ResetMouseState(uint32_t doubleClickMs) {
    doubleClickTime = doubleClickMs;
    std::fill(std::begin(lastPressTime), std::end(lastPressTime), 0u);
    heldButtons = 0;
}

void ClearEventTable() {
    std::fill(&eventTable[0][0], &eventTable[0][0] + kMouseEventCount * kHandlersPerEvent, EventEntry{});
}

// Takes the handler out of every row; the others keep their order and stay packed at the front,
// since dispatch stops at the first empty entry.
void RemoveEventHandler(EventHandler handler) {
    for (EventEntry(&row)[kHandlersPerEvent] : eventTable) {
        EventEntry* kept = std::remove_if(std::begin(row), std::end(row), [handler](const EventEntry& entry) {
            return entry.handler == handler;
        });
        std::fill(kept, std::end(row), EventEntry{});
    }
}
