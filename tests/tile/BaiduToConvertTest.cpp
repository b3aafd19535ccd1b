#include "tile/BaiduToConvert.h"

#include "tile/BaiduTileModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>

namespace {

using Q = CBaiduToConvert::Quadrant;

// Metres between two nearby points given in degrees (equirectangular, ample for centimetres).
double Metres(const QPointF& a, const QPointF& b)
{
    const double k = 6378137.0 * 3.14159265358979323846 / 180.0;
    return std::hypot((a.x() - b.x()) * k * std::cos(a.y() * 3.14159265358979323846 / 180.0), (a.y() - b.y()) * k);
}

QPointF RoundTrip(const QPointF& bd)
{
    return CBaiduToConvert::MercatorToBdLngLat(CBaiduToConvert::BdLngLatToMercator(bd));
}

}  // namespace

// Baidu's forward and inverse tables are separate fits, so a round trip returns the fit error: about
// a centimetre south of 44.5 degrees and up to about a quarter metre across the 45..60 band, which
// holds north-east China; a western point keeps its sign with the same accuracy. Every southern
// latitude takes the equatorial row and does not come back.
TEST(BaiduToConvert, ProjectionRoundTripsQuadrantsResolutionsGridOffsetsAndPointsWithoutATile)
{
    double worst[2] = {0.0, 0.0};
    for (double lon = -135.0; lon <= 135.0; lon += 1.37)
        for (double lat = 0.5; lat <= 60.0; lat += 0.29) {
            const QPointF back = RoundTrip(QPointF(lon, lat));
            worst[lat > 44.5] = std::max(worst[lat > 44.5], Metres(QPointF(lon, lat), back));
            ASSERT_EQ(back.x() < 0, lon < 0) << lon;
        }
    EXPECT_TRUE(worst[0] < 0.04 && worst[1] < 0.3) << worst[0] << " " << worst[1];
    EXPECT_NEAR(RoundTrip(QPointF(151.2, -33.87)).y(), -33.8667, 0.0005);
    EXPECT_GT(Metres(QPointF(10.0, -50.0), RoundTrip(QPointF(10.0, -50.0))), 1000.0);
    const struct { double lon, lat; Q expected; } quadrants[] = {
        {0, 0, Q::QUADRANT_NORTH_EAST},  {0, 10, Q::QUADRANT_NORTH_EAST},  // the origin, the meridian in the north
        {10, 0, Q::QUADRANT_NORTH_EAST}, {-10, 0, Q::QUADRANT_NONE},       // on the equator in the east, in the west
        {10, -10, Q::QUADRANT_SOUTH_EAST}, {-10, -10, Q::QUADRANT_SOUTH_WEST}, {-10, 10, Q::QUADRANT_NORTH_WEST},
        {0, -10, Q::QUADRANT_NONE}, {-0.0, 10, Q::QUADRANT_NORTH_EAST},  // on the meridian in the south; -0 is not west
    };
    for (const auto& c : quadrants)
        EXPECT_EQ(CBaiduToConvert::JudgeQuadrant(c.lon, c.lat), c.expected) << c.lon << ", " << c.lat;
    // res(z) = 2^(18 - z) inside 1..19, -1 outside; grid offsets h(z) - n(z) inside: none at zooms 1
    // and 2, at 18 131072 - 78272.
    const struct { int z; double res; int offset; } levels[] = {
        {0, -1, 0}, {1, 131072, 0}, {2, 65536, 0}, {3, 32768, 1}, {18, 1, 52800}, {19, 0.5, 105600}, {20, -1, 0},
    };
    for (const auto& r : levels) {
        EXPECT_EQ(CBaiduToConvert::BdRes(r.z), r.res) << r.z;
        EXPECT_TRUE(r.res < 0 || CBaiduToConvert::CheckTileCoordIsValid(123, -7, r.z) == r.offset) << r.z;
    }
    // Points without a quadrant, and level 1, are left alone or get the failure values.
    int gx = 7, gy = 7;
    double px = 7, py = 7;
    CBaiduToConvert::BdPointToTile(116.4, 39.9, gx, gy, px, py, 1);
    EXPECT_EQ(std::make_tuple(gx, gy, px, py), std::make_tuple(7, 7, 7.0, 7.0));
    CBaiduToConvert::BdPointToTile(-10.0, 0.0, gx, gy, px, py, 12);  // west on the equator
    EXPECT_EQ(std::make_tuple(gx, gy, px, py), std::make_tuple(-1, -1, -1.0, -1.0));
    EXPECT_TRUE(CBaiduToConvert::GetBdPointFromTile(1, 1, 1).isEmpty());
    EXPECT_TRUE(CBaiduToConvert::GetBdPointFromTile(3, 1, 2).isEmpty());  // beyond the grid
    double minx = 1, miny = 1, maxx = 1, maxy = 1;
    EXPECT_FALSE(CBaiduToConvert::GetBdLBFromTile(3, 1, 2, minx, miny, maxx, maxy));
    EXPECT_EQ(CExtent(minx, miny, maxx, maxy), CExtent());
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

// The tile a point falls in, seen three ways: BdPointToTile's general tile and pixel offset, the
// BD-09 corners GetBdPointFromTile gives back for that general tile, and (in China) the Baidu tile
// model's key one level up, under which the application stores that Baidu tile. They must agree in
// every quadrant and at every level, which pins down the quadrant rules and the grid offsets.
TEST(BaiduToConvert, PointToTileAgreesWithTheCornersOfItsTileAndTheModelsKey)
{
    const CBaiduTileModel model;
    std::mt19937 rng(4242);
    std::uniform_real_distribution<double> lon(0.001, 179.0), lat(0.001, 80.0), chinaLon(73.5, 134.5),
        chinaLat(18.2, 53.5);
    int keys = 0, crossing = 0;
    for (int level = 2; level <= 20; ++level) {
        const double res = CBaiduToConvert::BdRes(level - 1);
        for (int i = 0; i < 200; ++i) {
            const QPointF bd = (i & 3) ? QPointF((i & 1) ? -lon(rng) : lon(rng), (i & 2) ? -lat(rng) : lat(rng))
                                       : QPointF(chinaLon(rng), chinaLat(rng));
            int gx = 0, gy = 0;
            double px = 0, py = 0;
            CBaiduToConvert::BdPointToTile(bd.x(), bd.y(), gx, gy, px, py, level);
            SCOPED_TRACE(testing::Message() << "level " << level << " point " << bd.x() << ", " << bd.y());
            ASSERT_TRUE(px >= 0.0 && px <= 256.0 && py >= 0.0 && py <= 256.0) << px << " " << py;
            double minx = 0, miny = 0, maxx = 0, maxy = 0;
            ASSERT_TRUE(CBaiduToConvert::GetBdLBFromTile(gx, gy, level, minx, miny, maxx, maxy));
            // The corners come from the inverse projection, so compare with the point as the grid
            // sees it (its own metres taken back through the inverse).
            const QPointF m = CBaiduToConvert::BdLngLatToMercator(bd);
            const QPointF seen = CBaiduToConvert::MercatorToBdLngLat(m);
            EXPECT_TRUE(CExtent(minx, miny, maxx, maxy).PtInExtent(seen.x(), seen.y()));
            // The column offset measured from the west corner.
            const double west = CBaiduToConvert::BdLngLatToMercator(QPointF(minx, 10.0)).x();
            EXPECT_NEAR(px, (m.x() - west) / res, 0.05);  // the tables' fit error, within 2.5 cm
            // Away from the tile's borders (within 1e-4 tile the two ways may honestly differ).
            if ((i & 3) || level < 4 || level > 19 || std::min({px, py, 256 - px, 256 - py}) < 0.03)
                continue;
            const CTileKey key = model.MakeKey(level - 1, bd.x(), bd.y());
            EXPECT_EQ(key, CTileKey(level - 1, gx - 1, gy - 1, TILE_MODEL_MERCATOR));
            EXPECT_EQ(key.GetTileModel(), TILE_MODEL_MERCATOR);
            const CExtent g = model.GetGeoExtent(key);
            EXPECT_TRUE(CExtent(g.minx - 1e-6, g.miny - 1e-6, g.maxx + 1e-6, g.maxy + 1e-6).PtInExtent(bd.x(), bd.y()));
            crossing += model.IsCrossTileX(level - 1, bd.x()) ? 1 : 0;  // within a pixel of a column border
            ++keys;
        }
    }
    EXPECT_TRUE(keys > 600 && crossing < keys / 20) << keys << " keys, " << crossing << " crossing";
}
