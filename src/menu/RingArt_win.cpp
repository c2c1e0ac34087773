// The ring's pictures at its scale: the skins at 1x or 2x, or reduced once from the larger and kept,
// and the items' icons taken from their files at the size they are drawn.

#include "menu/RingArt_win.h"

#include <vector>

#include "menu/MenuWindow_win.h"
#include "platform/DisplayScale.h"
#include "platform/Holders_win.h"
#include "platform/SizedIcon_win.h"
#include "settings/SettingsFile.h"

namespace gdip = Gdiplus::DllExports;

namespace {

// The skins at the ring's current scale, when neither the 1x nor the 2x image has its size.
ImageHolder scaledRing;
ImageHolder scaledHighlight;

// Item icons taken from their files at the size a scaled ring draws them.
SizedIconCache sizedIcons;

// A copy of source at width x height, drawn with the high-quality filter and whole-pixel centres,
// so that a reduced skin keeps its edges as sharp as its size allows. Empty when it cannot be made.
ImageHolder ResampledImage(Gdiplus::GpImage* source, int32_t width, int32_t height) {
    UINT sourceWidth = 0;
    UINT sourceHeight = 0;
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (gdip::GdipGetImageWidth(source, &sourceWidth) != Gdiplus::Ok ||
        gdip::GdipGetImageHeight(source, &sourceHeight) != Gdiplus::Ok ||
        gdip::GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppPARGB, nullptr, &bitmap) !=
            Gdiplus::Ok) {
        return nullptr;
    }
    ImageHolder image(bitmap);
    Gdiplus::GpGraphics* graphics = nullptr;
    if (gdip::GdipGetImageGraphicsContext(image.get(), &graphics) != Gdiplus::Ok) {
        return nullptr;
    }
    const GraphicsHolder held(graphics);
    gdip::GdipSetInterpolationMode(graphics, Gdiplus::InterpolationModeHighQualityBicubic);
    gdip::GdipSetPixelOffsetMode(graphics, Gdiplus::PixelOffsetModeHighQuality);
    gdip::GdipSetCompositingMode(graphics, Gdiplus::CompositingModeSourceCopy);
    gdip::GdipDrawImageRectRect(graphics, source, 0.0f, 0.0f, static_cast<float>(width),
                                static_cast<float>(height), 0.0f, 0.0f, static_cast<float>(sourceWidth),
                                static_cast<float>(sourceHeight), Gdiplus::UnitPixel, nullptr, nullptr,
                                nullptr);
    return image;
}

int32_t ImageWidth(Gdiplus::GpImage* image) {
    UINT width = 0;
    return image != nullptr && gdip::GdipGetImageWidth(image, &width) == Gdiplus::Ok
               ? static_cast<int32_t>(width)
               : 0;
}

// The skin to draw at the ring's scale: the 1x or the 2x image where one has the ring's size;
// else the nearest larger of them (the 2x above 100 %) reduced once, and kept until the scale
// changes, so that no scale between 100 % and 200 % shows the 1x art enlarged. Null without art.
Gdiplus::GpImage* SkinAtScale(const SkinImage* one, const SkinImage* two, ImageHolder& kept) {
    Gdiplus::GpBitmap* small = one != nullptr ? one->view : nullptr;
    Gdiplus::GpBitmap* large = two != nullptr ? two->view : nullptr;
    const int32_t size = menuRing.size;
    if (ImageWidth(small) == size) {
        return small;
    }
    if (ImageWidth(large) == size) {
        return large;
    }
    if (kept == nullptr) {
        Gdiplus::GpBitmap* source =
            large == nullptr || (small != nullptr && size < ImageWidth(small)) ? small : large;
        if (source != nullptr) {
            kept = ResampledImage(source, size, size);
        }
    }
    return kept.get();
}

// The pixels of an icon whose colour bitmap is 32 bits per pixel with an alpha channel, top row
// first, straight alpha. False for an icon without alpha (its mask then says what is transparent).
bool ReadIconAlphaPixels(HICON icon, std::vector<uint32_t>& pixels, int32_t& width, int32_t& height) {
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info)) {
        return false;
    }
    const BitmapHolder colourBitmap(info.hbmColor);
    const BitmapHolder maskBitmap(info.hbmMask);
    bool hasAlpha = false;
    BITMAP colour = {};
    if (info.hbmColor != nullptr && GetObjectW(info.hbmColor, sizeof colour, &colour) == sizeof colour &&
        colour.bmBitsPixel == 32 && colour.bmWidth > 0 && colour.bmHeight > 0) {
        width = colour.bmWidth;
        height = colour.bmHeight;
        BITMAPINFO header = {};
        header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        header.bmiHeader.biWidth = width;
        header.bmiHeader.biHeight = -height;  // top-down, as GDI+ lays out its rows
        header.bmiHeader.biPlanes = 1;
        header.bmiHeader.biBitCount = 32;
        header.bmiHeader.biCompression = BI_RGB;
        pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
        const WindowDc screen;
        if (screen.get() != nullptr && GetDIBits(screen.get(), info.hbmColor, 0, static_cast<UINT>(height),
                                                 pixels.data(), &header, DIB_RGB_COLORS) == height) {
            for (uint32_t pixel : pixels) {
                hasAlpha = hasAlpha || (pixel & 0xFF000000u) != 0;
            }
        }
    }
    return hasAlpha;
}

}  // namespace

Gdiplus::GpImage* RingSkinAtScale() {
    return ringImage != nullptr ? SkinAtScale(ringImage, ringImage2x, scaledRing) : nullptr;
}

Gdiplus::GpImage* HighlightSkinAtScale() {
    return highlightImage != nullptr ? SkinAtScale(highlightImage, highlightImage2x, scaledHighlight)
                                     : nullptr;
}

// The icon to draw for an item at the ring's scale: its own at 96 DPI, else the one its file holds
// at the drawn size, or its own when the file gives none.
HICON ItemIconAtScale(const MenuItem& item) {
    HICON sized =
        menuRing.dpi != kBaseDpi ? sizedIcons.Get(item.iconPath, menuRing.iconExtent, ResolvePath) : nullptr;
    return sized != nullptr ? sized : static_cast<HICON>(item.icon);
}

// An icon scaled into the rectangle of any graphics (see DrawSlotIcon); `smooth` reduces a larger
// icon with the high-quality filter.
void DrawIconOn(Gdiplus::GpGraphics* graphics, const RECT& rect, HICON icon, bool smooth) {
    std::vector<uint32_t> pixels;
    int32_t width = 0;
    int32_t height = 0;
    Gdiplus::GpBitmap* bitmap = nullptr;
    const Gdiplus::GpStatus made =
        ReadIconAlphaPixels(icon, pixels, width, height)
            ? gdip::GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppARGB,
                                              reinterpret_cast<BYTE*>(pixels.data()), &bitmap)
            : gdip::GdipCreateBitmapFromHICON(icon, &bitmap);
    const ImageHolder image(made == Gdiplus::Ok ? bitmap : nullptr);
    if (image != nullptr && graphics != nullptr) {
        if (smooth) {
            gdip::GdipSetInterpolationMode(graphics, Gdiplus::InterpolationModeHighQualityBicubic);
            gdip::GdipSetPixelOffsetMode(graphics, Gdiplus::PixelOffsetModeHighQuality);
        }
        gdip::GdipDrawImageRect(graphics, image.get(), static_cast<float>(rect.left),
                                static_cast<float>(rect.top), static_cast<float>(rect.right - rect.left),
                                static_cast<float>(rect.bottom - rect.top));
    }
}

void ForgetScaledArt() {
    scaledRing.reset();
    scaledHighlight.reset();
    sizedIcons.Clear();
}
