// The program's text conversions, from one table of awkward texts: natively they go through the
// C library's code page 932 table, under Wine through the system's, and both must answer alike.

#include <gtest/gtest.h>

#include <string>

#include "platform/CodePage.h"

namespace {

TEST(CodePage, Cp932BytesDecodeAndEncodeByTheirCharacters) {
    const struct {
        const char* bytes;
        std::u16string wide;
        bool encodes;  // whether the wide text goes back to exactly these bytes
    } cases[] = {
        {"", u"", true},
        {"A~\\z", u"A~\\z", true},
        {"\x95\x5C\\", u"\u8868\\", true},                        // 表: its trail byte is a backslash
        {"\x83\x73\x83\x7B\x83\x65\x83\x8B", u"ピボテル", true},  // the main window's class name
        {"\xB1\xDF", u"\uFF71\uFF9F", true},                      // half-width kana are one byte
        {"a\x82", u"a\uFFFD", false},                             // a lead byte cut off at the end
        {"\x82\x20z", u"\uFFFDz", false},                         // a lead byte with no valid trail
        {"\x81\x7F", u"\uFFFD", false},                           // 0x7F is no trail byte
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WideFromCp932(c.bytes), c.wide) << c.bytes;
        std::string back = "untouched";
        EXPECT_EQ(Cp932FromWide(c.wide, &back), c.encodes || c.wide.find(u'\uFFFD') == std::u16string::npos)
            << c.bytes;
        if (c.encodes) {
            EXPECT_EQ(back, c.bytes);
        }
    }
    // What the code page cannot hold is refused, never stored as "?" or a look-alike.
    for (std::u16string_view foreign : {u"Jos\u00E9", u"\uD55C", u"\u20AC", u"a\U0001F600", u"\xD800"}) {
        std::string out = "untouched";
        EXPECT_FALSE(Cp932FromWide(foreign, &out)) << Utf8FromWide(foreign);
        EXPECT_EQ(out, "untouched");
    }
    EXPECT_EQ(Utf8FromCp932("C:\\\x95\x5C\\a"), "C:\\\xE8\xA1\xA8\\a");
}

TEST(CodePage, LeadBytesAndCutsNeverSplitACharacter) {
    for (unsigned c : {0x81u, 0x9Fu, 0xE0u, 0xFCu}) {
        EXPECT_TRUE(IsCp932LeadByte(static_cast<unsigned char>(c))) << c;
    }
    for (unsigned c : {0x5Cu, 0x80u, 0xA0u, 0xDFu, 0xFDu}) {
        EXPECT_FALSE(IsCp932LeadByte(static_cast<unsigned char>(c))) << c;
    }
    const struct {
        const char* text;
        size_t maxBytes;
        size_t fit;
    } cuts[] = {
        {"ab\x95\x5C", 3, 2}, {"ab\x95\x5C", 4, 4}, {"a\x95", 5, 2}, {"\x95\x5C\x95\x5C", 3, 2}, {"", 4, 0}};
    for (const auto& c : cuts) {
        EXPECT_EQ(Cp932FitBytes(c.text, c.maxBytes), c.fit) << c.text << " in " << c.maxBytes;
    }
}

TEST(CodePage, Utf8AndUtf16CarryEveryCharacter) {
    for (std::u16string_view text : {u"C:\\Users\\Jos\u00E9\\\uD55C\uAD6D", u"\U0001F600\u8868", u""}) {
        EXPECT_EQ(WideFromUtf8(Utf8FromWide(text)), std::u16string(text));
    }
    // Malformed input: a cut sequence, an overlong form, a lone surrogate.
    EXPECT_EQ(WideFromUtf8("a\xC3"), u"a\uFFFD");
    EXPECT_EQ(WideFromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");
    EXPECT_EQ(WideFromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(Utf8FromWide(u"\xDC00x"), "\xEF\xBF\xBDx");
}

}  // namespace
