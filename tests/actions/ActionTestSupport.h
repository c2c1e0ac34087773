#pragma once
// The clipboard as the user sees it, and UTF-8 for the system's wide functions, for the Wine tests
// of the actions.

#include <windows.h>

#include <cstring>
#include <string>

#include "TestSupport_win.h"

inline std::wstring Wide(const std::string& utf8) {
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(
        CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), static_cast<int>(wide.size()))));
    return wide;
}

inline std::string Utf8(const wchar_t* wide) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), size, nullptr, nullptr);
    text.resize(text.size() - 1);
    return text;
}

inline bool OpenClipboardPatiently() {
    return WaitUntil([] { return OpenClipboard(nullptr) != FALSE; }, 2000);
}

// Replaces the clipboard's content with text (UTF-8, stored as Unicode text).
inline bool PutClipboardText(const std::string& text) {
    const std::wstring wide = Wide(text);
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
        text = Utf8(units);
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}
