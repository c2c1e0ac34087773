// The label's text and box drawn with GDI+ at the label's scale: converting, measuring and drawing.

#include "tooltip/LabelText_win.h"

#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <string>

#include "app/App_win.h"
#include "platform/Holders_win.h"
#include "platform/WideText_win.h"
#include "tooltip/LabelWindow_win.h"

namespace gdip = Gdiplus::DllExports;

namespace {

constexpr Gdiplus::ARGB kGradientTop = 0x60000000;     // black at alpha 96
constexpr Gdiplus::ARGB kGradientBottom = 0xFF002040;  // opaque dark blue
constexpr Gdiplus::ARGB kTextColour = 0xFFFFFFFF;

Gdiplus::RectF ToRectF(const Rect& rect) {
    return Gdiplus::RectF(static_cast<Gdiplus::REAL>(rect.left), static_cast<Gdiplus::REAL>(rect.top),
                          static_cast<Gdiplus::REAL>(rect.right - rect.left),
                          static_cast<Gdiplus::REAL>(rect.bottom - rect.top));
}

// The GDI+ font of the label text at the label's scale: the description of labelFont, else the
// font selected into dc, else (GDI+ takes only TrueType and OpenType faces, and a memory DC starts
// with a bitmap font) the generic sans-serif face at the label font's 16 pixels scaled. Null only
// if GDI+ is not running.
Gdiplus::GpFont* CreateLabelFont(HDC dc) {
    Gdiplus::GpFont* font = nullptr;
    LOGFONTW description;
    if (labelFont != nullptr &&
        GetObjectW(labelFont, sizeof description, &description) == sizeof description) {
        description.lfHeight = ScaleOffsetToDpi(description.lfHeight, labelMetrics.dpi);
        if (gdip::GdipCreateFontFromLogfontW(dc, &description, &font) == Gdiplus::Ok) {
            return font;
        }
    }
    font = nullptr;
    if (gdip::GdipCreateFontFromDC(dc, &font) == Gdiplus::Ok) {
        return font;
    }
    font = nullptr;
    Gdiplus::GpFontFamily* family = nullptr;
    if (gdip::GdipGetGenericFontFamilySansSerif(&family) == Gdiplus::Ok) {
        gdip::GdipCreateFont(family, static_cast<Gdiplus::REAL>(labelMetrics.fallbackFontPixels),
                             Gdiplus::FontStyleRegular, Gdiplus::UnitPixel, &font);
        gdip::GdipDeleteFontFamily(family);
    }
    return font;
}

// Text centred both ways in its layout rectangle.
Gdiplus::GpStringFormat* CreateCentredFormat() {
    Gdiplus::GpStringFormat* format = nullptr;
    if (gdip::GdipCreateStringFormat(0, 0, &format) == Gdiplus::Ok) {
        gdip::GdipSetStringFormatAlign(format, Gdiplus::StringAlignmentCenter);
        gdip::GdipSetStringFormatLineAlign(format, Gdiplus::StringAlignmentCenter);
    }
    return format;
}

// What measuring and drawing the text both need, made afresh on the surface's device context.
struct TextTools {
    GraphicsHolder graphics;
    GdipFontHolder font;
    StringFormatHolder format;

    explicit TextTools(HDC dc)
        : graphics(GraphicsOn(dc)), font(CreateLabelFont(dc)), format(CreateCentredFormat()) {
        if (graphics != nullptr) {
            gdip::GdipSetTextRenderingHint(graphics.get(), Gdiplus::TextRenderingHintAntiAlias);
        }
    }
};

}  // namespace

// Converts an item text (code page 932 bytes) to UTF-16, cut to kLabelTextUnits - 1 units and
// always terminated. Returns the number of units stored before the terminator. A byte that is not
// valid code page 932 (a lead byte at the very end, a bad trail byte) becomes the replacement
// character, and the rest of the text still shows.
size_t ConvertLabelText(const char* text, wchar_t (&wide)[kLabelTextUnits]) {
    wide[0] = L'\0';
    if (text == nullptr) {
        return 0;
    }
    const std::wstring whole = WideStringFromCp932(text);
    size_t kept = std::min(whole.size(), kLabelTextUnits - 1);
    if (kept < whole.size() && IS_HIGH_SURROGATE(whole[kept - 1])) {
        --kept;  // never leave half a surrogate pair at the end
    }
    std::copy(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(kept), wide);
    wide[kept] = L'\0';
    return kept;
}

// The width in pixels of text laid out centred in area, truncated towards zero; -1 without a
// surface or text.
int32_t MeasureLabelText(const char* text, const Rect& area) {
    if (labelSurface == nullptr || text == nullptr) {
        return -1;
    }
    wchar_t wide[kLabelTextUnits];
    ConvertLabelText(text, wide);
    TextTools tools(labelSurface->dc);
    const Gdiplus::RectF layout = ToRectF(area);
    Gdiplus::RectF bounds(0.0f, 0.0f, 0.0f, 0.0f);
    gdip::GdipMeasureString(tools.graphics.get(), wide, -1, tools.font.get(), &layout, tools.format.get(),
                            &bounds, nullptr, nullptr);
    return static_cast<int32_t>(bounds.Width);
}

// Fills box with the label's vertical gradient, translucent black at the top to opaque dark blue
// at the bottom. 1, or 0 without a surface.
int32_t DrawLabelBackground(const Rect& box) {
    if (labelSurface == nullptr) {
        return 0;
    }
    const GraphicsHolder graphics = GraphicsOn(labelSurface->dc);
    const Gdiplus::RectF rect = ToRectF(box);
    Gdiplus::GpLineGradient* brush = nullptr;
    if (graphics != nullptr && gdip::GdipCreateLineBrushFromRect(
                                   &rect, kGradientTop, kGradientBottom, Gdiplus::LinearGradientModeVertical,
                                   Gdiplus::WrapModeTile, &brush) == Gdiplus::Ok) {
        const GdipBrushHolder held(brush);
        gdip::GdipFillRectangle(graphics.get(), brush, rect.X, rect.Y, rect.Width, rect.Height);
    }
    return 1;
}

// Draws text in white, centred in box. 1, or 0 without a surface or text.
int32_t DrawLabelText(const Rect& box, const char* text) {
    if (labelSurface == nullptr || text == nullptr) {
        return 0;
    }
    wchar_t wide[kLabelTextUnits];
    ConvertLabelText(text, wide);
    TextTools tools(labelSurface->dc);
    Gdiplus::GpSolidFill* brush = nullptr;
    if (gdip::GdipCreateSolidFill(kTextColour, &brush) == Gdiplus::Ok) {
        const GdipBrushHolder held(brush);
        const Gdiplus::RectF layout = ToRectF(box);
        gdip::GdipDrawString(tools.graphics.get(), wide, -1, tools.font.get(), &layout, tools.format.get(),
                             brush);
    }
    return 1;
}
