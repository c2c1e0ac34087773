// Items, pages and palette in "setting.ini": read once at start-up, written back when the palette
// editor closes.
//
// Sections ITEM0 .. ITEM(NUM-1) hold one item each (ID, ICON, TEXT, TYPE, then EVENT for a window
// command or SCPATH, SCARG, SCDIR, SCSHOW for a launch), ITEMS/NUM their number, PAGE0 .. PAGE7
// the ids of the ring's slots (keys ITEM0 .. ITEM7) and PALETTE the ids of the 240 cells (keys
// ITEM0 .. ITEM239, row * 8 + column). Numbers are written as plain decimal and read strictly.
// Nothing is ever deleted from the file: a save only sets keys, so item sections beyond the new
// NUM, keys of the other item type in a reused section, CONFIG and any foreign sections stay.

#include "settings/SettingsFormat.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "actions/Launch.h"
#include "actions/WindowCommands.h"
#include "platform/CodePage.h"
#include "platform/Platform.h"
#include "settings/MenuItems.h"
#include "settings/Pages.h"
#include "settings/SettingsFile.h"
#include "settings/TextField.h"

namespace {

// The number of item sections a load reads at most, whatever NUM says: four times the palette's
// 240 items, so nothing a user made is cut, while a hostile or corrupt NUM cannot exhaust the
// icon handle quota or the start-up time. A larger NUM that a save writes after a hand-edited
// file reads back as its first 1024 sections, the rest ignored like any stale section.
constexpr uint32_t kMaxItemSections = 1024;

constexpr uint8_t kDefaultAlpha = kDefaultTranslucencyAlpha;

// The name of item section n (n stays below kMaxItemSections, so "%d" and "%u" agree).
void ItemSectionName(char (&section)[16], uint32_t n) {
    snprintf(section, sizeof section, "ITEM%u", n);
}

// The ids of the 64 page slots and the 240 palette cells, as the file holds them.
struct TableIds {
    uint32_t slots[kPageCount][kSlotsPerPage];
    uint32_t cells[kPaletteCells];
};

// Calls visit(section, key, id) for every page slot (PAGEp/ITEMs) and then every palette cell
// (PALETTE/ITEMc), stopping at the first false; false then.
template <typename Visit>
bool ForEachTableKey(TableIds& ids, Visit visit) {
    char section[16];
    char key[16];
    for (int page = 0; page < kPageCount; ++page) {
        snprintf(section, sizeof section, "PAGE%d", page);
        for (int slot = 0; slot < kSlotsPerPage; ++slot) {
            snprintf(key, sizeof key, "ITEM%d", slot);
            if (!visit(section, key, ids.slots[page][slot])) {
                return false;
            }
        }
    }
    for (int cell = 0; cell < kPaletteCells; ++cell) {
        snprintf(key, sizeof key, "ITEM%d", cell);
        if (!visit("PALETTE", key, ids.cells[cell])) {
            return false;
        }
    }
    return true;
}

// Which item sections below kMaxItemSections the file holds. Every name a read of "ITEM<n>" can
// find ends in the digits of n once blanks are trimmed, so the names' trailing digits cover every
// section present; stray digits only add candidates. Without it a huge NUM would look up to 1024
// absent sections, each a walk over all of the file's sections.
void FindItemSectionCandidates(const IniDocument& settings, bool (&candidate)[kMaxItemSections]) {
    memset(candidate, 0, sizeof candidate);
    for (const IniSection& section : settings.sections) {
        const std::string& name = section.name;
        size_t end = name.size();
        while (end > 0 && IsProfileBlank(static_cast<unsigned char>(name[end - 1]))) {
            --end;
        }
        size_t begin = end;
        while (begin > 0 && name[begin - 1] >= '0' && name[begin - 1] <= '9') {
            --begin;
        }
        if (begin == end) {
            continue;
        }
        uint32_t index = 0;
        for (size_t i = begin; i < end && index < kMaxItemSections; ++i) {
            index = index * 10 + static_cast<uint32_t>(name[i] - '0');
        }
        if (index < kMaxItemSections) {
            candidate[index] = true;
        }
    }
}

// The launch record of a section; null without SCPATH, for a negative SCSHOW or without memory.
// An unreadable SCSHOW keeps the normal show command.
ShortcutInfo* ReadLaunchRecord(const IniDocument& settings, const char* section) {
    ShortcutInfo* shortcut = CreateShortcutInfo();
    if (shortcut == nullptr) {
        return nullptr;
    }
    // The record is no item's yet, so its fields are read into directly.
    if (ReadSettingText(settings, section, "SCPATH", shortcut->path, sizeof shortcut->path) == 0) {
        FreeShortcutInfo(shortcut);
        return nullptr;
    }
    ReadSettingText(settings, section, "SCARG", shortcut->args, sizeof shortcut->args);
    ReadSettingText(settings, section, "SCDIR", shortcut->dir, sizeof shortcut->dir);
    uint32_t show = 0;
    if (ReadSettingUInt(settings, section, "SCSHOW", &show) == 0) {
        if (static_cast<int32_t>(show) < 0) {
            FreeShortcutInfo(shortcut);
            return nullptr;
        }
        shortcut->show = static_cast<int32_t>(show);
    }
    return shortcut;
}

// Loads item section n and appends the item, or drops a section without a nonzero ID, a TYPE, a
// known kind or command, or with a taken id. A sound section whose icon does not load is held:
// its drive may come back, and dropping it would erase it at the next save. The item enters the
// list complete in one step, its icon loaded while the tables are free.
void LoadItemSection(const IniDocument& settings, uint32_t n) {
    char section[16];
    ItemSectionName(section, n);
    uint32_t id = 0;
    if (ReadSettingUInt(settings, section, "ID", &id) != 0 || id == 0) {
        return;
    }
    char iconPath[kItemPathSize];
    char text[kItemTextSize];
    ReadSettingText(settings, section, "ICON", iconPath, sizeof iconPath);
    ReadSettingText(settings, section, "TEXT", text, sizeof text);
    uint32_t type = 0;
    if (ReadSettingUInt(settings, section, "TYPE", &type) != 0) {
        return;
    }
    const uint8_t kind = static_cast<uint8_t>(type & 0xFF);
    ItemAction action = nullptr;
    ShortcutInfo* shortcut = nullptr;
    if (kind == KindWindowCommand) {
        uint32_t event = 0;
        if (ReadSettingUInt(settings, section, "EVENT", &event) != 0) {
            return;
        }
        action = FindWindowCommand(event);
        if (action == nullptr) {
            return;
        }
    } else if (kind == KindLaunch) {
        action = LaunchProgram;
        shortcut = ReadLaunchRecord(settings, section);
    } else {
        return;
    }

    // A duplicate is dropped before its icon is loaded; creating the item below checks again.
    if (FindItem(id) != nullptr || IsHeldItemId(id)) {
        FreeShortcutInfo(shortcut);
        return;
    }
    MenuItem staged = {};
    const bool iconLoaded = SetItemIcon(&staged, iconPath) == 0;
    if (!iconLoaded) {
        CopyTextField(staged.iconPath, sizeof staged.iconPath, iconPath);
    }
    SetItemText(&staged, text);
    staged.action = action;
    SetItemKind(&staged, kind, shortcut);

    TablesLock lock;
    MenuItem* item = iconLoaded ? CreateItem(id) : CreateHeldItem(id);
    if (item == nullptr) {
        PlatformDestroyIcon(staged.icon);
        FreeShortcutInfo(shortcut);
        return;
    }
    staged.id = id;
    staged.next = nullptr;  // the new item is the tail
    *item = staged;
}

// What a save writes of one item, copied while the tables are locked.
struct SavedItem {
    uint32_t id;
    char iconPath[kItemPathSize];
    char text[kItemTextSize];
    uint8_t kind;
    uint32_t event;
    bool hasLaunchRecord;
    ShortcutInfo launch;
};

// Copies what a save writes of one item. Caller holds the tables' lock.
void CopyForSave(const MenuItem* item, SavedItem* out) {
    out->id = item->id;
    memcpy(out->iconPath, item->iconPath, sizeof out->iconPath);
    memcpy(out->text, item->text, sizeof out->text);
    out->iconPath[kItemPathSize - 1] = 0;
    out->text[kItemTextSize - 1] = 0;
    out->kind = item->kind;
    out->event = item->kind == KindWindowCommand ? WindowCommandEvent(item->action) : 0;
    out->hasLaunchRecord = item->shortcut != nullptr;
    if (item->shortcut != nullptr) {
        out->launch = *item->shortcut;
        out->launch.path[kItemPathSize - 1] = 0;
        out->launch.args[kItemPathSize - 1] = 0;
        out->launch.dir[kItemPathSize - 1] = 0;
    }
}

// Writes item section n; false as soon as a write fails.
bool WriteItemSection(IniDocument* settings, uint32_t n, const SavedItem& item) {
    char section[16];
    ItemSectionName(section, n);
    bool written = WriteSettingUInt(settings, section, "ID", item.id) == 0 &&
                   WriteSettingText(settings, section, "ICON", item.iconPath) &&
                   WriteSettingText(settings, section, "TEXT", item.text) &&
                   WriteSettingUInt(settings, section, "TYPE", item.kind) == 0;
    if (item.kind == KindWindowCommand) {
        written = written && WriteSettingUInt(settings, section, "EVENT", item.event) == 0;
    } else if (item.kind == KindLaunch && item.hasLaunchRecord) {
        written = written && WriteSettingText(settings, section, "SCPATH", item.launch.path) &&
                  WriteSettingText(settings, section, "SCARG", item.launch.args) &&
                  WriteSettingText(settings, section, "SCDIR", item.launch.dir) &&
                  WriteSettingUInt(settings, section, "SCSHOW",
                                   item.launch.show < 0 ? 0u : static_cast<uint32_t>(item.launch.show)) == 0;
    }
    return written;
}

}  // namespace

// Reads the items, the pages, the palette and the translucency opacity from one read of the
// settings file, skipping bad entries silently; -1, nothing loaded, without a settings path or
// when the file is there but cannot be read, so that no save writes over what it holds. The
// tables are locked only while they change, never across the file's read or the icons' loading.
int32_t LoadSettings() {
    std::string path;
    IniDocument settings;
    if (GetSettingsPath(&path) != 0 || ReadSettingsFile(path, &settings) == FileRead::Failed) {
        return -1;
    }

    uint32_t num = 0;
    if (ReadSettingUInt(settings, "ITEMS", "NUM", &num) == 0) {
        const uint32_t sections = num < kMaxItemSections ? num : kMaxItemSections;
        bool candidate[kMaxItemSections];
        FindItemSectionCandidates(settings, candidate);
        for (uint32_t n = 0; n < sections; ++n) {
            if (candidate[n]) {
                LoadItemSection(settings, n);
            }
        }
    }

    // A missing or invalid slot or cell id reads as 0 (empty).
    TableIds ids;
    ForEachTableKey(ids, [&settings](const char* section, const char* key, uint32_t& id) {
        id = 0;
        ReadSettingUInt(settings, section, key, &id);
        return true;
    });
    {
        TablesLock lock;
        for (int page = 0; page < kPageCount; ++page) {
            for (int slot = 0; slot < kSlotsPerPage; ++slot) {
                StorePageSlotId(page, slot, ids.slots[page][slot]);
            }
        }
        for (int cell = 0; cell < kPaletteCells; ++cell) {
            StorePaletteCellId(cell, ids.cells[cell]);
        }
        tablesLoaded = true;
    }

    uint32_t alpha = 0;
    translucencyAlpha = ReadSettingUInt(settings, "CONFIG", "ALPHA", &alpha) == 0
                            ? static_cast<uint8_t>(alpha & 0xFF)
                            : kDefaultAlpha;
    return 0;
}

// Writes every item (ITEMn for the n-th of the live then the held items), ITEMS/NUM, the page
// slots and the palette cells, copied under the lock and written after it, so the ring menu never
// waits for the disk. Keys are only set, never deleted, in the file's text as it is at the save.
// The save lands whole or not at all (through a copy of the file). -1, the file as it was, when the tables
// hold no whole load or any step fails.
int32_t SaveSettings() {
    {
        TablesLock lock;
        if (!tablesLoaded) {
            return -1;  // an empty or partial stand-in must never overwrite the user's items
        }
    }
    std::string settingsPath;
    if (GetSettingsPath(&settingsPath) != 0) {
        return -1;
    }

    SavedItem* items = nullptr;
    uint32_t count = 0;
    TableIds ids;
    {
        TablesLock lock;
        // The live items in list order, then the held ones in load order; NUM counts both.
        const MenuItem* const lists[] = {itemListHead, heldItemsHead};
        for (const MenuItem* list : lists) {
            for (const MenuItem* item = list; item != nullptr; item = item->next) {
                ++count;
            }
        }
        if (count > 0) {
            items = static_cast<SavedItem*>(calloc(count, sizeof(SavedItem)));
            if (items == nullptr) {
                return -1;
            }
        }
        SavedItem* out = items;
        for (const MenuItem* list : lists) {
            for (const MenuItem* item = list; item != nullptr; item = item->next, ++out) {
                CopyForSave(item, out);
            }
        }
        for (int page = 0; page < kPageCount; ++page) {
            memcpy(ids.slots[page], pageTable.pages[page].ids, sizeof ids.slots[page]);
        }
        for (int cell = 0; cell < kPaletteCells; ++cell) {
            ids.cells[cell] = paletteGrid.cells[cell].id;
        }
    }

    const bool saved = UpdateSettingsFile(settingsPath, [&](IniDocument* settings) {
        bool written = true;
        for (uint32_t n = 0; written && n < count; ++n) {
            written = WriteItemSection(settings, n, items[n]);
        }
        written = written && WriteSettingUInt(settings, "ITEMS", "NUM", count) == 0;
        return written &&
               ForEachTableKey(ids, [settings](const char* section, const char* key, uint32_t& id) {
                   return WriteSettingUInt(settings, section, key, id) == 0;
               });
    });
    free(items);
    return saved ? 0 : -1;
}
