// Scaling 96-DPI lengths to a display's DPI.

#include "platform/DisplayScale.h"

namespace {

int64_t FloorDiv(int64_t a, int64_t b) {
    const int64_t quotient = a / b;
    return quotient * b > a ? quotient - 1 : quotient;
}

}  // namespace

// Scaled drawing samples the source at the centre of each display pixel, so source pixel p starts
// at the first display pixel whose centre falls in it: p * dpi / 96 rounded, halves down. Also for
// positions left of or above an origin. A dpi of 0 (unknown) counts as 96.
int32_t ScaleToDpi(int32_t pixels, uint32_t dpi) {
    if (dpi == 0) {
        return pixels;
    }
    return static_cast<int32_t>(FloorDiv(int64_t{pixels} * dpi + kBaseDpi / 2 - 1, kBaseDpi));
}

// A distance from a centre, scaled the same on either side of it, so that what is symmetric about
// the centre at 96 DPI stays so.
int32_t ScaleOffsetToDpi(int32_t pixels, uint32_t dpi) {
    return pixels < 0 ? -ScaleToDpi(-pixels, dpi) : ScaleToDpi(pixels, dpi);
}

int32_t ArtScaleForDpi(uint32_t dpi) {
    return dpi > kBaseDpi ? 2 : 1;
}
