// Which windows the program leaves alone, decided from what the system reports about them.

#include "platform/WindowKinds.h"

// True when a window of a process at level target is beyond the reach of a program at level own:
// the system drops the input, messages and hook calls such a program sends it or expects from it.
// A level that cannot be read belongs to a process that refused a query any caller of the same
// user at the same level may make, so it is taken as higher (elevated or protected), unless the
// program itself runs at high level or above. An unreadable own level counts as medium, the level
// of an ordinary user's programs.
bool IsAboveIntegrity(uint32_t target, uint32_t own) {
    if (own == kIntegrityUnreadable) {
        own = kIntegrityMedium;
    }
    if (target == kIntegrityUnreadable) {
        return own < kIntegrityHigh;
    }
    return target > own;
}

// True for the classes of the shell's desktop and taskbar windows, on which the window commands
// would close, hide or dim the shell itself.
bool IsShellWindowClass(std::wstring_view className) {
    return className == L"Progman" || className == L"WorkerW" || className == L"Shell_TrayWnd" ||
           className == L"Shell_SecondaryTrayWnd";
}

// True for the frame and core windows of modern (packaged) apps, which scroll only on the wheel
// input the system routes to them, not on a wheel message another program sends.
bool IsModernAppFrameClass(std::wstring_view className) {
    return className == L"ApplicationFrameWindow" || className == L"Windows.UI.Core.CoreWindow";
}
