// The real low-level hook under Wine: input sent with SendInput goes through MouseHookProc, bound
// events are consumed before any window sees them, and everything else reaches the window.

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "TestSupport_win.h"
#include "input/MouseEvents.h"
#include "input/MouseHook.h"

namespace {

std::vector<UINT> windowMessages;
std::vector<MouseHookRecord> handled;

LRESULT CALLBACK RecordingWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_LBUTTONDOWN && message <= WM_XBUTTONDBLCLK && message != WM_MOUSEWHEEL) {
        windowMessages.push_back(message);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int32_t ConsumeX1(const MouseHookRecord& event) {
    handled.push_back(event);
    return 0;
}

class MouseHookTest : public ::testing::Test {
protected:
    HWND window = nullptr;

    void SetUp() override {
        ClearEventTable();
        windowMessages.clear();
        handled.clear();
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = RecordingWndProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "MouseHookTestWindow";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(WS_EX_TOPMOST, "MouseHookTestWindow", "hook test", WS_POPUP | WS_VISIBLE,
                                 100, 100, 300, 300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        SetForegroundWindow(window);
        SetCursorPos(250, 250);
        Pump(200);
        windowMessages.clear();
    }
    void TearDown() override {
        RemoveMouseHook();
        // Without a window manager Wine waits two seconds for every visible window it unmaps;
        // taking the visible style off first skips that wait.
        SetWindowLongA(window, GWL_STYLE, GetWindowLongA(window, GWL_STYLE) & ~WS_VISIBLE);
        DestroyWindow(window);
        ClearEventTable();
    }
    // Side button 1's press, double press and release go to ConsumeX1, under the real hook.
    static void BindX1() {
        RegisterEventHandler(X1Down, ConsumeX1, 0);
        RegisterEventHandler(X1Double, ConsumeX1, 0);
        RegisterEventHandler(X1Up, ConsumeX1, 0);
        ASSERT_EQ(InstallMouseHook(), 0);
        Pump(50);
    }
    // Takes messages until the window has had `count` button messages: input sent after what the
    // hook consumed, once there, shows that the hook has seen everything before it.
    static bool WindowGets(size_t count) {
        return PumpUntil(3000, [=] { return windowMessages.size() >= count; });
    }
};

TEST_F(MouseHookTest, BoundPressesAreConsumedAndOthersReachTheWindow) {
    BindX1();

    SendMouse(MOUSEEVENTF_XDOWN, 0, 0, XBUTTON1);
    SendMouse(MOUSEEVENTF_XUP, 0, 0, XBUTTON1);
    SendMouse(MOUSEEVENTF_MIDDLEDOWN, 0, 0, 0);
    SendMouse(MOUSEEVENTF_MIDDLEUP, 0, 0, 0);
    ASSERT_TRUE(WindowGets(2));

    ASSERT_EQ(handled.size(), 2u);
    EXPECT_EQ(handled[0].pt.x, 250);
    EXPECT_EQ(handled[0].pt.y, 250);
    EXPECT_EQ(handled[0].mouseData >> 16, static_cast<DWORD>(XBUTTON1));
    for (UINT message : windowMessages) {
        EXPECT_NE(message, static_cast<UINT>(WM_XBUTTONDOWN));
        EXPECT_NE(message, static_cast<UINT>(WM_XBUTTONUP));
    }
    EXPECT_EQ(windowMessages, (std::vector<UINT>{WM_MBUTTONDOWN, WM_MBUTTONUP}));
    EXPECT_EQ(heldButtons, 0);
}

TEST_F(MouseHookTest, MarkedInputPassesThroughUntouched) {
    BindX1();

    SendMouse(MOUSEEVENTF_XDOWN, 0, 0, XBUTTON1, PassThroughMarker);
    ASSERT_TRUE(WindowGets(1));
    EXPECT_EQ(heldButtons, kHeldX1);  // the hook saw it
    SendMouse(MOUSEEVENTF_XUP, 0, 0, XBUTTON1, PassThroughMarker);
    ASSERT_TRUE(WindowGets(2));

    EXPECT_TRUE(handled.empty());
    EXPECT_EQ(windowMessages, (std::vector<UINT>{WM_XBUTTONDOWN, WM_XBUTTONUP}));
    EXPECT_EQ(heldButtons, 0);
}

TEST_F(MouseHookTest, RemovedHookSeesNothing) {
    BindX1();
    RemoveMouseHook();
    SendMouse(MOUSEEVENTF_XDOWN, 0, 0, XBUTTON1);
    SendMouse(MOUSEEVENTF_XUP, 0, 0, XBUTTON1);
    ASSERT_TRUE(WindowGets(2));
    EXPECT_TRUE(handled.empty());
    EXPECT_EQ(windowMessages, (std::vector<UINT>{WM_XBUTTONDOWN, WM_XBUTTONUP}));
}

}  // namespace
