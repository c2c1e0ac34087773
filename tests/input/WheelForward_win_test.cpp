// Under Wine: wheel forwarding never holds up the hook (a hung window only collects its turns),
// the forwarded message carries the key state and position, and the watchdog puts back a hook
// that the system has dropped.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "TestSupport_win.h"
#include "input/MouseEvents.h"
#include "input/MouseHook.h"
#include "input/TriggerBindings.h"

extern HHOOK mouseHook;

namespace {

struct Wheeled {
    WPARAM wParam;
    LPARAM lParam;
    DWORD sendKind;  // InSendMessageEx: ISMEX_NOSEND for a posted or natively routed message
};

// Wheel messages as the receiving windows saw them; each window's thread appends.
CRITICAL_SECTION receivedLock;
std::vector<Wheeled> received;

std::vector<Wheeled> Received() {
    EnterCriticalSection(&receivedLock);
    std::vector<Wheeled> copy = received;
    LeaveCriticalSection(&receivedLock);
    return copy;
}

LRESULT CALLBACK ReceiverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MOUSEWHEEL) {
        const DWORD kind = InSendMessageEx(nullptr);
        EnterCriticalSection(&receivedLock);
        received.push_back(Wheeled{wParam, lParam, kind});
        LeaveCriticalSection(&receivedLock);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

const char kReceiverClass[] = "WheelReceiver";

HWND CreateReceiver(int x, int y) {
    return CreateWindowExA(WS_EX_TOPMOST | WS_EX_NOACTIVATE, kReceiverClass, "receiver",
                           WS_POPUP | WS_VISIBLE, x, y, 200, 200, nullptr, nullptr, GetModuleHandleA(nullptr),
                           nullptr);
}

// Destroys a shown test window. Without a window manager Wine waits two seconds for every
// visible window it unmaps; taking the visible style off first skips that wait.
void DestroyTestWindow(HWND window) {
    SetWindowLongA(window, GWL_STYLE, GetWindowLongA(window, GWL_STYLE) & ~WS_VISIBLE);
    DestroyWindow(window);
}

double NowMs() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// A window on a thread of its own. While `hung` is set the thread stops pumping messages, as a
// program that has hung does.
struct ReceiverThread {
    HANDLE thread = nullptr;
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE resume = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> hung{false};
    std::atomic<HWND> window{nullptr};
    int x = 0;
    int y = 0;

    static unsigned __stdcall Run(void* argument) {
        ReceiverThread& self = *static_cast<ReceiverThread*>(argument);
        self.window = CreateReceiver(self.x, self.y);
        SetEvent(self.ready);
        MSG message;
        for (;;) {
            if (self.hung) {
                WaitForSingleObject(self.resume, INFINITE);
                self.hung = false;
            }
            if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT) == WAIT_FAILED) {
                break;
            }
            bool quit = false;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.message == WM_QUIT) {
                    quit = true;
                    break;
                }
                DispatchMessageA(&message);
            }
            if (quit) {
                break;
            }
        }
        DestroyTestWindow(self.window);
        return 0;
    }

    bool Start(int left, int top) {
        x = left;
        y = top;
        thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Run, this, 0, nullptr));
        return thread != nullptr && WaitForSingleObject(ready, 5000) == WAIT_OBJECT_0 && window != nullptr;
    }

    void Stop() {
        if (thread == nullptr) {
            return;
        }
        SetEvent(resume);
        PostMessageA(window, WM_QUIT, 0, 0);
        WaitForSingleObject(thread, 5000);
        CloseHandle(thread);
        thread = nullptr;
    }

    ~ReceiverThread() {
        Stop();
        CloseHandle(ready);
        CloseHandle(resume);
    }
};

MouseHookRecord WheelAt(int32_t x, int32_t y, int16_t delta) {
    MouseHookRecord record = {};
    record.pt = {x, y};
    record.mouseData = static_cast<uint32_t>(static_cast<uint16_t>(delta)) << 16;
    return record;
}

class WheelForwardTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitializeCriticalSection(&receivedLock);
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = ReceiverProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kReceiverClass;
        RegisterClassA(&windowClass);
    }
    void SetUp() override {
        EnterCriticalSection(&receivedLock);
        received.clear();
        LeaveCriticalSection(&receivedLock);
        ClearEventTable();
    }
    void TearDown() override {
        RemoveMouseHook();
        ClearEventTable();
    }
};

// The forward to a window whose thread has stopped pumping returns while it still hangs; the
// window gets the turn, as a sent message, when it answers again.
TEST_F(WheelForwardTest, HungWindowDoesNotHoldUpTheHook) {
    ReceiverThread receiver;
    receiver.hung = false;
    ASSERT_TRUE(receiver.Start(600, 500));
    Sleep(100);
    receiver.hung = true;
    Sleep(100);  // the thread now sits in its wait, pumping nothing

    struct Call {
        MouseHookRecord record;
        int32_t result = -5;
        double elapsedMs = -1;
    } call{WheelAt(650, 560, -120)};
    // On a thread of its own, so that a forward that blocked fails the test instead of hanging it.
    HANDLE caller = reinterpret_cast<HANDLE>(_beginthreadex(
        nullptr, 0,
        [](void* argument) -> unsigned {
            Call& call = *static_cast<Call*>(argument);
            const double start = NowMs();
            call.result = ForwardWheel(call.record);
            call.elapsedMs = NowMs() - start;
            return 0;
        },
        &call, 0, nullptr));
    ASSERT_NE(caller, nullptr);
    const bool returned = WaitForSingleObject(caller, 3000) == WAIT_OBJECT_0;
    EXPECT_TRUE(returned) << "ForwardWheel blocked on a hung window";
    if (returned) {
        CloseHandle(caller);
        EXPECT_EQ(call.result, 0);
        RecordProperty("forward_to_hung_window_us", static_cast<int>(call.elapsedMs * 1000));
    }
    EXPECT_TRUE(Received().empty());

    SetEvent(receiver.resume);
    ASSERT_TRUE(PumpUntil(3000, [] { return !Received().empty(); }));
    const std::vector<Wheeled> got = Received();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(HIWORD(got[0].wParam), 0xFF88);  // -120
    EXPECT_EQ(got[0].lParam, MAKELPARAM(650, 560));
    EXPECT_NE(got[0].sendKind & ISMEX_NOTIFY, 0u);
    receiver.Stop();
}

// Through the real hook: a wheel turn with Ctrl and the middle button held, over a window of
// another thread, reaches that window only as the forwarded message, with their key bits, the
// delta and the position. (Wine shares one key state between threads.)
TEST_F(WheelForwardTest, ForwardedTurnCarriesTheKeyStateAndPosition) {
    ReceiverThread receiver;
    ASSERT_TRUE(receiver.Start(300, 300));
    RegisterEventHandler(Wheel, ForwardWheel, 0);
    ASSERT_EQ(InstallMouseHook(), 0);
    SetCursorPos(350, 360);
    Pump(100);

    SendKey(VK_CONTROL, true);
    SendMouse(MOUSEEVENTF_MIDDLEDOWN, 0, 0, 0);
    Pump(100);
    SendMouse(MOUSEEVENTF_WHEEL, 0, 0, static_cast<DWORD>(WHEEL_DELTA));
    const bool arrived = PumpUntil(2000, [] { return !Received().empty(); });
    SendMouse(MOUSEEVENTF_MIDDLEUP, 0, 0, 0);
    SendKey(VK_CONTROL, false);
    Pump(100);
    ASSERT_TRUE(arrived);

    const std::vector<Wheeled> got = Received();
    ASSERT_EQ(got.size(), 1u);  // the original turn was consumed
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(got[0].wParam), WHEEL_DELTA);
    EXPECT_EQ(GET_KEYSTATE_WPARAM(got[0].wParam), MK_CONTROL | MK_MBUTTON);
    EXPECT_EQ(got[0].lParam, MAKELPARAM(350, 360));
    EXPECT_NE(got[0].sendKind & ISMEX_NOTIFY, 0u);

    // Without Ctrl, and turned the other way.
    EnterCriticalSection(&receivedLock);
    received.clear();
    LeaveCriticalSection(&receivedLock);
    SendMouse(MOUSEEVENTF_WHEEL, 0, 0, static_cast<DWORD>(-WHEEL_DELTA));
    ASSERT_TRUE(PumpUntil(2000, [] { return !Received().empty(); }));
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(Received()[0].wParam), -WHEEL_DELTA);
    EXPECT_EQ(GET_KEYSTATE_WPARAM(Received()[0].wParam), 0);
    receiver.Stop();
}

// A window of the hook's own thread is not called from inside the hook: the turn is posted and
// handled from the message loop afterwards.
TEST_F(WheelForwardTest, WindowOfTheHookThreadGetsTheTurnAfterTheHook) {
    HWND window = CreateReceiver(700, 100);
    ASSERT_NE(window, nullptr);
    Pump(50);
    EXPECT_EQ(ForwardWheel(WheelAt(710, 150, 240)), 0);
    EXPECT_TRUE(Received().empty());
    Pump(50);
    const std::vector<Wheeled> got = Received();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(got[0].wParam), 240);
    EXPECT_EQ(got[0].lParam, MAKELPARAM(710, 150));
    EXPECT_EQ(got[0].sendKind, static_cast<DWORD>(ISMEX_NOSEND));
    DestroyTestWindow(window);
}

// A modern app's frame scrolls only on a turn the system routes: the turn is left to the system
// over the frame and over any window inside it.
TEST_F(WheelForwardTest, ModernAppFramesGetTheTurnFromTheSystem) {
    WNDCLASSA frameClass = {};
    frameClass.lpfnWndProc = ReceiverProc;
    frameClass.hInstance = GetModuleHandleA(nullptr);
    frameClass.lpszClassName = "ApplicationFrameWindow";
    RegisterClassA(&frameClass);
    HWND frame = CreateWindowExA(WS_EX_TOPMOST | WS_EX_NOACTIVATE, frameClass.lpszClassName, "frame",
                                 WS_POPUP | WS_VISIBLE, 700, 100, 200, 200, nullptr, nullptr,
                                 frameClass.hInstance, nullptr);
    ASSERT_NE(CreateWindowExA(0, kReceiverClass, "inside", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, frame,
                              nullptr, frameClass.hInstance, nullptr),
              nullptr);
    Pump(50);
    EXPECT_EQ(ForwardWheel(WheelAt(710, 110, 120)), kPassOn);
    EXPECT_EQ(ForwardWheel(WheelAt(850, 250, 120)), kPassOn);
    Pump(50);
    EXPECT_TRUE(Received().empty());
    DestroyTestWindow(frame);
}

// The watchdog: a hook removed behind the program's back is set again once the pointer moves;
// a still pointer, or a hook that sees the moves, never causes a reinstallation.
class HookWatchdogTest : public WheelForwardTest {
protected:
    static int presses;
    static int32_t CountPress(const MouseHookRecord&) {
        ++presses;
        return 0;
    }
    void SetUp() override {
        WheelForwardTest::SetUp();
        presses = 0;
        RegisterEventHandler(X1Down, CountPress, 0);
        RegisterEventHandler(X1Double, CountPress, 0);
        RegisterEventHandler(X1Up, CountPress, 0);
        SetCursorPos(400, 400);
        ASSERT_EQ(InstallMouseHook(), 0);
        Pump(50);
    }

    void Wiggle(int steps) {
        for (int i = 0; i < steps; ++i) {
            SendMouse(MOUSEEVENTF_MOVE, (i % 2) ? -7 : 9, 3);
            Pump(20);
        }
    }
};
int HookWatchdogTest::presses = 0;

TEST_F(HookWatchdogTest, DroppedHookIsSetAgainOnceThePointerMoves) {
    HHOOK dropped = mouseHook;
    ASSERT_TRUE(UnhookWindowsHookEx(dropped));
    SendMouse(MOUSEEVENTF_XDOWN, 0, 0, XBUTTON1);
    SendMouse(MOUSEEVENTF_XUP, 0, 0, XBUTTON1);
    Pump(100);
    EXPECT_EQ(presses, 0);  // really gone

    const double start = NowMs();
    bool back = false;
    while (!back && NowMs() - start < 15 * kHookWatchdogPeriodMs) {
        Wiggle(1);
        back = mouseHook != dropped;
    }
    const double recoveryMs = NowMs() - start;
    ASSERT_TRUE(back) << "no reinstallation within " << 15 * kHookWatchdogPeriodMs << " ms";
    // How soon is a figure, not a limit: a busy machine delays the watchdog's look.
    RecordProperty("hook_recovery_ms", static_cast<int>(recoveryMs));

    SendMouse(MOUSEEVENTF_XDOWN, 0, 0, XBUTTON1);
    SendMouse(MOUSEEVENTF_XUP, 0, 0, XBUTTON1);
    EXPECT_TRUE(PumpUntil(10000, [] { return presses == 2; }));
}

TEST_F(HookWatchdogTest, LiveHookOrStillPointerIsLeftAlone) {
    const HHOOK installed = mouseHook;
    // Moving, with the hook alive, over three looks.
    const double start = NowMs();
    while (NowMs() - start < 2.5 * kHookWatchdogPeriodMs) {
        Wiggle(1);
    }
    EXPECT_EQ(mouseHook, installed);
    // Moved by a program (SetCursorPos passes no hook) while the hook lives: the probe finds it.
    const double moving = NowMs();
    for (int i = 0; NowMs() - moving < 2.5 * kHookWatchdogPeriodMs; ++i) {
        SetCursorPos(400 + (i % 2) * 9, 400);
        Pump(20);
    }
    EXPECT_EQ(mouseHook, installed);
    // Removed (once the watchdog took in the last move) with the pointer still: nothing done.
    Pump(static_cast<DWORD>(1.5 * kHookWatchdogPeriodMs));
    ASSERT_TRUE(UnhookWindowsHookEx(installed));
    Pump(static_cast<DWORD>(2.5 * kHookWatchdogPeriodMs));
    EXPECT_EQ(mouseHook, installed);
    if (mouseHook != installed) {
        UnhookWindowsHookEx(mouseHook);  // a wrong reinstallation must not outlive the case
    }
    mouseHook = nullptr;  // already unhooked
}

}  // namespace
