// The resources linked into pivotel.exe, read from the built program loaded as a data file: the
// icon group that the tray and the palette window show, the manifest and the version information.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "BuiltProgram_win.h"
#include "res/resource.h"

namespace {

// Destroys an icon and the bitmaps that GetIconInfo hands out.
struct IconHolder {
    HICON icon = nullptr;
    ICONINFO info = {};
    ~IconHolder() {
        if (info.hbmColor != nullptr)
            DeleteObject(info.hbmColor);
        if (info.hbmMask != nullptr)
            DeleteObject(info.hbmMask);
        if (icon != nullptr)
            DestroyIcon(icon);
    }
};

// The bytes of one resource, empty when it does not exist.
std::vector<uint8_t> ResourceBytes(HMODULE module, LPCSTR name, LPCSTR type) {
    HRSRC found = FindResourceA(module, name, type);
    if (found == nullptr)
        return {};
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr)
        return {};
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + SizeofResource(module, found));
}

uint16_t Word(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
uint32_t Dword(const std::vector<uint8_t>& b, size_t at) {
    return Word(b, at) | uint32_t{Word(b, at + 2)} << 16;
}
uint32_t BigDword(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

// One entry of an RT_GROUP_ICON directory.
struct GroupEntry {
    int size;  // pixels, square
    int bits;  // bits per pixel
    uint32_t bytes;
    uint16_t id;  // the RT_ICON resource
};

// Whether the AND-mask bit of pixel (x, y), counted from the top, is set (the pixel is transparent).
bool MaskBitSet(const std::vector<uint8_t>& image, int size, int bits, int x, int y) {
    uint32_t headerSize = Dword(image, 0);
    uint32_t paletteBytes = bits == 8 ? 256 * 4 : 0;
    uint32_t colourStride = (size * bits + 31) / 32 * 4;
    uint32_t maskStride = (size + 31) / 32 * 4;
    size_t maskStart = headerSize + paletteBytes + size_t{colourStride} * static_cast<size_t>(size);
    size_t at = maskStart + size_t{maskStride} * static_cast<size_t>(size - 1 - y) + x / 8;
    return (image.at(at) & (0x80 >> (x % 8))) != 0;
}

// The alpha of pixel (x, y), counted from the top, of a 32-bit BMP-form icon image.
int Alpha32(const std::vector<uint8_t>& image, int size, int x, int y) {
    size_t at = Dword(image, 0) + (static_cast<size_t>(size) * (size - 1 - y) + x) * 4 + 3;
    return image.at(at);
}

class ResourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(exe.module, nullptr) << "cannot load " << exe.path << ", error " << GetLastError();
    }

    BuiltProgram exe;
};

// Icon group 108 lists exactly the twelve images the program ships (five with 256 colours for old
// displays, seven with alpha), each present as an RT_ICON whose own header matches its directory
// entry, which the system decodes to an icon of that size, and which is a disc on a transparent
// background rather than a square.
TEST_F(ResourcesTest, IconGroupHoldsTheTwelveImagesAndEachDecodes) {
    std::vector<uint8_t> group = ResourceBytes(exe.module, MAKEINTRESOURCEA(IDI_PIVOTEL), RT_GROUP_ICON);
    ASSERT_GE(group.size(), 6u) << "no icon group " << IDI_PIVOTEL;
    EXPECT_EQ(Word(group, 0), 0);
    EXPECT_EQ(Word(group, 2), 1) << "type 1 is an icon (2 would be a cursor)";
    size_t count = Word(group, 4);
    ASSERT_EQ(group.size(), 6 + 14 * count);

    std::vector<GroupEntry> entries;
    for (size_t i = 0; i < count; ++i) {
        size_t at = 6 + 14 * i;
        int width = group[at] == 0 ? 256 : group[at];
        int height = group[at + 1] == 0 ? 256 : group[at + 1];
        EXPECT_EQ(width, height) << "entry " << i;
        EXPECT_EQ(Word(group, at + 4), 1) << "planes of entry " << i;
        entries.push_back({width, Word(group, at + 6), Dword(group, at + 8), Word(group, at + 12)});
    }

    std::vector<std::pair<int, int>> listed;
    for (const GroupEntry& e : entries) listed.emplace_back(e.size, e.bits);
    std::sort(listed.begin(), listed.end());
    std::vector<std::pair<int, int>> expected = {{16, 8}, {16, 32}, {24, 8}, {24, 32}, {32, 8},   {32, 32},
                                                 {48, 8}, {48, 32}, {64, 8}, {64, 32}, {128, 32}, {256, 32}};
    EXPECT_EQ(listed, expected);

    for (const GroupEntry& e : entries) {
        SCOPED_TRACE(std::to_string(e.size) + " px, " + std::to_string(e.bits) + " bpp, RT_ICON " +
                     std::to_string(e.id));
        std::vector<uint8_t> image = ResourceBytes(exe.module, MAKEINTRESOURCEA(e.id), RT_ICON);
        ASSERT_EQ(image.size(), e.bytes);
        ASSERT_GE(image.size(), 40u);

        bool isPng = std::memcmp(image.data(), "\x89PNG\r\n\x1a\n", 8) == 0;
        if (isPng) {
            // Width, height, bit depth 8 and colour type 6 (RGBA) from the IHDR chunk.
            EXPECT_EQ(e.size, 256) << "only the largest image may be PNG";
            EXPECT_EQ(BigDword(image, 16), uint32_t(e.size));
            EXPECT_EQ(BigDword(image, 20), uint32_t(e.size));
            EXPECT_EQ(image[24], 8);
            EXPECT_EQ(image[25], 6);
        } else {
            EXPECT_EQ(Dword(image, 0), 40u) << "BITMAPINFOHEADER";
            EXPECT_EQ(int32_t(Dword(image, 4)), e.size);
            EXPECT_EQ(int32_t(Dword(image, 8)), 2 * e.size) << "colour rows and mask rows";
            EXPECT_EQ(Word(image, 14), e.bits);
            size_t needed = 40 + (e.bits == 8 ? 1024 : 0) + size_t((e.size * e.bits + 31) / 32 * 4) * e.size +
                            size_t((e.size + 31) / 32 * 4) * e.size;
            ASSERT_EQ(image.size(), needed);
            // Corner transparent, centre drawn, in the mask and (with 32 bits) in the alpha too.
            int mid = e.size / 2;
            EXPECT_TRUE(MaskBitSet(image, e.size, e.bits, 0, 0));
            EXPECT_TRUE(MaskBitSet(image, e.size, e.bits, e.size - 1, e.size - 1));
            EXPECT_FALSE(MaskBitSet(image, e.size, e.bits, mid, mid));
            if (e.bits == 32) {
                EXPECT_EQ(Alpha32(image, e.size, 0, 0), 0);
                EXPECT_EQ(Alpha32(image, e.size, mid, mid), 255);
            }
        }

        IconHolder icon;
        icon.icon = CreateIconFromResourceEx(image.data(), DWORD(image.size()), TRUE, 0x00030000, e.size,
                                             e.size, LR_DEFAULTCOLOR);
        ASSERT_NE(icon.icon, nullptr) << "error " << GetLastError();
        ASSERT_TRUE(GetIconInfo(icon.icon, &icon.info));
        EXPECT_TRUE(icon.info.fIcon);
        BITMAP colour = {};
        ASSERT_NE(icon.info.hbmColor, nullptr) << "a colour icon, not a monochrome one";
        ASSERT_NE(GetObjectA(icon.info.hbmColor, sizeof colour, &colour), 0);
        EXPECT_EQ(colour.bmWidth, e.size);
        EXPECT_EQ(colour.bmHeight, e.size);
    }
}

// The program asks for no elevation and no UI access (a hook program with uiAccess would need to be
// signed and installed in a protected folder), in exactly one manifest resource: a second one,
// for example a tool chain's default manifest in another language, would make the loader's choice
// arbitrary. It declares per-monitor DPI awareness (version 2 first), without which the hook's
// physical pointer and the scaled window positions of a scaled display disagree.
TEST_F(ResourcesTest, ManifestRunsAsInvokerPerMonitorAwareWithoutUiAccess) {
    std::vector<uint8_t> bytes = ResourceBytes(exe.module, MAKEINTRESOURCEA(1), RT_MANIFEST);
    ASSERT_FALSE(bytes.empty()) << "no manifest resource 1";
    std::string manifest(bytes.begin(), bytes.end());
    EXPECT_EQ(manifest.rfind("<?xml", 0), 0u) << "the manifest starts with its XML declaration";
    size_t level = manifest.find("<requestedExecutionLevel");
    ASSERT_NE(level, std::string::npos);
    EXPECT_EQ(manifest.find("<requestedExecutionLevel", level + 1), std::string::npos) << "one request only";
    std::string element = manifest.substr(level, manifest.find('>', level) - level);
    EXPECT_NE(element.find("level=\"asInvoker\""), std::string::npos) << element;
    EXPECT_NE(element.find("uiAccess=\"false\""), std::string::npos) << element;
    EXPECT_NE(manifest.find("WindowsSettings\">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos);
    EXPECT_NE(manifest.find("WindowsSettings\">true/pm</dpiAware>"), std::string::npos);

    int names = 0;
    EnumResourceNamesA(
        exe.module, RT_MANIFEST,
        [](HMODULE, LPCSTR, LPSTR, LONG_PTR count) -> BOOL {
            ++*reinterpret_cast<int*>(count);
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&names));
    int languages = 0;
    EnumResourceLanguagesA(
        exe.module, RT_MANIFEST, MAKEINTRESOURCEA(1),
        [](HMODULE, LPCSTR, LPCSTR, WORD, LONG_PTR count) -> BOOL {
            ++*reinterpret_cast<int*>(count);
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(names, 1);
    EXPECT_EQ(languages, 1);
}

// The version resource, read the way Explorer's properties page does, with the ANSI functions under
// code page 932: the fixed part and the strings agree on 0.1.0.0, and the Japanese description
// survives the UTF-8 resource script.
TEST_F(ResourcesTest, VersionInformationNamesTheProduct) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(exe.path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "error " << GetLastError();
    std::vector<uint8_t> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(exe.path.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize));
    ASSERT_GE(fixedSize, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000000u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000000u);
    EXPECT_EQ(fixed->dwFileType, DWORD(VFT_APP));

    WORD* translation = nullptr;
    UINT translationSize = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &translationSize));
    ASSERT_GE(translationSize, 4u);
    char block[64];
    snprintf(block, sizeof block, "\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);

    const std::pair<const char*, const char*> expected[] = {
        {"ProductName", "Pivotel"},
        {"OriginalFilename", "pivotel.exe"},
        {"FileVersion", "0.1.0.0"},
        {"ProductVersion", "0.1.0.0"},
        {"FileDescription", "ピボテル リングメニュー"},
    };
    for (const auto& [name, value] : expected) {
        const std::string key = std::string(block) + name;
        char* text = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&text), &length))
            << key;
        EXPECT_STREQ(text, value) << key;
    }
}

}  // namespace
