#pragma once
// Loading items, pages and palette from "setting.ini" at start-up and writing them back.

#include <cstdint>

#include "platform/IniText.h"

int32_t LoadSettings();
int32_t SaveSettings();
// The same from and into the settings' text in memory.
void LoadSettingsFrom(const IniDocument& settings);
bool WriteSettingsInto(IniDocument* settings);
