// The palette editor's thread and window, its off-screen surfaces and the frame it shows.

#include "palette/PaletteWindow.h"

#include <process.h>
#include <shellapi.h>

#include <cstdlib>

#include "dialogs/ItemEdit.h"
#include "dialogs/ItemEditDialog.h"
#include "palette/PaletteLayout.h"
#include "res/resource.h"
#include "settings/SettingsFormat.h"
#include "tooltip/LabelWindow.h"

const char kPaletteClassName[] = "メニューパレット";

HWND paletteWindow;
MemorySurface* backBuffer;
MemorySurface* backgroundImage;
HMENU contextMenus;
HMENU itemMenu;
HMENU emptyCellMenu;
HMENU slotMenu;
std::atomic<uint32_t> paletteSaveCount{0};

namespace {

constexpr DWORD kPaletteStyle = WS_VISIBLE | WS_CAPTION | WS_SYSMENU;
constexpr COLORREF kFillColour = RGB(212, 208, 200);
constexpr int32_t kWaitAttempts = 5;
constexpr DWORD kWaitStepMs = 200;
constexpr int32_t kItemMenuIndex = 0;
constexpr int32_t kEmptyCellMenuIndex = 1;
constexpr int32_t kSlotMenuIndex = 2;

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// The DPI the picture is drawn at: that of the window's monitor. Palette thread only.
uint32_t paletteDpi = kPaletteBaseDpi;

// The per-monitor DPI functions exist from Windows 10 1607 on; looked up so that the program
// still starts on older systems, which fall back to the screen's DPI and the system's metrics.
template <typename Function>
Function User32Function(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

// The DPI of the window's monitor; the screen's for no window or where the system cannot tell.
uint32_t WindowDpi(HWND window) {
    static const auto getDpiForWindow = User32Function<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    UINT dpi = window != nullptr && getDpiForWindow != nullptr ? getDpiForWindow(window) : 0;
    if (dpi == 0) {
        HDC screen = GetDC(nullptr);
        if (screen != nullptr) {
            dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSX));
            ReleaseDC(nullptr, screen);
        }
    }
    return dpi != 0 ? dpi : kPaletteBaseDpi;
}

// The window's outer size when its client area is the picture scaled to dpi, with that DPI's
// frame metrics.
SIZE PaletteWindowSize(uint32_t dpi) {
    static const auto adjustForDpi =
        User32Function<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    RECT frame = {0, 0, ScaleToDpi(kPaletteClientWidth, dpi), ScaleToDpi(kPaletteClientHeight, dpi)};
    if (adjustForDpi == nullptr || !adjustForDpi(&frame, kPaletteStyle, FALSE, 0, dpi)) {
        AdjustWindowRectEx(&frame, kPaletteStyle, FALSE, 0);
    }
    return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

// The thread handle and id. The starter stores them before the thread runs a single instruction
// (the thread is created suspended and resumed only once both are stored), and the thread itself
// closes the handle and clears both as the very last thing it does, under the same lock. So the
// handle is null exactly while no editor thread exists or is about to exit, a thread that fails
// at once still finds its own handle to close, and a later start is never blocked by a stale one.
// A caller that must wait for the thread duplicates the handle under the lock and waits on its
// own copy, which stays valid after the thread has closed the original.
SRWLOCK paletteLock = SRWLOCK_INIT;
HANDLE paletteThread;
DWORD paletteThreadId;

// Set by ClosePaletteWithoutSaving: the thread then leaves its loop without writing the settings.
std::atomic<bool> paletteDiscard{false};

struct PaletteLockHolder {
    PaletteLockHolder() { AcquireSRWLockExclusive(&paletteLock); }
    ~PaletteLockHolder() { ReleaseSRWLockExclusive(&paletteLock); }
    PaletteLockHolder(const PaletteLockHolder&) = delete;
    PaletteLockHolder& operator=(const PaletteLockHolder&) = delete;
};

// A surface around a DC and bitmap made by the caller; on failure everything given is released.
MemorySurface* WrapSurface(HDC screen, HDC dc, HBITMAP bitmap, int32_t width, int32_t height) {
    if (screen != nullptr) {
        ReleaseDC(nullptr, screen);
    }
    MemorySurface* surface = static_cast<MemorySurface*>(calloc(1, sizeof(MemorySurface)));
    if (surface == nullptr || dc == nullptr || bitmap == nullptr || SelectObject(dc, bitmap) == nullptr) {
        if (bitmap != nullptr) {
            DeleteObject(bitmap);
        }
        if (dc != nullptr) {
            DeleteDC(dc);
        }
        free(surface);
        return nullptr;
    }
    surface->dc = dc;
    surface->bitmap = bitmap;
    surface->width = width;
    surface->height = height;
    return surface;
}

void DestroyContextMenus() {
    if (contextMenus != nullptr) {
        DestroyMenu(contextMenus);
    }
    contextMenus = nullptr;
    itemMenu = nullptr;
    emptyCellMenu = nullptr;
    slotMenu = nullptr;
}

int32_t LoadContextMenus(HINSTANCE instance) {
    contextMenus = LoadMenuA(instance, MAKEINTRESOURCEA(IDM_PALETTE));
    if (contextMenus == nullptr) {
        return -1;
    }
    itemMenu = GetSubMenu(contextMenus, kItemMenuIndex);
    emptyCellMenu = GetSubMenu(contextMenus, kEmptyCellMenuIndex);
    slotMenu = GetSubMenu(contextMenus, kSlotMenuIndex);
    return itemMenu != nullptr && emptyCellMenu != nullptr && slotMenu != nullptr ? 0 : -1;
}

// The window sized so that its client area is exactly the picture at its monitor's DPI, whatever
// the frame metrics. It is made for the screen's DPI and resized when it lands on a monitor of
// another.
HWND CreatePaletteWindow(HINSTANCE instance) {
    paletteDpi = WindowDpi(nullptr);
    const SIZE size = PaletteWindowSize(paletteDpi);
    HWND window = CreateWindowExA(0, kPaletteClassName, kPaletteClassName, kPaletteStyle, CW_USEDEFAULT,
                                  CW_USEDEFAULT, size.cx, size.cy, nullptr, nullptr, instance, nullptr);
    if (window != nullptr && WindowDpi(window) != paletteDpi) {
        paletteDpi = WindowDpi(window);
        const SIZE resized = PaletteWindowSize(paletteDpi);
        SetWindowPos(window, nullptr, 0, 0, resized.cx, resized.cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return window;
}

// Runs the editor's message loop; true when it ended with the window closed by its user, false
// when GetMessageA failed.
bool RunPaletteLoop() {
    MSG message;
    BOOL got;
    while ((got = GetMessageA(&message, nullptr, 0, 0)) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return got == 0;
}

// Marks the thread as gone: closes the handle the starter stored and clears it.
void ReleaseOwnHandle() {
    PaletteLockHolder lock;
    if (paletteThread != nullptr) {
        CloseHandle(paletteThread);
    }
    paletteThread = nullptr;
    paletteThreadId = 0;
}

}  // namespace

// A memory DC compatible with the screen holding a new compatible bitmap of the given size.
MemorySurface* CreateMemorySurface(int32_t width, int32_t height) {
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) {
        return nullptr;
    }
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    return WrapSurface(screen, dc, bitmap, width, height);
}

// A memory DC holding bitmap 104, the editor's background picture and its sprites.
MemorySurface* LoadBackgroundSurface(HINSTANCE instance) {
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) {
        return nullptr;
    }
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_PALETTE));
    BITMAP description = {};
    if (bitmap != nullptr && GetObjectA(bitmap, sizeof description, &description) != sizeof description) {
        DeleteObject(bitmap);
        bitmap = nullptr;
    }
    return WrapSurface(screen, dc, bitmap, description.bmWidth, description.bmHeight);
}

// Deletes the DC and then the bitmap it held (each only if present) and the record.
void FreeMemorySurface(MemorySurface* surface) {
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
}

// Copies a rectangle between surfaces: 1 when copied, 0 when a surface or its DC is missing.
int32_t CopySurfaceRect(MemorySurface* destination, MemorySurface* source, int32_t x, int32_t y,
                        int32_t width, int32_t height, int32_t sourceX, int32_t sourceY) {
    if (destination == nullptr || source == nullptr || destination->dc == nullptr || source->dc == nullptr) {
        return 0;
    }
    BitBlt(destination->dc, x, y, width, height, source->dc, sourceX, sourceY, SRCCOPY);
    return 1;
}

// Fills a rectangle with a solid brush, outlined by a zero-width inside-frame pen; the DC's own
// brush and pen are put back. 1 on success, 0 when anything is missing or cannot be selected.
int32_t FillSurfaceRect(MemorySurface* surface, int32_t x, int32_t y, int32_t width, int32_t height,
                        COLORREF brushColour, COLORREF penColour) {
    if (surface == nullptr || surface->dc == nullptr) {
        return 0;
    }
    HBRUSH brush = CreateSolidBrush(brushColour);
    HPEN pen = CreatePen(PS_INSIDEFRAME, 0, penColour);
    int32_t result = 0;
    if (brush != nullptr && pen != nullptr) {
        HGDIOBJ oldBrush = SelectObject(surface->dc, brush);
        HGDIOBJ oldPen = oldBrush != nullptr ? SelectObject(surface->dc, pen) : nullptr;
        if (oldBrush != nullptr && oldPen != nullptr) {
            Rectangle(surface->dc, x, y, x + width, y + height);
            result = 1;
        }
        if (oldPen != nullptr) {
            SelectObject(surface->dc, oldPen);
        }
        if (oldBrush != nullptr) {
            SelectObject(surface->dc, oldBrush);
        }
    }
    if (pen != nullptr) {
        DeleteObject(pen);
    }
    if (brush != nullptr) {
        DeleteObject(brush);
    }
    return result;
}

namespace {

// Copies one sprite of the strip below the picture to a point of the back buffer.
void PutSprite(const PaletteBox& sprite, int32_t x, int32_t y) {
    CopySurfaceRect(backBuffer, backgroundImage, x, y, sprite.right - sprite.left, sprite.bottom - sprite.top,
                    sprite.left, sprite.top);
}

// A client point as the picture point it shows.
POINT PicturePoint(POINT client) {
    return POINT{PictureFromClient(client.x, paletteDpi), PictureFromClient(client.y, paletteDpi)};
}

// The cursor in picture coordinates; false when there is no window to measure by.
bool PictureCursor(HWND window, POINT* cursor) {
    if (window == nullptr || !GetCursorPos(cursor) || !ScreenToClient(window, cursor)) {
        return false;
    }
    *cursor = PicturePoint(*cursor);
    return true;
}

// Copies the back buffer to the window, scaled to its DPI. Each screen pixel takes the colour of
// one picture pixel, so lines and icons stay sharp, only unevenly widened at fractional scales.
void PresentPaletteFrame(HDC dc) {
    if (paletteDpi == kPaletteBaseDpi) {
        BitBlt(dc, 0, 0, kPaletteBufferWidth, kPaletteBufferHeight, backBuffer->dc, 0, 0, SRCCOPY);
        return;
    }
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, 0, 0, ScaleToDpi(kPaletteBufferWidth, paletteDpi),
               ScaleToDpi(kPaletteBufferHeight, paletteDpi), backBuffer->dc, 0, 0, kPaletteBufferWidth,
               kPaletteBufferHeight, SRCCOPY);
}

// Asks for a WM_MOUSELEAVE when the cursor leaves the window, so the label goes with it.
void WatchMouseLeave(HWND window) {
    TRACKMOUSEEVENT track = {};
    track.cbSize = sizeof track;
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = window;
    TrackMouseEvent(&track);
}

// Opens the item edit dialog, modal on this thread, for the inputs just set.
void RunItemEditDialog() {
    HideLabel();
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ITEM_EDIT), paletteWindow,
                    ItemEditDlgProc, 0);
}

// The context menu commands; the context cell or slot was named by the right release.
void RunPaletteCommand(WORD command) {
    switch (command) {
        case IDC_PALETTE_EDIT: {
            const int32_t prepared = PrepareEditItem();
            if (prepared == 1) {
                RunItemEditDialog();
            }
            if (prepared >= 0) {
                ForgetContextCell();
            }
            break;
        }
        case IDC_PALETTE_DELETE:
            DeleteContextItem();
            break;
        case IDC_PALETTE_NEW:
            if (PrepareNewItem()) {
                RunItemEditDialog();
            }
            ForgetContextCell();
            break;
        case IDC_PALETTE_REMOVE:
            RemoveSlotMenuTarget();
            break;
        default:
            break;
    }
}

// A right release at a client point: the context menu of the cell or slot there, whose command
// runs before the menu call returns; then any drag ends.
void HandleRightRelease(POINT at) {
    HideLabel();
    if (WaitForPaletteWindow() != 0) {
        ResetPaletteDrag();
        return;
    }
    const PaletteMenuRequest request = PaletteRightRelease(at.x, at.y);
    if (request.kind == PaletteMenuItem) {
        EnableMenuItem(itemMenu, IDC_PALETTE_DELETE,
                       MF_BYCOMMAND | (request.deleteEnabled ? MF_ENABLED : MF_GRAYED));
    }
    const bool chosen = request.kind != PaletteMenuNone && ShowPaletteContextMenu(request.kind) == 0;
    PaletteContextMenuEnded(request.kind, chosen);
}

// Where a button message happened, in picture coordinates (negative left of or above the window
// while the mouse is captured). Presses and releases are taken where they happened, not where
// the cursor is by the time the message is handled: a quick drag must drop where it was let go.
POINT MessagePoint(LPARAM lParam) {
    return PicturePoint(POINT{static_cast<int16_t>(LOWORD(lParam)), static_cast<int16_t>(HIWORD(lParam))});
}

// A dropped file: its first path becomes a new launch item through the dialog; the other files of
// the drop are ignored. The drop's memory is released as soon as the path has been taken.
void HandleDroppedFiles(HDROP drop) {
    HideLabel();
    char path[MAX_PATH] = {};
    const UINT length = DragQueryFileA(drop, 0, path, sizeof path);
    DragFinish(drop);
    if (length == 0) {
        return;
    }
    if (PrepareDroppedFile(path)) {
        RunItemEditDialog();
    }
}

}  // namespace

// Composes the whole frame in the back buffer (the fill colour, the background picture, the
// scroll thumb, a held arrow while the cursor is over it, the icons of the visible cells, the tab
// joint under the editor page's tab, the page's slot icons and a dragged icon on the cursor),
// copies it to the window, and shows the hovered or dragged item's name in the label just below
// the cursor, or hides the label when there is none.
void RepaintPalette(HWND window) {
    POINT cursor = {-1000, -1000};
    if (WaitForPaletteWindow() != 0 || !PictureCursor(window, &cursor)) {
        cursor = POINT{-1000, -1000};
    }
    const bool leftHeld = GetAsyncKeyState(VK_LBUTTON) != 0;
    PaletteFrame frame;
    ComposePaletteFrame(cursor.x, cursor.y, leftHeld, &frame);

    FillSurfaceRect(backBuffer, 0, 0, kPaletteBufferWidth, kPaletteBufferHeight, kFillColour, kFillColour);
    CopySurfaceRect(backBuffer, backgroundImage, 0, 0, kPaletteClientWidth, kPaletteClientHeight, 0, 0);
    PutSprite(kThumbSprite, kScrollBarX, frame.thumbTop);
    if (frame.upArrowPressed) {
        PutSprite(kUpPressedSprite, kUpPressedOrigin.x, kUpPressedOrigin.y);
    }
    if (frame.downArrowPressed) {
        PutSprite(kDownPressedSprite, kDownPressedOrigin.x, kDownPressedOrigin.y);
    }
    if (frame.tabJointPage >= 0) {
        const PalettePoint joint = TabJointOrigin(frame.tabJointPage);
        PutSprite(kTabJointSprite, joint.x, joint.y);
    }
    if (backBuffer != nullptr && backBuffer->dc != nullptr) {
        for (int32_t i = 0; i < frame.iconCount; ++i) {
            const PaletteIconPlacement& icon = frame.icons[i];
            DrawIconEx(backBuffer->dc, icon.x, icon.y, static_cast<HICON>(icon.icon), kPaletteIconSize,
                       kPaletteIconSize, 0, nullptr, DI_NORMAL);
        }
    }

    POINT screen;
    if (frame.labelShown && GetCursorPos(&screen)) {
        ShowLabel(frame.labelText, screen.x, screen.y + kLabelCursorOffsetY);
    } else {
        HideLabel();
    }

    if (backBuffer == nullptr || backBuffer->dc == nullptr) {
        return;
    }
    HDC dc = GetDC(window);
    if (dc != nullptr) {
        PresentPaletteFrame(dc);
        ReleaseDC(window, dc);
    }
}

// Shows one of the editor's context menus at the cursor and, when a command is chosen, runs it at
// once through WM_COMMAND while the context cell or slot still names its target. 0 when a command
// ran, 2 when none was chosen or the kind is unknown, -1 when there is no editor window.
int32_t ShowPaletteContextMenu(int32_t kind) {
    if (WaitForPaletteWindow() != 0) {
        return -1;
    }
    POINT cursor = {};
    GetCursorPos(&cursor);
    HMENU popup = kind == PaletteMenuItem        ? itemMenu
                  : kind == PaletteMenuEmptyCell ? emptyCellMenu
                  : kind == PaletteMenuSlot      ? slotMenu
                                                 : nullptr;
    if (popup == nullptr) {
        return 2;
    }
    const UINT command = static_cast<UINT>(
        TrackPopupMenu(popup, TPM_RETURNCMD, cursor.x, cursor.y, 0, paletteWindow, nullptr));
    if (command == 0) {
        return 2;
    }
    SendMessageA(paletteWindow, WM_COMMAND, LOWORD(command), 0);
    return 0;
}

// The editor window's procedure. The frame always covers the whole client area, so the
// background is never erased; a paint request draws the frame between BeginPaint and EndPaint,
// and every gesture is followed by a fresh frame.
LRESULT CALLBACK PaletteWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            DragAcceptFiles(window, TRUE);
            break;
        case WM_DESTROY:
            HideLabel();
            PostQuitMessage(0);
            break;
        case WM_ERASEBKGND:
            return 1;
        case WM_DPICHANGED: {
            // Moved to a monitor of another DPI: the picture is drawn at that one, placed where
            // the system suggests.
            paletteDpi = LOWORD(wParam);
            const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
            const SIZE size = PaletteWindowSize(paletteDpi);
            SetWindowPos(window, nullptr, suggested->left, suggested->top, size.cx, size.cy,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            InvalidateRect(window, nullptr, FALSE);
            return 0;
        }
        case WM_PAINT: {
            PAINTSTRUCT paint;
            if (BeginPaint(window, &paint) != nullptr) {
                RepaintPalette(window);
                EndPaint(window, &paint);
            }
            return 0;
        }
        case WM_MOUSEMOVE:
            WatchMouseLeave(window);
            RepaintPalette(window);
            break;
        case WM_MOUSELEAVE:
            HideLabel();
            break;
        case WM_LBUTTONDOWN: {
            const POINT at = MessagePoint(lParam);
            if (WaitForPaletteWindow() == 0 && PaletteLeftPress(at.x, at.y)) {
                SetCapture(window);
            }
            RepaintPalette(window);
            break;
        }
        case WM_LBUTTONUP: {
            const POINT at = MessagePoint(lParam);
            if (WaitForPaletteWindow() == 0) {
                if (PaletteLeftRelease(at.x, at.y)) {
                    ReleaseCapture();
                }
            } else {
                ReleaseCapture();
                scrollPress = ScrollPressNone;
                ResetPaletteDrag();
            }
            RepaintPalette(window);
            break;
        }
        case WM_RBUTTONUP:
            HandleRightRelease(MessagePoint(lParam));
            RepaintPalette(window);
            break;
        case WM_MOUSEWHEEL:
            PaletteWheel(static_cast<int16_t>(HIWORD(wParam)));
            RepaintPalette(window);
            break;
        case WM_COMMAND:
            RunPaletteCommand(LOWORD(wParam));
            RepaintPalette(window);
            break;
        case WM_DROPFILES:
            HandleDroppedFiles(reinterpret_cast<HDROP>(wParam));
            return 0;
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The editor's thread: registers the class, creates the window, its surfaces and context menus,
// runs the message loop and, when the user has closed the window, writes the settings file. 0
// after a normal close, -1 (as unsigned) when setting up failed. Everything it made is released
// on every path, and the thread's own handle last of all.
unsigned __stdcall PaletteWindowThread(void*) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    int32_t result = 0;
    paletteWindow = nullptr;
    backBuffer = nullptr;

    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = PaletteWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_PIVOTEL));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kPaletteClassName;
    const bool registered = RegisterClassExA(&windowClass) != 0;

    ResetPaletteEditor();
    if (!registered) {
        result = -1;
    } else if ((backBuffer = CreateMemorySurface(kPaletteBufferWidth, kPaletteBufferHeight)) == nullptr) {
        result = -1;
    } else {
        backgroundImage = LoadBackgroundSurface(instance);
        FillSurfaceRect(backBuffer, 0, 0, kPaletteBufferWidth, kPaletteBufferHeight, kFillColour,
                        kFillColour);
        CopySurfaceRect(backBuffer, backgroundImage, 0, 0, kPaletteClientWidth, kPaletteClientHeight, 0, 0);
        if (LoadContextMenus(instance) != 0) {
            result = -1;
        }
    }
    // The window comes last, once everything it draws with exists, so the first paint finds it.
    if (result == 0) {
        paletteWindow = CreatePaletteWindow(instance);
        if (paletteWindow == nullptr) {
            result = -1;
        }
    }
    if (result == 0) {
        const bool closed = RunPaletteLoop();
        if (closed && !paletteDiscard.load()) {
            SaveSettings();
            paletteSaveCount.fetch_add(1);
        }
    }

    DestroyContextMenus();
    if (paletteWindow != nullptr) {
        DestroyWindow(paletteWindow);
        paletteWindow = nullptr;
    }
    FreeMemorySurface(backgroundImage);
    backgroundImage = nullptr;
    FreeMemorySurface(backBuffer);
    backBuffer = nullptr;
    if (registered) {
        UnregisterClassA(kPaletteClassName, instance);
    }
    ReleaseOwnHandle();
    return static_cast<unsigned>(result);
}

// Starts the editor's thread unless one runs: 0 when started, -1 when one runs already or the
// thread cannot be started.
int32_t StartPaletteThread() {
    PaletteLockHolder lock;
    if (paletteThread != nullptr) {
        return -1;
    }
    paletteDiscard.store(false);
    unsigned id = 0;
    HANDLE thread = reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, PaletteWindowThread, nullptr, CREATE_SUSPENDED, &id));
    if (thread == nullptr) {
        return -1;
    }
    paletteThread = thread;
    paletteThreadId = id;
    if (ResumeThread(thread) == static_cast<DWORD>(-1)) {
        // Never ran: nothing of the editor exists, so ending it here leaves nothing behind.
        TerminateThread(thread, static_cast<DWORD>(-1));
        CloseHandle(thread);
        paletteThread = nullptr;
        paletteThreadId = 0;
        return -1;
    }
    return 0;
}

bool IsPaletteThreadRunning() {
    PaletteLockHolder lock;
    return paletteThread != nullptr;
}

// Closes the editor, if open, without writing the settings file, and returns once its thread has
// ended. The quit request goes to the thread's queue rather than to the window, so it also ends an
// editor whose window does not exist yet, and ends any modal loop the thread is in; it is sent
// again until the thread is gone, in case the thread had no message queue at the first attempt.
void ClosePaletteWithoutSaving() {
    HANDLE own = nullptr;
    DWORD id = 0;
    {
        PaletteLockHolder lock;
        if (paletteThread == nullptr) {
            return;
        }
        paletteDiscard.store(true);
        if (!DuplicateHandle(GetCurrentProcess(), paletteThread, GetCurrentProcess(), &own, SYNCHRONIZE,
                             FALSE, 0)) {
            own = nullptr;
        }
        id = paletteThreadId;
    }
    for (;;) {
        if (own != nullptr) {
            // The duplicate keeps the thread's id from passing to another thread meanwhile.
            if (WaitForSingleObject(own, 0) != WAIT_TIMEOUT) {
                break;
            }
            PostThreadMessageA(id, WM_QUIT, 0, 0);
            // Messages sent to this thread's windows are answered meanwhile, so the editor's
            // teardown can never wait on the thread that waits for it.
            if (MsgWaitForMultipleObjects(1, &own, FALSE, 50, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
                MSG message;
                PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            }
        } else {
            if (!IsPaletteThreadRunning()) {
                break;
            }
            PostThreadMessageA(id, WM_QUIT, 0, 0);
            Sleep(50);
        }
    }
    if (own != nullptr) {
        CloseHandle(own);
    }
}

// Waits for the editor window: 0 once it exists, -1 when no editor thread runs or the window has
// not appeared after five waits of 200 ms.
int32_t WaitForPaletteWindow() {
    if (!IsPaletteThreadRunning()) {
        return -1;
    }
    if (paletteWindow != nullptr) {
        return 0;
    }
    for (int32_t attempt = 0; attempt < kWaitAttempts; ++attempt) {
        Sleep(kWaitStepMs);
        if (paletteWindow != nullptr) {
            return 0;
        }
    }
    return -1;
}
