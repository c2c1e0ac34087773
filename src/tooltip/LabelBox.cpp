// The label's box and sizes, free of any platform.

#include <algorithm>

#include "tooltip/LabelWindow.h"

LabelMetrics LabelMetricsForDpi(uint32_t dpi) {
    const int32_t width = ScaleToDpi(kLabelWindowWidth, dpi);
    const int32_t height = ScaleToDpi(kLabelWindowHeight, dpi);
    return LabelMetrics{dpi,
                        width,
                        height,
                        ScaleToDpi(kLabelCursorOffsetY, dpi),
                        ScaleToDpi(kLabelTextMargin, dpi),
                        Rect{ScaleToDpi(kLabelMeasureArea.left, dpi), 0, width, height},
                        ScaleToDpi(kLabelFallbackFontPixels, dpi)};
}

// The box starts at the surface's top-left corner and leaves the text margin on either side of
// the text. A failed measurement (negative) gives the box of an empty text; a box wider than the
// surface is cut to it.
Rect LabelBoxForTextWidth(int32_t textWidth, const LabelMetrics& label) {
    const int32_t text = std::clamp(textWidth, 0, label.windowWidth - 2 * label.textMargin);
    return Rect{0, 0, text + 2 * label.textMargin, label.windowHeight};
}
