// The advanced settings dialog's mapping between the settings file and its controls. Portable:
// the Win32 dialog procedure only moves these values in and out of its controls.

#include "dialogs/AdvancedSettings.h"

#include "settings/SettingsFile.h"

namespace {
const char kConfigSection[] = "CONFIG";
const char kTriggerKey[] = "TRIGGER";
const char kAlphaKey[] = "ALPHA";
const char kSendWheelKey[] = "SENDWHEEL";
}  // namespace

// The combo entry for a TRIGGER read from the file: 1 and 2 pick side button 2 and the middle
// button; anything else, a missing or unreadable key included, shows side button 1.
int32_t TriggerIndexFromSetting(int32_t readStatus, uint32_t value) {
    if (readStatus == 0 && (value == 1 || value == 2)) {
        return static_cast<int32_t>(value);
    }
    return 0;
}

// The opacity shown for an ALPHA read from the file: the value when it is an opacity (0..255),
// else the default 191, so that an out-of-range file value is never silently clamped to 255.
uint32_t OpacityFromSetting(int32_t readStatus, uint32_t value) {
    if (readStatus == 0 && value <= kMaxOpacity) {
        return value;
    }
    return kDefaultOpacity;
}

// The check box for a SENDWHEEL read from the file: checked for any nonzero value that reads.
bool SendWheelFromSetting(int32_t readStatus, uint32_t value) {
    return readStatus == 0 && value != 0;
}

// The opacity edit's text as a number: one to three decimal digits giving at most 255. Empty
// text, anything but digits and values above 255 are refused (-1) and leave *opacity alone.
int32_t ParseOpacityText(const char* text, uint32_t* opacity) {
    if (text == nullptr || text[0] == '\0') {
        return -1;
    }
    uint32_t value = 0;
    int length = 0;
    for (; text[length] != '\0'; ++length) {
        const char c = text[length];
        if (c < '0' || c > '9' || length >= kOpacityTextLength) {
            return -1;
        }
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value > kMaxOpacity) {
        return -1;
    }
    *opacity = value;
    return 0;
}

// The controls' initial state from the file at `path`; each key that is missing or unreadable
// falls back to its default (side button 1, opacity 191, no wheel forwarding).
void ReadAdvancedSettings(const char* path, AdvancedSettingsState* state) {
    uint32_t value = 0;
    int32_t status = ReadSettingUInt(kConfigSection, kTriggerKey, &value, path);
    state->triggerIndex = TriggerIndexFromSetting(status, value);
    value = 0;
    status = ReadSettingUInt(kConfigSection, kAlphaKey, &value, path);
    state->opacity = OpacityFromSetting(status, value);
    value = 0;
    status = ReadSettingUInt(kConfigSection, kSendWheelKey, &value, path);
    state->sendWheel = SendWheelFromSetting(status, value);
}

// Writes the confirmed dialog into the file at `path`, in the order TRIGGER, ALPHA, SENDWHEEL,
// all three or none: they go to a copy that replaces the file only when every write succeeded.
// A trigger index outside 0..2 (no selection) writes no TRIGGER; an opacity text that
// ParseOpacityText refuses writes no ALPHA. *acceptedOpacity receives an accepted opacity (even
// when the file cannot be written, so that the value in use still follows the user's choice) and
// is left alone for a refused one. Returns 0, or -1 when the file was left as it was.
int32_t WriteAdvancedSettings(const char* path, int32_t triggerIndex, const char* opacityText, bool sendWheel,
                              uint32_t* acceptedOpacity) {
    uint32_t opacity = 0;
    const bool opacityAccepted = ParseOpacityText(opacityText, &opacity) == 0;
    if (opacityAccepted) {
        *acceptedOpacity = opacity;
    }
    SettingsUpdate update;
    if (BeginSettingsUpdate(&update, path) != 0) {
        return -1;
    }
    bool written = true;
    if (triggerIndex >= 0 && triggerIndex < kTriggerChoiceCount) {
        written = WriteSettingUInt(kConfigSection, kTriggerKey, update.copy,
                                   static_cast<uint32_t>(triggerIndex)) == 0;
    }
    if (opacityAccepted) {
        written = written && WriteSettingUInt(kConfigSection, kAlphaKey, update.copy, opacity) == 0;
    }
    written =
        written && WriteSettingUInt(kConfigSection, kSendWheelKey, update.copy, sendWheel ? 1u : 0u) == 0;
    return FinishSettingsUpdate(&update, written);
}
