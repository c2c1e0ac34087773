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

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

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
    // "ITEM0" to "ITEM239" and "PAGE0" to "PAGE7", made once: a save and a load each name 304 keys.
    static const auto names = [] {
        struct {
            char keys[kPaletteCells][8];
            char pages[kPageCount][8];
        } made;
        for (int n = 0; n < kPaletteCells; ++n) {
            snprintf(made.keys[n], sizeof made.keys[n], "ITEM%d", n);
        }
        for (int page = 0; page < kPageCount; ++page) {
            snprintf(made.pages[page], sizeof made.pages[page], "PAGE%d", page);
        }
        return made;
    }();
    for (int page = 0; page < kPageCount; ++page) {
        for (int slot = 0; slot < kSlotsPerPage; ++slot) {
            if (!visit(names.pages[page], names.keys[slot], ids.slots[page][slot])) {
                return false;
            }
        }
    }
    for (int cell = 0; cell < kPaletteCells; ++cell) {
        if (!visit("PALETTE", names.keys[cell], ids.cells[cell])) {
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
    } else if (item.kind == KindLaunch) {
        // Launch keys that an earlier item left in this section must not give this one a record.
        ShortcutInfo* left = ReadLaunchRecord(*settings, section);
        if (left != nullptr) {
            FreeShortcutInfo(left);
            written = written && WriteSettingText(settings, section, "SCPATH", "");
        }
    }
    return written;
}

}  // namespace

namespace {

SettingsNoticeHandler noticeHandler;
// The user hears once that the file could not be read, and once per run of failed saves.
std::atomic<bool> toldNotRead{false};
std::atomic<bool> toldNotSaved{false};

void Tell(SettingsNotice notice) {
    const SettingsNoticeHandler handler = noticeHandler;
    if (handler != nullptr) {
        handler(notice);
    }
}

// One load at a time: a reload that finds the tables loaded meanwhile does nothing.
PlatformLock* LoadLock() {
    static PlatformLock* lock = PlatformCreateLock();
    return lock;
}

bool TablesAreLoaded() {
    TablesLock lock;
    return tablesLoaded;
}

}  // namespace

// Where the notices go; called before the first load, from any thread afterwards.
void SetSettingsNoticeHandler(SettingsNoticeHandler handler) {
    noticeHandler = handler;
}

// Reads the items, the pages, the palette and the translucency opacity from one read of the
// settings file, skipping bad entries silently; -1, nothing loaded, without a settings path. A
// file that another program holds is tried again for a few seconds. One that still cannot be read
// loads nothing and leaves the tables counted as not loaded, so that no save writes the empty
// tables over what it holds; the user is told.
int32_t LoadSettings() {
    std::string path;
    if (GetSettingsPath(&path) != 0) {
        return -1;
    }
    IniDocument settings;
    if (ReadSettingsFile(path, &settings, kStartReadRetryMs) != FileRead::Failed) {
        LoadSettingsFrom(settings);
    } else if (!toldNotRead.exchange(true)) {
        Tell(SettingsNotice::NotRead);
    }
    return 0;
}

// Loads the file that could not be read before, once it can be: 1 when the items are loaded now,
// 0 when they were already, -1 while the file still cannot be read. Safe beside the ring menu,
// which sees the items arrive.
int32_t ReloadUnreadSettings() {
    std::string path;
    if (GetSettingsPath(&path) != 0) {
        return -1;
    }
    PlatformAcquireLock(LoadLock());
    int32_t result = 0;
    if (!TablesAreLoaded()) {
        IniDocument settings;
        // A file removed since loads the defaults, as a start without it does.
        result = ReadSettingsFileAgain(path, &settings) != FileRead::Failed ? 1 : -1;
        if (result == 1) {
            LoadSettingsFrom(settings);
        }
    }
    PlatformReleaseLock(LoadLock());
    if (result == 1) {
        Tell(SettingsNotice::Reloaded);
    }
    return result;
}

// Loads the tables from the settings' text. The tables are locked only while they change, never
// across the icons' loading.
void LoadSettingsFrom(const IniDocument& settings) {
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
}

namespace {

// What a save writes, copied from the tables under their lock: the live items in list order, then
// the held ones in load order (NUM counts both), and the ids of the page slots and palette cells.
struct SavedTables {
    std::vector<SavedItem> items;
    TableIds ids;
};

// False when the tables hold no whole load: an empty or partial stand-in must never overwrite
// the user's items.
bool CopyTables(SavedTables* out) {
    TablesLock lock;
    if (!tablesLoaded) {
        return false;
    }
    for (const MenuItem* list : {itemListHead, heldItemsHead}) {
        for (const MenuItem* item = list; item != nullptr; item = item->next) {
            out->items.emplace_back();
            CopyForSave(item, &out->items.back());
        }
    }
    for (int page = 0; page < kPageCount; ++page) {
        memcpy(out->ids.slots[page], pageTable.pages[page].ids, sizeof out->ids.slots[page]);
    }
    for (int cell = 0; cell < kPaletteCells; ++cell) {
        out->ids.cells[cell] = paletteGrid.cells[cell].id;
    }
    return true;
}

// Sets the keys of every item section, ITEMS/NUM, the page slots and the palette cells; keys are
// only set, never deleted.
bool WriteTables(SavedTables& tables, IniDocument* settings) {
    const uint32_t count = static_cast<uint32_t>(tables.items.size());
    bool written = true;
    for (uint32_t n = 0; written && n < count; ++n) {
        written = WriteItemSection(settings, n, tables.items[n]);
    }
    written = written && WriteSettingUInt(settings, "ITEMS", "NUM", count) == 0;
    return written &&
           ForEachTableKey(tables.ids, [settings](const char* section, const char* key, uint32_t& id) {
               return WriteSettingUInt(settings, section, key, id) == 0;
           });
}

}  // namespace

// Writes the tables into the settings file, in its text as it is at the save, copied under the
// lock and written after it, so the ring menu never waits for the disk. The save lands whole or
// not at all (through a copy of the file). -1, the file as it was, when the tables hold no whole
// load or any step fails; the tables keep what they hold, so the next save writes it, and the user
// is told of the first save that fails after one that landed.
int32_t SaveSettings() {
    std::string path;
    if (GetSettingsPath(&path) != 0) {
        return -1;
    }
    bool saved = false;
    bool loaded = false;
    try {
        SavedTables tables;
        loaded = CopyTables(&tables);
        saved = loaded && UpdateSettingsFile(
                              path, [&](IniDocument* settings) { return WriteTables(tables, settings); });
    } catch (...) {
        saved = false;  // out of memory: the file stays as it was
    }
    // Tables that hold no load were never meant to be written: the user heard why already.
    if (saved) {
        toldNotSaved.store(false);
    } else if (loaded && !toldNotSaved.exchange(true)) {
        Tell(SettingsNotice::NotSaved);
    }
    return saved ? 0 : -1;
}

// What a save writes, set in the settings' text in memory; false when the tables hold no whole
// load.
bool WriteSettingsInto(IniDocument* settings) {
    SavedTables tables;
    return CopyTables(&tables) && WriteTables(tables, settings);
}
