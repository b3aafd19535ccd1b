#include "storage/BinarySerializer.h"
#include "storage/BitStream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace {

std::vector<unsigned char> Written(const CBitStream& s) {
    return std::vector<unsigned char>(s.GetBuffer(), s.GetBuffer() + s.GetWriteByteCount());
}

// The bytes that each byte order and bit order must produce; reading back is the round trip's job.
TEST(BitStream, LayoutFollowsByteAndBitOrder) {
    using Bytes = std::vector<unsigned char>;
    auto aligned = [](CBitStream& s) { return s.WriteUInt32(19811025); };
    auto threeAndFive = [](CBitStream& s) { return s.WriteUInt8(5, 3) && s.WriteUInt8(1, 5); };
    auto spanning = [](CBitStream& s) { return s.WriteUInt8(0x5, 4) && s.WriteUInt16(0xABC, 12); };
    // An unaligned raw byte enters bit by bit from its most significant bit.
    auto rawAfterFour = [](CBitStream& s) {
        const unsigned char b = 0xC1;
        return s.WriteUInt8(0x5, 4) && s.WriteBytes(&b, 1);
    };
    const struct {
        int byteOrder, bitOrder;
        std::function<bool(CBitStream&)> write;
        Bytes expected;
    } rows[] = {
        {1, 1, aligned, {0xD1, 0x4A, 0x2E, 0x01}},
        {0, 1, aligned, {0x01, 0x2E, 0x4A, 0xD1}},
        {1, 1, threeAndFive, {0x0D}},
        {1, 0, threeAndFive, {0xA1}},
        {1, 1, spanning, {0xC5, 0xAB}},  // 12 bits of 0xABC after 4 bits of 0x5
        {1, 0, spanning, {0x5A, 0xBC}},
        {1, 1, rawAfterFour, {0x35, 0x08}},
        {1, 0, rawAfterFour, {0x5C, 0x10}},
    };
    for (const auto& r : rows) {
        CBitStream s(r.byteOrder, r.bitOrder);
        ASSERT_TRUE(r.write(s));
        EXPECT_EQ(Written(s), r.expected) << "orders " << r.byteOrder << r.bitOrder << ", " << r.expected.size();
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
    EXPECT_FALSE(w.WriteUInt8(1, 1) || w.WriteBytes(buf, 1));
    EXPECT_EQ(w.GetWriteBitCount(), 32);
    EXPECT_EQ(buf[0], 0xD4);

    unsigned char three[3] = {1, 2, 3};
    CBitStream s(1, 1);
    s.Attach(three, 3);
    uint32_t v = 0;
    EXPECT_FALSE(s.ReadUInt32(v));
    uint16_t h = 0;
    ASSERT_TRUE(s.ReadUInt16(h));
    EXPECT_EQ(h, 0x0201);
    unsigned char two[2];
    EXPECT_FALSE(s.ReadBytes(two, 2));
    EXPECT_EQ(s.GetReadBitCount(), 16);
    EXPECT_TRUE(s.ReadBytes(two, 0));
    EXPECT_FALSE(s.ReadBytes(nullptr, 1) || s.ReadBytes(two, -1));
    s.SetReadPos(23);
    uint8_t bit = 0;
    EXPECT_TRUE(s.ReadUInt8(bit, 1));
    EXPECT_FALSE(s.ReadUInt8(bit, 1));

    CBitStream none(1, 1);
    none.Attach(nullptr, 10);
    EXPECT_FALSE(none.WriteUInt8(1) || none.ReadUInt8(bit) || none.EnsureCapacity(1));
    // Widths above the type fail and leave the counters alone.
    CBitStream wide(1, 1);
    EXPECT_FALSE(wide.WriteUInt8(1, 9) || wide.WriteUInt16(1, 17) || wide.WriteUInt32(1, 33) ||
                 wide.WriteUInt64(1, 65) || wide.WriteBool(true, 9) || wide.ReadUInt8(bit, 9));
    EXPECT_EQ(wide.GetWriteBitCount() + wide.GetReadBitCount(), 0);
    EXPECT_FALSE(wide.WriteBytes(nullptr, 1) || wide.WriteBytes(buf, -1));
}

// Mixed fields at arbitrary bit positions read back exactly, in all four order combinations.
TEST(BitStream, RandomFieldSequencesRoundTripInEveryOrder) {
    for (int byteOrder = 0; byteOrder < 2; ++byteOrder) {
        for (int bitOrder = 0; bitOrder < 2; ++bitOrder) {
            std::mt19937_64 rng(1000 + byteOrder * 2 + bitOrder);
            struct Field {
                int kind;
                int bits;
                uint64_t value;
                std::vector<unsigned char> bytes;
                double d;
            };
            std::vector<Field> fields;
            CBinarySerializer w(byteOrder, bitOrder);
            for (int i = 0; i < 600; ++i) {  // well past the inline 1500 bytes
                Field f{static_cast<int>(rng() % 7), 0, rng(), {}, 0};
                switch (f.kind) {
                case 0: f.bits = 1 + rng() % 8; ASSERT_TRUE(w.WriteUInt8(uint8_t(f.value), f.bits)); break;
                case 1: f.bits = 1 + rng() % 16; ASSERT_TRUE(w.WriteUInt16(uint16_t(f.value), f.bits)); break;
                case 2: f.bits = 1 + rng() % 32; ASSERT_TRUE(w.WriteUInt32(uint32_t(f.value), f.bits)); break;
                case 3: f.bits = 1 + rng() % 64; ASSERT_TRUE(w.WriteUInt64(f.value, f.bits)); break;
                case 4: f.bytes.resize(rng() % 9); for (auto& b : f.bytes) b = uint8_t(rng());
                    ASSERT_TRUE(w.WriteBytes(f.bytes.data(), int(f.bytes.size()))); break;
                case 5: std::memcpy(&f.d, &f.value, 8); ASSERT_TRUE(w.WriteDouble(f.d)); break;
                default: f.bits = 1 + rng() % 8; ASSERT_TRUE(w.WriteBool(f.value & 1, f.bits)); break;
                }
                fields.push_back(f);
            }
            std::vector<unsigned char> copy = Written(w);
            CBinarySerializer r(byteOrder, bitOrder);
            r.Attach(copy.data(), static_cast<int>(copy.size()));
            for (size_t i = 0; i < fields.size(); ++i) {
                const Field& f = fields[i];
                const uint64_t mask = f.bits >= 64 ? ~0ull : ((1ull << f.bits) - 1);
                SCOPED_TRACE(testing::Message() << "order " << byteOrder << bitOrder << " field " << i);
                switch (f.kind) {
                case 0: { uint8_t v; ASSERT_TRUE(r.ReadUInt8(v, f.bits)); EXPECT_EQ(v, f.value & mask); break; }
                case 1: { uint16_t v; ASSERT_TRUE(r.ReadUInt16(v, f.bits)); EXPECT_EQ(v, f.value & mask); break; }
                case 2: { uint32_t v; ASSERT_TRUE(r.ReadUInt32(v, f.bits)); EXPECT_EQ(v, f.value & mask); break; }
                case 3: { uint64_t v; ASSERT_TRUE(r.ReadUInt64(v, f.bits)); EXPECT_EQ(v, f.value & mask); break; }
                case 4: { std::vector<unsigned char> v(f.bytes.size());
                    ASSERT_TRUE(r.ReadBytes(v.data(), int(v.size()))); EXPECT_EQ(v, f.bytes); break; }
                case 5: { double v; ASSERT_TRUE(r.ReadDouble(v)); EXPECT_EQ(std::memcmp(&v, &f.d, 8), 0); break; }
                default: { bool v; ASSERT_TRUE(r.ReadBool(v, f.bits)); EXPECT_EQ(v, (f.value & 1) != 0); break; }
                }
            }
            EXPECT_EQ(r.GetReadBitCount(), w.GetWriteBitCount());
        }
    }
}

TEST(BinarySerializer, SerializeBytesArguments) {
    CBinarySerializer s(1, 1);
    unsigned char b[2] = {1, 2}, c[2] = {};
    EXPECT_FALSE(s.SerializeBytes(nullptr, 1) || s.SerializeBytes(b, -1));
    EXPECT_TRUE(s.SerializeBytes(b, 0) && s.SerializeBytes(b, 2));
    s.SetMode(CBinarySerializer::MODE_DESERIALIZE);
    ASSERT_TRUE(s.SerializeBytes(c, 2));
    EXPECT_EQ(c[1], 2);
}

}  // namespace
