#include "storage/BinaryMessageObject.h"
#include "storage/BinaryMemoryStream.h"
#include "storage/BinarySerializer.h"

#include <gtest/gtest.h>

namespace {

// A record with a 16-bit and a 32-bit field, optionally imposing its own orders.
struct CTestRecord : CBinaryMessageObject {
    CTestRecord(bool fixed, int byteOrder, int bitOrder) : CBinaryMessageObject(fixed, byteOrder, bitOrder) {}
    int GetSize() const override { return 6; }
    uint16_t m_nShort = 0x0102;
    uint32_t m_nLong = 0x03040506;
    bool DoSerialize(CBinarySerializer* s) override {
        if (!s->SerializeUInt16(m_nShort)) return FieldFailed(s, "m_nShort");
        if (!s->SerializeUInt32(m_nLong)) return FieldFailed(s, "m_nLong");
        return true;
    }
};

bool Has(const CBinaryMessageObject& r, const char* text) { return r.GetErrorText().find(text) != std::string::npos; }

TEST(BinaryMessageObject, FixedOrdersAndFailingFields) {
    CBinaryMemoryStream stream(1, 1);
    CTestRecord big(true, 0, 1);
    ASSERT_TRUE(stream.Serialize(big));
    const unsigned char* b = stream.GetBuffer();
    EXPECT_TRUE(b[0] == 0x01 && b[5] == 0x06);
    EXPECT_TRUE(stream.GetSerializer().WriteUInt16(0x0102) && b[6] == 0x02);  // the stream's own order again
    CTestRecord back(true, 0, 1);
    back.m_nShort = back.m_nLong = 0;
    EXPECT_TRUE(stream.Deserialize(back) && back.m_nShort == 0x0102 && back.m_nLong == 0x03040506u);

    // A bit-order switch inside a byte fails and leaves the stream as it was.
    CBinaryMemoryStream odd(1, 1);
    ASSERT_TRUE(odd.GetSerializer().WriteUInt8(1, 3));
    CTestRecord msbFirst(true, 1, 0);
    EXPECT_TRUE(!odd.Serialize(msbFirst) && Has(msbFirst, "serialise:bit number must divde by 8"));
    EXPECT_TRUE(odd.GetWriteBitCount() == 3 && odd.GetSerializer().GetBitOrder() == 1);

    unsigned char bytes[4] = {1, 2, 3, 4};
    CBinaryMemoryStream shortInput(1, 1);
    shortInput.Attach(bytes, 4);
    shortInput.Attach(nullptr, 5);  // ignored: nothing to attach
    CTestRecord r(false, 0, 1);
    r.m_nLong = 0;
    EXPECT_TRUE(!shortInput.Deserialize(r) && Has(r, "CTestRecord deserialize:varible m_nLong serialize failed."));
    EXPECT_TRUE(r.m_nShort == 0x0201 && r.m_nLong == 0u);  // fields before the failure were read
    CBinaryMemoryStream tiny(1, 1);
    tiny.Attach(bytes, 1);
    tiny.Reset();
    EXPECT_TRUE(!tiny.Serialize(r) && Has(r, "CTestRecord serialise:varible m_nShort serialize failed."));
    EXPECT_FALSE(tiny.WriteBytes(nullptr, 1) || tiny.ReadBytes(bytes, -1));
}

}  // namespace
