#pragma once

// Internal helpers of the tile geometry; not installed, not exported.

#include <cmath>

// Inclusive tolerance test |b - a| <= tolerance, used by the border rules of the tile models and
// the height field. NaN is never near anything.
inline bool IsNearlyEqual(double a, double b, double tolerance)
{
    return std::fabs(b - a) <= tolerance;
}
