// Wheel forwarding: a wheel turn without the trigger goes to the window under the pointer rather
// than to the window with the keyboard focus.

#include <windows.h>

#include "input/TriggerBindings.h"
#include "platform/WindowKinds_win.h"

namespace {

struct KeyBit {
    int virtualKey;
    WPARAM bit;
};

struct ButtonBit {
    uint16_t held;
    WPARAM bit;
};

constexpr KeyBit kKeyBits[] = {{VK_CONTROL, MK_CONTROL}, {VK_SHIFT, MK_SHIFT}};
constexpr ButtonBit kButtonBits[] = {
    {kHeldLeft, MK_LBUTTON}, {kHeldMiddle, MK_MBUTTON}, {kHeldRight, MK_RBUTTON},
    {kHeldX1, MK_XBUTTON1},  {kHeldX2, MK_XBUTTON2},
};

// The key state of the turn as wParam's low word: Ctrl and Shift as they are at this moment
// (the hook's thread never gets keyboard input, so its own key state would lag behind), the
// buttons as the hook has seen them.
WPARAM KeyStateOfTurn() {
    WPARAM keys = 0;
    for (const KeyBit& key : kKeyBits) {
        if (GetAsyncKeyState(key.virtualKey) & 0x8000) {
            keys |= key.bit;
        }
    }
    for (const ButtonBit& button : kButtonBits) {
        if (heldButtons & button.held) {
            keys |= button.bit;
        }
    }
    return keys;
}

}  // namespace

// Sends WM_MOUSEWHEEL to the innermost window under the pointer, with the wheel delta and the
// key and button state in wParam and the screen position in lParam, and consumes the turn (the
// focused window does not get it as well).
//
// This runs inside the low-level hook, which holds up the pointer of the whole desktop while it
// runs, and which the system removes silently when it stalls past its time-out. So it must not
// wait for the target:
//   - a window of another thread (any other program, or another thread of ours) gets the message
//     with SendNotifyMessageA: it arrives as a sent message, like a synchronous send, but the
//     call returns as soon as it is queued. A hung window only collects the turns until it
//     answers again. SendMessageTimeoutA was not chosen: it would still hold the whole desktop's
//     pointer for its full bound on every turn at a window that has just stopped answering
//     (SMTO_ABORTIFHUNG only recognises a window that has been hung for seconds), and needs a
//     bound small enough to be harmless yet large enough for a slow but healthy window.
//   - a window of the hook's own thread (the tray menu, the settings dialog) would be called
//     directly by any kind of send, running its window procedure inside the hook; it gets the
//     message posted instead and handles it from the thread's message loop once the hook has
//     returned.
// WindowFromPoint finding nothing sends nothing; the turn is consumed all the same.
//
// Two kinds of window get the turn from the system instead (kPassOn): one of a process above the
// program's integrity level, which drops messages from a lower program, and the frame of a modern
// app, which does not scroll on a wheel message sent by another program.
int32_t ForwardWheel(const MouseHookRecord& event) {
    const POINT point = {event.pt.x, event.pt.y};
    HWND target = WindowFromPoint(point);
    if (IsModernAppFrame(target) || IsAboveOwnIntegrity(target)) {
        return kPassOn;
    }
    const WPARAM wParam = (static_cast<WPARAM>(event.mouseData >> 16) << 16) | KeyStateOfTurn();
    const LPARAM lParam = static_cast<LPARAM>((static_cast<uint32_t>(event.pt.y & 0xFFFF) << 16) |
                                              static_cast<uint32_t>(event.pt.x & 0xFFFF));
    if (target != nullptr) {
        if (GetWindowThreadProcessId(target, nullptr) == GetCurrentThreadId()) {
            PostMessageW(target, WM_MOUSEWHEEL, wParam, lParam);
        } else {
            SendNotifyMessageW(target, WM_MOUSEWHEEL, wParam, lParam);
        }
    }
    return 0;
}
