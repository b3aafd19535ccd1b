#include "storage/IdxFileDepository.h"

#include "DepositoryTestSupport.h"

#include "core/log/VtLog.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <functional>

using namespace vt_depository_test;

namespace {

// A depository over the Mercator world, levels 1 to 3 (21 slots), with tiles in slots 2, 3 and 4.
struct Damaged {
    TempDepository t;
    Bytes tile2 = MakeTile(2, 1, 300);
    Bytes tile3 = MakeTile(3, 1, 400);
    Bytes tile4 = MakeTile(4, 1, 500);

    Damaged() {
        EXPECT_TRUE(t.dep.Create(MakeTask({1, 2, 3}), false, nullptr, BLOCK_WAITING));
        EXPECT_TRUE(t.dep.Open(false));
        EXPECT_TRUE(t.dep.WriteBuffer(2, tile2.data(), 300, true));
        EXPECT_TRUE(t.dep.WriteBuffer(3, tile3.data(), 400, true));
        EXPECT_TRUE(t.dep.WriteBuffer(4, tile4.data(), 500, true));
        t.dep.Close();
    }
};

// Damaged headers: Open, IsFileValid and ReadDatFileInfo all refuse, each with its own record.
TEST(IdxFileDepositoryDamage, HeadersThatAreRejected) {
    struct Row {
        const char* what;
        std::function<void(Bytes&)> damage;
        const char* openText;  // "" = refused without a record
        const char* validText;
    };
    const char* kShort = "Idx文件仓库.打开已经存在的文件时,文件尺寸小于文件头长度,非法.";
    const char* kInvalid = "Idx文件仓库.打开已经存在的文件时,数据校验失败.不是idx合法的文件仓库文件.";
    const char* kShortValid = "校验Idx文件仓库头失败.文件尺寸小于文件头长度,非法.";
    const char* kInvalidValid = "校验Idx文件仓库头失败,数据校验失败.不是idx合法的文件仓库文件.";
    const Row rows[] = {
        {"empty data file", [](Bytes& d) { d.clear(); }, kShort, kShortValid},
        {"99-byte data file", [](Bytes& d) { d.resize(99); }, kShort, kShortValid},
        {"wrong file code", [](Bytes& d) { d[0] ^= 0xFF; }, kInvalid, kInvalidValid},
        {"version 200", [](Bytes& d) { WriteLE<int32_t>(d, 4, 200); }, kInvalid, kInvalidValid},
        {"version 205", [](Bytes& d) { WriteLE<int32_t>(d, 4, 205); }, kInvalid, kInvalidValid},
        {"41 levels announced", [](Bytes& d) { d[12] = 41; }, kInvalid, kInvalidValid},
        {"255 levels announced", [](Bytes& d) { d[12] = 255; }, kInvalid, kInvalidValid},
        {"level 0", [](Bytes& d) { d[13] = 0; }, kInvalid, kInvalidValid},
        {"level 200", [](Bytes& d) { d[14] = 200; }, kInvalid, kInvalidValid},
    };
    for (const Row& row : rows) {
        Damaged f;
        Bytes dat = ReadFile(f.t.dat);
        row.damage(dat);
        WriteFile(f.t.dat, dat);
        CVtLogCapture capture;
        CIdxFileDepository dep;
        dep.SetIndexFile(f.t.idx);
        EXPECT_FALSE(dep.Open(false)) << row.what;
        EXPECT_FALSE(dep.IsOpen()) << row.what;
        EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_ERROR, row.openText)) << row.what;
        EXPECT_FALSE(dep.IsFileValid()) << row.what;
        EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_ERROR, row.validText)) << row.what;
        capture.Clear();
        const STRUCT_DOWNLOAD_TASK info = CIdxFileDepository::ReadDatFileInfo(f.t.dat);
        EXPECT_EQ(info.version, 0) << row.what;  // a default task
        EXPECT_TRUE(info.level.isEmpty()) << row.what;
        EXPECT_EQ(capture.Count(VTLOG_LEVEL_ERROR, ""), 1) << row.what;
    }
}

TEST(IdxFileDepositoryDamage, MissingFilesAreRefusedWithoutARecord) {
    Damaged f;
    std::remove(f.t.idx.c_str());
    CVtLogCapture capture;
    CIdxFileDepository dep;
    dep.SetIndexFile(f.t.idx);
    EXPECT_FALSE(dep.Open(true));
    EXPECT_FALSE(dep.IsFileValid());
    EXPECT_EQ(capture.Count(VTLOG_LEVEL_ERROR, ""), 0);
    const STRUCT_DOWNLOAD_TASK none = CIdxFileDepository::ReadDatFileInfo(f.t.dir.path().toStdString() + "/no.dat");
    EXPECT_EQ(none.version, 0);
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
        Damaged f;
        Bytes idx = ReadFile(f.t.idx);
        Bytes dat = ReadFile(f.t.dat);
        row.damage(idx, dat);
        WriteFile(f.t.idx, idx);
        WriteFile(f.t.dat, dat);
        CIdxFileDepository& dep = f.t.dep;
        ASSERT_TRUE(dep.Open(false)) << row.what;
        E_QUERY_RESULT result = QUERY_UNKNOWN;
        CVtLogCapture capture;
        const CCache cache = dep.ReadBuffer(result, row.slot);
        EXPECT_EQ(result, row.expected) << row.what;
        const char* record = row.expected == QUERY_NO_DATA ? "ReadBuffer，没有存数据"
                             : row.expected == QUERY_ERROR ? "ReadBuffer错误，长度超限"
                                                           : "ReadBuffer错误，数据文件读取失败";
        EXPECT_EQ(capture.Count(VTLOG_LEVEL_DEBUG, record), 1) << row.what;
        EXPECT_FALSE(cache.IsValid()) << row.what;
        Bytes buf(1 << 20);
        EXPECT_EQ(dep.ReadBuffer(row.slot, buf.data(), static_cast<int>(buf.size())), -1) << row.what;
        EXPECT_EQ(dep.ReadBufferLimit(row.slot, buf.data(), 16), row.limited) << row.what;
        EXPECT_EQ(dep.GetFileIndexStatus(row.slot), row.state) << row.what;
        // Slot 2 is untouched by every damage but the last, and still reads back exactly.
        if (std::string(row.what) != "index cut to nothing") {
            result = QUERY_UNKNOWN;
            const CCache two = dep.ReadBuffer(result, 2);
            EXPECT_EQ(result, QUERY_OK) << row.what;
            EXPECT_TRUE(two == CCache(f.tile2.data(), 300, false)) << row.what;
        }
        // The damaged slot can be written again and then reads back.
        Bytes fresh = MakeTile(row.slot, 9, 123);
        ASSERT_TRUE(dep.WriteBuffer(row.slot, fresh.data(), 123, true)) << row.what;
        result = QUERY_UNKNOWN;
        const CCache again = dep.ReadBuffer(result, row.slot);
        EXPECT_EQ(result, QUERY_OK) << row.what;
        EXPECT_TRUE(again == CCache(fresh.data(), 123, false)) << row.what;
    }
}

}  // namespace
