// The "setting.ini" and command icons shipped beside pivotel.exe (copied beside this test), loaded
// by the program's own loader under Wine, and written back byte for byte by the program itself.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport_win.h"
#include "actions/Launch.h"
#include "actions/WindowCommands.h"
#include "settings/MenuItems.h"
#include "settings/Pages.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsFormat.h"

namespace {

constexpr uint32_t kIconSize = 32;  // the size the ring and the palette draw icons at

// Puts a file's earlier content back when the scope ends, however the test left it.
struct FileRestorer {
    std::string path;
    std::string bytes;
    ~FileRestorer() { WriteFileBytes(path, bytes); }
};

// Where two texts first differ, as the line number and both lines.
std::string FirstDifference(const std::string& expected, const std::string& actual) {
    std::istringstream shipped(expected), written(actual);
    std::string a, b;
    int line = 1;
    while (std::getline(shipped, a) && std::getline(written, b) && a == b) {
        ++line;
    }
    return "line " + std::to_string(line) + ": shipped \"" + a + "\", written \"" + b + "\"";
}

uint16_t Le16(const std::string& b, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}
uint32_t Le32(const std::string& b, size_t at) {
    return Le16(b, at) | uint32_t{Le16(b, at + 2)} << 16;
}

// The 32 x 32 picture of a 32-bit-colour .ico file as top-down BGRA, empty when it has none.
std::vector<uint8_t> IcoPicture(const std::string& file) {
    if (file.size() < 6 || Le16(file, 0) != 0 || Le16(file, 2) != 1) {
        return {};
    }
    const uint16_t count = Le16(file, 4);
    for (size_t i = 0; i < count && 6 + 16 * (i + 1) <= file.size(); ++i) {
        const size_t entry = 6 + 16 * i;
        const uint32_t width = static_cast<uint8_t>(file[entry]);
        const uint32_t height = static_cast<uint8_t>(file[entry + 1]);
        const uint32_t offset = Le32(file, entry + 12);
        if (width != kIconSize || height != kIconSize || Le16(file, entry + 6) != 32 ||
            offset + 40 + kIconSize * kIconSize * 4 > file.size()) {
            continue;
        }
        std::vector<uint8_t> picture(kIconSize * kIconSize * 4);
        const size_t bits = offset + Le32(file, offset);  // after the BITMAPINFOHEADER
        for (uint32_t row = 0; row < kIconSize; ++row) {  // stored bottom row first
            memcpy(&picture[row * kIconSize * 4], &file[bits + (kIconSize - 1 - row) * kIconSize * 4],
                   kIconSize * 4);
        }
        return picture;
    }
    return {};
}

// The size and colour pixels (top-down BGRA) of an icon handle.
struct IconPicture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;
};

IconPicture PictureOf(IconHandle icon) {
    IconPicture picture;
    ICONINFO info = {};
    if (icon == nullptr || !GetIconInfo(static_cast<HICON>(icon), &info)) {
        return picture;
    }
    BITMAP bitmap = {};
    if (info.hbmColor != nullptr && GetObjectA(info.hbmColor, sizeof bitmap, &bitmap) != 0) {
        picture.width = bitmap.bmWidth;
        picture.height = bitmap.bmHeight;
        // Top-down 32-bit rows.
        BITMAPINFO header = {};
        header.bmiHeader = {
            sizeof(BITMAPINFOHEADER), bitmap.bmWidth, -bitmap.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        picture.pixels.resize(size_t(bitmap.bmWidth) * bitmap.bmHeight * 4);
        HDC screen = GetDC(nullptr);
        if (GetDIBits(screen, info.hbmColor, 0, bitmap.bmHeight, picture.pixels.data(), &header,
                      DIB_RGB_COLORS) != bitmap.bmHeight) {
            picture.pixels.clear();
        }
        ReleaseDC(nullptr, screen);
    }
    DeleteObject(info.hbmColor);  // a null handle is refused harmlessly
    DeleteObject(info.hbmMask);
    return picture;
}

class ShippedSettings : public ::testing::Test {
protected:
    void SetUp() override {
        ResetTables();
        ASSERT_EQ(GetSettingsPath(&path), 0);
        ASSERT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << path << " is missing";
        ASSERT_EQ(LoadSettings(), 0);
        for (uint32_t id : ItemIds()) {
            items.push_back(FindItem(id));
        }
    }

    void TearDown() override { ResetTables(); }

    MenuItem* LaunchItem() const {
        const auto found =
            std::find_if(items.begin(), items.end(), [](MenuItem* i) { return i->kind == KindLaunch; });
        return found == items.end() ? nullptr : *found;
    }

    std::string path;
    std::vector<MenuItem*> items;
};

TEST_F(ShippedSettings, EveryItemLoadsCompleteWithItsOwnName) {
    ASSERT_EQ(items.size(), 10u);
    std::set<uint32_t> ids;
    std::set<std::string> texts;
    for (MenuItem* item : items) {
        EXPECT_TRUE(IsItemComplete(item)) << "item " << item->id;
        EXPECT_NE(item->text[0], 0) << "item " << item->id << " has no name";
        ids.insert(item->id);
        texts.insert(item->text);
    }
    EXPECT_EQ(ids.size(), items.size()) << "ids repeat";
    EXPECT_EQ(texts.size(), items.size()) << "two items show the same name";
    EXPECT_EQ(*ids.begin(), 1u);
    EXPECT_EQ(*ids.rbegin(), 10u);
}

TEST_F(ShippedSettings, EachWindowCommandOnceWithThePictureOfItsOwnIcon) {
    std::set<uint32_t> events;
    std::set<std::vector<uint8_t>> pictures;
    for (MenuItem* item : items) {
        if (item->kind != KindWindowCommand) {
            continue;
        }
        const uint32_t event = WindowCommandEvent(item->action);
        EXPECT_GE(event, 1u) << item->iconPath;
        EXPECT_TRUE(events.insert(event).second) << "EVENT " << event << " twice";
        EXPECT_EQ(FindWindowCommand(event), item->action);

        // Relative to the program's folder, so the set works wherever it is unpacked.
        EXPECT_TRUE(strncmp(item->iconPath, "icons\\", 6) == 0) << item->iconPath;
        const std::vector<uint8_t> expected = IcoPicture(ReadFileBytes(ExecutableDir() + item->iconPath));
        ASSERT_FALSE(expected.empty()) << item->iconPath << " has no 32-pixel 32-bit picture";
        const IconPicture loaded = PictureOf(item->icon);
        EXPECT_EQ(loaded.width, int32_t(kIconSize)) << item->iconPath;
        EXPECT_EQ(loaded.height, int32_t(kIconSize)) << item->iconPath;
        // The very picture of the file, not a stand-in the shell gives for a file it cannot read.
        EXPECT_TRUE(loaded.pixels == expected) << item->iconPath << " did not load its own picture";
        pictures.insert(expected);
    }
    EXPECT_EQ(events.size(), size_t(kWindowCommandCount));
    EXPECT_EQ(pictures.size(), events.size()) << "two commands share a picture";
}

TEST_F(ShippedSettings, EditorIsFoundOnTheSearchPathAndStarts) {
    MenuItem* editor = LaunchItem();
    ASSERT_NE(editor, nullptr);
    ASSERT_NE(editor->shortcut, nullptr);
    EXPECT_EQ(editor->action, &LaunchProgram);
    EXPECT_EQ(editor->shortcut->args[0], 0);
    EXPECT_EQ(editor->shortcut->dir[0], 0);
    const IconPicture icon = PictureOf(editor->icon);
    EXPECT_EQ(icon.width, int32_t(kIconSize));
    EXPECT_EQ(icon.height, int32_t(kIconSize));

    // A bare name, so that it does not depend on where Windows is installed.
    EXPECT_EQ(strpbrk(editor->shortcut->path, "\\/:"), nullptr) << editor->shortcut->path;
    std::string resolved;
    ASSERT_EQ(ResolvePath(&resolved, editor->shortcut->path), 0);
    const DWORD attributes = GetFileAttributesA(resolved.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << resolved << " does not exist";
    EXPECT_EQ(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u) << resolved;

    ASSERT_TRUE(ChildProcesses(editor->shortcut->path).empty());
    ASSERT_EQ(LaunchProgram(editor, nullptr, 0), 0);
    EXPECT_TRUE(WaitUntil([&] { return !ChildProcesses(editor->shortcut->path).empty(); }))
        << editor->shortcut->path << " did not start";
    EXPECT_EQ(ChildProcesses(editor->shortcut->path).size(), 1u);
    EndChildProcesses({editor->shortcut->path});
}

TEST_F(ShippedSettings, PagesAndPaletteHoldEveryItem) {
    // Page 0: the first eight commands; page 1: the ninth and the editor; the others empty.
    std::set<uint32_t> pageZeroEvents;
    EXPECT_EQ(pageTable.pages[0].count, 8);
    for (int32_t slot = 0; slot < kSlotsPerPage; ++slot) {
        MenuItem* item = GetPageItem(0, slot);
        ASSERT_NE(item, nullptr) << "page 0 slot " << slot;
        ASSERT_EQ(item->kind, KindWindowCommand) << "page 0 slot " << slot;
        pageZeroEvents.insert(WindowCommandEvent(item->action));
    }
    EXPECT_EQ(pageZeroEvents, (std::set<uint32_t>{1, 2, 3, 4, 5, 6, 7, 8}));

    EXPECT_EQ(pageTable.pages[1].count, 2);
    std::set<MenuItem*> pageOne;
    for (int32_t slot = 0; slot < kSlotsPerPage; ++slot) {
        if (MenuItem* item = GetPageItem(1, slot)) {
            pageOne.insert(item);
        }
    }
    std::set<MenuItem*> expectedOnPageOne = {LaunchItem()};
    for (MenuItem* item : items) {
        if (item->kind == KindWindowCommand && WindowCommandEvent(item->action) == 9) {
            expectedOnPageOne.insert(item);
        }
    }
    EXPECT_EQ(pageOne, expectedOnPageOne);
    for (int32_t page = 2; page < kPageCount; ++page) {
        EXPECT_EQ(pageTable.pages[page].count, 0) << "page " << page;
    }

    std::set<MenuItem*> inPalette;
    int32_t occupied = 0;
    for (int32_t cell = 0; cell < kPaletteCells; ++cell) {
        if (paletteGrid.cells[cell].id == 0) {
            continue;
        }
        ++occupied;
        MenuItem* item = GetPaletteItem(cell / kPaletteColumns, cell % kPaletteColumns);
        EXPECT_NE(item, nullptr) << "cell " << cell << " names no item";
        inPalette.insert(item);
    }
    EXPECT_EQ(occupied, 10);
    EXPECT_EQ(inPalette, std::set<MenuItem*>(items.begin(), items.end()));
}

// The settings dialog's three keys are the defaults a missing file gives; written from nothing by
// the program's own save and those keys, the file comes out identical: same sections and keys in the
// same order, code page 932, CRLF.
TEST_F(ShippedSettings, OptionsAreTheDefaultsAndTheProgramWritesTheFileAgain) {
    const char* const keys[] = {"TRIGGER", "SENDWHEEL", "ALPHA"};
    const uint32_t defaults[] = {0, 0, kDefaultTranslucencyAlpha};
    uint32_t options[] = {99, 99, 99};
    for (size_t i = 0; i < 3; ++i) {
        IniDocument settings;
        ASSERT_EQ(ReadSettingsFile(path, &settings), FileRead::Read);
        ASSERT_EQ(ReadSettingUInt(settings, "CONFIG", keys[i], &options[i]), 0);
        EXPECT_EQ(options[i], defaults[i]) << keys[i];
    }
    EXPECT_EQ(translucencyAlpha.load(), kDefaultTranslucencyAlpha);

    const std::string shipped = ReadFileBytes(path);
    ASSERT_FALSE(shipped.empty());
    FileRestorer restore{path, shipped};
    ASSERT_TRUE(DeleteFileA(path.c_str()));
    ASSERT_EQ(SaveSettings(), 0);
    ASSERT_TRUE(UpdateSettingsFile(path, [&](IniDocument* settings) {
        for (size_t i = 0; i < 3; ++i) {
            if (WriteSettingUInt(settings, "CONFIG", keys[i], options[i]) != 0) {
                return false;
            }
        }
        return true;
    }));
    const std::string written = ReadFileBytes(path);
    EXPECT_TRUE(written == shipped) << FirstDifference(shipped, written);
}

}  // namespace
