#pragma once
// Points and rectangles in whole pixels, x to the right and y downwards. A rectangle includes its
// left and top edges and excludes its right and bottom ones.

#include <cstdint>

struct Point {
    int32_t x;
    int32_t y;
};

struct Rect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};
