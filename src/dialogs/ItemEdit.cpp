#include "dialogs/ItemEdit.h"

#include <cstring>

#include "actions/Launch.h"
#include "settings/Pages.h"
#include "settings/SettingsFile.h"
#include "settings/TextField.h"

MenuItem* editItem;
int32_t editFromDrop;
char droppedPath[kItemPathSize];
int32_t editDialogOpen;

namespace {

// The platform's show commands behind the window-state list's entries: show normally,
// maximized, minimized.
constexpr int32_t kShowValues[kShowChoiceCount] = {5, 3, 2};

// True while item is one of the item list's records. The caller holds the tables' lock.
bool IsListedItem(const MenuItem* item) {
    for (const MenuItem* it = itemListHead; it != nullptr; it = it->next) {
        if (it == item) {
            return true;
        }
    }
    return false;
}

// The drive and directory of a split path, one after the other.
void JoinFolder(const PathParts& parts, char* folder) {
    const size_t drive = strlen(parts.drive);
    const size_t dir = strnlen(parts.dir, kItemPathSize - 1 - drive);
    memcpy(folder, parts.drive, drive);
    memcpy(folder + drive, parts.dir, dir);
    folder[drive + dir] = 0;
}

// The dialog's texts in an item's field sizes, and the launch record they describe when the
// item launches something. False for an empty name or icon path, and for a launch item also an
// empty launch path or no window state chosen.
bool ReadConfirmedFields(const ItemEditFields& fields, bool launch, char* name, char* iconPath,
                         ShortcutInfo* record) {
    CopyTextField(name, kItemTextSize, fields.name);
    CopyTextField(iconPath, kItemPathSize, fields.iconPath);
    if (name[0] == 0 || iconPath[0] == 0) {
        return false;
    }
    if (!launch) {
        return true;
    }
    CopyTextField(record->path, sizeof record->path, fields.launchPath);
    CopyTextField(record->args, sizeof record->args, fields.args);
    CopyTextField(record->dir, sizeof record->dir, fields.dir);
    record->show = ShowValueFromIndex(fields.showIndex);
    return record->path[0] != 0 && record->show >= 0;
}

// Gives an existing item the confirmed values under the tables' lock, so no other thread sees it
// half changed. A launch item without a launch record (a settings file can leave it so) gets one.
// Changes nothing and releases the icon when it fails.
bool ApplyToItem(MenuItem* item, const char* name, const MenuItem& staged, const ShortcutInfo* launch) {
    TablesLock lock;
    const bool valid = IsListedItem(item) && (item->kind == KindLaunch) == (launch != nullptr);
    if (valid && launch != nullptr && item->shortcut == nullptr) {
        item->shortcut = CreateShortcutInfo();
    }
    if (!valid || (launch != nullptr && item->shortcut == nullptr)) {
        PlatformDestroyIcon(staged.icon);
        return false;
    }
    PlatformDestroyIcon(item->icon);
    item->icon = staged.icon;
    memcpy(item->iconPath, staged.iconPath, sizeof item->iconPath);
    SetItemText(item, name);
    if (launch != nullptr) {
        *item->shortcut = *launch;
    }
    return true;
}

// Makes a new launch item and puts it into the palette. It is assembled outside the list and
// enters it complete, together with its placing under one hold of the lock; without an id or a
// cell it is removed again before the lock is released.
bool CreateLaunchItem(const char* name, MenuItem& staged, const ShortcutInfo& launch) {
    ShortcutInfo* record = CreateShortcutInfo();
    if (record == nullptr) {
        PlatformDestroyIcon(staged.icon);
        return false;
    }
    *record = launch;
    SetItemText(&staged, name);
    staged.action = LaunchProgram;
    SetItemKind(&staged, KindLaunch, record);

    TablesLock lock;
    const uint32_t id = LowestFreeItemId();
    MenuItem* item = id != 0 ? CreateItem(id) : nullptr;
    if (item == nullptr) {
        PlatformDestroyIcon(staged.icon);
        FreeShortcutInfo(record);
        return false;
    }
    staged.id = id;
    staged.next = nullptr;  // the new item is the list's tail
    *item = staged;
    if (PlaceInPalette(item) != 0) {
        RemoveItem(item);  // frees the icon and the launch record with it
        return false;
    }
    return true;
}

}  // namespace

// The show command of a window-state entry, -1 for an index outside the list.
int32_t ShowValueFromIndex(int32_t index) {
    return index >= 0 && index < kShowChoiceCount ? kShowValues[index] : -1;
}

// The window-state entry of a show command, -1 for a command the list does not offer.
int32_t ShowIndexFromValue(int32_t show) {
    for (int32_t i = 0; i < kShowChoiceCount; ++i) {
        if (kShowValues[i] == show) {
            return i;
        }
    }
    return -1;
}

// Takes at most kItemPathSize - 1 bytes of a path apart into its drive, its directory with the
// last separator and its file name without the extension.
bool SplitItemPath(const char* path, PathParts* parts) {
    if (path == nullptr || parts == nullptr) {
        return false;
    }
    *parts = PathParts{};
    const PathSplit split = SplitPath(path, strnlen(path, kItemPathSize - 1));
    memcpy(parts->drive, path, split.driveEnd);
    memcpy(parts->dir, path + split.driveEnd, split.nameStart - split.driveEnd);
    memcpy(parts->baseName, path + split.nameStart, split.nameEnd - split.nameStart);
    return true;
}

// The file name of a path without its extension, into a kItemPathSize buffer ("app" for
// C:\Tools\app.exe; empty for a path that ends in a separator).
bool BaseNameOf(const char* path, char* baseName) {
    PathParts parts;
    if (baseName == nullptr || !SplitItemPath(path, &parts)) {
        return false;
    }
    memcpy(baseName, parts.baseName, sizeof parts.baseName);
    return true;
}

// Where a picker starts for a field's text: its drive and directory, into a kItemPathSize buffer.
// Empty (the picker's own default) when the text names no folder.
bool PickerStartFolder(const char* fieldText, char* folder) {
    PathParts parts;
    if (folder == nullptr || !SplitItemPath(fieldText, &parts)) {
        return false;
    }
    JoinFolder(parts, folder);
    return true;
}

// The dialog's mode, fixed when it opens. An item to edit always means editing, whatever the drop
// flag says, so that what the dialog shows is what confirming changes.
ItemEditMode ItemEditModeOf(const MenuItem* item, int32_t fromDrop) {
    if (item != nullptr) {
        return ItemEditExisting;
    }
    return fromDrop == 1 ? ItemEditDrop : ItemEditNew;
}

// What the dialog's fields show when it opens, and whether its launch controls are usable: for a
// dropped file its base name (or folder) as name and its path as icon and launch path; for a new
// item nothing; for an item its own values, launch controls disabled for a window command. The
// window-state list shows its first entry unless the item says otherwise. False (fields empty)
// for an item that is not in the item list.
bool FillItemEditFields(MenuItem* item, int32_t fromDrop, const char* dropped, ItemEditFields* fields,
                        bool* launchEnabled) {
    if (fields == nullptr || launchEnabled == nullptr) {
        return false;
    }
    *fields = ItemEditFields{};
    fields->showIndex = 0;
    *launchEnabled = true;
    const ItemEditMode mode = ItemEditModeOf(item, fromDrop);
    if (mode == ItemEditNew) {
        return true;
    }
    if (mode == ItemEditDrop) {
        if (dropped == nullptr) {
            return false;
        }
        CopyTextField(fields->launchPath, sizeof fields->launchPath, dropped);
        memcpy(fields->iconPath, fields->launchPath, sizeof fields->iconPath);
        PathParts parts;
        SplitItemPath(fields->launchPath, &parts);
        if (parts.baseName[0] != 0) {
            memcpy(fields->name, parts.baseName, sizeof fields->name);
        } else {
            JoinFolder(parts, fields->name);
        }
        return true;
    }
    TablesLock lock;
    if (!IsListedItem(item)) {
        return false;
    }
    CopyTextField(fields->name, sizeof fields->name, item->text);
    CopyTextField(fields->iconPath, sizeof fields->iconPath, item->iconPath);
    if (item->kind != KindLaunch) {
        *launchEnabled = false;
        return true;
    }
    if (item->shortcut != nullptr) {
        CopyTextField(fields->launchPath, sizeof fields->launchPath, item->shortcut->path);
        CopyTextField(fields->args, sizeof fields->args, item->shortcut->args);
        CopyTextField(fields->dir, sizeof fields->dir, item->shortcut->dir);
        const int32_t index = ShowIndexFromValue(item->shortcut->show);
        fields->showIndex = index >= 0 ? index : 0;
    }
    return true;
}

// Confirms the dialog: edits item in place (null: creates a new launch item in the palette). Every
// input is checked and the icon loaded (with the tables free) before anything changes, so a
// refused confirmation (false) leaves the items and the palette as they were. A name and an icon
// that loads are needed; a launch item also a launch path and a window state; a new item a free
// id and a free cell. A window command changes only its name and icon.
bool ConfirmItemEdit(MenuItem* item, const ItemEditFields* fields) {
    if (fields == nullptr) {
        return false;
    }
    bool launch = true;
    if (item != nullptr) {
        TablesLock lock;
        if (!IsListedItem(item)) {
            return false;
        }
        launch = item->kind == KindLaunch;
    }
    char name[kItemTextSize];
    char iconPath[kItemPathSize];
    ShortcutInfo record = {};
    if (!ReadConfirmedFields(*fields, launch, name, iconPath, &record)) {
        return false;
    }
    MenuItem staged = {};
    if (SetItemIcon(&staged, iconPath) != 0) {
        return false;
    }
    if (item != nullptr) {
        return ApplyToItem(item, name, staged, launch ? &record : nullptr);
    }
    return CreateLaunchItem(name, staged, record);
}
