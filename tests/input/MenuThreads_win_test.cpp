// Under Wine, in-process: the life cycle the ring menu's window, the label and the palette editor
// share (start, wait, WM_CLOSE from outside, stop, a failed set-up), and the menu threads started
// from a real "setting.ini" and driven through the real hook and trigger bindings; the ring opens
// and closes under the trigger, and stopping while it is open ends both threads and frees the
// queue and the items.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "TestSupport_win.h"
#include "app/App_win.h"
#include "input/EventQueue.h"
#include "input/MenuThreads_win.h"
#include "input/MouseEvents.h"
#include "input/MouseHook.h"
#include "input/TriggerBindings.h"
#include "menu/MenuWindow_win.h"
#include "menu/RingMenu.h"
#include "palette/PaletteWindow_win.h"
#include "settings/MenuItems.h"
#include "tooltip/LabelWindow_win.h"

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

// One of the three window threads, through its own start, wait and stop. `use` needs the window
// and answers -1 without one.
struct WindowThreadCase {
    const char* name;
    const wchar_t* className;
    WindowThread* record;
    int32_t (*start)();
    int32_t (*wait)();
    void (*stop)();
    HWND (*window)();
    int32_t (*use)();
    bool closesOnWmClose;  // the editor is closed by its user; the others live as long as the program
};

const WindowThreadCase kWindowThreads[] = {
    {"Menu", kMenuWindowClass, &menuThread, [] { return StartMenuWindowThread(GetModuleHandleA(nullptr)); },
     WaitForMenuWindow, StopMenuWindowThread, [] { return menuWindow.load(); },
     [] { return SelectRingItem(500, 400); }, false},
    {"Label", kLabelClassName, &labelThread, StartLabelThread, WaitForLabelWindow, StopLabelThread,
     [] { return labelWindow; }, [] { return ShowLabel("item", 10, 10); }, false},
    {"Palette", kPaletteClassName, &paletteThread, StartPaletteThread, WaitForPaletteWindow,
     ClosePaletteWithoutSaving, [] { return paletteWindow; },
     [] { return ShowPaletteContextMenu(PaletteMenuItem); }, true},
};

class WindowThreadTest : public ::testing::TestWithParam<const WindowThreadCase*> {
protected:
    static void SetUpTestSuite() {
        appInstance = GetModuleHandleA(nullptr);
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::GdiplusStartup(&gdiplus, &input, nullptr), Gdiplus::Ok);
    }
    static void TearDownTestSuite() { Gdiplus::GdiplusShutdown(gdiplus); }

    // A handle of this process's own to the running thread, which outlives the record's.
    static HANDLE Watch(const WindowThreadCase& window) {
        HANDLE watcher = nullptr;
        DuplicateHandle(GetCurrentProcess(), WindowThreadHandle(*window.record), GetCurrentProcess(),
                        &watcher, 0, FALSE, DUPLICATE_SAME_ACCESS);
        return watcher;
    }
    static DWORD ExitCodeOf(HANDLE watcher) {
        DWORD exitCode = 1;
        EXPECT_EQ(WaitForSingleObject(watcher, 5000), WAIT_OBJECT_0);
        GetExitCodeThread(watcher, &exitCode);
        CloseHandle(watcher);
        return exitCode;
    }
    // The calls that need the window give up without waiting out the bounded wait for it.
    static void ExpectRefusedAtOnce(const WindowThreadCase& window) {
        const DWORD start = GetTickCount();
        EXPECT_EQ(window.wait(), -1);
        EXPECT_EQ(window.use(), -1);
        EXPECT_LT(GetTickCount() - start, 1000u);
    }

    SettingsFileSession session;  // the editor writes the settings file when it is closed
    static ULONG_PTR gdiplus;
};
ULONG_PTR WindowThreadTest::gdiplus = 0;

TEST_P(WindowThreadTest, StartsServesOutsideCloseAsItsKindAndStopsCleanlyAgainAndAgain) {
    const WindowThreadCase& window = *GetParam();
    ASSERT_EQ(WindowThreadHandle(*window.record), nullptr);
    ExpectRefusedAtOnce(window);
    window.stop();  // nothing to stop

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(window.start(), 0);
        ASSERT_EQ(window.wait(), 0);
        const HWND shown = window.window();
        wchar_t className[64] = {};
        GetClassNameW(shown, className, 64);
        EXPECT_STREQ(className, window.className);
        HANDLE watcher = Watch(window);

        // WM_CLOSE from another thread, as any program may send it.
        SendMessageA(shown, WM_CLOSE, 0, 0);
        if (window.closesOnWmClose) {
            EXPECT_TRUE(PumpUntil(5000, [&] { return !IsWindow(shown); }));
        } else {
            EXPECT_TRUE(IsWindow(shown));
            EXPECT_EQ(window.wait(), 0);
        }

        window.stop();
        EXPECT_EQ(WindowThreadHandle(*window.record), nullptr);
        EXPECT_EQ(window.window(), nullptr);
        EXPECT_FALSE(IsWindow(shown));
        EXPECT_EQ(ExitCodeOf(watcher), 0u);
        WNDCLASSW found;
        EXPECT_FALSE(GetClassInfoW(GetModuleHandleW(nullptr), window.className, &found));
        ExpectRefusedAtOnce(window);
    }
}

// With the class name taken the set-up fails: the thread ends with -1, callers give up at once,
// the class it did not register is left alone, and the stop releases the handle, so the window
// comes up once the cause is gone.
TEST_P(WindowThreadTest, FailedSetUpEndsTheThreadAndLeavesNothingInTheWay) {
    const WindowThreadCase& window = *GetParam();
    WNDCLASSW squatter = {};
    squatter.lpfnWndProc = DefWindowProcW;
    squatter.hInstance = GetModuleHandleW(nullptr);
    squatter.lpszClassName = window.className;
    ASSERT_NE(RegisterClassW(&squatter), 0);
    for (int attempt = 0; attempt < 2; ++attempt) {
        ASSERT_EQ(window.start(), 0);
        EXPECT_EQ(ExitCodeOf(Watch(window)), static_cast<DWORD>(-1));
        ExpectRefusedAtOnce(window);
    }
    WNDCLASSW found;
    EXPECT_TRUE(GetClassInfoW(GetModuleHandleW(nullptr), window.className, &found));
    window.stop();
    EXPECT_EQ(WindowThreadHandle(*window.record), nullptr);
    ASSERT_TRUE(UnregisterClassW(window.className, GetModuleHandleW(nullptr)));

    ASSERT_EQ(window.start(), 0);
    EXPECT_EQ(window.wait(), 0);
    window.stop();
    EXPECT_FALSE(FileExists(session.path)) << "a failed start writes nothing";
}

INSTANTIATE_TEST_SUITE_P(AllWindows, WindowThreadTest,
                         ::testing::Values(&kWindowThreads[0], &kWindowThreads[1], &kWindowThreads[2]),
                         [](const auto& info) { return std::string(info.param->name); });

TEST(MenuThreadsTest, StoppingWhatNeverStartedDoesNothing) {
    StopMenuThreads();
    EXPECT_EQ(workerThread, nullptr);
    EXPECT_EQ(WindowThreadHandle(menuThread), nullptr);
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
    EXPECT_EQ(WindowThreadHandle(menuThread), nullptr);
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
