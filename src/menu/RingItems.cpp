#include "menu/RingItems.h"

#include <cstring>

#include "settings/Pages.h"

// Copies the item of a slot of the current page, with its launch record. False when the slot has
// no item or the item has no action.
bool TakeItemSnapshot(int32_t slot, ItemSnapshot& snapshot) {
    TablesLock lock;
    const MenuItem* item = GetCurrentPageItem(slot);
    if (item == nullptr || item->action == nullptr) {
        return false;
    }
    snapshot.item = *item;
    snapshot.item.icon = nullptr;  // owned by the list; the copy must not hand it on
    snapshot.item.next = nullptr;
    snapshot.item.shortcut = nullptr;
    if (item->shortcut != nullptr) {
        snapshot.shortcut = *item->shortcut;
        snapshot.item.shortcut = &snapshot.shortcut;
    }
    return true;
}

// The text of the item in a slot of the current page; false when the slot has no item.
bool CopyItemText(int32_t slot, char (&text)[kItemTextSize]) {
    TablesLock lock;
    const MenuItem* item = GetCurrentPageItem(slot);
    if (item == nullptr) {
        return false;
    }
    memcpy(text, item->text, sizeof text);
    text[kItemTextSize - 1] = '\0';
    return true;
}
