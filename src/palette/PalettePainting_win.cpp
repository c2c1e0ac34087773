// The palette editor's frame: its surfaces, composing the frame and copying it to the window.

#include "input/MouseEvents.h"
#include "input/MouseHook.h"
#include "palette/PaletteLayout.h"
#include "palette/PaletteWindow_win.h"
#include "platform/DisplayScale.h"
#include "platform/Holders_win.h"
#include "platform/SizedIcon_win.h"
#include "res/resource.h"
#include "settings/SettingsFile.h"
#include "tooltip/LabelWindow.h"

LayeredSurface* backBuffer;

namespace {

HINSTANCE pictureInstance;        // the module whose resources hold the pictures
LayeredSurface* backgroundImage;  // the picture, with the sprites in a strip below it
constexpr COLORREF kFillColour = RGB(212, 208, 200);

// Item icons taken from their files at the size a 2x frame draws them; emptied when the scale
// changes.
SizedIconCache sizedIcons;

// How many back-buffer pixels a picture pixel covers: 1, or 2 when the frame is composed from the
// picture drawn at twice the size.
int32_t BufferScale() {
    return backBuffer != nullptr ? backBuffer->width / kPaletteBufferWidth : 1;
}

// Composes at the scale of the picture the editor's DPI needs, the 1x one at 100 % and the 2x one
// above, so that a scaled window is only ever reduced or smoothed from it. Only one pair of
// surfaces is held; when a larger pair cannot be made, the smaller is kept and enlarged.
void MatchSurfacesToDpi() {
    const int32_t scale = ArtScaleForDpi(paletteDpi);
    if (backBuffer != nullptr && BufferScale() == scale) {
        return;
    }
    LayeredSurface* buffer = CreateLayeredSurface(kPaletteBufferWidth * scale, kPaletteBufferHeight * scale);
    LayeredSurface* picture = LoadBitmapSurface(pictureInstance, scale == 2 ? IDB_PALETTE_2X : IDB_PALETTE);
    if (buffer == nullptr || (picture == nullptr && backgroundImage != nullptr)) {
        DestroyLayeredSurface(buffer);
        DestroyLayeredSurface(picture);
        return;
    }
    DestroyLayeredSurface(backBuffer);
    DestroyLayeredSurface(backgroundImage);
    sizedIcons.Clear();
    backBuffer = buffer;
    backgroundImage = picture;
}

// The fill colour with the background picture over it.
void DrawBackground() {
    const int32_t scale = BufferScale();
    FillSurfaceRect(backBuffer, 0, 0, kPaletteBufferWidth * scale, kPaletteBufferHeight * scale, kFillColour,
                    kFillColour);
    CopySurfaceRect(backBuffer, backgroundImage, 0, 0, kPaletteClientWidth * scale,
                    kPaletteClientHeight * scale, 0, 0);
}

// Copies one sprite of the strip below the picture to a point of the back buffer.
void PutSprite(const Rect& sprite, int32_t x, int32_t y) {
    const int32_t scale = BufferScale();
    CopySurfaceRect(backBuffer, backgroundImage, x * scale, y * scale, (sprite.right - sprite.left) * scale,
                    (sprite.bottom - sprite.top) * scale, sprite.left * scale, sprite.top * scale);
}

// The icon to draw for a placement in a frame of that scale: the item's own at 1x, else the one its
// file holds at the drawn size (taken once), or its own when the file gives none.
HICON IconAtScale(const PaletteIconPlacement& placement, int32_t scale) {
    if (scale == 1 || placement.iconPath == nullptr) {
        return static_cast<HICON>(placement.icon);
    }
    HICON sized = sizedIcons.Get(placement.iconPath, kPaletteIconSize * scale, ResolvePath);
    return sized != nullptr ? sized : static_cast<HICON>(placement.icon);
}

// The cursor in picture coordinates; false when there is no window to measure by.
bool PictureCursor(HWND window, POINT* cursor) {
    if (window == nullptr || !GetCursorPos(cursor) || !ScreenToClient(window, cursor)) {
        return false;
    }
    *cursor = PicturePoint(*cursor);
    return true;
}

// Copies the back buffer to the window: as it is where it has the window's scale, else reduced (or
// beyond 200 % enlarged) with the system's smoothing stretch, each screen pixel an average of the
// buffer pixels under it, so that no row or column is doubled where its neighbours are not.
void PresentPaletteFrame(HDC dc) {
    const int32_t width = ScaleToDpi(kPaletteBufferWidth, paletteDpi);
    const int32_t height = ScaleToDpi(kPaletteBufferHeight, paletteDpi);
    if (width == backBuffer->width && height == backBuffer->height) {
        BitBlt(dc, 0, 0, width, height, backBuffer->dc, 0, 0, SRCCOPY);
        return;
    }
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);  // as HALFTONE requires
    StretchBlt(dc, 0, 0, width, height, backBuffer->dc, 0, 0, backBuffer->width, backBuffer->height, SRCCOPY);
}

}  // namespace

// The back buffer, showing the background picture, and the picture with its sprites, at the scale
// of the editor's DPI; false without a back buffer. A missing picture leaves the fill colour.
bool CreatePaletteSurfaces(HINSTANCE instance) {
    pictureInstance = instance;
    MatchSurfacesToDpi();
    if (backBuffer == nullptr) {
        return false;
    }
    DrawBackground();
    return true;
}

void FreePaletteSurfaces() {
    sizedIcons.Clear();
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

    MatchSurfacesToDpi();
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
        const int32_t scale = BufferScale();
        for (int32_t i = 0; i < frame.iconCount; ++i) {
            const PaletteIconPlacement& icon = frame.icons[i];
            DrawIconEx(backBuffer->dc, icon.x * scale, icon.y * scale, IconAtScale(icon, scale),
                       kPaletteIconSize * scale, kPaletteIconSize * scale, 0, nullptr, DI_NORMAL);
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
