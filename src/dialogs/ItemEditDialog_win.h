#pragma once
// The item edit dialog (resource 101), modal on the palette editor's thread. Its inputs and its
// open flag are in ItemEdit.h.

#include <windows.h>

INT_PTR CALLBACK ItemEditDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
