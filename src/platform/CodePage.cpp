// Code page 932 rules and the text conversions of the program. The code page's table is the
// system's own (Platform*.cpp); the UTF-8 and UTF-16 forms are computed here.

#include "platform/CodePage.h"

#include <cstdint>
#include <cstring>

#include "platform/Platform.h"

size_t Cp932FitBytes(const char* text, size_t maxBytes) {
    const size_t size = strnlen(text, maxBytes + 1);
    size_t i = 0;
    while (i < maxBytes && i < size) {
        const size_t width = Cp932CharLength(text, i, size);
        if (i + width > maxBytes) {
            break;
        }
        i += width;
    }
    return i;
}

bool IsProfileBlank(unsigned char c) {
    return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0x1A;
}

std::u16string WideFromCp932(std::string_view text) {
    std::u16string wide;
    PlatformWideFromCp932(text.data(), text.size(), &wide);
    return wide;
}

bool Cp932FromWide(std::u16string_view text, std::string* out) {
    std::string converted;
    if (!PlatformCp932FromWide(text.data(), text.size(), &converted)) {
        return false;
    }
    *out = std::move(converted);
    return true;
}

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(char32_t c, std::string* out) {
    if (c < 0x80) {
        out->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (c >> 6)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (c >> 12)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (c >> 18)));
        out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// The code point that starts at text[*i], moving *i past it; a malformed sequence (overlong,
// a surrogate, beyond U+10FFFF, cut short) is one U+FFFD for its first byte.
char32_t NextUtf8(std::string_view text, size_t* i) {
    const unsigned char first = static_cast<unsigned char>(text[*i]);
    ++*i;
    if (first < 0x80) {
        return first;
    }
    size_t extra = 0;
    char32_t c = 0;
    char32_t least = 0;
    if ((first & 0xE0) == 0xC0) {
        extra = 1, c = first & 0x1F, least = 0x80;
    } else if ((first & 0xF0) == 0xE0) {
        extra = 2, c = first & 0x0F, least = 0x800;
    } else if ((first & 0xF8) == 0xF0) {
        extra = 3, c = first & 0x07, least = 0x10000;
    } else {
        return kReplacement;
    }
    if (*i + extra > text.size()) {
        return kReplacement;
    }
    for (size_t k = 0; k < extra; ++k) {
        const unsigned char next = static_cast<unsigned char>(text[*i + k]);
        if ((next & 0xC0) != 0x80) {
            return kReplacement;
        }
        c = (c << 6) | (next & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return kReplacement;
    }
    *i += extra;
    return c;
}

}  // namespace

std::u16string WideFromUtf8(std::string_view text) {
    std::u16string wide;
    wide.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const char32_t c = NextUtf8(text, &i);
        if (c >= 0x10000) {
            wide.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            wide.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            wide.push_back(static_cast<char16_t>(c));
        }
    }
    return wide;
}

std::string Utf8FromWide(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        AppendUtf8(c, &out);
    }
    return out;
}

std::string Utf8FromCp932(std::string_view text) {
    return Utf8FromWide(WideFromCp932(text));
}
