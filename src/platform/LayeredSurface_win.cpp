// Off-screen 32-bit surfaces and pushing them to layered windows, for the ring, the label and the
// palette editor.

#include "platform/LayeredSurface_win.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/Holders_win.h"

namespace {

// A surface around bitmap, selected into a new memory DC compatible with the screen. Null when
// any part is missing; nothing is left behind then, the bitmap included.
LayeredSurface* WrapBitmap(HBITMAP bitmap, void* bits) {
    BitmapHolder held(bitmap);
    BITMAP description = {};
    WindowDc screen;
    if (bitmap == nullptr || screen.get() == nullptr ||
        GetObjectW(bitmap, sizeof description, &description) != sizeof description) {
        return nullptr;
    }
    MemoryDcHolder dc(CreateCompatibleDC(screen.get()));
    LayeredSurface* surface = static_cast<LayeredSurface*>(calloc(1, sizeof(LayeredSurface)));
    if (surface == nullptr || dc == nullptr || SelectObject(dc.get(), bitmap) == nullptr) {
        free(surface);
        return nullptr;
    }
    *surface = LayeredSurface{dc.release(), held.release(), bits, description.bmWidth, description.bmHeight};
    return surface;
}

}  // namespace

// A width x height 32-bit surface. None (null) when any part cannot be made.
LayeredSurface* CreateLayeredSurface(int32_t width, int32_t height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // positive: rows stored bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    return WrapBitmap(bitmap, bits);
}

// A surface holding a bitmap resource at its own size; null when it cannot be loaded.
LayeredSurface* LoadBitmapSurface(HINSTANCE instance, uint16_t resourceId) {
    return WrapBitmap(LoadBitmapW(instance, MAKEINTRESOURCEW(resourceId)), nullptr);
}

void DestroyLayeredSurface(LayeredSurface*& surface) {
    if (surface == nullptr) {
        return;
    }
    DeleteDC(surface->dc);
    DeleteObject(surface->bitmap);
    free(surface);
    surface = nullptr;
}

// Makes every pixel fully transparent (ARGB 0).
int32_t ClearLayeredSurface(LayeredSurface* surface) {
    if (surface == nullptr) {
        return 0;
    }
    Gdiplus::GpGraphics* graphics = nullptr;
    if (Gdiplus::DllExports::GdipCreateFromHDC(surface->dc, &graphics) == Gdiplus::Ok) {
        GraphicsHolder held(graphics);
        Gdiplus::DllExports::GdipGraphicsClear(graphics, 0x00000000);
    }
    return 1;
}

// Pushes the surface to the layered window, cut to the smaller of the two sizes: where the window
// stands, or with its top-left corner moved to `at` by the same call; only the `dirty` rectangle of
// the surface when one is given. 1 on success, 0 on any failure.
int32_t PresentLayeredSurface(LayeredSurface* surface, HWND window, const POINT* at, const RECT* dirty) {
    if (surface == nullptr || window == nullptr) {
        return 0;
    }
    WindowDc screen;
    RECT rect;
    if (screen.get() == nullptr || !GetWindowRect(window, &rect)) {
        return 0;
    }
    POINT destination = at != nullptr ? *at : POINT{rect.left, rect.top};
    SIZE size = {std::min<LONG>(rect.right - rect.left, surface->width),
                 std::min<LONG>(rect.bottom - rect.top, surface->height)};
    POINT source = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    const UPDATELAYEREDWINDOWINFO info = {
        sizeof info, screen.get(), &destination, &size, surface->dc, &source, 0, &blend, ULW_ALPHA, dirty};
    return UpdateLayeredWindowIndirect(window, &info) ? 1 : 0;
}

// Copies a rectangle between surfaces: 1 when copied, 0 when a surface is missing.
int32_t CopySurfaceRect(LayeredSurface* destination, LayeredSurface* source, int32_t x, int32_t y,
                        int32_t width, int32_t height, int32_t sourceX, int32_t sourceY) {
    if (destination == nullptr || source == nullptr) {
        return 0;
    }
    BitBlt(destination->dc, x, y, width, height, source->dc, sourceX, sourceY, SRCCOPY);
    return 1;
}

// The first pixel of row y (0 at the top) of a surface made by CreateLayeredSurface, whose rows are
// stored bottom-up.
uint32_t* SurfaceRow(LayeredSurface* surface, int32_t y) {
    return static_cast<uint32_t*>(surface->bits) +
           static_cast<size_t>(surface->height - 1 - y) * surface->width;
}

// Copies the surface's box to or from pixels, which hold the box's rows one after another, top first.
void CopySurfacePixels(LayeredSurface* surface, const RECT& box, uint32_t* pixels, bool toSurface) {
    const size_t width = static_cast<size_t>(box.right - box.left);
    for (int32_t y = box.top; y < box.bottom; ++y) {
        uint32_t* line = SurfaceRow(surface, y) + box.left;
        uint32_t* kept = pixels + static_cast<size_t>(y - box.top) * width;
        memcpy(toSurface ? line : kept, toSurface ? kept : line, width * sizeof(uint32_t));
    }
}

// Fills a rectangle with a solid brush, outlined by a zero-width inside-frame pen; the DC's own
// brush and pen are put back. 1 on success, 0 when anything is missing or cannot be selected.
int32_t FillSurfaceRect(LayeredSurface* surface, int32_t x, int32_t y, int32_t width, int32_t height,
                        COLORREF brushColour, COLORREF penColour) {
    if (surface == nullptr) {
        return 0;
    }
    BrushHolder brush(CreateSolidBrush(brushColour));
    PenHolder pen(CreatePen(PS_INSIDEFRAME, 0, penColour));
    HGDIOBJ oldBrush = brush != nullptr && pen != nullptr ? SelectObject(surface->dc, brush.get()) : nullptr;
    HGDIOBJ oldPen = oldBrush != nullptr ? SelectObject(surface->dc, pen.get()) : nullptr;
    if (oldPen != nullptr) {
        Rectangle(surface->dc, x, y, x + width, y + height);
        SelectObject(surface->dc, oldPen);
    }
    if (oldBrush != nullptr) {
        SelectObject(surface->dc, oldBrush);
    }
    return oldPen != nullptr ? 1 : 0;
}
