#include "DepositoryTestSupport.h"

#include "core/log/VtLog.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <tuple>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vt_depository_test;

namespace {

struct CProgressLog : CIdxFileDepository::CCreateProgressCallback {
    void OnStart(long long total) override { starts.push_back(total); }
    void OnProgress(long long done) override { progress.push_back(done); }
    std::vector<long long> starts, progress;
};

// Asserts the state of slots first..last.
void ExpectStates(CIdxFileDepository& dep, long long first, long long last, ENUM_BLOCK_STATE state) {
    for (long long s = first; s <= last; ++s) ASSERT_EQ(dep.GetFileIndexStatus(s), state) << s;
}

// Levels 2 and 4 selected over the whole Mercator world: 1 + 4 + 16 + 64 slots.
TEST(IdxFileDepository, CreatedFilesMatchTheLayout) {
    TempDepository t;
    ASSERT_TRUE(t.dep.Create(MakeTask({4, 2}), false, nullptr, BLOCK_EMPTY) && !t.dep.IsOpen());
    // What of the task goes where in the header: map type, levels in list order, theme, mix, extent.
    const Bytes dat = ReadFile(t.dat);
    ASSERT_TRUE(dat.size() == 100u && ReadLE<int32_t>(dat, 8) == kMercatorMapType && ReadLE<int32_t>(dat, 61) == 12 && dat[67] == 3);
    EXPECT_TRUE(Bytes(dat.begin() + 12, dat.begin() + 17) == (Bytes{2, 4, 2, 1, 38}) && ReadLE<double>(dat, 92) == kMercatorWorld.maxy);
    const Bytes idx = ReadFile(t.idx);
    ASSERT_EQ(idx.size(), 85u * 20u);
    const CDatIndexConvert conv(TILE_MODEL_MERCATOR, kMercatorWorld);
    for (long long slot = 1; slot <= 85; ++slot) {
        const size_t at = static_cast<size_t>(slot - 1) * 20;
        const CTileKey key = conv.ConvertToTileKey(slot);
        ASSERT_EQ(ReadLE<int64_t>(idx, at), key.ToMapID()) << slot;
        ASSERT_EQ(ReadLE<int64_t>(idx, at + 8), key.GetLevel() % 2 == 0 ? BLOCK_EMPTY : BLOCK_SKIPPED_LEVEL) << slot;
        ASSERT_EQ(ReadLE<int32_t>(idx, at + 16), 0);
    }

    ASSERT_TRUE(t.dep.Open(false) && t.dep.GetMaxIndex() == 85 && t.dep.GetValidTileCount() == 4 + 64);
    const STRUCT_DOWNLOAD_TASK info = t.dep.GetDatFileInfo();
    EXPECT_TRUE(info.version == 204 && info.name == "tiles" && info.path.toStdString() == t.idx);
    EXPECT_TRUE(info.level == (QList<int>{4, 2}) && info.MapItemType == 12 && info.bIsGoogleOffset);
    EXPECT_EQ(t.dep.GetDescription(), "version:204\r\nmap type:1\r\nlevel : 4 2 \r\ngoogle offset:[Yes]\r\ntheme type:12\r\n"
                                      "epsg:0\r\nmix type:3\r\nextent[-180,-85.0511,180,85.0511\r\n");

    // Existing files are kept unless overwritten; open files are never replaced or deleted. A new
    // depository starts from a fresh header.
    t.dep.SetBatchVersion(9);
    t.dep.Close();
    EXPECT_TRUE(!t.dep.Create(MakeTask({3}), false, nullptr, BLOCK_WAITING) && ReadFile(t.idx) == idx);
    ASSERT_TRUE(t.dep.Create(MakeTask({3}), true, nullptr, BLOCK_WAITING));
    EXPECT_TRUE(ReadFile(t.idx).size() == 21u * 20u && ReadLE<uint16_t>(ReadFile(t.dat), 55) == 0);
    ASSERT_TRUE(t.dep.Open(false));
    EXPECT_FALSE(t.dep.Create(MakeTask({3}), true, nullptr, BLOCK_WAITING) || t.dep.Delete());
    t.dep.Close();
    EXPECT_TRUE(t.dep.Delete() && !t.dep.Delete());  // then nothing is left to remove
    CVtLogCapture capture;  // missing files are refused silently
    EXPECT_FALSE(t.dep.Open(true) || t.dep.IsFileValid() || CIdxFileDepository::ReadDatFileInfo(t.dat).version != 0);
    EXPECT_TRUE(capture.Records().empty());
}

// Any level is taken; only an index larger than the file system can hold is refused. A deepest level
// of more than two batches of 64000 slots is written in several batches, each reported.
TEST(IdxFileDepository, CreateTakesAnyLevelThatFitsTheDisk) {
    CDatIndexConvert china(TILE_MODEL_MERCATOR, kChina);
    int deep = 1;
    while (china.GetTileNumber(deep) <= 2 * 64000) ++deep;
    const std::tuple<const char*, QList<int>, EXTENT, bool> rows[] = {
        {"levels 0 and 24 over a street", {0, 24}, EXTENT{116.39, 39.90, 116.3901, 39.9001}, true},
        {"level 0 alone: no slots", {0}, kMercatorWorld, true},
        {"a level in several batches", {deep}, kChina, true},
        {"level 24 over the world: petabytes of index", {2, 24}, kMercatorWorld, false},
        {"level 31 over the world: beyond 64-bit offsets", {31}, kMercatorWorld, false},
    };
    for (const auto& [what, levels, extent, created] : rows) {
        SCOPED_TRACE(what);
        TempDepository t;
        CVtLogCapture capture;
        CProgressLog progress;
        ASSERT_EQ(t.dep.Create(MakeTask(levels, extent), false, &progress, BLOCK_WAITING), created);
        if (!created) {
            EXPECT_TRUE(!QFileInfo::exists(QString::fromStdString(t.idx)) && capture.Contains(VTLOG_LEVEL_ERROR, "[CIdxFileDepository::Create]"));
            continue;
        }
        ASSERT_TRUE(t.dep.Open(false) && t.dep.GetDatFileInfo().level == levels);
        const CDatIndexConvert conv(kMercatorMapType, extent);
        const long long total = conv.GetTileNumberUtilLevel(levels.back()), batches = conv.GetTileNumber(levels.back()) / 64000;
        EXPECT_TRUE(t.dep.GetMaxIndex() == total && static_cast<long long>(ReadFile(t.idx).size()) == total * 20);
        if (total == 0) continue;
        if (batches >= 2) {  // every level reports the total; the deepest each full batch, then the total
            EXPECT_EQ(progress.starts, std::vector<long long>(static_cast<size_t>(deep), total));
            ASSERT_GE(progress.progress.size(), static_cast<size_t>(batches + 1));
            EXPECT_TRUE(progress.progress.back() == total && progress.progress.end()[-2] == batches * 64000);
            long long mapID = 0, offset = 0, expectedID = 0;
            int length = -1, expectedLevel = 0;
            ASSERT_TRUE(t.dep.GetIndexInfo(mapID, offset, length, total));
            t.dep.ConvertDatIndexToMapIndex(expectedID, expectedLevel, total);
            EXPECT_TRUE(offset == BLOCK_WAITING && mapID == expectedID && expectedLevel == deep);
        }
        const Bytes tile = MakeTile(total, 1, 64);
        Bytes back;
        EXPECT_TRUE(WriteTile(t.dep, total, tile) && ReadTile(t.dep, total, back) == QUERY_OK && back == tile);
    }
}

// Refusals name their reason: a closed or read-only depository, slots out of range, no bytes to write.
// Writes append and repoint the slot.
TEST(IdxFileDepository, WritesAppendAndRefusalsNameTheirReason) {
    TempDepository t;
    ASSERT_TRUE(t.dep.Create(MakeTask({1, 2, 3}), false, nullptr, BLOCK_WAITING));
    Bytes tile = MakeTile(1, 1, 40), back;
    CVtLogCapture capture;
    auto logged = [&](E_VTLOG_LEVEL level, const char* text) { return capture.Contains(level, text); };
    EXPECT_FALSE(WriteTile(t.dep, 1, tile, false) || t.dep.SetFileIndexStatus(1, BLOCK_EMPTY, false) ||
                 t.dep.SetIndexStatusViaLevel(1, BLOCK_EMPTY, false));
    EXPECT_EQ(ReadTile(t.dep, 1, back), QUERY_DATA_ERROR);
    EXPECT_TRUE(logged(VTLOG_LEVEL_ERROR, "缓存写入文件失败，原因是文件未打开") &&
                logged(VTLOG_LEVEL_DEBUG, "CIdxFileDepository::ReadBuffer错误，未打开") &&
                logged(VTLOG_LEVEL_ERROR, "设置Dat索引状态失败，原因是文件未打开"));

    ASSERT_TRUE(t.dep.Open(true));
    EXPECT_FALSE(WriteTile(t.dep, 2, tile) || t.dep.SetFileIndexStatus(2, BLOCK_EMPTY, false));
    EXPECT_TRUE(logged(VTLOG_LEVEL_ERROR, "WriteBuffer时fwrite错误1，操作文件失败！") &&
                logged(VTLOG_LEVEL_ERROR, "设置Dat索引状态失败，原因是fwrite文件写入失败"));
    EXPECT_TRUE(ReadFile(t.dat).size() == 100u && t.dep.GetFileIndexStatus(2) == BLOCK_WAITING && t.dep.Open(false));  // open: no-op
    t.dep.Close();

    ASSERT_TRUE(t.dep.Open(false));
    capture.Clear();
    EXPECT_FALSE(WriteTile(t.dep, 0, tile, false) || WriteTile(t.dep, t.dep.GetMaxIndex() + 1, tile, false));
    EXPECT_EQ(capture.Count(VTLOG_LEVEL_ERROR, "缓存写入文件失败，原因是索引超出范围"), 2);
    EXPECT_TRUE(WriteTile(t.dep, t.dep.GetMaxIndex(), tile, false));
    EXPECT_FALSE(t.dep.WriteBuffer(1, nullptr, 40, false) || t.dep.WriteBuffer(1, tile.data(), 0, false));
    EXPECT_EQ(capture.Count(VTLOG_LEVEL_ERROR, "缓存写入文件失败，原因是缓存为空或长度为0"), 2);
    EXPECT_FALSE(t.dep.WriteBufferViaTile(CTileKey(9, 0, 0, TILE_MODEL_MERCATOR), tile.data(), 40, false));
    EXPECT_TRUE(ReadTile(t.dep, 0, back) == QUERY_DATA_ERROR && ReadTile(t.dep, 2, back) == QUERY_NO_DATA);
    EXPECT_TRUE(logged(VTLOG_LEVEL_DEBUG, "CIdxFileDepository::ReadBuffer错误，索引小于1") &&
                logged(VTLOG_LEVEL_DEBUG, "CIdxFileDepository::ReadBuffer，没有存数据") && back.empty());
    EXPECT_TRUE(t.dep.GetFileIndexOffset(0) == -1 && t.dep.GetBufferLength(0) == 0);

    const Bytes second = MakeTile(7, 2, 500);
    ASSERT_TRUE(WriteTile(t.dep, 7, MakeTile(7, 1, 300)) && WriteTile(t.dep, 7, second));
    EXPECT_TRUE(ReadFile(t.dat).size() == 100u + 40u + 300u + 500u && t.dep.GetFileIndexOffset(7) == 440 && t.dep.GetBufferLength(7) == 500);
    EXPECT_TRUE(t.dep.GetFileIndexStatus(7) == BLOCK_HAS_DATA && t.dep.IsFileIndexHavData(7));
    E_QUERY_RESULT result = QUERY_UNKNOWN;
    const CCache cache = t.dep.ReadBuffer(result, 7);
    ASSERT_TRUE(result == QUERY_OK && cache.GetLength() == 500 && cache.IsOwner() && Bytes(cache.GetData(), cache.GetData() + 500) == second);
    Bytes small(499);
    EXPECT_EQ(t.dep.ReadBuffer(7, small.data(), 499), -1);  // too small for the tile
    EXPECT_TRUE(t.dep.ReadBufferLimit(7, small.data(), 16) == 16 && t.dep.ReadBufferLimit(7, small.data(), 1) == 1);
    EXPECT_EQ(Bytes(small.begin(), small.begin() + 16), Bytes(second.begin(), second.begin() + 16));

    // The map-ID and tile forms reach the same slot.
    const CTileKey key = t.dep.GetIndexConverter().ConvertToTileKey(9);
    Bytes third = MakeTile(9, 3, 64);
    back.resize(64);
    ASSERT_TRUE(t.dep.WriteBufferViaTile(key, third.data(), 64, false));
    EXPECT_TRUE(t.dep.ReadBuffer(9, back.data(), 64) == 64 && back == third && t.dep.GetIndex(key.GetLevel(), key.ToMapID()) == 9);
    ASSERT_TRUE(t.dep.SetFileIndexStatusViaMapIndex(key.GetLevel(), key.ToMapID(), BLOCK_DAMAGED, true));
    EXPECT_TRUE(t.dep.GetFileIndexStatus(9) == BLOCK_DAMAGED && t.dep.GetBufferLength(9) == 64);  // length kept
    EXPECT_TRUE(ReadTile(t.dep, 9, back) == QUERY_NO_DATA && back.empty());

    // The cache form reads tiles up to 262345 bytes.
    for (int length : {262345, 262346, 1}) {
        ASSERT_TRUE(WriteTile(t.dep, 2, Bytes(static_cast<size_t>(length), 0x5C), false));
        const bool fits = length <= 262345;
        EXPECT_TRUE(ReadTile(t.dep, 2, back) == (fits ? QUERY_OK : QUERY_ERROR) && back.size() == (fits ? size_t(length) : 0u)) << length;
    }
}

// A write that fails part-way (a full disk) names the step that failed: the tile bytes, the slot's
// offset or its length. Each row runs in a child whose file-size limit cuts the write at that step;
// slot 85's offset lies at bytes 1688 to 1695 of the index, its length at 1696 to 1699. The child's
// exit code is the N of the "fwrite错误N" logged, 0 a write that succeeds, 8 a failure unnamed.
TEST(IdxFileDepository, FailedWritesNameTheFailingStep) {
    TempDepository t;
    ASSERT_TRUE(t.CreateOpen({1, 2, 3, 4}));  // 85 slots: an index of 1700 bytes, data of 100
    t.dep.Close();
    for (const auto& [limit, expected] : {std::pair{120, 1}, {1692, 2}, {1696, 3}, {1700, 0}}) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::signal(SIGXFSZ, SIG_IGN);  // the limit then fails the write instead of killing
            const rlimit r{rlim_t(limit), rlim_t(limit)};
            CIdxFileDepository dep;
            if (::setrlimit(RLIMIT_FSIZE, &r) != 0 || !OpenAt(dep, t.idx)) ::_exit(9);
            CVtLogCapture capture;
            int found = WriteTile(dep, 85, MakeTile(85, 1, 40)) ? 0 : 8;
            for (int step = 1; step <= 3; ++step)
                if (capture.Contains(VTLOG_LEVEL_ERROR, ("WriteBuffer时fwrite错误" + std::to_string(step) + "，操作文件失败！").c_str()))
                    found = found == 8 ? step : 7;
            ::_exit(found);
        }
        int status = 0;
        ASSERT_TRUE(pid > 0 && ::waitpid(pid, &status, 0) == pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == expected) << limit << ": " << WEXITSTATUS(status);
    }
}

// Levels added later, states set by level and by extent, and a new task in the header, each kept
// when the files are opened again.
TEST(IdxFileDepository, LevelsStatesAndHeaderChangesPersist) {
    TempDepository t;
    ASSERT_TRUE(t.CreateOpen({2}, BLOCK_EMPTY));
    const Bytes tile = MakeTile(3, 1, 80);
    ASSERT_TRUE(WriteTile(t.dep, 3, tile) && !t.dep.ExpandLevelTo(23, nullptr) && !t.dep.ExpandLevelTo(0, nullptr));
    const Bytes before = ReadFile(t.idx);
    EXPECT_TRUE(t.dep.ExpandLevelTo(2, nullptr) && ReadFile(t.idx) == before);  // already selected: nothing changes
    CProgressLog progress;
    ASSERT_TRUE(t.dep.ExpandLevelTo(4, &progress) && t.dep.GetMaxIndex() == 85 && t.dep.GetLevelList() == (std::vector<int>{2, 4}));
    EXPECT_TRUE(ReadFile(t.idx).size() == 85u * 20u && progress.starts == (std::vector<long long>{80, 80}));
    ExpectStates(t.dep, 6, 21, BLOCK_SKIPPED_LEVEL);
    ExpectStates(t.dep, 22, 85, BLOCK_WAITING);
    EXPECT_EQ(t.dep.GetFileIndexStatus(3), BLOCK_HAS_DATA);
    // A skipped level in the middle becomes selected and waiting; the list stays sorted.
    ASSERT_TRUE(t.dep.ExpandLevelTo(3, nullptr));
    ExpectStates(t.dep, 6, 21, BLOCK_WAITING);
    EXPECT_TRUE(t.dep.GetFileIndexStatus(1) == BLOCK_SKIPPED_LEVEL && t.dep.GetDatFileInfo().level == (QList<int>{2, 3, 4}));
    t.dep.Close();
    EXPECT_FALSE(t.dep.UpdateDATHeader());  // closed
    ASSERT_TRUE(t.dep.Open(false));
    Bytes back;
    EXPECT_TRUE(t.dep.GetLevelList() == (std::vector<int>{2, 3, 4}) && t.dep.GetMaxIndex() == 85 && ReadTile(t.dep, 3, back) == QUERY_OK && back == tile);

    // Level 5 is deeper than the index.
    ASSERT_TRUE(WriteTile(t.dep, 30, MakeTile(30, 1, 40), false) && !t.dep.SetIndexStatusViaLevel(5, BLOCK_WAITING, false) &&
                t.dep.SetIndexStatusViaLevel(3, BLOCK_EMPTY, true));
    ExpectStates(t.dep, 6, 21, BLOCK_EMPTY);
    EXPECT_TRUE(t.dep.GetFileIndexStatus(22) == BLOCK_WAITING && t.dep.GetBufferLength(30) == 40);
    // North-east quarter of the world: inside tiles are marked, the rest left alone, then the reverse.
    const EXTENT ne{1.0, 1.0, 179.0, 84.0};
    CDatIndexConvert region(TILE_MODEL_MERCATOR, ne);
    CDatIndexConvert& own = t.dep.GetIndexConverter();
    auto inside = [&](long long s) { return region.ConvertToDatIndex(own.ConvertToTileKey(s)) > 0; };
    int marked = 0;
    for (const bool in : {true, false}) {
        ASSERT_TRUE(t.dep.SetIndexStatusViaExtent(ne, in ? BLOCK_DAMAGED : BLOCK_SKIPPED_LEVEL, in, false));
        for (long long s = 6; s <= 85; ++s) {
            marked += in && inside(s) ? 1 : 0;
            const ENUM_BLOCK_STATE before = s == 30 ? BLOCK_HAS_DATA : s <= 21 ? BLOCK_EMPTY : BLOCK_WAITING;
            ASSERT_EQ(t.dep.GetFileIndexStatus(s), inside(s) ? BLOCK_DAMAGED : in ? before : BLOCK_SKIPPED_LEVEL) << s;
        }
    }
    EXPECT_TRUE(marked == 4 + 16 && t.dep.GetFileIndexStatus(1) == BLOCK_SKIPPED_LEVEL);  // level 1 is not selected

    t.dep.SetBatchVersion(77);
    STRUCT_DOWNLOAD_TASK task = t.dep.GetDatFileInfo();
    task.maptype = 5;  // a WGS84 type: the scheme becomes geographic
    task.extent = EXTENT{0, 0, 90, 45};
    task.bIsGoogleOffset = false;
    task.level = {2, 24};  // any level is kept
    ASSERT_TRUE(t.dep.UpdateDatFileInfo(task) && t.dep.GetIndexConverter().GetTileModel() == TILE_MODEL_GEOGRAPHIC && t.dep.GetMapType() == 5);
    t.dep.Close();
    const STRUCT_DOWNLOAD_TASK info = CIdxFileDepository::ReadDatFileInfo(t.dat);
    EXPECT_TRUE(info.maptype == 5 && info.extent.maxx == 90 && !info.bIsGoogleOffset && info.MapItemType == 12);
    EXPECT_TRUE(info.level == (QList<int>{2, 24}) && info.name == "tiles" && info.path.toStdString() == t.dat);
    EXPECT_TRUE(t.dep.Open(true) && t.dep.BatchVersion() == 77);
}

struct CCollector : CIdxFileDepository::IDatFileReadVisitor, CIdxFileDepository::IDatIndexStatusVisitor {
    bool OnReadData(CIdxFileDepository*, int level, long long mapID, const unsigned char* data, int length) override {
        seen.push_back({level, mapID});
        bytes.emplace_back(data, data + length);
        return stopAfter > 0 && static_cast<int>(seen.size()) >= stopAfter;
    }
    bool OnPreview(CIdxFileDepository*, int, long long, const unsigned char* head, int headLength) override {
        heads.emplace_back(head, head + headLength);
        return head[8] % 2 == 1;  // whole tiles only for odd sequence numbers
    }
    bool OnStatus(CIdxFileDepository*, int level, long long mapID, long long, int length, long long slot,
                  bool haveInfo, ENUM_BLOCK_STATE state) override {
        EXPECT_TRUE(haveInfo);
        bySlot[slot] = std::make_tuple(state, level, mapID, length);
        return false;
    }
    int stopAfter = 0;
    std::vector<std::pair<int, long long>> seen;
    std::vector<Bytes> bytes, heads;
    std::map<long long, std::tuple<ENUM_BLOCK_STATE, int, long long, int>> bySlot;
};

TEST(IdxFileDepository, WalksInIndexOrderAndRepairOfAShiftedJpeg) {
    TempDepository t;
    ASSERT_TRUE(t.CreateOpen({2, 3}));
    // Tiles in slots 1 (skipped level 1), 3, 5 and 10, written out of order.
    std::map<long long, Bytes> tiles;
    uint32_t seq = 0;
    for (long long s : {10, 3, 1, 5}) {
        tiles[s] = MakeTile(s, ++seq, 100 + static_cast<int>(s));
        ASSERT_TRUE(WriteTile(t.dep, s, tiles[s], false));
    }
    CCollector all, first, nw, preview, status;
    ASSERT_TRUE(t.dep.Travel(all) && all.seen.size() == 3u);  // level 1 is not in the level list
    CDatIndexConvert& conv = t.dep.GetIndexConverter();
    const long long order[] = {3, 5, 10};
    for (size_t i = 0; i < 3; ++i) {
        const CTileKey key = conv.ConvertToTileKey(order[i]);
        EXPECT_EQ(all.seen[i], std::make_pair(key.GetLevel(), key.ToMapID()));
        EXPECT_EQ(all.bytes[i], tiles[order[i]]);
    }
    first.stopAfter = 1;
    EXPECT_TRUE(t.dep.Travel(first) && first.seen.size() == 1u);

    // Only the tiles inside the extent: of the written ones, the north-west quarter holds slot 10
    // (level 3, column 0, row 1); slots 3 and 5 are level 2's eastern tiles.
    EXPECT_TRUE(t.dep.Travel(EXTENT{-179.0, 1.0, -1.0, 84.0}, nw) && nw.seen.size() == 1u && nw.bytes[0] == tiles[10]);

    // Previews of every tile of the level list, zeroed where there is no data; whole tiles only
    // where the preview asks (odd seq: slots 10, 1).
    ASSERT_TRUE(t.dep.TravelData(12, preview) && preview.heads.size() == 4u + 16u && preview.seen.size() == 1u);
    EXPECT_EQ(std::count(preview.heads.begin(), preview.heads.end(), Bytes(12, 0)), 17);
    EXPECT_TRUE(preview.bytes[0] == tiles[10] && !t.dep.TravelData(0, preview));

    EXPECT_TRUE(t.dep.TravelStatus(status) && status.bySlot.size() == 4u + 16u && std::get<0>(status.bySlot[4]) == BLOCK_WAITING);
    EXPECT_EQ(status.bySlot[10], std::make_tuple(BLOCK_HAS_DATA, 3, conv.ConvertToTileKey(10).ToMapID(), int(tiles[10].size())));

    // Repair: the slot points 3 bytes before a JPEG but carries the JPEG's length.
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    const Bytes jpeg(buffer.data().begin(), buffer.data().end());
    Bytes shifted{1, 2, 3};
    shifted.insert(shifted.end(), jpeg.begin(), jpeg.end());
    ASSERT_TRUE(WriteTile(t.dep, 2, shifted));
    t.dep.Close();
    Bytes idx = ReadFile(t.idx), back;
    WriteLE<int32_t>(idx, 2 * 20 - 4, static_cast<int32_t>(jpeg.size()));
    WriteFile(t.idx, idx);
    ASSERT_TRUE(t.dep.Open(false));
    EXPECT_TRUE(t.dep.RepairTDT190ER(2, 3, static_cast<int>(jpeg.size())) && ReadTile(t.dep, 2, back) == QUERY_OK && back == jpeg);

    // Not a JPEG, a JPEG without its end marker (decodable all the same), no data at all.
    const Bytes cut(jpeg.begin(), jpeg.end() - 2);
    ASSERT_TRUE(WriteTile(t.dep, 3, MakeTile(3, 1, 200)) && WriteTile(t.dep, 1, cut));
    EXPECT_FALSE(t.dep.RepairTDT190ER(3, 0, 200) || t.dep.RepairTDT190ER(1, 0, static_cast<int>(cut.size())) ||
                 t.dep.RepairTDT190ER(4, 0, 10));
    for (long long slot : {1, 3, 4}) EXPECT_EQ(t.dep.GetFileIndexStatus(slot), BLOCK_DAMAGED) << slot;
    EXPECT_FALSE(t.dep.RepairTDT190ER(0, 0, 10));
}

TEST(IdxFileDepository, IndexPathIsNormalisedAndTheDataFileSitsBesideIt) {
    const std::tuple<const char*, const char*, const char*> rows[] = {
        {"/data/./tasks/../t1/a.idx", "/data/t1/a.idx", "/data/t1/a.dat"},
        {"C:\\maps\\x\\..\\b.v2.idx", "C:/maps/b.v2.idx", "C:/maps/b.v2.dat"},
        {"plain.idx", "plain.idx", "./plain.dat"},
        {"/../up.idx", "/up.idx", "/up.dat"},
        {"dir/noext", "dir/noext", "dir/noext.dat"},
    };
    CIdxFileDepository dep;
    for (const auto& [idx, normalised, dat] : rows) {
        dep.SetIndexFile(idx);
        EXPECT_TRUE(dep.GetIndexFile() == normalised && dep.GetDATFile() == dat) << idx;
    }
    dep.SetIndexAndDATFile("a/./b.idx", "elsewhere.bin");  // taken as given
    EXPECT_TRUE(dep.GetIndexFile() == "a/./b.idx" && dep.GetDATFile() == "elsewhere.bin");
    dep.SetIndexAndDATFile("", "");
    EXPECT_FALSE(dep.IsOutOfDiskSpace());  // the query fails: not reported as full

    // GB18030 paths name the files in Unicode.
    QTemporaryDir dir;
    const std::string utf8 = dir.path().toStdString() + "/任务/瓦片.idx";
    dep.SetIndexFile(VtGB(utf8));
    ASSERT_TRUE(dep.Create(MakeTask({1}), false, nullptr, BLOCK_WAITING));
    EXPECT_TRUE(QFileInfo(QString::fromUtf8(utf8.c_str())).isFile() && dep.Open(false) && dep.GetDatFileInfo().name == QString::fromUtf8("瓦片"));
    EXPECT_FALSE(dep.IsOutOfDiskSpace());  // far more than 1 MiB free where this builds
}

}  // namespace
