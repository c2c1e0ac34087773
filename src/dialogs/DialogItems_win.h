#pragma once
// What the two dialogs share: a message to one of a dialog's controls.

#include <windows.h>

inline LRESULT SendItem(HWND dialog, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendDlgItemMessageW(dialog, id, message, wParam, lParam);
}
