#include "storage/BinaryMemoryStream.h"
#include "storage/BinaryMessageObject.h"

#include <gtest/gtest.h>

namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// A record with a 16-bit and a 32-bit field, optionally imposing its own orders.
class CTestRecord : public CBinaryMessageObject {
public:
    CTestRecord(bool fixed, int byteOrder, int bitOrder) : CBinaryMessageObject(fixed, byteOrder, bitOrder) {}
    int GetSize() const override { return 6; }

    uint16_t m_nShort = 0;
    uint32_t m_nLong = 0;

protected:
    bool DoSerialize(CBinarySerializer* s) override {
        if (!s->SerializeUInt16(m_nShort)) return FieldFailed(s, "m_nShort");
        if (!s->SerializeUInt32(m_nLong)) return FieldFailed(s, "m_nLong");
        return true;
    }
};

TEST(BinaryMessageObject, FixedOrderIsImposedAndRestored) {
    CBinaryMemoryStream stream(1, 1);
    CTestRecord big(true, 0, 1);
    big.m_nShort = 0x0102;
    big.m_nLong = 0x03040506;
    ASSERT_TRUE(stream.Serialize(big));
    const unsigned char* b = stream.GetBuffer();
    EXPECT_EQ(b[0], 0x01);
    EXPECT_EQ(b[5], 0x06);
    EXPECT_EQ(stream.GetSerializer().GetByteOrder(), 1);
    ASSERT_TRUE(stream.GetSerializer().WriteUInt16(0x0102));
    EXPECT_EQ(b[6], 0x02);  // the stream's own order again

    CTestRecord back(true, 0, 1);
    ASSERT_TRUE(stream.Deserialize(back));
    EXPECT_EQ(back.m_nShort, 0x0102);
    EXPECT_EQ(back.m_nLong, 0x03040506u);
}

TEST(BinaryMessageObject, BitOrderSwitchInsideAByteFails) {
    CBinaryMemoryStream stream(1, 1);
    ASSERT_TRUE(stream.GetSerializer().WriteUInt8(1, 3));
    CTestRecord msbFirst(true, 1, 0);
    EXPECT_FALSE(stream.Serialize(msbFirst));
    EXPECT_NE(msbFirst.GetErrorText().find("serialise:bit number must divde by 8"), std::string::npos)
        << msbFirst.GetErrorText();
    EXPECT_EQ(stream.GetWriteBitCount(), 3);
    EXPECT_EQ(stream.GetSerializer().GetBitOrder(), 1);
}

TEST(BinaryMessageObject, ShortInputNamesTheFailingField) {
    unsigned char bytes[4] = {1, 2, 3, 4};
    CBinaryMemoryStream stream(1, 1);
    stream.Attach(bytes, 4);
    CTestRecord r(false, 0, 1);
    EXPECT_FALSE(stream.Deserialize(r));
    EXPECT_TRUE(EndsWith(r.GetErrorText(), "CTestRecord deserialize:varible m_nLong serialize failed."))
        << r.GetErrorText();
    EXPECT_EQ(r.m_nShort, 0x0201);  // fields before the failure were read
    EXPECT_EQ(r.m_nLong, 0u);

    CBinaryMemoryStream tiny(1, 1);
    tiny.Attach(bytes, 1);
    tiny.Reset();
    EXPECT_FALSE(tiny.Serialize(r));
    EXPECT_TRUE(EndsWith(r.GetErrorText(), "CTestRecord serialise:varible m_nShort serialize failed."))
        << r.GetErrorText();
}

TEST(BinaryMemoryStream, AttachIgnoresNothingToAttach) {
    CBinaryMemoryStream stream(1, 1);
    ASSERT_TRUE(stream.WriteBytes("ab", 2));
    stream.Attach(nullptr, 5);
    unsigned char one = 0;
    stream.Attach(&one, 0);
    EXPECT_EQ(stream.GetLength(), 2);
    EXPECT_FALSE(stream.WriteBytes(nullptr, 1));
    EXPECT_FALSE(stream.ReadBytes(&one, -1));
}

}  // namespace
