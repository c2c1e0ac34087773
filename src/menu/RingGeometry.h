#pragma once
// The ring menu's arithmetic, free of any platform: where the slots sit, which slot a point
// falls in, how the highlight is turned, and how pages are stepped through. At 96 DPI the window
// is 256 x 256 with the ring's centre at (128, 128); slot 0 is straight up, slots follow clockwise
// in 45 degree steps. On a display of another DPI every length is scaled (RingMetrics).

#include <cstdint>

constexpr int32_t kRingCentre = 128;
constexpr int32_t kRingInnerRadius = 50;
constexpr int32_t kRingOuterRadius = 120;
constexpr int32_t kSlotIconOrigin = 112;  // top-left of a slot's icon square, before the offset
constexpr int32_t kSlotIconExtent = 31;   // the icon square's width and height

struct SlotOffset {
    int32_t dx;
    int32_t dy;
};

struct RingPointF {
    float x;
    float y;
};

extern const SlotOffset RingSlotOffsets[8];

// The ring's lengths in the pixels of a display of `dpi`, all scaled from the 96-DPI constants
// above: hit testing and drawing both take them from here, so they cannot disagree.
struct RingMetrics {
    uint32_t dpi;
    int32_t size;  // the window's and the surface's width and height
    int32_t centre;
    int32_t innerRadius;
    int32_t outerRadius;
    int32_t iconOrigin;
    int32_t iconExtent;
    SlotOffset slotOffsets[8];
};

RingMetrics RingMetricsForDpi(uint32_t dpi);
extern const RingMetrics kRingAt96Dpi;

int32_t HitTestRing(int32_t x, int32_t y, const RingMetrics& ring = kRingAt96Dpi);
void HighlightCorners(double angleDegrees, int32_t imageWidth, int32_t imageHeight, RingPointF corners[3],
                      int32_t centre = kRingCentre);

int32_t NextPage();
int32_t PreviousPage();
int32_t ChoosePageToOpen();
