// The label window under Wine with its real thread: placement, the surface's own pixels, the text
// conversion, the thread's life, and ShowLabel and HideLabel called from two threads at once.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "TestSupport.h"
#include "app/App_win.h"
#include "platform/Holders_win.h"
#include "tooltip/LabelWindow.h"
#include "tooltip/LabelWindow_win.h"

namespace {

// GDI+, the label font and the locale, as at start-up.
class GraphicsEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        appInstance = GetModuleHandleA(nullptr);
        InitGraphics();
    }
    void TearDown() override { ReleaseGraphics(); }
};
const ::testing::Environment* const graphicsEnvironment =
    ::testing::AddGlobalTestEnvironment(new GraphicsEnvironment);

// A surface pixel as B, G, R, A bytes, (0, 0) being the top-left corner (the DIB is bottom-up).
struct Pixel {
    uint8_t blue, green, red, alpha;
};
Pixel LabelPixel(int32_t x, int32_t y) {
    const Pixel* bits = static_cast<const Pixel*>(labelSurface->bits);
    return bits[(labelSurface->height - 1 - y) * labelSurface->width + x];
}

// The ink of the white text: the gradient has no red at all, so any red comes from the text.
// Also counts the pixels that are not fully transparent.
struct Ink {
    int32_t count = 0;
    int32_t left = INT32_MAX;
    int32_t right = -1;  // one past the rightmost
    int32_t notWhite = 0;
    int32_t opaque = 0;
};
Ink FindInk() {
    GdiFlush();
    Ink ink;
    for (int32_t y = 0; y < kLabelWindowHeight; ++y) {
        for (int32_t x = 0; x < kLabelWindowWidth; ++x) {
            const Pixel p = LabelPixel(x, y);
            ink.opaque += p.alpha != 0 ? 1 : 0;
            if (p.red == 0) {
                continue;
            }
            ++ink.count;
            ink.left = std::min(ink.left, x);
            ink.right = std::max(ink.right, x + 1);
            // White blended over the gradient keeps green and blue at least as high as red, so a
            // strongly red pixel with much less green or blue is not white text.
            if (p.red >= 200 && (p.green < p.red - 40 || p.blue < p.red - 40)) {
                ++ink.notWhite;
            }
        }
    }
    return ink;
}

// Shows text and checks that the box covers exactly the measured width + 34 columns: every row
// holds alpha in all columns before the box's right edge and none from one column past it (the
// edge column itself may be partly covered by anti-aliasing). Returns the box width.
int32_t ExpectBoxOfMeasuredWidth(const char* text, const char* what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(ShowLabel(text, 100, 100), 1);
    const int32_t measured = MeasureLabelText(text, kLabelMeasureArea);
    EXPECT_GE(measured, 0);
    const int32_t width = measured + 34;
    GdiFlush();
    for (int32_t y = 0; y < kLabelWindowHeight; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            if (LabelPixel(x, y).alpha == 0) {
                ADD_FAILURE() << "transparent inside the box at (" << x << ", " << y << "), width " << width;
                return width;
            }
        }
        for (int32_t x = width + 1; x < kLabelWindowWidth; ++x) {
            if (LabelPixel(x, y).alpha != 0) {
                ADD_FAILURE() << "drawn outside the box at (" << x << ", " << y << "), width " << width;
                return width;
            }
        }
        EXPECT_LT(LabelPixel(width, y).alpha, LabelPixel(width - 1, y).alpha) << "row " << y;
    }
    return width;
}

void ExpectShownAt(int32_t x, int32_t y) {
    EXPECT_TRUE(IsWindowVisible(labelWindow));
    RECT rect = {};
    GetWindowRect(labelWindow, &rect);
    const RECT expected = {x, y, x + kLabelWindowWidth, y + kLabelWindowHeight};
    EXPECT_TRUE(EqualRect(&rect, &expected))
        << rect.left << ", " << rect.top << ", " << rect.right << ", " << rect.bottom;
    EXPECT_EQ(labelVisible, 1);
    EXPECT_EQ(labelPos.x, x);
    EXPECT_EQ(labelPos.y, y);
}

void ExpectHidden() {
    EXPECT_FALSE(IsWindowVisible(labelWindow));
    EXPECT_EQ(labelVisible, 0);
    EXPECT_EQ(labelPos.x, -1);
    EXPECT_EQ(labelPos.y, -1);
}

std::string Repeat(const char* piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

// 63 bytes of code page 932: 31 two-byte characters and one ASCII letter, the longest item text.
const std::string kLongestItemText = Repeat("表", 31) + "x";

class LabelWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(StartLabelThread(), 0);
        ASSERT_EQ(WaitForLabelWindow(), 0);
    }
    static void TearDownTestSuite() { StopLabelThread(); }
    void SetUp() override {
        ASSERT_NE(labelWindow, nullptr);
        ASSERT_NE(labelSurface, nullptr);
    }
    void TearDown() override { HideLabel(); }
};

TEST_F(LabelWindowTest, IsCreatedHiddenAndShowsMovesAndHidesAtTheGivenPointUnactivated) {
    ExpectHidden();
    EXPECT_EQ(FindInk().opaque, 0);
    char name[64] = {};
    GetClassNameA(labelWindow, name, sizeof name);
    EXPECT_STREQ(name, "Pivotel Tool Tip");
    GetWindowTextA(labelWindow, name, sizeof name);
    EXPECT_STREQ(name, "Pivotel Tool Tip");
    EXPECT_EQ(GetWindowLongPtrA(labelWindow, GWL_EXSTYLE) & 0x80088, 0x80088);
    EXPECT_EQ(GetWindowLongPtrA(labelWindow, GWL_STYLE) & (WS_POPUP | WS_CHILD | WS_CAPTION), WS_POPUP);
    EXPECT_NE(GetWindowThreadProcessId(labelWindow, nullptr), GetCurrentThreadId());

    HideLabel();  // before any ShowLabel: nothing happens
    ExpectHidden();

    EXPECT_EQ(ShowLabel("first", 200, 300), 1);
    ExpectShownAt(200, 300);
    const int32_t firstInk = FindInk().right;

    EXPECT_EQ(ShowLabel("a much longer second text", 200, 300), 1);  // same point: not moved
    ExpectShownAt(200, 300);
    EXPECT_GT(FindInk().right, firstInk);  // the second text replaced the first

    EXPECT_EQ(ShowLabel("first", 250, 310), 1);
    ExpectShownAt(250, 310);
    // The box's left edge is the window's left edge: at the cursor's x.
    GdiFlush();
    EXPECT_NE(LabelPixel(1, kLabelWindowHeight / 2).alpha, 0);

    HideLabel();
    ExpectHidden();
    HideLabel();
    ExpectHidden();

    EXPECT_EQ(ShowLabel("first", 250, 310), 1);  // hidden before: shown again at the old point
    ExpectShownAt(250, 310);

    EXPECT_EQ(ShowLabel("off screen", -50, 2000), 1);  // never clamped to the screen
    ExpectShownAt(-50, 2000);
    EXPECT_NE(GetForegroundWindow(), labelWindow);
}

TEST_F(LabelWindowTest, BoxIsTheMeasuredWidthPlus34WithTheTextWhiteAndCentred) {
    const int32_t ascii = ExpectBoxOfMeasuredWidth("Notepad", "ascii");
    const int32_t japanese = ExpectBoxOfMeasuredWidth("表示設定", "japanese");
    const int32_t empty = ExpectBoxOfMeasuredWidth("", "empty");
    EXPECT_EQ(FindInk().count, 0) << "an empty text draws no text";
    ASSERT_EQ(kLongestItemText.size(), 63u);
    const int32_t widest = ExpectBoxOfMeasuredWidth(kLongestItemText.c_str(), "63 bytes");

    EXPECT_GT(ascii, empty);
    EXPECT_GT(japanese, empty);
    EXPECT_GT(widest, japanese);
    EXPECT_LT(widest, kLabelWindowWidth);
    EXPECT_GT(FindInk().right, widest / 2 + 100) << "the whole 63-byte text is drawn";

    // The text is white and centred in the box.
    for (const char* text : {"Notepad", "表示設定"}) {
        SCOPED_TRACE(text);
        ASSERT_EQ(ShowLabel(text, 100, 100), 1);
        const int32_t width = MeasureLabelText(text, kLabelMeasureArea) + 34;
        const Ink ink = FindInk();
        EXPECT_GT(ink.count, 40);
        EXPECT_EQ(ink.notWhite, 0);
        EXPECT_GE(ink.left, kLabelTextMargin - 1);
        EXPECT_LE(ink.right, width - kLabelTextMargin + 1);
        EXPECT_LE(std::abs(ink.left - (width - ink.right)), 6)
            << ink.left << " " << ink.right << " " << width;
    }
}

TEST_F(LabelWindowTest, GradientRunsFromTranslucentBlackToOpaqueDarkBlue) {
    ASSERT_EQ(ShowLabel("", 100, 100), 1);
    GdiFlush();
    const Pixel top = LabelPixel(5, 0);
    const Pixel bottom = LabelPixel(5, kLabelWindowHeight - 1);
    EXPECT_GT(top.alpha, 0);
    EXPECT_LT(top.alpha, 128);
    EXPECT_LT(top.blue, 16);
    EXPECT_GE(bottom.alpha, 230);
    EXPECT_EQ(bottom.red, 0);
    EXPECT_GT(bottom.green, 16);
    EXPECT_GT(bottom.blue, bottom.green);
    for (int32_t y = 1; y < kLabelWindowHeight; ++y) {
        EXPECT_GE(LabelPixel(5, y).alpha, LabelPixel(5, y - 1).alpha) << "row " << y;
        EXPECT_GE(LabelPixel(5, y).blue, LabelPixel(5, y - 1).blue) << "row " << y;
    }
}

// A label that follows the cursor with the same text is only moved: its image is not drawn again
// (the surface is wiped behind ShowLabel's back to see whether it was). A new text, a label shown
// again after hiding, and a changed font are drawn afresh; no text gives a transparent image.
TEST_F(LabelWindowTest, SameTextIsMovedNotRedrawnUntilTextFontOrVisibilityChangeAndAnyFontDraws) {
    ASSERT_EQ(ShowLabel("same", 100, 100), 1);
    ASSERT_GT(FindInk().opaque, 0);
    ClearLayeredSurface(labelSurface);
    EXPECT_EQ(ShowLabel("same", 107, 103), 1);
    ExpectShownAt(107, 103);
    EXPECT_EQ(FindInk().opaque, 0);

    EXPECT_EQ(ShowLabel("other", 107, 103), 1);
    EXPECT_GT(FindInk().opaque, 0);

    ClearLayeredSurface(labelSurface);
    HideLabel();
    EXPECT_EQ(ShowLabel("other", 107, 103), 1);
    EXPECT_GT(FindInk().opaque, 0);

    ClearLayeredSurface(labelSurface);
    const HFONT saved = labelFont;
    HFONT other =
        CreateFontA(20, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
    labelFont = other;
    EXPECT_EQ(ShowLabel("other", 107, 103), 1);
    EXPECT_GT(FindInk().opaque, 0);
    labelFont = saved;
    DeleteObject(other);

    // Without the label font, or with a handle whose description cannot be read, the label is
    // still drawn, text included.
    HFONT stale =
        CreateFontA(16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
    DeleteObject(stale);
    for (HFONT font : {static_cast<HFONT>(nullptr), stale}) {
        labelFont = font;
        const int32_t width = ExpectBoxOfMeasuredWidth("Notepad", font == nullptr ? "no font" : "stale font");
        EXPECT_GT(width, 34 + 20);
        EXPECT_GT(FindInk().count, 40);
    }
    labelFont = saved;

    // No text: a fully transparent image.
    ASSERT_EQ(ShowLabel("something", 120, 130), 1);
    ASSERT_GT(FindInk().opaque, 0);
    EXPECT_EQ(ShowLabel(nullptr, 140, 150), 1);
    ExpectShownAt(140, 150);
    EXPECT_EQ(FindInk().opaque, 0);

    // A text shown before comes back as it was drawn, and a narrower label leaves nothing of a
    // wider one on the screen.
    const auto surface = [] {
        GdiFlush();
        const Pixel* bits = static_cast<const Pixel*>(labelSurface->bits);
        return std::string(reinterpret_cast<const char*>(bits), kLabelWindowWidth * kLabelWindowHeight * 4);
    };
    const POINT probe = {100 + ExpectBoxOfMeasuredWidth("Notepad", "short") + 20, 413};
    const std::string shortImage = surface();
    const WindowDc screen;
    HideLabel();
    const COLORREF desktop = GetPixel(screen.get(), probe.x, probe.y);
    ASSERT_EQ(ShowLabel(kLongestItemText.c_str(), 100, 400), 1);
    EXPECT_TRUE(WaitUntil([&] { return GetPixel(screen.get(), probe.x, probe.y) != desktop; }));
    ASSERT_EQ(ShowLabel("Notepad", 100, 400), 1);
    EXPECT_TRUE(surface() == shortImage);
    EXPECT_TRUE(WaitUntil([&] { return GetPixel(screen.get(), probe.x, probe.y) == desktop; }));
}

// Item texts are code page 932 whatever the system's code page or the C locale; a broken byte
// costs one character, not the whole label; the text is cut at 255 units.
TEST(LabelTextTest, ConvertsCodePage932) {
    const std::string japanese = Repeat("表", 300);
    const std::string ascii(600, 'x');
    const std::string exact(255, 'y');
    const struct {
        const char* text;
        uint32_t units;
        std::wstring expected;
        bool whole = true;  // false: only the result's start, before the broken byte
    } cases[] = {
        {"\x95\x5c\x8e\xa6", 2, L"\u8868\u793a"},  // 表示 (the trail byte is '\')
        {"メモ帳 (notepad)", 13, L"\u30e1\u30e2\u5e33 (notepad)"},
        {"\xb1\xb2", 2, L"\uff71\uff72"},  // half-width katakana
        {"", 0, L""},
        {nullptr, 0, L""},
        {"ab\x95", 3, L"ab", false},  // a lead byte with no trail byte
        {"\x95\x5c"
         "ab\x81",
         4, L"\u8868ab", false},
        {ascii.c_str(), 255, std::wstring(255, L'x')},
        {japanese.c_str(), 255, std::wstring(255, L'\u8868')},
        {exact.c_str(), 255, std::wstring(255, L'y')},
    };
    for (const auto& c : cases) {
        wchar_t wide[kLabelTextUnits];
        EXPECT_EQ(ConvertLabelText(c.text, wide), c.units) << (c.text ? c.text : "null");
        const std::wstring back(wide);
        EXPECT_EQ(c.whole ? back : back.substr(0, c.expected.size()), c.expected);
    }
}

// The menu worker and the palette editor's thread show and hide the label at the same time. The
// label must stay in one consistent state and the surface must keep drawing whole images.
TEST(LabelConcurrencyTest, ShowAndHideFromTwoThreads) {
    ASSERT_EQ(StartLabelThread(), 0);
    ASSERT_EQ(WaitForLabelWindow(), 0);
    std::atomic<int32_t> failures{0};
    auto caller = [&failures](const char* text, int32_t x0) {
        for (int32_t i = 0; i < 150; ++i) {
            if (ShowLabel(text, x0 + i % 9, 400 + i % 5) != 1) {
                ++failures;
            }
            if (i % 4 == 3) {
                HideLabel();
            }
        }
    };
    std::thread worker(caller, "ring menu item", 100);
    std::thread editor(caller, "パレットの項目", 600);
    worker.join();
    editor.join();
    EXPECT_EQ(failures.load(), 0);

    if (labelVisible == 1) {
        ExpectShownAt(labelPos.x, labelPos.y);
    } else {
        ExpectHidden();
    }
    ExpectBoxOfMeasuredWidth("ring menu item", "after the stress");
    EXPECT_EQ(FindInk().notWhite, 0);
    HideLabel();
    StopLabelThread();
}

// StopLabelThread ends the thread with exit code 0 and destroys the window and its class, also
// while another thread keeps showing the label: that caller then gets -1, never a half-torn-down
// label, and cannot keep the thread from ending. Several rounds, each with a fresh thread.
TEST(LabelConcurrencyTest, StopEndsTheThreadWhileItIsInUse) {
    for (int32_t round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(StartLabelThread(), 0);
        ASSERT_EQ(WaitForLabelWindow(), 0);
        const HWND window = labelWindow;
        HANDLE thread = nullptr;
        ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), WindowThreadHandle(labelThread), GetCurrentProcess(),
                                    &thread, 0, FALSE, DUPLICATE_SAME_ACCESS));

        std::atomic<int32_t> shown{0};
        std::atomic<int32_t> unexpected{0};
        std::atomic<bool> refused{false};
        std::thread caller([&] {
            for (int32_t i = 0; i < 100000 && !refused; ++i) {
                const int32_t result = ShowLabel(i % 2 ? kLongestItemText.c_str() : "busy", 300 + i % 3, 300);
                if (result == -1) {
                    refused = true;
                } else if (result == 1) {
                    ++shown;
                } else {
                    ++unexpected;
                }
                if (i % 3 == 0) {
                    HideLabel();
                }
            }
        });
        EXPECT_TRUE(WaitUntil([&] { return shown >= 4 + round * 4; }));
        const DWORD start = GetTickCount();
        StopLabelThread();
        EXPECT_LT(GetTickCount() - start, 3000u);
        caller.join();

        EXPECT_TRUE(refused);
        EXPECT_EQ(unexpected.load(), 0);
        EXPECT_EQ(WindowThreadHandle(labelThread), nullptr);
        EXPECT_EQ(labelWindow, nullptr);
        EXPECT_EQ(labelSurface, nullptr);
        EXPECT_FALSE(IsWindow(window));
        DWORD exitCode = 1;
        EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
        GetExitCodeThread(thread, &exitCode);
        EXPECT_EQ(exitCode, 0u);
        CloseHandle(thread);
        WNDCLASSW found;
        EXPECT_FALSE(GetClassInfoW(appInstance, kLabelClassName, &found)) << "the class is unregistered";
    }
}

}  // namespace
