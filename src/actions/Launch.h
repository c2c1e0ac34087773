#pragma once
// Starting a launch item's program, document or folder through the shell.

#include <cstdint>

#include "settings/MenuItems.h"

int32_t LaunchProgram(MenuItem* item, WindowHandle target, int32_t reserved);
