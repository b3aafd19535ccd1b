#include "tile/BaiduToConvert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>

namespace {

using Q = CBaiduToConvert::Quadrant;

// Metres between two nearby points given in degrees (equirectangular, ample for centimetres).
double Metres(const QPointF& a, const QPointF& b)
{
    const double k = 6378137.0 * 3.14159265358979323846 / 180.0;
    const double dx = (a.x() - b.x()) * k * std::cos(a.y() * 3.14159265358979323846 / 180.0);
    const double dy = (a.y() - b.y()) * k;
    return std::hypot(dx, dy);
}

QPointF RoundTrip(const QPointF& bd)
{
    return CBaiduToConvert::MercatorToBdLngLat(CBaiduToConvert::BdLngLatToMercator(bd));
}

}  // namespace

// Baidu's forward and inverse tables are separate fits, so a round trip returns the fit error: about
// a centimetre south of 44.5 degrees (3.5 cm just above the 30-degree band edge) and up to about a
// quarter metre across the 45..60 band, which holds north-east China.
TEST(BaiduToConvert, ProjectionRoundTripsWithinCentimetresInChinaAndTheWest)
{
    struct {
        double latFrom, latTo;
        double tolerance;  // metres
    } const bands[] = {{18.0, 44.5, 0.04}, {44.5, 54.0, 0.3}};
    for (const auto& band : bands) {
        double worst = 0.0;
        for (double lon = 73.0; lon <= 135.0; lon += 0.61) {
            for (double lat = band.latFrom; lat <= band.latTo; lat += 0.13) {
                for (double sx : {1.0, -1.0}) {  // a western point keeps its sign with the same accuracy
                    const QPointF bd(sx * lon, lat);
                    const QPointF back = RoundTrip(bd);
                    worst = std::max(worst, Metres(bd, back));
                    ASSERT_EQ(back.x() < 0, bd.x() < 0);
                }
            }
        }
        EXPECT_LT(worst, band.tolerance) << band.latFrom;
    }
    // Typical points round-trip within 2 cm; so do the band edges of the forward table below 45.
    for (const QPointF& bd : {QPointF(116.404, 39.915), QPointF(121.47, 31.23), QPointF(113.26, 23.13),
                              QPointF(104.07, 30.67), QPointF(87.6, 43.8), QPointF(-100.0, 40.0),
                              QPointF(116.4, 15.0), QPointF(116.4, 15.0 - 1e-9)})
        EXPECT_LT(Metres(bd, RoundTrip(bd)), 0.02) << bd.x() << ", " << bd.y();
}

TEST(BaiduToConvert, SouthernLatitudesUseTheEquatorialRowAndComeBackOff)
{
    const QPointF sydney(151.2, -33.87);
    const QPointF back = RoundTrip(sydney);
    EXPECT_LT(back.y(), 0.0);
    EXPECT_NEAR(back.y(), -33.8667, 0.0005);
    EXPECT_GT(Metres(sydney, back), 100.0);
    // Far south the equatorial row is worse still; the mirror point in the north round-trips.
    EXPECT_GT(Metres(QPointF(10.0, -50.0), RoundTrip(QPointF(10.0, -50.0))), 1000.0);
    EXPECT_LT(Metres(QPointF(10.0, 50.0), RoundTrip(QPointF(10.0, 50.0))), 0.3);
}

TEST(BaiduToConvert, QuadrantRules)
{
    struct {
        double lon, lat;
        Q expected;
    } const cases[] = {
        {10, 10, Q::QUADRANT_NORTH_EAST},
        {0, 0, Q::QUADRANT_NORTH_EAST},    // the origin
        {0, 10, Q::QUADRANT_NORTH_EAST},   // on the meridian in the north
        {10, 0, Q::QUADRANT_NORTH_EAST},   // on the equator in the east
        {10, -10, Q::QUADRANT_SOUTH_EAST},
        {-10, -10, Q::QUADRANT_SOUTH_WEST},
        {-10, 10, Q::QUADRANT_NORTH_WEST},
        {-10, 0, Q::QUADRANT_NONE},        // west on the equator
        {0, -10, Q::QUADRANT_NONE},        // on the meridian in the south
        {-0.0, 10, Q::QUADRANT_NORTH_EAST},  // -0 is not west
    };
    for (const auto& c : cases)
        EXPECT_EQ(CBaiduToConvert::JudgeQuadrant(c.lon, c.lat), c.expected) << c.lon << ", " << c.lat;
}

TEST(BaiduToConvert, ResolutionsAndGridOffsets)
{
    // res(z) = 2^(18 - z) inside 1..19, -1 outside.
    const struct {
        int z;
        double res;
    } resolutions[] = {{0, -1}, {1, 131072}, {17, 2}, {18, 1}, {19, 0.5}, {20, -1}, {-5, -1}};
    for (const auto& r : resolutions)
        EXPECT_EQ(CBaiduToConvert::BdRes(r.z), r.res) << r.z;

    // Offsets h(z) - n(z): the grids agree at zooms 1 and 2; at 18, 131072 - 78272.
    const struct {
        int z;
        int offset;
    } offsets[] = {{1, 0}, {2, 0}, {3, 1}, {18, 52800}, {19, 105600}};
    for (const auto& o : offsets) {
        EXPECT_EQ(CBaiduToConvert::CheckTileCoordIsValid(0, 0, o.z), o.offset) << o.z;
        EXPECT_EQ(CBaiduToConvert::CheckTileCoordIsValid(123, -7, o.z), o.offset) << "tile ignored";
    }
}

TEST(BaiduToConvert, PointToTileLeavesPointsWithoutQuadrantAndLevelOneAlone)
{
    int gx = 7, gy = 7;
    double px = 7, py = 7;
    CBaiduToConvert::BdPointToTile(-10.0, 0.0, gx, gy, px, py, 12);  // west on the equator
    EXPECT_EQ(std::make_tuple(gx, gy, px, py), std::make_tuple(-1, -1, -1.0, -1.0));
    gx = gy = 7;
    px = py = 7;
    CBaiduToConvert::BdPointToTile(116.4, 39.9, gx, gy, px, py, 1);
    EXPECT_EQ(std::make_tuple(gx, gy, px, py), std::make_tuple(7, 7, 7.0, 7.0));
    EXPECT_TRUE(CBaiduToConvert::GetBdPointFromTile(1, 1, 1).isEmpty());

    // Deep and nonsensical levels and zooms stay defined.
    CBaiduToConvert::BdPointToTile(116.4, 39.9, gx, gy, px, py, 64);
    CBaiduToConvert::BdPointToTile(-179.9, -83.0, gx, gy, px, py, 2147483647);
    int hx = 0, hy = 0;
    CBaiduToConvert::BdTileToGeneralTile(2147483647, -2147483647, 200, hx, hy, Q::QUADRANT_SOUTH_WEST);
    QString bx, by;
    CBaiduToConvert::GeneralTileToBdTile(-2147483647 - 1, -2147483647 - 1, 0, bx, by);
    CBaiduToConvert::GeneralTileToBdTile(-2147483647 - 1, 3, 18, bx, by);
    EXPECT_EQ(bx, QStringLiteral("-2147561921"));  // -2^31 - 78272 - 1 does not wrap
}

// The tile a point falls in, seen two ways: BdPointToTile's general tile and pixel offset, and the
// BD-09 corners GetBdPointFromTile gives back for that general tile. They must agree in every
// quadrant and at every level, which pins down the quadrant rules and the grid offsets.
TEST(BaiduToConvert, PointToTileAgreesWithTheCornersOfItsTile)
{
    std::mt19937 rng(4242);
    std::uniform_real_distribution<double> lon(0.001, 179.0);
    std::uniform_real_distribution<double> lat(0.001, 80.0);
    for (int level = 2; level <= 20; ++level) {
        const int z = level - 1;
        const double res = CBaiduToConvert::BdRes(z);
        for (int i = 0; i < 200; ++i) {
            const double sx = (i & 1) ? -1.0 : 1.0;
            const double sy = (i & 2) ? -1.0 : 1.0;
            const QPointF bd(sx * lon(rng), sy * lat(rng));
            int gx = 0, gy = 0;
            double px = 0, py = 0;
            CBaiduToConvert::BdPointToTile(bd.x(), bd.y(), gx, gy, px, py, level);
            SCOPED_TRACE(testing::Message() << "level " << level << " point " << bd.x() << ", " << bd.y());
            ASSERT_GE(px, 0.0);
            ASSERT_LE(px, 256.0);
            ASSERT_GE(py, 0.0);
            ASSERT_LE(py, 256.0);
            const QList<QPointF> corners = CBaiduToConvert::GetBdPointFromTile(gx, gy, level);
            ASSERT_EQ(corners.size(), 2);
            const QPointF& sw = corners[0];
            const QPointF& ne = corners[1];
            // The corners come from the inverse projection, so compare with the point as the grid
            // sees it (its own metres taken back through the inverse).
            const QPointF m = CBaiduToConvert::BdLngLatToMercator(bd);
            const QPointF seen = CBaiduToConvert::MercatorToBdLngLat(m);
            const double slack = 1e-9;
            EXPECT_LE(sw.x(), seen.x() + slack);
            EXPECT_GE(ne.x(), seen.x() - slack);
            EXPECT_LE(sw.y(), seen.y() + slack);
            EXPECT_GE(ne.y(), seen.y() - slack);
            // The column offset measured from the west corner.
            const double west = CBaiduToConvert::BdLngLatToMercator(QPointF(sw.x(), 10.0)).x();
            EXPECT_NEAR(px, (m.x() - west) / res, 0.05);  // the tables' fit error, within 2.5 cm
        }
    }
}

TEST(BaiduToConvert, TileCornersAtZoomOne)
{
    // Four Baidu tiles of 256 x 131072 metres around the origin; general tile (2, 1) is Baidu (0, 0).
    const QList<QPointF> ne = CBaiduToConvert::GetBdPointFromTile(2, 1, 2);
    ASSERT_EQ(ne.size(), 2);
    EXPECT_NEAR(ne[0].x(), 0.0, 1e-6);
    EXPECT_NEAR(ne[0].y(), 0.0, 1e-6);
    const QPointF far = CBaiduToConvert::MercatorToBdLngLat(QPointF(256 * 131072.0, 256 * 131072.0));
    EXPECT_NEAR(ne[1].x(), far.x(), 1e-9);
    EXPECT_NEAR(ne[1].y(), far.y(), 1e-9);
    const QList<QPointF> sw = CBaiduToConvert::GetBdPointFromTile(1, 2, 2);
    ASSERT_EQ(sw.size(), 2);
    EXPECT_NEAR(sw[0].x(), -far.x(), 1e-9);
    EXPECT_NEAR(sw[1].x(), 0.0, 1e-6);
    EXPECT_TRUE(CBaiduToConvert::GetBdPointFromTile(3, 1, 2).isEmpty());  // beyond the grid
}
