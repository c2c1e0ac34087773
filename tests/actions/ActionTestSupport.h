#pragma once
// The clipboard as the user sees it, for the Wine tests of the actions.

#include <windows.h>

#include <cstring>
#include <string>

#include "TestSupport_win.h"

inline bool OpenClipboardPatiently() {
    return WaitUntil([] { return OpenClipboard(nullptr) != FALSE; }, 2000);
}

// Replaces the clipboard's content with text (CF_TEXT).
inline bool PutClipboardText(const std::string& text) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
    GlobalUnlock(memory);
    if (!OpenClipboardPatiently()) {
        GlobalFree(memory);
        return false;
    }
    const bool stored = EmptyClipboard() && SetClipboardData(CF_TEXT, memory) != nullptr;
    CloseClipboard();
    if (!stored) {
        GlobalFree(memory);
    }
    return stored;
}

// The clipboard's CF_TEXT content; "<no text>" when it holds none, "<busy>" when it cannot be
// opened.
inline std::string ClipboardText() {
    if (!OpenClipboardPatiently()) {
        return "<busy>";
    }
    std::string text = "<no text>";
    HANDLE data = GetClipboardData(CF_TEXT);
    if (data != nullptr) {
        const char* bytes = static_cast<const char*>(GlobalLock(data));
        text = bytes != nullptr ? bytes : "<no text>";
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}
