// The ring menu's window thread, its surface and skins, and the surface's scale.

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdlib>
#include <cstring>

#include "menu/MenuDrawing_win.h"
#include "menu/MenuWindow_win.h"
#include "platform/DisplayScale.h"
#include "res/resource.h"

namespace gdip = Gdiplus::DllExports;

const wchar_t kMenuWindowClass[] = L"Pivotel";

WindowThread menuThread;
// Published only once the window can be drawn to and presented (surface and skins loaded), and
// withdrawn first thing at teardown, so the worker never sees a window whose surface is missing.
std::atomic<HWND> menuWindow{nullptr};
LayeredSurface* menuSurface;
SkinImage* ringImage;
SkinImage* highlightImage;
SkinImage* ringImage2x;
SkinImage* highlightImage2x;
RingMetrics menuRing = kRingAt96Dpi;

namespace {

HINSTANCE skinModule;  // where the skins come from, for the 2x ones loaded at the first scaled ring

}  // namespace

// A view over a 32-bit BI_RGB bitmap resource's pixels where they lie in the module, with the fourth
// byte of every pixel as its alpha: read-only image pages are shared, so a skin costs no private
// memory, and nothing is decoded. Null for any other kind of bitmap or a header that does not fit.
static Gdiplus::GpBitmap* ViewBitmapResource(HINSTANCE instance, const WCHAR* name) {
    HRSRC found = FindResourceW(instance, name, reinterpret_cast<LPCWSTR>(RT_BITMAP));
    HGLOBAL loaded = found != nullptr ? LoadResource(instance, found) : nullptr;
    const BYTE* bytes = loaded != nullptr ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    const uint64_t size = found != nullptr ? SizeofResource(instance, found) : 0;
    BITMAPINFOHEADER header = {};
    if (bytes == nullptr || size < sizeof header) {
        return nullptr;
    }
    memcpy(&header, bytes, sizeof header);
    const int64_t width = header.biWidth;
    const int64_t height = header.biHeight < 0 ? -static_cast<int64_t>(header.biHeight) : header.biHeight;
    const uint64_t offset = static_cast<uint64_t>(header.biSize) + uint64_t{header.biClrUsed} * 4;
    if (header.biSize < sizeof header || header.biPlanes != 1 || header.biBitCount != 32 ||
        header.biCompression != BI_RGB || width <= 0 || height <= 0 || width > 0x4000 || height > 0x4000 ||
        header.biClrUsed > 256 || offset + static_cast<uint64_t>(width * 4 * height) > size) {
        return nullptr;
    }
    // Rows are stored bottom up unless the height is negative; a negative stride walks them upwards.
    const bool bottomUp = header.biHeight > 0;
    const INT stride = static_cast<INT>(width * 4);
    BYTE* top = const_cast<BYTE*>(bytes) + offset + (bottomUp ? (height - 1) * stride : 0);
    Gdiplus::GpBitmap* view = nullptr;
    return gdip::GdipCreateBitmapFromScan0(static_cast<INT>(width), static_cast<INT>(height),
                                           bottomUp ? -stride : stride, PixelFormat32bppARGB, top,
                                           &view) == Gdiplus::Ok
               ? view
               : nullptr;
}

// A skin from a bitmap resource, its fourth byte drawn as alpha: viewed in place when it is a
// plain 32-bit bitmap. Otherwise it is decoded: a 32-bit one GDI+ decodes as RGB without that
// alpha, so the view re-declares the locked pixels ARGB (the source stays locked while the view
// lives); any other depth is drawn as decoded, through a copy. None only when the record cannot
// be allocated; a bitmap that cannot be read leaves the fields empty and draws nothing.
static SkinImage* LoadSkinImage(HINSTANCE instance, uint16_t resourceId) {
    SkinImage* image = static_cast<SkinImage*>(calloc(1, sizeof(SkinImage)));
    if (image == nullptr) {
        return nullptr;
    }
    const WCHAR* name = reinterpret_cast<const WCHAR*>(MAKEINTRESOURCEW(resourceId));
    image->view = ViewBitmapResource(instance, name);
    if (image->view != nullptr) {
        return image;
    }
    if (gdip::GdipCreateBitmapFromResource(instance, name, &image->source) != Gdiplus::Ok) {
        image->source = nullptr;
        return image;
    }
    UINT width = 0;
    UINT height = 0;
    Gdiplus::PixelFormat format = 0;
    gdip::GdipGetImageWidth(image->source, &width);
    gdip::GdipGetImageHeight(image->source, &height);
    gdip::GdipGetImagePixelFormat(image->source, &format);
    if (Gdiplus::GetPixelFormatSize(format) != 32) {
        Gdiplus::GpImage* copy = nullptr;
        if (gdip::GdipCloneImage(image->source, &copy) == Gdiplus::Ok) {
            image->view = static_cast<Gdiplus::GpBitmap*>(copy);
        }
        return image;
    }
    Gdiplus::GpRect whole(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    if (gdip::GdipBitmapLockBits(image->source, &whole, Gdiplus::ImageLockModeRead, format, &image->locked) !=
        Gdiplus::Ok) {
        return image;
    }
    image->isLocked = true;
    if (gdip::GdipCreateBitmapFromScan0(static_cast<INT>(image->locked.Width),
                                        static_cast<INT>(image->locked.Height), image->locked.Stride,
                                        PixelFormat32bppARGB, static_cast<BYTE*>(image->locked.Scan0),
                                        &image->view) != Gdiplus::Ok) {
        image->view = nullptr;
    }
    return image;
}

// Frees a skin: the view before the memory it reads, then the source.
static void DestroySkinImage(SkinImage*& image) {
    if (image == nullptr) {
        return;
    }
    if (image->view != nullptr) {
        gdip::GdipDisposeImage(image->view);
    }
    if (image->isLocked) {
        gdip::GdipBitmapUnlockBits(image->source, &image->locked);
    }
    if (image->source != nullptr) {
        gdip::GdipDisposeImage(image->source);
    }
    free(image);
    image = nullptr;
}

// The menu window's thread: registers the class, creates the window hidden, makes its surface
// and loads the two skins, presents a transparent image and then only pumps messages until a
// WM_QUIT arrives. Everything is released again on the way out, whatever stage was reached.
// Exit code 0 after a normal quit, (unsigned)-1 when setting up failed.
static unsigned __stdcall MenuWindowThread(void* argument) {
    HINSTANCE instance = static_cast<HINSTANCE>(argument);
    unsigned exitCode = static_cast<unsigned>(-1);

    HWND window = CreateResidentWindow(instance, kMenuWindowClass, L"Pivotel", kMenuSize, kMenuSize);
    if (window != nullptr) {
        menuSurface = CreateLayeredSurface(kMenuSize, kMenuSize);
    }
    if (menuSurface != nullptr) {
        ringImage = LoadSkinImage(instance, IDB_RING);
    }
    if (ringImage != nullptr) {
        highlightImage = LoadSkinImage(instance, IDB_HIGHLIGHT);
    }
    if (highlightImage != nullptr) {
        skinModule = instance;
        ClearLayeredSurface(menuSurface);
        PresentLayeredSurface(menuSurface, window);
        exitCode = 0;
        menuWindow.store(window);
        SignalWindowThreadReady(menuThread);
        RunMessageLoop();
    }

    menuWindow.store(nullptr);
    ForgetRingFrames();
    DestroySkinImage(ringImage);
    DestroySkinImage(highlightImage);
    DestroySkinImage(ringImage2x);
    DestroySkinImage(highlightImage2x);
    DestroyLayeredSurface(menuSurface);
    menuRing = kRingAt96Dpi;
    DestroyResidentWindow(window, instance, kMenuWindowClass);
    return exitCode;
}

// Makes the surface for a ring on a display of `dpi`, unless it is made for that scale already;
// the frames and scaled skins kept for another scale are forgotten. False, with the old scale
// kept, when no surface can be made. Worker thread only, while the window is published.
bool ScaleRingMenu(uint32_t dpi) {
    if (dpi == menuRing.dpi && menuSurface != nullptr) {
        return true;
    }
    if (dpi != kBaseDpi && ringImage2x == nullptr) {
        // Decoded only when a scaled display first needs them: at 100 % they would be memory unused.
        ringImage2x = LoadSkinImage(skinModule, IDB_RING_2X);
        highlightImage2x = LoadSkinImage(skinModule, IDB_HIGHLIGHT_2X);
    }
    const RingMetrics ring = RingMetricsForDpi(dpi);
    LayeredSurface* surface = CreateLayeredSurface(ring.size, ring.size);
    if (surface == nullptr) {
        return false;
    }
    ForgetRingFrames();
    DestroyLayeredSurface(menuSurface);
    menuSurface = surface;
    menuRing = ring;
    return true;
}

// Starts the menu window thread unless one runs. 0 when a thread runs afterwards, -1 when it
// could not be started.
int32_t StartMenuWindowThread(HINSTANCE instance) {
    return StartWindowThread(menuThread, MenuWindowThread, instance) ? 0 : -1;
}

// 0 when the menu window is ready, -1 otherwise: at once without a thread, else after a bounded
// wait for its set-up, which ends early when the thread fails.
int32_t WaitForMenuWindow() {
    if (menuWindow.load() != nullptr) {
        return 0;  // published: no wait, which would cost a call to the system at every press
    }
    return AwaitWindowThread(menuThread) && menuWindow.load() != nullptr ? 0 : -1;
}

// Ends the menu window thread and releases its handle; one still setting up after the bounded
// wait cannot be told to quit and is left alone.
void StopMenuWindowThread() {
    StopWindowThread(menuThread, false);
}
