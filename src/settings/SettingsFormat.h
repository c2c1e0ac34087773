#pragma once
// Loading items, pages and palette from "setting.ini" at start-up and writing them back.

#include <cstdint>

#include "platform/IniText.h"

// What the user is told of the settings file: it could not be read (its items stay away, and
// nothing is saved over it), a save did not land, or it could be read after all.
enum class SettingsNotice { NotRead, NotSaved, Reloaded };
using SettingsNoticeHandler = void (*)(SettingsNotice notice);
void SetSettingsNoticeHandler(SettingsNoticeHandler handler);

int32_t LoadSettings();
int32_t ReloadUnreadSettings();
int32_t SaveSettings();
// The same from and into the settings' text in memory.
void LoadSettingsFrom(const IniDocument& settings);
bool WriteSettingsInto(IniDocument* settings);
