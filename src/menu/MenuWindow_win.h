#pragma once
// The ring menu's window and the thread that owns it: a borderless, topmost, per-pixel-alpha
// window that never takes the focus, 256 x 256 at 96 DPI and scaled with the display under each
// opening, its drawing surface and the two skin images, each drawn at 1x and 2x.
// The thread only pumps messages; the menu worker draws, moves, shows and hides (RingMenu.h).
// The menu threads' starter calls StartMenuWindowThread (appInstance) and, at shutdown and after a
// failed start, StopMenuWindowThread.

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <atomic>
#include <cstdint>

#include "platform/LayeredSurface_win.h"
#include "menu/RingGeometry.h"
#include "platform/WindowThread_win.h"

constexpr int32_t kMenuSize = 256;
extern const wchar_t kMenuWindowClass[];

// A bitmap resource drawn with its fourth byte as alpha: `view` is what gets drawn, either over the
// resource's own pixels or over `source` as decoded, which then owns them.
struct SkinImage {
    Gdiplus::GpBitmap* view;
    Gdiplus::GpBitmap* source;
    Gdiplus::BitmapData locked;
    bool isLocked;
};

extern WindowThread menuThread;
extern std::atomic<HWND> menuWindow;
extern LayeredSurface* menuSurface;
extern SkinImage* ringImage;
extern SkinImage* highlightImage;
// The same skins at twice the size, for scaled displays: loaded by the first ScaleRingMenu to a DPI
// above 96 (null until then), views empty when missing.
extern SkinImage* ringImage2x;
extern SkinImage* highlightImage2x;
// The scale menuSurface is made for; the worker changes it with ScaleRingMenu.
extern RingMetrics menuRing;

int32_t StartMenuWindowThread(HINSTANCE instance);
bool ScaleRingMenu(uint32_t dpi);
int32_t WaitForMenuWindow();
void StopMenuWindowThread();
