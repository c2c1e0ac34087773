// Painting the parts of a ring frame onto the menu surface at the ring's scale: the ring, a turned
// highlight and the icons.

#include "menu/RingPainting_win.h"

#include "menu/MenuWindow_win.h"
#include "menu/RingArt_win.h"
#include "menu/RingGeometry.h"
#include "platform/DisplayScale.h"
#include "platform/Holders_win.h"
#include "settings/Pages.h"

namespace gdip = Gdiplus::DllExports;

// The ring skin at the ring's scale into the rectangle (the whole surface when DrawRingMenu
// calls). 0 when the surface, the skin or the rectangle is missing.
int32_t DrawRingBackground(const RECT* rect) {
    if (menuSurface == nullptr || ringImage == nullptr || rect == nullptr) {
        return 0;
    }
    const GraphicsHolder graphics = GraphicsOn(menuSurface->dc);
    Gdiplus::GpImage* skin = RingSkinAtScale();
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
    Gdiplus::GpImage* skin = HighlightSkinAtScale();
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

// A clear surface with the ring and, for highlightSlot (-1 for none), its highlight.
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

// Where a slot's icon goes on the menu surface, with `margin` pixels all round.
RECT IconSquare(int32_t slot, int32_t margin) {
    const SlotOffset& offset = menuRing.slotOffsets[slot];
    const int32_t origin = menuRing.iconOrigin;
    return RECT{origin + offset.dx - margin, origin + offset.dy - margin,
                origin + menuRing.iconExtent + offset.dx + margin,
                origin + menuRing.iconExtent + offset.dy + margin};
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
        DrawIconOn(graphics, square(slot, 0), ItemIconAtScale(*item), menuRing.dpi != kBaseDpi);
    }
}
