#pragma once

#include "core/VtCoreExport.h"

#include <cstdint>

// A stream of bits with separate write and read positions. Integers of 1 to 64 bits, doubles and
// raw bytes are placed at any bit position.
//   byte order: non-zero = least significant byte first, 0 = most significant byte first
//               (applies to whole-byte fields at byte-aligned positions);
//   bit order:  non-zero = bytes fill from their least significant bit, 0 = from the most.
// Streams up to 1500 bytes live in an inline buffer; an owning stream grows onto the heap,
// an attached (borrowed) buffer never grows. Every operation returns false on failure and then
// leaves the counters unchanged.
class VTCORE_EXPORT CBitStream {
public:
    static constexpr int kInlineBytes = 1500;

    CBitStream(int byteOrder, int bitOrder);
    CBitStream(const CBitStream&) = delete;
    CBitStream& operator=(const CBitStream&) = delete;
    virtual ~CBitStream();

    // Makes room for `bits` more bits after the write position. False for bits < 1, without a
    // buffer, on overflow, or when a borrowed buffer is too small.
    bool EnsureCapacity(int bits);
    // Uses p (n bytes, borrowed) as the buffer; all n bytes count as written, reading starts at 0.
    void Attach(unsigned char* p, int n);
    // Write and read positions back to 0 (the bytes stay).
    void Reset();
    void SetReadPos(int bit);

    // Writers: a width below 1 means the type's full width; a wider width fails.
    bool WriteUInt8(uint8_t v, int bits = 0);
    bool WriteUInt16(uint16_t v, int bits = 0);
    bool WriteUInt32(uint32_t v, int bits = 0);
    bool WriteUInt64(uint64_t v, int bits = 0);
    bool WriteBool(bool v, int bits = 8);
    bool WriteDouble(double v);  // the 8 bytes in memory order
    bool WriteBytes(const void* p, int n);

    // Readers: fail when the field would end past the buffer's capacity.
    bool ReadUInt8(uint8_t& v, int bits = 0);
    bool ReadUInt16(uint16_t& v, int bits = 0);
    bool ReadUInt32(uint32_t& v, int bits = 0);
    bool ReadUInt64(uint64_t& v, int bits = 0);
    bool ReadBool(bool& v, int bits = 8);  // true for any non-zero field
    bool ReadDouble(double& v);
    bool ReadBytes(void* p, int n);

    unsigned char* GetBuffer() const { return m_pBuffer; }
    int GetWriteBitCount() const { return m_nWriteBitCount; }
    int GetWriteByteCount() const { return m_nWriteByteCount; }
    int GetReadBitCount() const { return m_nReadBitCount; }
    int GetReadByteCount() const { return m_nReadByteCount; }
    int GetCapacityBits() const { return m_nCapacityBits; }
    int GetCapacityBytes() const { return m_nCapacityBytes; }
    bool IsOwner() const { return m_bOwner; }
    int GetByteOrder() const { return m_nByteOrder; }
    int GetBitOrder() const { return m_nBitOrder; }
    void SetByteOrder(int order) { m_nByteOrder = order; }
    void SetBitOrder(int order) { m_nBitOrder = order; }

protected:
    // Low-level codec: bits of `value` at bit position `pos`; -1 on failure, else the bit count.
    int EncodeBits(uint64_t value, int bits, int pos);
    int DecodeBits(uint64_t& value, int bits, int pos) const;
    bool WriteField(uint64_t value, int bits, int width);
    bool ReadField(uint64_t& value, int bits, int width);
    void AdvanceWrite(int bits);
    void AdvanceRead(int bits);
    void FreeHeap();

    int m_nWriteBitCount;
    int m_nWriteByteCount;
    int m_nReadBitCount;
    int m_nReadByteCount;
    int m_nCapacityBits;
    int m_nCapacityBytes;
    unsigned char m_aInline[kInlineBytes];
    unsigned char* m_pBuffer;
    bool m_bOwner;
    int m_nByteOrder;
    int m_nBitOrder;
};
