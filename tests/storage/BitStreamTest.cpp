#include "storage/BitStream.h"
#include "storage/BinarySerializer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Written(const CBitStream& s) { return Bytes(s.GetBuffer(), s.GetBuffer() + s.GetWriteByteCount()); }

// The bytes each byte order and bit order must produce; reading back is the round trip's job.
TEST(BitStream, LayoutFollowsByteAndBitOrder) {
    auto aligned = [](CBitStream& s) { return s.WriteUInt32(19811025); };
    auto threeAndFive = [](CBitStream& s) { return s.WriteUInt8(5, 3) && s.WriteUInt8(1, 5); };
    auto spanning = [](CBitStream& s) { return s.WriteUInt8(0x5, 4) && s.WriteUInt16(0xABC, 12); };
    // An unaligned raw byte enters bit by bit from its most significant bit.
    auto rawAfterFour = [](CBitStream& s) {
        const unsigned char b = 0xC1;
        return s.WriteUInt8(0x5, 4) && s.WriteBytes(&b, 1);
    };
    const struct { int byteOrder, bitOrder; std::function<bool(CBitStream&)> write; Bytes expected; } rows[] = {
        {1, 1, aligned, {0xD1, 0x4A, 0x2E, 0x01}}, {0, 1, aligned, {0x01, 0x2E, 0x4A, 0xD1}},
        {1, 1, threeAndFive, {0x0D}},              {1, 0, threeAndFive, {0xA1}},
        {1, 1, spanning, {0xC5, 0xAB}},            {1, 0, spanning, {0x5A, 0xBC}},
        {1, 1, rawAfterFour, {0x35, 0x08}},        {1, 0, rawAfterFour, {0x5C, 0x10}},
    };
    for (const auto& r : rows) {
        CBitStream s(r.byteOrder, r.bitOrder);
        EXPECT_TRUE(r.write(s) && Written(s) == r.expected) << "orders " << r.byteOrder << r.bitOrder << ", " << r.expected.size();
    }
}

// An attached buffer bounds reads and writes and never grows; with nothing attached every operation fails.
TEST(BitStream, AttachedBufferBoundsReadsAndWrites) {
    unsigned char buf[4] = {};
    CBitStream w(1, 1);
    w.Attach(buf, 4);
    EXPECT_FALSE(w.WriteUInt8(1));  // the whole buffer already counts as written
    w.Reset();
    ASSERT_TRUE(w.WriteUInt32(0xA1B2C3D4));
    EXPECT_TRUE(!w.WriteUInt8(1, 1) && !w.WriteBytes(buf, 1) && w.GetWriteBitCount() == 32 && buf[0] == 0xD4);

    unsigned char three[3] = {1, 2, 3}, two[2];
    CBitStream s(1, 1);
    s.Attach(three, 3);
    uint32_t v = 0;
    uint16_t h = 0;
    uint8_t bit = 0;
    EXPECT_FALSE(s.ReadUInt32(v));
    ASSERT_TRUE(s.ReadUInt16(h) && h == 0x0201);
    EXPECT_FALSE(s.ReadBytes(two, 2) || s.ReadBytes(nullptr, 1) || s.ReadBytes(two, -1));
    EXPECT_TRUE(s.GetReadBitCount() == 16 && s.ReadBytes(two, 0));
    s.SetReadPos(23);
    EXPECT_TRUE(s.ReadUInt8(bit, 1) && !s.ReadUInt8(bit, 1));
    s.Attach(three, 3);  // reading starts over
    EXPECT_TRUE(s.ReadUInt8(bit) && bit == 1);

    CBitStream none(1, 1);
    none.Attach(nullptr, 10);
    EXPECT_FALSE(none.WriteUInt8(1) || none.ReadUInt8(bit) || none.EnsureCapacity(1));
    // Widths above the type fail and leave the counters alone.
    CBitStream wide(1, 1);
    EXPECT_FALSE(wide.WriteUInt8(1, 9) || wide.WriteUInt16(1, 17) || wide.WriteUInt32(1, 33) ||
                 wide.WriteUInt64(1, 65) || wide.WriteBool(true, 9) || wide.ReadUInt8(bit, 9));
    EXPECT_TRUE(wide.GetWriteBitCount() + wide.GetReadBitCount() == 0 && !wide.WriteBytes(nullptr, 1) && !wide.WriteBytes(buf, -1));
    CBinarySerializer ser(1, 1);
    EXPECT_FALSE(ser.SerializeBytes(nullptr, 1) || ser.SerializeBytes(buf, -1));
}

// Fields of every width at every bit position, raw bytes and doubles between them, read back exactly
// in all four order combinations, well past the inline buffer.
TEST(BitStream, FieldSequencesRoundTripInEveryOrder) {
    for (int orders = 0; orders < 4; ++orders) {
        std::mt19937_64 rng(1000 + orders);
        std::vector<uint64_t> values;
        CBinarySerializer w(orders / 2, orders % 2), r(orders / 2, orders % 2);
        const unsigned char raw[3] = {0xA5, 0x3C, 0x81};
        for (int i = 0; i < 640; ++i) {
            values.push_back(rng());
            const int bits = 1 + i % 64;
            ASSERT_TRUE(w.WriteUInt64(values.back(), bits) && w.WriteUInt16(uint16_t(values.back()), 1 + i % 16));
            ASSERT_TRUE(w.WriteUInt32(uint32_t(values.back()), 1 + i % 32) && w.WriteBool(i % 3 == 0, 1 + i % 8));
            if (i % 5 == 0) {
                ASSERT_TRUE(w.SerializeBytes(const_cast<unsigned char*>(raw), 3) && w.WriteDouble(i + 0.25));
            }
        }
        Bytes copy = Written(w);
        r.Attach(copy.data(), static_cast<int>(copy.size()));
        r.SetMode(CBinarySerializer::MODE_DESERIALIZE);
        for (int i = 0; i < 640; ++i) {
            SCOPED_TRACE(testing::Message() << "orders " << orders << " field " << i);
            const uint64_t v = values[static_cast<size_t>(i)];
            const int bits = 1 + i % 64;
            uint64_t u64 = 0;
            uint16_t u16 = 0;
            uint32_t u32 = 0;
            bool flag = false;
            ASSERT_TRUE(r.ReadUInt64(u64, bits) && r.ReadUInt16(u16, 1 + i % 16) && r.ReadUInt32(u32, 1 + i % 32));
            EXPECT_EQ(u64, bits == 64 ? v : v & ((1ull << bits) - 1));
            EXPECT_TRUE(u16 == (v & ((1u << (1 + i % 16)) - 1)) && u32 == (v & ((1ull << (1 + i % 32)) - 1)));
            ASSERT_TRUE(r.ReadBool(flag, 1 + i % 8) && flag == (i % 3 == 0));
            if (i % 5 != 0) continue;
            unsigned char back[3];
            double d = 0;
            ASSERT_TRUE(r.SerializeBytes(back, 3) && r.ReadDouble(d) && std::memcmp(back, raw, 3) == 0 && d == i + 0.25);
        }
        EXPECT_TRUE(r.GetReadBitCount() == w.GetWriteBitCount() && r.GetReadByteCount() == w.GetWriteByteCount());
    }
}

}  // namespace
