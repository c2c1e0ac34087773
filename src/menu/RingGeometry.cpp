// The ring's geometry at any scale, hit testing, the highlight's turn and paging.

#include "menu/RingGeometry.h"

#include <cmath>

#include "platform/DisplayScale.h"
#include "settings/Pages.h"

// Offset of each slot's icon from the ring's centre, y growing downwards. The diagonals are 63
// (not 90 / sqrt 2) so that the icons sit on whole pixels.
const SlotOffset RingSlotOffsets[8] = {
    {0, -90}, {63, -63}, {90, 0}, {63, 63}, {0, 90}, {-63, 63}, {-90, 0}, {-63, -63},
};

// The icons keep their sides whole: the icon square's size is scaled, not its far edge.
RingMetrics RingMetricsForDpi(uint32_t dpi) {
    RingMetrics ring = {dpi,
                        ScaleToDpi(2 * kRingCentre, dpi),
                        ScaleToDpi(kRingCentre, dpi),
                        ScaleToDpi(kRingInnerRadius, dpi),
                        ScaleToDpi(kRingOuterRadius, dpi),
                        ScaleToDpi(kSlotIconOrigin, dpi),
                        ScaleToDpi(kSlotIconExtent, dpi),
                        {}};
    for (int32_t slot = 0; slot < 8; ++slot) {
        ring.slotOffsets[slot] = {ScaleOffsetToDpi(RingSlotOffsets[slot].dx, dpi),
                                  ScaleOffsetToDpi(RingSlotOffsets[slot].dy, dpi)};
    }
    return ring;
}

const RingMetrics kRingAt96Dpi = RingMetricsForDpi(kBaseDpi);

// The slot under a point of the menu window's client area, or -1. The sensitive band is the
// distance from the centre truncated to a whole pixel, 50 to 120 inclusive at 96 DPI; inside it
// is the dead centre. The direction is measured clockwise from straight up in (0, 360]; slot s covers
// [45s - 22.5, 45s + 22.5), its lower edge included, so slot 0 covers (337.5, 22.5) through 360.
int32_t HitTestRing(int32_t x, int32_t y, const RingMetrics& ring) {
    const int32_t dx = ring.centre - x;
    const int32_t dy = ring.centre - y;
    const int32_t r =
        static_cast<int32_t>(std::sqrt(static_cast<double>(dx) * dx + static_cast<double>(dy) * dy));
    if (r < ring.innerRadius || r > ring.outerRadius) {
        return -1;
    }
    double phi = std::atan2(static_cast<double>(dy), static_cast<double>(dx)) * 57.29577951308232 + 270.0;
    if (phi > 360.0) {
        phi -= 360.0;
    }
    for (int32_t s = 0; s < 8; ++s) {
        float lo = 45.0f * static_cast<float>(s) - 22.5f;
        float hi = 45.0f * static_cast<float>(s) + 22.5f;
        // Slot 0 straddles straight up: its upper part is reached from below 360. The edge itself
        // belongs to slot 0, as every sector's lower edge belongs to it.
        if (lo < 0.0f && phi >= 337.5) {
            lo += 360.0f;
            hi += 360.0f;
        }
        if (lo <= phi && phi < hi) {
            return s;
        }
    }
    return -1;
}

// The destination of the highlight image's upper-left, upper-right and lower-left corners when it
// is turned clockwise on screen by angleDegrees about the ring's centre (centre, centre). The angle is
// converted with 3.14 rather than pi, the turn the artwork was tuned with: slot 7's highlight stands about
// 0.16 degrees short of 315.
void HighlightCorners(double angleDegrees, int32_t imageWidth, int32_t imageHeight, RingPointF corners[3],
                      int32_t centre) {
    const double theta = angleDegrees * 3.14 / 180.0;
    const long double co = static_cast<float>(std::cos(theta));
    const long double si = static_cast<float>(std::sin(theta));
    const long double w = static_cast<float>(imageWidth / 2);
    const long double h = static_cast<float>(imageHeight / 2);
    const long double c = centre;
    corners[0] = {static_cast<float>(c - co * w + si * h), static_cast<float>(c - si * w - co * h)};
    corners[1] = {static_cast<float>(c + co * w + si * h), static_cast<float>(c + si * w - co * h)};
    corners[2] = {static_cast<float>(c - co * w - si * h), static_cast<float>(c - si * w + co * h)};
}

namespace {

// Makes current the first other page that has items (a slot filled), going in steps of `step`
// (+1 or -1) from the current one and wrapping round. 0 when it moved, -1 when no other page has
// items. A current page outside 0..7 counts as no page, so every page is a candidate then.
int32_t StepToPageWithItems(int32_t step) {
    TablesLock lock;
    const int32_t current = pageTable.currentPage;
    for (int32_t i = 1; i <= kPageCount; ++i) {
        const int32_t page = (((current + step * i) % kPageCount) + kPageCount) % kPageCount;
        if (page != current && pageTable.pages[page].count > 0) {
            pageTable.currentPage = page;
            return 0;
        }
    }
    return -1;
}

}  // namespace

// The next page that has items, wrapping from 7 to 0; the current page stays when none has.
int32_t NextPage() {
    return StepToPageWithItems(1);
}

// The previous page that has items, wrapping from 0 to 7; the current page stays when none has.
int32_t PreviousPage() {
    return StepToPageWithItems(-1);
}

// Makes sure the current page has an item to show before the menu opens. When no slot of the
// current page resolves to an item, the previous page with items (wrapping) becomes current and is
// tried in turn, at most eight pages in all. 0 when the current page now shows an item, -1 when
// none was found; the current page is then wherever the search stopped (unchanged when no page
// has any slot filled).
int32_t ChoosePageToOpen() {
    TablesLock lock;
    for (int32_t attempt = 0; attempt < kPageCount; ++attempt) {
        for (int32_t slot = 0; slot < kSlotsPerPage; ++slot) {
            if (GetCurrentPageItem(slot) != nullptr) {
                return 0;
            }
        }
        PreviousPage();
    }
    return -1;
}
