#pragma once
// The advanced settings dialog's values (section CONFIG of "setting.ini": TRIGGER, SENDWHEEL,
// ALPHA) as its controls show them, read from and written back to the file.

#include <cstdint>
#include <string>

#include "settings/SettingsFile.h"

constexpr int kTriggerChoiceCount = 3;  // side button 1, side button 2, middle button
constexpr uint32_t kMaxOpacity = 255;
constexpr uint32_t kDefaultOpacity = 191;
constexpr int kOpacityTextLength = 3;  // characters the opacity edit takes

// What the dialog's controls are given. The opacity is ALPHA as read, even above 255: each
// control's own range decides what it shows.
struct AdvancedSettingsState {
    int32_t triggerIndex;
    uint32_t opacity;
    bool sendWheel;
};

int32_t TriggerIndexFromSetting(int32_t readStatus, uint32_t value);
uint32_t OpacityFromSetting(int32_t readStatus, uint32_t value);
bool SendWheelFromSetting(int32_t readStatus, uint32_t value);
void ReadAdvancedSettings(const std::string& path, AdvancedSettingsState* state);
bool WriteAdvancedSettings(const std::string& path, int32_t triggerIndex, uint32_t upDownAnswer,
                           bool sendWheel, uint32_t* acceptedOpacity);
