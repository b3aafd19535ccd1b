#include "tile/MercatorTileModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>

namespace {

const double kPi = 3.14159265358979323846;
const double kMaxLat = 85.05112877980655;

// The slippy-map tile formula of common web map libraries.
long long SlippyX(double lon, int z)
{
    return static_cast<long long>(std::floor((lon + 180.0) / 360.0 * std::ldexp(1.0, z)));
}

double SlippyYFraction(double lat, int z)
{
    const double r = lat * kPi / 180.0;
    return (1.0 - std::asinh(std::tan(r)) / kPi) / 2.0 * std::ldexp(1.0, z);
}

// Northern edge of slippy row y.
double SlippyRowLatitude(long long y, int z)
{
    return std::atan(std::sinh(kPi * (1.0 - 2.0 * static_cast<double>(y) / std::ldexp(1.0, z)))) * 180.0 / kPi;
}

}  // namespace

TEST(MercatorTileModel, KeysAgreeWithSlippyMapTiles)
{
    const CMercatorTileModel m;
    std::mt19937_64 rng(20240611);
    std::uniform_real_distribution<double> lonDist(-180.0, 180.0);
    std::uniform_real_distribution<double> latDist(-kMaxLat, kMaxLat);
    int checked = 0;
    for (int i = 0; i < 8000; ++i) {
        const int z = i < 1000 ? static_cast<int>(i % 23) : static_cast<int>(rng() % 31);
        const double lon = lonDist(rng);
        const double lat = latDist(rng);
        const double fx = (lon + 180.0) / 360.0 * std::ldexp(1.0, z) * 256.0;
        const double fy = SlippyYFraction(lat, z) * 256.0;
        const double mx = std::fmod(fx, 256.0), my = std::fmod(fy, 256.0);
        // Away from borders by more than the row tie-break (0.001 pixel) and rounding.
        if (mx < 0.05 || mx > 255.95 || my < 0.05 || my > 255.95)
            continue;
        ++checked;
        const long long x = SlippyX(lon, z);
        const long long y = static_cast<long long>(std::floor(SlippyYFraction(lat, z)));
        const CTileKey k = m.MakeKey(z, lon, lat);
        ASSERT_EQ(k.GetTileModel(), TILE_MODEL_MERCATOR);
        ASSERT_EQ(k.GetTileX(), x) << "z " << z << " lon " << lon << " lat " << lat;
        ASSERT_EQ(k.GetTileY(), y) << "z " << z << " lon " << lon << " lat " << lat;
        ASSERT_FALSE(m.IsCrossTileX(z, lon) && mx > 1 && mx < 255);
        // The tile's extents: geographic edges from the independent inverse, pixels by the tile size.
        const CExtent g = m.GetGeoExtent(k);
        const double tol = 1e-9 * std::ldexp(360.0, -z) + 1e-12;
        ASSERT_NEAR(g.minx, x * 360.0 / std::ldexp(1.0, z) - 180.0, tol);
        ASSERT_NEAR(g.maxy, SlippyRowLatitude(y, z), 1e-9);
        ASSERT_NEAR(g.miny, SlippyRowLatitude(y + 1, z), 1e-9);
        ASSERT_TRUE(g.PtInExtent(lon, lat));
        int px = 0, py = 0;
        ASSERT_TRUE(m.CalculateLocalPixelCoordinate(px, py, z, lon, lat));
        ASSERT_EQ(px, static_cast<int>(mx));
        ASSERT_EQ(py, static_cast<int>(my));
    }
    EXPECT_GT(checked, 7000);
}

TEST(MercatorTileModel, BordersExactlyOnTileEdges)
{
    const CMercatorTileModel m;
    std::mt19937_64 rng(42);
    for (int i = 0; i < 3000; ++i) {
        const int z = static_cast<int>(rng() % 31);
        const long long n = 1LL << z;
        const long long x = static_cast<long long>(rng() % n);
        const long long y = static_cast<long long>(rng() % n);
        // The western edge of column x belongs to column x; so does the northern edge of row y.
        const double lon = x * (360.0 / static_cast<double>(n)) - 180.0;
        ASSERT_EQ(m.GetTileX(z, lon), x) << z << " " << x;
        ASSERT_TRUE(m.IsCrossTileX(z, lon));
        const double lat = SlippyRowLatitude(y, z);
        ASSERT_EQ(m.GetTileY(z, lat), y) << z << " " << y << " " << lat;
        ASSERT_TRUE(m.IsCrossTileY(z, lat));
        // The model's own edge latitude lands in the same row.
        ASSERT_EQ(m.GetTileY(z, m.GetLatitudeViaY(z, static_cast<int>(y))), y);
        ASSERT_EQ(m.MakeKey(z, lon, lat), CTileKey(z, static_cast<int>(x), static_cast<int>(y), TILE_MODEL_MERCATOR));
    }
    // Last column and row of deep levels.
    for (int z : {22, 30}) {
        const int last = (1 << z) - 1;
        const CTileKey k = m.MakeKey(z, 180.0 - 1e-9, -kMaxLat + 1e-9);
        EXPECT_EQ(k.GetTileX(), last) << z;
        EXPECT_EQ(k.GetTileY(), last) << z;
        EXPECT_EQ(m.GetTileX(z, 180.0), last + 1);  // one past the end, clamped by MakeKey
        EXPECT_EQ(m.MakeKey(z, 180.0, 0.0).GetTileX(), last);
    }
}

TEST(MercatorTileModel, RowTieBreakPrecision)
{
    CMercatorTileModel m;
    const int z = 10;
    const int row = 300;
    // Pixel row of the border between rows 299 and 300 is 300 * 256; step north of it by d pixels.
    const auto latBefore = [&](double d) { return m.GetLatitudeViaPixelY(z, row * 256.0 - d); };
    struct Row {
        double precision, pixelsBefore;
        int expectedRow;
    };
    const Row rows[] = {
        {0.001, 0.0005, row},      // within the precision: already the next row
        {0.001, 0.01, row - 1},
        {0.001, 0.5, row - 1},
        {0.02, 0.01, row},         // a coarser precision takes it
        {0.02, 0.05, row - 1},
    };
    for (const Row& r : rows) {
        m.SetDefualtYPrecision(r.precision);
        EXPECT_EQ(m.GetTileY(z, latBefore(r.pixelsBefore)), r.expectedRow) << r.precision << " " << r.pixelsBefore;
        // The border test keeps the fixed 0.001 whatever the precision: before a border only that
        // close counts as crossing it.
        EXPECT_EQ(m.IsCrossTileY(z, latBefore(r.pixelsBefore)), r.pixelsBefore <= 0.001);
    }
    m.SetDefualtYPrecision(0.001);
    EXPECT_FALSE(m.IsCrossTileY(z, latBefore(100.0)));
    EXPECT_TRUE(m.IsCrossTileY(z, latBefore(-0.5)));  // half a pixel past the border
}

TEST(MercatorTileModel, PolesAndTheMercatorLimit)
{
    CMercatorTileModel m;
    for (int z : {0, 1, 3, 22, 30}) {
        const int last = (1 << z) - 1;
        SCOPED_TRACE(z);
        m.SetLeftTopUP(true);
        // Exactly at the poles: the first or the last row, never an infinite value as integer.
        EXPECT_EQ(m.GetTileY(z, 90.0), 0);
        EXPECT_EQ(m.GetTileY(z, -90.0), last);
        EXPECT_FALSE(m.IsCrossTileY(z, 90.0));
        EXPECT_EQ(m.MakeKey(z, 0.0, 90.0).GetTileY(), 0);
        EXPECT_EQ(m.MakeKey(z, 0.0, -90.0).GetTileY(), last);
        EXPECT_EQ(m.MakeKey(z, 0.0, 89.0).GetTileY(), 0);
        EXPECT_EQ(m.MakeKey(z, 0.0, -89.0).GetTileY(), last);
        EXPECT_EQ(m.MakeKey(z, 0.0, kMaxLat).GetTileY(), 0);
        EXPECT_EQ(m.MakeKey(z, 0.0, -kMaxLat).GetTileY(), last);
        int px = -1, py = -1;
        EXPECT_TRUE(m.CalculateLocalPixelCoordinate(px, py, z, 0.0, 90.0));
        EXPECT_GE(py, 0);
        EXPECT_LE(py, 256);
        m.SetLeftTopUP(false);
        EXPECT_EQ(m.GetTileY(z, 90.0), last);
        EXPECT_EQ(m.GetTileY(z, -90.0), 0);
        EXPECT_EQ(m.MakeKey(z, 0.0, -89.0).GetTileY(), 0);
    }
    m.SetLeftTopUP(true);
    // Beyond the limit but short of the pole: a row outside the level.
    EXPECT_LT(m.GetTileY(3, 89.0), 0);
    EXPECT_GT(m.GetTileY(3, -89.0), 7);
    EXPECT_TRUE(std::isinf(m.ConvertLatitudeToMercatorUnit(90.0)));
    EXPECT_TRUE(std::isinf(m.ConvertLatitudeToMercatorUnit(-90.0)));
    EXPECT_NEAR(m.ConvertLatitudeToMercatorUnit(kMaxLat), 1.0, 1e-12);
    EXPECT_NEAR(m.GetLatitudeViaY(5, 0), kMaxLat, 1e-9);
    EXPECT_NEAR(m.GetLatitudeViaY(5, 32), -kMaxLat, 1e-9);

    // Ranges clamp the extent to the Mercator rectangle before computing rows.
    for (int z : {0, 1, 2, 5, 22}) {
        int r = -1, c = -1, rc = -1, cc = -1;
        EXPECT_TRUE(m.GetRowColInfo(r, c, rc, cc, CExtent(-180, -90, 180, 90), z));
        EXPECT_EQ(std::make_tuple(r, c, rc, cc), std::make_tuple(0, 0, 1 << z, 1 << z)) << z;
    }
}

TEST(MercatorTileModel, RangesOfExtents)
{
    const CMercatorTileModel m;
    struct Row {
        const char* what;
        EXTENT e;
        int level;
        int startRow, startCol, rowCount, colCount;
    };
    const Row rows[] = {
        {"western half", {-180, -80, 0, 80}, 1, 0, 0, 2, 1},
        {"zero width on the meridian", {0, 10, 0, 20}, 2, 1, 2, 1, 1},
        {"northern hemisphere edge on the equator", {10, 0, 20, 80}, 1, 0, 1, 1, 1},
        {"southern hemisphere edge on the equator", {10, -80, 20, 0}, 1, 1, 1, 1, 1},
        {"Beijing at level 12", {116.391, 39.907, 116.391, 39.907}, 12, 1552, 3372, 1, 1},  // slippy 3372.27, 1552.04
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        int startRow = -9, startCol = -9, rowCount = -9, colCount = -9;
        m.GetRowColInfo(startRow, startCol, rowCount, colCount, r.e, r.level);
        EXPECT_EQ(std::make_tuple(startRow, startCol, rowCount, colCount),
                  std::make_tuple(r.startRow, r.startCol, r.rowCount, r.colCount));
        CTileKey lo, hi;
        m.GetTileBound(lo, hi, r.e, r.level);
        EXPECT_EQ(lo.GetTileModel(), TILE_MODEL_MERCATOR);
        EXPECT_EQ(lo, CTileKey(r.level, r.startCol, r.startRow, TILE_MODEL_MERCATOR));
    }
    // Growing an extent to whole tiles gives back exactly the tiles' edges.
    const CExtent grown = m.ExpandExtendAlignTile(CExtent(116.3, 39.8, 116.5, 40.0), 10);
    const CExtent first = m.GetGeoExtent(m.MakeKey(10, 116.3, 40.0));
    const CExtent last = m.GetGeoExtent(m.MakeKey(10, 116.5, 39.8));
    EXPECT_EQ(grown, first + last);
    EXPECT_TRUE(grown.Contain(CExtent(116.3, 39.8, 116.5, 40.0)));
}

TEST(MercatorTileModel, ConversionsRoundTrip)
{
    const CMercatorTileModel m;
    EXPECT_DOUBLE_EQ(m.GetResolutionX(0), 156543.03392804097);
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> lonDist(-180.0, 180.0);
    std::uniform_real_distribution<double> latDist(-kMaxLat, kMaxLat);
    for (int i = 0; i < 2000; ++i) {
        const int z = static_cast<int>(rng() % 23);
        const double lon = lonDist(rng), lat = latDist(rng);
        double mx = 0, my = 0, x = 0, y = 0;
        m.ProjectGeoToMeter(mx, my, lon, lat);
        // Independent spherical Web Mercator: R = 6378137 m.
        ASSERT_NEAR(mx, 6378137.0 * lon * kPi / 180.0, 1e-6);
        ASSERT_NEAR(my, 6378137.0 * std::log(std::tan(kPi / 4 + lat * kPi / 360.0)), 1e-6);
        m.ProjectMeterToGeo(x, y, mx, my);
        ASSERT_NEAR(x, lon, 1e-9);
        ASSERT_NEAR(y, lat, 1e-9);
        double ux = 0, uy = 0;
        m.ConvertGeoToMercatorUnit(ux, uy, lon, lat);
        ASSERT_NEAR(ux * 20037508.342789244, mx, 1e-6);
        ASSERT_NEAR(uy * 20037508.342789244, my, 1e-6);
        m.ConvertMercatorToGeoUnit(x, y, ux, uy);
        ASSERT_NEAR(y, lat, 1e-9);
        ASSERT_NEAR(m.ConvertMercatorToLatitude(m.ConvertLatitudeToMercator(lat)), uy, 1e-12);
        ASSERT_NEAR(m.ConvertMercatorToLatitudeUnit(m.ConvertLatitudeToMercatorUnit(lat)), lat, 1e-9);
        const double py = m.GetPixelY(z, lat);
        ASSERT_NEAR(m.GetLatitudeViaPixelY(z, py), lat, 1e-9);
        ASSERT_NEAR(m.GetMeterYViaPixel(z, py), my, 1e-5);
        ASSERT_NEAR(m.GetPixelYViaMeter(z, my), py, 1e-6 * (1 + py));
        const double px = m.GetPixelX(z, lon);
        ASSERT_NEAR(m.GetMeterXViaPixel(z, px), mx, 1e-5);
        ASSERT_NEAR(m.GetPixelXViaMeter(z, mx), px, 1e-6 * (1 + px));
    }
}
