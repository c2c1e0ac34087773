#pragma once
// An off-screen 32-bit surface with per-pixel alpha (premultiplied), pushed to a layered window.
// The ring menu and the label window draw into one each.

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
void DestroyLayeredSurface(LayeredSurface*& surface);
int32_t ClearLayeredSurface(LayeredSurface* surface);
int32_t PresentLayeredSurface(LayeredSurface* surface, HWND window);
