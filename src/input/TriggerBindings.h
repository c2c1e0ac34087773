#pragma once
// Which button opens the ring menu (CONFIG/TRIGGER) and whether other wheel turns go to the window
// under the pointer (CONFIG/SENDWHEEL), bound at start-up, or once the file can be read when it
// could not be then; the handlers only post to the queue.

#include <cstdint>

#include "input/MouseEvents.h"
#include "platform/IniText.h"

struct TriggerChoice {
    uint8_t firstPress;
    uint8_t secondPress;
    uint8_t release;
    uint16_t heldBit;  // required for a wheel turn to go to the ring menu
};

// CONFIG/TRIGGER and CONFIG/SENDWHEEL as the file holds them; 0 for a key that does not read.
struct TriggerSettings {
    uint32_t trigger;
    uint32_t sendWheel;
};

TriggerChoice TriggerForSetting(uint32_t trigger);
TriggerSettings TriggerSettingsFrom(const IniDocument& file);
void BindTrigger(const TriggerSettings& settings, EventHandler forwardWheel);
int32_t LoadTriggerBindings(EventHandler forwardWheel);
void ResyncTrigger(uint16_t systemHeld);

// The held-button bit of the bound trigger; 0 while none is bound. Hook thread only.
extern uint16_t triggerHeldBit;

int32_t OnTriggerDown(const MouseHookRecord& event);
int32_t OnTriggerUp(const MouseHookRecord& event);
int32_t OnTriggerWheel(const MouseHookRecord& event);

// Sends the wheel turn to the window under the pointer (Win32 only, WheelForward_win.cpp).
int32_t ForwardWheel(const MouseHookRecord& event);
