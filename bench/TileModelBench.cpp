// Throughput of the tile models against the plain formulas they must agree with, measured in the
// same process over the same seeded points. Counters: model_ns and baseline_ns per operation, and
// ratio = model / baseline (the price of the border rules and virtual dispatch).

#include "tile/ITileModel.h"
#include "tile/TileModel.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kBatch = 4096;

struct Points {
    std::vector<double> lon;
    std::vector<double> lat;
};

const Points& SeededPoints()
{
    static const Points points = [] {
        Points p;
        std::mt19937_64 rng(20240611);
        std::uniform_real_distribution<double> lon(-180.0, 180.0);
        std::uniform_real_distribution<double> lat(-85.0, 85.0);
        for (int i = 0; i < kBatch; ++i) {
            p.lon.push_back(lon(rng));
            p.lat.push_back(lat(rng));
        }
        return p;
    }();
    return points;
}

// The slippy-map tile of a point (Web Mercator) and the equirectangular tile (geographic).
inline long long BaselineColumn(double lon, int z)
{
    return static_cast<long long>(std::floor((lon + 180.0) / 360.0 * std::ldexp(1.0, z)));
}

inline long long BaselineRow(E_TILE_MODEL scheme, double lat, int z)
{
    if (scheme == TILE_MODEL_MERCATOR) {
        const double r = lat * kPi / 180.0;
        return static_cast<long long>(std::floor((1.0 - std::asinh(std::tan(r)) / kPi) / 2.0 * std::ldexp(1.0, z)));
    }
    return z < 1 ? 0 : static_cast<long long>(std::floor((90.0 - lat) / 180.0 * std::ldexp(1.0, z - 1)));
}

// Edges of a tile: west, south, east, north.
inline double BaselineExtentSum(E_TILE_MODEL scheme, long long x, long long y, int z)
{
    const double n = std::ldexp(1.0, z);
    const double west = x / n * 360.0 - 180.0;
    const double east = (x + 1) / n * 360.0 - 180.0;
    if (scheme == TILE_MODEL_MERCATOR) {
        const double north = std::atan(std::sinh(kPi * (1.0 - 2.0 * y / n))) * 180.0 / kPi;
        const double south = std::atan(std::sinh(kPi * (1.0 - 2.0 * (y + 1) / n))) * 180.0 / kPi;
        return west + east + north + south;
    }
    const double rows = z < 1 ? 1.0 : n / 2.0;
    return west + east + (90.0 - y / rows * 180.0) + (90.0 - (y + 1) / rows * 180.0);
}

template <class F>
double ElapsedNs(F&& f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
}

void Report(benchmark::State& state, double modelNs, double baselineNs)
{
    const double ops = static_cast<double>(state.iterations()) * kBatch;
    state.counters["model_ns"] = modelNs / ops;
    state.counters["baseline_ns"] = baselineNs / ops;
    state.counters["ratio"] = baselineNs > 0 ? modelNs / baselineNs : 0.0;
    state.SetItemsProcessed(static_cast<long long>(ops));
}

void PointToKey(benchmark::State& state, E_TILE_MODEL scheme)
{
    const CTileModel* model = ITileModel::GetTileModel(scheme, true);
    const Points& p = SeededPoints();
    const int level = static_cast<int>(state.range(0));
    double modelNs = 0.0;
    double baselineNs = 0.0;
    long long sink = 0;
    for (auto _ : state) {
        modelNs += ElapsedNs([&] {
            for (int i = 0; i < kBatch; ++i) {
                const CTileKey k = model->MakeKey(level, p.lon[i], p.lat[i]);
                sink += k.GetTileX() + k.GetTileY();
            }
        });
        baselineNs += ElapsedNs([&] {
            for (int i = 0; i < kBatch; ++i)
                sink += BaselineColumn(p.lon[i], level) + BaselineRow(scheme, p.lat[i], level);
        });
        benchmark::DoNotOptimize(sink);
    }
    Report(state, modelNs, baselineNs);
}

void KeyToExtent(benchmark::State& state, E_TILE_MODEL scheme)
{
    const CTileModel* model = ITileModel::GetTileModel(scheme, true);
    const Points& p = SeededPoints();
    const int level = static_cast<int>(state.range(0));
    std::vector<CTileKey> keys;
    for (int i = 0; i < kBatch; ++i)
        keys.push_back(model->MakeKey(level, p.lon[i], p.lat[i]));
    double modelNs = 0.0;
    double baselineNs = 0.0;
    double sink = 0.0;
    for (auto _ : state) {
        modelNs += ElapsedNs([&] {
            for (const CTileKey& k : keys) {
                const CExtent e = model->GetGeoExtent(k);
                sink += e.minx + e.miny + e.maxx + e.maxy;
            }
        });
        baselineNs += ElapsedNs([&] {
            for (const CTileKey& k : keys)
                sink += BaselineExtentSum(scheme, k.GetTileX(), k.GetTileY(), level);
        });
        benchmark::DoNotOptimize(sink);
    }
    Report(state, modelNs, baselineNs);
}

void BM_MercatorPointToKey(benchmark::State& state)
{
    PointToKey(state, TILE_MODEL_MERCATOR);
}
void BM_GeographicPointToKey(benchmark::State& state)
{
    PointToKey(state, TILE_MODEL_GEOGRAPHIC);
}
void BM_MercatorKeyToExtent(benchmark::State& state)
{
    KeyToExtent(state, TILE_MODEL_MERCATOR);
}
void BM_GeographicKeyToExtent(benchmark::State& state)
{
    KeyToExtent(state, TILE_MODEL_GEOGRAPHIC);
}

}  // namespace

BENCHMARK(BM_MercatorPointToKey)->Arg(12)->Arg(22);
BENCHMARK(BM_GeographicPointToKey)->Arg(12)->Arg(22);
BENCHMARK(BM_MercatorKeyToExtent)->Arg(12)->Arg(22);
BENCHMARK(BM_GeographicKeyToExtent)->Arg(12)->Arg(22);

BENCHMARK_MAIN();
