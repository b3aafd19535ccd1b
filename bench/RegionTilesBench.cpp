// The region tile enumerator against the per-tile loop it must agree with (every tile of the
// extent's range through IsTileInPolygons), in the same process over the same seeded region of
// more than a million tiles. Counters: tiles (the range), accepted, enumerator_s and per_tile_s
// per run, and ratio = per-tile time / enumerator time (the speed-up; the aim is 20 or more).
// A run whose two answers differ is reported as an error.

#include "tile/RegionTileEnumerator.h"
#include "tile/TileRange.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// A concave, China-sized outline (a seeded star of 48 points) with a hole given as a second polygon.
QList<QPolygonF> SeededRegion()
{
    std::mt19937 rng(20240611);
    std::uniform_real_distribution<double> radius(0.55, 1.0);
    QPolygonF outer;
    for (int i = 0; i < 48; ++i) {
        const double a = i * 2 * kPi / 48;
        const double k = radius(rng);
        outer << QPointF(105.0 + 30.0 * k * std::cos(a), 35.5 + 17.5 * k * std::sin(a));
    }
    QPolygonF hole;
    for (int i = 0; i < 7; ++i) {
        const double a = i * 2 * kPi / 7;
        hole << QPointF(105.0 + 4.0 * std::cos(a), 35.5 + 3.0 * std::sin(a));
    }
    return {outer, hole};
}

EXTENT BoundingBox(const QList<QPolygonF>& polygons)
{
    const QRectF r = polygons.first().boundingRect();
    return EXTENT{r.left(), r.top(), r.right(), r.bottom()};
}

template <class F>
double ElapsedSeconds(F&& f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_RegionTilesAgainstPerTileLoop(benchmark::State& state)
{
    const int level = static_cast<int>(state.range(0));  // one-based
    const int mapType = 1;                                // Web Mercator imagery
    const QList<QPolygonF> region = SeededRegion();
    const EXTENT e = BoundingBox(region);
    CTileKey min, max;
    ConvertToTileBouding(min, max, e, level, mapType);
    min.ChangeTileModel(TILE_MODEL_MERCATOR);
    max.ChangeTileModel(TILE_MODEL_MERCATOR);
    const long long range = CalculateTileNumber(min, max);

    double enumeratorSeconds = 0.0;
    double perTileSeconds = 0.0;
    long long accepted = 0;
    for (auto _ : state) {
        std::vector<CTileKey> fast;
        enumeratorSeconds += ElapsedSeconds([&] {
            CRegionTileEnumerator en(e, region, level, mapType);
            CTileKey k;
            while (en.Next(k))
                fast.push_back(k);
        });
        std::vector<CTileKey> slow;
        perTileSeconds += ElapsedSeconds([&] {
            for (int y = min.GetTileY(); y <= max.GetTileY(); ++y) {
                for (int x = min.GetTileX(); x <= max.GetTileX(); ++x) {
                    const CTileKey k(level - 1, x, y, TILE_MODEL_MERCATOR);
                    if (IsTileInPolygons(k, e, region))
                        slow.push_back(k);
                }
            }
        });
        if (fast.size() != slow.size() || !std::equal(fast.begin(), fast.end(), slow.begin())) {
            state.SkipWithError("the enumerator and the per-tile loop disagree");
            return;
        }
        accepted = static_cast<long long>(fast.size());
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["tiles"] = static_cast<double>(range);
    state.counters["accepted"] = static_cast<double>(accepted);
    state.counters["enumerator_s"] = enumeratorSeconds / runs;
    state.counters["per_tile_s"] = perTileSeconds / runs;
    state.counters["ratio"] = enumeratorSeconds > 0 ? perTileSeconds / enumeratorSeconds : 0.0;
}

}  // namespace

// Level 14: some 1.4 million tiles in the range. One run each: the per-tile loop takes seconds.
BENCHMARK(BM_RegionTilesAgainstPerTileLoop)->Arg(14)->Iterations(1)->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
