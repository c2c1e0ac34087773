#pragma once
// An off-screen 32-bit surface (a DIB section selected into a memory DC), shared by the windows
// that draw their own pixels: the ring menu and the label draw into one each with per-pixel alpha
// (premultiplied) and push it to their layered windows; the palette editor composes its frames in
// one from its background picture.

#include <windows.h>

#include <cstdint>

struct LayeredSurface {
    HDC dc;          // memory device context with bitmap selected for the surface's whole life
    HBITMAP bitmap;  // a bottom-up DIB section; each pixel blue, green, red, alpha
    void* bits;
    int32_t width;
    int32_t height;
};

LayeredSurface* CreateLayeredSurface(int32_t width, int32_t height);
LayeredSurface* LoadBitmapSurface(HINSTANCE instance, uint16_t resourceId);
void DestroyLayeredSurface(LayeredSurface*& surface);
int32_t ClearLayeredSurface(LayeredSurface* surface);
int32_t PresentLayeredSurface(LayeredSurface* surface, HWND window, const POINT* at = nullptr,
                              const RECT* dirty = nullptr);
int32_t CopySurfaceRect(LayeredSurface* destination, LayeredSurface* source, int32_t x, int32_t y,
                        int32_t width, int32_t height, int32_t sourceX, int32_t sourceY);
uint32_t* SurfaceRow(LayeredSurface* surface, int32_t y);
void CopySurfacePixels(LayeredSurface* surface, const RECT& box, uint32_t* pixels, bool toSurface);
int32_t FillSurfaceRect(LayeredSurface* surface, int32_t x, int32_t y, int32_t width, int32_t height,
                        COLORREF brushColour, COLORREF penColour);
