#pragma once
// The clipboard as the user sees it, for the Wine tests of the actions.

#include <windows.h>

#include <cstring>
#include <string>

#include "TestSupport_win.h"

inline bool OpenClipboardPatiently() {
    return WaitUntil([] { return OpenClipboard(nullptr) != FALSE; }, 2000);
}

// Replaces the clipboard's content with text (UTF-8, stored as Unicode text).
inline bool PutClipboardText(const std::string& text) {
    const int units = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, static_cast<size_t>(units) * sizeof(wchar_t));
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, static_cast<wchar_t*>(GlobalLock(memory)), units);
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
        const int size = WideCharToMultiByte(CP_UTF8, 0, units, -1, nullptr, 0, nullptr, nullptr);
        text.assign(static_cast<size_t>(size > 0 ? size - 1 : 0), '\0');
        WideCharToMultiByte(CP_UTF8, 0, units, -1, text.data(), size, nullptr, nullptr);
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}
