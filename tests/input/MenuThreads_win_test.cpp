// Under Wine, in-process: the menu threads started from a real "setting.ini" and driven through
// the real hook and trigger bindings; the ring opens and closes under the trigger, and stopping
// while it is open ends both threads and frees the queue and the items.

#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport_win.h"
#include "input/EventQueue.h"
#include "input/MenuThreads.h"
#include "input/MouseEvents.h"
#include "input/MouseHook.h"
#include "input/TriggerBindings.h"
#include "menu/MenuWindow.h"
#include "settings/MenuItems.h"

extern HHOOK mouseHook;

namespace {

[[maybe_unused]] const auto* const gdiplusEnvironment =
    ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

// Drops the hook as the system does, sends side button 1 `flags` while no hook watches, and moves
// the pointer (drifting, so no two looks of the watchdog see one place) until the hook is back.
bool DropHookAcross(DWORD flags) {
    const HHOOK dropped = mouseHook;
    if (!UnhookWindowsHookEx(dropped)) {
        return false;
    }
    SendMouse(flags, 0, 0, XBUTTON1);
    int moves = 0;
    return PumpUntil(4000, [&] {
        SendMouse(MOUSEEVENTF_MOVE, ++moves % 2 ? 9 : -8);
        return mouseHook != dropped;
    });
}

bool RingVisible() {
    HWND window = menuWindow.load();
    return window != nullptr && IsWindowVisible(window);
}

// One window command on page 0, slot 0, with an icon file beside the executable (an item needs
// one to load). A release in the ring's centre runs nothing.
const char kSettings[] =
    "[ITEM0]\r\nID=1\r\nICON=item.ico\r\nTEXT=close\r\nTYPE=1\r\nEVENT=1\r\n"
    "[ITEMS]\r\nNUM=1\r\n"
    "[PAGE0]\r\nITEM0=1\r\n";

TEST(MenuThreadsTest, StoppingWhatNeverStartedDoesNothing) {
    StopMenuThreads();
    EXPECT_EQ(workerThread, nullptr);
    EXPECT_EQ(menuThread.load(), nullptr);
}

TEST(MenuThreadsTest, TriggerOpensAndClosesTheRingAndStopEndsEverything) {
    SettingsFileSession session;
    ASSERT_TRUE(WriteFileBytes(session.path, kSettings));
    ASSERT_TRUE(WriteIconFile(ExecutableDir() + "item.ico"));
    ClearEventTable();
    ASSERT_EQ(LoadTriggerBindings(ForwardWheel), 0);

    ASSERT_EQ(StartMenuThreads(GetModuleHandleA(nullptr)), 0);
    EXPECT_NE(itemListHead, nullptr);
    ASSERT_EQ(WaitForMenuWindow(), 0);
    const HWND ring = menuWindow.load();
    ASSERT_EQ(InstallMouseHook(), 0);
    SetCursorPos(500, 400);
    Pump(100);

    SendMouse(MOUSEEVENTF_XDOWN, 0, 0, XBUTTON1);
    ASSERT_TRUE(PumpUntil(3000, RingVisible));
    RECT rect;
    GetWindowRect(ring, &rect);
    EXPECT_EQ(rect.left, 372);
    EXPECT_EQ(rect.top, 272);
    EXPECT_EQ(rect.right - rect.left, 256);
    EXPECT_EQ(rect.bottom - rect.top, 256);

    SendMouse(MOUSEEVENTF_XUP, 0, 0, XBUTTON1);
    EXPECT_TRUE(PumpUntil(3000, [] { return !RingVisible(); }));

    // The system drops the hook in the middle of a gesture. A release lost meanwhile: once the
    // hook is back the ring is closed, running nothing. A press that only the system saw: the
    // trigger is known as held, so the wheel goes to the menu.
    SendMouse(MOUSEEVENTF_XDOWN, 0, 0, XBUTTON1);
    ASSERT_TRUE(PumpUntil(3000, RingVisible));
    ASSERT_TRUE(DropHookAcross(MOUSEEVENTF_XUP));
    EXPECT_TRUE(PumpUntil(3000, [] { return !RingVisible(); }));
    ASSERT_TRUE(DropHookAcross(MOUSEEVENTF_XDOWN));
    EXPECT_EQ(heldButtons, kHeldX1);
    SendMouse(MOUSEEVENTF_XUP, 0, 0, XBUTTON1);
    EXPECT_TRUE(PumpUntil(1000, [] { return heldButtons == 0; }));

    // Open again and stop while it is open, in the shutdown's order.
    SendMouse(MOUSEEVENTF_XDOWN, 0, 0, XBUTTON1);
    ASSERT_TRUE(PumpUntil(3000, RingVisible));
    RemoveMouseHook();
    const DWORD start = GetTickCount();
    StopMenuThreads();
    EXPECT_LT(GetTickCount() - start, 3000u);
    EXPECT_EQ(workerThread, nullptr);
    EXPECT_EQ(menuThread.load(), nullptr);
    EXPECT_EQ(menuWindow.load(), nullptr);
    EXPECT_FALSE(IsWindow(ring));
    EXPECT_EQ(eventQueue.lock, nullptr);
    EXPECT_EQ(eventQueue.semaphore, nullptr);
    EXPECT_EQ(itemListHead, nullptr);
    // With the queue gone the bindings still answer, and nothing is queued.
    MouseHookRecord press = {};
    EXPECT_EQ(OnTriggerDown(press), 0);

    ClearEventTable();
    SendMouse(MOUSEEVENTF_XUP, 0, 0, XBUTTON1);
    Pump(50);
    RemoveFile(ExecutableDir() + "item.ico");
}

}  // namespace
