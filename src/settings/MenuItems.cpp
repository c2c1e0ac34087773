#include "settings/MenuItems.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>

#include "settings/Pages.h"
#include "settings/SettingsFile.h"
#include "settings/TextField.h"

MenuItem* itemListHead;
MenuItem* itemListTail;
MenuItem* heldItemsHead;
bool tablesLoaded;

namespace {

PlatformLock* TheTablesLock() {
    static PlatformLock* lock = PlatformCreateLock();
    return lock;
}

MenuItem* heldItemsTail;

void FreeItemRecord(MenuItem* item) {
    PlatformDestroyIcon(item->icon);
    free(item->shortcut);
    free(item);
}

void FreeItemChain(MenuItem* item) {
    while (item != nullptr) {
        MenuItem* next = item->next;
        FreeItemRecord(item);
        item = next;
    }
}

// A zero-filled record with this id at the tail of a list; null for id 0, an id that a live or a
// held item carries, or no memory. Caller holds the lock.
MenuItem* AppendNewRecord(uint32_t id, MenuItem*& head, MenuItem*& tail) {
    if (id == 0 || FindItem(id) != nullptr || IsHeldItemId(id)) {
        return nullptr;
    }
    MenuItem* item = static_cast<MenuItem*>(calloc(1, sizeof(MenuItem)));
    if (item == nullptr) {
        return nullptr;
    }
    item->id = id;
    if (tail != nullptr) {
        tail->next = item;
    } else {
        head = item;
    }
    tail = item;
    return item;
}

}  // namespace

void LockTables() {
    PlatformAcquireLock(TheTablesLock());
}
void UnlockTables() {
    PlatformReleaseLock(TheTablesLock());
}

// A new, empty item with this id at the tail of the list; null for id 0, a taken id (held items
// included), or no memory.
MenuItem* CreateItem(uint32_t id) {
    TablesLock lock;
    return AppendNewRecord(id, itemListHead, itemListTail);
}

// A new, empty held item with this id, on the same terms as CreateItem.
MenuItem* CreateHeldItem(uint32_t id) {
    TablesLock lock;
    return AppendNewRecord(id, heldItemsHead, heldItemsTail);
}

// Unlinks an item and frees it with its icon and launch record. -1 when it is not in the list.
int32_t RemoveItem(MenuItem* item) {
    if (item == nullptr) {
        return -1;
    }
    TablesLock lock;
    MenuItem* previous = nullptr;
    for (MenuItem** link = &itemListHead; *link != nullptr; previous = *link, link = &(*link)->next) {
        if (*link == item) {
            *link = item->next;
            if (itemListTail == item) {
                itemListTail = previous;
            }
            FreeItemRecord(item);
            return 0;
        }
    }
    return -1;
}

// Frees every item, held ones included; the tables no longer hold what the file gave.
void FreeAllItems() {
    TablesLock lock;
    FreeItemChain(itemListHead);
    FreeItemChain(heldItemsHead);
    itemListHead = nullptr;
    itemListTail = nullptr;
    heldItemsHead = nullptr;
    heldItemsTail = nullptr;
    tablesLoaded = false;
}

// The item with this id in a list; never one for id 0. Caller holds the lock.
static MenuItem* FindIn(MenuItem* list, uint32_t id) {
    for (MenuItem* item = list; id != 0 && item != nullptr; item = item->next) {
        if (item->id == id) {
            return item;
        }
    }
    return nullptr;
}

MenuItem* FindItem(uint32_t id) {
    TablesLock lock;
    return FindIn(itemListHead, id);
}

bool IsHeldItemId(uint32_t id) {
    TablesLock lock;
    return FindIn(heldItemsHead, id) != nullptr;
}

// The smallest id in 1..65535 that no item carries and no slot or cell names (a new item with a
// stale slot's id would appear there unasked), 0 when all are taken.
uint32_t LowestFreeItemId() {
    static constexpr size_t kWords = (kMaxAllocatedItemId + 1 + 63) / 64;
    uint64_t* taken = static_cast<uint64_t*>(calloc(kWords, sizeof(uint64_t)));
    if (taken == nullptr) {
        return 0;
    }
    {
        TablesLock lock;
        auto take = [taken](uint32_t id) {
            if (id <= kMaxAllocatedItemId) {
                taken[id / 64] |= uint64_t{1} << (id % 64);
            }
        };
        for (const MenuItem* list : {itemListHead, heldItemsHead}) {
            for (const MenuItem* item = list; item != nullptr; item = item->next) {
                take(item->id);
            }
        }
        for (const Page& page : pageTable.pages) {
            for (uint32_t id : page.ids) {
                take(id);
            }
        }
        for (const PaletteCell& cell : paletteGrid.cells) {
            take(cell.id);
        }
    }
    uint32_t free_id = 0;
    for (uint32_t id = 1; id <= kMaxAllocatedItemId; ++id) {
        if ((taken[id / 64] & (uint64_t{1} << (id % 64))) == 0) {
            free_id = id;
            break;
        }
    }
    free(taken);
    return free_id;
}

// Loads the item's icon from iconPath (relative paths are taken from the executable's
// directory) and keeps iconPath as given, so a relative path stays relative in the file. On
// failure (-1) the item keeps its old icon and path.
int32_t SetItemIcon(MenuItem* item, const char* iconPath) {
    if (item == nullptr || iconPath == nullptr) {
        return -1;
    }
    std::string resolved;
    if (ResolvePath(&resolved, iconPath) != 0) {
        return -1;
    }
    IconHandle icon = PlatformLoadItemIcon(resolved.c_str());
    if (icon == nullptr) {
        return -1;
    }
    TablesLock lock;
    PlatformDestroyIcon(item->icon);
    item->icon = icon;
    CopyTextField(item->iconPath, sizeof item->iconPath, iconPath);
    return 0;
}

int32_t SetItemText(MenuItem* item, const char* text) {
    if (item == nullptr || text == nullptr) {
        return -1;
    }
    TablesLock lock;
    CopyTextField(item->text, sizeof item->text, text);
    return 0;
}

// Gives a freshly created item its kind and launch record (null for a window command).
int32_t SetItemKind(MenuItem* item, uint8_t kind, ShortcutInfo* shortcut) {
    if (item == nullptr || kind > KindLaunch) {
        return -1;
    }
    TablesLock lock;
    item->kind = kind;
    item->shortcut = shortcut;
    return 0;
}

// An item can be shown and run: it has a kind, an icon and an action (its name may be empty).
bool IsItemComplete(const MenuItem* item) {
    return item != nullptr && (item->kind == KindWindowCommand || item->kind == KindLaunch) &&
           item->icon != nullptr && item->action != nullptr;
}

ShortcutInfo* CreateShortcutInfo() {
    ShortcutInfo* shortcut = static_cast<ShortcutInfo*>(calloc(1, sizeof(ShortcutInfo)));
    if (shortcut != nullptr) {
        shortcut->show = 5;  // the platform's "show normally"
    }
    return shortcut;
}

int32_t FreeShortcutInfo(ShortcutInfo* shortcut) {
    if (shortcut == nullptr) {
        return -1;
    }
    free(shortcut);
    return 0;
}

static int32_t SetShortcutField(ShortcutInfo* shortcut, char* field, const char* text) {
    if (shortcut == nullptr || text == nullptr) {
        return -1;
    }
    TablesLock lock;
    CopyTextField(field, kItemPathSize, text);
    return 0;
}

int32_t SetShortcutPath(ShortcutInfo* shortcut, const char* path) {
    return SetShortcutField(shortcut, shortcut != nullptr ? shortcut->path : nullptr, path);
}

int32_t SetShortcutArgs(ShortcutInfo* shortcut, const char* args) {
    return SetShortcutField(shortcut, shortcut != nullptr ? shortcut->args : nullptr, args);
}

int32_t SetShortcutDir(ShortcutInfo* shortcut, const char* dir) {
    return SetShortcutField(shortcut, shortcut != nullptr ? shortcut->dir : nullptr, dir);
}
