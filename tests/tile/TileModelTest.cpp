#include "tile/MercatorTileModel.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <tuple>
#include <utility>

namespace {

const double kMaxLat = 85.05112877980655;

CTileKey M(int level, int x, int y) { return CTileKey(level, x, y, TILE_MODEL_MERCATOR); }

// A scheme whose columns are shifted: composites must follow the overridden primitive.
struct CShiftedColumns : CTileModel {
    explicit CShiftedColumns(int shift) : m_nShift(shift) {}
    int GetTileX(int level, double x) const override { return CTileModel::GetTileX(level, x) + m_nShift; }
    int m_nShift;
};

}  // namespace

TEST(TileModel, TileCountsExtentsAndTheLocalPixel)
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
    EXPECT_EQ(std::make_pair(m.GetTileCount(3), m.GetTileCount(30)), std::make_pair(32, INT_MAX));
    // Extents of keys of either family.
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
    // The northern edge is pixel row 0 with left-top-up.
    EXPECT_EQ(std::make_pair(m.GetPixelY(3, 90.0), m.GetPixelY(3, -90.0)), std::make_pair(0.0, 4 * 256.0));
    // The local pixel is clamped into the tile, the upper bound (256) included, whatever the input;
    // MakeKey and the pixel go through the overridden primitive.
    EXPECT_TRUE(m.CalculateLocalPixelCoordinate(px, py, 1, -90.0, 45.0) && px == 128 && py == 64);
    const CShiftedColumns west(-1), east(1);
    EXPECT_TRUE(west.CalculateLocalPixelCoordinate(px, py, 2, 10.0, 45.0) && px == 256) << px;
    EXPECT_TRUE(east.CalculateLocalPixelCoordinate(px, py, 2, 10.0, 45.0) && px == 0) << px;
    EXPECT_EQ(west.MakeKey(2, 10.0, 45.0).GetTileX(), 1);
    EXPECT_EQ(east.MakeKey(2, 170.0, 45.0).GetTileX(), 3);
    // Non-finite and huge inputs give valid keys and clamped pixels, and no undefined behaviour.
    for (double v : {std::nan(""), double(INFINITY), double(-INFINITY), 1e300, -1e300}) {
        (void)m.GetTileX(5, v), (void)m.GetTileY(5, v), (void)m.IsCrossTileX(5, v), (void)m.IsCrossTileY(5, v);
        EXPECT_TRUE(m.MakeKey(5, v, v).IsValid());
        m.CalculateLocalPixelCoordinate(px, py, 5, v, v);
        EXPECT_TRUE(px >= 0 && px <= 256) << px;
        int r = 0, c = 0, rc = 0, cc = 0;
        m.GetRowColInfo(r, c, rc, cc, CExtent(v, v, v, v), 5);
    }
}

// Tiles, in-tile pixels and row edges of the usual slippy-map numbering, worked out independently.
TEST(MercatorTileModel, KeysPixelsEdgesRowTieBreaksPolesAndTheMercatorLimit)
{
    CMercatorTileModel m;
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
        EXPECT_EQ(std::make_pair(k, k.GetTileModel()), std::make_pair(M(r.z, r.x, r.y), TILE_MODEL_MERCATOR));
        int px = 0, py = 0;
        EXPECT_TRUE(m.CalculateLocalPixelCoordinate(px, py, r.z, r.lon, r.lat));
        EXPECT_EQ(std::make_pair(px, py), std::make_pair(r.px, r.py));
        const CExtent g = m.GetGeoExtent(k);
        EXPECT_TRUE(std::abs(g.maxy - r.north) < 1e-9 && std::abs(g.miny - r.south) < 1e-9) << g.maxy << " " << g.miny;
        EXPECT_NEAR(m.GetLatitudeViaY(r.z, r.y), r.north, 1e-9);
        EXPECT_TRUE(g.PtInExtent(r.lon, r.lat));
    }
    double mx = 0, my = 0, ux = 0, uy = 0, x = 0, y = 0;
    m.ProjectGeoToMeter(mx, my, 116.391, 39.907);
    m.ConvertGeoToMercatorUnit(ux, uy, 116.391, 39.907);  // the same in units of the half circumference
    m.ConvertMercatorToGeoUnit(x, y, ux, uy);
    EXPECT_NEAR(mx, 12956586.852919903, 1e-6);
    EXPECT_NEAR(my, 4852436.961991247, 1e-6);
    EXPECT_TRUE(std::abs(ux * 20037508.342789244 - mx) < 1e-6 && std::abs(uy * 20037508.342789244 - my) < 1e-6);
    EXPECT_TRUE(std::abs(x - 116.391) < 1e-9 && std::abs(y - 39.907) < 1e-9);
    EXPECT_NEAR(m.ConvertMercatorToLatitude(m.ConvertLatitudeToMercator(39.907)), uy, 1e-12);
    EXPECT_DOUBLE_EQ(m.GetResolutionX(0), 156543.03392804097);
    const int z = 10, row = 300;
    // Pixel row of the border between rows 299 and 300 is 300 * 256; step north of it by d pixels.
    const auto latBefore = [&](double d) { return m.GetLatitudeViaPixelY(z, row * 256.0 - d); };
    const struct { double precision, pixelsBefore; int expectedRow; } ties[] = {
        {0.001, 0.0005, row},  // within the precision: already the next row
        {0.001, 0.01, row - 1},
        {0.02, 0.01, row},     // a coarser precision takes it
        {0.02, 0.05, row - 1},
    };
    for (const auto& r : ties) {
        m.SetDefualtYPrecision(r.precision);
        EXPECT_EQ(m.GetTileY(z, latBefore(r.pixelsBefore)), r.expectedRow) << r.precision << " " << r.pixelsBefore;
        // The border test keeps the fixed 0.001 whatever the precision.
        EXPECT_EQ(m.IsCrossTileY(z, latBefore(r.pixelsBefore)), r.pixelsBefore <= 0.001);
    }
    m.SetDefualtYPrecision(0.001);
    EXPECT_FALSE(m.IsCrossTileY(z, latBefore(100.0)));
    EXPECT_TRUE(m.IsCrossTileY(z, latBefore(-0.5)));  // half a pixel past the border
    // The poles and the Mercator limit.
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

// Random points at every level, both row directions of the geographic model and the Mercator
// model: the key's tile holds the point, and every conversion comes back.
TEST(TileModel, KeysHoldTheirPointsAndConversionsRoundTrip)
{
    CTileModel up, down;
    down.SetLeftTopUP(false);
    const CMercatorTileModel mercator;
    std::mt19937_64 rng(99);
    for (const CTileModel* m : std::initializer_list<const CTileModel*>{&up, &down, &mercator}) {
        const double maxLat = m == &mercator ? kMaxLat : 90.0;
        std::uniform_real_distribution<double> lonDist(-180.0, 180.0), latDist(-maxLat, maxLat);
        for (int i = 0; i < 1500; ++i) {
            const int z = static_cast<int>(rng() % 31);
            const double lon = lonDist(rng), lat = latDist(rng);
            SCOPED_TRACE(testing::Message() << m->GetTileModel() << " z " << z << " " << lon << ", " << lat);
            double px = 0, py = 0, x = 0, y = 0, mx = 0, my = 0, x2 = 0, y2 = 0;
            m->GetPixelViaGeo(px, py, z, lon, lat);
            const CTileKey k = m->MakeKey(z, lon, lat);
            if (std::abs(std::fmod(px, 256.0) - 128) < 127 && std::abs(std::fmod(py, 256.0) - 128) < 127) {
                ASSERT_TRUE(m->GetGeoExtent(k).PtInExtent(lon, lat));  // clear of the border rules
                ASSERT_TRUE(!m->IsLeftTopUP() || m->GetPixelExtent(k).PtInExtent(px, py));
            }
            m->GetGeoViaPixel(x, y, z, px, py);
            m->ProjectGeoToMeter(mx, my, lon, lat);
            m->ProjectMeterToGeo(x2, y2, mx, my);
            ASSERT_TRUE(std::abs(x - lon) < 1e-9 && std::abs(y - lat) < 1e-9) << x << ", " << y;
            ASSERT_TRUE(std::abs(x2 - lon) < 1e-9 && std::abs(y2 - lat) < 1e-9) << x2 << ", " << y2;
            ASSERT_NEAR(m->GetMeterXViaPixel(z, px), mx, 1e-5 * (1 + std::abs(mx)));
            ASSERT_NEAR(m->GetPixelXViaMeter(z, mx), px, 1e-6 * (1 + px));
            ASSERT_NEAR(m->GetPixelYViaMeter(z, m->GetMeterYViaPixel(z, py)), py, 1e-6 * (1 + py));
            ASSERT_TRUE(m != &mercator || std::abs(m->GetMeterYViaPixel(z, py) - my) < 1e-5 * (1 + std::abs(my)));
            const CExtent geo(lon - 1e-3, lat - 1e-3, lon + 1e-3, lat + 1e-3);
            const CExtent pix = m->ConvertGeoExtentToPixel(geo, z);
            ASSERT_LE(pix.miny, pix.maxy);
            const CExtent back = m->ConvertPixelExtentToGeo(pix, z);
            ASSERT_TRUE(std::abs(back.minx - geo.minx) < 1e-9 && std::abs(back.miny - geo.miny) < 1e-9 &&
                        std::abs(back.maxy - geo.maxy) < 1e-9);
        }
    }
}

TEST(TileModel, BordersBelongToTheEasternAndSouthernTileAndRangesDoNotPullInTilesBeyond)
{
    // The western edge of column x belongs to column x; so does the northern edge of row y.
    const CTileModel geo;
    const CMercatorTileModel mercator;
    std::mt19937_64 rng(42);
    for (const CTileModel* m : std::initializer_list<const CTileModel*>{&geo, &mercator}) {
        for (int i = 0; i < 2000; ++i) {
            const int z = static_cast<int>(rng() % 31);
            const int x = static_cast<int>(rng() % m->GetNumberTileX(z));
            const int y = static_cast<int>(rng() % m->GetNumberTileY(z));
            const double lon = x * m->GetTileXStride(z) - 180.0, lat = m->GetLatitudeViaY(z, y);
            SCOPED_TRACE(testing::Message() << m->GetTileModel() << " z " << z << " " << lon << ", " << lat);
            ASSERT_EQ(std::make_pair(m->GetTileX(z, lon), m->GetTileY(z, lat)), std::make_pair(x, y));
            ASSERT_TRUE(m->IsCrossTileX(z, lon) && m->IsCrossTileY(z, lat));
            ASSERT_EQ(m->MakeKey(z, lon, lat).GetTileKeyString(), CTileKey(z, x, y).GetTileKeyString());
        }
    }
    // Ranges do not pull in tiles beyond edges on borders.
    CTileModel down;
    down.SetLeftTopUP(false);
    const struct { const CTileModel* m; EXTENT e; int level; int startRow, startCol, rowCount, colCount; } ranges[] = {
        {&geo, {0, 0, 180, 90}, 1, 0, 1, 1, 1},         // north-east quarter
        {&geo, {-90, 10, 0, 20}, 2, 0, 1, 1, 1},        // east edge on a border
        {&geo, {0, 10, 0, 20}, 2, 0, 2, 1, 1},          // zero width on a border
        {&geo, {10, 0, 20, 45}, 3, 1, 4, 1, 1},         // south and north edges on borders
        {&down, {10, -45, 20, 45}, 3, 1, 4, 2, 1},      // south-up rows
        {&geo, {-10, -10, 10, 10}, 0, 0, 0, 1, 1},      // level 0
        {&mercator, {-180, -80, 0, 80}, 1, 0, 0, 2, 1},  // western half
        {&mercator, {10, 0, 20, 80}, 1, 0, 1, 1, 1},     // southern edge on the equator
        {&mercator, {10, -80, 20, 0}, 1, 1, 1, 1, 1},    // northern edge on the equator
    };
    for (const auto& r : ranges) {
        SCOPED_TRACE(testing::Message() << r.m->GetTileModel() << " " << r.e.minx << " " << r.e.miny << " " << r.e.maxx
                                        << " L" << r.level);
        int startRow = -9, startCol = -9, rowCount = -9, colCount = -9;
        EXPECT_TRUE(r.m->GetRowColInfo(startRow, startCol, rowCount, colCount, r.e, r.level));
        EXPECT_EQ(std::make_tuple(startRow, startCol, rowCount, colCount),
                  std::make_tuple(r.startRow, r.startCol, r.rowCount, r.colCount));
        CTileKey lo, hi;
        EXPECT_TRUE(r.m->GetTileBound(lo, hi, r.e, r.level));
        EXPECT_EQ(lo.GetTileModel(), r.m->GetTileModel());
        EXPECT_EQ(lo, CTileKey(r.level, r.startCol, r.startRow, lo.GetTileModel()));
        EXPECT_EQ(hi, CTileKey(r.level, r.startCol + r.colCount - 1, r.startRow + r.rowCount - 1, lo.GetTileModel()));
    }
}
