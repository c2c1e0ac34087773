#pragma once
// The messages by which a test talks to the windows of window_owner.exe, a helper process that
// owns top-level windows for the window commands to act on.

#include <windows.h>

// Answers how many WM_CLOSE messages the window has received (it never closes on them).
constexpr UINT kOwnerCloseCount = WM_APP + 1;
// wParam 1: the helper opens the clipboard and keeps it open; 0: it closes it. Answers 1 on success.
constexpr UINT kOwnerHoldClipboard = WM_APP + 2;
// The helper makes the window layered itself, with alpha lParam. Answers 1 on success.
constexpr UINT kOwnerMakeLayered = WM_APP + 3;
// The helper's thread sleeps wParam milliseconds, as a program that has stopped answering does.
constexpr UINT kOwnerHang = WM_APP + 4;
