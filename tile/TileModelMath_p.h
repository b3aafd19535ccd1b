#pragma once

// Constants and number conversions shared by the tile models; internal, not installed.

#include "tile/TileMath_p.h"

#include <climits>
#include <cmath>
#include <limits>

namespace vt_tile {

// A point within this many pixels of a border counts as on it (just under one pixel).
constexpr double kBorderTolerance = 0.99999999999;
constexpr double kEquatorMetres = 40075016.68557849;   // circumference, the x span in metres
constexpr double kMeridianMetres = 19970817.98562031;  // pole to pole, the y span in metres
constexpr double kMercatorRadiusSpan = 20037508.342789244;  // Web Mercator half span R
constexpr double kMercatorMaxLatitude = 85.05112877980655;
constexpr double kPi = 3.14159265358979323846;
constexpr double kDegreesPerRadian = 57.29577951308232;

// A whole number kept as double to int without undefined behaviour: NaN gives 0, values beyond
// the int range (among them the infinities at the Mercator poles) saturate.
inline int SaturateToInt(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (v <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(v);
}

// Offset into a tile clamped to 0..size (size included); NaN gives 0.
inline double ClampPixel(double v, int size)
{
    if (!(v > 0.0))
        return 0.0;
    return v > size ? static_cast<double>(size) : v;
}

// 2^e, exact; shifts for the levels that occur, ldexp beyond (a hot path: every key and extent).
inline double PowerOfTwo(int e)
{
    if (e >= 0 && e < 63)
        return static_cast<double>(1ULL << e);
    return std::ldexp(1.0, e);
}

// 0.5^level, 1 at level <= 0.
inline double HalfPower(int level)
{
    return level <= 0 ? 1.0 : (level < 63 ? 1.0 / PowerOfTwo(level) : std::ldexp(1.0, -level));
}

// Latitude (degrees) to the Mercator plane scaled to [-1, 1] over +-85.05112877980655. The poles
// lie at infinity; a latitude beyond +-90 is treated as the pole.
inline double MercatorUnitOfLatitude(double y)
{
    if (y >= 90.0)
        return std::numeric_limits<double>::infinity();
    if (y <= -90.0)
        return -std::numeric_limits<double>::infinity();
    return std::log(std::tan((y + 90.0) * kPi / 360.0)) / (kPi / 180.0) / 180.0;
}

// The inverse of MercatorUnitOfLatitude.
inline double LatitudeOfMercatorUnit(double u)
{
    return (2.0 * std::atan(std::exp(u * kPi)) - kPi / 2.0) * kDegreesPerRadian;
}

// Where a coordinate lies on a tile axis: the first estimate i of its tile (truncated stride
// division), its pixel p, and the pixels of the borders of tiles i + 1, i - 1 and i.
struct BorderProbe {
    double i;
    double p;
    double pNext;
    double pPrev;
    double pHere;
};

template <class BorderPixel>
BorderProbe MakeProbe(double i, double p, BorderPixel borderPixel)
{
    return {i, p, borderPixel(i + 1), borderPixel(i - 1), borderPixel(i)};
}

// True when the coordinate has passed the next border by less than a pixel or, with a tie-break
// precision (>= 0), stops short of it by no more than that precision.
inline bool AtNextBorder(const BorderProbe& b, double precision)
{
    return IsNearlyEqual(b.p, b.pNext, kBorderTolerance) &&
           (b.p > b.pNext || (precision >= 0.0 && IsNearlyEqual(b.p, b.pNext, precision)));
}

// The tile index: the stride division can fall just short of a border the pixel computation has
// passed (next tile), or land one tile too far (previous tile).
inline int TileIndex(const BorderProbe& b, double precision)
{
    double index = b.i;
    if (AtNextBorder(b, precision))
        index = b.i + 1;
    if (IsNearlyEqual(b.p, b.pPrev, kBorderTolerance))
        index = b.i - 1;
    return SaturateToInt(index);
}

// Within one pixel of a tile border.
inline bool CrossesBorder(const BorderProbe& b, double precision)
{
    return AtNextBorder(b, precision) || IsNearlyEqual(b.p, b.pPrev, kBorderTolerance) ||
           IsNearlyEqual(b.p, b.pHere, kBorderTolerance);
}

constexpr double kNoTieBreak = -1.0;

}  // namespace vt_tile
