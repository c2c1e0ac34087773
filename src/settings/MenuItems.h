#pragma once
// Menu items and the process-wide item list. Pages and the palette refer to items by id.
//
// The item list, the pages and the palette share one lock, which each operation takes for its own
// work; a caller that keeps an item pointer (valid only while it is held) or combines operations
// holds a TablesLock around them. Never held across a modal loop, a launch or another process.

#include <cstdint>

#include "platform/Platform.h"

constexpr int kItemPathSize = 260;  // path, arguments, directory, icon path; terminator included
constexpr int kItemTextSize = 64;   // display name; terminator included
constexpr uint32_t kMaxAllocatedItemId = 65535;

using WindowHandle = void*;  // a top-level window of the platform, null for none

enum ItemKind : uint8_t { KindUnset = 0, KindWindowCommand = 1, KindLaunch = 2 };

struct MenuItem;

// What running an item does: (item, target window, reserved 0) -> 0 or -1.
using ItemAction = int32_t (*)(MenuItem* item, WindowHandle target, int32_t reserved);

struct ShortcutInfo {
    char path[kItemPathSize];
    char args[kItemPathSize];
    char dir[kItemPathSize];
    int32_t show;
};

struct MenuItem {
    uint32_t id;
    char iconPath[kItemPathSize];
    IconHandle icon;
    ItemAction action;
    char text[kItemTextSize];
    uint8_t kind;
    ShortcutInfo* shortcut;
    MenuItem* next;
};

extern MenuItem* itemListHead;
extern MenuItem* itemListTail;

// Items whose section is sound but whose icon did not load (a drive not there yet): out of sight,
// but their ids stay taken and every save writes them back. In load order; icon null.
extern MenuItem* heldItemsHead;

// Whether the tables hold the whole of what the settings file gave: set by the load, cleared when
// the items are freed. Only such tables may be written back over the file. Guarded by the lock.
extern bool tablesLoaded;

void LockTables();
void UnlockTables();

// Holds the tables' lock for the lifetime of a scope.
struct TablesLock {
    TablesLock() { LockTables(); }
    ~TablesLock() { UnlockTables(); }
    TablesLock(const TablesLock&) = delete;
    TablesLock& operator=(const TablesLock&) = delete;
};

MenuItem* CreateItem(uint32_t id);
MenuItem* CreateHeldItem(uint32_t id);
int32_t RemoveItem(MenuItem* item);
void FreeAllItems();
MenuItem* FindItem(uint32_t id);
bool IsHeldItemId(uint32_t id);
uint32_t LowestFreeItemId();
int32_t SetItemIcon(MenuItem* item, const char* iconPath);
int32_t SetItemText(MenuItem* item, const char* text);
int32_t SetItemKind(MenuItem* item, uint8_t kind, ShortcutInfo* shortcut);
bool IsItemComplete(const MenuItem* item);

ShortcutInfo* CreateShortcutInfo();
int32_t FreeShortcutInfo(ShortcutInfo* shortcut);
int32_t SetShortcutPath(ShortcutInfo* shortcut, const char* path);
int32_t SetShortcutArgs(ShortcutInfo* shortcut, const char* args);
int32_t SetShortcutDir(ShortcutInfo* shortcut, const char* dir);
