#pragma once
// What the ring menu's threads take from the tables: a copy of the item in a slot of the current
// page, made under the tables' lock, so the menu never touches an item the palette editor changes
// or frees meanwhile, and never holds the lock across a launch or a window command.

#include <cstdint>

#include "settings/MenuItems.h"

struct ItemSnapshot {
    MenuItem item;  // icon and next are cleared: the copy owns nothing
    ShortcutInfo shortcut;
};

bool TakeItemSnapshot(int32_t slot, ItemSnapshot& snapshot);
bool CopyItemText(int32_t slot, char (&text)[kItemTextSize]);
