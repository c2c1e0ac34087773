#pragma once
// The one home of text encodings: the rules of code page 932 (the settings file's texts) and the
// conversions between it, UTF-16 (what the system's wide functions take) and UTF-8 (how the
// portable core carries the system's own paths, which may hold any character).

#include <cstddef>
#include <string>
#include <string_view>

// True when c starts a two-byte character in code page 932 (0x81-0x9F, 0xE0-0xFC), whatever the
// system's own code page is. Inline, since the INI text is cut into characters byte by byte.
inline bool IsCp932LeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
// Bytes of the character at text[i] (i < size): a lead byte takes the next byte with it unless
// that is a zero or there is none, as the system's conversion does.
inline size_t Cp932CharLength(const char* text, size_t i, size_t size) {
    return IsCp932LeadByte(static_cast<unsigned char>(text[i])) && i + 1 < size && text[i + 1] != 0 ? 2 : 1;
}
// How many bytes of the zero-terminated text fit in maxBytes without splitting a character.
size_t Cp932FitBytes(const char* text, size_t maxBytes);
// Blanks as the profile functions trim them from both ends of a name or a value.
bool IsProfileBlank(unsigned char c);

// Code page 932 to UTF-16; bytes that form no character come out as U+FFFD each, so a damaged
// text still shows what it can.
std::u16string WideFromCp932(std::string_view text);
// UTF-16 to code page 932; false, out untouched, when any character has no exact form there
// (nothing is ever stored with a look-alike or "?" in its place).
bool Cp932FromWide(std::u16string_view text, std::string* out);

// UTF-8 and UTF-16 into each other; a malformed sequence or a lone surrogate becomes U+FFFD.
std::u16string WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::u16string_view text);
// A code page 932 text as UTF-8, for handing item paths and arguments to the system.
std::string Utf8FromCp932(std::string_view text);
