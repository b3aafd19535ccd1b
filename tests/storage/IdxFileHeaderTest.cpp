#include "storage/BinaryMemoryStream.h"
#include "storage/IdxFileHeader.h"
#include "storage/IdxIndex.h"
#include "storage/LegacyIdxFileHeader.h"

#include "DepositoryTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>
#include <vector>

using vt_depository_test::Bytes;
using vt_depository_test::ReadLE;

namespace {

// Serialises a record the way the depository does: into a zeroed, attached stack-sized buffer.
bool Write(CBinaryMessageObject& record, Bytes& out, int size) {
    out.assign(static_cast<size_t>(size), 0);
    CBinaryMemoryStream stream(1, 1);
    stream.Attach(out.data(), size);
    stream.Reset();
    return stream.Serialize(record);
}

bool Read(CBinaryMessageObject& record, Bytes bytes) {
    CBinaryMemoryStream stream(1, 1);
    stream.Attach(bytes.data(), static_cast<int>(bytes.size()));
    return stream.Deserialize(record);
}

CICD_IDX_FILE_HEADER SampleHeader() {
    CICD_IDX_FILE_HEADER h;  // fields that differ from their neighbours' bytes
    h.m_nMapType = 1501;
    h.m_vecLevels = {3, 4, 5};
    h.m_bIsGoogleOffset = true;
    h.m_nBatchVersion = 0xBEEF;
    h.m_nTileModel = 0x101;  // only the low byte is stored
    h.m_nShiftingType = 2;
    h.m_nContentType = 3;
    h.m_nFormatType = 4;
    h.m_nThemeType = -7;
    h.m_nEpsg = 3857;
    h.m_nMixType = 9;
    h.m_dMinX = 73.5;
    h.m_dMinY = -18.25;
    h.m_dMaxX = 135.125;
    h.m_dMaxY = 53.5625;
    return h;
}

TEST(IdxFileHeader, LaysOutEveryFieldAtItsOffset) {
    CICD_IDX_FILE_HEADER h = SampleHeader();
    Bytes b;
    ASSERT_TRUE(Write(h, b, 100));
    // File code, version, map type, level count and levels, google offset, spare length.
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 18),
              (Bytes{0xD1, 0x4A, 0x2E, 0x01, 204, 0, 0, 0, 0xDD, 0x05, 0, 0, 3, 3, 4, 5, 1, 37}));
    for (int i = 18; i <= 54; ++i) EXPECT_EQ(b[i], 0) << i;
    EXPECT_EQ(ReadLE<uint16_t>(b, 55), 0xBEEF);
    EXPECT_EQ(Bytes(b.begin() + 57, b.begin() + 61), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(ReadLE<int32_t>(b, 61), -7);
    EXPECT_EQ(ReadLE<uint16_t>(b, 65), 3857);
    EXPECT_EQ(b[67], 9);
    EXPECT_EQ(ReadLE<double>(b, 68), 73.5);
    EXPECT_EQ(ReadLE<double>(b, 76), -18.25);
    EXPECT_EQ(ReadLE<double>(b, 84), 135.125);
    EXPECT_EQ(ReadLE<double>(b, 92), 53.5625);

    CICD_IDX_FILE_HEADER back;
    ASSERT_TRUE(Read(back, b)) << back.GetErrorText();
    h.m_nTileModel = 1;
    EXPECT_TRUE(back == h);
    EXPECT_TRUE(back.IsValid());

    b[17] = 200;  // a stored spare length that disagrees with 40 - 3 is ignored
    ASSERT_TRUE(Read(back, b));
    EXPECT_TRUE(back == h);
    EXPECT_EQ(back.m_nSpareLength, 37);

    // Valid: the file code and versions 201 to 204.
    for (const auto& [code, version, valid] : {std::tuple{19811025, 200, false}, {19811025, 201, true},
                                              {19811025, 205, false}, {19811026, 204, false}}) {
        back.m_nFileCode = code;
        back.m_nVersion = version;
        EXPECT_EQ(back.IsValid(), valid) << code << "/" << version;
    }
}

TEST(IdxFileHeader, FortyLevelsFillTheAreaAndFortyOneDoNotFit) {
    CICD_IDX_FILE_HEADER h;
    for (int i = 1; i <= 40; ++i) h.m_vecLevels.push_back(i);
    Bytes b;
    ASSERT_TRUE(Write(h, b, 100));
    EXPECT_EQ(Bytes(b.begin() + 52, b.begin() + 55), (Bytes{40, 0, 0}));  // the last level, google flag, spare
    CICD_IDX_FILE_HEADER back;
    ASSERT_TRUE(Read(back, b));
    EXPECT_EQ(back.m_nSpareLength, 0);
    EXPECT_EQ(back.m_vecLevels.size(), 40u);

    h.m_vecLevels.push_back(41);
    EXPECT_FALSE(Write(h, b, 100));
    EXPECT_NE(h.GetErrorText().find("varible m_ucSpare serialize failed."), std::string::npos) << h.GetErrorText();
    h.m_vecLevels.assign(256, 1);
    EXPECT_FALSE(Write(h, b, 100));
    EXPECT_NE(h.GetErrorText().find("m_vecLevels"), std::string::npos) << h.GetErrorText();
}

// Damaged headers fail with the name of the first field that cannot be read; none reads past the input.
TEST(IdxFileHeader, DamagedInputNamesTheFailingField) {
    Bytes good;
    CICD_IDX_FILE_HEADER h = SampleHeader();
    ASSERT_TRUE(Write(h, good, 100));
    auto cut = [&](size_t n) { return Bytes(good.begin(), good.begin() + n); };
    auto withCount = [&](unsigned char n) { Bytes b = good; b[12] = n; return b; };
    const std::pair<Bytes, const char*> rows[] = {
        {cut(3), "m_nFileCode"},
        {cut(6), "m_nVersion"},
        {cut(10), "m_nMapType"},
        {cut(12), "m_vecLevels"},  // before the count
        {cut(14), "m_vecLevels"},  // in the levels
        {cut(30), "m_ucSpare"},
        {cut(56), "m_nBatchVersion"},
        {cut(63), "m_nThemeType"},
        {cut(99), "m_dMaxY"},
        {withCount(41), "m_ucSpare"},
        {withCount(255), "m_vecLevels"},
    };
    for (const auto& [bytes, field] : rows) {
        CICD_IDX_FILE_HEADER back;
        EXPECT_FALSE(Read(back, bytes)) << bytes.size() << " bytes, " << field;
        EXPECT_NE(back.GetErrorText().find(std::string("deserialize:varible ") + field + " serialize failed."),
                  std::string::npos)
            << back.GetErrorText();
    }
}

TEST(IdxIndex, SlotRoundTripsAndSignExtendsStates) {
    struct Row {
        long long mapID, offset;
        int length;
    } rows[] = {{1, 0, 0}, {1LL << 40, 100, 262345}, {7, -1, 0}, {-5, 99, -3}, {INT64_MAX, INT64_MIN, INT32_MIN}};
    for (const Row& r : rows) {
        CICD_IDX_INDEX slot(r.mapID, r.offset, r.length);
        Bytes b;
        ASSERT_TRUE(Write(slot, b, 20));
        EXPECT_EQ(ReadLE<int64_t>(b, 0), r.mapID);
        EXPECT_EQ(ReadLE<int64_t>(b, 8), r.offset);
        EXPECT_EQ(ReadLE<int32_t>(b, 16), r.length);
        CICD_IDX_INDEX back;
        ASSERT_TRUE(Read(back, b));
        EXPECT_TRUE(back == slot);
    }
    CICD_IDX_INDEX shortSlot;
    EXPECT_FALSE(Read(shortSlot, Bytes(19, 0xFF)));
    EXPECT_NE(shortSlot.GetErrorText().find("m_nLength"), std::string::npos);
    EXPECT_EQ(shortSlot.m_nLength, 0);
}

TEST(LegacyIdxFileHeader, DoublesStartAtOffset68) {
    CICD_IDXFILE_HEADER h;
    h.m_nFileCode = 1;
    h.m_vecLevels = {1, 2};
    h.m_dMinX = -1.5;
    h.m_dMaxY = 2.5;
    Bytes b;
    ASSERT_TRUE(Write(h, b, 100));
    EXPECT_EQ(h.GetSize(), 100);
    EXPECT_EQ(b[16], 51);  // spare length 53 - 2
    EXPECT_EQ(ReadLE<double>(b, 68), -1.5);
    EXPECT_EQ(ReadLE<double>(b, 92), 2.5);
    CICD_IDXFILE_HEADER back;
    ASSERT_TRUE(Read(back, b));
    EXPECT_TRUE(back.m_vecLevels == (std::vector<int>{1, 2}) && back.m_dMaxY == 2.5);
    back.Reset();
    EXPECT_TRUE(back.m_dMaxY == 0.0 && back.m_vecLevels.empty());
}

}  // namespace
