// Placeholder until the loader and saver are written: nothing loads, nothing is saved.
#include "settings/SettingsFormat.h"

int32_t LoadSettings() { return -1; }
int32_t SaveSettings() { return -1; }
