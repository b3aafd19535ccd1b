#include "storage/BinaryMemoryStream.h"
#include "storage/BinaryMessageObject.h"

#include <gtest/gtest.h>

namespace {

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
    EXPECT_TRUE(b[0] == 0x01 && b[5] == 0x06);
    ASSERT_TRUE(stream.GetSerializer().WriteUInt16(0x0102));
    EXPECT_EQ(b[6], 0x02);  // the stream's own order again
    CTestRecord back(true, 0, 1);
    ASSERT_TRUE(stream.Deserialize(back));
    EXPECT_TRUE(back.m_nShort == 0x0102 && back.m_nLong == 0x03040506u);

    // A bit-order switch inside a byte fails and leaves the stream as it was.
    CBinaryMemoryStream odd(1, 1);
    ASSERT_TRUE(odd.GetSerializer().WriteUInt8(1, 3));
    CTestRecord msbFirst(true, 1, 0);
    EXPECT_FALSE(odd.Serialize(msbFirst));
    EXPECT_NE(msbFirst.GetErrorText().find("serialise:bit number must divde by 8"), std::string::npos);
    EXPECT_EQ(odd.GetWriteBitCount(), 3);
    EXPECT_EQ(odd.GetSerializer().GetBitOrder(), 1);
}

TEST(BinaryMessageObject, ShortInputNamesTheFailingField) {
    unsigned char bytes[4] = {1, 2, 3, 4};
    CBinaryMemoryStream stream(1, 1);
    stream.Attach(bytes, 4);
    stream.Attach(nullptr, 5);  // ignored: nothing to attach
    CTestRecord r(false, 0, 1);
    EXPECT_FALSE(stream.Deserialize(r));
    EXPECT_NE(r.GetErrorText().find("CTestRecord deserialize:varible m_nLong serialize failed."), std::string::npos);
    EXPECT_EQ(r.m_nShort, 0x0201);  // fields before the failure were read
    EXPECT_EQ(r.m_nLong, 0u);
    CBinaryMemoryStream tiny(1, 1);
    tiny.Attach(bytes, 1);
    tiny.Reset();
    EXPECT_FALSE(tiny.Serialize(r));
    EXPECT_NE(r.GetErrorText().find("CTestRecord serialise:varible m_nShort serialize failed."), std::string::npos);
    EXPECT_FALSE(tiny.WriteBytes(nullptr, 1));
    EXPECT_FALSE(tiny.ReadBytes(bytes, -1));
}

}  // namespace
