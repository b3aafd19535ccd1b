#include "tile/RegionTileEnumerator.h"

#include "tile/ITileModel.h"
#include "tile/TileModel.h"
#include "tile/TileRange.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<CTileKey> Enumerate(CRegionTileEnumerator& en)
{
    std::vector<CTileKey> keys;
    CTileKey k;
    while (en.Next(k))
        keys.push_back(k);
    return keys;
}

// The definition: every tile of the extent's range, tested one by one.
std::vector<CTileKey> PerTile(const EXTENT& e, const QList<QPolygonF>& polygons, int level, int mapType,
                              E_TILE_MODEL scheme)
{
    std::vector<CTileKey> keys;
    CTileKey min, max;
    if (!ConvertToTileBouding(min, max, e, level, mapType))
        return keys;
    min.ChangeTileModel(scheme);
    max.ChangeTileModel(scheme);
    for (int y = min.GetTileY(); y <= max.GetTileY(); ++y) {
        for (int x = min.GetTileX(); x <= max.GetTileX(); ++x) {
            const CTileKey k(level - 1, x, y, scheme);
            if (IsTileInPolygons(k, e, polygons))
                keys.push_back(k);
        }
    }
    return keys;
}

EXTENT BoundingBox(const QList<QPolygonF>& polygons)
{
    QRectF box;
    for (const QPolygonF& p : polygons)
        box |= p.boundingRect();
    return EXTENT{box.left(), box.top(), box.right(), box.bottom()};
}

enum class Shape { Convex, Concave, WithHole, SelfCrossing };

// A random polygon around (cx, cy) with radii up to r (degrees): convex (points on an ellipse),
// concave (a star with random radii), a star with a hole given as a second polygon, or a
// self-crossing one (points in random order).
QList<QPolygonF> RandomRegion(std::mt19937& rng, Shape shape, double cx, double cy, double r)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const int n = 3 + static_cast<int>(unit(rng) * 14);
    std::vector<double> angles;
    for (int i = 0; i < n; ++i)
        angles.push_back(unit(rng) * 2 * kPi);
    std::sort(angles.begin(), angles.end());
    if (shape == Shape::SelfCrossing)
        std::shuffle(angles.begin(), angles.end(), rng);
    const double ax = r * (0.5 + 0.5 * unit(rng));
    const double ay = r * (0.5 + 0.5 * unit(rng));
    QPolygonF outer;
    for (double a : angles) {
        const double k = shape == Shape::Convex ? 1.0 : 0.3 + 0.7 * unit(rng);
        outer << QPointF(cx + ax * k * std::cos(a), cy + ay * k * std::sin(a));
    }
    QList<QPolygonF> region{outer};
    if (shape == Shape::WithHole) {
        QPolygonF hole;
        for (int i = 0; i < 5; ++i) {
            const double a = i * 2 * kPi / 5 + unit(rng) * 0.5;
            hole << QPointF(cx + 0.2 * ax * std::cos(a), cy + 0.2 * ay * std::sin(a));
        }
        region << hole;
    }
    return region;
}

struct SCHEME_CASE {
    int mapType;
    E_TILE_MODEL scheme;
    int cases;  // random regions per level
};

void ExpectSameAsPerTile(const EXTENT& e, const QList<QPolygonF>& polygons, int level, const SCHEME_CASE& s)
{
    CRegionTileEnumerator en(e, polygons, level, s.mapType);
    ASSERT_EQ(en.GetTileModel(), s.scheme);
    const std::vector<CTileKey> fast = Enumerate(en);
    const std::vector<CTileKey> slow = PerTile(e, polygons, level, s.mapType, s.scheme);
    ASSERT_EQ(fast.size(), slow.size()) << "level " << level << " map type " << s.mapType;
    for (std::size_t i = 0; i < fast.size(); ++i) {
        ASSERT_EQ(fast[i].GetTileKeyString(), slow[i].GetTileKeyString()) << i;  // same tiles, same order
        ASSERT_EQ(fast[i].GetTileModel(), s.scheme);
    }
}

// A wiggly ring of n vertices around (cx, cy), radii r * (0.55 .. 1), turning `turns` times.
QPolygonF Outline(std::mt19937& rng, int n, double cx, double cy, double r, int turns = 1)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    QPolygonF ring;
    double k = 0.8;
    for (int i = 0; i < n; ++i) {
        k = std::min(1.0, std::max(0.55, k + 0.12 * (unit(rng) - 0.5)));
        const double a = turns * 2 * kPi * (i + 0.8 * unit(rng)) / n;
        ring << QPointF(cx + r * k * std::cos(a), cy + 0.8 * r * k * std::sin(a));
    }
    return ring;
}

// The vertex moved onto the nearest corner (both) or border line (one coordinate) of its tile.
QPointF SnapToTile(const CTileModel* model, int zeroLevel, const QPointF& v, int which)
{
    const CExtent g = model->GetGeoExtent(model->MakeKey(zeroLevel, v.x(), v.y()));
    const double x = v.x() - g.minx < g.maxx - v.x() ? g.minx : g.maxx;
    const double y = v.y() - g.miny < g.maxy - v.y() ? g.miny : g.maxy;
    return QPointF(which == 1 ? v.x() : x, which == 0 ? v.y() : y);
}

}  // namespace

TEST(RegionTileEnumerator, AgreesWithThePerTileTestOnPolygonsOfManyVertices)
{
    using Make = std::function<QList<QPolygonF>(std::mt19937&, const CTileModel*, int, double, double, double)>;
    struct Row {
        const char* what;
        Make make;
    };
    const Row rows[] = {
        {"a coastline", [](std::mt19937& rng, const CTileModel*, int, double cx, double cy, double r) {
             return QList<QPolygonF>{Outline(rng, 700, cx, cy, r)};
         }},
        {"runs of vertices on tile corners and borders, so edges lie on tile borders",
         [](std::mt19937& rng, const CTileModel* m, int z, double cx, double cy, double r) {
             QPolygonF ring = Outline(rng, 400, cx, cy, r);
             for (int i = 0; i < ring.size(); ++i)
                 if ((i / 5) % 3 != 2) ring[i] = SnapToTile(m, z, ring[i], (i / 15) % 3);
             return QList<QPolygonF>{ring};
         }},
        {"a hole in the same ring (outer, back to its start, inner, back)",
         [](std::mt19937& rng, const CTileModel*, int, double cx, double cy, double r) {
             QPolygonF ring = Outline(rng, 300, cx, cy, r);
             const QPolygonF hole = Outline(rng, 200, cx, cy, 0.4 * r);
             ring << ring.first() << hole << hole.first();
             return QList<QPolygonF>{ring};
         }},
        {"overlapping polygons, many and few vertices, with an island",
         [](std::mt19937& rng, const CTileModel*, int, double cx, double cy, double r) {
             return QList<QPolygonF>{Outline(rng, 300, cx - 0.3 * r, cy, 0.7 * r), Outline(rng, 250, cx + 0.3 * r, cy, 0.7 * r),
                                     Outline(rng, 7, cx, cy + 0.2 * r, 0.3 * r), Outline(rng, 60, cx, cy - 0.9 * r, 0.1 * r)};
         }},
        {"repeated vertices, spikes out and back, collinear runs",
         [](std::mt19937& rng, const CTileModel*, int, double cx, double cy, double r) {
             const QPolygonF base = Outline(rng, 250, cx, cy, r);
             QPolygonF ring;
             for (int i = 0; i < base.size(); ++i) {
                 ring << base[i];
                 if (i % 9 == 0) ring << base[i];                                                 // repeated
                 if (i % 13 == 0) ring << QPointF(cx + 1.3 * (base[i].x() - cx), base[i].y()) << base[i];  // spike
                 if (i % 17 == 0) ring << (base[i] + base[(i + 1) % base.size()]) / 2;              // collinear
             }
             return QList<QPolygonF>{ring};
         }},
        {"self-touching: two lobes meeting in one vertex, visited twice",
         [](std::mt19937& rng, const CTileModel*, int, double cx, double cy, double r) {
             QPolygonF ring;
             const QPointF waist(cx, cy);
             for (const QPointF& v : Outline(rng, 200, cx - 0.5 * r, cy, 0.5 * r))
                 ring << (v.x() > cx ? waist : v);
             for (const QPointF& v : Outline(rng, 200, cx + 0.5 * r, cy, 0.5 * r))
                 ring << (v.x() < cx ? waist : v);
             return QList<QPolygonF>{ring};
         }},
        {"a ring winding twice round (odd-even: the doubly covered part is out)",
         [](std::mt19937& rng, const CTileModel*, int, double cx, double cy, double r) {
             return QList<QPolygonF>{Outline(rng, 500, cx, cy, r, 2)};
         }},
        {"a few long edges beside a dense stretch",
         [](std::mt19937& rng, const CTileModel*, int, double cx, double cy, double r) {
             QPolygonF ring = Outline(rng, 300, cx, cy, r);
             ring.erase(ring.begin() + 40, ring.begin() + 200);
             return QList<QPolygonF>{ring};
         }},
    };
    const SCHEME_CASE schemes[] = {{1, TILE_MODEL_MERCATOR, 1}, {5, TILE_MODEL_GEOGRAPHIC, 1}, {44, TILE_MODEL_BAIDU, 1}};
    std::mt19937 rng(4711);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (const Row& row : rows) {
        for (const SCHEME_CASE& s : schemes) {
            const CTileModel* model = ITileModel::GetTileModel(s.scheme, true);
            for (int level : {9, 16}) {
                // Some 20 tiles across, in China.
                const double r = 10 * 360.0 / std::ldexp(1.0, level - 1);
                const QList<QPolygonF> region = row.make(rng, model, level - 1, 100 + 20 * unit(rng), 25 + 15 * unit(rng), r);
                SCOPED_TRACE(testing::Message() << row.what << ", map type " << s.mapType << ", level " << level);
                ExpectSameAsPerTile(BoundingBox(region), region, level, s);
                if (HasFatalFailure())
                    return;
            }
        }
    }
}

TEST(RegionTileEnumerator, AgreesWithThePerTileTestOnRandomPolygons)
{
    const SCHEME_CASE schemes[] = {{1, TILE_MODEL_MERCATOR, 10}, {5, TILE_MODEL_GEOGRAPHIC, 10}, {44, TILE_MODEL_BAIDU, 3}};
    std::mt19937 rng(90210);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    long long tiles = 0;
    for (const SCHEME_CASE& s : schemes) {
        for (int level : {3, 7, 11, 15, 18}) {
            // Regions some 30 to 60 tiles across, somewhere in China (or anywhere at level 3).
            const double tile = 360.0 / std::ldexp(1.0, level - 1);
            for (int c = 0; c < s.cases; ++c) {
                const Shape shape = static_cast<Shape>(c % 4);
                const double r = tile * (15 + 15 * unit(rng));
                const double cx = level == 3 ? -60 + 120 * unit(rng) : 80 + 50 * unit(rng);
                const double cy = level == 3 ? -20 + 40 * unit(rng) : 20 + 30 * unit(rng);
                const QList<QPolygonF> region = RandomRegion(rng, shape, cx, cy, r);
                SCOPED_TRACE(testing::Message() << "map type " << s.mapType << " level " << level << " shape " << c % 4);
                ExpectSameAsPerTile(BoundingBox(region), region, level, s);
                if (HasFatalFailure())
                    return;
                tiles += static_cast<long long>(r / tile) * static_cast<long long>(r / tile);
            }
        }
    }
    EXPECT_GT(tiles, 10000);
}

// Edges on tile borders, vertices on corners, slivers and points: the cases where "meets" is
// decided by the exact test and the runs must leave it to that test.
TEST(RegionTileEnumerator, AgreesOnBorderCases)
{
    const CTileModel* mercator = ITileModel::GetTileModel(TILE_MODEL_MERCATOR, true);
    const CExtent a = mercator->GetGeoExtent(CTileKey(9, 400, 200, TILE_MODEL_MERCATOR));
    const CExtent b = mercator->GetGeoExtent(CTileKey(9, 420, 215, TILE_MODEL_MERCATOR));
    const QPolygonF onBorders({QPointF(a.minx, a.maxy), QPointF(b.maxx, a.maxy), QPointF(b.maxx, b.miny),
                               QPointF(a.minx, b.miny)});
    const QPolygonF cornerDiamond({QPointF(a.minx, (a.maxy + b.miny) / 2), QPointF((a.minx + b.maxx) / 2, a.maxy),
                                   QPointF(b.maxx, (a.maxy + b.miny) / 2), QPointF((a.minx + b.maxx) / 2, b.miny)});
    const QPolygonF sliver({QPointF(a.minx, a.maxy), QPointF(b.maxx, b.miny), QPointF(b.maxx + 1e-9, b.miny)});
    const QPolygonF horizontal({QPointF(a.minx + 0.01, a.miny), QPointF(b.maxx - 0.01, a.miny),
                                QPointF(b.maxx - 0.01, b.miny), QPointF(a.minx + 0.01, a.miny)});
    const QPolygonF point(QVector<QPointF>{QPointF((a.minx + b.maxx) / 2, (a.maxy + b.miny) / 2)});
    const QPolygonF segment(QVector<QPointF>{QPointF(a.minx, a.maxy), QPointF(b.maxx, b.miny)});
    const SCHEME_CASE s{1, TILE_MODEL_MERCATOR, 1};
    const EXTENT box = BoundingBox({onBorders});
    for (const QList<QPolygonF>& polygons :
         {QList<QPolygonF>{onBorders}, QList<QPolygonF>{cornerDiamond}, QList<QPolygonF>{sliver},
          QList<QPolygonF>{horizontal}, QList<QPolygonF>{point}, QList<QPolygonF>{segment},
          QList<QPolygonF>{QPolygonF()}, QList<QPolygonF>{onBorders, cornerDiamond, point}}) {
        ExpectSameAsPerTile(box, polygons, 10, s);
        ExpectSameAsPerTile(box, polygons, 13, s);
    }
}

TEST(RegionTileEnumerator, AnExtentAloneGivesTheTilesThatMeetIt)
{
    const SCHEME_CASE schemes[] = {{1, TILE_MODEL_MERCATOR, 1}, {5, TILE_MODEL_GEOGRAPHIC, 1}, {44, TILE_MODEL_BAIDU, 1}};
    const CExtent e(116.1, 39.7, 116.9, 40.3);
    for (const SCHEME_CASE& s : schemes) {
        ExpectSameAsPerTile(e, {}, 12, s);
        ExpectSameAsPerTile(e, {}, 4, s);
    }
    // An extent whose edges lie on tile borders.
    const CExtent g = ITileModel::GetTileModel(TILE_MODEL_GEOGRAPHIC, true)->GetGeoExtent(CTileKey(6, 10, 12, TILE_MODEL_GEOGRAPHIC));
    ExpectSameAsPerTile(CExtent(g.minx, g.miny, g.maxx + 20 * (g.maxx - g.minx), g.maxy), {}, 7, schemes[1]);
}

TEST(RegionTileEnumerator, UrlsOrderResetAndStopping)
{
    const QList<QPolygonF> region{QPolygonF({QPointF(100, 30), QPointF(110, 30), QPointF(105, 38)})};
    CRegionTileEnumerator en(region, 8, 5);  // geographic: rows flip over half the columns
    en.SetUrlTemplate(QStringLiteral("https://t.example/{z}/{x}/{-y}.png"));
    CTileKey k, previous(TILE_MODEL_GEOGRAPHIC);
    QString url;
    int count = 0;
    while (en.Next(k, url)) {
        EXPECT_EQ(url, QStringLiteral("https://t.example/7/%1/%2.png").arg(k.GetTileX()).arg(64 - 1 - k.GetTileY()));
        if (count > 0) {  // depository order: rows, then columns
            EXPECT_TRUE(k.GetTileY() > previous.GetTileY() ||
                        (k.GetTileY() == previous.GetTileY() && k.GetTileX() > previous.GetTileX()));
        }
        previous = k;
        ++count;
    }
    ASSERT_GT(count, 10);
    EXPECT_FALSE(en.Next(k));  // stays at the end

    en.Reset();
    int seen = 0;
    EXPECT_EQ(en.ForEach([&seen](const CTileKey&, const QString&) { return ++seen < 5; }), 5);
    EXPECT_EQ(en.ForEach([](const CTileKey&, const QString& u) { return !u.isEmpty(); }), count - 5);
}

TEST(RegionTileEnumerator, DamagedInputEnumeratesNothingOrFallsBackToThePerTileTest)
{
    const QList<QPolygonF> region{QPolygonF({QPointF(100, 30), QPointF(110, 30), QPointF(105, 38)})};
    CTileKey k;
    for (int level : {0, -4, 32, 1000}) {
        CRegionTileEnumerator en(region, level, 1);
        EXPECT_FALSE(en.Next(k)) << level;
    }
    CRegionTileEnumerator noPoints(QList<QPolygonF>{QPolygonF()}, 10, 1);
    EXPECT_FALSE(noPoints.Next(k));
    CRegionTileEnumerator nanExtent(CExtent(NAN, 0, 1, 1), {}, 10, 1);
    EXPECT_FALSE(nanExtent.Next(k));

    // Polygons with non-finite points meet nothing; far points are points like any other (this
    // triangle holds the region), tile by tile and in runs alike.
    const QPolygonF notFinite({QPointF(101, 31), QPointF(NAN, 32), QPointF(INFINITY, 33)});
    const QPolygonF huge({QPointF(-1e300, -1e300), QPointF(1.7e308, 0), QPointF(0, 1e15)});
    ExpectSameAsPerTile(BoundingBox(region), region + QList<QPolygonF>{notFinite}, 9, {1, TILE_MODEL_MERCATOR, 1});
    ExpectSameAsPerTile(BoundingBox(region), {huge}, 9, {1, TILE_MODEL_MERCATOR, 1});
    const CTileKey inside(8, 200, 100, TILE_MODEL_MERCATOR);
    EXPECT_FALSE(IsTileInPolygons(inside, CExtent(), {notFinite}));
    EXPECT_TRUE(IsTileInPolygon(inside, CExtent(), huge));
    CRegionTileEnumerator whole({huge}, 3, 1);  // no extent given: the polygon's, cut to the world
    EXPECT_EQ(Enumerate(whole).size(), 4u * 4u);  // every tile of zero-based level 2
}

TEST(RegionTileEnumerator, ARaisedStopFlagEndsTheEnumeration)
{
    std::mt19937 rng(7);
    const QList<QPolygonF> region{Outline(rng, 2000, 105, 35, 8)};
    std::atomic<bool> stop{false};
    CRegionTileEnumerator en(region, 12, 1);
    en.SetStopFlag(&stop);
    const long long all = CRegionTileEnumerator(region, 12, 1).Count();
    ASSERT_GT(all, 1000);

    // Raised between two tiles: the next one is not given.
    int seen = 0;
    EXPECT_EQ(en.ForEach([&](const CTileKey&, const QString&) {
        if (++seen == 100) stop = true;
        return true;
    }), 100);
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
