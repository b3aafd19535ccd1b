#pragma once

// Helpers shared by the depository tests: tasks, raw file access and deterministic test tiles.

#include "storage/DownloadTask.h"
#include "storage/IdxFileDepository.h"

#include <QTemporaryDir>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace vt_depository_test {

using Bytes = std::vector<unsigned char>;

// A Web Mercator map type (neither WGS84 nor Baidu).
constexpr int kMercatorMapType = 1;
const EXTENT kMercatorWorld{-180.0, -85.05112877980655, 180.0, 85.05112877980655};
const EXTENT kChina{73.5, 18.2, 135.1, 53.6};

inline STRUCT_DOWNLOAD_TASK MakeTask(QList<int> levels, const EXTENT& extent = kMercatorWorld) {
    STRUCT_DOWNLOAD_TASK task;
    task.level = levels;
    task.extent = extent;
    task.maptype = kMercatorMapType;
    task.MapItemType = 12;
    task.DownImgeType = 3;
    task.bIsGoogleOffset = true;
    return task;
}

inline Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Runs fn(0) .. fn(n - 1) on n threads and waits for them.
template <typename Fn>
void RunThreads(int n, Fn fn) {
    std::vector<std::thread> threads;
    for (int i = 0; i < n; ++i) threads.emplace_back(fn, i);
    for (std::thread& t : threads) t.join();
}

inline void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Fields of the files; the test hosts are little-endian like the format.
template <typename T>
T ReadLE(const Bytes& b, size_t offset) {
    T v{};
    std::memcpy(&v, b.data() + offset, sizeof v);
    return v;
}

template <typename T>
void WriteLE(Bytes& b, size_t offset, T v) { std::memcpy(b.data() + offset, &v, sizeof v); }

// A test tile that carries its own identity, [slot 8][seq 4][length 4][payload drawn from slot and seq],
// so that a reader can rebuild it and tell a complete tile from a torn or foreign one.
inline Bytes MakeTile(long long slot, uint32_t seq, int length) {
    if (length < 20) length = 20;
    Bytes t(static_cast<size_t>(length));
    std::memcpy(t.data(), &slot, 8);
    std::memcpy(t.data() + 8, &seq, 4);
    std::memcpy(t.data() + 12, &length, 4);
    uint32_t x = static_cast<uint32_t>(slot * 2654435761u) ^ (seq * 40503u);
    for (size_t i = 16; i < t.size(); ++i) {
        x = x * 1103515245u + 12345u;
        t[i] = static_cast<unsigned char>(x >> 16);
    }
    return t;
}

// True when the bytes are a complete test tile of `slot`; its sequence number goes to seq.
inline bool IsIntactTile(const Bytes& b, long long slot, uint32_t& seq) {
    if (b.size() < 20) return false;
    std::memcpy(&seq, b.data() + 8, 4);
    return MakeTile(slot, seq, static_cast<int>(b.size())) == b;
}

// Reads a slot in the cache form: the result, and the tile in `out` (empty when the cache holds none).
inline E_QUERY_RESULT ReadTile(CIdxFileDepository& dep, long long slot, Bytes& out) {
    E_QUERY_RESULT result = QUERY_UNKNOWN;
    const CCache c = dep.ReadBuffer(result, slot);
    out = c.IsValid() ? Bytes(c.GetData(), c.GetData() + c.GetLength()) : Bytes();
    return result;
}

inline bool WriteTile(CIdxFileDepository& dep, long long slot, Bytes tile, bool flush = true) {
    return dep.WriteBuffer(slot, tile.data(), static_cast<int>(tile.size()), flush);
}

// Points dep at the index file `idx` (and its data file beside it) and opens it.
inline bool OpenAt(CIdxFileDepository& dep, const std::string& idx, bool readOnly = false) {
    dep.SetIndexFile(idx);
    return dep.Open(readOnly);
}

// A depository in a fresh temporary directory.
struct TempDepository {
    QTemporaryDir dir;
    std::string idx = dir.path().toStdString() + "/task/tiles.idx", dat = dir.path().toStdString() + "/task/tiles.dat";
    CIdxFileDepository dep;

    TempDepository() { dep.SetIndexFile(idx); }
    // Creates the files for `levels` of the Mercator world and opens them for writing.
    bool CreateOpen(QList<int> levels, ENUM_BLOCK_STATE state = BLOCK_WAITING) {
        return dep.Create(MakeTask(levels), false, nullptr, state) && dep.Open(false);
    }
};

}  // namespace vt_depository_test
