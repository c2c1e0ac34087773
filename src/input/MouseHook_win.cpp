// The low-level mouse hook: every mouse message of the desktop passes through MouseHookProc on
// the thread that installed it, is classified, and goes to the handlers of its event.

#include <windows.h>

#include <cstddef>
#include <cstring>

#include "input/MouseEvents.h"
#include "input/MouseHook.h"

HHOOK mouseHook;

static_assert(sizeof(MouseHookRecord) == sizeof(MSLLHOOKSTRUCT), "hook record layout");
static_assert(offsetof(MouseHookRecord, pt) == offsetof(MSLLHOOKSTRUCT, pt), "hook record layout");
static_assert(offsetof(MouseHookRecord, mouseData) == offsetof(MSLLHOOKSTRUCT, mouseData), "hook record layout");
static_assert(offsetof(MouseHookRecord, dwExtraInfo) == offsetof(MSLLHOOKSTRUCT, dwExtraInfo), "hook record layout");

// A message that a handler consumes is withheld from later hooks and from the window under the
// pointer; everything else goes on unchanged.
LRESULT CALLBACK MouseHookProc(int nCode, WPARAM wParam, LPARAM lParam) {
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

// Installs the hook for the whole desktop on the calling thread, which must pump messages.
int32_t InstallMouseHook() {
    ResetMouseState(GetDoubleClickTime());
    mouseHook = SetWindowsHookExA(WH_MOUSE_LL, MouseHookProc, GetModuleHandleA(nullptr), 0);
    return mouseHook != nullptr ? 0 : -1;
}

void RemoveMouseHook() {
    if (mouseHook != nullptr) {
        UnhookWindowsHookEx(mouseHook);
        mouseHook = nullptr;
    }
}
