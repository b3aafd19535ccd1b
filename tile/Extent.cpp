#include "tile/Extent.h"

#include <cmath>

namespace {

constexpr double kMercatorMetreBound = 20037508.342789244;
constexpr double kMercatorLatitudeBound = 85.05112877980655;

void ClampTo(EXTENT& e, double minx, double miny, double maxx, double maxy)
{
    if (e.minx < minx)
        e.minx = minx;
    if (e.miny < miny)
        e.miny = miny;
    if (e.maxx > maxx)
        e.maxx = maxx;
    if (e.maxy > maxy)
        e.maxy = maxy;
}

}  // namespace

bool IsEqual(double a, double b)
{
    return std::fabs(a - b) < 1e-9;
}

bool IsEqual(float a, float b)
{
    const float diff = a - b;
    return std::fabs(diff) < 1e-7f;
}

void Clamp(EXTENT& e, const EXTENT& bound)
{
    ClampTo(e, bound.minx, bound.miny, bound.maxx, bound.maxy);
}

void Clamp(EXTENT& e)
{
    ClampTo(e, -180.0, -90.0, 180.0, 90.0);
}

void ClampMercator(EXTENT& e)
{
    ClampTo(e, -180.0, -kMercatorMetreBound, 180.0, kMercatorMetreBound);
}

void ClampGeoMercator(EXTENT& e)
{
    ClampTo(e, -180.0, -kMercatorLatitudeBound, 180.0, kMercatorLatitudeBound);
}

void NormalizeDegree(double& d)
{
    if (!std::isfinite(d))
        return;  // repeated subtraction would never end
    // fmod gives exactly what repeated subtraction of 360 gives, without the loop over huge values.
    if (d >= 360.0 || d <= -360.0) {
        d = std::fmod(d, 360.0);
        if (d == 0.0)
            d = 0.0;  // -0 from a negative multiple of 360 prints as "-0"
    }
}
