// The label's images kept between showings: a label that comes back is copied, not drawn again.

#include "tooltip/LabelImages_win.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "app/App_win.h"
#include "tooltip/LabelText_win.h"
#include "tooltip/LabelWindow_win.h"

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

}  // namespace

// The surface's left `width` columns, where a label's box lies.
RECT LeftColumns(int32_t width) {
    return RECT{0, 0, width, labelMetrics.windowHeight};
}

namespace {

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

}  // namespace

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
