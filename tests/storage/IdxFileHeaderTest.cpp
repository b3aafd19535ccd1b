#include "storage/BinaryMemoryStream.h"
#include "storage/IdxFileHeader.h"
#include "storage/IdxIndex.h"
#include "storage/LegacyIdxFileHeader.h"

#include "DepositoryTestSupport.h"

#include <gtest/gtest.h>

#include <tuple>

using vt_depository_test::Bytes;
using vt_depository_test::ReadLE;

namespace {

// Serialises a record the way the depository does: into a zeroed, attached buffer.
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

bool ErrorNames(const CBinaryMessageObject& r, const std::string& field) {
    return r.GetErrorText().find("varible " + field + " serialize failed.") != std::string::npos;
}

TEST(IdxFileHeader, LayoutRoundTripAndDamagedInput) {
    // Map type 1501, levels 3 4 5, google offset, batch 0xBEEF, tile model 1, shifting 2, content 3,
    // format 4, theme -7, epsg 3857, mix 9 and an extent: each differs from its neighbours' bytes.
    Bytes expected{0xD1, 0x4A, 0x2E, 0x01, 204, 0, 0, 0, 0xDD, 0x05, 0, 0, 3, 3, 4, 5, 1, 37};
    expected.resize(55, 0);
    expected.insert(expected.end(), {0xEF, 0xBE, 1, 2, 3, 4, 0xF9, 0xFF, 0xFF, 0xFF, 0x11, 0x0F, 9});
    for (double d : {73.5, -18.25, 135.125, 53.5625}) {
        const auto* p = reinterpret_cast<const unsigned char*>(&d);  // the test hosts are little-endian
        expected.insert(expected.end(), p, p + 8);
    }
    CICD_IDX_FILE_HEADER h;
    ASSERT_TRUE(Read(h, expected)) << h.GetErrorText();
    EXPECT_TRUE(h.m_nMapType == 1501 && h.m_vecLevels == (std::vector<int>{3, 4, 5}) && h.m_bIsGoogleOffset);
    EXPECT_TRUE(h.m_nBatchVersion == 0xBEEF && h.m_nTileModel == 1 && h.m_nShiftingType == 2 && h.m_nContentType == 3);
    EXPECT_TRUE(h.m_nFormatType == 4 && h.m_nThemeType == -7 && h.m_nEpsg == 3857 && h.m_nMixType == 9);
    EXPECT_TRUE(h.m_dMinX == 73.5 && h.m_dMinY == -18.25 && h.m_dMaxX == 135.125 && h.m_dMaxY == 53.5625);
    h.m_nTileModel = 0x101;  // only the low byte is stored
    Bytes b;
    ASSERT_TRUE(Write(h, b, 100));
    EXPECT_EQ(b, expected);

    CICD_IDX_FILE_HEADER back;
    ASSERT_TRUE(Read(back, b)) << back.GetErrorText();
    h.m_nTileModel = 1;
    EXPECT_TRUE(back == h && back.IsValid());
    back.m_dMaxY += 1e-9;
    EXPECT_FALSE(back == h);
    b[17] = 200;  // a stored spare length that disagrees with 40 - 3 is ignored
    EXPECT_TRUE(Read(back, b) && back == h && back.m_nSpareLength == 37);

    // Valid: the file code and versions 201 to 204.
    for (const auto& [code, version, valid] : {std::tuple{19811025, 200, false}, {19811025, 201, true},
                                              {19811025, 205, false}, {19811026, 204, false}}) {
        back.m_nFileCode = code;
        back.m_nVersion = version;
        EXPECT_EQ(back.IsValid(), valid) << code << "/" << version;
    }

    // Forty levels fill the level area; a forty-first does not fit.
    h.m_vecLevels.clear();
    for (int i = 1; i <= 40; ++i) h.m_vecLevels.push_back(i);
    ASSERT_TRUE(Write(h, b, 100));
    EXPECT_EQ(Bytes(b.begin() + 52, b.begin() + 56), (Bytes{40, 1, 0, 0xEF}));  // last level, flag, spare, batch
    EXPECT_TRUE(Read(back, b) && back.m_nSpareLength == 0 && back.m_vecLevels.size() == 40u);
    h.m_vecLevels.push_back(41);
    EXPECT_TRUE(!Write(h, b, 100) && ErrorNames(h, "m_ucSpare")) << h.GetErrorText();
    h.m_vecLevels.assign(256, 1);
    EXPECT_TRUE(!Write(h, b, 100) && ErrorNames(h, "m_vecLevels")) << h.GetErrorText();

    // Damaged headers fail with the name of the first field that cannot be read; none reads past the input.
    auto cut = [&](size_t n) { return Bytes(expected.begin(), expected.begin() + n); };
    auto withCount = [&](unsigned char n) { Bytes d = expected; d[12] = n; return d; };
    const std::pair<Bytes, const char*> rows[] = {
        {cut(3), "m_nFileCode"},     {cut(6), "m_nVersion"},       {cut(10), "m_nMapType"},
        {cut(12), "m_vecLevels"},    {cut(14), "m_vecLevels"},     {cut(30), "m_ucSpare"},
        {cut(56), "m_nBatchVersion"}, {cut(63), "m_nThemeType"},   {cut(99), "m_dMaxY"},
        {withCount(41), "m_ucSpare"}, {withCount(255), "m_vecLevels"},
    };
    for (const auto& [bytes, field] : rows) {
        CICD_IDX_FILE_HEADER back;
        EXPECT_TRUE(!Read(back, bytes) && ErrorNames(back, field) && back.GetErrorText().find("deserialize:") != std::string::npos)
            << bytes.size() << " bytes, " << field << ": " << back.GetErrorText();
    }
}

TEST(IdxIndex, SlotRoundTripsAndSignExtendsStates) {
    struct Row { long long mapID, offset; int length; } rows[] = {
        {1, 0, 0}, {1LL << 40, 100, 262345}, {7, -1, 0}, {-5, 99, -3}, {INT64_MAX, INT64_MIN, INT32_MIN}};
    for (const Row& r : rows) {
        CICD_IDX_INDEX slot(r.mapID, r.offset, r.length), back;
        Bytes b;
        ASSERT_TRUE(Write(slot, b, 20));
        EXPECT_TRUE(ReadLE<int64_t>(b, 0) == r.mapID && ReadLE<int64_t>(b, 8) == r.offset && ReadLE<int32_t>(b, 16) == r.length);
        EXPECT_TRUE(Read(back, b) && back == slot);
    }
    CICD_IDX_INDEX shortSlot;
    EXPECT_TRUE(!Read(shortSlot, Bytes(19, 0xFF)) && ErrorNames(shortSlot, "m_nLength") && shortSlot.m_nLength == 0);
}

TEST(LegacyIdxFileHeader, DoublesStartAtOffset68) {
    CICD_IDXFILE_HEADER h;
    h.m_vecLevels = {1, 2};
    h.m_dMinX = -1.5;
    h.m_dMaxY = 2.5;
    Bytes b;
    ASSERT_TRUE(Write(h, b, 100));
    EXPECT_TRUE(h.GetSize() == 100 && b[16] == 51 && ReadLE<double>(b, 68) == -1.5 && ReadLE<double>(b, 92) == 2.5);  // spare 53 - 2
    CICD_IDXFILE_HEADER back;
    EXPECT_TRUE(Read(back, b) && back.m_vecLevels == (std::vector<int>{1, 2}) && back.m_dMaxY == 2.5);
    back.Reset();
    EXPECT_TRUE(back.m_dMaxY == 0.0 && back.m_vecLevels.empty());
}

}  // namespace
