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
        // Reading starts over on a new attach, goes on from any bit SetReadPos names, never past the end.
        uint8_t byte = 0;
        r.Attach(copy.data(), static_cast<int>(copy.size()));
        EXPECT_TRUE(r.ReadUInt8(byte) && byte == copy[0] && !w.WriteBytes(nullptr, 1) && !r.ReadBytes(nullptr, 1));
        r.SetReadPos(static_cast<int>(copy.size()) * 8 - 1);
        EXPECT_TRUE(r.ReadUInt8(byte, 1) && !r.ReadUInt8(byte, 1) && r.GetReadBitCount() == w.GetWriteBitCount());
    }
}

}  // namespace
