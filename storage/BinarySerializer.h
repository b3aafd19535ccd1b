#pragma once

#include "core/VtCoreExport.h"
#include "storage/BitStream.h"

#include <cstdint>

// A bit stream with a direction: mode 1 writes (serialise), mode 0 reads (deserialise).
// The Serialize* helpers let a record list its fields once for both directions: in mode 1 they
// write the referenced value, in mode 0 they read into it (left unchanged on failure).
class VTCORE_EXPORT CBinarySerializer : public CBitStream {
public:
    enum { MODE_DESERIALIZE = 0, MODE_SERIALIZE = 1 };

    CBinarySerializer(int byteOrder, int bitOrder);

    void SetMode(int mode) { m_nMode = mode; }
    int GetMode() const { return m_nMode; }
    bool IsSerializing() const { return m_nMode == MODE_SERIALIZE; }

    // False for a null p or a negative n; true for n == 0.
    bool SerializeBytes(void* p, int n);

    // Fields narrower than the type are stored in their low bits; reading zero-extends.
    bool SerializeUInt8(uint8_t& v, int bits = 0);
    bool SerializeUInt16(uint16_t& v, int bits = 0);
    bool SerializeUInt32(uint32_t& v, int bits = 0);
    bool SerializeUInt64(uint64_t& v, int bits = 0);
    bool SerializeInt32(int& v, int bits = 0);
    bool SerializeInt64(long long& v, int bits = 0);
    bool SerializeBool(bool& v, int bits = 8);
    bool SerializeDouble(double& v);

private:
    int m_nMode;
};
