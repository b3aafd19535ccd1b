#include "tile/RegionTileEnumerator.h"

#include "tile/ITileModel.h"
#include "tile/TileModel.h"
#include "tile/TileRange.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<CTileKey> Enumerate(CRegionTileEnumerator& en)
{
    std::vector<CTileKey> keys;
    for (CTileKey k; en.Next(k);)
        keys.push_back(k);
    return keys;
}

// The keys as written, to compare lists without the family translation of operator==.
std::vector<std::string> Names(const std::vector<CTileKey>& keys)
{
    std::vector<std::string> names;
    for (const CTileKey& k : keys)
        names.push_back(k.GetTileKeyString());
    return names;
}

// The definition: every tile of the extent's range, tested one by one.
std::vector<CTileKey> PerTile(const EXTENT& e, const QList<QPolygonF>& polygons, int level, int mapType,
                              E_TILE_MODEL scheme)
{
    std::vector<CTileKey> keys;
    CTileKey min, max;
    if (ConvertToTileBouding(min, max, e, level, mapType) && min.ChangeTileModel(scheme) && max.ChangeTileModel(scheme))
        for (int y = min.GetTileY(); y <= max.GetTileY(); ++y)
            for (int x = min.GetTileX(); x <= max.GetTileX(); ++x)
                if (IsTileInPolygons(CTileKey(level - 1, x, y, scheme), e, polygons))
                    keys.emplace_back(level - 1, x, y, scheme);
    return keys;
}

EXTENT BoundingBox(const QList<QPolygonF>& polygons)
{
    QRectF box;
    for (const QPolygonF& p : polygons)
        box |= p.boundingRect();
    return EXTENT{box.left(), box.top(), box.right(), box.bottom()};
}

struct SCHEME { int mapType; E_TILE_MODEL scheme; };
const SCHEME kSchemes[] = {{1, TILE_MODEL_MERCATOR}, {5, TILE_MODEL_GEOGRAPHIC}, {44, TILE_MODEL_BAIDU}};
const SCHEME& kMercator = kSchemes[0];

void ExpectSameAsPerTile(const EXTENT& e, const QList<QPolygonF>& polygons, int level, const SCHEME& s)
{
    CRegionTileEnumerator en(e, polygons, level, s.mapType);
    ASSERT_EQ(en.GetTileModel(), s.scheme);
    const std::vector<CTileKey> fast = Enumerate(en);
    // Same tiles, same order, in the enumerator's scheme.
    ASSERT_EQ(Names(fast), Names(PerTile(e, polygons, level, s.mapType, s.scheme))) << level << " " << s.mapType;
    for (const CTileKey& k : fast)
        ASSERT_EQ(k.GetTileModel(), s.scheme);
}

// Where a region of many vertices is drawn: centre and radius. A ring is wiggly, of n vertices around
// the centre moved by (dx, dy) radii, its radii share * r * (0.55 .. 1), turning `turns` times.
struct SPOT {
    std::mt19937& rng;
    double cx, cy, r;
    QPolygonF Ring(int n, double dx = 0, double dy = 0, double share = 1, int turns = 1) const
    {
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        const double x0 = cx + dx * r, y0 = cy + dy * r, rr = share * r;
        QPolygonF ring;
        double k = 0.8;
        for (int i = 0; i < n; ++i) {
            k = std::min(1.0, std::max(0.55, k + 0.12 * (unit(rng) - 0.5)));
            const double a = turns * 2 * kPi * (i + 0.8 * unit(rng)) / n;
            ring << QPointF(x0 + rr * k * std::cos(a), y0 + 0.8 * rr * k * std::sin(a));
        }
        return ring;
    }
};

}  // namespace

TEST(RegionTileEnumerator, AgreesWithThePerTileTestOnPolygonsOfManyVertices)
{
    const struct { const char* what; QList<QPolygonF> (*make)(const SPOT&); } rows[] = {
        {"a coastline", [](const SPOT& s) { return QList<QPolygonF>{s.Ring(700)}; }},
        {"a hole in the same ring (outer, back to its start, inner, back)", [](const SPOT& s) {
             QPolygonF ring = s.Ring(300);
             const QPolygonF hole = s.Ring(200, 0, 0, 0.4);
             ring << ring.first() << hole << hole.first();
             return QList<QPolygonF>{ring};
         }},
        {"overlapping polygons, many and few vertices, with an island", [](const SPOT& s) {
             return QList<QPolygonF>{s.Ring(300, -0.3, 0, 0.7), s.Ring(250, 0.3, 0, 0.7), s.Ring(7, 0, 0.2, 0.3),
                                     s.Ring(60, 0, -0.9, 0.1)};
         }},
        {"repeated vertices, spikes out and back, collinear runs", [](const SPOT& s) {
             const QPolygonF base = s.Ring(250);
             QPolygonF ring;
             for (int i = 0; i < base.size(); ++i) {
                 ring << base[i];
                 if (i % 9 == 0) ring << base[i];
                 if (i % 13 == 0) ring << QPointF(s.cx + 1.3 * (base[i].x() - s.cx), base[i].y()) << base[i];
                 if (i % 17 == 0) ring << (base[i] + base[(i + 1) % base.size()]) / 2;
             }
             return QList<QPolygonF>{ring};
         }},
        {"a ring winding twice round (odd-even: the doubly covered part is out)",
         [](const SPOT& s) { return QList<QPolygonF>{s.Ring(500, 0, 0, 1, 2)}; }},
        {"few vertices: a star, one in random order (self-crossing), one beside a small hole",
         [](const SPOT& s) {
             QPolygonF crossing = s.Ring(9, 0.5, 0, 0.4);
             std::shuffle(crossing.begin(), crossing.end(), s.rng);
             return QList<QPolygonF>{s.Ring(5, -0.5, 0, 0.5), crossing, s.Ring(12, 0, 0.5, 0.4),
                                     s.Ring(4, 0, 0.5, 0.1)};
         }},
    };
    std::mt19937 rng(4711);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (const auto& row : rows) {
        for (const SCHEME& s : kSchemes) {
            for (int level : {3, 9, 18}) {
                // Some 20 tiles across, in China (across the world and beyond at level 3).
                const double cy = 25 + 15 * unit(rng), cx = 100 + 20 * unit(rng);
                const SPOT spot{rng, cx, cy, 10 * 360.0 / std::ldexp(1.0, level - 1)};
                const QList<QPolygonF> region = row.make(spot);
                SCOPED_TRACE(testing::Message() << row.what << ", map type " << s.mapType << ", level " << level);
                ExpectSameAsPerTile(BoundingBox(region), region, level, s);
                if (HasFatalFailure())
                    return;
            }
        }
    }
}

// Edges on tile borders, vertices on corners, slivers and points: the cases where "meets" is
// decided by the exact test and the runs must leave it to that test. An extent alone gives the
// tiles that meet it.
TEST(RegionTileEnumerator, AgreesOnBorderCasesAndExtentsAlone)
{
    const CTileModel* mercator = ITileModel::GetTileModel(TILE_MODEL_MERCATOR, true);
    const CExtent a = mercator->GetGeoExtent(CTileKey(9, 400, 200, TILE_MODEL_MERCATOR));
    const CExtent b = mercator->GetGeoExtent(CTileKey(9, 420, 215, TILE_MODEL_MERCATOR));
    const double mx = (a.minx + b.maxx) / 2, my = (a.maxy + b.miny) / 2;
    const QPolygonF onBorders({QPointF(a.minx, a.maxy), QPointF(b.maxx, a.maxy), QPointF(b.maxx, b.miny),
                               QPointF(a.minx, b.miny)});
    const QPolygonF cornerDiamond({QPointF(a.minx, my), QPointF(mx, a.maxy), QPointF(b.maxx, my), QPointF(mx, b.miny)});
    const QPolygonF sliver({QPointF(a.minx, a.maxy), QPointF(b.maxx, b.miny), QPointF(b.maxx + 1e-9, b.miny)});
    const QPolygonF horizontal({QPointF(a.minx + 0.01, a.miny), QPointF(b.maxx - 0.01, a.miny),
                                QPointF(b.maxx - 0.01, b.miny), QPointF(a.minx + 0.01, a.miny)});
    const QPolygonF point(QVector<QPointF>{QPointF(mx, my)});
    const QPolygonF segment(QVector<QPointF>{QPointF(a.minx, a.maxy), QPointF(b.maxx, b.miny)});
    const EXTENT box = BoundingBox({onBorders});
    for (const QList<QPolygonF>& polygons :
         {QList<QPolygonF>{onBorders}, QList<QPolygonF>{cornerDiamond}, QList<QPolygonF>{sliver},
          QList<QPolygonF>{horizontal}, QList<QPolygonF>{point}, QList<QPolygonF>{segment},
          QList<QPolygonF>{QPolygonF()}, QList<QPolygonF>{onBorders, cornerDiamond, point}})
        for (int level : {10, 13})
            ExpectSameAsPerTile(box, polygons, level, kMercator);
    for (const SCHEME& s : kSchemes)
        for (int level : {12, 4})
            ExpectSameAsPerTile(CExtent(116.1, 39.7, 116.9, 40.3), {}, level, s);
    // An extent whose edges lie on tile borders.
    const CExtent g =
        ITileModel::GetTileModel(TILE_MODEL_GEOGRAPHIC, true)->GetGeoExtent(CTileKey(6, 10, 12, TILE_MODEL_GEOGRAPHIC));
    ExpectSameAsPerTile(CExtent(g.minx, g.miny, g.maxx + 20 * (g.maxx - g.minx), g.maxy), {}, 7, kSchemes[1]);
}

TEST(RegionTileEnumerator, UrlsOrderResetStoppingAndDamagedInput)
{
    const QList<QPolygonF> region{QPolygonF({QPointF(100, 30), QPointF(110, 30), QPointF(105, 38)})};
    CRegionTileEnumerator en(region, 8, 5);  // geographic: rows flip over half the columns
    en.SetUrlTemplate(QStringLiteral("https://t.example/{z}/{x}/{-y}.png"));
    CTileKey k, previous(TILE_MODEL_GEOGRAPHIC);
    QString url;
    std::vector<CTileKey> all;
    while (en.Next(k, url)) {
        EXPECT_EQ(url, QStringLiteral("https://t.example/7/%1/%2.png").arg(k.GetTileX()).arg(64 - 1 - k.GetTileY()));
        // Depository order: rows, then columns.
        EXPECT_TRUE(all.empty() || std::make_pair(k.GetTileY(), k.GetTileX()) >
                                       std::make_pair(previous.GetTileY(), previous.GetTileX()));
        all.push_back(previous = k);
    }
    ASSERT_GT(all.size(), 10u);
    EXPECT_FALSE(en.Next(k));  // stays at the end
    // Reset in the middle of a row: the same tiles from the first one again, however far it had come.
    for (int stopAt : {0, 1, 7}) {
        en.Reset();
        for (int i = 0; i < stopAt; ++i)
            en.Next(k);
        en.Reset();
        EXPECT_EQ(Names(Enumerate(en)), Names(all)) << stopAt;
    }
    en.Reset();
    int seen = 0;
    EXPECT_EQ(en.ForEach([&seen](const CTileKey&, const QString&) { return ++seen < 5; }), 5);
    EXPECT_EQ(en.ForEach([](const CTileKey&, const QString& u) { return !u.isEmpty(); }),
              static_cast<long long>(all.size()) - 5);
    // Damaged input enumerates nothing or falls back to the per-tile test.
    for (int level : {0, -4, 32, 1000}) {
        CRegionTileEnumerator bad(region, level, 1);
        EXPECT_FALSE(bad.Next(k)) << level;
    }
    CRegionTileEnumerator noPoints(QList<QPolygonF>{QPolygonF()}, 10, 1);
    EXPECT_FALSE(noPoints.Next(k));
    CRegionTileEnumerator nanExtent(CExtent(NAN, 0, 1, 1), {}, 10, 1);
    EXPECT_FALSE(nanExtent.Next(k));
    // Polygons with non-finite points meet nothing; far points are points like any other (this
    // triangle holds the region), tile by tile and in runs alike.
    const QPolygonF notFinite({QPointF(101, 31), QPointF(NAN, 32), QPointF(INFINITY, 33)});
    const QPolygonF huge({QPointF(-1e300, -1e300), QPointF(1.7e308, 0), QPointF(0, 1e15)});
    ExpectSameAsPerTile(BoundingBox(region), region + QList<QPolygonF>{notFinite}, 9, kMercator);
    ExpectSameAsPerTile(BoundingBox(region), {huge}, 9, kMercator);
    CRegionTileEnumerator whole({huge}, 3, 1);  // no extent given: the polygon's, cut to the world
    EXPECT_EQ(Enumerate(whole).size(), 4u * 4u);  // every tile of zero-based level 2
}

TEST(RegionTileEnumerator, ARaisedStopFlagEndsTheEnumeration)
{
    std::mt19937 rng(7);
    const QList<QPolygonF> region{SPOT{rng, 105, 35, 8}.Ring(2000)};
    std::atomic<bool> stop{false};
    CRegionTileEnumerator en(region, 12, 1);
    en.SetStopFlag(&stop);
    const long long all = CRegionTileEnumerator(region, 12, 1).Count();
    ASSERT_GT(all, 1000);
    // Raised between two tiles: the next one is not given.
    int seen = 0;
    EXPECT_EQ(en.ForEach([&](const CTileKey&, const QString&) { stop = ++seen == 100; return true; }), 100);
    EXPECT_TRUE(en.WasStopped());
    CTileKey k;
    EXPECT_FALSE(en.Next(k));
    EXPECT_EQ(en.Count(), 0);
    // Lowered and reset: the whole region again, counted by runs as by tiles.
    stop = false;
    en.Reset();
    EXPECT_FALSE(en.WasStopped());
    EXPECT_EQ(en.Count(), all);
    EXPECT_FALSE(en.WasStopped());
    // Raised from another thread while the enumerator is deep in a level far too large to finish.
    CRegionTileEnumerator deep(region, 26, 1);
    deep.SetStopFlag(&stop);
    std::thread raiser([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop = true;
    });
    deep.Count();
    raiser.join();
    EXPECT_TRUE(deep.WasStopped());
}
