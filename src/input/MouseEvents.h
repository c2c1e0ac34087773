#pragma once
// Classification of low-level mouse messages into events, the held-button mask, the first/second
// press rule and the table of handlers bound to each event; the Win32 hook procedure feeds it.

#include <cstdint>

#include "input/EventQueue.h"

enum MouseEventCode : uint8_t {
    LeftDouble = 0,
    LeftDown = 1,
    LeftUp = 2,
    MiddleDouble = 3,
    MiddleDown = 4,
    MiddleUp = 5,
    MouseMove = 6,
    Wheel = 7,
    RightDouble = 8,
    RightDown = 9,
    RightUp = 10,
    X1Double = 11,
    X1Down = 12,
    X1Up = 13,
    X2Double = 14,
    X2Down = 15,
    X2Up = 16,
    NoEvent = 255,
};

constexpr int kMouseEventCount = 17;
constexpr int kHandlersPerEvent = 5;

// Bits of heldButtons and of a handler's mask.
constexpr uint16_t kHeldLeft = 0x01;
constexpr uint16_t kHeldMiddle = 0x02;
constexpr uint16_t kHeldRight = 0x04;
constexpr uint16_t kHeldX1 = 0x08;
constexpr uint16_t kHeldX2 = 0x10;

// Button indexes of lastPressTime and ClassifyPress.
enum PressButton {
    kPressLeft = 0,
    kPressRight = 1,
    kPressMiddle = 2,
    kPressX1 = 3,
    kPressX2 = 4,
    kPressButtons = 5
};

// ClassifyPress results.
constexpr int32_t kSecondPress = 3;
constexpr int32_t kFirstPress = 4;

// Mouse message numbers the classification knows (the Win32 values).
constexpr uint32_t kMsgMouseMove = 0x200;
constexpr uint32_t kMsgLButtonDown = 0x201;
constexpr uint32_t kMsgLButtonUp = 0x202;
constexpr uint32_t kMsgRButtonDown = 0x204;
constexpr uint32_t kMsgRButtonUp = 0x205;
constexpr uint32_t kMsgMButtonDown = 0x207;
constexpr uint32_t kMsgMButtonUp = 0x208;
constexpr uint32_t kMsgMouseWheel = 0x20A;
constexpr uint32_t kMsgXButtonDown = 0x20B;
constexpr uint32_t kMsgXButtonUp = 0x20C;

// Button bits in the high word of mouseData of an X-button message.
constexpr uint16_t kXButton1 = 0x0001;
constexpr uint16_t kXButton2 = 0x0002;

// Injected input carrying this extra information is never handed to handlers.
constexpr uintptr_t PassThroughMarker = 0xFE41A7C2;

// A handler result that lets the message go on; any other value consumes it.
constexpr int32_t kPassOn = 2;

// The hook's record, laid out exactly like MSLLHOOKSTRUCT (checked in MouseHook_win.cpp); its
// point goes into the queue as it is.
struct MouseHookRecord {
    Point pt;
    uint32_t mouseData;
    uint32_t flags;
    uint32_t time;
    uintptr_t dwExtraInfo;
};

using EventHandler = int32_t (*)(const MouseHookRecord& event);

struct EventEntry {
    uint16_t mask;
    EventHandler handler;
};

// Process-wide state, touched only by the thread that runs the hook.
extern EventEntry eventTable[kMouseEventCount][kHandlersPerEvent];
extern uint16_t heldButtons;
extern uint32_t lastPressTime[kPressButtons];
extern uint32_t doubleClickTime;

int32_t RegisterEventHandler(uint8_t code, EventHandler handler, uint16_t mask);
int32_t DispatchMouseEvent(uint8_t code, const MouseHookRecord& event);
int32_t ClassifyPress(int button);
int32_t ClassifyPressAt(int button, uint32_t now);
uint8_t ClassifyMouseMessage(uint32_t message, const MouseHookRecord& event);
int32_t HandleMouseMessage(uint32_t message, const MouseHookRecord& event);
void ResetMouseState(uint32_t doubleClickMs);
uint16_t SwapLeftAndRight(uint16_t held, bool swapped);
void ClearEventTable();
void RemoveEventHandler(EventHandler handler);
