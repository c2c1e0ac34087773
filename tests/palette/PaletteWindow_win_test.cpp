// The palette editor's thread and window under Wine: opening it (once), what its window shows,
// writing the settings file when it closes, the state kept between openings, closing it without
// saving at shutdown, and a thread that fails at once.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "palette/PaletteLayout.h"
#include "palette/PaletteWindow.h"
#include "settings/MenuItems.h"
#include "settings/Pages.h"
#include "settings/SettingsFile.h"

namespace {

constexpr DWORD kEndTimeoutMs = 5000;

struct SettingsFileGuard {
    char path[kMaxPath] = {};
    SettingsFileGuard() {
        GetSettingsPath(path);
        DeleteFileA(path);
    }
    ~SettingsFileGuard() { DeleteFileA(path); }
    bool Exists() const { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }
};

bool WaitForPaletteEnd() {
    const DWORD start = GetTickCount();
    while (IsPaletteThreadRunning()) {
        if (GetTickCount() - start > kEndTimeoutMs) {
            return false;
        }
        Sleep(10);
    }
    return true;
}

int32_t CountPaletteWindows() {
    int32_t count = 0;
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, kPaletteClassName, nullptr)) != nullptr) {
        ++count;
    }
    return count;
}

// Brings the editor to the top, has it paint and answers the colour at a client point.
COLORREF ScreenPixel(int32_t x, int32_t y) {
    HDC dc = GetDC(nullptr);
    POINT point = {x, y};
    ClientToScreen(paletteWindow, &point);
    const COLORREF colour = GetPixel(dc, point.x, point.y);
    ReleaseDC(nullptr, dc);
    return colour;
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
    SettingsFileGuard settings;
    const uint32_t savesBefore = paletteSaveCount.load();
    ASSERT_EQ(StartPaletteThread(), 0);
    ASSERT_EQ(WaitForPaletteWindow(), 0);
    EXPECT_EQ(FindWindowA(kPaletteClassName, kPaletteClassName), paletteWindow);

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
    EXPECT_EQ(ScreenPixel(20, 40), RGB(59, 110, 165));     // the blue panel
    EXPECT_EQ(ScreenPixel(135, 156), RGB(59, 110, 165));   // inside the ring's hole
    EXPECT_EQ(ScreenPixel(135, 96), RGB(211, 207, 199));   // the grey ring, between slot 0 and the hole
    EXPECT_EQ(ScreenPixel(135, 66), RGB(211, 207, 199));   // inside slot 0's frame
    EXPECT_EQ(ScreenPixel(116, 47), RGB(128, 128, 128));   // slot 0's frame, one pixel inside its box
    EXPECT_EQ(ScreenPixel(290, 20), RGB(255, 255, 255));   // a palette cell
    EXPECT_EQ(ScreenPixel(313, 20), RGB(204, 204, 204));   // a vertical grid line
    EXPECT_EQ(ScreenPixel(290, 246), RGB(204, 204, 204));  // a horizontal grid line
    EXPECT_EQ(ScreenPixel(600, 12), RGB(0, 0, 0));         // the up arrow's triangle
    EXPECT_EQ(ScreenPixel(600, 279), RGB(0, 0, 0));        // the down arrow's triangle
    // The thumb at the top of the track (row 0): plain face, where the track is dotted.
    EXPECT_EQ(ScreenPixel(600, 25), RGB(212, 208, 200));
    EXPECT_EQ(ScreenPixel(601, 25), RGB(212, 208, 200));
    EXPECT_NE(ScreenPixel(600, 100), ScreenPixel(601, 100));

    MenuItem* item = CreateItem(7);
    ASSERT_NE(item, nullptr);
    ShortcutInfo* launch = CreateShortcutInfo();
    ASSERT_NE(launch, nullptr);
    SetShortcutPath(launch, "notepad.exe");
    SetItemText(item, "edit");
    SetItemKind(item, KindLaunch, launch);
    SetPaletteCell(2, 3, item);
    SetPageSlot(1, 4, item);
    const SettingsFileGuard& file = settings;
    EXPECT_FALSE(file.Exists());
    CloseEditor();
    EXPECT_EQ(paletteSaveCount.load(), savesBefore + 1);
    EXPECT_TRUE(file.Exists());
    // The tables as they were when the editor closed.
    EXPECT_EQ(GetPrivateProfileIntA("ITEMS", "NUM", -1, file.path), 1);
    EXPECT_EQ(GetPrivateProfileIntA("ITEM0", "ID", -1, file.path), 7);
    EXPECT_EQ(GetPrivateProfileIntA("PALETTE", "ITEM19", -1, file.path), 7);
    EXPECT_EQ(GetPrivateProfileIntA("PAGE1", "ITEM4", -1, file.path), 7);
    ClearPages();
    ClearPalette();
    FreeAllItems();
    EXPECT_EQ(paletteWindow, nullptr);
    EXPECT_EQ(CountPaletteWindows(), 0);
    EXPECT_EQ(WaitForPaletteWindow(), -1);
}

TEST(PaletteWindow, OpensAgainScrolledToTheTopOnThePageLastShown) {
    SettingsFileGuard settings;
    editorPage = 3;
    scrollRow = 9;
    ASSERT_EQ(StartPaletteThread(), 0);
    ASSERT_EQ(WaitForPaletteWindow(), 0);
    EXPECT_EQ(scrollRow, 0);
    EXPECT_EQ(editorPage, 3);
    ShowEditorOnTop();
    // The tab joint covers the frame's light top edge under tab 3 only.
    const PaletteBox tab3 = PageTabBox(3);
    EXPECT_EQ(ScreenPixel(tab3.left + 10, 25), RGB(212, 208, 200));
    EXPECT_EQ(ScreenPixel(PageTabBox(0).left + 10, 25), RGB(255, 255, 255));
    EXPECT_EQ(ScreenPixel(600, ThumbTop(0) + 5), RGB(212, 208, 200));
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

TEST(PaletteWindow, ClosingWithoutSavingWritesNothingAndWaitsForTheThread) {
    SettingsFileGuard settings;
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
    EXPECT_FALSE(settings.Exists());

    // The editor opens again afterwards, and a normal close saves again.
    ASSERT_EQ(StartPaletteThread(), 0);
    ASSERT_EQ(WaitForPaletteWindow(), 0);
    CloseEditor();
    EXPECT_EQ(paletteSaveCount.load(), savesBefore + 1);
}

// A thread that fails at once (here: its window class is taken) leaves no handle behind, so the
// editor opens once the cause is gone.
TEST(PaletteWindow, AThreadThatFailsAtOnceDoesNotKeepTheEditorFromOpening) {
    SettingsFileGuard settings;
    const uint32_t savesBefore = paletteSaveCount.load();
    WNDCLASSEXA taken = {};
    taken.cbSize = sizeof taken;
    taken.lpfnWndProc = DefWindowProcA;
    taken.hInstance = GetModuleHandleA(nullptr);
    taken.lpszClassName = kPaletteClassName;
    ASSERT_NE(RegisterClassExA(&taken), 0);
    for (int32_t attempt = 0; attempt < 3; ++attempt) {
        ASSERT_EQ(StartPaletteThread(), 0);
        ASSERT_TRUE(WaitForPaletteEnd());
    }
    EXPECT_EQ(WaitForPaletteWindow(), -1);
    ASSERT_TRUE(UnregisterClassA(kPaletteClassName, GetModuleHandleA(nullptr)));

    ASSERT_EQ(StartPaletteThread(), 0);
    ASSERT_EQ(WaitForPaletteWindow(), 0);
    CloseEditor();
    EXPECT_EQ(paletteSaveCount.load(), savesBefore + 1);  // the failed starts saved nothing
}

}  // namespace
