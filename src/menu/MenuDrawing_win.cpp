#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "menu/MenuDrawing_win.h"
#include "menu/MenuWindow_win.h"
#include "menu/RingGeometry.h"
#include "menu/RingMenu.h"
#include "platform/Holders_win.h"
#include "settings/Pages.h"

namespace gdip = Gdiplus::DllExports;

// The ring skin scaled into the rectangle (the whole 256 x 256 surface when DrawRingMenu calls).
// 0 when the surface, the skin or the rectangle is missing.
int32_t DrawRingBackground(const RECT* rect) {
    if (menuSurface == nullptr || ringImage == nullptr || rect == nullptr) {
        return 0;
    }
    const GraphicsHolder graphics = GraphicsOn(menuSurface->dc);
    if (graphics != nullptr && ringImage->view != nullptr) {
        gdip::GdipDrawImageRect(graphics.get(), ringImage->view, static_cast<float>(rect->left),
                                static_cast<float>(rect->top), static_cast<float>(rect->right - rect->left),
                                static_cast<float>(rect->bottom - rect->top));
    }
    return 1;
}

// The highlight skin (the sector straight up) turned clockwise by angleDegrees about the ring's
// centre. 0 when the surface or the skin is missing.
int32_t DrawSectorHighlight(double angleDegrees) {
    if (menuSurface == nullptr || highlightImage == nullptr) {
        return 0;
    }
    if (highlightImage->view == nullptr) {
        return 1;
    }
    UINT width = 0;
    UINT height = 0;
    gdip::GdipGetImageWidth(highlightImage->view, &width);
    gdip::GdipGetImageHeight(highlightImage->view, &height);
    RingPointF corners[3];
    HighlightCorners(angleDegrees, static_cast<int32_t>(width), static_cast<int32_t>(height), corners);
    Gdiplus::GpPointF points[3];
    for (int i = 0; i < 3; ++i) {
        points[i] = Gdiplus::GpPointF(corners[i].x, corners[i].y);
    }
    const GraphicsHolder graphics = GraphicsOn(menuSurface->dc);
    if (graphics != nullptr) {
        gdip::GdipDrawImagePoints(graphics.get(), highlightImage->view, points, 3);
    }
    return 1;
}

namespace {

// The pixels of an icon whose colour bitmap is 32 bits per pixel with an alpha channel, top row
// first, straight alpha. False for an icon without alpha (its mask then says what is transparent).
bool ReadIconAlphaPixels(HICON icon, std::vector<uint32_t>& pixels, int32_t& width, int32_t& height) {
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info)) {
        return false;
    }
    const BitmapHolder colourBitmap(info.hbmColor);
    const BitmapHolder maskBitmap(info.hbmMask);
    bool hasAlpha = false;
    BITMAP colour = {};
    if (info.hbmColor != nullptr && GetObjectA(info.hbmColor, sizeof colour, &colour) == sizeof colour &&
        colour.bmBitsPixel == 32 && colour.bmWidth > 0 && colour.bmHeight > 0) {
        width = colour.bmWidth;
        height = colour.bmHeight;
        BITMAPINFO header = {};
        header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        header.bmiHeader.biWidth = width;
        header.bmiHeader.biHeight = -height;  // top-down, as GDI+ lays out its rows
        header.bmiHeader.biPlanes = 1;
        header.bmiHeader.biBitCount = 32;
        header.bmiHeader.biCompression = BI_RGB;
        pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
        const WindowDc screen;
        if (screen.get() != nullptr && GetDIBits(screen.get(), info.hbmColor, 0, static_cast<UINT>(height),
                                                 pixels.data(), &header, DIB_RGB_COLORS) == height) {
            for (uint32_t pixel : pixels) {
                hasAlpha = hasAlpha || (pixel & 0xFF000000u) != 0;
            }
        }
    }
    return hasAlpha;
}

}  // namespace

// An icon scaled into the rectangle. An icon with an alpha channel is drawn from its own pixels as
// straight ARGB, so that its soft edges and shadows stay translucent (GDI+'s conversion of an icon
// handle keeps only the mask on some systems); an icon without alpha goes through that conversion,
// which makes the masked pixels transparent. 0 when the surface or the rectangle is missing; a
// missing or unusable icon draws nothing.
int32_t DrawSlotIcon(const RECT* rect, HICON icon) {
    if (menuSurface == nullptr || rect == nullptr) {
        return 0;
    }
    if (icon == nullptr) {
        return 1;
    }
    std::vector<uint32_t> pixels;
    int32_t width = 0;
    int32_t height = 0;
    Gdiplus::GpBitmap* bitmap = nullptr;
    const Gdiplus::GpStatus made =
        ReadIconAlphaPixels(icon, pixels, width, height)
            ? gdip::GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppARGB,
                                              reinterpret_cast<BYTE*>(pixels.data()), &bitmap)
            : gdip::GdipCreateBitmapFromHICON(icon, &bitmap);
    const ImageHolder image(made == Gdiplus::Ok ? bitmap : nullptr);
    const GraphicsHolder graphics = GraphicsOn(menuSurface->dc);
    if (image != nullptr && graphics != nullptr) {
        gdip::GdipDrawImageRect(graphics.get(), image.get(), static_cast<float>(rect->left),
                                static_cast<float>(rect->top), static_cast<float>(rect->right - rect->left),
                                static_cast<float>(rect->bottom - rect->top));
    }
    return 1;
}

namespace {

// The ring with each possible highlight (none, or slot 0..7) drawn once and kept, so that a frame
// starts from a copy of its background instead of a clear, the ring and a rotated highlight:
// under a software renderer those three take most of a tracking step. The skins never change
// while the menu window lives; its teardown forgets the frames.
constexpr int kRingFrames = 1 + kSlotsPerPage;
std::unique_ptr<uint32_t[]> ringFrames[kRingFrames];

void PaintRingBackground(int32_t highlightSlot) {
    if (menuSurface != nullptr) {
        ClearLayeredSurface(menuSurface);
    }
    const RECT whole = {0, 0, kMenuSize, kMenuSize};
    DrawRingBackground(&whole);
    int32_t slot = 0;
    for (int32_t angle = 0; angle < 360; angle += 45, ++slot) {
        if (slot == highlightSlot) {
            DrawSectorHighlight(angle);
        }
    }
}

// Puts the background for highlightSlot (-1 for none) into the surface, from the kept copy when
// there is one, drawing and keeping it otherwise.
void PutRingBackground(int32_t highlightSlot) {
    const int index = highlightSlot >= 0 && highlightSlot < kSlotsPerPage ? highlightSlot + 1 : 0;
    const bool surfaceReady = menuSurface != nullptr && menuSurface->bits != nullptr &&
                              menuSurface->width == kMenuSize && menuSurface->height == kMenuSize;
    const size_t pixels = static_cast<size_t>(kMenuSize) * kMenuSize;
    if (!surfaceReady) {
        PaintRingBackground(highlightSlot);
        return;
    }
    GdiFlush();  // GDI+ may still be writing into the section
    if (ringFrames[index] != nullptr) {
        memcpy(menuSurface->bits, ringFrames[index].get(), pixels * sizeof(uint32_t));
        return;
    }
    PaintRingBackground(highlightSlot);
    GdiFlush();
    ringFrames[index].reset(new (std::nothrow) uint32_t[pixels]);
    if (ringFrames[index] != nullptr) {
        memcpy(ringFrames[index].get(), menuSurface->bits, pixels * sizeof(uint32_t));
    }
}

}  // namespace

void ForgetRingFrames() {
    for (auto& frame : ringFrames) {
        frame.reset();
    }
}

// One whole frame: the ring, the highlight of selectedSlot over it and the icons of the current
// page's slots on top (none when the current page is not a page). The tables' lock is held while
// the icons are drawn, so an item the palette editor deletes meanwhile is never touched; drawing
// waits on nothing else.
void DrawRingMenu() {
    PutRingBackground(selectedSlot);
    TablesLock lock;
    for (int32_t slot = 0; slot < kSlotsPerPage; ++slot) {
        const MenuItem* item = GetCurrentPageItem(slot);
        if (item == nullptr || item->icon == nullptr) {
            continue;
        }
        const SlotOffset& offset = RingSlotOffsets[slot];
        const RECT square = {kSlotIconOrigin + offset.dx, kSlotIconOrigin + offset.dy,
                             kSlotIconOrigin + kSlotIconExtent + offset.dx,
                             kSlotIconOrigin + kSlotIconExtent + offset.dy};
        DrawSlotIcon(&square, static_cast<HICON>(item->icon));
    }
}
