#pragma once
// The advanced settings dialog (resource 107), modal on the main thread.

#include <windows.h>

#include <cstdint>

// 1 while the dialog is open, else 0; the tray menu opens no second one. Main thread only.
extern int32_t advancedDialogOpen;

INT_PTR CALLBACK AdvancedSettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
