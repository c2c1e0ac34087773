#pragma once
// The Win32 shell's form of the program's text conversions (CodePage.h): wchar_t is UTF-16 on
// Windows, so these only change the string type.

#include <string>
#include <string_view>

#include "platform/CodePage.h"

inline std::wstring WideStringFromCp932(std::string_view text) {
    const std::u16string wide = WideFromCp932(text);
    return std::wstring(wide.begin(), wide.end());
}

// False, out untouched, when a character has no exact form in code page 932.
inline bool Cp932FromWideString(std::wstring_view text, std::string* out) {
    return Cp932FromWide(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()),
                         out);
}

inline std::wstring WideStringFromUtf8(std::string_view text) {
    const std::u16string wide = WideFromUtf8(text);
    return std::wstring(wide.begin(), wide.end());
}

inline std::string Utf8FromWideString(std::wstring_view text) {
    return Utf8FromWide(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}
