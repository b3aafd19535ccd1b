#pragma once

// Where a point lies relative to a rectangle in screen coordinates (y grows downwards).
enum POINT_LOCATED_RECT_DIRECTION : int {
    POINT_INSIDE_RECT = 0,
    POINT_LEFT_OF_RECT = 1,
    POINT_RIGHT_OF_RECT = 2,
    POINT_BELOW_RECT = 4,  // greater y than the bottom edge
    POINT_ABOVE_RECT = 8   // smaller y than the top edge
};
