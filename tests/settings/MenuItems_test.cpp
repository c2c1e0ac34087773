// The item list: ids, creation and removal with head and tail kept right, texts cut whole, icons
// from paths relative to the executable's directory, and launch records. Natively and under Wine.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "settings/MenuItems.h"
#include "settings/Pages.h"
#include "settings/SettingsFile.h"

namespace {

// The ids along the list from the head; also checks that the tail is the last item reached.
std::vector<uint32_t> ListIds() {
    std::vector<uint32_t> ids;
    const MenuItem* last = nullptr;
    for (const MenuItem* item = itemListHead; item != nullptr; item = item->next) {
        ids.push_back(item->id);
        last = item;
    }
    EXPECT_EQ(itemListTail, last);
    return ids;
}

class ItemListTest : public ::testing::Test {
protected:
    void SetUp() override { ResetTables(); }
    void TearDown() override { ResetTables(); }
};

TEST_F(ItemListTest, LowestFreeIdIsTheFirstHole) {
    EXPECT_EQ(LowestFreeItemId(), 1u);
    for (uint32_t id : {4u, 1u, 2u}) {
        ASSERT_NE(CreateItem(id), nullptr);
    }
    EXPECT_EQ(LowestFreeItemId(), 3u);
    ASSERT_NE(CreateItem(3), nullptr);
    ASSERT_NE(CreateItem(65536), nullptr);  // only a file can give such ids; they take no place
    ASSERT_NE(CreateItem(4294967295u), nullptr);
    EXPECT_EQ(LowestFreeItemId(), 5u);

    // Ids that a slot or cell still names, with no item behind them, are not handed out: a new
    // item with such an id would turn up in that slot or cell.
    ASSERT_TRUE(StorePageSlotId(6, 2, 5));
    ASSERT_TRUE(StorePaletteCellId(239, 6));
    EXPECT_EQ(LowestFreeItemId(), 7u);
    // Nor is the id of a held item, which no new item may take.
    ASSERT_NE(CreateHeldItem(7), nullptr);
    EXPECT_EQ(LowestFreeItemId(), 8u);
    EXPECT_EQ(CreateItem(7), nullptr);
}

// 65535 items linked by hand: CreateItem checks each new id against the whole list, which would
// make building this list quadratic. The records belong to the test and are unlinked before the
// list is emptied.
TEST_F(ItemListTest, NoFreeIdWhenAll65535AreTakenAndLargerIdsDoNotCount) {
    std::vector<MenuItem> records(kMaxAllocatedItemId + 2);
    auto link = [&](size_t count) {
        for (size_t i = 0; i < count; ++i) {
            records[i].next = i + 1 < count ? &records[i + 1] : nullptr;
        }
        itemListHead = &records[0];
        itemListTail = &records[count - 1];
    };
    // Ids 65535 down to 1, so the search cannot stop early by luck of the order.
    for (uint32_t i = 0; i < kMaxAllocatedItemId; ++i) {
        records[i].id = kMaxAllocatedItemId - i;
    }
    link(kMaxAllocatedItemId);
    EXPECT_EQ(LowestFreeItemId(), 0u);

    // 65535 itself free, with larger ids present instead.
    records[0].id = 65536;
    records[kMaxAllocatedItemId].id = 4294967295u;
    link(kMaxAllocatedItemId + 1);
    EXPECT_EQ(LowestFreeItemId(), kMaxAllocatedItemId);

    // A hole in the middle wins over the free top.
    records[30000].id = 70000;
    EXPECT_EQ(LowestFreeItemId(), kMaxAllocatedItemId - 30000);

    itemListHead = nullptr;
    itemListTail = nullptr;
}

TEST_F(ItemListTest, CreateAppendsEmptyItemsAndRefusesZeroAndTakenIds) {
    MenuItem* first = CreateItem(7);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->kind, KindUnset);
    EXPECT_EQ(first->icon, nullptr);
    EXPECT_EQ(first->action, nullptr);
    EXPECT_EQ(first->shortcut, nullptr);
    EXPECT_STREQ(first->text, "");
    EXPECT_STREQ(first->iconPath, "");
    ASSERT_NE(CreateItem(3), nullptr);
    ASSERT_NE(CreateItem(4294967295u), nullptr);

    EXPECT_EQ(CreateItem(0), nullptr);
    EXPECT_EQ(CreateItem(3), nullptr);
    EXPECT_EQ(CreateItem(7), nullptr);
    EXPECT_EQ(ListIds(), (std::vector<uint32_t>{7, 3, 4294967295u}));
    EXPECT_EQ(FindItem(3), first->next);
    EXPECT_EQ(FindItem(0), nullptr);
    EXPECT_EQ(FindItem(8), nullptr);
}

TEST_F(ItemListTest, RemoveAtHeadMiddleAndTailKeepsTheListLinked) {
    for (uint32_t id = 1; id <= 5; ++id) {
        ASSERT_NE(CreateItem(id), nullptr);
    }
    // An item that owns an icon and a launch record: both go with it (the sanitizer build would
    // report them otherwise).
    MenuItem* loaded = FindItem(3);
    ASSERT_EQ(SetItemIcon(loaded, ExecutableDir().c_str()), 0);
    ASSERT_EQ(SetItemKind(loaded, KindLaunch, CreateShortcutInfo()), 0);

    EXPECT_EQ(RemoveItem(FindItem(1)), 0);  // head
    EXPECT_EQ(ListIds(), (std::vector<uint32_t>{2, 3, 4, 5}));
    EXPECT_EQ(RemoveItem(FindItem(3)), 0);  // middle
    EXPECT_EQ(ListIds(), (std::vector<uint32_t>{2, 4, 5}));
    EXPECT_EQ(RemoveItem(FindItem(5)), 0);  // tail: its predecessor becomes the tail
    EXPECT_EQ(ListIds(), (std::vector<uint32_t>{2, 4}));
    ASSERT_NE(CreateItem(6), nullptr);  // and new items go after it
    EXPECT_EQ(ListIds(), (std::vector<uint32_t>{2, 4, 6}));

    EXPECT_EQ(RemoveItem(FindItem(2)), 0);
    EXPECT_EQ(RemoveItem(FindItem(6)), 0);
    EXPECT_EQ(RemoveItem(FindItem(4)), 0);  // the only item
    EXPECT_EQ(itemListHead, nullptr);
    EXPECT_EQ(itemListTail, nullptr);
    ASSERT_NE(CreateItem(9), nullptr);
    EXPECT_EQ(ListIds(), std::vector<uint32_t>{9});
}

TEST_F(ItemListTest, RemoveRefusesItemsThatAreNotInTheList) {
    ASSERT_NE(CreateItem(1), nullptr);
    ASSERT_NE(CreateItem(2), nullptr);
    MenuItem stranger = {};
    stranger.id = 2;  // even with the id of a listed item
    EXPECT_EQ(RemoveItem(&stranger), -1);
    EXPECT_EQ(RemoveItem(nullptr), -1);
    EXPECT_EQ(ListIds(), (std::vector<uint32_t>{1, 2}));
}

TEST_F(ItemListTest, TextIsCutAt63BytesWithoutSplittingATwoByteCharacter) {
    MenuItem* item = CreateItem(1);
    ASSERT_NE(item, nullptr);
    const std::string hundred(100, 'x');
    ASSERT_EQ(SetItemText(item, hundred.c_str()), 0);
    EXPECT_EQ(std::string(item->text), hundred.substr(0, 63));

    // "表" is 95 5C in code page 932: its trail byte is a backslash.
    const std::string hyo = "\x95\x5C";
    std::string fits = std::string(61, 'a') + hyo;  // ends exactly at byte 63
    ASSERT_EQ(SetItemText(item, (fits + "zz").c_str()), 0);
    EXPECT_EQ(std::string(item->text), fits);
    std::string straddles = std::string(62, 'a') + hyo;  // the lead byte would be byte 63
    ASSERT_EQ(SetItemText(item, straddles.c_str()), 0);
    EXPECT_EQ(std::string(item->text), std::string(62, 'a'));
    std::string allWide;
    for (int i = 0; i < 40; ++i) {
        allWide += hyo;
    }
    ASSERT_EQ(SetItemText(item, allWide.c_str()), 0);
    EXPECT_EQ(std::string(item->text), allWide.substr(0, 62));

    // A shorter text leaves nothing of the longer one behind.
    ASSERT_EQ(SetItemText(item, "ab"), 0);
    EXPECT_EQ(std::string(item->text, sizeof item->text), "ab" + std::string(sizeof item->text - 2, '\0'));
    EXPECT_EQ(SetItemText(item, nullptr), -1);
    EXPECT_EQ(SetItemText(nullptr, "x"), -1);
    EXPECT_STREQ(item->text, "ab");
}

// Icon files made in a folder beside the executable, removed afterwards; the current directory
// is moved elsewhere first and put back at the end.
class ItemIconTest : public ItemListTest {
protected:
    void SetUp() override {
        ItemListTest::SetUp();
        savedDir = CurrentDir();
        folder = UniqueName("icons-");
        ASSERT_TRUE(MakeDir(ExecutableDir() + folder));
        ASSERT_TRUE(WriteIconFile(ExecutableDir() + folder + kSep + "a.ico"));
        ASSERT_TRUE(WriteIconFile(ExecutableDir() + folder + kSep + "b.ico"));
        ASSERT_TRUE(MakeDir(ExecutableDir() + folder + kSep + "sub"));
        ASSERT_TRUE(EnterDir(ExecutableDir() + folder + kSep + "sub"));
    }
    void TearDown() override {
        EnterDir(savedDir);
        ItemListTest::TearDown();
        RemoveTree(ExecutableDir() + folder);
    }
    std::string savedDir;
    std::string folder;
};

TEST_F(ItemIconTest, RelativePathLoadsFromTheExecutableDirectoryAndIsStoredAsGiven) {
    MenuItem* item = CreateItem(1);
    ASSERT_NE(item, nullptr);
    const std::string relative = folder + kSep + "a.ico";
    // The current directory holds no such file; the executable's directory does.
    ASSERT_FALSE(FileExists(relative));
    ASSERT_EQ(SetItemIcon(item, relative.c_str()), 0);
    EXPECT_NE(item->icon, nullptr);
    EXPECT_EQ(std::string(item->iconPath), relative);
    EXPECT_EQ(CurrentDir() + kSep, ExecutableDir());

    // Another icon replaces the first; an absolute path is stored as given too.
    const std::string absolute = ExecutableDir() + folder + kSep + "b.ico";
    ASSERT_EQ(SetItemIcon(item, absolute.c_str()), 0);
    EXPECT_NE(item->icon, nullptr);
    EXPECT_EQ(std::string(item->iconPath), absolute);

    // A folder has no icon of its own; the one the shell shows for it is taken.
    ASSERT_EQ(SetItemIcon(item, folder.c_str()), 0);
    EXPECT_NE(item->icon, nullptr);
    EXPECT_EQ(std::string(item->iconPath), folder);
}

TEST_F(ItemIconTest, PathWithoutIconLeavesTheItemUnchanged) {
    MenuItem* item = CreateItem(1);
    ASSERT_NE(item, nullptr);
    const std::string relative = folder + kSep + "a.ico";
    ASSERT_EQ(SetItemIcon(item, relative.c_str()), 0);
    const IconHandle icon = item->icon;

    const std::string missing[] = {folder + kSep + "missing.ico",
                                   ExecutableDir() + folder + kSep + "nothing" + kSep};
    for (const std::string& path : missing) {
        EXPECT_EQ(SetItemIcon(item, path.c_str()), -1) << path;
        EXPECT_EQ(item->icon, icon);
        EXPECT_EQ(std::string(item->iconPath), relative);
    }
    EXPECT_EQ(SetItemIcon(item, nullptr), -1);
    EXPECT_EQ(SetItemIcon(nullptr, relative.c_str()), -1);
    EXPECT_EQ(item->icon, icon);
}

TEST_F(ItemListTest, LaunchRecordFieldsAreCutAt259AndKindIsChecked) {
    ShortcutInfo* shortcut = CreateShortcutInfo();
    ASSERT_NE(shortcut, nullptr);
    EXPECT_EQ(shortcut->show, 5);
    EXPECT_STREQ(shortcut->path, "");

    const std::string long300(300, 'p');
    ASSERT_EQ(SetShortcutPath(shortcut, long300.c_str()), 0);
    ASSERT_EQ(SetShortcutArgs(shortcut, long300.c_str()), 0);
    ASSERT_EQ(SetShortcutDir(shortcut, long300.c_str()), 0);
    for (const char* field : {shortcut->path, shortcut->args, shortcut->dir}) {
        EXPECT_EQ(std::string(field), long300.substr(0, 259));
    }
    ASSERT_EQ(SetShortcutArgs(shortcut, "-n"), 0);
    EXPECT_EQ(std::string(shortcut->args, sizeof shortcut->args),
              "-n" + std::string(sizeof shortcut->args - 2, '\0'));
    EXPECT_EQ(SetShortcutPath(nullptr, "x"), -1);
    EXPECT_EQ(SetShortcutDir(shortcut, nullptr), -1);

    MenuItem* item = CreateItem(1);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(SetItemKind(item, 3, shortcut), -1);
    EXPECT_EQ(item->kind, KindUnset);
    EXPECT_EQ(item->shortcut, nullptr);
    EXPECT_EQ(SetItemKind(nullptr, KindLaunch, shortcut), -1);
    ASSERT_EQ(SetItemKind(item, KindLaunch, shortcut), 0);  // the item owns the record from here
    EXPECT_EQ(item->shortcut, shortcut);
    EXPECT_EQ(FreeShortcutInfo(nullptr), -1);
}

}  // namespace
