// The ring menu under Wine, in-process: the skins' alpha on the menu surface, the frame
// DrawRingMenu paints, the menu window and its thread, and opening, tracking and closing the menu.

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BuiltProgram_win.h"
#include "TestSupport_win.h"
#include "menu/MenuDrawing_win.h"
#include "menu/MenuWindow_win.h"
#include "menu/RingGeometry.h"
#include "menu/RingMenu.h"
#include "platform/DisplayScale.h"
#include "res/resource.h"
#include "settings/MenuItems.h"
#include "settings/Pages.h"

namespace {

// Moves the cursor and waits until the system answers the new place: under Wine the X server's
// echo of an earlier move can be read back for a moment.
void MoveCursor(int x, int y) {
    SetCursorPos(x, y);
    EXPECT_TRUE(WaitUntil(
        [&] {
            POINT at = {};
            return GetCursorPos(&at) && at.x == x && at.y == y;
        },
        2000))
        << x << "," << y;
}

[[maybe_unused]] const auto* const gdiplusEnvironment =
    ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

struct Pixel {
    int a, r, g, b;  // premultiplied, as the surface holds them
};

// Where the pixel at client coordinates starts in a copy of the surface (stored bottom-up).
size_t At(int32_t x, int32_t y) {
    return static_cast<size_t>(((kMenuSize - 1 - y) * kMenuSize + x) * 4);
}

Pixel SurfacePixel(int32_t x, int32_t y) {
    GdiFlush();
    const uint8_t* p = static_cast<const uint8_t*>(menuSurface->bits) + At(x, y);
    return Pixel{p[3], p[2], p[1], p[0]};
}

std::vector<uint8_t> SurfaceCopy() {
    GdiFlush();
    const uint8_t* bits = static_cast<const uint8_t*>(menuSurface->bits);
    return std::vector<uint8_t>(bits, bits + menuSurface->width * menuSurface->height * 4);
}

// The largest difference in any channel between two frames inside a square of the surface.
int MaxDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int32_t left, int32_t top,
                  int32_t size) {
    int worst = 0;
    for (int32_t y = top; y < top + size; ++y) {
        for (int32_t x = left; x < left + size; ++x) {
            for (size_t c = At(x, y); c < At(x, y) + 4; ++c) {
                worst = std::max(worst, std::abs(a[c] - b[c]));
            }
        }
    }
    return worst;
}

// A point at `distance` from the ring's centre in the middle of a slot's sector.
POINT SlotPoint(int32_t slot, int32_t distance) {
    static const int unit[8][2] = {{0, -1}, {1, -1}, {1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}};
    const double scale = (unit[slot][0] != 0 && unit[slot][1] != 0) ? distance / 1.41421356 : distance;
    return POINT{128 + static_cast<LONG>(unit[slot][0] * scale),
                 128 + static_cast<LONG>(unit[slot][1] * scale)};
}

// A 32 x 32 icon whose left half is opaque red and whose right half is transparent: by its alpha
// channel, or, for an icon without alpha, by its mask.
HICON MakeHalfIcon(bool withAlpha = true) {
    BITMAPINFO header = {};  // 0xAARRGGBB pixels
    header.bmiHeader = {sizeof(BITMAPINFOHEADER), 32, 32, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP colour = CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
    uint32_t* pixels = static_cast<uint32_t*>(bits);
    uint8_t maskBits[32 * 4] = {};
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            pixels[y * 32 + x] = withAlpha ? (x < 16 ? 0xFFFF0000 : 0x00000000) : 0x00FF0000;
        }
        if (!withAlpha) {
            maskBits[y * 4 + 2] = 0xFF;  // a set mask bit leaves the background showing
            maskBits[y * 4 + 3] = 0xFF;
        }
    }
    HBITMAP mask = CreateBitmap(32, 32, 1, 1, maskBits);
    ICONINFO info = {TRUE, 0, 0, mask, colour};
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(colour);
    DeleteObject(mask);
    return icon;
}

// What the test action saw of the item it was run with.
struct ActionCall {
    uint32_t id;
    const MenuItem* passed;
    char text[kItemTextSize];
    char path[kItemPathSize];
    WindowHandle target;
    bool menuVisible;
};
std::vector<ActionCall> actionCalls;

int32_t RecordingAction(MenuItem* item, WindowHandle target, int32_t reserved) {
    ActionCall call = {};
    call.id = item->id;
    call.passed = item;
    memcpy(call.text, item->text, sizeof call.text);
    if (item->shortcut != nullptr) {
        memcpy(call.path, item->shortcut->path, sizeof call.path);
    }
    call.target = target;
    call.menuVisible = IsWindowVisible(menuWindow.load()) != FALSE;
    EXPECT_EQ(reserved, 0);
    actionCalls.push_back(call);
    return 0;
}

// An item with the test action in a slot of a page, with the half-transparent icon or none.
MenuItem* PlaceItem(uint32_t id, int32_t page, int32_t slot, bool withIcon, const char* text,
                    bool iconAlpha = true) {
    MenuItem* item = CreateItem(id);
    if (item == nullptr) {
        return nullptr;
    }
    item->action = RecordingAction;
    SetItemText(item, text);
    if (withIcon) {
        item->icon = MakeHalfIcon(iconAlpha);
    }
    SetPageSlot(page, slot, item);
    return item;
}

// The menu window thread runs for the whole suite, as it does for the program's whole life.
class MenuTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(StartMenuWindowThread(GetModuleHandleA(nullptr)), 0);
        ASSERT_EQ(WaitForMenuWindow(), 0);
    }
    static void TearDownTestSuite() {
        StopMenuWindowThread();
        ResetTables();
    }
    void SetUp() override {
        ResetTables();
        actionCalls.clear();
        selectedSlot = -1;
        lastTrackedPos = {0, 0};
        ASSERT_NE(menuSurface, nullptr);
    }
    void TearDown() override {
        SetWindowPos(menuWindow.load(), nullptr, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
        ResetTables();
        ScaleRingMenu(96);
    }
};

// The skins' fourth byte is their alpha on the surface: transparent middle and corners, a
// translucent light grey band, colour premultiplied by alpha.
TEST_F(MenuTest, RingSkinReachesTheSurfaceWithItsAlphaAndTheHighlightLightsOneSector) {
    DrawRingMenu();
    for (POINT p :
         {POINT{128, 128}, POINT{0, 0}, POINT{255, 0}, POINT{0, 255}, POINT{255, 255}, POINT{128, 98}}) {
        EXPECT_EQ(SurfacePixel(p.x, p.y).a, 0) << p.x << ", " << p.y;
    }
    for (int32_t slot = 0; slot < 8; ++slot) {
        for (int32_t distance : {56, 85, 114}) {
            const POINT p = SlotPoint(slot, distance);
            const Pixel px = SurfacePixel(p.x, p.y);
            ASSERT_GE(px.a, 110) << "slot " << slot << " distance " << distance;
            EXPECT_LE(px.a, 175) << "slot " << slot << " distance " << distance;
            EXPECT_LE(px.r, px.a);  // premultiplied
            const int grey = px.r * 255 / px.a;
            EXPECT_GE(grey, 165) << "slot " << slot;
            EXPECT_LE(grey, 220) << "slot " << slot;
            EXPECT_NEAR(px.r, px.b, 2);
        }
    }
    // The view declares the stored 32-bit pixels ARGB, so that their fourth byte is drawn as alpha.
    Gdiplus::PixelFormat viewFormat = 0;
    Gdiplus::DllExports::GdipGetImagePixelFormat(ringImage->view, &viewFormat);
    EXPECT_EQ(viewFormat, PixelFormat32bppARGB);
    EXPECT_EQ(ringImage->source, nullptr);  // read where the module holds it, no decoded copy

    // The highlight lights only the selected sector.
    const std::vector<uint8_t> plain = SurfaceCopy();
    selectedSlot = 2;
    DrawRingMenu();
    const std::vector<uint8_t> lit = SurfaceCopy();

    const Pixel right = SurfacePixel(213, 128);
    EXPECT_GE(right.a, 190);  // white at 153 over the ring's ~140
    EXPECT_GE(right.r, 180);
    const POINT before = SlotPoint(2, 85);
    EXPECT_GT(right.a, plain[At(before.x, before.y) + 3] + 30);
    for (int32_t slot = 0; slot < 8; ++slot) {
        if (slot == 2) {
            continue;
        }
        const POINT p = SlotPoint(slot, 85);
        EXPECT_LE(MaxDifference(plain, lit, p.x - 5, p.y - 5, 11), 2) << "slot " << slot;
    }
    // The highlight keeps inside the band: the middle stays transparent.
    EXPECT_EQ(SurfacePixel(128, 128).a, 0);
    EXPECT_EQ(SurfacePixel(170, 128).a, plain[At(170, 128) + 3]);

    // Slot 0: the stored image unturned, lighting the top sector.
    selectedSlot = 0;
    DrawRingMenu();
    EXPECT_GE(SurfacePixel(128, 43).a, 190);
    EXPECT_LE(MaxDifference(plain, SurfaceCopy(), 208, 123, 11), 2);
}

// On a scaled display the ring fills a surface of its scaled size, drawn from the 2x art: at 150 %
// reduced, its band's rims about as steep as at 100 % (the 1x art enlarged softens them by a
// third), at 200 % as it is.
TEST_F(MenuTest, ScaledRingsAreDrawnFromTheLargerArt) {
    const auto steepestAlphaStep = [](int32_t y) {
        GdiFlush();
        const uint32_t* row = SurfaceRow(menuSurface, y);
        int32_t steepest = 0;
        for (int32_t x = 1; x < menuSurface->width; ++x) {
            steepest = std::max(steepest, std::abs(static_cast<int32_t>(row[x] >> 24) -
                                                   static_cast<int32_t>(row[x - 1] >> 24)));
        }
        return steepest;
    };
    DrawRingMenu();
    const int32_t at100 = steepestAlphaStep(100);
    for (const uint32_t dpi : {144u, 192u}) {
        ASSERT_TRUE(ScaleRingMenu(dpi));
        ASSERT_EQ(menuSurface->width, RingMetricsForDpi(dpi).size);
        DrawRingMenu();
        EXPECT_GT(4 * steepestAlphaStep(ScaleToDpi(100, dpi)), 3 * at100) << dpi;
    }
}

// Icons go to the eight squares at (112 + dx, 112 + dy), 31 pixels wide, only for slots whose item
// has an icon, transparent where the icon is: the transparent half shows the ring beneath, for an
// icon with an alpha channel (slot 0) as for one with a mask only (slot 4).
TEST_F(MenuTest, IconsOnlyForSlotsWithAnIconAtTheirSquares) {
    DrawRingMenu();
    const std::vector<uint8_t> empty = SurfaceCopy();

    ASSERT_NE(PlaceItem(1, 0, 0, true, "up"), nullptr);
    ASSERT_NE(PlaceItem(2, 0, 4, true, "down", false), nullptr);
    ASSERT_NE(PlaceItem(3, 0, 2, false, "no icon"), nullptr);
    ASSERT_TRUE(StorePageSlotId(0, 6, 77));  // names no item
    ASSERT_NE(PlaceItem(4, 1, 1, true, "other page"), nullptr);
    pageTable.currentPage = 0;
    DrawRingMenu();
    const std::vector<uint8_t> drawn = SurfaceCopy();

    for (int32_t slot = 0; slot < 8; ++slot) {
        const int32_t left = kSlotIconOrigin + RingSlotOffsets[slot].dx;
        const int32_t top = kSlotIconOrigin + RingSlotOffsets[slot].dy;
        if (slot == 0 || slot == 4) {
            const Pixel red = SurfacePixel(left + 6, top + 15);
            EXPECT_EQ(red.a, 255) << "slot " << slot;
            EXPECT_GE(red.r, 250) << "slot " << slot;
            EXPECT_LE(red.g, 5) << "slot " << slot;
            // The icon's transparent right half leaves the ring as it was.
            EXPECT_LE(MaxDifference(empty, drawn, left + 19, top + 2, 10), 2) << "slot " << slot;
            // Nothing of the icon outside its square.
            EXPECT_LE(MaxDifference(empty, drawn, left - 8, top + 10, 6), 2) << "slot " << slot;
        } else {
            EXPECT_LE(MaxDifference(empty, drawn, left, top, kSlotIconExtent), 2) << "slot " << slot;
        }
    }

    // A current page that is not a page: ring and highlight only.
    pageTable.currentPage = 8;
    selectedSlot = 4;
    DrawRingMenu();
    const Pixel slot4 = SurfacePixel(kSlotIconOrigin + 6, kSlotIconOrigin + 90 + 15);
    EXPECT_LT(slot4.g, slot4.r + 10);  // white highlight, not the red icon
    EXPECT_GE(slot4.g, 150);
}

// The frame for another slot reuses the kept ring and icons: it is the whole frame for that slot,
// and it differs from the frame before only inside the rectangle it reports.
TEST_F(MenuTest, HighlightFrameIsTheWholeFrameAndChangesOnlyInsideItsRectangle) {
    ASSERT_NE(PlaceItem(1, 0, 0, true, "up"), nullptr);
    ASSERT_NE(PlaceItem(2, 0, 3, true, "masked", false), nullptr);
    pageTable.currentPage = 0;
    std::vector<std::vector<uint8_t>> whole;
    for (int32_t slot = -1; slot < 8; ++slot) {
        selectedSlot = slot;
        DrawRingMenu();
        whole.push_back(SurfaceCopy());
    }
    for (int32_t from = -1; from < 8; ++from) {
        for (int32_t to = -1; to < 8; ++to) {
            selectedSlot = from;
            DrawRingMenu();
            selectedSlot = to;
            RECT changed;
            DrawRingHighlight(from, changed);
            EXPECT_TRUE(SurfaceCopy() == whole[to + 1]) << from << " -> " << to;
            int outside = 0;
            for (int32_t y = 0; y < kMenuSize; ++y) {
                for (int32_t x = 0; x < kMenuSize; ++x) {
                    const bool differs = memcmp(&whole[from + 1][At(x, y)], &whole[to + 1][At(x, y)], 4) != 0;
                    outside += differs && !PtInRect(&changed, POINT{x, y}) ? 1 : 0;
                }
            }
            EXPECT_EQ(outside, 0) << from << " -> " << to;
        }
    }
}

TEST_F(MenuTest, TheWindowIsAHiddenToolWindowOfItsOwnClass) {
    HWND window = menuWindow.load();
    char name[32] = {};
    GetClassNameA(window, name, sizeof name);
    EXPECT_STREQ(name, "Pivotel");
    const LONG_PTR exStyle = GetWindowLongPtrA(window, GWL_EXSTYLE);
    EXPECT_EQ(exStyle & 0x80088, 0x80088);
    EXPECT_EQ(exStyle & WS_EX_APPWINDOW, 0);
    const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
    EXPECT_NE(style & WS_POPUP, 0);
    EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME), 0);
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.right - rect.left, 256);
    EXPECT_EQ(rect.bottom - rect.top, 256);
    EXPECT_FALSE(IsWindowVisible(window));
}

// A window, and a tool window it owns lying over the point (900, 700): the items' target for a
// press there is the owner, the root of the chain.
class OpenMenuTest : public MenuTest {
protected:
    HWND owner = nullptr;
    HWND owned = nullptr;

    void SetUp() override {
        MenuTest::SetUp();
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        windowClass.lpszClassName = "RingMenuTestTarget";
        RegisterClassA(&windowClass);
        // Popups shown without activation: Wine without a window manager takes seconds to take
        // down a captioned or active window. Topmost, since test programs running at the same time
        // share the desktop.
        owner = CreateWindowExA(WS_EX_TOPMOST, "RingMenuTestTarget", "target", WS_POPUP, 700, 500, 400, 400,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        owned = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "RingMenuTestTarget", "tool", WS_POPUP, 850,
                                650, 100, 100, owner, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(owned, nullptr);
        ShowWindow(owner, SW_SHOWNOACTIVATE);
        ShowWindow(owned, SW_SHOWNOACTIVATE);
        Pump(100);
    }
    void TearDown() override {
        DestroyWindow(owned);
        DestroyWindow(owner);
        MenuTest::TearDown();
    }
};

TEST_F(OpenMenuTest, OpensCentredOnThePressAndRunsTheItemUnderTheReleaseIfAny) {
    ASSERT_NE(PlaceItem(3, 0, 2, true, "right"), nullptr);
    MenuItem* launch = PlaceItem(9, 0, 6, false, "left");
    ASSERT_NE(launch, nullptr);
    ShortcutInfo* shortcut = CreateShortcutInfo();
    SetShortcutPath(shortcut, "C:\\tools\\a.exe");
    SetItemKind(launch, KindLaunch, shortcut);
    launch->action = RecordingAction;

    ASSERT_EQ(OpenRingMenu(500, 400), 0);
    HWND window = menuWindow.load();
    RECT rect;
    GetWindowRect(window, &rect);
    const RECT centred = {372, 272, 372 + 256, 272 + 256};
    EXPECT_TRUE(EqualRect(&rect, &centred)) << rect.left << ", " << rect.top << ", " << rect.right;
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_NE(GetForegroundWindow(), window);
    ASSERT_EQ(SelectRingItem(500, 400), 0);
    EXPECT_FALSE(IsWindowVisible(window));

    // Pressed over the owned tool window, released over slot 2 (right of the centre): the action
    // runs for the owner, on a copy of the item, while the ring is still shown; then the ring is
    // hidden.
    ASSERT_EQ(OpenRingMenu(900, 700), 0);
    EXPECT_EQ(targetWindow, owner);
    ASSERT_EQ(SelectRingItem(900 + 85, 700), 0);
    ASSERT_EQ(actionCalls.size(), 1u);
    EXPECT_EQ(actionCalls[0].id, 3u);
    EXPECT_STREQ(actionCalls[0].text, "right");
    EXPECT_EQ(actionCalls[0].target, owner);
    EXPECT_TRUE(actionCalls[0].menuVisible);
    EXPECT_NE(actionCalls[0].passed, GetPageItem(0, 2));
    EXPECT_EQ(selectedSlot, 2);
    EXPECT_FALSE(IsWindowVisible(window));

    // The launch item's record travels with the copy.
    ASSERT_EQ(OpenRingMenu(500, 400), 0);
    ASSERT_EQ(SelectRingItem(500 - 100, 400), 0);
    ASSERT_EQ(actionCalls.size(), 2u);
    EXPECT_EQ(actionCalls[1].id, 9u);
    EXPECT_STREQ(actionCalls[1].path, "C:\\tools\\a.exe");

    // Releases that choose nothing only close the menu.
    MenuItem* silent = PlaceItem(5, 0, 0, true, "no action");
    ASSERT_NE(silent, nullptr);
    silent->action = nullptr;
    const POINT releases[] = {
        {500, 400},        // the dead centre
        {500 + 125, 400},  // beyond the band, to the right
        {500, 400 + 85},   // slot 4, empty
        {500, 400 - 85},   // slot 0, an item without an action
    };
    for (POINT release : releases) {
        ASSERT_EQ(OpenRingMenu(500, 400), 0);
        EXPECT_EQ(SelectRingItem(release.x, release.y), 0);
        EXPECT_FALSE(IsWindowVisible(menuWindow.load())) << release.x << ", " << release.y;
    }
    EXPECT_EQ(actionCalls.size(), 2u);
}

TEST_F(OpenMenuTest, OpeningFallsBackToAPageWithItemsOrStaysHiddenAndInert) {
    ASSERT_NE(PlaceItem(7, 5, 3, true, "page 5"), nullptr);
    pageTable.currentPage = 6;
    ASSERT_EQ(OpenRingMenu(500, 400), 0);
    EXPECT_EQ(pageTable.currentPage, 5);
    // The fall-back page's icon is in the first frame (slot 3's square, lower right).
    EXPECT_EQ(SurfacePixel(kSlotIconOrigin + 63 + 6, kSlotIconOrigin + 63 + 15).r, 255);
    SelectRingItem(500, 400);

    ResetTables();
    pageTable.currentPage = 2;
    EXPECT_EQ(OpenRingMenu(500, 400), -1);
    EXPECT_FALSE(IsWindowVisible(menuWindow.load()));
    EXPECT_EQ(pageTable.currentPage, 2);

    // An item that appears while the trigger is still held is neither tracked nor run: the menu
    // never opened.
    ASSERT_NE(PlaceItem(8, 2, 2, true, "late"), nullptr);
    MoveCursor(500 + 85, 400);
    TrackRingMenu();
    EXPECT_EQ(selectedSlot, -1);
    EXPECT_EQ(SelectRingItem(500 + 85, 400), 0);
    EXPECT_TRUE(actionCalls.empty());
    EXPECT_FALSE(IsWindowVisible(menuWindow.load()));
}

// An opaque pixel of the ring, right of the centre, shows on the screen as the surface holds it.
void ExpectOpaqueRingPixelShown(HWND window) {
    int32_t x = kMenuSize / 2 + 60;
    while (x < kMenuSize && SurfacePixel(x, kMenuSize / 2).a != 255) {
        ++x;
    }
    ASSERT_LT(x, kMenuSize) << "no opaque pixel on the ring's right";
    const Pixel ring = SurfacePixel(x, kMenuSize / 2);
    EXPECT_TRUE(PixelBecomes(window, x, kMenuSize / 2, RGB(ring.r, ring.g, ring.b)));
}

// A frame that does not reach the window when the ring opens (here the window is not layered for
// that moment) reaches it at the next step, though the cursor has not moved since the last one.
TEST_F(OpenMenuTest, FramesReachTheWindowBeforeTheFirstOpeningAndAfterAFailedPresent) {
    ASSERT_NE(PlaceItem(3, 0, 2, true, "right"), nullptr);
    MoveCursor(500, 400);
    lastTrackedPos = {kMenuSize / 2, kMenuSize / 2};  // the last ring closed under the same point
    const HWND window = menuWindow.load();
    const LONG style = GetWindowLongW(window, GWL_EXSTYLE);
    SetWindowLongW(window, GWL_EXSTYLE, style & ~WS_EX_LAYERED);
    ASSERT_EQ(OpenRingMenu(500, 400), 0);
    SetWindowLongW(window, GWL_EXSTYLE, style);
    TrackRingMenu();
    ExpectOpaqueRingPixelShown(window);
    CloseRingMenu();

    // Readied before any press, the hidden window holds the page's frame, which the first opening
    // shows before its own frame arrives.
    ClearLayeredSurface(menuSurface);
    ASSERT_EQ(PresentLayeredSurface(menuSurface, window), 1);
    PrepareRingMenu();
    ShowWindow(window, SW_SHOWNOACTIVATE);
    ExpectOpaqueRingPixelShown(window);
}

TEST_F(OpenMenuTest, TrackingFollowsTheCursorOverSlotsWithItems) {
    ASSERT_NE(PlaceItem(3, 0, 2, true, "right"), nullptr);
    ASSERT_EQ(OpenRingMenu(500, 400), 0);

    MoveCursor(500 + 85, 400);
    TrackRingMenu();
    EXPECT_EQ(selectedSlot, 2);
    EXPECT_EQ(lastTrackedPos.x, 128 + 85);
    EXPECT_EQ(lastTrackedPos.y, 128);
    EXPECT_GE(SurfacePixel(213 + 20, 128).a, 190);  // lit, beside the icon

    // Still there: nothing is recomputed. Moved within the slot: the label follows, and the ring
    // (wiped behind the step's back) is not drawn again; after a page change it is.
    selectedSlot = 5;
    TrackRingMenu();
    EXPECT_EQ(selectedSlot, 5);
    GdiFlush();
    memset(menuSurface->bits, 0, static_cast<size_t>(kMenuSize) * kMenuSize * 4);
    MoveCursor(500 + 90, 400 + 3);
    TrackRingMenu();
    EXPECT_EQ(selectedSlot, 2);
    EXPECT_EQ(SurfacePixel(213 + 20, 128).a, 0);
    ForgetTrackedPos();
    TrackRingMenu();
    EXPECT_GE(SurfacePixel(213 + 20, 128).a, 190);

    // Over a slot without an item, and in the centre: no slot, no highlight.
    MoveCursor(500, 400 + 85);
    TrackRingMenu();
    EXPECT_EQ(selectedSlot, -1);
    MoveCursor(500, 400);
    TrackRingMenu();
    EXPECT_EQ(selectedSlot, -1);
    EXPECT_LE(SurfacePixel(213 + 20, 128).a, 175);

    // A forced redraw at the same place recomputes.
    MoveCursor(500 + 85, 400);
    TrackRingMenu();
    selectedSlot = 5;
    lastTrackedPos = {-1, -1};
    TrackRingMenu();
    EXPECT_EQ(selectedSlot, 2);
    SelectRingItem(500, 400);
}

std::string ResourceData(HMODULE module, WORD id) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2));  // RT_BITMAP
    if (found == nullptr) {
        return std::string();
    }
    const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
    return data != nullptr ? std::string(data, SizeofResource(module, found)) : std::string();
}

// pivotel.exe carries the very skins tested here, as bitmaps 105 and 106 and at 2x 109 and 110.
TEST(MenuSkinResourcesTest, TheProgramCarriesTheTestedSkins) {
    const BuiltProgram program;
    ASSERT_NE(program.module, nullptr) << program.path;
    for (WORD id : {WORD{IDB_RING}, WORD{IDB_HIGHLIGHT}, WORD{IDB_RING_2X}, WORD{IDB_HIGHLIGHT_2X}}) {
        const size_t side = id == IDB_RING || id == IDB_HIGHLIGHT ? 256 : 512;
        const std::string tested = ResourceData(GetModuleHandleA(nullptr), id);
        ASSERT_EQ(tested.size(), 40u + side * side * 4u) << id;  // header and 32-bit pixels
        EXPECT_EQ(ResourceData(program.module, id), tested) << id;
    }
}

// A module without the skin bitmaps: the window still comes up; the ring simply has no picture.
TEST(MenuThreadTest, MissingSkinsLeaveAWindowWithoutARing) {
    HINSTANCE noSkins = GetModuleHandleA("kernel32.dll");
    ASSERT_EQ(StartMenuWindowThread(noSkins), 0);
    ASSERT_EQ(WaitForMenuWindow(), 0);
    ASSERT_NE(ringImage, nullptr);
    EXPECT_EQ(ringImage->view, nullptr);
    selectedSlot = 3;
    DrawRingMenu();
    EXPECT_EQ(SurfacePixel(128, 43).a, 0);
    selectedSlot = -1;
    // The stop releases what the thread made, whatever it managed to load.
    StopMenuWindowThread();
    EXPECT_EQ(menuSurface, nullptr);
    EXPECT_EQ(ringImage, nullptr);
    EXPECT_EQ(highlightImage, nullptr);
}

}  // namespace
