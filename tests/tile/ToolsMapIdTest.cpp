#include "core/Tools.h"
#include "core/log/VtLog.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <tuple>

namespace {

constexpr int kMercatorType = 1;  // Web Mercator branch
constexpr int kWgsType = 5;       // geographic branch
constexpr double kMaxLat = 85.05112877980655;

// First row and column (one-based), then the row and column counts of a range.
using Range = std::tuple<int, int, int, int>;

Range RangeOf(const CExtent& e, int level, bool inDegrees, int mapType)
{
    int row = 0, col = 0, rows = 0, cols = 0;
    Tools::getRowColInfo(e.minx, e.miny, e.maxx, e.maxy, level, row, col, rows, cols, inDegrees, mapType);
    return Range(row, col, rows, cols);
}

}  // namespace

TEST(ToolsMapId, UnitsMetresReasonableExtentsAndViewTransforms)
{
    for (const QPointF& p : {QPointF(116.391, 39.907), QPointF(-179.5, -79.9), QPointF(12.5, 0.0)}) {
        double x = p.x(), y = p.y(), X = 0, Y = 0, lo = 0, la = 0, mx = 0, my = 0;
        Tools::getXY(x, y, X, Y);
        Tools::getLB(X, Y, lo, la);
        EXPECT_TRUE(std::abs(lo - p.x()) < 1e-9 && std::abs(la - p.y()) < 1e-9) << lo << ", " << la;
        Tools::getProjectXY(x, y, mx, my, true);
        Tools::getProjectXYToLB(lo, la, mx, my);
        EXPECT_TRUE(std::abs(lo - p.x()) < 1e-9 && std::abs(la - p.y()) < 1e-4) << lo << ", " << la;  // float tangent
    }
    EXPECT_NEAR(Tools::getY(45.0), 0.14027496308480, 1e-12);
    EXPECT_EQ(Tools::getY(90.0), Tools::getY(kMaxLat));  // clamped, not infinite
    EXPECT_EQ(Tools::getY(-1e300), -Tools::getY(1e300));
    EXPECT_NEAR(Tools::getB(1e6), 90.0, 1e-9);  // far outside stays finite
    double v = 0.25, y = 0.5;                   // normalised units, written back in degrees
    EXPECT_NEAR(Tools::getProjectX(v, false), 10018754.171394622, 1e-6);
    EXPECT_NEAR(Tools::getProjectY(y, false), 20037508.342789244, 20.0);  // a single-precision tangent
    EXPECT_EQ(std::make_pair(v, std::round(y * 1e9)), std::make_pair(90.0, std::round(kMaxLat * 1e9)));
    // Extents made reasonable, and the view transforms.
    EXTENT e{-200, -100, 200, 100}, m = e;
    Tools::setExtentReasonble(e, kWgsType);
    Tools::setExtentReasonble(m, kMercatorType);
    EXPECT_EQ(CExtent(e), CExtent(-180, -90, 180, 90));
    EXPECT_NEAR(m.maxy, 85.0511287798066, 1e-12);
    EXPECT_EQ(CExtent(m), CExtent(-180, -m.maxy, 180, m.maxy));
    const CExtent world(-0.25, -0.125, 0.25, 0.125);
    const double scale = 2048.0;  // 1024 x 512 pixels
    for (const QPoint& px : {QPoint(0, 0), QPoint(1024, 512), QPoint(100, 37)}) {
        const POINTD w = Tools::client2World(world, scale, px);
        EXPECT_LT(QLineF(Tools::World2ClientF(world, scale, 512, QPointF(w.x, w.y)), px).length(), 1e-9);
    }
    CExtent c = world;
    Tools::world2Client(world, scale, c);
    EXPECT_EQ(c, CExtent(0, 0, 1024, 512));
    // Degrees on a Mercator map go through normalised units; on a WGS map they are used as given.
    EXPECT_EQ(Tools::getClientCoord(world, scale, 512, QPointF(45.0, 0.0), kMercatorType), QPointF(768.0, 256.0));
    EXPECT_EQ(Tools::getClientCoord(CExtent(-180, -90, 180, 90), 1.0, 180, QPointF(45.0, 0.0), kWgsType),
              QPointF(225.0, 90.0));
}

TEST(ToolsMapId, IdsCountsSizesAndIndexRangesPerLevel)
{
    const struct { int level, row, col; long long id; } ids[] = {
        {1, 1, 1, 1}, {3, 2, 3, 7}, {3, 2, 4, 8},  // the root; a last column leaves remainder 0
        {3, 1, 3, 3},                              // id below n
        {31, 1073741824, 1073741824, 1152921504606846976LL},
        {40, 5, 7, 4 * (1LL << 39) + 7},  // past an int of columns
        {63, 2, 1, (1LL << 62) + 1},      // the deepest level of 64-bit IDs
        {70, 2, 1, (1LL << 62) + 1},      // deeper counts as 63
        {0, 3, 1, 3},                     // below level 1: one column
    };
    for (const auto& c : ids) {
        EXPECT_EQ(Tools::getMapID(c.level, c.row, c.col), c.id);
        int row = 0, col = 0, wgsRow = 0, wgsCol = 0;
        Tools::getRowCol(c.id, c.level, row, col);
        Tools::getRowColWGS(c.id, c.level, wgsRow, wgsCol);
        EXPECT_EQ(std::make_tuple(row, col, wgsRow, wgsCol), std::make_tuple(c.row, c.col, c.row, c.col)) << c.id;
    }
    EXPECT_EQ(Tools::getMapID(63, INT_MAX, INT_MAX), -1);  // beyond 64 bits
    const struct { int level, cols, wgsRows; double width; } levels[] = {
        {-5, 1, 1, 1.0},  // below 1 counts as level 1
        {2, 2, 1, 0.5},   {3, 4, 2, 0.25}, {31, 1 << 30, 1 << 29, std::ldexp(1.0, -30)},
        {32, INT_MAX, 1 << 30, std::ldexp(1.0, -31)},    // 2^31 columns: an int saturates
        {1000, INT_MAX, INT_MAX, std::ldexp(1.0, -62)},  // deeper than 63 counts as 63
    };
    for (const auto& c : levels) {
        double w = 0, h = 0;
        Tools::getSingleMapSizeWGS(c.level, w, h);
        EXPECT_EQ(std::make_tuple(Tools::getColCount(c.level), Tools::getColCountWGS(c.level),
                                  Tools::getRowCountWGS(c.level), Tools::getSingleMapWidth(c.level)),
                  std::make_tuple(c.cols, c.cols, c.wgsRows, c.width)) << c.level;
        EXPECT_EQ(std::make_tuple(Tools::getSingleMapWidthWGS(c.level), Tools::getSingleMapHeightWGS(c.level), w, h),
                  std::make_tuple(360.0 * c.width, 360.0 * c.width, 360.0 * c.width, 180.0 * c.width)) << c.level;
    }
    // Counts, index ranges and levels of an extent.
    CExtent e(73.5, 18.0, 135.0, 53.5);  // China
    for (int mapType : {kMercatorType, kWgsType}) {
        SCOPED_TRACE(mapType);
        EXPECT_EQ(Tools::getAllMapCount(0, e.minx, e.miny, e.maxx, e.maxy, true, mapType), 0);
        long long expectedFirst = 0;
        for (int level = 1; level <= 12; ++level) {
            long long first = -1, count = -1;
            int rowCount = 0, colCount = 0;
            Tools::getMapIndexRange(e, level, first, count, rowCount, colCount, mapType);
            EXPECT_EQ(std::make_pair(first, count), std::make_pair(expectedFirst, 1LL * rowCount * colCount));
            EXPECT_EQ(Tools::getAllMapCount(level, e.minx, e.miny, e.maxx, e.maxy, true, mapType), first + count);
            // The first and last tile of the level belong to it.
            EXPECT_EQ(Tools::getLevelByIndex(first, e, mapType, 12, true), level);
            EXPECT_EQ(Tools::getLevelByIndex(first + count - 1, e, mapType, 12, true), level);
            expectedFirst = first + count;
        }
        EXPECT_EQ(Tools::getLevelByIndex(expectedFirst, e, mapType, 12, true), -1);
        EXPECT_EQ(Tools::getLevelByIndex(0, e, mapType, 0, true), -1);
        EXPECT_GT(Tools::getAllMapCount(1000, -180, -90, 180, 90, true, mapType), 0);  // no overflow
    }
}

// Codes, IDs and extents of random tiles agree with each other; codes are the usual quadkeys
// with 0..3 spelled q r t s after the root letter.
TEST(ToolsMapId, QuadCodesIdsExtentsAndIdListsRowByRowWithHugeListsRefused)
{
    // The root; column bits 10 and row bits 01; 0101 and 1010; alternating bits at the deepest level.
    const struct { int level, row, col; QString code; } codes[] = {
        {1, 1, 1, "t"}, {3, 2, 3, "trt"}, {5, 11, 6, "ttrtr"},
        {31, 0x2AAAAAAB, 0x15555556, "t" + QString("tr").repeated(15)}};
    for (const auto& c : codes)
        EXPECT_EQ(Tools::getCodeByIndex(c.row, c.col, c.level), c.code) << c.level;
    std::mt19937_64 rng(17);
    for (int i = 0; i < 3000; ++i) {
        const int level = 1 + static_cast<int>(rng() % 31);
        const long long n = 1LL << (level - 1);
        const int r = 1 + static_cast<int>(rng() % n), c = 1 + static_cast<int>(rng() % n);
        const long long id = Tools::getMapID(level, r, c);
        const QString code = Tools::getCodeByIndex(r, c, level);
        SCOPED_TRACE(testing::Message() << level << " " << r << " " << c);
        ASSERT_EQ(Tools::getMapIdByCode(code), id);
        ASSERT_EQ(Tools::getCodeByMapID(id, level), code);
        if (level > 20)
            continue;
        for (bool inDegrees : {false, true}) {
            CExtent a, b;
            Tools::getExtent(code, a.minx, a.miny, a.maxx, a.maxy, inDegrees);
            Tools::getExtent(level, id, b.minx, b.miny, b.maxx, b.maxy, inDegrees, kMercatorType);
            ASSERT_EQ(a, b);
            // A tile's own extent maps back to exactly that tile.
            ASSERT_TRUE(inDegrees || RangeOf(a, level, false, kMercatorType) == Range(r, c, 1, 1));
        }
        if (level >= 2 && r <= Tools::getRowCountWGS(level)) {
            CExtent w, e;
            int row = 0, col = 0;
            Tools::getExtentWGS(id, level, w.minx, w.miny, w.maxx, w.maxy);
            Tools::getExtent(level, id, e.minx, e.miny, e.maxx, e.maxy, false, kWgsType);  // WGS: always degrees
            Tools::getRowColWGS((w.minx + w.maxx) / 2, (w.miny + w.maxy) / 2, level, row, col);
            ASSERT_EQ(RangeOf(w, level, true, kWgsType), Range(r, c, 1, 1));
            ASSERT_EQ(std::make_pair(row, col), std::make_pair(r, c));
            ASSERT_EQ(e, w);
        }
    }
    // Damaged codes: an unknown letter changes nothing but still counts towards the level.
    EXPECT_EQ(Tools::getMapIdByCode(""), 1);
    EXPECT_EQ(Tools::getMapIdByCode("txs"), Tools::getMapID(3, 2, 2));
    EXPECT_EQ(Tools::getMapIdByCode(QString(64, QLatin1Char('q'))), -1);  // deeper than any level
    EXPECT_EQ(Tools::getMapIdByCode(QString(63, QLatin1Char('s'))), -1);  // an ID beyond 64 bits
    double minx = 9, miny = 9, maxx = 9, maxy = 9;
    Tools::getExtent(QString(64, QLatin1Char('q')), minx, miny, maxx, maxy, true);
    EXPECT_EQ(CExtent(minx, miny, maxx, maxy), CExtent(0, 0, 0, 0));
    // ID lists, row by row; huge lists refused.
    QList<long long> ids = {42};  // lists are appended to
    Tools::getMapIDArray(-180, -90, 180, 90, 3, ids, kWgsType);
    EXPECT_EQ(ids, (QList<long long>{42, 1, 2, 3, 4, 5, 6, 7, 8}));
    // Mercator: a 3-wide, 1-high block gains ceil((3 - 1) / 2) = 1 row above it; the last row stays.
    ids.clear();
    const double s = Tools::getSingleMapWidth(4);  // 8 x 8 tiles
    Tools::getMapIDArrayMEC(-0.5 + 2.1 * s, 0.5 - 4.9 * s, -0.5 + 4.9 * s, 0.5 - 4.1 * s, 4, ids, kMercatorType);
    EXPECT_EQ(ids, (QList<long long>{Tools::getMapID(4, 4, 3), Tools::getMapID(4, 4, 4), Tools::getMapID(4, 4, 5),
                                     Tools::getMapID(4, 5, 3), Tools::getMapID(4, 5, 4), Tools::getMapID(4, 5, 5)}));
    // A tall block (8 x 1) at the west edge gains ceil(7 / 2) = 4 columns before column 1, unclamped.
    ids.clear();
    Tools::getMapIDArray(-0.5, -0.5, -0.5 + 0.5 * s, 0.5, 4, ids, kMercatorType);
    EXPECT_EQ(ids.size(), 8 * 5);
    EXPECT_EQ(std::make_pair(ids.front(), ids.back()),
              std::make_pair(Tools::getMapID(4, 1, -3), Tools::getMapID(4, 8, 1)));
    CVtLogCapture capture;
    ids.clear();
    Tools::getMapIDArray(-180, -90, 180, 90, 20, ids, kWgsType);
    Tools::getMapIDArrayMEC(-0.5, -0.5, 0.5, 0.5, 20, ids, kMercatorType);
    EXPECT_TRUE(ids.isEmpty());
    EXPECT_EQ(capture.Count(VTLOG_LEVEL_ERROR, "[Tools::getMapIDArray"), 2);
    // Long lists are made while memory allows: 4097 x 4096 IDs at WGS level 14 (128 MB).
    const double w = Tools::getSingleMapWidthWGS(14);
    Tools::getMapIDArrayWGS(-180, -90, w * 4096.5 - 180, 90, 14, ids);
    ASSERT_EQ(ids.size(), 4096 * 4097);
    EXPECT_EQ(std::make_pair(ids.front(), ids.back()), std::make_pair(1LL, Tools::getMapID(14, 4096, 4097)));
    EXPECT_EQ(capture.Count(VTLOG_LEVEL_ERROR, "[Tools::getMapIDArray"), 2);
}

TEST(ToolsMapId, RangesAtTheBordersOfDamagedExtentsAndBaseLevels)
{
    const struct { CExtent e; int level; bool inDegrees; int mapType; Range range; } cases[] = {
        {{-180, -90, 180, 90}, 2, true, kMercatorType, {1, 1, 2, 2}},        // whole world
        {{-180, -90, 0, 90}, 2, true, kMercatorType, {1, 1, 2, 1}},          // east edge on the border
        {{0, 0, 0, 0}, 2, true, kMercatorType, {2, 2, 1, 1}},                // a point on a corner
        {{-1000, -1000, 1000, 1000}, 3, true, kMercatorType, {1, 1, 4, 4}},  // clipped
        {{0.25, -0.5, 0.5, -0.25}, 3, false, kMercatorType, {4, 4, 1, 1}},   // south-east tile in units
        {{0, -30, 10, 30}, 3, true, kMercatorType, {2, 3, 2, 1}},            // both latitudes projected
        {{170, -80, 100, -85}, 1, true, kWgsType, {1, 1, 1, 1}},  // inverted: still one tile at level 1
        {{0, 0, 90, 90}, 3, true, kWgsType, {1, 3, 1, 1}},  // edges on borders
        {{-180, -90, 180, 90}, 31, true, kWgsType, {1, 1, 1 << 29, 1 << 30}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RangeOf(c.e, c.level, c.inDegrees, c.mapType), c.range) << c.e.minx << " " << c.e.miny;
    const double nan = std::nan(""), inf = INFINITY;
    for (int mapType : {kMercatorType, kWgsType})
        for (const CExtent& e :
             {CExtent(nan, nan, nan, nan), CExtent(-inf, -inf, inf, inf), CExtent(inf, inf, -inf, -inf)}) {
            const Range r = RangeOf(e, 5, true, mapType);
            EXPECT_TRUE(std::get<0>(r) >= 1 && std::get<0>(r) <= 16 && std::get<3>(r) >= 1 && std::get<3>(r) <= 16);
        }
    int row = 0, col = 0;
    Tools::getRowColWGS(nan, inf, 5, row, col);
    EXPECT_EQ(std::make_pair(row, col), std::make_pair(1, 1));
    // Base levels and levels from resolutions.
    const struct { double minx, miny, maxx, maxy; bool inDegrees; int mapType, level; } bases[] = {
        {-100, 0, 100, 1, true, kMercatorType, 1},   // 200 / 360 > 0.5
        {0, 0, 100, 0, true, kMercatorType, 2},      // 100 degrees, flat
        {0, -0.5, 10, 0.5, true, kMercatorType, 6},  // 10 x 1 at the equator
        {0, 0, 1e-9, 0, false, kMercatorType, 1},    // smaller than any level-21 tile
        {0, 0, 100, 10, true, kWgsType, 2},          // 100 > 90
        {0, 0, 1, 100, true, kWgsType, 1},           // 100 > 90 high
        {0, 0, 0.3, 0, false, kWgsType, 2},          // 108 degrees > 90, converted from units
    };
    for (const auto& c : bases)
        EXPECT_EQ(Tools::getBaseLevel(c.minx, c.miny, c.maxx, c.maxy, c.inDegrees, c.mapType), c.level) << c.maxx;
    const struct { bool wgs; double res; short minLevel, maxLevel; int level; double size; } resolutions[] = {
        {false, 0.3, 1, 21, 3, 0.25}, {false, 1e-9, 1, 21, 21, std::ldexp(1.0, -20)},
        {false, 0.9, 5, 21, 5, 1.0 / 16},    // the minimum level wins
        {false, 0.3, 1, 0, 1, 1.0},          // maxLevel < 1
        {false, -1.0, 1, 32767, 1076, 0.0},  // nothing fits: the search ends where the size underflows
        {true, 100.0, 1, 21, 3, 90.0},       {true, 1e-12, 1, 5, 5, 22.5}, {true, 1e-12, 1, 0, 1, 360.0},
    };
    for (const auto& c : resolutions) {
        double res = c.res;
        const int level =
            c.wgs ? Tools::afcGetLevelWGS(res, c.maxLevel) : Tools::afcGetLevel(res, c.minLevel, c.maxLevel);
        EXPECT_EQ(std::make_pair(level, res), std::make_pair(c.level, c.size)) << c.res;
    }
}

TEST(ToolsMapId, DegreeTextAndRingsAroundACentre)
{
    const struct { double deg; bool lon; const char* text; } prints[] = {
        {116.5, true, "116°30′00.00″E"},  {-33.25, false, "33°15′00.00″S"}, {-200.0, true, "180°00′00.00″W"},
        {95.0, false, "90°00′00.00″N"},   {0.0, true, "0°00′00.00″W"},      {1.5125, false, "1°30′45.00″N"},
    };
    for (const auto& c : prints)
        EXPECT_EQ(Tools::degreeToDMS(c.deg, c.lon), QString::fromUtf8(c.text)) << c.deg;
    const double dms = 116.0 + 30.0 / 60 + 15.0 / 3600;
    const struct { const char* text; double deg; } parses[] = {
        {"116°30'15\"E", dms},
        {" 116 ° 30 ' 15 \" S ", -dms},  // blanks removed
        {"116°30′00.00″E", 116.0},  // the printed marks are not the ASCII ones: whole degrees only
        {"116°30'15.5\"N", 116.5},   // a fractional second does not parse: 0
        {"116°30'W", -116.5},        // second mark missing
        {"-116°E", 116.0},           // the sign of the degrees is dropped
        {"-45.5", -45.5},  // no degree mark: a plain number
    };
    for (const auto& p : parses)
        EXPECT_NEAR(Tools::dMSToDegree(QString::fromUtf8(p.text)), p.deg, 1e-12) << p.text;
    // The numeric forms: d, m and s carry the sign; the hemisphere restores it on absolute values.
    int d = 0, m = 0;
    double sec = 0, back = 0;
    Tools::degreeToDMS(-33.2625, d, m, sec);
    EXPECT_EQ(std::make_tuple(d, m, std::round(sec * 1e6)), std::make_tuple(-33, -15, -45e6));
    Tools::dMSToDegree(33, 15, 45.0, "S", back);
    EXPECT_NEAR(back, -33.2625, 1e-12);
    // Rings around a centre.
    const QList<QPointF> ring = Tools::translateRadToWGS84(QPointF(10, 20), 2.0, 2);
    ASSERT_EQ(ring.size(), 4);
    const QPointF expected[] = {QPointF(12, 20), QPointF(10, 22), QPointF(8, 20), QPointF(10, 18)};
    for (int i = 0; i < 4; ++i)
        EXPECT_LT(QLineF(ring[i], expected[i]).length(), 1e-12) << i;
    EXPECT_EQ(Tools::translateRadToWGS84(QPointF(), 1.0, 0).size(), 1);
    EXPECT_TRUE(Tools::translateRadToWGS84(QPointF(), 1.0, -1).isEmpty());
    EXPECT_EQ(Tools::translateRadToWGS84(QPointF(), 1.0, 21).size(), 1 << 21);  // two million points
    CVtLogCapture capture;
    EXPECT_TRUE(Tools::translateRadToWGS84(QPointF(), 1.0, 40).isEmpty());
    EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_ERROR, "[Tools::translateRadToWGS84]"));
}
