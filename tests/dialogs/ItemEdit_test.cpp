// The item edit dialog's logic without its window: taking a dropped path apart (code page 932
// included), the fields each mode shows, the window-state list, and what confirming does to the
// item list and the palette, above all that a refused confirmation changes nothing. Icons are
// loaded from real files in a temporary folder. Code page 932 text is written as bytes: 83 5C is
// "ソ", 95 5C is "表"; their second byte is a backslash.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "actions/Launch.h"
#include "dialogs/ItemEdit.h"
#include "settings/MenuItems.h"
#include "settings/Pages.h"

namespace {

PathParts Split(const char* path) {
    PathParts parts;
    std::memset(&parts, 0x7F, sizeof parts);
    EXPECT_TRUE(SplitItemPath(path, &parts)) << path;
    return parts;
}

std::string StartFolder(const char* text) {
    char folder[kItemPathSize];
    std::memset(folder, 0x7F, sizeof folder);
    EXPECT_TRUE(PickerStartFolder(text, folder));
    return folder;
}

TEST(ItemPathSplit, DriveDirectoryAndNameWithoutExtension) {
    const struct {
        const char* path;
        const char* drive;
        const char* dir;
        const char* baseName;
    } cases[] = {
        {"C:\\Tools\\app.exe", "C:", "\\Tools\\", "app"},
        {"C:\\Tools\\", "C:", "\\Tools\\", ""},
        {"C:\\", "C:", "\\", ""},
        {"C:", "C:", "", ""},
        {"C:app.exe", "C:", "", "app"},
        {"app.tar.gz", "", "", "app.tar"},
        {"C:\\v1.2\\readme", "C:", "\\v1.2\\", "readme"},  // a dot in a folder is no extension
        {"D:/apps/run.exe", "D:", "/apps/", "run"},
        {"\\\\server\\share\\doc.txt", "", "\\\\server\\share\\", "doc"},
        {"C:\\dir\\.profile", "C:", "\\dir\\", ""},
        // C:\ソフト\表.exe: the trail byte 5C of both characters is no separator.
        {"C:\\\x83\x5C\x83\x74\x83\x67\\\x95\x5C.exe", "C:", "\\\x83\x5C\x83\x74\x83\x67\\", "\x95\x5C"},
        {"C:\\dir\\\x83\x5C", "C:", "\\dir\\", "\x83\x5C"},  // a name ending in ソ
        {"C:\\\x95\x5C\\", "C:", "\\\x95\x5C\\", ""},        // folder 表 with its own separator
        {"\x95\x5C:\\x.exe", "", "\x95\x5C:\\", "x"},        // a lead byte is no drive letter
    };
    for (const auto& c : cases) {
        const PathParts parts = Split(c.path);
        EXPECT_STREQ(parts.drive, c.drive) << c.path;
        EXPECT_STREQ(parts.dir, c.dir) << c.path;
        EXPECT_STREQ(parts.baseName, c.baseName) << c.path;
    }
}

TEST(ItemPathSplit, ReadsNoMoreThanAPathFieldAndRefusesNull) {
    std::vector<char> unterminated(kItemPathSize + 40, 'a');  // no terminator within the field
    unterminated[3] = '\\';
    const PathParts parts = Split(unterminated.data());
    EXPECT_EQ(std::strlen(parts.baseName), static_cast<size_t>(kItemPathSize - 1 - 4));
    PathParts out;
    EXPECT_FALSE(SplitItemPath(nullptr, &out));
    EXPECT_FALSE(SplitItemPath("C:\\a", nullptr));
    char baseName[kItemPathSize];
    ASSERT_TRUE(BaseNameOf("C:\\Tools\\app.exe", baseName));
    EXPECT_STREQ(baseName, "app");
    EXPECT_FALSE(BaseNameOf("C:\\a.exe", nullptr));
}

TEST(ItemPathSplit, PickersStartInTheFieldsFolder) {
    EXPECT_EQ(StartFolder("C:\\Tools\\app.exe"), "C:\\Tools\\");
    EXPECT_EQ(StartFolder("C:\\Tools\\"), "C:\\Tools\\");
    EXPECT_EQ(StartFolder("C:app.exe"), "C:");
    EXPECT_EQ(StartFolder("app.exe"), "");  // no folder: the picker's own default
    EXPECT_EQ(StartFolder(""), "");
    EXPECT_EQ(StartFolder("C:\\\x95\x5C\\\x83\x5C.exe"), "C:\\\x95\x5C\\");
    char folder[kItemPathSize];
    EXPECT_FALSE(PickerStartFolder(nullptr, folder));
}

TEST(ShowChoices, MapEntriesToShowCommandsAndBack) {
    const int32_t shows[] = {5, 3, 2};
    ASSERT_EQ(kShowChoiceCount, 3);
    for (int32_t index = 0; index < kShowChoiceCount; ++index) {
        EXPECT_EQ(ShowValueFromIndex(index), shows[index]);
        EXPECT_EQ(ShowIndexFromValue(shows[index]), index);
    }
    EXPECT_EQ(ShowValueFromIndex(-1), -1);  // no entry selected
    EXPECT_EQ(ShowValueFromIndex(3), -1);
    for (int32_t show : {-5, 0, 1, 4, 6, 10}) {
        EXPECT_EQ(ShowIndexFromValue(show), -1) << show;
    }
}

// A clean item list, pages and palette per test, with real files for icons in a folder of its
// own; everything is cleared again afterwards.
class ItemEditTables : public ::testing::Test {
protected:
    void SetUp() override {
        ResetTables();
        app = MakeFile("app.exe");
        other = MakeFile("other.txt");
        missing = folder.File("missing.exe");
    }
    void TearDown() override { ResetTables(); }
    std::string MakeFile(const char* name) {
        const std::string path = folder.File(name);
        EXPECT_TRUE(WriteFileBytes(path, "pivotel test file"));
        return path;
    }

    // An item in the list (not placed anywhere) with the given icon, or none when icon is empty.
    MenuItem* MakeItem(uint32_t id, const char* text, const std::string& icon, uint8_t kind,
                       ItemAction action, ShortcutInfo* launch) {
        MenuItem* item = CreateItem(id);
        EXPECT_NE(item, nullptr);
        SetItemText(item, text);
        EXPECT_TRUE(icon.empty() || SetItemIcon(item, icon.c_str()) == 0);
        item->action = action;
        SetItemKind(item, kind, launch);
        return item;
    }
    // A launch item with an icon, started from C:\old.
    MenuItem* MakeLaunchItem(uint32_t id, const char* text, int32_t show) {
        ShortcutInfo* launch = CreateShortcutInfo();
        SetShortcutPath(launch, "C:\\old\\old.exe");
        SetShortcutArgs(launch, "-old");
        SetShortcutDir(launch, "C:\\old");
        launch->show = show;
        return MakeItem(id, text, app, KindLaunch, LaunchProgram, launch);
    }
    MenuItem* MakeWindowCommand(uint32_t id) {
        return MakeItem(id, "maximize", app, KindWindowCommand, WindowCommandStub, nullptr);
    }
    static int32_t WindowCommandStub(MenuItem*, WindowHandle, int32_t) { return 0; }

    ItemEditFields FieldsFor(const char* name, const std::string& icon, const char* launchPath,
                             int32_t show) {
        ItemEditFields fields = {};
        std::snprintf(fields.name, sizeof fields.name, "%s", name);
        std::snprintf(fields.iconPath, sizeof fields.iconPath, "%s", icon.c_str());
        std::snprintf(fields.launchPath, sizeof fields.launchPath, "%s", launchPath);
        std::snprintf(fields.args, sizeof fields.args, "%s", "--new");
        std::snprintf(fields.dir, sizeof fields.dir, "%s", "C:\\work");
        fields.showIndex = show;
        return fields;
    }

    TempDir folder;
    std::string app, other, missing;
};

// An item's fields as text: id|name|icon path|kind|action, then its launch record if it has one.
std::string Fields(const MenuItem* item) {
    const char* action = item->action == nullptr          ? "none"
                         : item->action == &LaunchProgram ? "launch"
                                                          : "other";
    std::string text = std::to_string(item->id) + "|" + item->text + "|" + item->iconPath + "|" +
                       std::to_string(item->kind) + "|" + action;
    if (item->shortcut != nullptr) {
        text += std::string("|") + item->shortcut->path + "|" + item->shortcut->args + "|" +
                item->shortcut->dir + "|" + std::to_string(item->shortcut->show);
    }
    return text;
}

// Everything about an item that confirming may change (its loaded icon too).
std::string Describe(const MenuItem* item) {
    return Fields(item) + "|" + std::to_string(reinterpret_cast<uintptr_t>(item->icon));
}

// What a fill gives as text: name|icon path|launch path|args|dir|show entry|launch controls on or
// off, or "refused" and the name it left.
std::string Filled(MenuItem* item, int32_t dropped, const std::string& path) {
    ItemEditFields f;
    bool launch = false;
    if (!FillItemEditFields(item, dropped, path.c_str(), &f, &launch)) {
        return std::string("refused|") + f.name;
    }
    return std::string(f.name) + "|" + f.iconPath + "|" + f.launchPath + "|" + f.args + "|" + f.dir + "|" +
           std::to_string(f.showIndex) + (launch ? "|on" : "|off");
}

std::string DescribeTables() {
    std::string text;
    for (const MenuItem* item = itemListHead; item != nullptr; item = item->next) {
        text += Describe(item) + "\n";
    }
    text += itemListTail != nullptr ? "tail " + std::to_string(itemListTail->id) : "no tail";
    for (int cell = 0; cell < kPaletteCells; ++cell) {
        if (paletteGrid.cells[cell].id != 0) {
            text += " cell" + std::to_string(cell) + "=" + std::to_string(paletteGrid.cells[cell].id);
        }
    }
    text += " context " + std::to_string(paletteGrid.contextCell.row) + "/" +
            std::to_string(paletteGrid.contextCell.column);
    return text;
}

TEST_F(ItemEditTables, EachModeFillsItsFields) {
    const std::string dropped = "C:\\Tools\\app.exe";
    MenuItem* item = MakeLaunchItem(4, "editor", 3);
    MenuItem* bare = MakeItem(5, "bare", "", KindLaunch, nullptr, nullptr);
    MenuItem stray = {};  // not in the list: never read
    std::snprintf(stray.text, sizeof stray.text, "stray");
    const std::string editor = "editor|" + app + "|C:\\old\\old.exe|-old|C:\\old|1|on";
    const struct {
        const char* what;
        MenuItem* item;
        int32_t dropped;
        std::string path, fields;
    } cases[] = {
        {"dropped program", nullptr, 1, dropped, "app|" + dropped + "|" + dropped + "|||0|on"},
        // Without a file name the folder, or the drive alone, becomes the name.
        {"dropped folder", nullptr, 1, "C:\\Tools\\", "C:\\Tools\\|C:\\Tools\\|C:\\Tools\\|||0|on"},
        {"dropped drive", nullptr, 1, "D:", "D:|D:|D:|||0|on"},
        {"dropped code page 932 name", nullptr, 1, "C:\\\x95\x5C\\\x83\x5C.exe",
         "\x83\x5C|C:\\\x95\x5C\\\x83\x5C.exe|C:\\\x95\x5C\\\x83\x5C.exe|||0|on"},
        {"new item: nothing filled in", nullptr, 0, dropped, "|||||0|on"},
        {"launch item, its show command's entry", item, 0, "", editor},
        {"the drop flag does not turn editing into creating", item, 1, dropped, editor},
        {"launch item without its launch record", bare, 0, "", "bare|||||0|on"},
        {"window command: launch controls off", MakeWindowCommand(6), 0, "", "maximize|" + app + "||||0|off"},
        {"item not in the list", &stray, 0, "", "refused|"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Filled(c.item, c.dropped, c.path), c.fields) << c.what;
    }
    EXPECT_EQ(ItemEditModeOf(item, 1), ItemEditExisting);
    EXPECT_EQ(ItemEditModeOf(nullptr, 1), ItemEditDrop);
    EXPECT_EQ(ItemEditModeOf(nullptr, 0), ItemEditNew);
    // Show commands the list does not offer select its first entry.
    for (int32_t show : {1, 0, -1, 7}) {
        item->shortcut->show = show;
        EXPECT_EQ(Filled(item, 0, ""), "editor|" + app + "|C:\\old\\old.exe|-old|C:\\old|0|on") << show;
    }
}

TEST_F(ItemEditTables, DroppedFileBecomesALaunchItemInTheFirstEmptyCell) {
    MakeLaunchItem(1, "one", 5);
    MakeLaunchItem(2, "two", 5);
    ASSERT_EQ(SetPaletteCell(0, 0, FindItem(1)), 0);
    ASSERT_EQ(SetPaletteCell(0, 2, FindItem(2)), 0);

    ItemEditFields fields;
    bool launchEnabled = false;
    ASSERT_TRUE(FillItemEditFields(nullptr, 1, app.c_str(), &fields, &launchEnabled));
    ASSERT_TRUE(ConfirmItemEdit(nullptr, &fields));

    ASSERT_EQ(CountItems(), 3);
    MenuItem* created = itemListTail;
    EXPECT_EQ(Fields(created), "3|app|" + app + "|2|launch|" + app + "|||5");
    EXPECT_NE(created->icon, nullptr);
    EXPECT_TRUE(IsItemComplete(created));
    EXPECT_EQ(GetPaletteItem(0, 1), created);
    EXPECT_EQ(paletteGrid.cells[3].id, 0u);
}

TEST_F(ItemEditTables, NewItemGoesIntoTheRightClickedCellWithTheChosenWindowState) {
    MakeLaunchItem(1, "one", 5);
    paletteGrid.contextCell = CellPosition{5, 3};
    ItemEditFields fields = FieldsFor("tool", other, "C:\\bin\\tool.exe", 2);
    ASSERT_TRUE(ConfirmItemEdit(nullptr, &fields));
    MenuItem* created = GetPaletteItem(5, 3);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(Fields(created), "2|tool|" + other + "|2|launch|C:\\bin\\tool.exe|--new|C:\\work|2");
    EXPECT_EQ(paletteGrid.cells[0].id, 0u);  // not also in the first empty cell

    // An occupied right-clicked cell takes no new item, and the list stays as it was.
    paletteGrid.contextCell = CellPosition{5, 3};
    const std::string before = DescribeTables();
    fields = FieldsFor("second", other, "C:\\bin\\second.exe", 0);
    EXPECT_FALSE(ConfirmItemEdit(nullptr, &fields));
    EXPECT_EQ(DescribeTables(), before);
}

TEST_F(ItemEditTables, FullPaletteRefusesANewItemAndLeavesTheListAlone) {
    for (uint32_t id = 1; id <= kPaletteCells; ++id) {
        MenuItem* item = CreateItem(id);
        ASSERT_NE(item, nullptr);
        ASSERT_TRUE(StorePaletteCellId(static_cast<int32_t>(id - 1), id));
    }
    const std::string before = DescribeTables();
    ItemEditFields fields = FieldsFor("one too many", other, "C:\\x.exe", 0);
    EXPECT_FALSE(ConfirmItemEdit(nullptr, &fields));
    EXPECT_EQ(CountItems(), kPaletteCells);
    EXPECT_EQ(itemListTail->id, static_cast<uint32_t>(kPaletteCells));
    EXPECT_EQ(DescribeTables(), before);
}

TEST_F(ItemEditTables, RefusedInputChangesNothing) {
    MenuItem* launch = MakeLaunchItem(1, "editor", 3);
    MenuItem* command = MakeWindowCommand(2);
    ASSERT_EQ(SetPaletteCell(0, 0, launch), 0);
    const std::string before = DescribeTables();

    struct Case {
        const char* what;
        ItemEditFields fields;
    };
    std::vector<Case> launchCases = {
        {"empty name", FieldsFor("", other, "C:\\x.exe", 0)},
        {"empty icon path", FieldsFor("name", "", "C:\\x.exe", 0)},
        {"icon that does not load", FieldsFor("name", missing, "C:\\x.exe", 0)},
        {"empty launch path", FieldsFor("name", other, "", 0)},
        {"no window state", FieldsFor("name", other, "C:\\x.exe", -1)},
        {"window state beyond the list", FieldsFor("name", other, "C:\\x.exe", 3)},
    };
    for (const Case& c : launchCases) {
        EXPECT_FALSE(ConfirmItemEdit(launch, &c.fields)) << "edit: " << c.what;
        EXPECT_FALSE(ConfirmItemEdit(nullptr, &c.fields)) << "new: " << c.what;
        EXPECT_EQ(DescribeTables(), before) << c.what;
    }
    for (int i = 0; i < 3; ++i) {  // a window command needs its name and a loadable icon
        EXPECT_FALSE(ConfirmItemEdit(command, &launchCases[i].fields)) << launchCases[i].what;
        EXPECT_EQ(DescribeTables(), before) << launchCases[i].what;
    }
    // An item that has left the list is never touched.
    MenuItem stray = {};
    ItemEditFields good = FieldsFor("name", other, "C:\\x.exe", 0);
    EXPECT_FALSE(ConfirmItemEdit(&stray, &good));
    EXPECT_STREQ(stray.text, "");
    EXPECT_FALSE(ConfirmItemEdit(launch, nullptr));
    EXPECT_EQ(DescribeTables(), before);
}

TEST_F(ItemEditTables, EditingALaunchItemChangesItsFieldsInPlace) {
    MenuItem* launch = MakeLaunchItem(7, "editor", 1);  // show 1 is not in the list
    ASSERT_EQ(SetPaletteCell(2, 4, launch), 0);
    ASSERT_EQ(SetPageSlot(0, 3, launch), 0);
    ItemEditFields fields;
    bool launchEnabled = false;
    ASSERT_TRUE(FillItemEditFields(launch, 0, "", &fields, &launchEnabled));
    ASSERT_EQ(fields.showIndex, 0);
    std::snprintf(fields.name, sizeof fields.name, "%s", "renamed");
    std::snprintf(fields.iconPath, sizeof fields.iconPath, "%s", other.c_str());
    std::snprintf(fields.args, sizeof fields.args, "%s", "--fresh");
    ASSERT_TRUE(ConfirmItemEdit(launch, &fields));

    EXPECT_EQ(FindItem(7), launch);
    EXPECT_EQ(CountItems(), 1);
    // Show 5: the first entry, confirmed untouched.
    EXPECT_EQ(Fields(launch), "7|renamed|" + other + "|2|launch|C:\\old\\old.exe|--fresh|C:\\old|5");
    EXPECT_NE(launch->icon, nullptr);
    EXPECT_EQ(GetPaletteItem(2, 4), launch);
    EXPECT_EQ(GetPageItem(0, 3), launch);
}

TEST_F(ItemEditTables, EditingAWindowCommandChangesOnlyNameAndIcon) {
    MenuItem* command = MakeWindowCommand(3);
    const ItemAction action = command->action;
    // The launch fields are disabled in the dialog: whatever they hold is not looked at.
    ItemEditFields fields = FieldsFor("bigger", other, "", -1);
    ASSERT_TRUE(ConfirmItemEdit(command, &fields));
    EXPECT_EQ(Fields(command), "3|bigger|" + other + "|1|other");
    EXPECT_EQ(command->action, action);
}

TEST_F(ItemEditTables, NameIsKeptAsItsFirst63BytesWithoutSplittingACharacter) {
    MenuItem* command = MakeWindowCommand(3);
    ItemEditFields fields = FieldsFor(std::string(64, 'n').c_str(), other, "", 0);
    ASSERT_TRUE(ConfirmItemEdit(command, &fields));
    EXPECT_EQ(std::string(command->text), std::string(63, 'n'));
    // 62 single bytes and then 表: the character would need bytes 63 and 64, so it is left out.
    const std::string name = std::string(62, 'n') + "\x95\x5C";
    fields = FieldsFor(name.c_str(), other, "", 0);
    ASSERT_TRUE(ConfirmItemEdit(command, &fields));
    EXPECT_EQ(std::string(command->text), std::string(62, 'n'));
}

// Loading a settings file can leave a launch item without its launch record: confirming gives it
// one from the fields, so that such an item can be repaired and the dialog closed with OK.
TEST_F(ItemEditTables, LaunchItemWithoutLaunchRecordGetsOneFromTheFields) {
    MenuItem* bare = MakeItem(9, "bare", app, KindLaunch, LaunchProgram, nullptr);
    ItemEditFields fields = FieldsFor("repaired", other, "C:\\bin\\tool.exe", 1);
    ASSERT_TRUE(ConfirmItemEdit(bare, &fields));
    EXPECT_EQ(Fields(bare), "9|repaired|" + other + "|2|launch|C:\\bin\\tool.exe|--new|C:\\work|3");
    EXPECT_TRUE(IsItemComplete(bare));

    // Without a launch path it is still refused, and untouched.
    MenuItem* other_bare = MakeItem(10, "other", "", KindLaunch, nullptr, nullptr);
    fields = FieldsFor("renamed", other, "", 0);
    EXPECT_FALSE(ConfirmItemEdit(other_bare, &fields));
    EXPECT_EQ(Fields(other_bare), "10|other||2|none");
}

// A confirmation whose icon does not load changes nothing, the name included.
TEST_F(ItemEditTables, IconThatDoesNotLoadLeavesTheNameAlone) {
    MenuItem* launch = MakeLaunchItem(1, "editor", 5);
    const std::string before = Describe(launch);
    ItemEditFields fields = FieldsFor("renamed", missing, "C:\\bin\\new.exe", 2);
    EXPECT_FALSE(ConfirmItemEdit(launch, &fields));
    EXPECT_EQ(Describe(launch), before);
}

#ifndef PIVOTEL_TEST_WINE
// The host's icon loader stands in for the system's: any existing file or folder gives an icon.
TEST_F(ItemEditTables, NativeIconLoaderAcceptsAnyExistingFile) {
    MenuItem staged = {};
    EXPECT_EQ(SetItemIcon(&staged, other.c_str()), 0);
    EXPECT_EQ(SetItemIcon(&staged, folder.path.c_str()), 0);
    EXPECT_EQ(SetItemIcon(&staged, missing.c_str()), -1);
    PlatformDestroyIcon(staged.icon);
}
#endif

}  // namespace
