#include "tile/Extent.h"
#include "tile/TileMath_p.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

// The union treats a zero extent as a rectangle at the origin; edges and corners belong to the extent.
TEST(Extent, UnionEdgesCornersClampsNormalizedDegreesAndTolerances)
{
    CExtent e;
    EXPECT_EQ(e + CExtent(10, 10, 20, 20), CExtent(0, 0, 20, 20));
    EXPECT_EQ(e, CExtent());  // + leaves the left operand alone
    e += CExtent(-5, 3, -1, 30);
    EXPECT_EQ(e, CExtent(-5, 0, 0, 30));
    EXPECT_NE(CExtent(0, 0, 1, 1), CExtent(0, 0, std::nextafter(1.0, 2.0), 1));  // exact comparison
    EXPECT_NE(CPointD(1, 0), CPointD(std::nextafter(1.0, 2.0), 0));
    const CExtent a(-10, -20, 10, 20);
    const struct { double x, y; bool inside; } points[] = {
        {-10, -20, true}, {10, 20, true}, {std::nextafter(10.0, 11.0), 0, false},  // corners in, just east out
        {0, std::nextafter(-20.0, -21.0), false}, {std::nan(""), 0, false}};
    for (const auto& r : points)
        EXPECT_EQ(std::make_pair(a.PtInExtent(r.x, r.y), a.PtInExtent(CPointD(r.x, r.y))),
                  std::make_pair(r.inside, r.inside)) << r.x << "," << r.y;
    const CExtent b(0, 0, 10, 10);
    const struct { CExtent other; bool intersects, contains; } extents[] = {
        {CExtent(0, 0, 10, 10), true, true},  {CExtent(2, 2, 10, 10), true, true},  // identical, inside on two edges
        {CExtent(10, 10, 20, 20), true, false}, {CExtent(-5, -5, 0, 0), true, false},  // sharing one corner
        {CExtent(10.000001, 0, 20, 10), false, false}, {CExtent(0, -10, 10, -0.000001), false, false},
        {CExtent(-1, 2, 5, 5), true, false},  {CExtent(2, 2, 5, 11), true, false},  // sticking out west, north
    };
    for (const auto& r : extents)
        EXPECT_EQ(std::make_tuple(b.Intersect(r.other), r.other.Intersect(b), b.Contain(r.other)),
                  std::make_tuple(r.intersects, r.intersects, r.contains)) << r.other.minx << "," << r.other.miny;
    // Clamps are one-sided per field.
    const double m = 20037508.342789244, g = 85.05112877980655;
    const auto world = [](EXTENT& e) { Clamp(e); };
    const struct { void (*clamp)(EXTENT&); EXTENT in, out; } rows[] = {
        {world, {-200, -100, 200, 100}, {-180, -90, 180, 90}},
        {world, {190, 0, 200, 10}, {190, 0, 180, 10}},  // a minimum above the upper bound stays: inverted
        {world, {-1, -2, 3, 4}, {-1, -2, 3, 4}},
        {ClampMercator, {-181, -3e7, 181, 3e7}, {-180, -m, 180, m}},  // x in degrees, y in metres
        {ClampMercator, {-170, -1e6, 170, 1e6}, {-170, -1e6, 170, 1e6}},
        {ClampGeoMercator, {-190, -89.9, 190, 90}, {-180, -g, 180, g}},
        {ClampGeoMercator, {0, -89, 1, -88}, {0, -g, 1, -88}},  // south of the range
        {[](EXTENT& e) { Clamp(e, EXTENT{0, 0, 10, 10}); }, {-5, -5, 50, 50}, {0, 0, 10, 10}},
    };
    for (const auto& r : rows) {
        EXTENT e = r.in;
        r.clamp(e);
        EXPECT_EQ(CExtent(e), CExtent(r.out)) << r.in.minx << " " << r.in.miny << " " << r.in.maxx;
    }
    // Degrees normalised into (-360, 360).
    const struct { double in, out; } degrees[] = {
        {720, 0},  {-360, 0},      {-370, -10},    {359.5, 359.5}, {-359.5, -359.5},
        {360, 0},  {361.25, 1.25}, {-720.5, -0.5}, {1e20, std::fmod(1e20, 360.0)},
    };
    for (const auto& r : degrees) {
        double d = r.in;
        NormalizeDegree(d);
        EXPECT_EQ(d, r.out) << r.in;
        EXPECT_FALSE(std::signbit(d) && d == 0.0) << r.in;  // no "-0"
    }
    double inf = std::numeric_limits<double>::infinity();
    NormalizeDegree(inf);  // must return rather than loop forever
    EXPECT_TRUE(std::isinf(inf));
    EXPECT_FALSE(IsEqual(1.0, 1.0 + 1e-9));  // strict: 1e-9 apart is not equal
    EXPECT_TRUE(IsEqual(1.0, 1.0 + 0.5e-9) && IsEqual(1e-10, -1e-10));
    EXPECT_FALSE(IsEqual(1.0f, 1.0f + 2.4e-7f));  // two float steps apart
    EXPECT_TRUE(IsEqual(0.0f, 0.9e-7f) && !IsEqual(0.0f, 1e-7f));  // strict in single precision
    EXPECT_TRUE(IsNearlyEqual(1.0, 2.0, 1.0));  // inclusive
    EXPECT_FALSE(IsNearlyEqual(1.0, std::nextafter(2.0, 3.0), 1.0));
    EXPECT_FALSE(IsNearlyEqual(std::nan(""), 0.0, 1e300));
}
