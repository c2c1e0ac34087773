#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <process.h>

#include <cstdlib>

#include "menu/MenuDrawing.h"
#include "menu/MenuWindow.h"
#include "res/resource.h"

namespace gdip = Gdiplus::DllExports;

const char kMenuWindowClass[] = "Pivotel";

// The stopper owns this handle: it is set when the thread is started and cleared only after the
// thread has been joined, so nobody ever waits on a handle that has already been closed.
std::atomic<HANDLE> menuThread{nullptr};
// Published only once the window can be drawn to and presented (surface and skins loaded), and
// withdrawn first thing at teardown, so the worker never sees a window whose surface is missing.
std::atomic<HWND> menuWindow{nullptr};
LayeredSurface* menuSurface;
SkinImage* ringImage;
SkinImage* highlightImage;

namespace {

constexpr DWORD kMenuExStyle = WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
constexpr DWORD kWindowPollMs = 200;
constexpr int kWindowPolls = 5;
constexpr DWORD kStopGraceMs = 1000;

// Any program may post WM_CLOSE to a hidden top-level window; the ring's window lives as long as
// the program does (only the stopper's WM_QUIT ends it), so closing it is refused.
LRESULT CALLBACK MenuWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

// Decodes a bitmap resource and puts a 32-bit ARGB `view` over the decoded pixels, so that the
// fourth byte of every pixel is drawn as its alpha: GDI+ decodes a 32-bit BMP as 32-bit RGB, which
// it draws without that alpha. The source stays locked for as long as the view lives, which keeps the
// memory the view reads valid even where a lock hands out a buffer of its own. A bitmap that is
// not 32 bits per pixel cannot be re-declared (its rows are shorter than the view's); it is drawn
// as decoded, through a copy. None only when the record cannot be allocated; a bitmap that fails
// to decode leaves the fields empty and draws nothing.
SkinImage* LoadSkinImage(HINSTANCE instance, uint16_t resourceId) {
    SkinImage* image = static_cast<SkinImage*>(calloc(1, sizeof(SkinImage)));
    if (image == nullptr) {
        return nullptr;
    }
    const WCHAR* name = reinterpret_cast<const WCHAR*>(MAKEINTRESOURCEW(resourceId));
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
void DestroySkinImage(SkinImage*& image) {
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
unsigned __stdcall MenuWindowThread(void* argument) {
    HINSTANCE instance = static_cast<HINSTANCE>(argument);
    unsigned exitCode = static_cast<unsigned>(-1);

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = MenuWndProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kMenuWindowClass;
    const bool registered = RegisterClassA(&windowClass) != 0;

    HWND window = nullptr;
    if (registered) {
        window = CreateWindowExA(kMenuExStyle, kMenuWindowClass, "Pivotel", WS_POPUP, CW_USEDEFAULT,
                                 CW_USEDEFAULT, kMenuSize, kMenuSize, nullptr, nullptr, instance, nullptr);
    }
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
        ClearLayeredSurface(menuSurface);
        PresentLayeredSurface(menuSurface, window);
        exitCode = 0;
        menuWindow.store(window);
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }

    menuWindow.store(nullptr);
    ForgetRingFrames();
    DestroySkinImage(ringImage);
    DestroySkinImage(highlightImage);
    DestroyLayeredSurface(menuSurface);
    if (window != nullptr) {
        DestroyWindow(window);
    }
    // Only a class this thread registered is taken away again.
    if (registered) {
        UnregisterClassA(kMenuWindowClass, instance);
    }
    return exitCode;
}

// Starts the menu window thread unless one is held already. 0 when a thread runs afterwards,
// -1 when it could not be started.
int32_t StartMenuWindowThread(HINSTANCE instance) {
    if (menuThread.load() != nullptr) {
        return 0;
    }
    HANDLE thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, MenuWindowThread, instance, 0, nullptr));
    if (thread == nullptr) {
        return -1;
    }
    menuThread.store(thread);
    return 0;
}

// 0 when the menu window is ready, -1 otherwise. With no thread it answers at once; while the
// thread is still setting up it waits up to five times 200 ms, and stops waiting as soon as the
// thread has ended without a window (its set-up failed).
int32_t WaitForMenuWindow() {
    HANDLE thread = menuThread.load();
    if (thread == nullptr) {
        return -1;
    }
    if (menuWindow.load() != nullptr) {
        return 0;
    }
    for (int i = 0; i < kWindowPolls; ++i) {
        const DWORD waited = WaitForSingleObject(thread, kWindowPollMs);
        if (menuWindow.load() != nullptr) {
            return 0;
        }
        if (waited != WAIT_TIMEOUT) {
            return -1;
        }
    }
    return -1;
}

// Ends the menu window thread and releases its handle. A running window is told to quit and the
// thread is joined without a time limit. A thread without a window (its set-up failed, or it is
// already tearing down) is given a second to end and then released; one still running after that
// cannot be told to quit and is left alone.
void StopMenuWindowThread() {
    HANDLE thread = menuThread.load();
    if (thread == nullptr) {
        return;
    }
    HWND window = WaitForMenuWindow() == 0 ? menuWindow.load() : nullptr;
    // Never post with a null window: that would put WM_QUIT into the caller's own queue.
    if (window != nullptr && PostMessageA(window, WM_QUIT, 0, 0)) {
        WaitForSingleObject(thread, INFINITE);
    } else if (WaitForSingleObject(thread, kStopGraceMs) != WAIT_OBJECT_0) {
        return;
    }
    CloseHandle(thread);
    menuThread.store(nullptr);
}
