// The low-level mouse hook: every mouse message of the desktop passes through MouseHookProc on
// the thread that installed it, is classified, and goes to the handlers of its event.
//
// The watchdog. Windows removes a low-level hook without telling anyone when one call of it
// takes longer than the system's time-out (at most a second), for instance while the thread is
// held up elsewhere; the program would then look alive and never open the menu again. So the
// hook counts its calls, and a timer of the installing thread compares, once per
// kHookWatchdogPeriodMs, the cursor position and that count with the previous check: a cursor
// that has moved while the hook saw nothing at all means the hook is gone, and it is installed
// again. Cost: one increment per hook call, and while the program idles one timer message a
// second that reads the cursor position; no thread, no polling in between. A program moving the
// cursor with SetCursorPos passes no hook either, so before anything is done a probe (a zero move
// of our own, marked so that no handler acts on it) asks the hook: a live one sees it, and stays.
// Over a window of a process above the program's integrity level (an elevated program) the
// system calls no hook of ours at all, so there the watchdog neither probes nor sets the hook
// again.

#include <windows.h>

#include <cstddef>
#include <cstring>

#include "input/MouseEvents.h"
#include "input/MouseHook.h"
#include "input/TriggerBindings.h"
#include "platform/WindowKinds_win.h"

HHOOK mouseHook;

namespace {

uint32_t hookCalls;  // counted by MouseHookProc; read by the watchdog on the same thread
UINT_PTR watchdogTimer;
uint32_t checkedCalls;
POINT checkedCursor;
UINT_PTR probeTimer;  // set while a probe is out
uint32_t probeCalls;  // hookCalls when the probe was sent
constexpr UINT kProbeWaitMs = 100;

}  // namespace

static_assert(sizeof(MouseHookRecord) == sizeof(MSLLHOOKSTRUCT), "hook record layout");
static_assert(offsetof(MouseHookRecord, pt) == offsetof(MSLLHOOKSTRUCT, pt), "hook record layout");
static_assert(offsetof(MouseHookRecord, mouseData) == offsetof(MSLLHOOKSTRUCT, mouseData),
              "hook record layout");
static_assert(offsetof(MouseHookRecord, dwExtraInfo) == offsetof(MSLLHOOKSTRUCT, dwExtraInfo),
              "hook record layout");

// A message that a handler consumes is withheld from later hooks and from the window under the
// pointer; everything else goes on unchanged.
static LRESULT CALLBACK MouseHookProc(int nCode, WPARAM wParam, LPARAM lParam) {
    ++hookCalls;
    if (nCode < 0) {
        return CallNextHookEx(mouseHook, nCode, wParam, lParam);
    }
    MouseHookRecord record;
    memcpy(&record, reinterpret_cast<const void*>(lParam), sizeof record);
    if (HandleMouseMessage(static_cast<uint32_t>(wParam), record) != kPassOn) {
        return -1;
    }
    return CallNextHookEx(mouseHook, nCode, wParam, lParam);
}

namespace {

HHOOK SetHook() {
    return SetWindowsHookExW(WH_MOUSE_LL, MouseHookProc, GetModuleHandleW(nullptr), 0);
}

void RememberCheck() {
    checkedCalls = hookCalls;
    if (!GetCursorPos(&checkedCursor)) {
        checkedCursor = POINT{};
    }
}

// The buttons that went up or down while no hook was watching: take them as the system's key
// state has them now, and let the trigger catch up.
void ResyncHeldButtons() {
    ResyncTrigger(HeldButtonsNow());
}

// True when the window under the cursor belongs to a process above the program's integrity
// level: the system calls no hook of a lower program for input that goes there, so a silent hook
// says nothing about whether it is still installed.
bool CursorOverHigherWindow(POINT cursor) {
    return IsAboveOwnIntegrity(WindowFromPoint(cursor));
}

// Sets the hook again. The held buttons are read afresh only when the old hook is known to be
// gone (its probe went unseen, or the system no longer knows its handle): a live one saw every
// button, and its state stands. Returns 1 when the hook was set again; else the next look retries.
int32_t SetHookAgain(bool knownDropped) {
    HHOOK fresh = SetHook();
    if (fresh == nullptr) {
        return 0;
    }
    const bool released = UnhookWindowsHookEx(mouseHook) != FALSE;
    mouseHook = fresh;
    // While a window above the program's level has the focus the key state reads all buttons up,
    // which would close an open ring: the hook's own state stands then.
    if ((knownDropped || !released) && !IsAboveOwnIntegrity(GetForegroundWindow())) {
        ResyncHeldButtons();
    }
    return 1;
}

// A zero move, marked to pass every handler, that a live hook is called for.
bool SendProbe() {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_MOVE;
    input.mi.dwExtraInfo = PassThroughMarker;
    return SendInput(1, &input, sizeof input) == 1;
}

void StopProbe() {
    if (probeTimer != 0) {
        KillTimer(nullptr, probeTimer);
        probeTimer = 0;
    }
}

// The probe's answer: a hook that was called meanwhile is alive; one that was not is set again.
VOID CALLBACK ProbeTick(HWND, UINT, UINT_PTR, DWORD) {
    StopProbe();
    if (mouseHook == nullptr) {
        return;
    }
    POINT cursor = {};
    if (hookCalls == probeCalls && !(GetCursorPos(&cursor) && CursorOverHigherWindow(cursor))) {
        SetHookAgain(true);
    }
    RememberCheck();
}

VOID CALLBACK WatchdogTick(HWND, UINT, UINT_PTR, DWORD) {
    CheckMouseHook();
}

}  // namespace

// The buttons held at this moment, as the logical buttons that the hook and window messages name.
// The system's key state names the physical ones, so left and right are exchanged when the user
// has swapped them.
uint16_t HeldButtonsNow() {
    struct ButtonKey {
        int virtualKey;
        uint16_t bit;
    };
    static const ButtonKey kButtons[] = {
        {VK_LBUTTON, kHeldLeft}, {VK_MBUTTON, kHeldMiddle}, {VK_RBUTTON, kHeldRight},
        {VK_XBUTTON1, kHeldX1},  {VK_XBUTTON2, kHeldX2},
    };
    uint16_t held = 0;
    for (const ButtonKey& button : kButtons) {
        if (GetAsyncKeyState(button.virtualKey) & 0x8000) {
            held |= button.bit;
        }
    }
    return SwapLeftAndRight(held, GetSystemMetrics(SM_SWAPBUTTON) != 0);
}

// Installs the hook for the whole desktop on the calling thread, which must pump messages, and
// starts the watchdog on the same thread. -1 when the hook cannot be set.
int32_t InstallMouseHook() {
    ResetMouseState(GetDoubleClickTime());
    mouseHook = SetHook();
    if (mouseHook == nullptr) {
        return -1;
    }
    RememberCheck();
    if (watchdogTimer == 0) {
        watchdogTimer = SetTimer(nullptr, 0, kHookWatchdogPeriodMs, WatchdogTick);
    }
    return 0;
}

// Removes the hook and stops the watchdog; on the thread that installed them.
void RemoveMouseHook() {
    StopProbe();
    if (watchdogTimer != 0) {
        KillTimer(nullptr, watchdogTimer);
        watchdogTimer = 0;
    }
    if (mouseHook != nullptr) {
        UnhookWindowsHookEx(mouseHook);
        mouseHook = nullptr;
    }
}

// One look of the watchdog: when the cursor has moved since the last look and the hook has not
// been called since, either the system has dropped the hook or a program moved the cursor, and a
// probe tells which (ProbeTick). When no probe can be sent, the hook is set again at once. The
// new hook is set before the old handle is released, and no message is served in between, so
// none is handled twice. The event table and the double-press clock stay as they are; after a
// real drop the held buttons are read afresh, and a menu whose trigger is up is closed. Returns 1
// when the hook was set again at this look, else 0.
int32_t CheckMouseHook() {
    if (mouseHook == nullptr || probeTimer != 0) {
        return 0;
    }
    const uint32_t previousCalls = checkedCalls;
    const POINT previousCursor = checkedCursor;
    RememberCheck();
    const bool cursorMoved = checkedCursor.x != previousCursor.x || checkedCursor.y != previousCursor.y;
    if (!cursorMoved || checkedCalls != previousCalls || CursorOverHigherWindow(checkedCursor)) {
        return 0;
    }
    probeCalls = hookCalls;
    if (SendProbe()) {
        probeTimer = SetTimer(nullptr, 0, kProbeWaitMs, ProbeTick);
        if (probeTimer != 0) {
            return 0;
        }
    }
    return SetHookAgain(false);
}
