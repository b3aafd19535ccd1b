// The region tile enumerator against the per-tile loop it must agree with (every tile of the
// extent's range through IsTileInPolygons), in the same process over the same seeded regions.
// Counters per benchmark: tiles (the range), accepted, enumerator_s and per_tile_s per run, and
// ratio = per-tile time / enumerator time (the speed-up), all in processor seconds.
//
// - RegionTilesAgainstPerTileLoop: a 48-point outline with a hole, level 14, the whole loop.
// - OutlineOfManyVerticesAgainstPerTileLoop: a 20,000-vertex outline, level 10, the whole loop.
// - CountryOutline: a 200,000-vertex country-like outline at level 14 (the aim: 1 s or less for
//   the enumerator). The whole per-tile loop would take hours, so per_tile_s is the mean time of
//   IsTileInPolygons over an even sample of the range's tiles times the range's size
//   (sampled_tiles says how many were timed).
// A run whose answers differ from the per-tile test (all of them, or the sampled ones) is reported
// as an error.

#include "tile/RegionTileEnumerator.h"
#include "tile/TileRange.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kMapType = 1;  // Web Mercator imagery

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

// A country-like outline of n vertices around (10, 47), some 12 by 8 degrees: a radius made of
// waves from the whole outline down to a few vertices long, so that it has bays and capes at every
// scale, as a coastline traced from survey data has.
QList<QPolygonF> CountryOutline(int n)
{
    std::mt19937 rng(1989);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    struct WAVE {
        double frequency, amplitude, phase;
    };
    std::vector<WAVE> waves;
    for (double f = 2; f < n / 4.0; f *= 1.6)
        waves.push_back({std::floor(f), 0.25 / std::sqrt(f), 2 * kPi * unit(rng)});
    QPolygonF ring;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * kPi * i / n;
        double r = 1.0;
        for (const WAVE& w : waves)
            r += w.amplitude * std::sin(w.frequency * a + w.phase);
        r = std::max(0.2, r);
        ring << QPointF(10.0 + 6.0 * r * std::cos(a), 47.0 + 4.0 * r * std::sin(a));
    }
    return {ring};
}

EXTENT BoundingBox(const QList<QPolygonF>& polygons)
{
    QRectF r;
    for (const QPolygonF& p : polygons)
        r |= p.boundingRect();
    return EXTENT{r.left(), r.top(), r.right(), r.bottom()};
}

// Processor time: the machines that run this are often shared, and both sides run on one thread.
template <class F>
double ElapsedSeconds(F&& f)
{
    const std::clock_t start = std::clock();
    f();
    return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

struct RANGE {
    CTileKey min, max;
    long long tiles = 0;
};

RANGE RangeOf(const EXTENT& e, int level)
{
    RANGE r;
    ConvertToTileBouding(r.min, r.max, e, level, kMapType);
    r.min.ChangeTileModel(TILE_MODEL_MERCATOR);
    r.max.ChangeTileModel(TILE_MODEL_MERCATOR);
    r.tiles = CalculateTileNumber(r.min, r.max);
    return r;
}

std::vector<CTileKey> Enumerate(const EXTENT& e, const QList<QPolygonF>& region, int level)
{
    std::vector<CTileKey> keys;
    CRegionTileEnumerator en(e, region, level, kMapType);
    CTileKey k;
    while (en.Next(k))
        keys.push_back(k);
    return keys;
}

void Report(benchmark::State& state, long long range, long long accepted, double enumeratorSeconds,
            double perTileSeconds)
{
    const double runs = static_cast<double>(state.iterations());
    state.counters["tiles"] = static_cast<double>(range);
    state.counters["accepted"] = static_cast<double>(accepted);
    state.counters["enumerator_s"] = enumeratorSeconds / runs;
    state.counters["per_tile_s"] = perTileSeconds / runs;
    state.counters["ratio"] = enumeratorSeconds > 0 ? perTileSeconds / enumeratorSeconds : 0.0;
}

// The enumerator and the whole per-tile loop.
void AgainstPerTileLoop(benchmark::State& state, const QList<QPolygonF>& region, int level)
{
    const EXTENT e = BoundingBox(region);
    const RANGE range = RangeOf(e, level);
    double enumeratorSeconds = 0.0;
    double perTileSeconds = 0.0;
    long long accepted = 0;
    for (auto _ : state) {
        std::vector<CTileKey> fast;
        enumeratorSeconds += ElapsedSeconds([&] { fast = Enumerate(e, region, level); });
        std::vector<CTileKey> slow;
        perTileSeconds += ElapsedSeconds([&] {
            for (int y = range.min.GetTileY(); y <= range.max.GetTileY(); ++y) {
                for (int x = range.min.GetTileX(); x <= range.max.GetTileX(); ++x) {
                    const CTileKey k(level - 1, x, y, TILE_MODEL_MERCATOR);
                    if (IsTileInPolygons(k, e, region))
                        slow.push_back(k);
                }
            }
        });
        if (fast != slow) {
            state.SkipWithError("the enumerator and the per-tile loop disagree");
            return;
        }
        accepted = static_cast<long long>(fast.size());
    }
    Report(state, range.tiles, accepted, enumeratorSeconds, perTileSeconds);
}

void BM_RegionTilesAgainstPerTileLoop(benchmark::State& state)
{
    AgainstPerTileLoop(state, SeededRegion(), static_cast<int>(state.range(0)));
}

void BM_OutlineOfManyVerticesAgainstPerTileLoop(benchmark::State& state)
{
    AgainstPerTileLoop(state, CountryOutline(static_cast<int>(state.range(0))), static_cast<int>(state.range(1)));
}

void BM_CountryOutline(benchmark::State& state)
{
    const QList<QPolygonF> region = CountryOutline(static_cast<int>(state.range(0)));
    const int level = static_cast<int>(state.range(1));
    const int samples = 24;
    const EXTENT e = BoundingBox(region);
    const RANGE range = RangeOf(e, level);
    double enumeratorSeconds = 0.0;
    double perTileSeconds = 0.0;
    long long accepted = 0;
    for (auto _ : state) {
        std::vector<CTileKey> fast;
        enumeratorSeconds += ElapsedSeconds([&] { fast = Enumerate(e, region, level); });
        // An even sample along the range (a stride prime to the row length, so columns vary too).
        std::vector<CTileKey> sample;
        const long long columns = range.max.GetTileX() - range.min.GetTileX() + 1;
        for (int s = 0; s < samples; ++s) {
            const long long i = (range.tiles / samples) * s + s * 7919 % std::max(1LL, range.tiles / samples);
            sample.emplace_back(level - 1, static_cast<int>(range.min.GetTileX() + i % columns),
                                static_cast<int>(range.min.GetTileY() + i / columns), TILE_MODEL_MERCATOR);
        }
        std::vector<bool> inside;
        const double sampleSeconds = ElapsedSeconds([&] {
            for (const CTileKey& k : sample)
                inside.push_back(IsTileInPolygons(k, e, region));
        });
        perTileSeconds += sampleSeconds / samples * static_cast<double>(range.tiles);
        for (int s = 0; s < samples; ++s) {
            const bool found = std::binary_search(fast.begin(), fast.end(), sample[s], [](const CTileKey& a, const CTileKey& b) {
                return a.GetTileY() != b.GetTileY() ? a.GetTileY() < b.GetTileY() : a.GetTileX() < b.GetTileX();
            });
            if (found != inside[s]) {
                state.SkipWithError("the enumerator and the per-tile test disagree on a sampled tile");
                return;
            }
        }
        accepted = static_cast<long long>(fast.size());
    }
    Report(state, range.tiles, accepted, enumeratorSeconds, perTileSeconds);
    state.counters["sampled_tiles"] = samples;
}

}  // namespace

// Level 14: some 1.4 million tiles in the range. One run each: the per-tile loop takes seconds.
BENCHMARK(BM_RegionTilesAgainstPerTileLoop)->Arg(14)->Iterations(1)->Unit(benchmark::kSecond);
// 20,000 vertices at level 10: some 1,300 tiles, each a whole pass of the clipper.
BENCHMARK(BM_OutlineOfManyVerticesAgainstPerTileLoop)->Args({20000, 10})->Iterations(1)->Unit(benchmark::kSecond);
// 200,000 vertices at level 14: some 140,000 tiles in the range.
BENCHMARK(BM_CountryOutline)->Args({200000, 14})->Iterations(1)->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
