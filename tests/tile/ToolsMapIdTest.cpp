#include "core/Tools.h"
#include "core/log/VtLog.h"
#include "tile/ITileModel.h"
#include "tile/TileKey.h"
#include "tile/TileModel.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>

namespace {

constexpr int kMercatorType = 1;  // Web Mercator branch
constexpr int kWgsType = 5;       // geographic branch
constexpr double kPi = 3.141592653589793;

// The usual quadkey of a zero-based tile, with 0..3 spelled q r t s after the root letter.
QString UsualQuadCode(long long x, long long y, int zoom) {
    QString code = QStringLiteral("t");
    for (int i = zoom; i > 0; --i) {
        const int digit = ((x >> (i - 1)) & 1) + 2 * ((y >> (i - 1)) & 1);
        code += QLatin1Char("qrts"[digit]);
    }
    return code;
}

double MercatorLatitude(double y) { return std::atan(std::sinh(y * 2.0 * kPi)) * 180.0 / kPi; }

// First row and column (one-based) and the row and column counts of a range.
struct Range {
    int row, col, rows, cols;
    bool operator==(const Range& o) const { return row == o.row && col == o.col && rows == o.rows && cols == o.cols; }
};

std::ostream& operator<<(std::ostream& os, const Range& r) {
    return os << "row " << r.row << " col " << r.col << ", " << r.rows << " x " << r.cols;
}

Range RangeOf(const CExtent& e, int level, bool inDegrees, int mapType) {
    Range r{0, 0, 0, 0};
    Tools::getRowColInfo(e.minx, e.miny, e.maxx, e.maxy, level, r.row, r.col, r.rows, r.cols, inDegrees, mapType);
    return r;
}

}  // namespace

TEST(ToolsMapId, NormalisedUnitsRoundTrip) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> lat(-85.0, 85.0), lon(-180.0, 180.0);
    for (int i = 0; i < 500; ++i) {
        const double la = lat(rng), lo = lon(rng);
        double X = 0, Y = 0, lo2 = 0, la2 = 0;
        Tools::getXY(lo, la, X, Y);
        EXPECT_NEAR(Y, std::log(std::tan(kPi / 4 + la * kPi / 360)) / (2 * kPi), 1e-12);
        Tools::getLB(X, Y, lo2, la2);
        EXPECT_NEAR(lo2, lo, 1e-9);
        EXPECT_NEAR(la2, la, 1e-9);
    }
    EXPECT_NEAR(Tools::getY(85.05112877980655), 0.5, 1e-12);
    EXPECT_EQ(Tools::getY(90.0), Tools::getY(85.05112877980655));  // clamped, not infinite
    EXPECT_EQ(Tools::getY(-1e300), -Tools::getY(1e300));
    EXPECT_NEAR(Tools::getB(0.5), 85.05112877980655, 1e-9);
    EXPECT_NEAR(Tools::getB(1e6), 90.0, 1e-9);  // far outside stays finite
}

TEST(ToolsMapId, ProjectionToMetres) {
    double v = 0.25;  // normalised X
    EXPECT_NEAR(Tools::getProjectX(v, false), 10018754.171394622, 1e-6);
    EXPECT_DOUBLE_EQ(v, 90.0);  // written back in degrees
    double y = 0.5;
    const double my = Tools::getProjectY(y, false);
    EXPECT_NEAR(y, 85.05112877980655, 1e-9);
    // Single-precision tangent near the pole: tens of metres off the exact half world.
    EXPECT_NEAR(my, 20037508.342789244, 20.0);

    std::mt19937 rng(5);
    std::uniform_real_distribution<double> lat(-80.0, 80.0), lon(-180.0, 180.0);
    for (int i = 0; i < 200; ++i) {
        double lo = lon(rng), la = lat(rng), mx = 0, m2 = 0, lo2 = 0, la2 = 0;
        Tools::getProjectXY(lo, la, mx, m2, true);
        Tools::getProjectXYToLB(lo2, la2, mx, m2);
        EXPECT_NEAR(lo2, lo, 1e-9);
        EXPECT_NEAR(la2, la, 1e-4);  // float tangent and logarithm
    }
    EXPECT_NEAR(Tools::RadToDegree(kPi), 180.0, 1e-12);
    EXPECT_NEAR(Tools::DegreeToRad(180.0), kPi, 1e-15);
}

// Random IDs round-trip through the quadtree codes below.
TEST(ToolsMapId, IdsRowsAndColumns) {
    struct Case {
        int level, row, col;
        long long id;
    };
    const Case kCases[] = {
        {1, 1, 1, 1},   // the root
        {3, 2, 3, 7},   // four columns
        {3, 2, 4, 8},   // last column: remainder 0
        {3, 1, 3, 3},   // id below n
        {3, 4, 4, 16},  // last tile
        {21, 1048576, 1048576, 1099511627776LL},
        {31, 1073741824, 1073741824, 1152921504606846976LL},
        {40, 5, 7, 4 * (1LL << 39) + 7},          // past an int of columns
        {63, 2, 1, (1LL << 62) + 1},              // the deepest level of 64-bit IDs
        {0, 3, 1, 3},                             // below level 1: one column
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(Tools::getMapID(c.level, c.row, c.col), c.id);
        int row = 0, col = 0, wgsRow = 0, wgsCol = 0;
        Tools::getRowCol(c.id, c.level, row, col);
        Tools::getRowColWGS(c.id, c.level, wgsRow, wgsCol);
        EXPECT_EQ(std::make_pair(row, col), std::make_pair(c.row, c.col));
        EXPECT_EQ(std::make_pair(wgsRow, wgsCol), std::make_pair(c.row, c.col));
    }
    EXPECT_EQ(Tools::getMapID(63, INT_MAX, INT_MAX), -1);  // beyond 64 bits

    // The same numbers as the one-based tile keys at every level.
    for (int level = -1; level <= 70; ++level) {
        for (const std::pair<int, int>& rc : {std::make_pair(1, 1), std::make_pair(3, 2), std::make_pair(70000, 123)}) {
            SCOPED_TRACE(testing::Message() << "level " << level << " row " << rc.first);
            const CTileKey key(level, rc.second, rc.first, TILE_MODEL_MAPID);
            if (key.IsValid()) {
                EXPECT_EQ(Tools::getMapID(level, rc.first, rc.second), key.ToMapID());
            }
            const long long id = Tools::getMapID(level, rc.first, rc.second);
            CTileKey back(0, 0, 0, TILE_MODEL_MAPID);
            back.FromMapID(id, level);
            int row = 0, col = 0;
            Tools::getRowCol(id, level, row, col);
            EXPECT_EQ(std::make_pair(row, col), std::make_pair(back.GetTileY(), back.GetTileX()));
        }
    }
}

TEST(ToolsMapId, CountsAndSizesPerLevel) {
    struct Case {
        int level, cols, wgsRows;
        double width;
    };
    const Case kCases[] = {
        {-5, 1, 1, 1.0},  // below 1 counts as level 1
        {0, 1, 1, 1.0},      {1, 1, 1, 1.0},  {2, 2, 1, 0.5}, {3, 4, 2, 0.25},
        {31, 1 << 30, 1 << 29, std::ldexp(1.0, -30)},
        {32, INT_MAX, 1 << 30, std::ldexp(1.0, -31)},  // 2^31 columns: an int saturates
        {33, INT_MAX, INT_MAX, std::ldexp(1.0, -32)},
        {1000, INT_MAX, INT_MAX, std::ldexp(1.0, -62)},  // deeper than 63 counts as 63
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.level);
        EXPECT_EQ(Tools::getColCount(c.level), c.cols);
        EXPECT_EQ(Tools::getColCountWGS(c.level), c.cols);
        EXPECT_EQ(Tools::getRowCountWGS(c.level), c.wgsRows);
        EXPECT_EQ(Tools::getSingleMapWidth(c.level), c.width);
        EXPECT_EQ(Tools::getSingleMapWidthWGS(c.level), 360.0 * c.width);
        EXPECT_EQ(Tools::getSingleMapHeightWGS(c.level), 360.0 * c.width);
        double w = 0, h = 0;
        Tools::getSingleMapSizeWGS(c.level, w, h);
        EXPECT_EQ(w, 360.0 * c.width);
        EXPECT_EQ(h, 180.0 * c.width);
    }
}

TEST(ToolsMapId, QuadCodesMatchTheUsualQuadkeys) {
    std::mt19937_64 rng(17);
    for (int i = 0; i < 3000; ++i) {
        const int level = 1 + static_cast<int>(rng() % 31);
        const long long n = 1LL << (level - 1);
        const long long r = 1 + static_cast<long long>(rng() % n), c = 1 + static_cast<long long>(rng() % n);
        const QString code = Tools::getCodeByIndex(static_cast<int>(r), static_cast<int>(c), level);
        ASSERT_EQ(code, UsualQuadCode(c - 1, r - 1, level - 1)) << level << " " << r << " " << c;
        ASSERT_EQ(Tools::getMapIdByCode(code), Tools::getMapID(level, static_cast<int>(r), static_cast<int>(c)));
        ASSERT_EQ(Tools::getCodeByMapID(Tools::getMapIdByCode(code), level), code);
    }
}

TEST(ToolsMapId, DamagedQuadCodes) {
    EXPECT_EQ(Tools::getMapIdByCode(""), 1);
    // An unknown letter changes nothing but still counts towards the level.
    EXPECT_EQ(Tools::getMapIdByCode("txs"), Tools::getMapID(3, 2, 2));
    EXPECT_EQ(Tools::getMapIdByCode(QString(64, QLatin1Char('q'))), -1);  // deeper than any level
    EXPECT_EQ(Tools::getMapIdByCode(QString(63, QLatin1Char('s'))), -1);  // an ID beyond 64 bits
    EXPECT_EQ(Tools::getMapIdByCode(QString(100000, QLatin1Char('r'))), -1);
    double minx = 9, miny = 9, maxx = 9, maxy = 9;
    Tools::getExtent(QString(64, QLatin1Char('q')), minx, miny, maxx, maxy, true);
    EXPECT_EQ(CExtent(minx, miny, maxx, maxy), CExtent(0, 0, 0, 0));
}

TEST(ToolsMapId, TileExtentsAgreeBetweenCodeAndId) {
    std::mt19937 rng(23);
    for (int i = 0; i < 500; ++i) {
        const int level = 1 + static_cast<int>(rng() % 20);
        const int n = Tools::getColCount(level);
        const int r = 1 + static_cast<int>(rng() % n), c = 1 + static_cast<int>(rng() % n);
        const long long id = Tools::getMapID(level, r, c);
        for (bool inDegrees : {false, true}) {
            CExtent a, b;
            Tools::getExtent(Tools::getCodeByIndex(r, c, level), a.minx, a.miny, a.maxx, a.maxy, inDegrees);
            Tools::getExtent(level, id, b.minx, b.miny, b.maxx, b.maxy, inDegrees, kMercatorType);
            ASSERT_EQ(a, b);
            if (!inDegrees) {  // a tile's own extent maps back to exactly that tile
                ASSERT_EQ(RangeOf(a, level, false, kMercatorType), (Range{r, c, 1, 1}));
            }
        }
        if (level >= 2 && r <= Tools::getRowCountWGS(level)) {
            CExtent w, e;
            Tools::getExtentWGS(id, level, w.minx, w.miny, w.maxx, w.maxy);
            EXPECT_EQ(RangeOf(w, level, true, kWgsType), (Range{r, c, 1, 1}));
            int row = 0, col = 0;
            Tools::getRowColWGS((w.minx + w.maxx) / 2, (w.miny + w.maxy) / 2, level, row, col);
            EXPECT_EQ(std::make_pair(row, col), std::make_pair(r, c));
            Tools::getExtent(level, id, e.minx, e.miny, e.maxx, e.maxy, false, kWgsType);  // WGS: always degrees
            EXPECT_EQ(e, w);
        }
    }
}

TEST(ToolsMapId, RangesAtTheBorders) {
    struct Case {
        CExtent e;
        int level;
        bool inDegrees;
        int mapType;
        Range range;
    };
    const Case kCases[] = {
        {{-180, -90, 180, 90}, 2, true, kMercatorType, {1, 1, 2, 2}},    // whole world
        {{-180, -90, 0, 90}, 2, true, kMercatorType, {1, 1, 2, 1}},      // east edge on the border
        {{0, 0, 0, 0}, 2, true, kMercatorType, {2, 2, 1, 1}},            // a point on a corner
        {{-1000, -1000, 1000, 1000}, 3, true, kMercatorType, {1, 1, 4, 4}},  // clipped
        {{-0.5, -0.5, 0.5, 0.5}, 4, false, kMercatorType, {1, 1, 8, 8}},
        {{0.25, -0.5, 0.5, -0.25}, 3, false, kMercatorType, {4, 4, 1, 1}},   // south-east tile
        {{-180, -90, 180, 90}, 1, true, kWgsType, {1, 1, 1, 1}},
        {{10, 10, 11, 11}, 1, true, kWgsType, {1, 1, 1, 1}},
        {{170, -80, 100, -85}, 1, true, kWgsType, {1, 1, 1, 1}},  // inverted: still one tile at level 1
        {{-180, -90, 180, 90}, 3, true, kWgsType, {1, 1, 2, 4}},
        {{0, 0, 90, 90}, 3, true, kWgsType, {1, 3, 1, 1}},       // edges on borders
        {{-180, -90, 180, 90}, 31, true, kWgsType, {1, 1, 1 << 29, 1 << 30}},
    };
    for (const Case& c : kCases) {
        EXPECT_EQ(RangeOf(c.e, c.level, c.inDegrees, c.mapType), c.range)
            << c.e.minx << " " << c.e.miny << " " << c.e.maxx << " " << c.e.maxy << " L" << c.level;
    }
}

TEST(ToolsMapId, NonFiniteExtentsStayInRange) {
    const double nan = std::nan(""), inf = INFINITY;
    for (int mapType : {kMercatorType, kWgsType}) {
        for (const CExtent& e : {CExtent(nan, nan, nan, nan), CExtent(-inf, -inf, inf, inf), CExtent(inf, inf, -inf, -inf)}) {
            const Range r = RangeOf(e, 5, true, mapType);
            EXPECT_GE(r.row, 1);
            EXPECT_LE(r.row, 16);
            EXPECT_GE(r.cols, 1);
            EXPECT_LE(r.cols, 16);
        }
    }
    int row = 0, col = 0;
    Tools::getRowColWGS(nan, inf, 5, row, col);
    EXPECT_EQ(row, 1);
    EXPECT_EQ(col, 1);
}

TEST(ToolsMapId, RangesAgreeWithTheZeroBasedTileModels) {
    // Map-ID level L is level L - 1 of the zero-based models; extents are drawn inside tiles (edges
    // away from the models' one-pixel border tolerance) or exactly on longitude borders.
    std::mt19937 rng(29);
    std::uniform_real_distribution<double> frac(0.05, 0.95);
    const CTileModel* mercator = ITileModel::GetTileModel(TILE_MODEL_MERCATOR, true);
    const CTileModel* geographic = ITileModel::GetTileModel(TILE_MODEL_GEOGRAPHIC, true);
    for (int i = 0; i < 2000; ++i) {
        const int level = 2 + static_cast<int>(rng() % 18);
        const bool wgs = (i % 2) == 1;
        const int n = Tools::getColCount(level);
        const int rows = wgs ? Tools::getRowCountWGS(level) : n;
        int c0 = static_cast<int>(rng() % n), c1 = static_cast<int>(rng() % n);
        int r0 = static_cast<int>(rng() % rows), r1 = static_cast<int>(rng() % rows);
        if (c0 > c1) std::swap(c0, c1);
        if (r0 > r1) std::swap(r0, r1);
        const bool onBorder = (i % 3) == 0;
        const double w = 360.0 / n;
        CExtent e;
        e.minx = -180.0 + (c0 + (onBorder ? 0.0 : frac(rng))) * w;
        e.maxx = -180.0 + (c1 + (onBorder ? 1.0 : frac(rng))) * w;
        if (e.maxx < e.minx) std::swap(e.minx, e.maxx);
        if (wgs) {
            e.maxy = 90.0 - (r0 + (onBorder ? 0.0 : frac(rng))) * w;
            e.miny = 90.0 - (r1 + (onBorder ? 1.0 : frac(rng))) * w;
        } else {
            e.maxy = MercatorLatitude(0.5 - (r0 + frac(rng)) / n);
            e.miny = MercatorLatitude(0.5 - (r1 + frac(rng)) / n);
        }
        if (e.maxy < e.miny) std::swap(e.miny, e.maxy);
        SCOPED_TRACE(testing::Message() << (wgs ? "wgs" : "mercator") << " L" << level << " " << e.minx << " "
                                        << e.miny << " " << e.maxx << " " << e.maxy);

        Range model{0, 0, 0, 0};
        (wgs ? geographic : mercator)->GetRowColInfo(model.row, model.col, model.rows, model.cols, e, level - 1);
        ASSERT_EQ(RangeOf(e, level, true, wgs ? kWgsType : kMercatorType),
                  (Range{model.row + 1, model.col + 1, model.rows, model.cols}));
    }
}

TEST(ToolsMapId, CountsIndexRangesAndLevels) {
    CExtent e(73.5, 18.0, 135.0, 53.5);  // China
    for (int mapType : {kMercatorType, kWgsType}) {
        SCOPED_TRACE(mapType);
        EXPECT_EQ(Tools::getAllMapCount(0, e.minx, e.miny, e.maxx, e.maxy, true, mapType), 0);
        long long expectedFirst = 0;
        for (int level = 1; level <= 12; ++level) {
            long long first = -1, count = -1;
            int rowCount = 0, colCount = 0;
            Tools::getMapIndexRange(e, level, first, count, rowCount, colCount, mapType);
            EXPECT_EQ(first, expectedFirst);
            EXPECT_EQ(count, static_cast<long long>(rowCount) * colCount);
            EXPECT_EQ(Tools::getAllMapCount(level, e.minx, e.miny, e.maxx, e.maxy, true, mapType), first + count);
            // The first and last tile of the level belong to it.
            EXPECT_EQ(Tools::getLevelByIndex(first, e, mapType, 12, true), level);
            EXPECT_EQ(Tools::getLevelByIndex(first + count - 1, e, mapType, 12, true), level);
            expectedFirst = first + count;
        }
        EXPECT_EQ(Tools::getLevelByIndex(0, e, mapType, 12, true), 1);
        EXPECT_EQ(Tools::getLevelByIndex(expectedFirst, e, mapType, 12, true), -1);
        EXPECT_EQ(Tools::getLevelByIndex(0, e, mapType, 0, true), -1);
        // Deep levels of the whole world do not overflow.
        EXPECT_GT(Tools::getAllMapCount(1000, -180, -90, 180, 90, true, mapType), 0);
    }
}

TEST(ToolsMapId, IdListsRowByRow) {
    QList<long long> ids = {42};  // lists are appended to
    Tools::getMapIDArray(-180, -90, 180, 90, 3, ids, kWgsType);
    ASSERT_EQ(ids.size(), 1 + 8);
    EXPECT_EQ(ids.front(), 42);
    for (int i = 1; i < ids.size(); ++i) EXPECT_EQ(ids[i], i);

    // Mercator: a 3-wide, 1-high block gains ceil((3 - 1) / 2) = 1 row above it; the last row stays.
    ids.clear();
    const double s = Tools::getSingleMapWidth(4);  // 8 x 8 tiles
    Tools::getMapIDArrayMEC(-0.5 + 2.1 * s, 0.5 - 4.9 * s, -0.5 + 4.9 * s, 0.5 - 4.1 * s, 4, ids, kMercatorType);
    const QList<long long> expected = {Tools::getMapID(4, 4, 3), Tools::getMapID(4, 4, 4), Tools::getMapID(4, 4, 5),
                                       Tools::getMapID(4, 5, 3), Tools::getMapID(4, 5, 4), Tools::getMapID(4, 5, 5)};
    EXPECT_EQ(ids, expected);

    // A tall block (8 x 1) at the west edge gains ceil(7 / 2) = 4 columns before column 1, unclamped.
    ids.clear();
    Tools::getMapIDArray(-0.5, -0.5, -0.5 + 0.5 * s, 0.5, 4, ids, kMercatorType);
    EXPECT_EQ(ids.size(), 8 * 5);
    EXPECT_EQ(ids.front(), Tools::getMapID(4, 1, -3));
    EXPECT_EQ(ids.back(), Tools::getMapID(4, 8, 1));
}

TEST(ToolsMapId, HugeIdListsAreRefused) {
    CVtLogCapture capture;
    QList<long long> ids;
    Tools::getMapIDArray(-180, -90, 180, 90, 20, ids, kWgsType);
    Tools::getMapIDArrayMEC(-0.5, -0.5, 0.5, 0.5, 20, ids, kMercatorType);
    EXPECT_TRUE(ids.isEmpty());
    EXPECT_EQ(capture.Count(VTLOG_LEVEL_ERROR, "[Tools::getMapIDArray"), 2);

    // Long lists are made while memory allows: 4097 x 4096 IDs at WGS level 14 (128 MB).
    const double w = Tools::getSingleMapWidthWGS(14);
    Tools::getMapIDArrayWGS(-180, -90, w * 4096.5 - 180, 90, 14, ids);
    ASSERT_EQ(ids.size(), 4096 * 4097);
    EXPECT_EQ(ids.front(), 1);
    EXPECT_EQ(ids.back(), Tools::getMapID(14, 4096, 4097));
    EXPECT_EQ(capture.Count(VTLOG_LEVEL_ERROR, "[Tools::getMapIDArray"), 2);
}

TEST(ToolsMapId, BaseLevels) {
    struct Case {
        double minx, miny, maxx, maxy;
        bool inDegrees;
        int mapType;
        int level;
    };
    const Case kCases[] = {
        {-100, 0, 100, 1, true, kMercatorType, 1},   // 200 / 360 > 0.5
        {0, 0, 100, 0, true, kMercatorType, 2},      // 100 degrees, flat
        {0, -0.5, 10, 0.5, true, kMercatorType, 6},  // 10 x 1 at the equator
        {0, 0, 0, 0, true, kMercatorType, 1},        // no extent: 1
        {0, 0, 1e-9, 0, false, kMercatorType, 1},    // smaller than any level-21 tile
        {0, 0, 0.3, 0, false, kMercatorType, 2},
        {0, 0, 200, 10, true, kWgsType, 1},          // 200 > 180
        {0, 0, 100, 10, true, kWgsType, 2},          // 100 > 90
        {0, 0, 1, 100, true, kWgsType, 1},           // 100 > 90 high
        {0, 0, 0.3, 0, false, kWgsType, 2},          // 108 degrees > 90, converted from units
    };
    for (const Case& c : kCases) {
        EXPECT_EQ(Tools::getBaseLevel(c.minx, c.miny, c.maxx, c.maxy, c.inDegrees, c.mapType), c.level)
            << c.minx << " " << c.maxx << " " << c.mapType;
    }
}

TEST(ToolsMapId, LevelsFromResolutions) {
    struct Case {
        double res;
        short minLevel, maxLevel;
        int level;
        double size;
    };
    const Case kCases[] = {
        {0.3, 1, 21, 3, 0.25},
        {1e-9, 1, 21, 21, std::ldexp(1.0, -20)},
        {2.0, 1, 21, 1, 1.0},
        {0.9, 5, 21, 5, 1.0 / 16},  // the minimum level wins
        {0.3, 1, 0, 1, 1.0},        // maxLevel < 1
        {0.0, 1, 32767, 1076, 0.0},   // the size underflows to 0 at 1076
        {-1.0, 1, 32767, 1076, 0.0},  // nothing fits: the search still ends there
    };
    for (const Case& c : kCases) {
        double res = c.res;
        EXPECT_EQ(Tools::afcGetLevel(res, c.minLevel, c.maxLevel), c.level) << c.res;
        EXPECT_EQ(res, c.size) << c.res;
    }
    double res = 100.0;
    EXPECT_EQ(Tools::afcGetLevelWGS(res), 3);
    EXPECT_EQ(res, 90.0);
    res = 1e-12;
    EXPECT_EQ(Tools::afcGetLevelWGS(res, 5), 5);
    EXPECT_EQ(res, 22.5);
    res = 1.0;
    EXPECT_EQ(Tools::afcGetLevelWGS(res, 0), 1);
    EXPECT_EQ(res, 360.0);
}

TEST(ToolsMapId, ReasonableExtents) {
    EXTENT e{-200, -100, 200, 100};
    Tools::setExtentReasonble(e, kWgsType);
    EXPECT_EQ(CExtent(e), CExtent(-180, -90, 180, 90));
    EXTENT m{-200, -100, 200, 100};
    Tools::setExtentReasonble(m, kMercatorType);
    EXPECT_NEAR(m.maxy, 85.0511287798066, 1e-12);
    EXPECT_EQ(m.miny, -m.maxy);
    EXTENT inside{1, 2, 3, 4};
    Tools::setExtentReasonble(inside, kMercatorType);
    EXPECT_EQ(CExtent(inside), CExtent(1, 2, 3, 4));
}

TEST(ToolsMapId, ViewTransformsInvertEachOther) {
    const CExtent world(-0.25, -0.125, 0.25, 0.125);
    const double scale = 2048.0;  // 1024 x 512 pixels
    const int height = 512;
    for (const QPoint& px : {QPoint(0, 0), QPoint(1024, 512), QPoint(100, 37)}) {
        const POINTD w = Tools::client2World(world, scale, px);
        const QPointF back = Tools::World2ClientF(world, scale, height, QPointF(w.x, w.y));
        EXPECT_NEAR(back.x(), px.x(), 1e-9);
        EXPECT_NEAR(back.y(), px.y(), 1e-9);
    }
    CExtent e = world;
    Tools::world2Client(world, scale, e);
    EXPECT_EQ(e, CExtent(0, 0, 1024, 512));
    // Degrees on a Mercator map go through normalised units; on a WGS map they are used as given.
    const QPointF merc = Tools::getClientCoord(world, scale, height, QPointF(45.0, 0.0), kMercatorType);
    EXPECT_NEAR(merc.x(), (0.125 + 0.25) * scale, 1e-9);
    EXPECT_NEAR(merc.y(), height - 0.125 * scale, 1e-9);
    const QPointF wgs = Tools::getClientCoord(CExtent(-180, -90, 180, 90), 1.0, 180, QPointF(45.0, 0.0), kWgsType);
    EXPECT_EQ(wgs, QPointF(225.0, 90.0));
}

TEST(ToolsMapId, DegreeText) {
    struct Case {
        double deg;
        bool lon;
        const char* text;
    };
    const Case kCases[] = {
        {116.5, true, "116°30′00.00″E"},   {-33.25, false, "33°15′00.00″S"},
        {180.0, true, "180°00′00.00″E"},   {-200.0, true, "180°00′00.00″W"},
        {95.0, false, "90°00′00.00″N"},    {0.0, true, "0°00′00.00″W"},
        {1.5125, false, "1°30′45.00″N"},
    };
    for (const Case& c : kCases) EXPECT_EQ(Tools::degreeToDMS(c.deg, c.lon), QString::fromUtf8(c.text)) << c.deg;

    struct Parse {
        const char* text;
        double deg;
    };
    const Parse kParses[] = {
        {"116°30'15\"E", 116.0 + 30.0 / 60 + 15.0 / 3600},
        {"116°30'15\"S", -(116.0 + 30.0 / 60 + 15.0 / 3600)},
        {" 116 ° 30 ' 15 \" W ", -(116.0 + 30.0 / 60 + 15.0 / 3600)},  // blanks removed
        {"45.5", 45.5},
        {"-45.5", -45.5},
        {"116°30′00.00″E", 116.0},  // the printed marks are not the ASCII ones: whole degrees only
        {"116°30'15.5\"N", 116.5},   // a fractional second does not parse: 0
        {"116°30'W", -116.5},        // second mark missing
        {"-116°E", 116.0},           // the sign of the degrees is dropped
        {"abc", 0.0},
        {"°", 0.0},
    };
    for (const Parse& p : kParses) EXPECT_NEAR(Tools::dMSToDegree(QString::fromUtf8(p.text)), p.deg, 1e-12) << p.text;

    std::mt19937 rng(31);
    std::uniform_real_distribution<double> any(-179.99, 179.99);
    for (int i = 0; i < 500; ++i) {
        const double deg = any(rng);
        int d = 0, m = 0;
        double s = 0;
        Tools::degreeToDMS(deg, d, m, s);
        // d, m and s carry the sign; the hemisphere restores it on the absolute values.
        EXPECT_NEAR(d + m / 60.0 + s / 3600.0, deg, 1e-9);
        double back = 0;
        Tools::dMSToDegree(std::abs(d), std::abs(m), std::abs(s), deg < 0 ? "W" : "E", back);
        EXPECT_NEAR(back, deg, 1e-9);
    }
}

TEST(ToolsMapId, RingsAroundACentre) {
    const QList<QPointF> ring = Tools::translateRadToWGS84(QPointF(10, 20), 2.0, 2);
    ASSERT_EQ(ring.size(), 4);
    const QPointF expected[] = {QPointF(12, 20), QPointF(10, 22), QPointF(8, 20), QPointF(10, 18)};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(ring[i].x(), expected[i].x(), 1e-12);
        EXPECT_NEAR(ring[i].y(), expected[i].y(), 1e-12);
    }
    EXPECT_EQ(Tools::translateRadToWGS84(QPointF(), 1.0, 0).size(), 1);
    EXPECT_TRUE(Tools::translateRadToWGS84(QPointF(), 1.0, -1).isEmpty());
    EXPECT_EQ(Tools::translateRadToWGS84(QPointF(), 1.0, 21).size(), 1 << 21);  // two million points
    CVtLogCapture capture;
    EXPECT_TRUE(Tools::translateRadToWGS84(QPointF(), 1.0, 40).isEmpty());
    EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_ERROR, "[Tools::translateRadToWGS84]"));
}
