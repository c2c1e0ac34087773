#include "input/TriggerBindings.h"

#include "input/EventQueue.h"
#include "settings/SettingsFile.h"

uint16_t triggerHeldBit;

namespace {

constexpr uint32_t kTriggerX2 = 1;
constexpr uint32_t kTriggerMiddle = 2;
constexpr uint32_t kSendWheelOn = 1;

}  // namespace

// The row of the trigger table for a TRIGGER value: 1 side button 2, 2 the middle button, and
// side button 1 for every other value.
TriggerChoice TriggerForSetting(uint32_t trigger) {
    switch (trigger) {
        case kTriggerX2:
            return TriggerChoice{X2Down, X2Double, X2Up, kHeldX2};
        case kTriggerMiddle:
            return TriggerChoice{MiddleDown, MiddleDouble, MiddleUp, kHeldMiddle};
        default:
            return TriggerChoice{X1Down, X1Double, X1Up, kHeldX1};
    }
}

// The two keys as the settings' text holds them.
TriggerSettings TriggerSettingsFrom(const IniDocument& file) {
    TriggerSettings settings = {};
    ReadSettingUInt(file, "CONFIG", "TRIGGER", &settings.trigger);
    ReadSettingUInt(file, "CONFIG", "SENDWHEEL", &settings.sendWheel);
    return settings;
}

// Binds the trigger's presses (both open the menu, so a quick second press is no different), its
// release and the wheel while it is held, and, when SENDWHEEL is exactly 1, forwardWheel for every
// other wheel turn, in place of whatever these handlers were bound to before; other handlers keep
// their places. A menu held open by a trigger that is no longer the trigger is closed. Hook thread.
void BindTrigger(const TriggerSettings& settings, EventHandler forwardWheel) {
    const TriggerChoice choice = TriggerForSetting(settings.trigger);
    if (triggerHeldBit != 0 && triggerHeldBit != choice.heldBit && (heldButtons & triggerHeldBit) != 0) {
        PostQueueMessage(eventQueue, 0, MsgCancel, nullptr);
    }
    for (EventHandler bound : {OnTriggerDown, OnTriggerUp, OnTriggerWheel, forwardWheel}) {
        RemoveEventHandler(bound);
    }
    RegisterEventHandler(choice.firstPress, OnTriggerDown, 0);
    RegisterEventHandler(choice.secondPress, OnTriggerDown, 0);
    RegisterEventHandler(choice.release, OnTriggerUp, 0);
    RegisterEventHandler(Wheel, OnTriggerWheel, choice.heldBit);
    triggerHeldBit = choice.heldBit;
    if (settings.sendWheel == kSendWheelOn && forwardWheel != nullptr) {
        RegisterEventHandler(Wheel, forwardWheel, 0);
    }
}

// Binds the trigger as setting.ini says at start-up. Unreadable keys take their defaults. 0 when
// bound from the file (or its absence: a first start), 1 when the file could not be read and the defaults
// stand in for now, -1, nothing bound, without a settings path.
int32_t LoadTriggerBindings(EventHandler forwardWheel) {
    std::string path;
    if (GetSettingsPath(&path) != 0) {
        return -1;
    }
    IniDocument file;
    const FileRead read = ReadSettingsFile(path, &file, kStartReadRetryMs);
    BindTrigger(TriggerSettingsFrom(file), forwardWheel);
    return read != FileRead::Failed ? 0 : 1;
}

// After the hook was set again, the system's held buttons become ours. A trigger that reads up may
// have been released unseen (or held all through, as the system never saw a consumed press), so
// an open menu closes, running nothing, rather than staying on the screen with the wheel.
void ResyncTrigger(uint16_t systemHeld) {
    heldButtons = systemHeld;
    if (triggerHeldBit != 0 && (systemHeld & triggerHeldBit) == 0) {
        PostQueueMessage(eventQueue, 0, MsgCancel, nullptr);
    }
}

// The trigger went down: the menu opens at the press point. Consumes the press.
int32_t OnTriggerDown(const MouseHookRecord& event) {
    PostQueueMessage(eventQueue, sizeof event.pt, MsgOpen, &event.pt);
    return 0;
}

// The trigger came up: the item under the release point runs. Consumes the release.
int32_t OnTriggerUp(const MouseHookRecord& event) {
    PostQueueMessage(eventQueue, sizeof event.pt, MsgRelease, &event.pt);
    return 0;
}

// The wheel turned while the trigger is held: the menu changes page. Consumes the turn.
int32_t OnTriggerWheel(const MouseHookRecord& event) {
    QueueWheel wheel = {};
    wheel.x = event.pt.x;
    wheel.y = event.pt.y;
    wheel.delta = static_cast<int16_t>(event.mouseData >> 16);
    PostQueueMessage(eventQueue, sizeof wheel, MsgWheel, &wheel);
    return 0;
}
