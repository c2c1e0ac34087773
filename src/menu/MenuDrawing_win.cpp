// The ring menu's frames, put together from pixels kept between them: the plain ring, each slot's
// highlighted patch and the current page's icons, drawn once and copied at every step.

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "menu/MenuDrawing_win.h"
#include "menu/MenuWindow_win.h"
#include "menu/RingArt_win.h"
#include "menu/RingGeometry.h"
#include "menu/RingMenu.h"
#include "platform/Holders_win.h"
#include "settings/Pages.h"

namespace gdip = Gdiplus::DllExports;

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

// Where it goes in the icon layer.
RECT LayerSquare(int32_t slot, int32_t margin) {
    return RECT{slot * IconCell() + 1 - margin, 1 - margin,
                slot * IconCell() + 1 + menuRing.iconExtent + margin, 1 + menuRing.iconExtent + margin};
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
    ForgetScaledArt();
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
