#include "tile/TileModel.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <tuple>
#include <utility>

TEST(TileModel, TileCountsPerLevel)
{
    const CTileModel m;
    const struct { int level, nx, ny; } rows[] = {{-3, 1, 1}, {0, 1, 1}, {1, 2, 1}, {3, 8, 4}, {30, 1 << 30, 1 << 29}};
    for (const auto& r : rows) {
        EXPECT_EQ(std::make_pair(m.GetNumberTileX(r.level), m.GetNumberTileY(r.level)), std::make_pair(r.nx, r.ny));
        // Each tile spans one stride; all tiles span the model's rectangle.
        EXPECT_DOUBLE_EQ(m.GetTileXStride(r.level) * r.nx, 360.0) << r.level;
        EXPECT_DOUBLE_EQ(m.GetTileYStride(r.level) * r.ny, 180.0) << r.level;
        EXPECT_DOUBLE_EQ(m.GetResolutionY(r.level) * 256 * r.ny, 180.0) << r.level;
    }
    EXPECT_EQ(m.GetNumberTileX(40), INT_MAX);  // saturated, not wrapped
    EXPECT_EQ(m.GetTileCount(3), 32);
    EXPECT_EQ(m.GetTileCount(30), INT_MAX);
}

TEST(TileModel, BordersBelongToTheEasternAndSouthernTile)
{
    CTileModel m;
    const struct { int level; double lon; int column; bool cross; } columns[] = {
        {1, 0.0, 1, true},         // the meridian is the border of the two level-1 tiles
        {1, -180.0, 0, true},      // western edge of the world
        {3, 180.0, 8, true},       // one past the last column
        {3, 134.99999, 6, false},  // just before a border: the western tile, not crossing
        {3, 135.1, 7, true},       // less than one pixel (0.176 degrees) past a border
        {0, 179.0, 0, false},
        {22, -180.0 + 360.0 / (1 << 22) * 12345, 12345, true},
    };
    for (const auto& r : columns) {
        EXPECT_EQ(m.GetTileX(r.level, r.lon), r.column) << r.level << " " << r.lon;
        EXPECT_EQ(m.IsCrossTileX(r.level, r.lon), r.cross) << r.level << " " << r.lon;
    }
    EXPECT_EQ(m.MakeKey(3, 180.0, 0.0).GetTileX(), 7);  // clamped into the level
    const struct { bool leftTopUp; int level; double lat; int row; } rows[] = {
        {true, 2, 89.9, 0},  {true, 2, -89.9, 1}, {false, 2, 89.9, 1}, {false, 2, -89.9, 0},
        {true, 2, 0.0, 1},   // the equator is a border: the southern row
        {false, 2, 0.0, 1},  // counted from the south it is the northern row
        {true, 1, 90.0, 0},  {true, 1, -90.0, 1},  // the south pole is one past the last row
        {true, 0, 45.0, 0},  {true, 3, 45.0, 1},  {true, 3, 44.0, 1},
    };
    for (const auto& r : rows) {
        m.SetLeftTopUP(r.leftTopUp);
        EXPECT_EQ(m.GetTileY(r.level, r.lat), r.row) << r.leftTopUp << " " << r.level << " " << r.lat;
    }
}

TEST(TileModel, RowColInfoDoesNotPullInTilesBeyondBorderEdges)
{
    CTileModel m;
    const struct { bool leftTopUp; EXTENT e; int level; int startRow, startCol, rowCount, colCount; } rows[] = {
        {true, {0, 0, 180, 90}, 1, 0, 1, 1, 1},             // north-east quarter
        {true, {-180, -90, 180, 90}, 3, 0, 0, 4, 8},        // whole world
        {true, {-500, -100, 500, 100}, 3, 0, 0, 4, 8},      // beyond the world is clamped
        {true, {-90, 10, 0, 20}, 2, 0, 1, 1, 1},            // east edge on a border
        {true, {0, 10, 0, 20}, 2, 0, 2, 1, 1},              // zero width on a border
        {true, {10, 0, 20, 45}, 3, 1, 4, 1, 1},             // south and north edges on borders
        {false, {10, -45, 20, 45}, 3, 1, 4, 2, 1},          // south-up rows
        {true, {-10, -10, 10, 10}, 0, 0, 0, 1, 1},          // level 0
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.e.minx << " " << r.e.miny << " " << r.e.maxx << " L" << r.level);
        m.SetLeftTopUP(r.leftTopUp);
        int startRow = -9, startCol = -9, rowCount = -9, colCount = -9;
        EXPECT_TRUE(m.GetRowColInfo(startRow, startCol, rowCount, colCount, r.e, r.level));
        EXPECT_EQ(std::make_tuple(startRow, startCol, rowCount, colCount),
                  std::make_tuple(r.startRow, r.startCol, r.rowCount, r.colCount));
        CTileKey lo, hi;
        EXPECT_TRUE(m.GetTileBound(lo, hi, r.e, r.level));
        EXPECT_EQ(lo, CTileKey(r.level, r.startCol, r.startRow, TILE_MODEL_GEOGRAPHIC));
        EXPECT_EQ(hi, CTileKey(r.level, r.startCol + r.colCount - 1, r.startRow + r.rowCount - 1, lo.GetTileModel()));
        EXPECT_EQ(lo.GetTileModel(), TILE_MODEL_GEOGRAPHIC);
    }
}

TEST(TileModel, ExtentsOfKeysOfEitherFamily)
{
    const CTileModel m;
    const CExtent g = m.GetGeoExtent(CTileKey(2, 3, 1, TILE_MODEL_GEOGRAPHIC));
    EXPECT_EQ(g, CExtent(90, -90, 180, 0));
    EXPECT_EQ(m.GetGeoExtent(CTileKey(3, 4, 2, TILE_MODEL_MAPID)), g);
    EXPECT_EQ(m.GetGeoExtent(CTileKey(0, 0, 0, TILE_MODEL_GEOGRAPHIC)), CExtent(-180, -90, 180, 90));
    EXPECT_EQ(m.GetPixelExtent(CTileKey(3, 4, 2, TILE_MODEL_MAPID)), CExtent(768, 256, 1024, 512));
    // The same tile measured in the pixels of the next level.
    EXPECT_EQ(m.GetPixelExtent(CTileKey(2, 3, 1, TILE_MODEL_GEOGRAPHIC), 3), CExtent(1536, 512, 2048, 1024));
    EXPECT_EQ(m.ComputeTileExtend(CTileKey(2, 0, 0, TILE_MODEL_GEOGRAPHIC), CTileKey(2, 1, 1, TILE_MODEL_GEOGRAPHIC)),
              CExtent(-180, -90, 0, 90));
    // An extent grows to whole tiles; an edge on a border does not pull in the next tile.
    EXPECT_EQ(m.ExpandExtendAlignTile(CExtent(-100, 10, 0, 20), 2), CExtent(-180, 0, 0, 90));
    int px = 0, py = 0;
    m.GetPixelCoordinate(px, py, CTileKey(3, 4, 2, TILE_MODEL_MAPID));
    EXPECT_EQ(std::make_pair(px, py), std::make_pair(768, 256));
    EXPECT_EQ(m.GetPixelY(3, 90.0), 0.0);  // the northern edge is pixel row 0 with left-top-up
    EXPECT_EQ(m.GetPixelY(3, -90.0), 4 * 256.0);
}

// Random points at every level, both row directions: the key's tile holds the point, and every
// conversion comes back.
TEST(TileModel, KeysHoldTheirPointsAndConversionsRoundTrip)
{
    CTileModel m;
    std::mt19937_64 rng(99);
    std::uniform_real_distribution<double> lonDist(-180.0, 180.0), latDist(-90.0, 90.0);
    for (int i = 0; i < 2000; ++i) {
        m.SetLeftTopUP(i % 2 == 0);
        const int z = static_cast<int>(rng() % 31);
        const double lon = lonDist(rng), lat = latDist(rng);
        SCOPED_TRACE(testing::Message() << "z " << z << " " << lon << ", " << lat << " " << (i % 2));
        double px = 0, py = 0, x = 0, y = 0, mx = 0, my = 0, x2 = 0, y2 = 0;
        m.GetPixelViaGeo(px, py, z, lon, lat);
        const CTileKey k = m.MakeKey(z, lon, lat);
        if (std::fmod(px, 256.0) > 1 && std::fmod(px, 256.0) < 255 && std::fmod(py, 256.0) > 1 &&
            std::fmod(py, 256.0) < 255) {  // clear of the one-pixel border rule
            ASSERT_TRUE(m.GetGeoExtent(k).PtInExtent(lon, lat));
            ASSERT_TRUE(!m.IsLeftTopUP() || m.GetPixelExtent(k).PtInExtent(px, py));
        }
        m.GetGeoViaPixel(x, y, z, px, py);
        m.ProjectGeoToMeter(mx, my, lon, lat);
        m.ProjectMeterToGeo(x2, y2, mx, my);
        ASSERT_TRUE(std::abs(x - lon) < 1e-9 && std::abs(y - lat) < 1e-9) << x << ", " << y;
        ASSERT_TRUE(std::abs(x2 - lon) < 1e-9 && std::abs(y2 - lat) < 1e-9) << x2 << ", " << y2;
        ASSERT_NEAR(m.GetPixelXViaMeter(z, m.GetMeterXViaPixel(z, px)), px, 1e-6 * (1 + px));
        ASSERT_NEAR(m.GetPixelYViaMeter(z, m.GetMeterYViaPixel(z, py)), py, 1e-6 * (1 + py));
        const CExtent geo(lon - 1e-3, lat - 1e-3, lon + 1e-3, lat + 1e-3);
        const CExtent pix = m.ConvertGeoExtentToPixel(geo, z);
        ASSERT_LE(pix.miny, pix.maxy);
        const CExtent back = m.ConvertPixelExtentToGeo(pix, z);
        ASSERT_TRUE(std::abs(back.minx - geo.minx) < 1e-9 && std::abs(back.miny - geo.miny) < 1e-9 &&
                    std::abs(back.maxy - geo.maxy) < 1e-9);
    }
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
    // A tile one column to the west: the point lies beyond its east edge, clamped to 256.
    const CShiftedColumns west(-1);
    const CShiftedColumns east(1);
    EXPECT_TRUE(west.CalculateLocalPixelCoordinate(px, py, 2, 10.0, 45.0) && px == 256) << px;
    EXPECT_TRUE(east.CalculateLocalPixelCoordinate(px, py, 2, 10.0, 45.0) && px == 0) << px;
    // MakeKey goes through the overridden primitive too (and clamps).
    EXPECT_EQ(west.MakeKey(2, 10.0, 45.0).GetTileX(), 1);
    EXPECT_EQ(east.MakeKey(2, 170.0, 45.0).GetTileX(), 3);
}

TEST(TileModel, NonFiniteInputsGiveNoUndefinedBehaviour)
{
    const CTileModel m;
    for (double v : {std::nan(""), double(INFINITY), double(-INFINITY), 1e300, -1e300}) {
        (void)m.GetTileX(5, v), (void)m.GetTileY(5, v), (void)m.IsCrossTileX(5, v), (void)m.IsCrossTileY(5, v);
        EXPECT_TRUE(m.MakeKey(5, v, v).IsValid());
        int px = 0, py = 0;
        m.CalculateLocalPixelCoordinate(px, py, 5, v, v);
        EXPECT_TRUE(px >= 0 && px <= 256) << px;
        int r = 0, c = 0, rc = 0, cc = 0;
        m.GetRowColInfo(r, c, rc, cc, CExtent(v, v, v, v), 5);
    }
}
