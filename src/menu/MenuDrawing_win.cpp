// Drawing the ring menu's frames at its scale: skins, highlight and icons, and the pixels kept
// between frames.

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "menu/MenuDrawing_win.h"
#include "menu/MenuWindow_win.h"
#include "menu/RingGeometry.h"
#include "menu/RingMenu.h"
#include "platform/DisplayScale.h"
#include "platform/Holders_win.h"
#include "platform/WideText_win.h"
#include "settings/Pages.h"
#include "settings/SettingsFile.h"

namespace gdip = Gdiplus::DllExports;

namespace {

// The skins at the ring's current scale, when neither the 1x nor the 2x image has its size.
ImageHolder scaledRing;
ImageHolder scaledHighlight;

// Item icons taken from their files at the size a scaled ring draws them, by icon path.
struct SizedIcon {
    std::string path;
    IconHolder icon;  // empty when the file gave none at that size
};
std::vector<SizedIcon> sizedIcons;

// The nearest size at or above `pixels` that icon files commonly hold, so that the file's own image
// of that size is taken and only ever reduced.
int32_t IconFileSize(int32_t pixels) {
    for (const int32_t size : {16, 20, 24, 32, 40, 48, 64, 96, 128, 256}) {
        if (size >= pixels) {
            return size;
        }
    }
    return 256;
}

// The icon of the file at iconPath (as the settings hold it) at the size nearest above `pixels`,
// taken once per scale; null when the file holds no icon.
HICON IconAtSize(const char* iconPath, int32_t pixels) {
    for (const SizedIcon& kept : sizedIcons) {
        if (kept.path == iconPath) {
            return kept.icon.get();
        }
    }
    std::string resolved;
    HICON icon = nullptr;
    if (ResolvePath(&resolved, iconPath) == 0) {
        const int32_t size = IconFileSize(pixels);
        const std::wstring path = WideStringFromUtf8(resolved);
        if (PrivateExtractIconsW(path.c_str(), 0, size, size, &icon, nullptr, 1, 0) != 1) {
            icon = nullptr;
        }
    }
    sizedIcons.push_back(SizedIcon{iconPath, IconHolder(icon)});
    return icon;
}

// A copy of source at width x height, drawn with the high-quality filter and whole-pixel centres,
// so that a reduced skin keeps its edges as sharp as its size allows. Empty when it cannot be made.
ImageHolder ResampledImage(Gdiplus::GpImage* source, int32_t width, int32_t height) {
    UINT sourceWidth = 0;
    UINT sourceHeight = 0;
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (gdip::GdipGetImageWidth(source, &sourceWidth) != Gdiplus::Ok ||
        gdip::GdipGetImageHeight(source, &sourceHeight) != Gdiplus::Ok ||
        gdip::GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppPARGB, nullptr, &bitmap) !=
            Gdiplus::Ok) {
        return nullptr;
    }
    ImageHolder image(bitmap);
    Gdiplus::GpGraphics* graphics = nullptr;
    if (gdip::GdipGetImageGraphicsContext(image.get(), &graphics) != Gdiplus::Ok) {
        return nullptr;
    }
    const GraphicsHolder held(graphics);
    gdip::GdipSetInterpolationMode(graphics, Gdiplus::InterpolationModeHighQualityBicubic);
    gdip::GdipSetPixelOffsetMode(graphics, Gdiplus::PixelOffsetModeHighQuality);
    gdip::GdipSetCompositingMode(graphics, Gdiplus::CompositingModeSourceCopy);
    gdip::GdipDrawImageRectRect(graphics, source, 0.0f, 0.0f, static_cast<float>(width),
                                static_cast<float>(height), 0.0f, 0.0f, static_cast<float>(sourceWidth),
                                static_cast<float>(sourceHeight), Gdiplus::UnitPixel, nullptr, nullptr,
                                nullptr);
    return image;
}

int32_t ImageWidth(Gdiplus::GpImage* image) {
    UINT width = 0;
    return image != nullptr && gdip::GdipGetImageWidth(image, &width) == Gdiplus::Ok
               ? static_cast<int32_t>(width)
               : 0;
}

// The skin to draw at the ring's scale: the 1x or the 2x image where one has the ring's size;
// else the nearest larger of them (the 2x above 100 %) reduced once, and kept until the scale
// changes, so that no scale between 100 % and 200 % shows the 1x art enlarged. Null without art.
Gdiplus::GpImage* SkinAtScale(const SkinImage* one, const SkinImage* two, ImageHolder& kept) {
    Gdiplus::GpBitmap* small = one != nullptr ? one->view : nullptr;
    Gdiplus::GpBitmap* large = two != nullptr ? two->view : nullptr;
    const int32_t size = menuRing.size;
    if (ImageWidth(small) == size) {
        return small;
    }
    if (ImageWidth(large) == size) {
        return large;
    }
    if (kept == nullptr) {
        Gdiplus::GpBitmap* source =
            large == nullptr || (small != nullptr && size < ImageWidth(small)) ? small : large;
        if (source != nullptr) {
            kept = ResampledImage(source, size, size);
        }
    }
    return kept.get();
}

}  // namespace

// The ring skin at the ring's scale into the rectangle (the whole surface when DrawRingMenu
// calls). 0 when the surface, the skin or the rectangle is missing.
int32_t DrawRingBackground(const RECT* rect) {
    if (menuSurface == nullptr || ringImage == nullptr || rect == nullptr) {
        return 0;
    }
    const GraphicsHolder graphics = GraphicsOn(menuSurface->dc);
    Gdiplus::GpImage* skin = SkinAtScale(ringImage, ringImage2x, scaledRing);
    if (graphics != nullptr && skin != nullptr) {
        gdip::GdipDrawImageRect(graphics.get(), skin, static_cast<float>(rect->left),
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
    Gdiplus::GpImage* skin = SkinAtScale(highlightImage, highlightImage2x, scaledHighlight);
    if (skin == nullptr) {
        return 1;
    }
    UINT width = 0;
    UINT height = 0;
    gdip::GdipGetImageWidth(skin, &width);
    gdip::GdipGetImageHeight(skin, &height);
    RingPointF corners[3];
    HighlightCorners(angleDegrees, static_cast<int32_t>(width), static_cast<int32_t>(height), corners,
                     menuRing.centre);
    Gdiplus::GpPointF points[3];
    for (int i = 0; i < 3; ++i) {
        points[i] = Gdiplus::GpPointF(corners[i].x, corners[i].y);
    }
    const GraphicsHolder graphics = GraphicsOn(menuSurface->dc);
    if (graphics != nullptr) {
        gdip::GdipDrawImagePoints(graphics.get(), skin, points, 3);
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
    if (info.hbmColor != nullptr && GetObjectW(info.hbmColor, sizeof colour, &colour) == sizeof colour &&
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

namespace {

// DrawSlotIcon through any graphics; `smooth` reduces a larger icon with the high-quality filter.
void DrawIconOn(Gdiplus::GpGraphics* graphics, const RECT& rect, HICON icon, bool smooth = false) {
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
    if (image != nullptr && graphics != nullptr) {
        if (smooth) {
            gdip::GdipSetInterpolationMode(graphics, Gdiplus::InterpolationModeHighQualityBicubic);
            gdip::GdipSetPixelOffsetMode(graphics, Gdiplus::PixelOffsetModeHighQuality);
        }
        gdip::GdipDrawImageRect(graphics, image.get(), static_cast<float>(rect.left),
                                static_cast<float>(rect.top), static_cast<float>(rect.right - rect.left),
                                static_cast<float>(rect.bottom - rect.top));
    }
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
    if (icon != nullptr) {
        DrawIconOn(GraphicsOn(menuSurface->dc).get(), *rect, icon);
    }
    return 1;
}

namespace {

// The ring drawn once and kept, and for each slot the rectangle its turned highlight changes with
// those pixels, so that a frame starts from copies instead of a clear, the ring and a rotated
// highlight: under a software renderer those three take most of a frame. The skins never change
// while the menu window lives; its teardown forgets all of it.
std::unique_ptr<uint32_t[]> plainRing;
struct HighlightPatch {
    RECT box;  // in surface coordinates; empty when the highlight changes nothing
    std::unique_ptr<uint32_t[]> pixels;
    bool kept;
};
HighlightPatch highlightPatches[kSlotsPerPage];

// Keeps where the surface, just painted with slot's highlight, differs from the plain ring.
void KeepPatch(int32_t slot) {
    HighlightPatch& patch = highlightPatches[slot];
    const int32_t size = menuRing.size;
    RECT box = {size, size, 0, 0};
    for (int32_t y = 0; y < size; ++y) {
        const uint32_t* row = SurfaceRow(menuSurface, y);
        const uint32_t* plain = plainRing.get() + (row - static_cast<const uint32_t*>(menuSurface->bits));
        for (int32_t x = 0; x < size; ++x) {
            if (row[x] != plain[x]) {
                box = RECT{std::min<LONG>(box.left, x), std::min<LONG>(box.top, y),
                           std::max<LONG>(box.right, x + 1), y + 1};
            }
        }
    }
    if (IsRectEmpty(&box)) {
        patch.box = RECT{};
        patch.kept = true;
        return;
    }
    patch.box = box;
    patch.pixels.reset(
        new (std::nothrow)
            uint32_t[static_cast<size_t>(box.right - box.left) * static_cast<size_t>(box.bottom - box.top)]);
    patch.kept = patch.pixels != nullptr;
    if (patch.kept) {
        CopySurfacePixels(menuSurface, patch.box, patch.pixels.get(), false);
    }
}

// The rectangle where the frame for highlightSlot (-1 for none) differs from the plain ring's;
// false while that is not known.
bool FrameChange(int32_t highlightSlot, RECT& change) {
    if (highlightSlot < 0 || highlightSlot >= kSlotsPerPage) {
        change = RECT{};
        return true;
    }
    change = highlightPatches[highlightSlot].box;
    return highlightPatches[highlightSlot].kept;
}

void PaintRingBackground(int32_t highlightSlot) {
    if (menuSurface != nullptr) {
        ClearLayeredSurface(menuSurface);
    }
    const RECT whole = {0, 0, menuRing.size, menuRing.size};
    DrawRingBackground(&whole);
    int32_t slot = 0;
    for (int32_t angle = 0; angle < 360; angle += 45, ++slot) {
        if (slot == highlightSlot) {
            DrawSectorHighlight(angle);
        }
    }
}

// Puts the background for highlightSlot (-1 for none) into the surface, from the kept copies when
// there are some, drawing and keeping them otherwise.
void PutRingBackground(int32_t highlightSlot) {
    const bool surfaceReady = menuSurface != nullptr && menuSurface->bits != nullptr &&
                              menuSurface->width == menuRing.size && menuSurface->height == menuRing.size;
    const size_t framePixels = static_cast<size_t>(menuRing.size) * menuRing.size;
    if (!surfaceReady) {
        PaintRingBackground(highlightSlot);
        return;
    }
    const bool lit = highlightSlot >= 0 && highlightSlot < kSlotsPerPage;
    GdiFlush();  // GDI+ may still be writing into the section
    if (plainRing == nullptr) {
        PaintRingBackground(-1);
        GdiFlush();
        plainRing.reset(new (std::nothrow) uint32_t[framePixels]);
        if (plainRing == nullptr) {
            PaintRingBackground(highlightSlot);
            return;
        }
        memcpy(plainRing.get(), menuSurface->bits, framePixels * sizeof(uint32_t));
    } else {
        memcpy(menuSurface->bits, plainRing.get(), framePixels * sizeof(uint32_t));
    }
    if (!lit) {
        return;
    }
    HighlightPatch& patch = highlightPatches[highlightSlot];
    if (patch.kept) {
        if (patch.pixels != nullptr) {
            CopySurfacePixels(menuSurface, patch.box, patch.pixels.get(), true);
        }
        return;
    }
    PaintRingBackground(highlightSlot);
    GdiFlush();
    KeepPatch(highlightSlot);
}

// The current page's icons over transparency, side by side (premultiplied, top row first), drawn
// by DrawRingMenu and laid over the ring by DrawRingHighlight, so that a step to another slot
// draws no icon. Plain memory, not a GDI object. Worker thread only, apart from the window
// thread's teardown. Its cells are an icon square and a pixel all round for smoothing.
std::unique_ptr<uint32_t[]> iconLayer;
bool iconLayerDrawn;

int32_t IconCell() {
    return menuRing.iconExtent + 2;
}

int32_t LayerWidth() {
    return kSlotsPerPage * IconCell();
}

// Where a slot's icon goes on the menu surface, with `margin` pixels all round.
RECT IconSquare(int32_t slot, int32_t margin) {
    const SlotOffset& offset = menuRing.slotOffsets[slot];
    const int32_t origin = menuRing.iconOrigin;
    return RECT{origin + offset.dx - margin, origin + offset.dy - margin,
                origin + menuRing.iconExtent + offset.dx + margin,
                origin + menuRing.iconExtent + offset.dy + margin};
}

// Where it goes in the icon layer.
RECT LayerSquare(int32_t slot, int32_t margin) {
    return RECT{slot * IconCell() + 1 - margin, 1 - margin,
                slot * IconCell() + 1 + menuRing.iconExtent + margin, 1 + menuRing.iconExtent + margin};
}

// The icons of the current page's slots (none when the current page is not a page). The tables'
// lock is held meanwhile, so an item the palette editor deletes is never touched. On a scaled
// display each icon is taken from its file at the size it is drawn.
void DrawPageIcons(Gdiplus::GpGraphics* graphics, RECT (*square)(int32_t, int32_t)) {
    TablesLock lock;
    for (int32_t slot = 0; slot < kSlotsPerPage; ++slot) {
        const MenuItem* item = GetCurrentPageItem(slot);
        if (item == nullptr || item->icon == nullptr) {
            continue;
        }
        HICON sized = menuRing.dpi != kBaseDpi ? IconAtSize(item->iconPath, menuRing.iconExtent) : nullptr;
        DrawIconOn(graphics, square(slot, 0), sized != nullptr ? sized : static_cast<HICON>(item->icon),
                   menuRing.dpi != kBaseDpi);
    }
}

// Draws the current page's icons into the layer; false when GDI+ cannot draw there.
bool DrawIconLayer() {
    const int32_t cell = IconCell();
    const int32_t layerWidth = LayerWidth();
    if (iconLayer == nullptr) {
        iconLayer.reset(new (std::nothrow) uint32_t[static_cast<size_t>(layerWidth) * cell]);
    }
    if (iconLayer == nullptr) {
        return false;
    }
    memset(iconLayer.get(), 0, static_cast<size_t>(layerWidth) * cell * sizeof(uint32_t));
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (gdip::GdipCreateBitmapFromScan0(layerWidth, cell, layerWidth * 4, PixelFormat32bppPARGB,
                                        reinterpret_cast<BYTE*>(iconLayer.get()), &bitmap) != Gdiplus::Ok) {
        return false;
    }
    const ImageHolder image(bitmap);
    Gdiplus::GpGraphics* graphics = nullptr;
    if (gdip::GdipGetImageGraphicsContext(image.get(), &graphics) != Gdiplus::Ok) {
        return false;
    }
    const GraphicsHolder held(graphics);
    DrawPageIcons(graphics, LayerSquare);
    return true;
}

// Lays the icon layer over the surface, square by square: source over, premultiplied, rounded as
// GDI rounds it when GDI+ lays an icon over the ring.
void BlendIconLayer() {
    GdiFlush();
    const int32_t cell = IconCell();
    for (int32_t slot = 0; slot < kSlotsPerPage; ++slot) {
        const RECT to = IconSquare(slot, 1);
        const RECT from = LayerSquare(slot, 1);
        for (int32_t row = 0; row < cell; ++row) {
            const uint32_t* source =
                iconLayer.get() + static_cast<size_t>(from.top + row) * LayerWidth() + from.left;
            uint32_t* target = SurfaceRow(menuSurface, to.top + row) + to.left;
            for (int32_t x = 0; x < cell; ++x) {
                const uint32_t alpha = source[x] >> 24;
                uint32_t blended = 0;
                for (int shift = 0; shift < 32; shift += 8) {
                    const uint32_t under = (target[x] >> shift) & 0xFF;
                    blended |= (((source[x] >> shift) & 0xFF) + (under * (255 - alpha) + 127) / 255) << shift;
                }
                target[x] = blended;
            }
        }
    }
}

}  // namespace

void ForgetRingFrames() {
    plainRing.reset();
    for (HighlightPatch& patch : highlightPatches) {
        patch = HighlightPatch{};
    }
    iconLayer.reset();
    iconLayerDrawn = false;
    scaledRing.reset();
    scaledHighlight.reset();
    sizedIcons.clear();
}

// One whole frame: the ring, the highlight of selectedSlot over it and the icons of the current
// page's slots on top, read afresh from the tables. Drawing waits on nothing but the tables' lock.
void DrawRingMenu() {
    PutRingBackground(selectedSlot);
    if (menuSurface == nullptr) {
        return;
    }
    iconLayerDrawn = menuSurface->bits != nullptr && menuSurface->width == menuRing.size &&
                     menuSurface->height == menuRing.size && DrawIconLayer();
    if (!iconLayerDrawn) {
        DrawPageIcons(GraphicsOn(menuSurface->dc).get(), IconSquare);
        return;
    }
    BlendIconLayer();
}

// The frame for another selectedSlot on the same page: the kept icons over that slot's ring. A
// whole frame when no icons are kept. `changed` is where it differs from the frame that shows
// fromSlot's highlight: empty when nothing does, the whole surface when that is not known.
void DrawRingHighlight(int32_t fromSlot, RECT& changed) {
    changed = RECT{0, 0, menuRing.size, menuRing.size};
    if (!iconLayerDrawn || menuSurface == nullptr) {
        DrawRingMenu();
        return;
    }
    PutRingBackground(selectedSlot);
    BlendIconLayer();
    RECT from;
    RECT to;
    if (FrameChange(fromSlot, from) && FrameChange(selectedSlot, to)) {
        UnionRect(&changed, &from, &to);
    }
}
