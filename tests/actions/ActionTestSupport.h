#pragma once
// The clipboard as the user sees it, for the Wine tests of the actions.

#include <windows.h>

#include <cstring>
#include <string>

#include "TestSupport_win.h"
#include "platform/WideText_win.h"

inline bool OpenClipboardPatiently() {
    return WaitUntil([] { return OpenClipboard(nullptr) != FALSE; }, 2000);
}

// Replaces the clipboard's content with text (UTF-8, stored as Unicode text).
inline bool PutClipboardText(const std::string& text) {
    const std::wstring wide = WideStringFromUtf8(text);
    const size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(GlobalLock(memory), wide.c_str(), bytes);
    GlobalUnlock(memory);
    if (!OpenClipboardPatiently()) {
        GlobalFree(memory);
        return false;
    }
    const bool stored = EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    if (!stored) {
        GlobalFree(memory);
    }
    return stored;
}

// The clipboard's Unicode text as UTF-8; "<no text>" when it holds none, "<busy>" when it cannot
// be opened.
inline std::string ClipboardText() {
    if (!OpenClipboardPatiently()) {
        return "<busy>";
    }
    std::string text = "<no text>";
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (const wchar_t* units = data != nullptr ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr) {
        text = Utf8FromWideString(units);
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}
