// The palette editor's frame: its surfaces, composing the frame and copying it to the window.

#include "input/MouseEvents.h"
#include "input/MouseHook.h"
#include "palette/PaletteLayout.h"
#include "palette/PaletteWindow_win.h"
#include "platform/Holders_win.h"
#include "res/resource.h"
#include "tooltip/LabelWindow.h"

LayeredSurface* backBuffer;

namespace {

LayeredSurface* backgroundImage;  // the picture, with the sprites in a strip below it
constexpr COLORREF kFillColour = RGB(212, 208, 200);

// The fill colour with the background picture over it.
void DrawBackground() {
    FillSurfaceRect(backBuffer, 0, 0, kPaletteBufferWidth, kPaletteBufferHeight, kFillColour, kFillColour);
    CopySurfaceRect(backBuffer, backgroundImage, 0, 0, kPaletteClientWidth, kPaletteClientHeight, 0, 0);
}

// Copies one sprite of the strip below the picture to a point of the back buffer.
void PutSprite(const Rect& sprite, int32_t x, int32_t y) {
    CopySurfaceRect(backBuffer, backgroundImage, x, y, sprite.right - sprite.left, sprite.bottom - sprite.top,
                    sprite.left, sprite.top);
}

// The cursor in picture coordinates; false when there is no window to measure by.
bool PictureCursor(HWND window, POINT* cursor) {
    if (window == nullptr || !GetCursorPos(cursor) || !ScreenToClient(window, cursor)) {
        return false;
    }
    *cursor = PicturePoint(*cursor);
    return true;
}

// Copies the back buffer to the window, scaled to its DPI with the system's smoothing stretch
// (each screen pixel an average of the picture pixels under it), so that no row or column of the
// picture is doubled where its neighbours are not.
void PresentPaletteFrame(HDC dc) {
    if (paletteDpi == kPaletteBaseDpi) {
        BitBlt(dc, 0, 0, kPaletteBufferWidth, kPaletteBufferHeight, backBuffer->dc, 0, 0, SRCCOPY);
        return;
    }
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);  // as HALFTONE requires
    StretchBlt(dc, 0, 0, ScaleToDpi(kPaletteBufferWidth, paletteDpi),
               ScaleToDpi(kPaletteBufferHeight, paletteDpi), backBuffer->dc, 0, 0, kPaletteBufferWidth,
               kPaletteBufferHeight, SRCCOPY);
}

}  // namespace

// The back buffer, showing the background picture, and the picture with its sprites; false
// without a back buffer. A missing picture leaves the fill colour.
bool CreatePaletteSurfaces(HINSTANCE instance) {
    backBuffer = CreateLayeredSurface(kPaletteBufferWidth, kPaletteBufferHeight);
    if (backBuffer == nullptr) {
        return false;
    }
    backgroundImage = LoadBitmapSurface(instance, IDB_PALETTE);
    DrawBackground();
    return true;
}

void FreePaletteSurfaces() {
    DestroyLayeredSurface(backgroundImage);
    DestroyLayeredSurface(backBuffer);
}

// A client point as the picture point it shows.
POINT PicturePoint(POINT client) {
    return POINT{PictureFromClient(client.x, paletteDpi), PictureFromClient(client.y, paletteDpi)};
}

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
    // The logical left button: the one a left-handed user has made the right one drags too.
    const bool leftHeld = (HeldButtonsNow() & kHeldLeft) != 0;
    PaletteFrame frame;
    ComposePaletteFrame(cursor.x, cursor.y, leftHeld, &frame);

    DrawBackground();
    PutSprite(kThumbSprite, kScrollBarX, frame.thumbTop);
    if (frame.upArrowPressed) {
        PutSprite(kUpPressedSprite, kUpPressedOrigin.x, kUpPressedOrigin.y);
    }
    if (frame.downArrowPressed) {
        PutSprite(kDownPressedSprite, kDownPressedOrigin.x, kDownPressedOrigin.y);
    }
    if (frame.tabJointPage >= 0) {
        const Point joint = TabJointOrigin(frame.tabJointPage);
        PutSprite(kTabJointSprite, joint.x, joint.y);
    }
    if (backBuffer != nullptr) {
        for (int32_t i = 0; i < frame.iconCount; ++i) {
            const PaletteIconPlacement& icon = frame.icons[i];
            DrawIconEx(backBuffer->dc, icon.x, icon.y, static_cast<HICON>(icon.icon), kPaletteIconSize,
                       kPaletteIconSize, 0, nullptr, DI_NORMAL);
        }
    }

    POINT screen;
    if (frame.labelShown && GetCursorPos(&screen)) {
        ShowLabel(frame.labelText, screen.x, screen.y + LabelMetricsForDpi(paletteDpi).cursorOffsetY,
                  paletteDpi);
    } else {
        HideLabel();
    }

    const WindowDc dc(window);
    if (backBuffer != nullptr && dc.get() != nullptr) {
        PresentPaletteFrame(dc.get());
    }
}
