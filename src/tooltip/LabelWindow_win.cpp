// The item label window: its thread, showing and hiding it, and drawing the label with GDI+.

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "app/App_win.h"
#include "platform/Holders_win.h"
#include "platform/WideText_win.h"
#include "tooltip/LabelWindow_win.h"

namespace gdip = Gdiplus::DllExports;

HWND labelWindow;
LayeredSurface* labelSurface;
int32_t labelVisible;
POINT labelPos = {-1, -1};
LabelMetrics labelMetrics = LabelMetricsForDpi(kBaseDpi);
WindowThread labelThread;

namespace {

// The label's lock. ShowLabel and HideLabel come from two threads (the menu worker and the palette
// editor) and both draw into the one surface; the label thread takes it to publish and to withdraw
// the window and surface. Never held while waiting for the thread.
SRWLOCK labelLock = SRWLOCK_INIT;

// Set by the label thread when it has left its message loop and wants the lock to withdraw the
// window and surface. Callers seeing it give up without queueing for the lock, so that a caller
// showing the label in a tight loop cannot keep the thread from ending.
std::atomic<bool> labelWithdrawing{false};

// Set by StopLabelThread before anything else, so that ShowLabel and HideLabel give up from then
// on. The label's lock is not fair: a caller showing the label in a tight loop takes it again and
// again, and a stop that merely queued for it could wait for seconds.
std::atomic<bool> labelStopping{false};

// What the shown label's image holds: the text and font it was drawn with. A label that follows
// the cursor with the same text (every tracking step of the ring, every mouse move over one item
// in the editor) is only moved, not drawn again. Valid only while the label is shown; guarded by
// the label's lock.
struct LabelImage {
    bool valid;
    HFONT font;
    char text[kLabelTextUnits];
};
LabelImage labelImage;

// How far from its left edge the label window's image may be other than transparent: a new image
// is presented over that width or its own, whichever is wider, and the rest stays as it is.
int32_t presentedWidth = kLabelWindowWidth;

// True when the shown image is text drawn with the current font.
bool LabelImageShows(const char* text) {
    return labelImage.valid && text != nullptr && labelImage.font == labelFont &&
           strncmp(labelImage.text, text, sizeof labelImage.text) == 0;
}

// Remembers what was just drawn; null (or a text too long to remember whole) forgets it.
void RememberLabelImage(const char* text) {
    labelImage.valid = text != nullptr && strlen(text) < sizeof labelImage.text;
    if (labelImage.valid) {
        labelImage.font = labelFont;
        strcpy(labelImage.text, text);
    }
}

// The label thread's way to take the lock: a caller holding it may be inside SetWindowPos on the
// label window, waiting for this thread to answer the messages that sends, so those are served
// while the lock is busy.
void AcquireLabelLockServingMessages() {
    while (!TryAcquireSRWLockExclusive(&labelLock)) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_SENDMESSAGE);
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

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
static int32_t DrawLabelBackground(const Rect& box) {
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
static int32_t DrawLabelText(const Rect& box, const char* text) {
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

namespace {

// Label images drawn before, by text and font: a label that comes back (the cursor passing between
// slots, or between items in the editor) is copied rather than laid out and drawn again with GDI+.
// Only the box is kept, the rest of the surface being transparent; the entry used longest ago
// makes room. Guarded by the label's lock.
struct KeptLabel {
    HFONT font;
    char text[kLabelTextUnits];
    uint32_t lastUse;
    int32_t width;                       // of the box; 0 for an unused entry
    std::unique_ptr<uint32_t[]> pixels;  // the box's rows, top first
};
constexpr size_t kKeptLabels = 16;
KeptLabel keptLabels[kKeptLabels];
uint32_t keptLabelUses;

KeptLabel* FindKeptLabel(const char* text) {
    for (KeptLabel& kept : keptLabels) {
        if (kept.width > 0 && kept.font == labelFont && strncmp(kept.text, text, sizeof kept.text) == 0) {
            return &kept;
        }
    }
    return nullptr;
}

// The surface's left `width` columns, where a label's box lies.
RECT LeftColumns(int32_t width) {
    return RECT{0, 0, width, labelMetrics.windowHeight};
}

void KeepLabel(const char* text, int32_t width) {
    if (strlen(text) >= kLabelTextUnits || width <= 0) {
        return;
    }
    KeptLabel* oldest = &keptLabels[0];
    for (KeptLabel& kept : keptLabels) {
        if (kept.width == 0 || kept.lastUse < oldest->lastUse) {
            oldest = &kept;
            if (kept.width == 0) {
                break;
            }
        }
    }
    oldest->width = 0;
    oldest->pixels.reset(new (std::nothrow) uint32_t[static_cast<size_t>(width) * labelMetrics.windowHeight]);
    if (oldest->pixels == nullptr) {
        return;
    }
    GdiFlush();
    CopySurfacePixels(labelSurface, LeftColumns(width), oldest->pixels.get(), false);
    oldest->font = labelFont;
    strcpy(oldest->text, text);
    oldest->lastUse = ++keptLabelUses;
    oldest->width = width;
}

void ForgetKeptLabels() {
    for (KeptLabel& kept : keptLabels) {
        kept.width = 0;
        kept.pixels.reset();
    }
}

// Puts the label for text into the surface (nothing but transparency for no text): copied from a
// kept image, or drawn afresh and kept. Called with the label's lock held. The width from the left
// edge that holds the image, the whole surface's when that is not known.
int32_t PutLabelImage(const char* text) {
    const int32_t surfaceWidth = labelMetrics.windowWidth;
    const bool whole = labelSurface != nullptr && labelSurface->bits != nullptr &&
                       labelSurface->width == surfaceWidth &&
                       labelSurface->height == labelMetrics.windowHeight;
    if (!whole) {
        ClearLayeredSurface(labelSurface);
    } else {
        GdiFlush();  // GDI+ may still be writing into the section
        memset(labelSurface->bits, 0, static_cast<size_t>(surfaceWidth) * labelMetrics.windowHeight * 4);
    }
    if (text == nullptr) {
        return whole ? 0 : surfaceWidth;
    }
    KeptLabel* kept = whole ? FindKeptLabel(text) : nullptr;
    if (kept != nullptr) {
        CopySurfacePixels(labelSurface, LeftColumns(kept->width), kept->pixels.get(), true);
        kept->lastUse = ++keptLabelUses;
        return kept->width;
    }
    const Rect box = LabelBoxForTextWidth(MeasureLabelText(text, labelMetrics.measureArea), labelMetrics);
    DrawLabelBackground(box);
    DrawLabelText(box, text);
    if (!whole) {
        return surfaceWidth;
    }
    const int32_t width = std::min(box.right + 1, surfaceWidth);  // the edge's smoothing included
    KeepLabel(text, width);
    return width;
}

}  // namespace

// The label thread: creates the hidden window with a transparent image, publishes it, pumps its
// messages until WM_QUIT, then withdraws and destroys everything it made. Exit code 0 after a
// quit, -1 when the window or surface could not be made.
static unsigned __stdcall LabelWindowThread(void* /*argument*/) {
    HWND window = CreateResidentWindow(appInstance, kLabelClassName, kLabelClassName, kLabelWindowWidth,
                                       kLabelWindowHeight);
    LayeredSurface* surface =
        window != nullptr ? CreateLayeredSurface(kLabelWindowWidth, kLabelWindowHeight) : nullptr;
    unsigned exitCode = static_cast<unsigned>(-1);
    if (surface != nullptr) {
        ClearLayeredSurface(surface);
        PresentLayeredSurface(surface, window);
        {
            LockHolder hold(labelLock);
            labelSurface = surface;
            labelWindow = window;
            labelVisible = 0;
            labelPos = {-1, -1};
        }
        SignalWindowThreadReady(labelThread);
        RunMessageLoop();
        exitCode = 0;

        labelWithdrawing = true;
        AcquireLabelLockServingMessages();
        labelWindow = nullptr;
        labelVisible = 0;
        labelPos = {-1, -1};
        labelImage.valid = false;
        presentedWidth = kLabelWindowWidth;
        ForgetKeptLabels();
        surface = labelSurface;  // replaced when the label changed scale
        labelSurface = nullptr;
        labelMetrics = LabelMetricsForDpi(kBaseDpi);
        ReleaseSRWLockExclusive(&labelLock);
    }
    DestroyLayeredSurface(surface);
    DestroyResidentWindow(window, appInstance, kLabelClassName);
    return exitCode;
}

// Starts the label thread unless one runs. 0 when one runs afterwards, -1 when it could not be
// started.
int32_t StartLabelThread() {
    if (!IsWindowThreadRunning(labelThread)) {
        labelWithdrawing = false;
        labelStopping = false;
    }
    return StartWindowThread(labelThread, LabelWindowThread, nullptr) ? 0 : -1;
}

// 0 once the label window exists, -1 otherwise: at once without a thread or while it ends, else
// after a bounded wait for its set-up, which ends early when the thread fails.
int32_t WaitForLabelWindow() {
    if (labelWithdrawing) {
        return -1;
    }
    {
        LockHolder hold(labelLock);
        if (labelWindow != nullptr) {
            return 0;  // published: no wait, which would cost a call to the system at every step
        }
    }
    if (!AwaitWindowThread(labelThread)) {
        return -1;
    }
    LockHolder hold(labelLock);
    return labelWindow != nullptr ? 0 : -1;
}

namespace {

// Gives the label the sizes of a display of `dpi`: a surface of that size, the window resized
// with it, and no image kept from another scale. The label keeps its old scale when the surface
// cannot be made. Called with the label's lock held.
void ScaleLabel(uint32_t dpi) {
    const LabelMetrics scaled = LabelMetricsForDpi(dpi);
    LayeredSurface* surface = CreateLayeredSurface(scaled.windowWidth, scaled.windowHeight);
    if (surface == nullptr) {
        return;
    }
    DestroyLayeredSurface(labelSurface);
    labelSurface = surface;
    labelMetrics = scaled;
    ForgetKeptLabels();
    labelImage.valid = false;
    presentedWidth = scaled.windowWidth;
    SetWindowPos(labelWindow, nullptr, 0, 0, scaled.windowWidth, scaled.windowHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

// Shows text (code page 932, or null for a fully transparent label) with the window's top-left
// corner at screen point (x, y), drawn at the scale of a display of `dpi`: shown if hidden, moved
// if shown elsewhere, and given the text's image unless it shows it already. A shown label that
// needs a new image is moved by the same call that presents it. Never clamped to the screen. -1
// when there is no label window, else 1 when the image reached the window and 0 when that failed.
int32_t ShowLabel(const char* text, int32_t x, int32_t y, uint32_t dpi) {
    if (labelStopping || WaitForLabelWindow() != 0) {
        return -1;
    }
    LockHolder hold(labelLock);
    if (labelWindow == nullptr || labelStopping) {
        return -1;  // withdrawn, or being stopped, since the wait
    }
    if (dpi != labelMetrics.dpi) {
        ScaleLabel(dpi);
    }
    const bool wasShown = labelVisible != 0;
    const bool moved = labelPos.x != x || labelPos.y != y;
    const bool sameImage = wasShown && LabelImageShows(text);
    if (!wasShown) {
        SetWindowPos(labelWindow, HWND_TOP, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        labelVisible = 1;
    } else if (moved && sameImage) {
        SetWindowPos(labelWindow, HWND_TOP, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (sameImage) {
        labelPos = {x, y};
        return 1;  // the window already shows this very image
    }
    const int32_t width = PutLabelImage(text);
    const POINT at = {x, y};
    const RECT dirty = LeftColumns(std::max({width, presentedWidth, 1}));
    const int32_t result =
        PresentLayeredSurface(labelSurface, labelWindow, wasShown && moved ? &at : nullptr, &dirty);
    presentedWidth = result == 1 ? width : labelMetrics.windowWidth;
    labelPos = {x, y};
    RememberLabelImage(result == 1 ? text : nullptr);
    return result;
}

// Hides the label if it is shown. The surface keeps its image; the next ShowLabel draws afresh.
// The window stays topmost (SWP_NOZORDER).
void HideLabel() {
    if (labelStopping || WaitForLabelWindow() != 0) {
        return;
    }
    LockHolder hold(labelLock);
    if (labelWindow == nullptr || labelVisible == 0 || labelStopping) {
        return;
    }
    SetWindowPos(labelWindow, HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
    labelVisible = 0;
    labelPos = {-1, -1};
    labelImage.valid = false;
}

// Ends the label thread (ShowLabel and HideLabel give up from the start of the stop) and releases
// its handle. A thread still setting up after the bounded wait is left alone, and so are callers.
void StopLabelThread() {
    labelStopping = true;
    if (!StopWindowThread(labelThread, false)) {
        labelStopping = false;
    }
}
