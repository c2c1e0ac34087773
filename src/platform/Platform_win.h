#pragma once
// What only the Windows side of the platform layer needs to be told: the window that owns what the
// shell shows for a launch (a consent prompt, an error), so that it does not sit behind others.

#include <windows.h>

void SetShellOwnerWindow(HWND window);
