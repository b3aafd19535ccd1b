#include "storage/BitStream.h"

#include <climits>
#include <cstring>
#include <new>

namespace {

inline uint64_t LowBits(uint64_t v, int bits) {
    return bits >= 64 ? v : (v & ((uint64_t(1) << bits) - 1));
}

inline unsigned char ReverseBits(unsigned char b) {
    b = static_cast<unsigned char>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = static_cast<unsigned char>((b & 0xCC) >> 2 | (b & 0x33) << 2);
    return static_cast<unsigned char>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

}  // namespace

CBitStream::CBitStream(int byteOrder, int bitOrder)
    : m_nWriteBitCount(0),
      m_nWriteByteCount(0),
      m_nReadBitCount(0),
      m_nReadByteCount(0),
      m_nCapacityBits(kInlineBytes * 8),
      m_nCapacityBytes(kInlineBytes),
      m_aInline{},
      m_pBuffer(m_aInline),
      m_bOwner(true),
      m_nByteOrder(byteOrder),
      m_nBitOrder(bitOrder) {}

CBitStream::~CBitStream() { FreeHeap(); }

void CBitStream::FreeHeap() {
    if (m_bOwner && m_pBuffer != nullptr && m_pBuffer != m_aInline) delete[] m_pBuffer;
    m_pBuffer = nullptr;
}

bool CBitStream::EnsureCapacity(int bits) {
    if (bits < 1 || m_pBuffer == nullptr) return false;
    const long long needed = static_cast<long long>(m_nWriteBitCount) + bits;
    if (needed < 1 || needed > INT_MAX) return false;
    if ((needed + 7) / 8 <= m_nCapacityBytes) return true;
    if (!m_bOwner) return false;

    // Doubling keeps a run of small writes amortised; near the int limit take exactly what is needed.
    long long newBits = needed * 2;
    if (newBits > INT_MAX) newBits = needed;
    const long long newBytes = (newBits + 7) / 8;
    if (m_pBuffer == m_aInline && newBytes <= kInlineBytes) {
        m_nCapacityBits = static_cast<int>(newBits);
        m_nCapacityBytes = static_cast<int>(newBytes);
        return true;
    }
    unsigned char* grown = new (std::nothrow) unsigned char[static_cast<size_t>(newBytes)]();
    if (grown == nullptr) return false;
    const int keep = m_nWriteByteCount < m_nCapacityBytes ? m_nWriteByteCount : m_nCapacityBytes;
    if (keep > 0) std::memcpy(grown, m_pBuffer, static_cast<size_t>(keep));
    FreeHeap();
    m_pBuffer = grown;
    m_nCapacityBits = static_cast<int>(newBits);
    m_nCapacityBytes = static_cast<int>(newBytes);
    return true;
}

void CBitStream::Attach(unsigned char* p, int n) {
    FreeHeap();
    if (p == nullptr || n < 0) n = 0;
    if (n > INT_MAX / 8) n = INT_MAX / 8;  // the bit counters are ints
    m_pBuffer = p;
    m_bOwner = false;
    m_nCapacityBytes = n;
    m_nCapacityBits = n * 8;
    m_nWriteBitCount = n * 8;
    m_nWriteByteCount = n;
    m_nReadBitCount = 0;
    m_nReadByteCount = 0;
}

void CBitStream::Reset() {
    m_nWriteBitCount = 0;
    m_nWriteByteCount = 0;
    m_nReadBitCount = 0;
    m_nReadByteCount = 0;
}

void CBitStream::SetReadPos(int bit) {
    m_nReadBitCount = bit;
    m_nReadByteCount = static_cast<int>((static_cast<long long>(bit) + 7) / 8);
}

void CBitStream::AdvanceWrite(int bits) {
    m_nWriteBitCount += bits;
    m_nWriteByteCount = static_cast<int>((static_cast<long long>(m_nWriteBitCount) + 7) / 8);
}

void CBitStream::AdvanceRead(int bits) {
    m_nReadBitCount += bits;
    m_nReadByteCount = static_cast<int>((static_cast<long long>(m_nReadBitCount) + 7) / 8);
}

int CBitStream::EncodeBits(uint64_t value, int bits, int pos) {
    if (m_pBuffer == nullptr || bits < 1 || bits > 64 || pos < 0) return -1;
    if (static_cast<long long>(pos) + bits > static_cast<long long>(m_nCapacityBytes) * 8) return -1;
    value = LowBits(value, bits);
    unsigned char* base = m_pBuffer;

    if ((pos & 7) == 0 && (bits & 7) == 0) {
        const int n = bits / 8;
        unsigned char* out = base + pos / 8;
        for (int i = 0; i < n; ++i) {
            const int shift = m_nByteOrder != 0 ? 8 * i : 8 * (n - 1 - i);
            out[i] = static_cast<unsigned char>(value >> shift);
        }
        return bits;
    }

    int p = pos;
    int remaining = bits;
    while (remaining > 0) {
        const int inByte = p & 7;
        const int len = (8 - inByte) < remaining ? (8 - inByte) : remaining;
        unsigned char& b = base[p >> 3];
        // A byte is cleared when the stream first enters it, so stale bytes never leak into fields.
        if (inByte == 0) b = 0;
        unsigned chunk;
        int place;
        if (m_nBitOrder != 0) {
            chunk = static_cast<unsigned>(value & ((1u << len) - 1));
            value = len >= 64 ? 0 : (value >> len);
            place = inByte;
        } else {
            chunk = static_cast<unsigned>((value >> (remaining - len)) & ((1u << len) - 1));
            place = (8 - ((p + len) & 7)) & 7;
        }
        b = static_cast<unsigned char>(b | (chunk << place));
        p += len;
        remaining -= len;
    }
    return bits;
}

int CBitStream::DecodeBits(uint64_t& value, int bits, int pos) const {
    if (m_pBuffer == nullptr || bits < 1 || bits > 64 || pos < 0) return -1;
    if (static_cast<long long>(pos) + bits > static_cast<long long>(m_nCapacityBytes) * 8) return -1;
    const unsigned char* base = m_pBuffer;

    if ((pos & 7) == 0 && (bits & 7) == 0) {
        const int n = bits / 8;
        const unsigned char* in = base + pos / 8;
        uint64_t v = 0;
        for (int i = 0; i < n; ++i) {
            const int shift = m_nByteOrder != 0 ? 8 * i : 8 * (n - 1 - i);
            v |= static_cast<uint64_t>(in[i]) << shift;
        }
        value = v;
        return bits;
    }

    uint64_t v = 0;
    int got = 0;
    int p = pos;
    int remaining = bits;
    while (remaining > 0) {
        const int inByte = p & 7;
        const int len = (8 - inByte) < remaining ? (8 - inByte) : remaining;
        const unsigned b = base[p >> 3];
        if (m_nBitOrder != 0) {
            const uint64_t chunk = (b >> inByte) & ((1u << len) - 1);
            v |= chunk << got;
        } else {
            const int place = (8 - ((p + len) & 7)) & 7;
            const uint64_t chunk = (b >> place) & ((1u << len) - 1);
            v = (v << len) | chunk;
        }
        got += len;
        p += len;
        remaining -= len;
    }
    value = v;
    return bits;
}

bool CBitStream::WriteField(uint64_t value, int bits, int width) {
    if (bits < 1) bits = width;
    if (bits > width) return false;
    if (!EnsureCapacity(bits)) return false;
    if (EncodeBits(value, bits, m_nWriteBitCount) < 0) return false;
    AdvanceWrite(bits);
    return true;
}

bool CBitStream::ReadField(uint64_t& value, int bits, int width) {
    if (bits < 1) bits = width;
    if (bits > width) return false;
    uint64_t v = 0;
    if (DecodeBits(v, bits, m_nReadBitCount) < 0) return false;
    AdvanceRead(bits);
    value = v;
    return true;
}

bool CBitStream::WriteUInt8(uint8_t v, int bits) { return WriteField(v, bits, 8); }
bool CBitStream::WriteUInt16(uint16_t v, int bits) { return WriteField(v, bits, 16); }
bool CBitStream::WriteUInt32(uint32_t v, int bits) { return WriteField(v, bits, 32); }
bool CBitStream::WriteUInt64(uint64_t v, int bits) { return WriteField(v, bits, 64); }
bool CBitStream::WriteBool(bool v, int bits) { return WriteField(v ? 1u : 0u, bits, 8); }

bool CBitStream::WriteDouble(double v) {
    unsigned char raw[sizeof(double)];
    std::memcpy(raw, &v, sizeof raw);
    return WriteBytes(raw, static_cast<int>(sizeof raw));
}

bool CBitStream::WriteBytes(const void* p, int n) {
    if (n == 0) return true;
    if (p == nullptr || n < 0) return false;
    const long long bits = static_cast<long long>(n) * 8;
    if (bits > INT_MAX) return false;
    if (!EnsureCapacity(static_cast<int>(bits))) return false;
    const unsigned char* src = static_cast<const unsigned char*>(p);
    const int pos = m_nWriteBitCount;
    if ((pos & 7) == 0) {
        std::memcpy(m_pBuffer + pos / 8, src, static_cast<size_t>(n));
    } else {
        // Unaligned bytes enter the stream bit by bit from their most significant bit down; with
        // bit order 1 the stream takes a field's lowest bit first, so the byte goes in reversed.
        for (int i = 0; i < n; ++i) {
            const unsigned char b = m_nBitOrder != 0 ? ReverseBits(src[i]) : src[i];
            if (EncodeBits(b, 8, pos + 8 * i) < 0) return false;
        }
    }
    AdvanceWrite(static_cast<int>(bits));
    return true;
}

bool CBitStream::ReadUInt8(uint8_t& v, int bits) {
    uint64_t x = 0;
    if (!ReadField(x, bits, 8)) return false;
    v = static_cast<uint8_t>(x);
    return true;
}

bool CBitStream::ReadUInt16(uint16_t& v, int bits) {
    uint64_t x = 0;
    if (!ReadField(x, bits, 16)) return false;
    v = static_cast<uint16_t>(x);
    return true;
}

bool CBitStream::ReadUInt32(uint32_t& v, int bits) {
    uint64_t x = 0;
    if (!ReadField(x, bits, 32)) return false;
    v = static_cast<uint32_t>(x);
    return true;
}

bool CBitStream::ReadUInt64(uint64_t& v, int bits) { return ReadField(v, bits, 64); }

bool CBitStream::ReadBool(bool& v, int bits) {
    uint64_t x = 0;
    if (!ReadField(x, bits, 8)) return false;
    v = x != 0;
    return true;
}

bool CBitStream::ReadDouble(double& v) {
    unsigned char raw[sizeof(double)];
    if (!ReadBytes(raw, static_cast<int>(sizeof raw))) return false;
    std::memcpy(&v, raw, sizeof raw);
    return true;
}

bool CBitStream::ReadBytes(void* p, int n) {
    if (n == 0) return true;
    if (p == nullptr || n < 0 || m_pBuffer == nullptr) return false;
    const long long pos = m_nReadBitCount;
    const long long bits = static_cast<long long>(n) * 8;
    if (pos < 0 || pos + bits > static_cast<long long>(m_nCapacityBytes) * 8) return false;
    unsigned char* dst = static_cast<unsigned char*>(p);
    if ((pos & 7) == 0) {
        std::memcpy(dst, m_pBuffer + pos / 8, static_cast<size_t>(n));
    } else {
        for (int i = 0; i < n; ++i) {
            uint64_t x = 0;
            if (DecodeBits(x, 8, static_cast<int>(pos + 8 * i)) < 0) return false;
            dst[i] = m_nBitOrder != 0 ? ReverseBits(static_cast<unsigned char>(x)) : static_cast<unsigned char>(x);
        }
    }
    AdvanceRead(static_cast<int>(bits));
    return true;
}
