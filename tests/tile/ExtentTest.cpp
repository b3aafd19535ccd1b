#include "tile/Extent.h"
#include "tile/TileMath_p.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

void ExpectExtent(const EXTENT& e, double minx, double miny, double maxx, double maxy)
{
    EXPECT_EQ(e.minx, minx);
    EXPECT_EQ(e.miny, miny);
    EXPECT_EQ(e.maxx, maxx);
    EXPECT_EQ(e.maxy, maxy);
}

}  // namespace

TEST(Extent, UnionTreatsZeroExtentAsRectangleAtOrigin)
{
    CExtent e;
    const CExtent sum = e + CExtent(10, 10, 20, 20);
    ExpectExtent(sum, 0, 0, 20, 20);
    ExpectExtent(e, 0, 0, 0, 0);  // + leaves the left operand alone
    e += CExtent(-5, 3, -1, 30);
    ExpectExtent(e, -5, 0, 0, 30);
}

TEST(Extent, EdgesAndCornersBelongToTheExtent)
{
    const CExtent e(-10, -20, 10, 20);
    struct Row {
        double x, y;
        bool inside;
    };
    const Row rows[] = {
        {-10, -20, true},  // south-west corner
        {10, 20, true},    // north-east corner
        {10, 0, true},     // east edge
        {0, -20, true},    // south edge
        {std::nextafter(10.0, 11.0), 0, false},    // just east
        {0, std::nextafter(-20.0, -21.0), false},  // just south
        {std::nan(""), 0, false},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(e.PtInExtent(r.x, r.y), r.inside) << r.x << "," << r.y;
        EXPECT_EQ(e.PtInExtent(CPointD(r.x, r.y)), r.inside) << r.x << "," << r.y;
    }
}

TEST(Extent, IntersectAndContainAtSharedEdges)
{
    const CExtent a(0, 0, 10, 10);
    struct Row {
        CExtent other;
        bool intersects, contains;
    };
    const Row rows[] = {
        {CExtent(0, 0, 10, 10), true, true},       // identical
        {CExtent(10, 0, 20, 10), true, false},     // shares the east edge
        {CExtent(10, 10, 20, 20), true, false},    // shares one corner
        {CExtent(-5, -5, 0, 0), true, false},      // shares the opposite corner
        {CExtent(10.000001, 0, 20, 10), false, false},
        {CExtent(0, -10, 10, -0.000001), false, false},
        {CExtent(2, 2, 10, 10), true, true},       // inside, two edges coincide
        {CExtent(-1, 2, 5, 5), true, false},       // sticks out west
    };
    for (const Row& r : rows) {
        EXPECT_EQ(a.Intersect(r.other), r.intersects) << r.other.minx << "," << r.other.miny;
        EXPECT_EQ(r.other.Intersect(a), r.intersects) << r.other.minx << "," << r.other.miny;
        EXPECT_EQ(a.Contain(r.other), r.contains) << r.other.minx << "," << r.other.miny;
    }
}

TEST(Extent, ComparisonIsExact)
{
    const double one = 1.0;
    const double nextOne = std::nextafter(1.0, 2.0);
    EXPECT_NE(CExtent(0, 0, one, 1), CExtent(0, 0, nextOne, 1));
    EXPECT_EQ(CExtent(0, 0, one, 1), CExtent(0, 0, 1, 1));
    EXPECT_NE(CPointD(one, 0), CPointD(nextOne, 0));
}

TEST(Extent, ClampsAreOneSidedPerField)
{
    struct Row {
        const char* what;
        void (*clamp)(EXTENT&);
        EXTENT in;
        EXTENT out;
    };
    const double m = 20037508.342789244;
    const double g = 85.05112877980655;
    const Row rows[] = {
        {"geographic, all out", [](EXTENT& e) { Clamp(e); }, {-200, -100, 200, 100}, {-180, -90, 180, 90}},
        // A minimum above the upper bound is left alone: the result is inverted.
        {"geographic, east of range", [](EXTENT& e) { Clamp(e); }, {190, 0, 200, 10}, {190, 0, 180, 10}},
        {"geographic, inside", [](EXTENT& e) { Clamp(e); }, {-1, -2, 3, 4}, {-1, -2, 3, 4}},
        {"mercator metres", ClampMercator, {-181, -3e7, 181, 3e7}, {-180, -m, 180, m}},
        {"mercator metres, x in degrees", ClampMercator, {-170, -1e6, 170, 1e6}, {-170, -1e6, 170, 1e6}},
        {"mercator latitude", ClampGeoMercator, {-190, -89.9, 190, 90}, {-180, -g, 180, g}},
        {"mercator latitude, south of range", ClampGeoMercator, {0, -89, 1, -88}, {0, -g, 1, -88}},
    };
    for (const Row& r : rows) {
        EXTENT e = r.in;
        r.clamp(e);
        SCOPED_TRACE(r.what);
        ExpectExtent(e, r.out.minx, r.out.miny, r.out.maxx, r.out.maxy);
    }
    EXTENT e{-5, -5, 50, 50};
    Clamp(e, EXTENT{0, 0, 10, 10});
    ExpectExtent(e, 0, 0, 10, 10);
}

TEST(Extent, NormalizeDegreeFoldsIntoOpenInterval)
{
    struct Row {
        double in, out;
    };
    const Row rows[] = {
        {720, 0},  {-360, 0},     {-370, -10},        {359.5, 359.5}, {-359.5, -359.5},
        {360, 0},  {361.25, 1.25}, {-720.5, -0.5},    {0, 0},          {1e20, std::fmod(1e20, 360.0)},
    };
    for (const Row& r : rows) {
        double d = r.in;
        NormalizeDegree(d);
        EXPECT_EQ(d, r.out) << r.in;
        EXPECT_FALSE(std::signbit(d) && d == 0.0) << r.in;  // no "-0"
        EXPECT_LT(d, 360.0);
        EXPECT_GT(d, -360.0);
    }
    double inf = std::numeric_limits<double>::infinity();
    NormalizeDegree(inf);  // must return rather than loop forever
    EXPECT_TRUE(std::isinf(inf));
}

TEST(Extent, EqualityTolerances)
{
    EXPECT_FALSE(IsEqual(1.0, 1.0 + 1e-9));     // strict: 1e-9 apart is not equal
    EXPECT_TRUE(IsEqual(1.0, 1.0 + 0.5e-9));
    EXPECT_TRUE(IsEqual(1e-10, -1e-10));
    EXPECT_FALSE(IsEqual(1.0f, 1.0f + 2.4e-7f)); // two float steps apart
    EXPECT_TRUE(IsEqual(0.0f, 0.9e-7f));
    EXPECT_FALSE(IsEqual(0.0f, 1e-7f));           // strict in single precision
    EXPECT_TRUE(IsNearlyEqual(1.0, 2.0, 1.0));    // inclusive
    EXPECT_FALSE(IsNearlyEqual(1.0, std::nextafter(2.0, 3.0), 1.0));
    EXPECT_FALSE(IsNearlyEqual(std::nan(""), 0.0, 1e300));
}
