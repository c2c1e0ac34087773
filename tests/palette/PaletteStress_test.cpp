// The palette editor edits the tables while the ring menu's threads read them: an editor thread
// drags, deletes and creates items through the editor's own gestures and commands while ring
// threads choose pages, take item snapshots and texts, and walk the current page the way the menu
// draws it. Under ThreadSanitizer and AddressSanitizer this shows that no reader ever meets a
// freed item or a half-made one; the checks below catch torn copies and wrong page counts.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "menu/RingGeometry.h"
#include "menu/RingItems.h"
#include "palette/PaletteEditing.h"
#include "palette/PaletteLayout.h"
#include "settings/MenuItems.h"
#include "settings/Pages.h"

namespace {

int32_t NoAction(MenuItem*, WindowHandle, int32_t) {
    return 0;
}

Point Centre(const Rect& box) {
    return {(box.left + box.right) / 2, (box.top + box.bottom) / 2};
}

void ExpectedText(uint32_t id, char (&text)[kItemTextSize]) {
    snprintf(text, sizeof text, "item %u", static_cast<unsigned>(id));
}

// A new launch item made and placed in one step under the lock, as the edit dialog does.
bool AddItem(const std::string& iconPath) {
    TablesLock lock;
    const uint32_t id = LowestFreeItemId();
    MenuItem* item = id != 0 ? CreateItem(id) : nullptr;
    if (item == nullptr) {
        return false;
    }
    char text[kItemTextSize];
    ExpectedText(id, text);
    ShortcutInfo* shortcut = CreateShortcutInfo();
    if (SetItemIcon(item, iconPath.c_str()) != 0 || SetItemText(item, text) != 0 || shortcut == nullptr ||
        SetShortcutPath(shortcut, text) != 0) {
        FreeShortcutInfo(shortcut);
        RemoveItem(item);
        return false;
    }
    item->action = NoAction;
    SetItemKind(item, KindLaunch, shortcut);
    if (PlaceInPalette(item) != 0) {
        RemoveItem(item);
        return false;
    }
    return true;
}

// Every page's count matches its occupied slots (read under the lock, as one state).
bool CountsAgree() {
    TablesLock lock;
    for (const Page& page : pageTable.pages) {
        int32_t occupied = 0;
        for (uint32_t id : page.ids) {
            occupied += id != 0 ? 1 : 0;
        }
        if (occupied != page.count) {
            return false;
        }
    }
    return true;
}

TEST(PaletteStressTest, EditingWhileTheRingReadsNeverMeetsAFreedOrTornItem) {
    ResetTables();
    editorPage = 0;
    ResetPaletteEditor();
    const std::string iconPath = ExecutableDir() + UniqueName("stress_icon") + ".ico";
    ASSERT_TRUE(WriteIconFile(iconPath));
    for (int i = 0; i < 24; ++i) {
        ASSERT_TRUE(AddItem(iconPath));
    }

    std::atomic<bool> stop{false};
    std::atomic<int> tornCopies{0};
    std::atomic<int> wrongCounts{0};
    std::atomic<long> snapshots{0};

    auto ringReader = [&](int seed) {
        std::mt19937 random(seed);
        while (!stop.load()) {
            ChoosePageToOpen();
            for (int32_t slot = 0; slot < kSlotsPerPage; ++slot) {
                ItemSnapshot snapshot;
                if (TakeItemSnapshot(slot, snapshot)) {
                    char expected[kItemTextSize];
                    ExpectedText(snapshot.item.id, expected);
                    if (strcmp(snapshot.item.text, expected) != 0 || snapshot.item.shortcut == nullptr ||
                        strcmp(snapshot.shortcut.path, expected) != 0) {
                        tornCopies.fetch_add(1);
                    }
                    snapshots.fetch_add(1);
                }
                char text[kItemTextSize];
                CopyItemText(slot, text);
            }
            {
                // The way a frame of the ring is drawn: icons and texts read under the lock.
                TablesLock lock;
                for (int32_t slot = 0; slot < kSlotsPerPage; ++slot) {
                    const MenuItem* item = GetCurrentPageItem(slot);
                    if (item != nullptr && (item->icon == nullptr || item->text[0] != 'i')) {
                        tornCopies.fetch_add(1);
                    }
                }
            }
            if (!CountsAgree()) {
                wrongCounts.fetch_add(1);
            }
            if (random() % 4 == 0) {
                NextPage();
            }
        }
    };

    std::vector<std::thread> readers;
    for (int i = 0; i < 2; ++i) {
        readers.emplace_back(ringReader, 17 + i);
    }

    // The editor: drags from cells to slots and between slots on random pages, cell swaps, slot
    // removals, deletes of items that stand in slots, and new items in their place.
    std::mt19937 random(4242);
    auto cell = [&]() {
        return Centre(CellBox(static_cast<int32_t>(random() % 3), static_cast<int32_t>(random() % 8)));
    };
    auto slot = [&]() { return Centre(SlotBox(static_cast<int32_t>(random() % 8))); };
    int deleted = 0;
    for (int round = 0; round < 20000; ++round) {
        editorPage = static_cast<int32_t>(random() % kPageCount);
        Point from;
        Point to;
        switch (random() % 6) {
            case 0:
            case 1:
                from = cell();
                to = slot();
                break;
            case 2:
                from = slot();
                to = slot();
                break;
            case 3:
                from = cell();
                to = cell();
                break;
            case 4: {
                const Point target = slot();
                if (PaletteRightRelease(target.x, target.y).kind == PaletteMenuSlot) {
                    RemoveSlotMenuTarget();
                }
                PaletteContextMenuEnded(PaletteMenuSlot, true);
                continue;
            }
            default: {
                const Point target = cell();
                const PaletteMenuRequest request = PaletteRightRelease(target.x, target.y);
                if (request.kind == PaletteMenuItem && DeleteContextItem()) {
                    ++deleted;
                    AddItem(iconPath);
                }
                PaletteContextMenuEnded(request.kind, request.kind == PaletteMenuItem);
                continue;
            }
        }
        PaletteLeftPress(from.x, from.y);
        PaletteFrame frame;
        ComposePaletteFrame(to.x, to.y, true, &frame);
        PaletteLeftRelease(to.x, to.y);
    }
    stop.store(true);
    for (std::thread& reader : readers) {
        reader.join();
    }

    EXPECT_GT(deleted, 100);
    EXPECT_GT(snapshots.load(), 0);
    EXPECT_EQ(tornCopies.load(), 0);
    EXPECT_EQ(wrongCounts.load(), 0);
    EXPECT_TRUE(CountsAgree());
    // Nothing refers to a freed item: every id in the tables names a live item.
    {
        TablesLock lock;
        for (const Page& page : pageTable.pages) {
            for (int32_t i = 0; i < kSlotsPerPage; ++i) {
                EXPECT_TRUE(page.ids[i] == 0 || FindItem(page.ids[i]) != nullptr);
            }
        }
        for (const PaletteCell& c : paletteGrid.cells) {
            EXPECT_TRUE(c.id == 0 || FindItem(c.id) != nullptr);
        }
    }
    ResetTables();
    RemoveFile(iconPath);
}

}  // namespace
