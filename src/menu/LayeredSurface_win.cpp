#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdlib>

#include "menu/LayeredSurface.h"

// A width x height 32-bit DIB section selected into a screen-compatible memory DC. None (null)
// when any part cannot be made; nothing is left behind then.
LayeredSurface* CreateLayeredSurface(int32_t width, int32_t height) {
    LayeredSurface* surface = static_cast<LayeredSurface*>(calloc(1, sizeof(LayeredSurface)));
    if (surface == nullptr) {
        return nullptr;
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // positive: rows stored bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    surface->bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &surface->bits, nullptr, 0);
    HDC screen = surface->bitmap != nullptr ? GetDC(nullptr) : nullptr;
    if (screen != nullptr) {
        surface->dc = CreateCompatibleDC(screen);
        ReleaseDC(nullptr, screen);
    }
    if (surface->dc == nullptr || SelectObject(surface->dc, surface->bitmap) == nullptr) {
        DestroyLayeredSurface(surface);
        return nullptr;
    }
    surface->width = width;
    surface->height = height;
    return surface;
}

void DestroyLayeredSurface(LayeredSurface*& surface) {
    if (surface == nullptr) {
        return;
    }
    if (surface->dc != nullptr) {
        DeleteDC(surface->dc);
    }
    if (surface->bitmap != nullptr) {
        DeleteObject(surface->bitmap);
    }
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
        Gdiplus::DllExports::GdipGraphicsClear(graphics, 0x00000000);
        Gdiplus::DllExports::GdipDeleteGraphics(graphics);
    }
    return 1;
}

// Pushes the surface to the layered window where the window already stands, cut to the
// smaller of the two sizes. 1 on success, 0 on any failure.
int32_t PresentLayeredSurface(LayeredSurface* surface, HWND window) {
    if (surface == nullptr || window == nullptr) {
        return 0;
    }
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) {
        return 0;
    }
    int32_t result = 0;
    RECT rect;
    if (GetWindowRect(window, &rect)) {
        POINT destination = {rect.left, rect.top};
        SIZE size = {rect.right - rect.left, rect.bottom - rect.top};
        if (size.cx > surface->width) {
            size.cx = surface->width;
        }
        if (size.cy > surface->height) {
            size.cy = surface->height;
        }
        POINT source = {0, 0};
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        result = UpdateLayeredWindow(window, screen, &destination, &size, surface->dc, &source, 0, &blend,
                                     ULW_ALPHA)
                     ? 1
                     : 0;
    }
    ReleaseDC(nullptr, screen);
    return result;
}
