// Tile depository throughput against baselines measured in the same process on the same bytes.
//   BM_WriteBuffer/T: T threads write 8-32 KiB tiles into a fresh depository. pattern = the same T
//     threads doing what the format needs and nothing else: claim the data offset with one atomic
//     addition, pwrite the tile, pwrite the 12-byte offset and length of its slot; plain = one
//     thread appending the same bytes with buffered fwrite plus the same slot updates; sqlite = the
//     same tiles inserted into an MBTiles-style table (WAL, one transaction per 1000 tiles).
//     Counters: *_MBps, ratio_pattern = depository / pattern, ratio_plain, ratio_sqlite.
//   BM_ReadBuffer/T: T threads read the tiles in random order. pattern = pread of the 20-byte slot,
//     then pread of the bytes it names (the least a reader of the format does); pread = pread of
//     the tile alone, its range known beforehand. Counters: ratio_pattern, ratio_pread.
//   BM_Create: an index of 5.6 million slots against writing as many bytes sequentially (ratio),
//     with the growth of the resident set while creating.
//   BM_ConvertToDatIndex / BM_ConvertToTileKey: conversions per second over levels 1 to 18.
#include "core/platform/Platform.h"
#include "storage/DatIndexConvert.h"
#include "storage/IdxFileDepository.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<unsigned char>;

constexpr int kTilesPerRound = 1200;
const EXTENT kChina{73.5, 18.2, 135.1, 53.6};
constexpr int kMercatorMapType = 1;

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<Bytes> MakeTiles(int count, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<Bytes> tiles(static_cast<size_t>(count));
    for (Bytes& t : tiles) {
        t.resize(8192 + rng() % (32768 - 8192 + 1));
        for (size_t i = 0; i < t.size(); i += 4) t[i] = static_cast<unsigned char>(rng());
    }
    return tiles;
}

double TotalBytes(const std::vector<Bytes>& tiles) {
    double n = 0;
    for (const Bytes& t : tiles) n += static_cast<double>(t.size());
    return n;
}

STRUCT_DOWNLOAD_TASK ChinaTask(int level) {
    STRUCT_DOWNLOAD_TASK task;
    task.level = {level};
    task.extent = kChina;
    task.maptype = kMercatorMapType;
    return task;
}

// Plain append plus slot update: what the depository does, without locks, records or checks.
double PlainWrite(const std::string& dir, const std::vector<Bytes>& tiles, const std::vector<long long>& slotOf) {
    std::FILE* dat = std::fopen((dir + "/plain.dat").c_str(), "wb");
    std::FILE* idx = std::fopen((dir + "/plain.idx").c_str(), "wb+");
    std::vector<unsigned char> zeros(static_cast<size_t>(*std::max_element(slotOf.begin(), slotOf.end())) * 20, 0);
    std::fwrite(zeros.data(), 1, zeros.size(), idx);
    std::fflush(idx);
    long long offset = 100;
    const Clock::time_point start = Clock::now();
    for (size_t i = 0; i < tiles.size(); ++i) {
        std::fwrite(tiles[i].data(), 1, tiles[i].size(), dat);
        unsigned char field[12];
        const int length = static_cast<int>(tiles[i].size());
        std::memcpy(field, &offset, 8);
        std::memcpy(field + 8, &length, 4);
        ::fseeko(idx, static_cast<off_t>(slotOf[i] * 20 - 12), SEEK_SET);
        std::fwrite(field, 1, 12, idx);
        offset += length;
    }
    std::fflush(dat);
    std::fflush(idx);
    const double s = Seconds(start);
    std::fclose(dat);
    std::fclose(idx);
    return s;
}

// Runs fn(t) on threads t = 0..n-1 and waits for them.
template <typename Fn>
void RunThreads(int n, Fn fn) {
    std::vector<std::thread> pool;
    for (int t = 0; t < n; ++t) pool.emplace_back(fn, t);
    for (std::thread& t : pool) t.join();
}

// Index and data files of the same sizes as a fresh depository's, for the pattern baselines.
struct PatternFiles {
    int dat = -1;
    int idx = -1;
    PatternFiles(const std::string& dir, long long slotTotal) {
        dat = ::open((dir + "/pattern.dat").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        idx = ::open((dir + "/pattern.idx").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        const std::vector<unsigned char> header(100, 0);
        if (::pwrite(dat, header.data(), header.size(), 0) != 100) std::perror("pattern.dat");
        const std::vector<unsigned char> zeros(static_cast<size_t>(slotTotal) * 20, 0);
        if (::pwrite(idx, zeros.data(), zeros.size(), 0) != static_cast<ssize_t>(zeros.size())) std::perror("pattern.idx");
    }
    ~PatternFiles() {
        ::close(dat);
        ::close(idx);
    }
};

// The lock-free write pattern: claim the offset atomically, pwrite the tile, pwrite the slot.
double PatternWrite(const std::string& dir, int threads, long long slotTotal, const std::vector<Bytes>& tiles,
                    const std::vector<long long>& slotOf) {
    PatternFiles files(dir, slotTotal);
    std::atomic<long long> end{100};
    const Clock::time_point start = Clock::now();
    RunThreads(threads, [&](int t) {
        for (size_t i = static_cast<size_t>(t); i < tiles.size(); i += static_cast<size_t>(threads)) {
            const int length = static_cast<int>(tiles[i].size());
            const long long offset = end.fetch_add(length);
            if (::pwrite(files.dat, tiles[i].data(), tiles[i].size(), offset) != length) std::abort();
            unsigned char field[12];
            std::memcpy(field, &offset, 8);
            std::memcpy(field + 8, &length, 4);
            if (::pwrite(files.idx, field, 12, slotOf[i] * 20 - 12) != 12) std::abort();
        }
    });
    return Seconds(start);
}

double SqliteWrite(const std::string& dir, const std::vector<Bytes>& tiles, const std::vector<long long>& slotOf) {
    const std::string path = dir + "/tiles.mbtiles";
    std::remove(path.c_str());
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return 0;
    sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    sqlite3_exec(db,
                 "CREATE TABLE tiles (zoom_level INTEGER, tile_column INTEGER, tile_row INTEGER, tile_data BLOB);"
                 "CREATE UNIQUE INDEX tile_index ON tiles (zoom_level, tile_column, tile_row);",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT OR REPLACE INTO tiles VALUES (?, ?, ?, ?)", -1, &insert, nullptr);
    const Clock::time_point start = Clock::now();
    for (size_t i = 0; i < tiles.size(); ++i) {
        if (i % 1000 == 0) {
            if (i > 0) sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        }
        sqlite3_bind_int(insert, 1, 9);
        sqlite3_bind_int64(insert, 2, slotOf[i] % 4096);
        sqlite3_bind_int64(insert, 3, slotOf[i] / 4096);
        sqlite3_bind_blob(insert, 4, tiles[i].data(), static_cast<int>(tiles[i].size()), SQLITE_STATIC);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const double s = Seconds(start);
    sqlite3_finalize(insert);
    sqlite3_close(db);
    return s;
}

void BM_WriteBuffer(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(0));
    QTemporaryDir dir;
    const std::string base = dir.path().toStdString();
    CIdxFileDepository dep;
    dep.SetIndexFile(base + "/dep.idx");
    if (!dep.Create(ChinaTask(9), false, nullptr, BLOCK_WAITING) || !dep.Open(false)) {
        state.SkipWithError("cannot create the depository");
        return;
    }
    const long long maxSlot = dep.GetMaxIndex();
    const std::vector<Bytes> tiles = MakeTiles(kTilesPerRound, 42);
    std::vector<long long> slotOf(tiles.size());
    std::mt19937 rng(7);
    for (long long& s : slotOf) s = 1 + static_cast<long long>(rng() % static_cast<unsigned long long>(maxSlot));
    const double bytes = TotalBytes(tiles);
    double depSeconds = 0, patternSeconds = 0, plainSeconds = 0, sqliteSeconds = 0;
    int round = 0;
    for (auto _ : state) {
        // Each round starts from fresh files, the depository and the pattern alike, and they take
        // turns at going first.
        dep.Close();
        if (!dep.Create(ChinaTask(9), true, nullptr, BLOCK_WAITING) || !dep.Open(false)) {
            state.SkipWithError("cannot create the depository");
            return;
        }
        if (round % 2 == 1) patternSeconds += PatternWrite(base, threads, maxSlot, tiles, slotOf);
        const Clock::time_point start = Clock::now();
        RunThreads(threads, [&](int t) {
            for (size_t i = static_cast<size_t>(t); i < tiles.size(); i += static_cast<size_t>(threads)) {
                Bytes& tile = const_cast<Bytes&>(tiles[i]);
                dep.WriteBuffer(slotOf[i], tile.data(), static_cast<int>(tile.size()), false);
            }
        });
        const double s = Seconds(start);
        depSeconds += s;
        state.SetIterationTime(s);
        if (round++ % 2 == 0) patternSeconds += PatternWrite(base, threads, maxSlot, tiles, slotOf);
        plainSeconds += PlainWrite(base, tiles, slotOf);
        sqliteSeconds += SqliteWrite(base, tiles, slotOf);
    }
    const double n = static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(bytes * n));
    state.counters["dep_MBps"] = bytes * n / depSeconds / 1e6;
    state.counters["pattern_MBps"] = bytes * n / patternSeconds / 1e6;
    state.counters["plain_MBps"] = bytes * n / plainSeconds / 1e6;
    state.counters["sqlite_MBps"] = bytes * n / sqliteSeconds / 1e6;
    state.counters["ratio_pattern"] = patternSeconds / depSeconds;
    state.counters["ratio_plain"] = plainSeconds / depSeconds;
    state.counters["ratio_sqlite"] = sqliteSeconds / depSeconds;
}

void BM_ReadBuffer(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(0));
    QTemporaryDir dir;
    CIdxFileDepository dep;
    dep.SetIndexFile(dir.path().toStdString() + "/dep.idx");
    if (!dep.Create(ChinaTask(9), false, nullptr, BLOCK_WAITING) || !dep.Open(false)) {
        state.SkipWithError("cannot create the depository");
        return;
    }
    std::vector<Bytes> tiles = MakeTiles(kTilesPerRound, 11);
    std::vector<long long> slotOf(tiles.size());
    std::iota(slotOf.begin(), slotOf.end(), 1);
    for (size_t i = 0; i < tiles.size(); ++i) {
        dep.WriteBuffer(slotOf[i], tiles[i].data(), static_cast<int>(tiles[i].size()), false);
    }
    dep.FlushDATFile();
    struct Range {
        long long offset;
        int length;
    };
    std::vector<Range> ranges(slotOf.size());
    for (size_t i = 0; i < slotOf.size(); ++i) {
        long long id = 0;
        dep.GetIndexInfo(id, ranges[i].offset, ranges[i].length, slotOf[i]);
    }
    std::vector<size_t> order(slotOf.size());
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), std::mt19937(3));
    const int dat = ::open(dep.GetDATFile().c_str(), O_RDONLY);
    const int idx = ::open(dep.GetIndexFile().c_str(), O_RDONLY);
    std::vector<Bytes> buffers(static_cast<size_t>(threads), Bytes(CIdxFileDepository::kTravelBuffer));
    // Runs read(buffer, i) for every tile, the tiles of the random order dealt out to the threads.
    auto timed = [&](auto read) {
        const Clock::time_point start = Clock::now();
        RunThreads(threads, [&](int t) {
            Bytes& buf = buffers[static_cast<size_t>(t)];
            for (size_t k = static_cast<size_t>(t); k < order.size(); k += static_cast<size_t>(threads)) {
                read(buf, order[k]);
            }
        });
        return Seconds(start);
    };
    const double bytes = TotalBytes(tiles);
    double depSeconds = 0, patternSeconds = 0, preadSeconds = 0;
    int round = 0;
    for (auto _ : state) {
        // The three take turns at going first, as the first of a round may find colder caches.
        auto readPread = [&] {
            preadSeconds += timed([&](Bytes& buf, size_t i) {
                benchmark::DoNotOptimize(
                    ::pread(dat, buf.data(), static_cast<size_t>(ranges[i].length), ranges[i].offset));
            });
        };
        if (round % 2 == 1) readPread();
        const double s = timed([&](Bytes& buf, size_t i) {
            benchmark::DoNotOptimize(dep.ReadBuffer(slotOf[i], buf.data(), static_cast<int>(buf.size())));
        });
        depSeconds += s;
        state.SetIterationTime(s);
        patternSeconds += timed([&](Bytes& buf, size_t i) {
            unsigned char slot[20];
            if (::pread(idx, slot, 20, (slotOf[i] - 1) * 20) != 20) std::abort();
            long long offset = 0;
            int length = 0;
            std::memcpy(&offset, slot + 8, 8);
            std::memcpy(&length, slot + 16, 4);
            benchmark::DoNotOptimize(::pread(dat, buf.data(), static_cast<size_t>(length), offset));
        });
        if (round++ % 2 == 0) readPread();
    }
    ::close(dat);
    ::close(idx);
    const double n = static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(bytes * n));
    state.counters["dep_MBps"] = bytes * n / depSeconds / 1e6;
    state.counters["pattern_MBps"] = bytes * n / patternSeconds / 1e6;
    state.counters["pread_MBps"] = bytes * n / preadSeconds / 1e6;
    state.counters["ratio_pattern"] = patternSeconds / depSeconds;
    state.counters["ratio_pread"] = preadSeconds / depSeconds;
}

void BM_Create(benchmark::State& state) {
    QTemporaryDir dir;
    const std::string base = dir.path().toStdString();
    STRUCT_DOWNLOAD_TASK task;
    task.level = {12};  // the Web Mercator world to level 12: 5,592,405 slots
    task.extent = EXTENT{-180.0, -85.05112877980655, 180.0, 85.05112877980655};
    task.maptype = kMercatorMapType;
    double createSeconds = 0, plainSeconds = 0, rssGrowth = 0;
    long long slotTotal = 0;
    for (auto _ : state) {
        CIdxFileDepository dep;
        dep.SetIndexFile(base + "/big.idx");
        std::uint64_t rssBefore = 0, rssAfter = 0;
        GetVtPlatform().WorkingSetBytes(rssBefore);
        Clock::time_point start = Clock::now();
        if (!dep.Create(task, true, nullptr, BLOCK_WAITING)) {
            state.SkipWithError("create failed");
            return;
        }
        const double s = Seconds(start);
        GetVtPlatform().WorkingSetBytes(rssAfter);
        rssGrowth = std::max(rssGrowth, static_cast<double>(rssAfter) - static_cast<double>(rssBefore));
        createSeconds += s;
        state.SetIterationTime(s);
        slotTotal = dep.GetIndexConverter().GetTileNumberUtilLevel(12);

        // The same number of bytes written sequentially in chunks of one batch.
        const std::string plain = base + "/plain.bin";
        Bytes chunk(static_cast<size_t>(CIdxFileDepository::kFillBatchSlots) * 20, 1);
        long long left = slotTotal * 20;
        start = Clock::now();
        std::FILE* f = std::fopen(plain.c_str(), "wb");
        while (left > 0) {
            const size_t n = static_cast<size_t>(std::min<long long>(left, static_cast<long long>(chunk.size())));
            std::fwrite(chunk.data(), 1, n, f);
            left -= static_cast<long long>(n);
        }
        std::fflush(f);
        std::fclose(f);
        plainSeconds += Seconds(start);
        std::remove(plain.c_str());
        dep.Delete();
    }
    state.counters["slots"] = static_cast<double>(slotTotal);
    state.counters["ratio"] = plainSeconds / createSeconds;
    state.counters["rss_growth_MB"] = rssGrowth / 1e6;
}

void BM_ConvertToDatIndex(benchmark::State& state) {
    const CDatIndexConvert conv(TILE_MODEL_MERCATOR, kChina);
    const long long total = conv.GetTileNumberUtilLevel(18);
    std::mt19937_64 rng(5);
    std::vector<CTileKey> keys(4096);
    for (CTileKey& k : keys) k = conv.ConvertToTileKey(1 + static_cast<long long>(rng() % static_cast<unsigned long long>(total)));
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(conv.ConvertToDatIndex(keys[i++ & 4095]));
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_ConvertToTileKey(benchmark::State& state) {
    const CDatIndexConvert conv(TILE_MODEL_MERCATOR, kChina);
    const long long total = conv.GetTileNumberUtilLevel(18);
    std::mt19937_64 rng(6);
    std::vector<long long> slotOf(4096);
    for (long long& s : slotOf) s = 1 + static_cast<long long>(rng() % static_cast<unsigned long long>(total));
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(conv.ConvertToTileKey(slotOf[i++ & 4095]));
    }
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_WriteBuffer)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadBuffer)->Arg(1)->Arg(8)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Create)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ConvertToDatIndex);
BENCHMARK(BM_ConvertToTileKey);

BENCHMARK_MAIN();
