// The advanced settings dialog's mapping between the settings file and its controls. Portable:
// the Win32 dialog procedure only moves these values in and out of its controls.

#include "dialogs/AdvancedSettings.h"

#include "settings/SettingsFile.h"

namespace {
const char kConfigSection[] = "CONFIG";
}  // namespace

// The combo entry for a TRIGGER read from the file: 1 and 2 pick side button 2 and the middle
// button; anything else, a missing or unreadable key included, shows side button 1.
int32_t TriggerIndexFromSetting(int32_t readStatus, uint32_t value) {
    if (readStatus == 0 && (value == 1 || value == 2)) {
        return static_cast<int32_t>(value);
    }
    return 0;
}

// The opacity the controls are given for an ALPHA read from the file: the value as read, or the
// default 191 when it does not read.
uint32_t OpacityFromSetting(int32_t readStatus, uint32_t value) {
    return readStatus == 0 ? value : kDefaultOpacity;
}

// The check box for a SENDWHEEL read from the file: checked for any nonzero value that reads.
bool SendWheelFromSetting(int32_t readStatus, uint32_t value) {
    return readStatus == 0 && value != 0;
}

// The controls' initial state from the file at `path`; each key that is missing or unreadable
// falls back to its default (side button 1, opacity 191, no wheel forwarding).
void ReadAdvancedSettings(const std::string& path, AdvancedSettingsState* state) {
    IniDocument settings;
    ReadSettingsFile(path, &settings);
    auto read = [&settings](const char* key, auto fromSetting) {
        uint32_t value = 0;
        const int32_t status = ReadSettingUInt(settings, kConfigSection, key, &value);
        return fromSetting(status, value);
    };
    state->triggerIndex = read("TRIGGER", TriggerIndexFromSetting);
    state->opacity = read("ALPHA", OpacityFromSetting);
    state->sendWheel = read("SENDWHEEL", SendWheelFromSetting);
}

// Writes TRIGGER, ALPHA and SENDWHEEL into the file at `path`, all or none (through a copy). No
// TRIGGER without a selection. The up-down's answer carries an error flag in its high word (an
// edit out of range such as 300), so only an answer up to 255 is an opacity, written and given
// to *acceptedOpacity even when the file cannot be written. False when the file was left as it
// was.
bool WriteAdvancedSettings(const std::string& path, int32_t triggerIndex, uint32_t upDownAnswer,
                           bool sendWheel, uint32_t* acceptedOpacity) {
    const bool opacityAccepted = upDownAnswer <= kMaxOpacity;
    if (opacityAccepted) {
        *acceptedOpacity = upDownAnswer;
    }
    return UpdateSettingsFile(path, [&](IniDocument* settings) {
        bool written = true;
        if (triggerIndex >= 0 && triggerIndex < kTriggerChoiceCount) {
            written = WriteSettingUInt(settings, kConfigSection, "TRIGGER",
                                       static_cast<uint32_t>(triggerIndex)) == 0;
        }
        if (opacityAccepted) {
            written = written && WriteSettingUInt(settings, kConfigSection, "ALPHA", upDownAnswer) == 0;
        }
        return written && WriteSettingUInt(settings, kConfigSection, "SENDWHEEL", sendWheel ? 1u : 0u) == 0;
    });
}
