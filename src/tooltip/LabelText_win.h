#pragma once
// Drawing the label's box and text into labelSurface at the label's scale. Converting and measuring
// the text are declared with the label's other inner steps (LabelWindow_win.h).

#include <cstdint>

#include "platform/Geometry.h"

int32_t DrawLabelBackground(const Rect& box);
int32_t DrawLabelText(const Rect& box, const char* text);
