#include "storage/IdxFileDepository.h"

#include "DepositoryTestSupport.h"

#include "core/log/VtLog.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <functional>
#include <tuple>

using namespace vt_depository_test;

namespace {

// A depository over the Mercator world, levels 1 to 3 (21 slots), with tiles in slots 2, 3 and 4;
// `damage` then edits its closed files.
struct Damaged {
    TempDepository t;

    explicit Damaged(const std::function<void(Bytes& idx, Bytes& dat)>& damage) {
        EXPECT_TRUE(t.CreateOpen({1, 2, 3}));
        for (long long slot : {2, 3, 4}) {
            EXPECT_TRUE(WriteTile(t.dep, slot, MakeTile(slot, 1, 100 * int(slot + 1))));
        }
        t.dep.Close();
        Bytes idx = ReadFile(t.idx), dat = ReadFile(t.dat);
        damage(idx, dat);
        WriteFile(t.idx, idx);
        WriteFile(t.dat, dat);
    }
};

// Damaged headers: Open, IsFileValid and ReadDatFileInfo all refuse, each with its own record.
TEST(IdxFileDepositoryDamage, HeadersThatAreRejected) {
    const char* kShort[] = {"Idx文件仓库.打开已经存在的文件时,文件尺寸小于文件头长度,非法.",
                            "校验Idx文件仓库头失败.文件尺寸小于文件头长度,非法."};
    const char* kInvalid[] = {"Idx文件仓库.打开已经存在的文件时,数据校验失败.不是idx合法的文件仓库文件.",
                              "校验Idx文件仓库头失败,数据校验失败.不是idx合法的文件仓库文件."};
    const std::tuple<const char*, std::function<void(Bytes&)>, const char**> rows[] = {
        {"empty data file", [](Bytes& d) { d.clear(); }, kShort},
        {"99-byte data file", [](Bytes& d) { d.resize(99); }, kShort},
        {"wrong file code", [](Bytes& d) { d[0] ^= 0xFF; }, kInvalid},
        {"version 200", [](Bytes& d) { WriteLE<int32_t>(d, 4, 200); }, kInvalid},
        {"41 levels announced", [](Bytes& d) { d[12] = 41; }, kInvalid},
    };
    for (const auto& [what, damage, records] : rows) {
        SCOPED_TRACE(what);
        Damaged f([&](Bytes&, Bytes& dat) { damage(dat); });
        CVtLogCapture capture;
        CIdxFileDepository dep;
        dep.SetIndexFile(f.t.idx);
        EXPECT_FALSE(dep.Open(false) || dep.IsOpen() || dep.IsFileValid());
        EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_ERROR, records[0]) && capture.Contains(VTLOG_LEVEL_ERROR, records[1]));
        capture.Clear();
        const STRUCT_DOWNLOAD_TASK info = CIdxFileDepository::ReadDatFileInfo(f.t.dat);
        EXPECT_TRUE(info.version == 0 && info.level.isEmpty());  // a default task
        EXPECT_EQ(capture.Count(VTLOG_LEVEL_ERROR, ""), 1);
    }
}

// A valid header opens whatever levels it lists; the tiles stay readable and writable, and slots
// beyond what a 64-bit file offset can address are refused. Missing files are refused silently.
TEST(IdxFileDepositoryDamage, HeadersWithUnusualLevelsOpen) {
    // The byte of the level list changed (levels 1, 2, 3 at bytes 13, 14, 15), its new value, the
    // level list read and whether the last slot has a 64-bit offset.
    const std::tuple<size_t, unsigned char, QList<int>, bool> rows[] = {
        {13, 0, {0, 2, 3}, true}, {15, 24, {1, 2, 24}, true}, {14, 200, {1, 200, 3}, false}};
    for (const auto& [at, level, levels, lastSlotAddressable] : rows) {
        SCOPED_TRACE(level);
        Damaged f([&](Bytes&, Bytes& dat) { dat[at] = level; });
        EXPECT_EQ(CIdxFileDepository::ReadDatFileInfo(f.t.dat).level, levels);
        CIdxFileDepository dep;
        dep.SetIndexFile(f.t.idx);
        ASSERT_TRUE(dep.IsFileValid() && dep.Open(false));
        EXPECT_EQ(dep.GetDatFileInfo().level, levels);
        Bytes tile;
        const Bytes fresh = MakeTile(5, 2, 50);
        EXPECT_TRUE(ReadTile(dep, 3, tile) == QUERY_OK && tile == MakeTile(3, 1, 400));
        ASSERT_TRUE(WriteTile(dep, 5, fresh));
        EXPECT_TRUE(ReadTile(dep, 5, tile) == QUERY_OK && tile == fresh);
        if (lastSlotAddressable) continue;
        CVtLogCapture capture;
        EXPECT_FALSE(WriteTile(dep, dep.GetMaxIndex(), fresh));
        EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_ERROR, "缓存写入文件失败，原因是索引超出范围"));
    }

    Damaged f([](Bytes&, Bytes&) {});
    std::remove(f.t.idx.c_str());
    CVtLogCapture capture;
    CIdxFileDepository dep;
    dep.SetIndexFile(f.t.idx);
    EXPECT_FALSE(dep.Open(true) || dep.IsFileValid());
    EXPECT_EQ(CIdxFileDepository::ReadDatFileInfo(f.t.dir.path().toStdString() + "/no.dat").version, 0);
    EXPECT_EQ(capture.Count(VTLOG_LEVEL_ERROR, ""), 0);
    EXPECT_TRUE(CIdxFileDepository::ReadDatFileInfo(f.t.dat).level == (QList<int>{1, 2, 3}));
}

// Damaged slots and data: every read gives its failure value, never a crash or a short tile, and
// the slot can be written again.
TEST(IdxFileDepositoryDamage, SlotsAndDataThatCannotBeRead) {
    auto setSlot = [](long long slot, long long offset, int length) {
        return [=](Bytes& idx, Bytes&) {
            WriteLE<int64_t>(idx, static_cast<size_t>(slot) * 20 - 12, offset);
            WriteLE<int32_t>(idx, static_cast<size_t>(slot) * 20 - 4, length);
        };
    };
    // Offsets from the end of the data file (slot 4's tile of 500 bytes is the last).
    auto fromEnd = [&](long long slot, long long past, int length) {
        return [=](Bytes& idx, Bytes& dat) { setSlot(slot, static_cast<long long>(dat.size()) + past, length)(idx, dat); };
    };
    // The last column is ReadBufferLimit of 16 bytes: only the start of the tile must exist.
    const std::tuple<const char*, std::function<void(Bytes&, Bytes&)>, long long, E_QUERY_RESULT, int, int> rows[] = {
        {"offset past the end", fromEnd(3, 10, 400), 3, QUERY_DATA_ERROR, BLOCK_HAS_DATA, -1},
        {"offset far past the end", setSlot(3, 1LL << 62, 400), 3, QUERY_DATA_ERROR, BLOCK_HAS_DATA, -1},
        {"length past the end", fromEnd(4, -500, 501), 4, QUERY_DATA_ERROR, BLOCK_HAS_DATA, 16},
        {"negative length", setSlot(3, 400, -7), 3, QUERY_NO_DATA, BLOCK_HAS_DATA, -1},
        {"huge length", setSlot(3, 400, INT_MAX), 3, QUERY_ERROR, BLOCK_HAS_DATA, 16},
        {"negative offset", setSlot(3, -5, 400), 3, QUERY_NO_DATA, BLOCK_INVALID, -1},
        {"state 99 with a length", setSlot(3, 99, 400), 3, QUERY_NO_DATA, 99, -1},
        {"data cut under a tile", [](Bytes&, Bytes& d) { d.resize(d.size() - 250); }, 4, QUERY_DATA_ERROR, BLOCK_HAS_DATA, 16},
        {"index cut in a slot", [](Bytes& i, Bytes&) { i.resize(3 * 20 + 9); }, 4, QUERY_NO_DATA, BLOCK_EMPTY, -1},
        {"index cut to nothing", [](Bytes& i, Bytes&) { i.clear(); }, 2, QUERY_NO_DATA, BLOCK_EMPTY, -1},
    };
    for (const auto& [what, damage, slot, expected, state, limited] : rows) {
        SCOPED_TRACE(what);
        Damaged f(damage);
        CIdxFileDepository& dep = f.t.dep;
        ASSERT_TRUE(dep.Open(false));
        CVtLogCapture capture;
        Bytes tile, buf(1 << 20);
        EXPECT_EQ(ReadTile(dep, slot, tile), expected);
        const char* record = expected == QUERY_NO_DATA ? "ReadBuffer，没有存数据"
                             : expected == QUERY_ERROR ? "ReadBuffer错误，长度超限"
                                                       : "ReadBuffer错误，数据文件读取失败";
        EXPECT_TRUE(capture.Count(VTLOG_LEVEL_DEBUG, record) == 1 && tile.empty());
        EXPECT_EQ(dep.ReadBuffer(slot, buf.data(), static_cast<int>(buf.size())), -1);
        EXPECT_EQ(dep.ReadBufferLimit(slot, buf.data(), 16), limited);
        EXPECT_EQ(dep.GetFileIndexStatus(slot), state);
        // Slot 2 is untouched by every damage but the last, and still reads back exactly.
        if (slot != 2) {
            EXPECT_TRUE(ReadTile(dep, 2, tile) == QUERY_OK && tile == MakeTile(2, 1, 300));
        }
        const Bytes fresh = MakeTile(slot, 9, 123);
        ASSERT_TRUE(WriteTile(dep, slot, fresh));
        EXPECT_TRUE(ReadTile(dep, slot, tile) == QUERY_OK && tile == fresh);
    }
}

}  // namespace
