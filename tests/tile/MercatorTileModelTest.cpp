#include "tile/MercatorTileModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>

namespace {

const double kMaxLat = 85.05112877980655;

CTileKey M(int level, int x, int y) { return CTileKey(level, x, y, TILE_MODEL_MERCATOR); }

}  // namespace

// Tiles, in-tile pixels and row edges of the usual slippy-map numbering, worked out independently.
TEST(MercatorTileModel, KeysPixelsAndEdgesAtReferencePoints)
{
    const CMercatorTileModel m;
    const struct { int z; double lon, lat; int x, y, px, py; double north, south; } rows[] = {
        {12, 116.391, 39.907, 3372, 1552, 69, 10, 39.909736234537, 39.842286020743},  // Beijing
        {1, -0.1, 0.1, 0, 0, 255, 255, kMaxLat, 0.0},  // just north-west of the origin
        {5, -73.9857, 40.7484, 9, 12, 108, 6, 40.979898069620, 31.952162238025},
        {18, 151.2093, -33.8688, 241179, 157310, 64, 149, -33.868135032969, -33.869275299571},
        {22, -179.99, -85.0, 116, 4187434, 130, 22, -84.999999345734, -85.000006826367},
        {30, 2.2945, 48.8584, 543714524, 369389525, 209, 17, 48.858400014802, 48.858399794217},
        {30, 179.9999999, 85.05, 1073741823, 39022, 179, 98, 85.050000011170, 85.049999982240},  // last column
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "z " << r.z << " " << r.lon << ", " << r.lat);
        const CTileKey k = m.MakeKey(r.z, r.lon, r.lat);
        EXPECT_EQ(k, M(r.z, r.x, r.y));
        EXPECT_EQ(k.GetTileModel(), TILE_MODEL_MERCATOR);
        int px = 0, py = 0;
        EXPECT_TRUE(m.CalculateLocalPixelCoordinate(px, py, r.z, r.lon, r.lat));
        EXPECT_EQ(std::make_pair(px, py), std::make_pair(r.px, r.py));
        const CExtent g = m.GetGeoExtent(k);
        EXPECT_TRUE(std::abs(g.maxy - r.north) < 1e-9 && std::abs(g.miny - r.south) < 1e-9) << g.maxy << " " << g.miny;
        EXPECT_NEAR(m.GetLatitudeViaY(r.z, r.y), r.north, 1e-9);
        EXPECT_TRUE(g.PtInExtent(r.lon, r.lat));
    }
    double mx = 0, my = 0;
    m.ProjectGeoToMeter(mx, my, 116.391, 39.907);
    EXPECT_NEAR(mx, 12956586.852919903, 1e-6);
    EXPECT_NEAR(my, 4852436.961991247, 1e-6);
    EXPECT_DOUBLE_EQ(m.GetResolutionX(0), 156543.03392804097);
}

// Random points at every level: the key's tile holds the point, and every conversion comes back.
TEST(MercatorTileModel, KeysHoldTheirPointsAndConversionsRoundTrip)
{
    const CMercatorTileModel m;
    std::mt19937_64 rng(20240611);
    std::uniform_real_distribution<double> lonDist(-180.0, 180.0), latDist(-kMaxLat, kMaxLat);
    for (int i = 0; i < 3000; ++i) {
        const int z = static_cast<int>(rng() % 31);
        const double lon = lonDist(rng), lat = latDist(rng);
        const double px = m.GetPixelX(z, lon), py = m.GetPixelY(z, lat);
        SCOPED_TRACE(testing::Message() << "z " << z << " " << lon << ", " << lat);
        const bool clear = std::fmod(py, 256.0) > 0.01 && std::fmod(py, 256.0) < 255.99;  // of the row tie-break
        ASSERT_TRUE(!clear || m.GetGeoExtent(m.MakeKey(z, lon, lat)).PtInExtent(lon, lat));
        double mx = 0, my = 0, x = 0, y = 0, ux = 0, uy = 0, x2 = 0, y2 = 0;
        m.ProjectGeoToMeter(mx, my, lon, lat);
        m.ProjectMeterToGeo(x, y, mx, my);
        m.ConvertGeoToMercatorUnit(ux, uy, lon, lat);
        m.ConvertMercatorToGeoUnit(x2, y2, ux, uy);
        ASSERT_TRUE(std::abs(x - lon) < 1e-9 && std::abs(y - lat) < 1e-9 && std::abs(y2 - lat) < 1e-9) << x << " " << y;
        ASSERT_NEAR(ux * 20037508.342789244, mx, 1e-6);
        ASSERT_NEAR(uy * 20037508.342789244, my, 1e-6);
        ASSERT_NEAR(m.ConvertMercatorToLatitude(m.ConvertLatitudeToMercator(lat)), uy, 1e-12);
        ASSERT_NEAR(m.GetLatitudeViaPixelY(z, py), lat, 1e-9);
        ASSERT_NEAR(m.GetMeterYViaPixel(z, py), my, 1e-5);
        ASSERT_NEAR(m.GetPixelYViaMeter(z, my), py, 1e-6 * (1 + py));
        ASSERT_NEAR(m.GetMeterXViaPixel(z, px), mx, 1e-5);
        ASSERT_NEAR(m.GetPixelXViaMeter(z, mx), px, 1e-6 * (1 + px));
    }
}

TEST(MercatorTileModel, BordersExactlyOnTileEdges)
{
    const CMercatorTileModel m;
    std::mt19937_64 rng(42);
    for (int i = 0; i < 3000; ++i) {
        const int z = static_cast<int>(rng() % 31);
        const long long n = 1LL << z;
        const int x = static_cast<int>(rng() % n), y = static_cast<int>(rng() % n);
        // The western edge of column x belongs to column x; so does the northern edge of row y.
        const double lon = x * (360.0 / static_cast<double>(n)) - 180.0, lat = m.GetLatitudeViaY(z, y);
        ASSERT_EQ(std::make_pair(m.GetTileX(z, lon), m.GetTileY(z, lat)), std::make_pair(x, y)) << z << " " << lat;
        ASSERT_TRUE(m.IsCrossTileX(z, lon) && m.IsCrossTileY(z, lat));
        ASSERT_EQ(m.MakeKey(z, lon, lat), M(z, x, y));
    }
    for (int z : {22, 30}) {
        const int last = (1 << z) - 1;
        EXPECT_EQ(m.MakeKey(z, 180.0 - 1e-9, -kMaxLat + 1e-9), M(z, last, last));
        EXPECT_EQ(m.GetTileX(z, 180.0), last + 1);  // one past the end, clamped by MakeKey
        EXPECT_EQ(m.MakeKey(z, 180.0, 0.0).GetTileX(), last);
    }
}

TEST(MercatorTileModel, RowTieBreakPrecision)
{
    CMercatorTileModel m;
    const int z = 10, row = 300;
    // Pixel row of the border between rows 299 and 300 is 300 * 256; step north of it by d pixels.
    const auto latBefore = [&](double d) { return m.GetLatitudeViaPixelY(z, row * 256.0 - d); };
    const struct { double precision, pixelsBefore; int expectedRow; } rows[] = {
        {0.001, 0.0005, row},  // within the precision: already the next row
        {0.001, 0.01, row - 1},
        {0.02, 0.01, row},     // a coarser precision takes it
        {0.02, 0.05, row - 1},
    };
    for (const auto& r : rows) {
        m.SetDefualtYPrecision(r.precision);
        EXPECT_EQ(m.GetTileY(z, latBefore(r.pixelsBefore)), r.expectedRow) << r.precision << " " << r.pixelsBefore;
        // The border test keeps the fixed 0.001 whatever the precision.
        EXPECT_EQ(m.IsCrossTileY(z, latBefore(r.pixelsBefore)), r.pixelsBefore <= 0.001);
    }
    m.SetDefualtYPrecision(0.001);
    EXPECT_FALSE(m.IsCrossTileY(z, latBefore(100.0)));
    EXPECT_TRUE(m.IsCrossTileY(z, latBefore(-0.5)));  // half a pixel past the border
}

TEST(MercatorTileModel, PolesAndTheMercatorLimit)
{
    CMercatorTileModel m;
    for (int z : {0, 1, 22, 30}) {
        const int last = (1 << z) - 1;
        SCOPED_TRACE(z);
        m.SetLeftTopUP(true);
        // Exactly at the poles: the first or the last row, never an infinite value as integer.
        EXPECT_EQ(std::make_pair(m.GetTileY(z, 90.0), m.GetTileY(z, -90.0)), std::make_pair(0, last));
        EXPECT_FALSE(m.IsCrossTileY(z, 90.0));
        EXPECT_EQ(m.MakeKey(z, 0.0, 89.0).GetTileY(), 0);
        EXPECT_EQ(m.MakeKey(z, 0.0, -kMaxLat).GetTileY(), last);
        int px = -1, py = -1;
        EXPECT_TRUE(m.CalculateLocalPixelCoordinate(px, py, z, 0.0, 90.0));
        EXPECT_TRUE(py >= 0 && py <= 256) << py;
        m.SetLeftTopUP(false);
        EXPECT_EQ(m.GetTileY(z, 90.0), last);
        EXPECT_EQ(m.MakeKey(z, 0.0, -89.0).GetTileY(), 0);
        // Ranges clamp the extent to the Mercator rectangle before computing rows.
        int r = -1, c = -1, rc = -1, cc = -1;
        EXPECT_TRUE(m.GetRowColInfo(r, c, rc, cc, CExtent(-180, -90, 180, 90), z));
        EXPECT_EQ(std::make_tuple(r, c, rc, cc), std::make_tuple(0, 0, 1 << z, 1 << z));
    }
    m.SetLeftTopUP(true);
    // Beyond the limit but short of the pole: a row outside the level.
    EXPECT_TRUE(m.GetTileY(3, 89.0) < 0 && m.GetTileY(3, -89.0) > 7);
    EXPECT_TRUE(std::isinf(m.ConvertLatitudeToMercatorUnit(-90.0)));
    EXPECT_NEAR(m.ConvertLatitudeToMercatorUnit(kMaxLat), 1.0, 1e-12);
    EXPECT_NEAR(m.ConvertMercatorToLatitudeUnit(-1.0), -kMaxLat, 1e-9);
    EXPECT_NEAR(m.GetLatitudeViaY(5, 32), -kMaxLat, 1e-9);
}

TEST(MercatorTileModel, RangesOfExtents)
{
    const CMercatorTileModel m;
    const struct { EXTENT e; int level, startRow, startCol, rowCount, colCount; } rows[] = {
        {{-180, -80, 0, 80}, 1, 0, 0, 2, 1},  // western half
        {{0, 10, 0, 20}, 2, 1, 2, 1, 1},      // zero width on the meridian
        {{10, 0, 20, 80}, 1, 0, 1, 1, 1},     // southern edge on the equator
        {{10, -80, 20, 0}, 1, 1, 1, 1, 1},    // northern edge on the equator
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.e.miny);
        int startRow = -9, startCol = -9, rowCount = -9, colCount = -9;
        m.GetRowColInfo(startRow, startCol, rowCount, colCount, r.e, r.level);
        EXPECT_EQ(std::make_tuple(startRow, startCol, rowCount, colCount),
                  std::make_tuple(r.startRow, r.startCol, r.rowCount, r.colCount));
        CTileKey lo, hi;
        m.GetTileBound(lo, hi, r.e, r.level);
        EXPECT_EQ(lo.GetTileModel(), TILE_MODEL_MERCATOR);
        EXPECT_EQ(lo, M(r.level, r.startCol, r.startRow));
        EXPECT_EQ(hi, M(r.level, r.startCol + r.colCount - 1, r.startRow + r.rowCount - 1));
    }
    // Growing an extent to whole tiles gives back exactly the tiles' edges.
    const CExtent grown = m.ExpandExtendAlignTile(CExtent(116.3, 39.8, 116.5, 40.0), 10);
    EXPECT_EQ(grown, m.GetGeoExtent(m.MakeKey(10, 116.3, 40.0)) + m.GetGeoExtent(m.MakeKey(10, 116.5, 39.8)));
}
