#include "tile/TileRange.h"

#include "core/log/VtLog.h"
#include "tile/ITileModel.h"
#include "tile/TileModel.h"

#include <gtest/gtest.h>

#include <cmath>

// In a range the key is translated into min's family; extents become one-based bounds.
TEST(TileRange, RangesExtentsAndPolygons)
{
    const CTileKey lo(4, 3, 3, TILE_MODEL_MAPID), hi(6, 9, 9, TILE_MODEL_MAPID), mid(5, 5, 5, TILE_MODEL_MAPID);
    // Zero-based (L, x, 5) is inside when one-based (L + 1, x + 1, 6) is: at levels 3..5, columns 2..8.
    const struct { int level, x; bool in; } keys[] = {{2, 5, false}, {3, 5, true}, {5, 5, true}, {6, 5, false},
                                                     {4, 1, false}, {4, 2, true}, {4, 8, true}, {4, 9, false}};
    for (const auto& r : keys)
        EXPECT_EQ(InTileRange(CTileKey(r.level, r.x, 5, TILE_MODEL_MERCATOR), lo, hi), r.in) << r.level << " " << r.x;
    EXPECT_FALSE(InTileRange(CTileKey(), lo, hi) || InTileRange(mid, CTileKey(), hi) ||
                 InTileRange(mid, lo, CTileKey(TILE_MODEL_MERCATOR)) ||
                 InTileRange(CTileKey(5, 5, 5, static_cast<E_TILE_MODEL>(3)), lo, hi));
    // Without a model the keys are left alone.
    const CTileKey sentinel(9, 9, 9, TILE_MODEL_GEOGRAPHIC);
    CTileKey min = sentinel, max = sentinel;
    EXPECT_FALSE(ConvertToTileBouding(min, max, CExtent(0, 0, 1, 1), 5, TILE_MODEL_MAPID));
    EXPECT_FALSE(ConvertToTileBouding(min, max, CExtent(0, 0, 1, 1), 5, static_cast<E_TILE_MODEL>(3)));
    EXPECT_EQ(min.GetTileKeyString() + max.GetTileKeyString(), "9_9_99_9_9");
    // The map type chooses the scheme: 1 Mercator, 5 WGS84, 44 Baidu, 7 elevation. Each agrees with its
    // model one level up, in one-based numbers.
    const CExtent e(116.0, 39.5, 117.0, 40.5);
    const struct { int mapType; E_TILE_MODEL scheme; } types[] = {
        {1, TILE_MODEL_MERCATOR}, {5, TILE_MODEL_GEOGRAPHIC}, {44, TILE_MODEL_BAIDU}, {7, TILE_MODEL_GEOGRAPHIC}};
    for (const auto& t : types) {
        CTileKey byType, byTypeMax;
        ASSERT_TRUE(ConvertToTileBouding(byType, byTypeMax, e, 12, t.mapType));
        ASSERT_TRUE(ConvertToTileBouding(min, max, e, 12, t.scheme));
        EXPECT_EQ(min.GetTileModel(), TILE_MODEL_MAPID);
        EXPECT_EQ(byType.GetTileKeyString() + byTypeMax.GetTileKeyString(),
                  min.GetTileKeyString() + max.GetTileKeyString()) << t.mapType;
        int row = 0, col = 0, rows = 0, cols = 0;
        ITileModel::GetTileModel(t.scheme, true)->GetRowColInfo(row, col, rows, cols, e, 11);
        EXPECT_EQ(min, CTileKey(11, col, row, t.scheme));
        EXPECT_EQ(max, CTileKey(11, col + cols - 1, row + rows - 1, t.scheme));
    }
    // Polygon tests; level 2 Mercator tile (2, 1) spans longitude -90..0 and latitude 0..66.51.
    const CTileKey k(2, 1, 1, TILE_MODEL_MERCATOR);
    const CExtent g = ITileModel::GetTileModel(TILE_MODEL_MERCATOR, true)->GetGeoExtent(k);
    const QPolygonF inside({QPointF(-60, 10), QPointF(-30, 10), QPointF(-30, 40)});
    const QPolygonF apart({QPointF(10, 10), QPointF(20, 10), QPointF(20, 20)});
    const struct { QPolygonF polygon; bool meets; } cases[] = {
        {inside, true}, {apart, false},
        {QPolygonF({QPointF(-170, -80), QPointF(170, -80), QPointF(170, 80), QPointF(-170, 80)}), true},  // around
        {QPolygonF({QPointF(-5, 30), QPointF(20, 30), QPointF(20, 35)}), true},                           // crossing
        {QPolygonF({QPointF(0, 10), QPointF(10, 10), QPointF(10, 20), QPointF(0, 20)}), false},  // shares an edge
        // Far points are as good as near ones: only the area near the tile counts.
        {QPolygonF({QPointF(-1e300, -1e300), QPointF(1.7e308, -1e300), QPointF(-1e300, 1e300)}), true},
        {QPolygonF({QPointF(-1e300, 30), QPointF(1e300, 31), QPointF(1e300, 32)}), true},  // y ~30.5..31 here
        {QPolygonF({QPointF(1e6, 10), QPointF(1e300, 10), QPointF(1e300, 20)}), false},
        {QPolygonF({QPointF(-60, 10), QPointF(NAN, 10), QPointF(-30, 40)}), false},  // not finite
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsTileInPolygon(k, CExtent(), c.polygon), c.meets);
        EXPECT_EQ(IsTileInPolygons(k, CExtent(), {c.polygon}), c.meets);
        EXPECT_EQ(IsTileInPolygons(k, CExtent(), {apart, QPolygonF(), c.polygon}), c.meets);
    }
    // An empty polygon, or an empty list, tests the tile's extent against e; touching counts.
    const CExtent touchingExtent(g.maxx, g.maxy, g.maxx + 5, g.maxy + 5);
    const CExtent apartExtent(g.maxx + 1, 0, g.maxx + 5, 5);
    EXPECT_TRUE(IsTileInPolygon(k, touchingExtent, QPolygonF()) && IsTileInPolygons(k, touchingExtent, {}));
    EXPECT_FALSE(IsTileInPolygon(k, apartExtent, QPolygonF()) || IsTileInPolygons(k, apartExtent, {}));
    EXPECT_FALSE(IsTileInPolygons(k, apartExtent, {QPolygonF()}));  // an empty polygon in a list meets nothing
    // Geographic and Baidu keys use their own models' extents; other schemes are refused, a list with a log record.
    EXPECT_TRUE(IsTileInPolygon(CTileKey(1, 0, 0, TILE_MODEL_GEOGRAPHIC), CExtent(), inside));
    EXPECT_TRUE(IsTileInPolygons(CTileKey(0, 0, 0, TILE_MODEL_BAIDU), CExtent(), {inside}));
    const QPolygonF everything({QPointF(-180, -90), QPointF(180, -90), QPointF(180, 90), QPointF(-180, 90)});
    for (E_TILE_MODEL m : {TILE_MODEL_MAPID, static_cast<E_TILE_MODEL>(3), static_cast<E_TILE_MODEL>(17)}) {
        CVtLogCapture capture;
        EXPECT_FALSE(IsTileInPolygon(CTileKey(3, 2, 2, m), CExtent(-180, -90, 180, 90), everything));
        EXPECT_EQ(capture.Count("[IsTileInPolygons]"), 0);  // the single-polygon test does not log
        EXPECT_FALSE(IsTileInPolygons(CTileKey(3, 2, 2, m), CExtent(-180, -90, 180, 90), {everything}));
        EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_ERROR, "[IsTileInPolygons] 不支持该模型的转换: " +
                                                            std::to_string(static_cast<int>(m))));
    }
}

TEST(TileRange, CountsAndDistances)
{
    const CTileKey k(5, 7, 9, TILE_MODEL_MERCATOR);
    EXPECT_EQ(CalculateTileNumber(k, k), 1);
    EXPECT_EQ(CalculateTileNumber(CTileKey(3, 2, 3), CTileKey(3, 4, 3)), 3);
    EXPECT_EQ(CalculateTileNumber(CTileKey(20, 0, 0), CTileKey(20, 65535, 65535)), 65536LL * 65536LL);  // 64-bit
    // Differences wrap in 32 bits instead of overflowing.
    EXPECT_EQ(CalculateTileNumber(CTileKey(1, -2147483647 - 1, 0), CTileKey(1, 2147483647, 0)), 0);
    EXPECT_EQ(CalculateTileMDistance(CTileKey(3, 1, 9), CTileKey(3, 4, 5)), 7);
    EXPECT_EQ(CalculateTileMDistance(CTileKey(3, -2147483647 - 1, 0), CTileKey(3, 2147483647, 0)), 4294967295LL);
    // The Manhattan distance on b's level from the tile under a's centre (by the slippy-map formulas:
    // (6, 15, 19) one level down, (7, 30, 38) two down), plus one, times 2^(|d| + 2) across d levels.
    const struct { CTileKey a, b; long long distance; } rows[] = {
        {k, k, 1},
        {k, CTileKey(5, 3, 20, TILE_MODEL_MERCATOR), 16},     // 4 + 11 + 1 on the same level
        {k, CTileKey(6, 15, 19, TILE_MODEL_MERCATOR), 8},     // the tile under the centre: 1 x 8
        {k, CTileKey(7, 2, 100, TILE_MODEL_MERCATOR), 1456},  // (28 + 62 + 1) x 16
        {k, CTileKey(8, 60, 70, TILE_MODEL_MERCATOR), 224},   // (0 + 6 + 1) x 32
        {k, CTileKey(4, 3, 4, TILE_MODEL_MERCATOR), 8},       // one level up: 1 x 8
        {k, CTileKey(2, 0, 3, TILE_MODEL_GEOGRAPHIC), 96},    // numbers taken as they are: (0 + 2 + 1) x 32
        {CTileKey(6, 8, 10, TILE_MODEL_MAPID), CTileKey(9, 100, 80, TILE_MODEL_MAPID), 1376},  // (39 + 3 + 1) x 32
    };
    for (const auto& r : rows)
        EXPECT_EQ(CalculateTileLevelDistance(r.a, r.b, 7), r.distance)
            << r.a.GetTileKeyString() << " " << r.b.GetTileKeyString();
    // Levels far apart leave the 32-bit word: defined, not undefined.
    CalculateTileLevelDistance(CTileKey(0, 0, 0, TILE_MODEL_MERCATOR), CTileKey(40, 5, 5, TILE_MODEL_MERCATOR), 0);
}
