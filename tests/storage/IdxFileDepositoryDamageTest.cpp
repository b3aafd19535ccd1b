#include "DepositoryTestSupport.h"

#include "core/log/VtLog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <functional>

#include <unistd.h>

using namespace vt_depository_test;

namespace {

// A depository over the Mercator world, levels 1 to 3 (21 slots), with tiles in slots 2, 3 and 4;
// `damage` then edits its closed files.
struct Damaged {
    TempDepository t;
    explicit Damaged(const std::function<void(Bytes& idx, Bytes& dat)>& damage) {
        EXPECT_TRUE(t.CreateOpen({1, 2, 3}));
        for (long long slot : {2, 3, 4}) EXPECT_TRUE(WriteTile(t.dep, slot, MakeTile(slot, 1, 100 * int(slot + 1))));
        t.dep.Close();
        Bytes idx = ReadFile(t.idx), dat = ReadFile(t.dat);
        damage(idx, dat);
        WriteFile(t.idx, idx);
        WriteFile(t.dat, dat);
    }
};

using Damage = std::function<void(Bytes&, Bytes&)>;

Damage SetSlot(long long slot, long long offset, int length, bool fromEnd = false) {
    return [=](Bytes& idx, Bytes& dat) {
        WriteLE<int64_t>(idx, static_cast<size_t>(slot) * 20 - 12, offset + (fromEnd ? static_cast<long long>(dat.size()) : 0));
        WriteLE<int32_t>(idx, static_cast<size_t>(slot) * 20 - 4, length);
    };
}

Damage DataByte(size_t at, unsigned char value) { return [=](Bytes&, Bytes& dat) { dat[at] = value; }; }

// Each damage, what a read of `slot` gives and the record it leaves. A header that is refused
// (QUERY_UNKNOWN) refuses Open and IsFileValid alike, and ReadDatFileInfo gives a default task. Otherwise a read gives its failure value, never a crash or a short tile, and
// the slot can be written again; `state` is the slot's state, `limited` what ReadBufferLimit of 16
// bytes gives (only the start of the tile must exist) and `levels` the level list read.
TEST(IdxFileDepositoryDamage, EveryDamageGivesItsFailureAndRecord) {
    const char* kShort = "文件尺寸小于文件头长度,非法.";
    const char* kInvalid = "数据校验失败.不是idx合法的文件仓库文件.";
    const char* kNoData = "ReadBuffer，没有存数据";
    const char* kUnread = "ReadBuffer错误，数据文件读取失败";
    const QList<int> kLevels{1, 2, 3};
    const struct { const char* what; Damage damage; long long slot; E_QUERY_RESULT result; const char* record; int state, limited; QList<int> levels; } rows[] = {
        {"99-byte data file", [](Bytes&, Bytes& d) { d.resize(99); }, 3, QUERY_UNKNOWN, kShort, 0, 0, {}},
        {"wrong file code", [](Bytes&, Bytes& d) { d[0] ^= 0xFF; }, 3, QUERY_UNKNOWN, kInvalid, 0, 0, {}},
        {"41 levels announced", DataByte(12, 41), 3, QUERY_UNKNOWN, kInvalid, 0, 0, {}},
        // Level 2 is byte 14: any level a valid header lists is taken.
        {"level 200 between", DataByte(14, 200), 3, QUERY_OK, nullptr, BLOCK_HAS_DATA, 16, {1, 200, 3}},
        // Slot 4's tile of 500 bytes is the last in the data file.
        {"offset past the end", SetSlot(3, 10, 400, true), 3, QUERY_DATA_ERROR, kUnread, BLOCK_HAS_DATA, -1, kLevels},
        {"offset far past the end", SetSlot(3, 1LL << 62, 400), 3, QUERY_DATA_ERROR, kUnread, BLOCK_HAS_DATA, -1, kLevels},
        {"length past the end", SetSlot(4, -500, 501, true), 4, QUERY_DATA_ERROR, kUnread, BLOCK_HAS_DATA, 16, kLevels},
        {"negative length", SetSlot(3, 400, -7), 3, QUERY_NO_DATA, kNoData, BLOCK_HAS_DATA, -1, kLevels},
        {"huge length", SetSlot(3, 400, INT_MAX), 3, QUERY_ERROR, "ReadBuffer错误，长度超限", BLOCK_HAS_DATA, 16, kLevels},
        {"negative offset", SetSlot(3, -5, 400), 3, QUERY_NO_DATA, kNoData, BLOCK_INVALID, -1, kLevels},
        {"state 99 with a length", SetSlot(3, 99, 400), 3, QUERY_NO_DATA, kNoData, 99, -1, kLevels},
        {"index cut in a slot", [](Bytes& i, Bytes&) { i.resize(3 * 20 + 9); }, 4, QUERY_NO_DATA, kNoData, BLOCK_EMPTY, -1, kLevels},
        {"index cut to nothing", [](Bytes& i, Bytes&) { i.clear(); }, 2, QUERY_NO_DATA, kNoData, BLOCK_EMPTY, -1, kLevels},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        Damaged f(r.damage);
        CIdxFileDepository& dep = f.t.dep;
        CVtLogCapture capture;
        EXPECT_EQ(CIdxFileDepository::ReadDatFileInfo(f.t.dat).level, r.levels);
        if (r.result == QUERY_UNKNOWN) {
            EXPECT_FALSE(dep.Open(false) || dep.IsOpen() || dep.IsFileValid());
            // ReadDatFileInfo, Open and IsFileValid each leave the record, and nothing else.
            EXPECT_TRUE(capture.Count(VTLOG_LEVEL_ERROR, r.record) == 3 && capture.Count(VTLOG_LEVEL_ERROR, "") == 3);
            continue;
        }
        ASSERT_TRUE(dep.IsFileValid() && dep.Open(false));
        EXPECT_EQ(dep.GetDatFileInfo().level, r.levels);
        Bytes tile, buf(1 << 20);
        EXPECT_EQ(ReadTile(dep, r.slot, tile), r.result);
        EXPECT_EQ(tile, r.record ? Bytes() : MakeTile(3, 1, 400));
        EXPECT_EQ(capture.Count(VTLOG_LEVEL_DEBUG, r.record ? r.record : "ReadBuffer"), r.record ? 1 : 0);
        EXPECT_EQ(dep.ReadBuffer(r.slot, buf.data(), static_cast<int>(buf.size())), r.record ? -1 : 400);
        EXPECT_EQ(dep.ReadBufferLimit(r.slot, buf.data(), 16), r.limited);
        EXPECT_EQ(dep.GetFileIndexStatus(r.slot), r.state);
        // Slot 2 is untouched by every damage but the last, and still reads back exactly.
        EXPECT_TRUE(r.slot == 2 || (ReadTile(dep, 2, tile) == QUERY_OK && tile == MakeTile(2, 1, 300)));
        const Bytes fresh = MakeTile(r.slot, 9, 123);
        ASSERT_TRUE(WriteTile(dep, r.slot, fresh));
        EXPECT_TRUE(ReadTile(dep, r.slot, tile) == QUERY_OK && tile == fresh);
        // Slots of level 200 lie beyond what a 64-bit file offset can address: refused.
        EXPECT_TRUE(!r.levels.contains(200) || (!WriteTile(dep, dep.GetMaxIndex(), fresh) && capture.Contains(VTLOG_LEVEL_ERROR, "索引超出范围")));
    }
}

// Another program cuts the index while a reader has it open, then puts it back: readers on many
// threads see the slots past the cut as empty, never a wrong or short tile, and never crash; once
// the file is whole again every tile reads back. The cuts fall between slots here: a cut that
// splits a slot is the memory view's own test.
TEST(IdxFileDepositoryDamage, AnIndexCutWhileOpenReadsAsEmptySlotsUntilItIsRestored) {
    TempDepository t;
    ASSERT_TRUE(t.CreateOpen({1, 2, 3, 4, 5, 6}));  // 1365 slots, seven pages of index
    const long long total = t.dep.GetMaxIndex();
    for (long long slot = 1; slot <= total; ++slot)
        ASSERT_TRUE(WriteTile(t.dep, slot, MakeTile(slot, 1, int(20 + slot % 300)), false));
    t.dep.FlushDATFile();
    t.dep.FlushIdxFile();
    const Bytes whole = ReadFile(t.idx);
    CIdxFileDepository reader;
    ASSERT_TRUE(OpenAt(reader, t.idx, true));
    std::atomic<int> wrong{0}, empty{0};
    for (long long cut : {0LL, 20LL, 4096LL * 5, 20LL * 700, 20LL * (total - 1)}) {
        SCOPED_TRACE(cut);
        std::atomic<bool> started{false}, cutDone{false};
        std::thread cutter([&] {
            while (!started) std::this_thread::yield();
            EXPECT_EQ(::truncate(t.idx.c_str(), cut), 0);
            cutDone = true;
        });
        RunThreads(8, [&](int id) {
            Bytes tile;
            // Reading on until a pass has begun after the cut: the reads right after it find the
            // view still trusting the old size.
            for (bool last = false; !last;) {
                last = cutDone;
                for (long long slot = 1 + id; slot <= total; slot += 8) {
                    started = true;
                    const E_QUERY_RESULT r = ReadTile(reader, slot, tile);
                    uint32_t seq = 0;
                    if (r == QUERY_NO_DATA) ++empty;
                    else if (r != QUERY_OK || !IsIntactTile(tile, slot, seq)) ++wrong;
                }
            }
        });
        cutter.join();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));  // past the view's trust in the old size
        Bytes tile;
        for (long long slot : {cut / 20, cut / 20 + 1, total}) {
            if (slot < 1) continue;
            EXPECT_EQ(ReadTile(reader, slot, tile), slot * 20 <= cut ? QUERY_OK : QUERY_NO_DATA) << slot;
        }
        WriteFile(t.idx, whole);
        for (long long slot = 1; slot <= total; ++slot) {
            uint32_t seq = 0;
            ASSERT_TRUE(ReadTile(reader, slot, tile) == QUERY_OK && IsIntactTile(tile, slot, seq)) << slot;
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(empty, 0);
}

}  // namespace
