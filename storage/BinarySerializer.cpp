#include "storage/BinarySerializer.h"

CBinarySerializer::CBinarySerializer(int byteOrder, int bitOrder)
    : CBitStream(byteOrder, bitOrder), m_nMode(MODE_SERIALIZE) {}

bool CBinarySerializer::SerializeBytes(void* p, int n) {
    if (p == nullptr || n < 0) return false;
    if (n == 0) return true;
    return m_nMode == MODE_SERIALIZE ? WriteBytes(p, n) : ReadBytes(p, n);
}

bool CBinarySerializer::SerializeUInt8(uint8_t& v, int bits) {
    return m_nMode == MODE_SERIALIZE ? WriteUInt8(v, bits) : ReadUInt8(v, bits);
}

bool CBinarySerializer::SerializeUInt16(uint16_t& v, int bits) {
    return m_nMode == MODE_SERIALIZE ? WriteUInt16(v, bits) : ReadUInt16(v, bits);
}

bool CBinarySerializer::SerializeUInt32(uint32_t& v, int bits) {
    return m_nMode == MODE_SERIALIZE ? WriteUInt32(v, bits) : ReadUInt32(v, bits);
}

bool CBinarySerializer::SerializeUInt64(uint64_t& v, int bits) {
    return m_nMode == MODE_SERIALIZE ? WriteUInt64(v, bits) : ReadUInt64(v, bits);
}

bool CBinarySerializer::SerializeInt32(int& v, int bits) {
    uint32_t u = static_cast<uint32_t>(v);
    if (!SerializeUInt32(u, bits)) return false;
    v = static_cast<int>(u);
    return true;
}

bool CBinarySerializer::SerializeInt64(long long& v, int bits) {
    uint64_t u = static_cast<uint64_t>(v);
    if (!SerializeUInt64(u, bits)) return false;
    v = static_cast<long long>(u);
    return true;
}

bool CBinarySerializer::SerializeBool(bool& v, int bits) {
    return m_nMode == MODE_SERIALIZE ? WriteBool(v, bits) : ReadBool(v, bits);
}

bool CBinarySerializer::SerializeDouble(double& v) {
    return m_nMode == MODE_SERIALIZE ? WriteDouble(v) : ReadDouble(v);
}
