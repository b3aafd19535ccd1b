#include "tile/TileModel.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <tuple>
#include <utility>

namespace {

// Independent equirectangular tiling (2 x 1 tiles at level 1, rows from the north).
long long GeoColumn(double lon, int z)
{
    return static_cast<long long>(std::floor((lon + 180.0) / 360.0 * std::ldexp(1.0, z)));
}

long long GeoRowFromNorth(double lat, int z)
{
    return z < 1 ? 0 : static_cast<long long>(std::floor((90.0 - lat) / 180.0 * std::ldexp(1.0, z - 1)));
}

}  // namespace

TEST(TileModel, TileCountsPerLevel)
{
    const CTileModel m;
    struct Row {
        int level, nx, ny;
    };
    const Row rows[] = {{-3, 1, 1}, {0, 1, 1}, {1, 2, 1}, {3, 8, 4}, {22, 1 << 22, 1 << 21}, {30, 1 << 30, 1 << 29}};
    for (const Row& r : rows) {
        EXPECT_EQ(m.GetNumberTileX(r.level), r.nx) << r.level;
        EXPECT_EQ(m.GetNumberTileY(r.level), r.ny) << r.level;
        // Each tile spans one stride; all tiles span the model's rectangle.
        EXPECT_DOUBLE_EQ(m.GetTileXStride(r.level) * r.nx, 360.0);
        EXPECT_DOUBLE_EQ(m.GetTileYStride(r.level) * r.ny, 180.0);
        EXPECT_DOUBLE_EQ(m.GetResolutionX(r.level) * 256 * r.nx, 360.0);
    }
    EXPECT_EQ(m.GetNumberTileX(40), INT_MAX);  // saturated, not wrapped
    EXPECT_EQ(m.GetTileCount(3), 32);
    EXPECT_EQ(m.GetTileCount(30), INT_MAX);
}

TEST(TileModel, BordersBelongToTheEasternTile)
{
    const CTileModel m;
    struct Row {
        int level;
        double lon;
        int column;
        bool cross;
    };
    const Row rows[] = {
        {1, 0.0, 1, true},        // the meridian is the border of the two level-1 tiles
        {1, 45.0, 1, false},
        {1, -180.0, 0, true},     // western edge of the world
        {1, 180.0, 2, true},      // one past the last column
        {3, 180.0, 8, true},
        {3, 135.0, 7, true},      // western edge of the last column
        {3, 134.99999, 6, false}, // just before a border: the western tile, not crossing
        {3, 130.0, 6, false},
        {3, 135.1, 7, true},      // less than one pixel (0.176 degrees) past a border
        {0, 179.0, 0, false},
        {0, -180.0, 0, true},
        {22, -180.0 + 360.0 / (1 << 22) * 12345, 12345, true},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(m.GetTileX(r.level, r.lon), r.column) << r.level << " " << r.lon;
        EXPECT_EQ(m.IsCrossTileX(r.level, r.lon), r.cross) << r.level << " " << r.lon;
    }
    // The antimeridian column is clamped into the level by MakeKey.
    EXPECT_EQ(m.MakeKey(3, 180.0, 0.0).GetTileX(), 7);
    EXPECT_EQ(m.MakeKey(3, -180.0, 0.0).GetTileX(), 0);
}

TEST(TileModel, RowsCountFromTheNorthWithLeftTopUp)
{
    CTileModel m;
    struct Row {
        bool leftTopUp;
        int level;
        double lat;
        int row;
    };
    const Row rows[] = {
        {true, 2, 89.9, 0},   {true, 2, -89.9, 1},  {false, 2, 89.9, 1}, {false, 2, -89.9, 0},
        {true, 2, 0.0, 1},    // the equator is a border: the southern row
        {false, 2, 0.0, 1},   // counted from the south it is the northern row
        {true, 1, 90.0, 0},   {true, 1, -90.0, 1},  // the south pole is one past the last row
        {true, 0, 45.0, 0},   {true, 3, 45.0, 1},   {true, 3, 44.0, 1},
    };
    for (const Row& r : rows) {
        m.SetLeftTopUP(r.leftTopUp);
        EXPECT_EQ(m.GetTileY(r.level, r.lat), r.row) << r.leftTopUp << " " << r.level << " " << r.lat;
    }
}

TEST(TileModel, RowColInfoDoesNotPullInTilesBeyondBorderEdges)
{
    CTileModel m;
    struct Row {
        const char* what;
        bool leftTopUp;
        EXTENT e;
        int level;
        int startRow, startCol, rowCount, colCount;
    };
    const Row rows[] = {
        {"north-east quarter", true, {0, 0, 180, 90}, 1, 0, 1, 1, 1},
        {"whole world", true, {-180, -90, 180, 90}, 1, 0, 0, 1, 2},
        {"whole world, level 3", true, {-180, -90, 180, 90}, 3, 0, 0, 4, 8},
        {"beyond the world is clamped", true, {-500, -100, 500, 100}, 3, 0, 0, 4, 8},
        {"east edge on a border", true, {-90, 10, 0, 20}, 2, 0, 1, 1, 1},
        {"zero width on a border", true, {0, 10, 0, 20}, 2, 0, 2, 1, 1},
        {"south and north edges on borders", true, {10, 0, 20, 45}, 3, 1, 4, 1, 1},
        {"south-up rows", false, {10, -45, 20, 45}, 3, 1, 4, 2, 1},
        {"level 0", true, {-10, -10, 10, 10}, 0, 0, 0, 1, 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        m.SetLeftTopUP(r.leftTopUp);
        int startRow = -9, startCol = -9, rowCount = -9, colCount = -9;
        EXPECT_TRUE(m.GetRowColInfo(startRow, startCol, rowCount, colCount, r.e, r.level));
        EXPECT_EQ(std::make_tuple(startRow, startCol, rowCount, colCount),
                  std::make_tuple(r.startRow, r.startCol, r.rowCount, r.colCount));
        CTileKey lo, hi;
        EXPECT_TRUE(m.GetTileBound(lo, hi, r.e, r.level));
        EXPECT_EQ(lo.GetTileModel(), TILE_MODEL_GEOGRAPHIC);
        EXPECT_EQ(std::make_pair(hi.GetTileX() - lo.GetTileX() + 1, hi.GetTileY() - lo.GetTileY() + 1),
                  std::make_pair(r.colCount, r.rowCount));
    }
}

TEST(TileModel, KeysAgreeWithIndependentEquirectangularTiling)
{
    CTileModel m;
    std::mt19937_64 rng(1234567);
    std::uniform_real_distribution<double> lonDist(-180.0, 180.0);
    std::uniform_real_distribution<double> latDist(-90.0, 90.0);
    int checked = 0;
    for (int i = 0; i < 5000; ++i) {
        const int z = static_cast<int>(rng() % 31);
        const double lon = lonDist(rng);
        const double lat = latDist(rng);
        // Skip points within 0.05 pixel of a border: there the border rules decide.
        const double fx = (lon + 180.0) / 360.0 * std::ldexp(1.0, z) * 256.0;
        const double fy = z < 1 ? 128.0 : (90.0 - lat) / 180.0 * std::ldexp(1.0, z - 1) * 256.0;
        const double mx = std::fmod(fx, 256.0), my = std::fmod(fy, 256.0);
        if (mx < 0.05 || mx > 255.95 || my < 0.05 || my > 255.95)
            continue;
        ++checked;
        const CTileKey k = m.MakeKey(z, lon, lat);
        ASSERT_EQ(k.GetTileX(), GeoColumn(lon, z)) << z << " " << lon << " " << lat;
        ASSERT_EQ(k.GetTileY(), GeoRowFromNorth(lat, z)) << z << " " << lon << " " << lat;
        const CExtent g = m.GetGeoExtent(k);
        ASSERT_TRUE(g.PtInExtent(lon, lat)) << z << " " << lon << " " << lat;
        const CExtent p = m.GetPixelExtent(k);
        ASSERT_EQ(p, CExtent(k.GetTileX() * 256.0, k.GetTileY() * 256.0, (k.GetTileX() + 1) * 256.0,
                             (k.GetTileY() + 1) * 256.0));
    }
    EXPECT_GT(checked, 4000);
}

TEST(TileModel, ExtentsOfKeysOfEitherFamily)
{
    const CTileModel m;
    const CExtent g = m.GetGeoExtent(CTileKey(2, 3, 1, TILE_MODEL_GEOGRAPHIC));
    EXPECT_EQ(g, CExtent(90, -90, 180, 0));
    EXPECT_EQ(m.GetGeoExtent(CTileKey(3, 4, 2, TILE_MODEL_MAPID)), g);
    EXPECT_EQ(m.GetGeoExtent(CTileKey(0, 0, 0, TILE_MODEL_GEOGRAPHIC)), CExtent(-180, -90, 180, 90));
    EXPECT_EQ(m.GetPixelExtent(CTileKey(2, 3, 1, TILE_MODEL_GEOGRAPHIC)), CExtent(768, 256, 1024, 512));
    EXPECT_EQ(m.GetPixelExtent(CTileKey(3, 4, 2, TILE_MODEL_MAPID)), CExtent(768, 256, 1024, 512));
    // The same tile measured in the pixels of the next level.
    EXPECT_EQ(m.GetPixelExtent(CTileKey(2, 3, 1, TILE_MODEL_GEOGRAPHIC), 3), CExtent(1536, 512, 2048, 1024));
    EXPECT_EQ(m.ComputeTileExtend(CTileKey(2, 0, 0, TILE_MODEL_GEOGRAPHIC), CTileKey(2, 1, 1, TILE_MODEL_GEOGRAPHIC)),
              CExtent(-180, -90, 0, 90));
    // An extent grows to whole tiles.
    EXPECT_EQ(m.ExpandExtendAlignTile(CExtent(-100, 10, -80, 20), 2), CExtent(-180, 0, 0, 90));
    EXPECT_EQ(m.ExpandExtendAlignTile(CExtent(-100, 10, 0, 20), 2), CExtent(-180, 0, 0, 90));
    int px = 0, py = 0;
    m.GetPixelCoordinate(px, py, CTileKey(3, 4, 2, TILE_MODEL_MAPID));
    EXPECT_EQ(std::make_pair(px, py), std::make_pair(768, 256));
}

TEST(TileModel, PixelAndMetreConversionsRoundTrip)
{
    CTileModel m;
    std::mt19937_64 rng(99);
    std::uniform_real_distribution<double> lonDist(-180.0, 180.0);
    std::uniform_real_distribution<double> latDist(-90.0, 90.0);
    for (bool ltu : {true, false}) {
        m.SetLeftTopUP(ltu);
        for (int i = 0; i < 500; ++i) {
            const int z = static_cast<int>(rng() % 25);
            const double lon = lonDist(rng), lat = latDist(rng);
            double px = 0, py = 0, x = 0, y = 0;
            m.GetPixelViaGeo(px, py, z, lon, lat);
            m.GetGeoViaPixel(x, y, z, px, py);
            ASSERT_NEAR(x, lon, 1e-9);
            ASSERT_NEAR(y, lat, 1e-9);
            double mx = 0, my = 0;
            m.ProjectGeoToMeter(mx, my, lon, lat);
            m.ProjectMeterToGeo(x, y, mx, my);
            ASSERT_NEAR(x, lon, 1e-9);
            ASSERT_NEAR(y, lat, 1e-9);
            ASSERT_NEAR(m.GetPixelXViaMeter(z, m.GetMeterXViaPixel(z, px)), px, 1e-6 * (1 + px));
            ASSERT_NEAR(m.GetPixelYViaMeter(z, m.GetMeterYViaPixel(z, py)), py, 1e-6 * (1 + py));
            const CExtent geo(lon - 1e-3, lat - 1e-3, lon + 1e-3, lat + 1e-3);
            const CExtent pix = m.ConvertGeoExtentToPixel(geo, z);
            ASSERT_LE(pix.miny, pix.maxy);
            const CExtent back = m.ConvertPixelExtentToGeo(pix, z);
            ASSERT_NEAR(back.minx, geo.minx, 1e-9);
            ASSERT_NEAR(back.miny, geo.miny, 1e-9);
            ASSERT_NEAR(back.maxy, geo.maxy, 1e-9);
        }
    }
    // The northern edge is pixel row 0 with left-top-up.
    m.SetLeftTopUP(true);
    EXPECT_EQ(m.GetPixelY(3, 90.0), 0.0);
    EXPECT_EQ(m.GetPixelY(3, -90.0), 4 * 256.0);
}

namespace {

// A scheme whose columns are shifted: composites must follow the overridden primitive.
class CShiftedColumns : public CTileModel {
public:
    explicit CShiftedColumns(int shift) : m_nShift(shift) {}
    int GetTileX(int level, double x) const override { return CTileModel::GetTileX(level, x) + m_nShift; }

private:
    int m_nShift;
};

}  // namespace

TEST(TileModel, LocalPixelIsClampedIntoTheTileWithUpperBoundIncluded)
{
    const CTileModel m;
    int px = -1, py = -1;
    EXPECT_TRUE(m.CalculateLocalPixelCoordinate(px, py, 1, -90.0, 45.0));
    EXPECT_EQ(std::make_pair(px, py), std::make_pair(128, 64));
    EXPECT_TRUE(m.CalculateLocalPixelCoordinate(px, py, 1, 0.0, 90.0));
    EXPECT_EQ(std::make_pair(px, py), std::make_pair(0, 0));

    // A tile one column to the west: the point lies beyond its east edge, clamped to 256.
    const CShiftedColumns west(-1);
    EXPECT_TRUE(west.CalculateLocalPixelCoordinate(px, py, 2, 10.0, 45.0));
    EXPECT_EQ(px, 256);
    const CShiftedColumns east(1);
    EXPECT_TRUE(east.CalculateLocalPixelCoordinate(px, py, 2, 10.0, 45.0));
    EXPECT_EQ(px, 0);
    // MakeKey goes through the overridden primitive too (and clamps).
    EXPECT_EQ(west.MakeKey(2, 10.0, 45.0).GetTileX(), 1);
    EXPECT_EQ(east.MakeKey(2, 170.0, 45.0).GetTileX(), 3);
}

TEST(TileModel, NonFiniteInputsGiveNoUndefinedBehaviour)
{
    const CTileModel m;
    const double bad[] = {std::nan(""), INFINITY, -INFINITY, 1e300, -1e300};
    for (double v : bad) {
        (void)m.GetTileX(5, v);
        (void)m.GetTileY(5, v);
        (void)m.IsCrossTileX(5, v);
        (void)m.IsCrossTileY(5, v);
        const CTileKey k = m.MakeKey(5, v, v);
        EXPECT_TRUE(k.IsValid());
        int px = 0, py = 0;
        m.CalculateLocalPixelCoordinate(px, py, 5, v, v);
        EXPECT_GE(px, 0);
        EXPECT_LE(px, 256);
        int r = 0, c = 0, rc = 0, cc = 0;
        m.GetRowColInfo(r, c, rc, cc, CExtent(v, v, v, v), 5);
    }
}
