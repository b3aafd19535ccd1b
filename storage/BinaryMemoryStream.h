#pragma once

#include "core/VtCoreExport.h"
#include "storage/BinaryMessageObject.h"
#include "storage/BinarySerializer.h"

// A serializer over memory: records are written into its buffer (inline up to 1500 bytes, then
// heap) or read from an attached outside buffer.
class VTCORE_EXPORT CBinaryMemoryStream {
public:
    CBinaryMemoryStream(int byteOrder, int bitOrder);
    CBinaryMemoryStream(const CBinaryMemoryStream&) = delete;
    CBinaryMemoryStream& operator=(const CBinaryMemoryStream&) = delete;
    virtual ~CBinaryMemoryStream();

    // Borrows n bytes of p (all counted as written, reading from 0); ignored for null p or n < 1.
    void Attach(unsigned char* p, int n);
    unsigned char* GetBuffer() const { return m_serializer.GetBuffer(); }
    int GetLength() const { return m_serializer.GetWriteByteCount(); }  // bytes written
    void Reset() { m_serializer.Reset(); }
    void SetReadPos(int bit) { m_serializer.SetReadPos(bit); }
    // False for null p or negative n.
    bool ReadBytes(void* p, int n);
    bool WriteBytes(const void* p, int n);

    bool Serialize(CBinaryMessageObject& record);    // mode 1, then record.Serialize
    bool Deserialize(CBinaryMessageObject& record);  // mode 0, then record.Serialize

    // The stream's counters and the serializer itself, for callers that write fields directly.
    int GetWriteBitCount() const { return m_serializer.GetWriteBitCount(); }
    int GetWriteByteCount() const { return m_serializer.GetWriteByteCount(); }
    int GetReadBitCount() const { return m_serializer.GetReadBitCount(); }
    int GetReadByteCount() const { return m_serializer.GetReadByteCount(); }
    CBinarySerializer& GetSerializer() { return m_serializer; }
    const CBinarySerializer& GetSerializer() const { return m_serializer; }

private:
    CBinarySerializer m_serializer;
};
