#include "storage/IdxFileDepository.h"

#include "DepositoryTestSupport.h"

#include "core/log/VtLog.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <functional>

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
    struct Row {
        const char* what;
        std::function<void(Bytes&)> damage;
        bool tooShort;  // else a field fails the check
    };
    const char* kShort = "Idx文件仓库.打开已经存在的文件时,文件尺寸小于文件头长度,非法.";
    const char* kInvalid = "Idx文件仓库.打开已经存在的文件时,数据校验失败.不是idx合法的文件仓库文件.";
    const char* kShortValid = "校验Idx文件仓库头失败.文件尺寸小于文件头长度,非法.";
    const char* kInvalidValid = "校验Idx文件仓库头失败,数据校验失败.不是idx合法的文件仓库文件.";
    const Row rows[] = {
        {"empty data file", [](Bytes& d) { d.clear(); }, true},
        {"99-byte data file", [](Bytes& d) { d.resize(99); }, true},
        {"wrong file code", [](Bytes& d) { d[0] ^= 0xFF; }, false},
        {"version 200", [](Bytes& d) { WriteLE<int32_t>(d, 4, 200); }, false},
        {"version 205", [](Bytes& d) { WriteLE<int32_t>(d, 4, 205); }, false},
        {"41 levels announced", [](Bytes& d) { d[12] = 41; }, false},
        {"255 levels announced", [](Bytes& d) { d[12] = 255; }, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Damaged f([&](Bytes&, Bytes& dat) { row.damage(dat); });
        CVtLogCapture capture;
        CIdxFileDepository dep;
        dep.SetIndexFile(f.t.idx);
        EXPECT_FALSE(dep.Open(false) || dep.IsOpen());
        EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_ERROR, row.tooShort ? kShort : kInvalid));
        EXPECT_FALSE(dep.IsFileValid());
        EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_ERROR, row.tooShort ? kShortValid : kInvalidValid));
        capture.Clear();
        const STRUCT_DOWNLOAD_TASK info = CIdxFileDepository::ReadDatFileInfo(f.t.dat);
        EXPECT_TRUE(info.version == 0 && info.level.isEmpty());  // a default task
        EXPECT_EQ(capture.Count(VTLOG_LEVEL_ERROR, ""), 1);
    }
}

// A valid header opens whatever levels it lists; the tiles stay readable and writable, and slots
// beyond what a 64-bit file offset can address are refused.
TEST(IdxFileDepositoryDamage, HeadersWithUnusualLevelsOpen) {
    struct Row {
        const char* what;
        size_t at;  // byte of the level list changed (levels 1, 2, 3 at bytes 13, 14, 15)
        unsigned char level;
        QList<int> levels;
        bool lastSlotAddressable;
    };
    const Row rows[] = {
        {"level 0", 13, 0, {0, 2, 3}, true},
        {"level 24", 15, 24, {1, 2, 24}, true},
        {"level 200: index beyond 64-bit offsets", 14, 200, {1, 200, 3}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Damaged f([&](Bytes&, Bytes& dat) { dat[row.at] = row.level; });
        EXPECT_EQ(CIdxFileDepository::ReadDatFileInfo(f.t.dat).level, row.levels);
        CIdxFileDepository dep;
        dep.SetIndexFile(f.t.idx);
        EXPECT_TRUE(dep.IsFileValid());
        ASSERT_TRUE(dep.Open(false));
        EXPECT_EQ(dep.GetDatFileInfo().level, row.levels);
        Bytes tile;
        EXPECT_TRUE(ReadTile(dep, 3, tile) == QUERY_OK && tile == MakeTile(3, 1, 400));
        const Bytes fresh = MakeTile(5, 2, 50);
        ASSERT_TRUE(WriteTile(dep, 5, fresh));
        EXPECT_TRUE(ReadTile(dep, 5, tile) == QUERY_OK && tile == fresh);
        CVtLogCapture capture;
        if (!row.lastSlotAddressable) {
            EXPECT_FALSE(WriteTile(dep, dep.GetMaxIndex(), fresh));
            EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_ERROR, "缓存写入文件失败，原因是索引超出范围"));
        }
    }
}

TEST(IdxFileDepositoryDamage, MissingFilesAreRefusedWithoutARecord) {
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

// Damaged slots and data: every read gives its failure value, never a crash or a short tile.
TEST(IdxFileDepositoryDamage, SlotsAndDataThatCannotBeRead) {
    struct Row {
        const char* what;
        std::function<void(Bytes& idx, Bytes& dat)> damage;
        long long slot;
        E_QUERY_RESULT expected;
        ENUM_BLOCK_STATE state;
        int limited;  // ReadBufferLimit of 16 bytes: only the start of the tile must exist
    };
    auto setSlot = [](Bytes& idx, long long slot, long long offset, int length) {
        WriteLE<int64_t>(idx, static_cast<size_t>(slot) * 20 - 12, offset);
        WriteLE<int32_t>(idx, static_cast<size_t>(slot) * 20 - 4, length);
    };
    const Row rows[] = {
        {"offset past the end", [&](Bytes& i, Bytes& d) { setSlot(i, 3, static_cast<long long>(d.size()) + 10, 400); },
         3, QUERY_DATA_ERROR, BLOCK_HAS_DATA, -1},
        {"offset far past the end", [&](Bytes& i, Bytes&) { setSlot(i, 3, 1LL << 62, 400); }, 3, QUERY_DATA_ERROR,
         BLOCK_HAS_DATA, -1},
        {"length past the end", [&](Bytes& i, Bytes& d) { setSlot(i, 4, static_cast<long long>(d.size()) - 500, 501); },
         4, QUERY_DATA_ERROR, BLOCK_HAS_DATA, 16},
        {"negative length", [&](Bytes& i, Bytes&) { setSlot(i, 3, 400, -7); }, 3, QUERY_NO_DATA, BLOCK_HAS_DATA, -1},
        {"huge length", [&](Bytes& i, Bytes&) { setSlot(i, 3, 400, INT_MAX); }, 3, QUERY_ERROR, BLOCK_HAS_DATA, 16},
        {"negative offset", [&](Bytes& i, Bytes&) { setSlot(i, 3, -5, 400); }, 3, QUERY_NO_DATA, BLOCK_INVALID, -1},
        {"state 99 with a length", [&](Bytes& i, Bytes&) { setSlot(i, 3, 99, 400); }, 3, QUERY_NO_DATA,
         static_cast<ENUM_BLOCK_STATE>(99), -1},
        {"data cut under a tile", [](Bytes&, Bytes& d) { d.resize(d.size() - 250); }, 4, QUERY_DATA_ERROR,
         BLOCK_HAS_DATA, 16},
        {"index cut in a slot", [](Bytes& i, Bytes&) { i.resize(3 * 20 + 9); }, 4, QUERY_NO_DATA, BLOCK_EMPTY, -1},
        {"index cut to nothing", [](Bytes& i, Bytes&) { i.clear(); }, 2, QUERY_NO_DATA, BLOCK_EMPTY, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Damaged f(row.damage);
        CIdxFileDepository& dep = f.t.dep;
        ASSERT_TRUE(dep.Open(false));
        CVtLogCapture capture;
        Bytes tile;
        EXPECT_EQ(ReadTile(dep, row.slot, tile), row.expected);
        const char* record = row.expected == QUERY_NO_DATA ? "ReadBuffer，没有存数据"
                             : row.expected == QUERY_ERROR ? "ReadBuffer错误，长度超限"
                                                           : "ReadBuffer错误，数据文件读取失败";
        EXPECT_EQ(capture.Count(VTLOG_LEVEL_DEBUG, record), 1);
        EXPECT_TRUE(tile.empty());
        Bytes buf(1 << 20);
        EXPECT_EQ(dep.ReadBuffer(row.slot, buf.data(), static_cast<int>(buf.size())), -1);
        EXPECT_EQ(dep.ReadBufferLimit(row.slot, buf.data(), 16), row.limited);
        EXPECT_EQ(dep.GetFileIndexStatus(row.slot), row.state);
        // Slot 2 is untouched by every damage but the last, and still reads back exactly.
        if (std::string(row.what) != "index cut to nothing") {
            EXPECT_TRUE(ReadTile(dep, 2, tile) == QUERY_OK && tile == MakeTile(2, 1, 300));
        }
        // The damaged slot can be written again and then reads back.
        const Bytes fresh = MakeTile(row.slot, 9, 123);
        ASSERT_TRUE(WriteTile(dep, row.slot, fresh));
        EXPECT_TRUE(ReadTile(dep, row.slot, tile) == QUERY_OK && tile == fresh);
    }
}

}  // namespace
