#include "storage/HeightFieldMat.h"

#include "core/log/VtLog.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <tuple>
#include <vector>

namespace {

using HF = CHeightFieldMat;
using Bytes = std::vector<unsigned char>;
using Values = std::vector<double>;

// A grid of the given type holding the values row by row.
HF Grid(int w, int h, HF::E_HEIGHT_FIELD_DATA_TYPE t, const Values& values) {
    HF m;
    EXPECT_TRUE(m.Create(w, h, t));
    for (int k = 0; k < w * h; ++k) m.SetValueROI(k % w, k / w, k % w + 1, k / w + 1, values[static_cast<size_t>(k)]);
    return m;
}

Values ValuesOf(const HF& m) {
    Values v;
    for (int k = 0; k < m.GetWidth() * m.GetHeight(); ++k) v.push_back(m.At(k / m.GetWidth(), k % m.GetWidth()));
    return v;
}

bool IsEmptyResult(const HF& m) {
    return m.IsNull() && m.GetWidth() == 0 && m.GetHeight() == 0 && m.GetFieldDataType() == HF::HFDT_FLOAT32;
}

const HF::E_HEIGHT_FIELD_DATA_TYPE kTypes[] = {HF::HFDT_INT16, HF::HFDT_INT32, HF::HFDT_FLOAT32, HF::HFDT_FLOAT64};

}  // namespace

// A big-endian header of width, height and type, then the elements as stored; every type and size
// reads back, and damaged blobs fail cleanly.
TEST(HeightFieldMat, BlobLayoutRoundTripsAndDamage) {
    const CCache layout = HF::ToCache(Grid(2, 3, HF::HFDT_INT16, {1, -2, 3, 0x1234, -32768, 32767}));
    const Bytes good(layout.GetData(), layout.GetData() + layout.GetLength());
    EXPECT_EQ(good, (Bytes{0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  //
                           1, 0, 0xFE, 0xFF, 3, 0, 0x34, 0x12, 0x00, 0x80, 0xFF, 0x7F}));
    EXPECT_EQ(ValuesOf(HF::FromCache(layout)), (Values{1, -2, 3, 0x1234, -32768, 32767}));
    std::mt19937 rng(3);
    const int sizes[][2] = {{1, 1}, {17, 5}, {1, 300}, {257, 257}};
    for (HF::E_HEIGHT_FIELD_DATA_TYPE t : kTypes) {
        for (const auto& s : sizes) {
            HF m;
            ASSERT_TRUE(m.Create(s[0], s[1], t));
            auto* p = static_cast<unsigned char*>(m.GetDataPtr());
            for (int k = 0; k < m.GetBufferSize(); ++k) p[k] = static_cast<unsigned char>(rng());
            const CCache blob = HF::ToCache(m);
            const HF back = HF::FromCache(blob);
            ASSERT_TRUE(blob.GetLength() == 20 + m.GetDataSize() && back.GetBufferSize() == m.GetBufferSize());
            ASSERT_TRUE(back.GetWidth() == s[0] && back.GetHeight() == s[1] && back.GetFieldDataType() == t);
            EXPECT_EQ(std::memcmp(back.GetDataPtr(), m.GetDataPtr(), static_cast<size_t>(m.GetBufferSize())), 0)
                << t << " " << s[0] << "x" << s[1];
        }
    }
    // An empty grid keeps its size and type and has no data.
    const HF empty = HF::FromCache(HF::ToCache(HF(0, 7, HF::HFDT_INT32)));
    EXPECT_TRUE(empty.IsNull() && empty.GetHeight() == 7 && empty.GetFieldDataType() == HF::HFDT_INT32);

    auto cut = [&](size_t n) { return Bytes(good.begin(), good.begin() + static_cast<long>(n)); };
    auto withHeader = [](Bytes h) { h.resize(20, 0); h.resize(64, 7); return h; };  // then a few element bytes
    const char* kElements = "hf写入Cache数据失败";
    struct Row { const char* what; Bytes bytes; E_VTLOG_LEVEL level; const char* message; } rows[] = {
        {"empty", {}, VTLOG_LEVEL_WARN, "读取数据宽失败"},
        {"width cut", cut(3), VTLOG_LEVEL_WARN, "读取数据宽失败"},
        {"height cut", cut(6), VTLOG_LEVEL_ERROR, "读取数据高失败"},
        {"type missing", cut(8), VTLOG_LEVEL_WARN, "读取数据类型失败"},
        {"reserved bytes cut", cut(19), VTLOG_LEVEL_WARN, "数据偏移失败"},
        {"one element byte short", cut(31), VTLOG_LEVEL_ERROR, kElements},
        {"huge size, few bytes", withHeader({0, 0, 0x40, 0, 0, 0, 0x40, 0, 0}), VTLOG_LEVEL_ERROR, kElements},
        {"size beyond int", withHeader({0x7F, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 3}), VTLOG_LEVEL_ERROR, kElements},
        {"negative width", withHeader({0xFF, 0xFF, 0xFF, 0xFE, 0, 0, 0, 2, 0}), VTLOG_LEVEL_ERROR, kElements},
        {"unknown type", withHeader({0, 0, 0, 2, 0, 0, 0, 2, 9}), VTLOG_LEVEL_ERROR, kElements},
    };
    for (const Row& r : rows) {
        CVtLogCapture capture;
        EXPECT_TRUE(IsEmptyResult(HF::FromCache(CCache(r.bytes.data(), static_cast<int>(r.bytes.size()), true))) &&
                    capture.Contains(r.level, std::string("[CHeightFieldMat::FromCache] ") + r.message)) << r.what;
    }
    // A cache that announces bytes it does not hold.
    EXPECT_TRUE(IsEmptyResult(HF::FromCache(CCache(nullptr, 100, true))));
}

TEST(HeightFieldMat, ChildGridsOfAParent) {
    // Parent v(r, c) = 10 r + c on 4 x 4. Child (i, j) takes the quarter at column 2i and row 2j
    // and stretches it: v = base + (x + 10 y) / 3, with base = 10 * 2j + 2i.
    Values parent;
    for (int k = 0; k < 16; ++k) parent.push_back(10 * (k / 4) + k % 4);
    for (HF::E_HEIGHT_FIELD_DATA_TYPE t : kTypes) {
        for (int child = 0; child < 4; ++child) {
            const int i = child % 2, j = child / 2;
            HF m = Grid(4, 4, t, parent);
            ASSERT_TRUE(m.ToSubPyramidRegion(i, j));
            for (int k = 0; k < 16; ++k) {
                const int x = k % 4, y = k / 4;
                double expected = 10 * 2 * j + 2 * i + (x + 10.0 * y) / 3.0;
                if (t == HF::HFDT_INT16 || t == HF::HFDT_INT32) expected = static_cast<int>(expected + 1e-4);
                EXPECT_NEAR(m.At(y, x), expected, 1e-4) << t << " child " << i << j << " at " << y << "," << x;
            }
        }
    }
    HF m = Grid(2, 2, HF::HFDT_FLOAT32, {1, 2, 3, 4}), empty;
    EXPECT_TRUE(!m.ToSubPyramidRegion(2, 0) && !m.ToSubPyramidRegion(0, -1) && !empty.ToSubPyramidRegion(0, 0) && ValuesOf(m) == (Values{1, 2, 3, 4}));
    // A single row keeps its row; its columns halve.
    HF row = Grid(4, 1, HF::HFDT_FLOAT32, {0, 3, 6, 9});
    EXPECT_TRUE(row.ToSubPyramidRegion(1, 1) && ValuesOf(row) == (Values{6, 7, 8, 9}));
}

// Sub-regions, fills, blits and culls copy inside both grids; refusals change nothing.
TEST(HeightFieldMat, RegionCopiesStayInsideBothGrids) {
    HF m = Grid(4, 3, HF::HFDT_INT16, {0, 1, 2, 3, 10, 11, 12, 13, 20, 21, 22, 23});
    EXPECT_TRUE(ValuesOf(m.SubRegion(1, 1, 3, 3)) == (Values{11, 12, 21, 22}) && m.SubRegion(1, 1, 3, 4).GetWidth() == 3);  // the last up to the edge
    CVtLogCapture capture;
    const HF zero = m.SubRegion(0, 0, 0, 0);
    EXPECT_TRUE(zero.IsNull() && zero.GetFieldDataType() == HF::HFDT_INT16 && capture.Records().empty());
    // Reversed rows or columns, rows or columns beyond, negative starts.
    for (const auto& [r0, c0, r1, c1] : {std::tuple{2, 0, 1, 5}, {0, 3, 1, 2}, {0, 0, 4, 1}, {0, 0, 1, 5}, {-1, 0, 1, 1}, {0, -1, 1, 1}}) {
        capture.Clear();
        EXPECT_TRUE(IsEmptyResult(m.SubRegion(r0, c0, r1, c1)));
        EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_WARN, "[CHeightFieldMat::SubRegion] 获取子区域HF失败 nRow0=" +
                                                           std::to_string(r0) + " nCol0=" + std::to_string(c0)));
    }

    const HF three = Grid(3, 3, HF::HFDT_FLOAT32, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    HF f = Grid(4, 4, HF::HFDT_FLOAT32, Values(16, 0));
    EXPECT_FALSE(f.FillRegion(2, 2, three) || f.FillRegion(0, 2, three) || f.FillRegion(-1, 0, three) ||
                 f.FillRegion(0, 0, Grid(1, 1, HF::HFDT_FLOAT64, {1})));  // beyond, negative, another element type
    EXPECT_EQ(ValuesOf(f), Values(16, 0));
    EXPECT_TRUE(f.FillRegion(1, 1, three) && ValuesOf(f) == (Values{0, 0, 0, 0, 0, 1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9}));
    capture.Clear();
    EXPECT_TRUE(f.FillRegion(0, 0, HF(2, 2, HF::HFDT_FLOAT32)));
    EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_WARN, "[CHeightFieldMat::FillRegion] 传入的HF数据错误"));

    HF d = Grid(4, 4, HF::HFDT_FLOAT32, Values(16, 0));
    // Clipped by the destination: only 2 x 2 of the 3 x 3 block lands.
    ASSERT_TRUE(d.BlitRegion(2, 2, three, 0, 0, 3, 3));
    const Values blitted = ValuesOf(d);
    EXPECT_EQ(blitted, (Values{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 0, 0, 4, 5}));
    // Refused: source columns or rows beyond, a negative source or destination, a destination column
    // past the edge, zero width.
    const int refused[][6] = {{0, 0, 2, 0, 2, 1}, {0, 0, 0, 2, 1, 2}, {0, 0, -1, 0, 1, 1},
                              {-1, 0, 0, 0, 1, 1}, {4, 0, 0, 0, 1, 1}, {0, 0, 0, 0, 0, 1}};
    for (const auto& b : refused) {
        EXPECT_TRUE(!d.BlitRegion(b[0], b[1], three, b[2], b[3], b[4], b[5]) && ValuesOf(d) == blitted) << b[0] << b[1] << b[2] << b[3] << b[4];
    }
    EXPECT_TRUE(d.BlitRegion(0, 4, three, 0, 0, 1, 1) && d.BlitRegion(0, 0, three, 0, 0, 1, 0));  // no row to copy
    EXPECT_TRUE(d.BlitRegion(0, 0, three, 2, 2, 1, 1) && d.At(0, 0) == 9);  // a single element
    EXPECT_FALSE(d.BlitRegion(0, 0, Grid(1, 1, HF::HFDT_INT32, {1}), 0, 0, 1, 1));

    // Culling moves the remaining rows to the narrower stride and writes nothing past them.
    HF c = Grid(4, 3, HF::HFDT_INT32, {0, 1, 2, 3, 10, 11, 12, 13, 20, 21, 22, 23});
    ASSERT_TRUE(c.Cull(1) && c.GetWidth() == 3 && c.GetHeight() == 2 && c.GetBufferSize() == 48);
    EXPECT_EQ(ValuesOf(c), (Values{0, 1, 2, 10, 11, 12}));
    int32_t all[12];
    EXPECT_TRUE(c.CopyTo(all, 1000) && std::vector<int32_t>(all + 6, all + 12) == (std::vector<int32_t>{12, 13, 20, 21, 22, 23}));
    EXPECT_TRUE(!c.Cull(3) && !c.Cull(-1) && HF(4, 3, HF::HFDT_INT32).Cull(1));  // the last: no data to move
    EXPECT_EQ(ValuesOf(HF::FromCache(HF::ToCache(c))), ValuesOf(c));  // the blob carries the remaining elements
    EXPECT_TRUE(c.Cull(2) && c.GetWidth() == 1 && c.GetHeight() == 0);
}

TEST(HeightFieldMat, AddOffsetAndSetValueFollowTheElementType) {
    struct Row { const char* what; HF::E_HEIGHT_FIELD_DATA_TYPE type; double start, offset, expected; } rows[] = {
        {"int16 truncates toward zero", HF::HFDT_INT16, 5, -1.7, 4},
        {"int16 wraps", HF::HFDT_INT16, 32767, 1, -32768},
        {"int32 truncates", HF::HFDT_INT32, -5, 2.9, -3},
        {"float adds as float", HF::HFDT_FLOAT32, 1, 1.7, static_cast<double>(1.0f + 1.7f)},
        {"double adds", HF::HFDT_FLOAT64, 1, 1.7, 2.7},
    };
    for (const Row& r : rows) {
        HF m = Grid(2, 2, r.type, Values(4, r.start));
        m.AddOffset(r.offset);
        EXPECT_EQ(ValuesOf(m), Values(4, r.expected)) << r.what;
    }

    HF m = Grid(3, 3, HF::HFDT_INT16, Values(9, 0));
    m.SetValueROI(-5, 1, 2, 10, 70000.9);  // clipped to columns 0..1, rows 1..2; low 16 bits of 70000
    const Values set{0, 0, 0, 4464, 4464, 0, 4464, 4464, 0};
    EXPECT_EQ(ValuesOf(m), set);
    m.SetValueROI(3, 0, 9, 9, 1);  // starts past the right edge
    m.SetValueROI(1, 1, 1, 3, 1);  // empty column range
    EXPECT_TRUE(ValuesOf(m) == set && !m.Smooth(3));
}

TEST(HeightFieldMat, TextForm) {
    EXPECT_EQ(Grid(1, 1, HF::HFDT_INT16, {-1}).ToString(), "00000001 1\r\n65535 \r\n");
    EXPECT_EQ(Grid(2, 2, HF::HFDT_FLOAT64, {1.5, -2, 0.1, 1e7}).ToString(), "00000002 2\r\n1.5 -2 \r\n0.1 1e+07 \r\n");
    EXPECT_EQ(HF(256, 3, HF::HFDT_INT32).ToString(), "00000256 3\r\n");
    QTemporaryDir dir;
    const HF m = Grid(3, 2, HF::HFDT_INT32, {1, 2, 3, -4, 5, 6});
    ASSERT_TRUE(m.SaveToTextFile(dir.filePath("grid.txt").toStdString()));
    QFile file(dir.filePath("grid.txt"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly) && file.readAll().toStdString() == m.ToString());
    EXPECT_FALSE(m.SaveToTextFile(dir.filePath("missing/dir/grid.txt").toStdString()));
}

TEST(HeightFieldMat, OwnershipSizesAndNodata) {
    HF a = Grid(2, 2, HF::HFDT_FLOAT64, {1, 2, 3, 4});
    HF b(a), c;
    b.SetValueROI(0, 0, 1, 1, 9);
    c = b;
    c = c;
    EXPECT_TRUE(a.At(0, 0) == 1 && ValuesOf(c) == (Values{9, 2, 3, 4}) && c.GetFieldDataType() == HF::HFDT_FLOAT64);

    for (HF::E_HEIGHT_FIELD_DATA_TYPE t : kTypes) {
        HF m;
        ASSERT_TRUE(m.Create(3, 2, t) && m.At(1, 2) == -32768 && m.At(-1, 0) == -32768) << t;  // filled with no-data
        EXPECT_EQ(std::memcmp(m.GetOffset(1, 2), m.GetNodata(), static_cast<size_t>(m.GetDataTypeByte())), 0);
        EXPECT_TRUE(m.GetOffset(2, 0) == nullptr && m.GetOffset(0, 3) == nullptr);
    }
    HF big;  // beyond an int of bytes, a negative width, an unknown type
    EXPECT_FALSE(big.Create(70000, 70000, HF::HFDT_FLOAT64) || big.Create(-1, 5, HF::HFDT_INT16) ||
                 big.Create(2, 2, static_cast<HF::E_HEIGHT_FIELD_DATA_TYPE>(7)));
    EXPECT_TRUE(big.IsNull() && big.GetNodata() == nullptr);

    HF owner;
    ASSERT_TRUE(owner.Create(2, 1, HF::HFDT_INT16));
    auto* taken = static_cast<unsigned char*>(owner.GetDataPtr());
    owner.SetDataPtr(new unsigned char[4]{1, 0, 2, 0});
    EXPECT_EQ(taken[1], 0x80);  // the old buffer stays alive and the caller's to free
    delete[] taken;
    EXPECT_EQ(ValuesOf(owner), (Values{1, 2}));
    int16_t out[2] = {};
    EXPECT_TRUE(owner.CopyTo(out, 100) && out[1] == 2 && !owner.CopyTo(nullptr, 4));  // no more than the buffer
}
