#include <algorithm>

#include "tooltip/LabelWindow.h"

// The box starts at the surface's top-left corner and leaves kLabelTextMargin pixels on either
// side of the text. A failed measurement (negative) gives the box of an empty text; a box wider
// than the surface is cut to it.
Rect LabelBoxForTextWidth(int32_t textWidth) {
    const int32_t text = std::clamp(textWidth, 0, kLabelWindowWidth - 2 * kLabelTextMargin);
    return Rect{0, 0, text + 2 * kLabelTextMargin, kLabelWindowHeight};
}
