#include "input/MouseEvents.h"

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

int32_t ClassifyPress(int button) { return ClassifyPressAt(button, PlatformClockMs()); }

static uint8_t PressCode(int button, uint8_t secondCode, uint8_t firstCode) {
    return ClassifyPress(button) == kSecondPress ? secondCode : firstCode;
}

// Turns a mouse message into its event code, updating heldButtons (and the press clock) first.
uint8_t ClassifyMouseMessage(uint32_t message, const MouseHookRecord& event) {
    switch (message) {
        case kMsgMouseMove:
            return MouseMove;
        case kMsgMouseWheel:
            return Wheel;
        case kMsgLButtonDown:
            heldButtons |= kHeldLeft;
            return PressCode(kPressLeft, LeftDouble, LeftDown);
        case kMsgLButtonUp:
            heldButtons &= ~kHeldLeft;
            return LeftUp;
        case kMsgRButtonDown:
            heldButtons |= kHeldRight;
            return PressCode(kPressRight, RightDouble, RightDown);
        case kMsgRButtonUp:
            heldButtons &= ~kHeldRight;
            return RightUp;
        case kMsgMButtonDown:
            heldButtons |= kHeldMiddle;
            return PressCode(kPressMiddle, MiddleDouble, MiddleDown);
        case kMsgMButtonUp:
            heldButtons &= ~kHeldMiddle;
            return MiddleUp;
        case kMsgXButtonDown: {
            const uint16_t buttons = static_cast<uint16_t>(event.mouseData >> 16);
            uint8_t code = NoEvent;
            if (buttons & kXButton1) {
                heldButtons |= kHeldX1;
                code = PressCode(kPressX1, X1Double, X1Down);
            }
            if (buttons & kXButton2) {
                heldButtons |= kHeldX2;
                code = PressCode(kPressX2, X2Double, X2Down);
            }
            return code;
        }
        case kMsgXButtonUp: {
            const uint16_t buttons = static_cast<uint16_t>(event.mouseData >> 16);
            uint8_t code = NoEvent;
            if (buttons & kXButton1) {
                heldButtons &= ~kHeldX1;
                code = X1Up;
            }
            if (buttons & kXButton2) {
                heldButtons &= ~kHeldX2;
                code = X2Up;
            }
            return code;
        }
        default:
            return NoEvent;
    }
}

// Classification and dispatch of one hook message: kPassOn, or the consuming handler's result.
int32_t HandleMouseMessage(uint32_t message, const MouseHookRecord& event) {
    return DispatchMouseEvent(ClassifyMouseMessage(message, event), event);
}

// The state a newly installed hook starts from.
void ResetMouseState(uint32_t doubleClickMs) {
    doubleClickTime = doubleClickMs;
    for (uint32_t& t : lastPressTime) {
        t = 0;
    }
    heldButtons = 0;
}

void ClearEventTable() {
    for (auto& row : eventTable) {
        for (EventEntry& entry : row) {
            entry = EventEntry{};
        }
    }
}
