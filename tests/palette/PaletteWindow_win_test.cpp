// The palette editor's thread and window under Wine: opening it (once), what its window shows,
// writing the settings file when it closes, the state kept between openings, closing it without
// saving at shutdown, the icons it draws, the label leaving with the
// cursor, and a file dropped on it becoming a launch item through the edit dialog.

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "TestSupport_win.h"
#include "dialogs/ItemEdit.h"
#include "palette/PaletteLayout.h"
#include "palette/PaletteWindow_win.h"
#include "res/resource.h"
#include "tooltip/LabelWindow_win.h"
#include "settings/MenuItems.h"
#include "settings/Pages.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsFormat.h"

namespace {

bool WaitForPaletteEnd() {
    return WaitUntil([] { return !IsPaletteThreadRunning(); });
}

int32_t CountPaletteWindows() {
    int32_t count = 0;
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, kPaletteClassName, nullptr)) != nullptr) {
        ++count;
    }
    return count;
}

void ShowEditorOnTop() {
    SetWindowPos(paletteWindow, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    RedrawWindow(paletteWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    Sleep(100);
}

void CloseEditor() {
    PostMessageA(paletteWindow, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitForPaletteEnd());
}

TEST(PaletteWindow, OpensOnceShowsItsPictureAndWritesTheSettingsOnceOnClosing) {
    SettingsFileSession settings;
    ASSERT_EQ(LoadSettings(), 0);  // no file: nothing loads, and closing may save
    const uint32_t savesBefore = paletteSaveCount.load();
    ASSERT_EQ(StartPaletteThread(), 0);
    ASSERT_EQ(WaitForPaletteWindow(), 0);
    EXPECT_EQ(FindWindowW(kPaletteClassName, kPaletteClassName), paletteWindow);

    RECT client = {};
    GetClientRect(paletteWindow, &client);
    EXPECT_EQ(client.right - client.left, kPaletteClientWidth);
    EXPECT_EQ(client.bottom - client.top, kPaletteClientHeight);
    EXPECT_EQ(
        static_cast<DWORD>(GetWindowLongA(paletteWindow, GWL_STYLE)) & (WS_CAPTION | WS_SYSMENU | WS_VISIBLE),
        static_cast<DWORD>(WS_CAPTION | WS_SYSMENU | WS_VISIBLE));
    EXPECT_NE(itemMenu, nullptr);
    EXPECT_NE(emptyCellMenu, nullptr);
    EXPECT_NE(slotMenu, nullptr);

    // A second request leaves the one window alone.
    HWND first = paletteWindow;
    EXPECT_EQ(StartPaletteThread(), -1);
    Sleep(100);
    EXPECT_EQ(paletteWindow, first);
    EXPECT_EQ(CountPaletteWindows(), 1);

    // The picture on screen at points of the layout.
    ShowEditorOnTop();
    EXPECT_TRUE(PixelBecomes(paletteWindow, 20, 40, RGB(59, 110, 165)));    // the blue panel
    EXPECT_TRUE(PixelBecomes(paletteWindow, 135, 156, RGB(59, 110, 165)));  // inside the ring's hole
    EXPECT_TRUE(PixelBecomes(paletteWindow, 135, 96,
                             RGB(211, 207, 199)));  // the grey ring, between slot 0 and the hole
    EXPECT_TRUE(PixelBecomes(paletteWindow, 135, 66, RGB(211, 207, 199)));  // inside slot 0's frame
    EXPECT_TRUE(PixelBecomes(paletteWindow, 116, 47,
                             RGB(128, 128, 128)));  // slot 0's frame, one pixel inside its box
    EXPECT_TRUE(PixelBecomes(paletteWindow, 290, 20, RGB(255, 255, 255)));   // a palette cell
    EXPECT_TRUE(PixelBecomes(paletteWindow, 313, 20, RGB(204, 204, 204)));   // a vertical grid line
    EXPECT_TRUE(PixelBecomes(paletteWindow, 290, 246, RGB(204, 204, 204)));  // a horizontal grid line
    EXPECT_TRUE(PixelBecomes(paletteWindow, 600, 12, RGB(0, 0, 0)));         // the up arrow's triangle
    EXPECT_TRUE(PixelBecomes(paletteWindow, 600, 279, RGB(0, 0, 0)));        // the down arrow's triangle
    // The thumb at the top of the track (row 0): plain face, where the track is dotted.
    EXPECT_TRUE(PixelBecomes(paletteWindow, 600, 25, RGB(212, 208, 200)));
    EXPECT_TRUE(PixelBecomes(paletteWindow, 601, 25, RGB(212, 208, 200)));
    EXPECT_NE(ScreenPixel(paletteWindow, 600, 100), ScreenPixel(paletteWindow, 601, 100));

    MenuItem* item = CreateItem(7);
    ASSERT_NE(item, nullptr);
    ShortcutInfo* launch = CreateShortcutInfo();
    ASSERT_NE(launch, nullptr);
    SetShortcutPath(launch, "notepad.exe");
    SetItemText(item, "edit");
    SetItemKind(item, KindLaunch, launch);
    SetPaletteCell(2, 3, item);
    SetPageSlot(1, 4, item);
    const SettingsFileSession& file = settings;
    EXPECT_FALSE(FileExists(file.path));
    CloseEditor();
    EXPECT_EQ(paletteSaveCount.load(), savesBefore + 1);
    EXPECT_TRUE(FileExists(file.path));
    // The tables as they were when the editor closed.
    EXPECT_EQ(GetPrivateProfileIntA("ITEMS", "NUM", -1, file.path.c_str()), 1);
    EXPECT_EQ(GetPrivateProfileIntA("ITEM0", "ID", -1, file.path.c_str()), 7);
    EXPECT_EQ(GetPrivateProfileIntA("PALETTE", "ITEM19", -1, file.path.c_str()), 7);
    EXPECT_EQ(GetPrivateProfileIntA("PAGE1", "ITEM4", -1, file.path.c_str()), 7);
    ResetTables();
    EXPECT_EQ(paletteWindow, nullptr);
    EXPECT_EQ(CountPaletteWindows(), 0);
    EXPECT_EQ(WaitForPaletteWindow(), -1);
}

TEST(PaletteWindow, OpensAgainScrolledToTheTopOnThePageLastShown) {
    SettingsFileSession settings;
    editorPage = 3;
    scrollRow = 9;
    ASSERT_EQ(StartPaletteThread(), 0);
    ASSERT_EQ(WaitForPaletteWindow(), 0);
    EXPECT_EQ(scrollRow, 0);
    EXPECT_EQ(editorPage, 3);
    ShowEditorOnTop();
    // The tab joint covers the frame's light top edge under tab 3 only.
    const Rect tab3 = PageTabBox(3);
    EXPECT_TRUE(PixelBecomes(paletteWindow, tab3.left + 10, 25, RGB(212, 208, 200)));
    EXPECT_TRUE(PixelBecomes(paletteWindow, PageTabBox(0).left + 10, 25, RGB(255, 255, 255)));
    EXPECT_TRUE(PixelBecomes(paletteWindow, 600, ThumbTop(0) + 5, RGB(212, 208, 200)));
    CloseEditor();
    EXPECT_EQ(editorPage, 3);

    // Each opening starts from the top again.
    scrollRow = 9;
    ASSERT_EQ(StartPaletteThread(), 0);
    ASSERT_EQ(WaitForPaletteWindow(), 0);
    EXPECT_EQ(scrollRow, 0);
    CloseEditor();
    editorPage = 0;
}

// Moved to a monitor at 150 %: the window takes the rectangle the system suggests from the size the
// editor asked for, and the picture is filtered, not enlarged by repeating pixels: a one-pixel grid
// line between white cells shades a screen pixel it partly covers. At 200 % it is the 2x picture.
TEST(PaletteWindow, MovedToAnotherScaleTakesTheSuggestedRectangleAndFiltersThePicture) {
    SettingsFileSession settings;
    ASSERT_EQ(LoadSettings(), 0);
    // An item whose icon file (this program, with the emblem's images) holds a 64-pixel image.
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    MenuItem* item = CreateItem(1);
    ASSERT_TRUE(item != nullptr);
    SetItemIcon(item, program);
    SetPaletteCell(0, 0, item);
    ASSERT_EQ(StartPaletteThread(), 0);
    ASSERT_EQ(WaitForPaletteWindow(), 0);
    SIZE size = {};
    constexpr UINT kGetDpiScaledSize = 0x02E4;
    ASSERT_TRUE(SendMessageW(paletteWindow, kGetDpiScaledSize, 144, reinterpret_cast<LPARAM>(&size)));
    EXPECT_GT(size.cx, ScaleToDpi(kPaletteClientWidth, 144));
    const RECT suggested = {40, 30, 40 + size.cx, 30 + size.cy};
    SendMessageW(paletteWindow, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    RECT frame = {};
    GetWindowRect(paletteWindow, &frame);
    EXPECT_TRUE(EqualRect(&frame, &suggested));
    ShowEditorOnTop();
    const auto shaded = [] {
        for (int32_t x = ScaleToDpi(311, 144); x < ScaleToDpi(316, 144); ++x) {
            const int red = GetRValue(ScreenPixel(paletteWindow, x, ScaleToDpi(20, 144)));
            if (red > 204 && red < 255) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(WaitUntil(shaded, 5000));

    // At 200 % the picture drawn at twice the size is shown pixel for pixel: a row across the ring's
    // rim and sector lines, and one across the tab digits and the up arrow, which that picture
    // traces finer than the 1x one enlarged would show.
    ASSERT_TRUE(SendMessageW(paletteWindow, kGetDpiScaledSize, 192, reinterpret_cast<LPARAM>(&size)));
    const RECT at200 = {20, 10, 20 + size.cx, 10 + size.cy};
    SendMessageW(paletteWindow, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&at200));
    const HBITMAP art = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_PALETTE_2X));
    const HDC artDc = CreateCompatibleDC(nullptr);
    const HGDIOBJ before = SelectObject(artDc, art);
    const auto rowMatchesArt = [&](int32_t y, int32_t x0, int32_t x1) {
        for (int32_t x = x0; x < x1; ++x) {
            if (ScreenPixel(paletteWindow, x, y) != GetPixel(artDc, x, y)) {
                return false;
            }
        }
        return true;
    };
    const auto drawnAt2x = [&] {
        return rowMatchesArt(142, 20, 524) && rowMatchesArt(28, 0, 540) && rowMatchesArt(28, 1186, 1222);
    };
    EXPECT_TRUE(WaitUntil(drawnAt2x, 5000));
    // A shape edge between the two halves of a 1x pixel, in the digits and in the arrow.
    const auto splitsAPixel = [&](int32_t x0, int32_t x1) {
        for (int32_t x = x0; x < x1; x += 2) {
            if (ScreenPixel(paletteWindow, x, 28) != ScreenPixel(paletteWindow, x + 1, 28)) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(splitsAPixel(0, 540));
    EXPECT_TRUE(splitsAPixel(1186, 1222));
    // The item's icon is that 64-pixel image, not the 32-pixel one with each pixel doubled.
    const Point corner = CellIconCorner(0, 0, false);
    const auto finerThanDoubled = [&] {
        for (int32_t y = 2 * corner.y; y < 2 * corner.y + 64; y += 2) {
            for (int32_t x = 2 * corner.x; x < 2 * corner.x + 64; x += 2) {
                if (ScreenPixel(paletteWindow, x, y) != ScreenPixel(paletteWindow, x + 1, y)) {
                    return true;
                }
            }
        }
        return false;
    };
    EXPECT_TRUE(WaitUntil(finerThanDoubled, 5000));
    SelectObject(artDc, before);
    DeleteDC(artDc);
    DeleteObject(art);
    CloseEditor();
    ResetTables();
}

TEST(PaletteWindow, ClosingWithoutSavingWritesNothingAndWaitsForTheThread) {
    SettingsFileSession settings;
    const uint32_t savesBefore = paletteSaveCount.load();
    ASSERT_EQ(StartPaletteThread(), 0);
    ASSERT_EQ(WaitForPaletteWindow(), 0);
    ClosePaletteWithoutSaving();
    EXPECT_FALSE(IsPaletteThreadRunning());
    EXPECT_EQ(paletteWindow, nullptr);
    EXPECT_EQ(CountPaletteWindows(), 0);

    // Also when asked before the window exists.
    ASSERT_EQ(StartPaletteThread(), 0);
    ClosePaletteWithoutSaving();
    EXPECT_FALSE(IsPaletteThreadRunning());
    EXPECT_EQ(CountPaletteWindows(), 0);

    // With no editor open it returns at once.
    ClosePaletteWithoutSaving();
    EXPECT_EQ(paletteSaveCount.load(), savesBefore);
    EXPECT_FALSE(FileExists(settings.path));

    // The editor opens again afterwards, and a normal close saves again.
    ASSERT_EQ(StartPaletteThread(), 0);
    ASSERT_EQ(WaitForPaletteWindow(), 0);
    CloseEditor();
    EXPECT_EQ(paletteSaveCount.load(), savesBefore + 1);
}

// The colour of the test icons (WriteIconFile), which DrawIconEx stretches to 32 x 32.
constexpr COLORREF kIconColour = RGB(0x20, 0x80, 0xC0);

// An item with a real icon, in the list.
MenuItem* IconItem(uint32_t id, const char* text, const std::string& iconPath) {
    MenuItem* item = CreateItem(id);
    if (item != nullptr) {
        SetItemIcon(item, iconPath.c_str());
        SetItemText(item, text);
        SetItemKind(item, KindWindowCommand, nullptr);
    }
    return item;
}

// Moves the editor so that the cursor (which the test does not control) is not over it, and
// brings it to the top.
void ShowEditorAwayFromCursor() {
    POINT cursor = {};
    GetCursorPos(&cursor);
    RECT frame = {};
    GetWindowRect(paletteWindow, &frame);
    const int32_t width = frame.right - frame.left;
    const int32_t height = frame.bottom - frame.top;
    const int32_t x = cursor.x < GetSystemMetrics(SM_CXSCREEN) / 2 ? cursor.x + 40 : cursor.x - 40 - width;
    const int32_t y = cursor.y < GetSystemMetrics(SM_CYSCREEN) / 2 ? cursor.y + 40 : cursor.y - 40 - height;
    SetWindowPos(paletteWindow, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowEditorOnTop();
}

TEST(PaletteWindow, DrawsTheIconsOfTheVisibleRowsAndOfTheEditorsPage) {
    SettingsFileSession settings;
    ASSERT_EQ(LoadSettings(), 0);  // no file: the editor opens on these tables, not on a load of its own
    const std::string iconPath = ExecutableDir() + UniqueName("palette_icon") + ".ico";
    ASSERT_TRUE(WriteIconFile(iconPath));
    MenuItem* top = IconItem(1, "top", iconPath);
    MenuItem* deep = IconItem(2, "deep", iconPath);
    ASSERT_TRUE(top != nullptr && deep != nullptr);
    SetPaletteCell(0, 0, top);
    SetPaletteCell(8, 2, deep);
    SetPageSlot(0, 3, deep);
    SetPageSlot(5, 1, top);
    editorPage = 0;

    ASSERT_EQ(StartPaletteThread(), 0);
    ASSERT_EQ(WaitForPaletteWindow(), 0);
    ShowEditorAwayFromCursor();
    const Point atRest = CellIconCorner(0, 0, false);
    EXPECT_TRUE(PixelBecomes(paletteWindow, atRest.x + 1, atRest.y + 1, kIconColour));
    EXPECT_TRUE(PixelBecomes(paletteWindow, atRest.x + 31, atRest.y + 31, kIconColour));
    EXPECT_TRUE(PixelBecomes(paletteWindow, atRest.x + 32, atRest.y + 32, RGB(255, 255, 255)))
        << "no hover shift";
    const Point hidden = CellIconCorner(0, 2, false);
    EXPECT_TRUE(PixelBecomes(paletteWindow, hidden.x + 5, hidden.y + 5, RGB(255, 255, 255)));
    const Point slot = SlotIconCorner(3, false);
    EXPECT_TRUE(PixelBecomes(paletteWindow, slot.x + 5, slot.y + 5, kIconColour));
    const Point otherSlot = SlotIconCorner(1, false);
    EXPECT_NE(ScreenPixel(paletteWindow, otherSlot.x + 5, otherSlot.y + 5), kIconColour);

    // Eight notches down: grid row 8 is the first one shown. A tab press shows page 5's ring.
    for (int i = 0; i < 8; ++i) {
        SendMessageA(paletteWindow, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0);
    }
    EXPECT_EQ(scrollRow, 8);
    EXPECT_TRUE(PixelBecomes(paletteWindow, hidden.x + 5, hidden.y + 5, kIconColour));
    EXPECT_TRUE(PixelBecomes(paletteWindow, atRest.x + 5, atRest.y + 5, RGB(255, 255, 255)));
    // Presses and releases count where they happened, wherever the cursor is by now: a press on
    // tab 5 shows page 5's ring, a click on the down arrow scrolls one more row.
    const Rect tab = PageTabBox(5);
    const LPARAM onTab = MAKELPARAM((tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2);
    SendMessageA(paletteWindow, WM_LBUTTONDOWN, MK_LBUTTON, onTab);
    SendMessageA(paletteWindow, WM_LBUTTONUP, 0, onTab);
    EXPECT_EQ(editorPage, 5);
    const LPARAM onDownArrow = MAKELPARAM(600, 280);
    SendMessageA(paletteWindow, WM_LBUTTONDOWN, MK_LBUTTON, onDownArrow);
    SendMessageA(paletteWindow, WM_LBUTTONUP, 0, onDownArrow);
    EXPECT_EQ(scrollRow, 9);
    ShowEditorOnTop();
    EXPECT_TRUE(PixelBecomes(paletteWindow, otherSlot.x + 5, otherSlot.y + 5, kIconColour));
    EXPECT_NE(ScreenPixel(paletteWindow, slot.x + 5, slot.y + 5), kIconColour);

    CloseEditor();
    editorPage = 0;
    ResetTables();
    DeleteFileA(iconPath.c_str());
}

// Ends an editor a failed check left open, so the next test can open its own.
struct EditorGuard {
    ~EditorGuard() { ClosePaletteWithoutSaving(); }
};

TEST(PaletteWindow, TheLabelLeavesWithTheCursor) {
    SettingsFileSession settings;
    EditorGuard editor;
    ASSERT_EQ(StartLabelThread(), 0);
    ASSERT_EQ(WaitForLabelWindow(), 0);
    ASSERT_EQ(StartPaletteThread(), 0);
    ASSERT_EQ(WaitForPaletteWindow(), 0);
    ShowEditorAwayFromCursor();  // and let its first frames (which find no item) settle
    Sleep(200);
    UpdateWindow(paletteWindow);
    SendMessageA(paletteWindow, WM_NULL, 0, 0);
    ASSERT_EQ(ShowLabel("name", 10, 10), 1);
    EXPECT_TRUE(IsWindowVisible(labelWindow));
    SendMessageA(paletteWindow, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(labelWindow));
    CloseEditor();
    StopLabelThread();
}

// A drop of files, packed as the shell packs them: a DROPFILES header and the paths one after
// another, each zero-terminated, with one more zero at the end. The block has an odd size no
// other allocation of the process shares, so that its handle, once freed, is seen to be gone even
// when the handle itself is reused meanwhile.
constexpr SIZE_T kDropSize = 7777;

HGLOBAL MakeDrop(const char* const* paths, int32_t count) {
    std::string packed;
    for (int32_t i = 0; i < count; ++i) {
        packed += paths[i];
        packed += '\0';
    }
    packed += '\0';
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kDropSize);
    if (memory == nullptr) {
        return nullptr;
    }
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = FALSE;
    memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), packed.data(), packed.size());
    GlobalUnlock(memory);
    return memory;
}

HWND WaitForEditDialog() {
    HWND dialog = nullptr;
    WaitUntil([&] {
        // Only this process's dialog: other tests on the same desktop open their own "編集".
        while ((dialog = FindWindowExA(nullptr, dialog, "#32770", "\x95\xD2\x8F\x57")) != nullptr) {
            DWORD process = 0;
            GetWindowThreadProcessId(dialog, &process);
            if (process == GetCurrentProcessId() && IsWindowVisible(dialog)) {
                return true;
            }
        }
        return false;
    });
    return dialog;
}

std::string ControlText(HWND dialog, int id) {
    char text[MAX_PATH + 1] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

TEST(PaletteWindow, ADroppedFileBecomesALaunchItemThroughTheEditDialog) {
    SettingsFileSession settings;
    ASSERT_EQ(LoadSettings(), 0);
    EditorGuard editor;
    // C:\Tools\app.exe: a real program file, so its icon loads.
    char self[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameA(nullptr, self, sizeof self), 0u);
    CreateDirectoryA("C:\\Tools", nullptr);
    ASSERT_TRUE(CopyFileA(self, "C:\\Tools\\app.exe", FALSE));
    const std::string iconPath = ExecutableDir() + UniqueName("drop_icon") + ".ico";
    ASSERT_TRUE(WriteIconFile(iconPath));
    MenuItem* first = IconItem(1, "first", iconPath);
    ASSERT_NE(first, nullptr);
    SetPaletteCell(0, 0, first);
    SetPaletteCell(0, 2, first);

    ASSERT_EQ(StartPaletteThread(), 0);
    ASSERT_EQ(WaitForPaletteWindow(), 0);
    const char* const paths[] = {"C:\\Tools\\app.exe", "C:\\Tools\\other.exe", "C:\\Tools\\third.txt"};
    HGLOBAL drop = MakeDrop(paths, 3);
    ASSERT_NE(drop, nullptr);
    ASSERT_TRUE(PostMessageA(paletteWindow, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0));

    HWND dialog = WaitForEditDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(editDialogOpen, 1);
    EXPECT_NE(GlobalSize(drop), kDropSize) << "the drop's memory is released once the path is taken";
    EXPECT_EQ(ControlText(dialog, IDC_ITEM_NAME), "app");
    EXPECT_EQ(ControlText(dialog, IDC_ITEM_ICON), "C:\\Tools\\app.exe");
    EXPECT_EQ(ControlText(dialog, IDC_ITEM_PATH), "C:\\Tools\\app.exe");
    EXPECT_EQ(ControlText(dialog, IDC_ITEM_ARGS), "");
    EXPECT_EQ(ControlText(dialog, IDC_ITEM_DIR), "");
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_ITEM_SHOW, CB_GETCURSEL, 0, 0), 0);

    // A second drop while the dialog is open is refused, and its memory released all the same.
    HGLOBAL second = MakeDrop(paths + 1, 1);
    SendMessageA(paletteWindow, WM_DROPFILES, reinterpret_cast<WPARAM>(second), 0);
    EXPECT_NE(GlobalSize(second), kDropSize);
    EXPECT_EQ(WaitForEditDialog(), dialog);

    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
    EXPECT_EQ(editDialogOpen, 0);
    {
        TablesLock lock;
        MenuItem* made = GetPaletteItem(0, 1);
        ASSERT_NE(made, nullptr) << "the first empty cell takes the new item";
        EXPECT_EQ(made->kind, KindLaunch);
        EXPECT_STREQ(made->text, "app");
        EXPECT_NE(made->icon, nullptr);
        ASSERT_NE(made->shortcut, nullptr);
        EXPECT_STREQ(made->shortcut->path, "C:\\Tools\\app.exe");
        EXPECT_EQ(made->shortcut->show, 5);
        EXPECT_EQ(GetPaletteItem(0, 3), nullptr);
        EXPECT_EQ(CountItems(), 2) << "only the first file of the drop became an item";
    }
    CloseEditor();
    EXPECT_EQ(GetPrivateProfileIntA("ITEMS", "NUM", -1, settings.path.c_str()), 2);
    ResetTables();
    DeleteFileA("C:\\Tools\\app.exe");
    RemoveDirectoryA("C:\\Tools");
    DeleteFileA(iconPath.c_str());
}

}  // namespace
