#include "storage/BinaryMemoryStream.h"

CBinaryMemoryStream::CBinaryMemoryStream(int byteOrder, int bitOrder) : m_serializer(byteOrder, bitOrder) {}

CBinaryMemoryStream::~CBinaryMemoryStream() = default;

void CBinaryMemoryStream::Attach(unsigned char* p, int n) {
    if (p == nullptr || n < 1) return;
    m_serializer.Attach(p, n);
}

bool CBinaryMemoryStream::ReadBytes(void* p, int n) {
    if (p == nullptr || n < 0) return false;
    return m_serializer.ReadBytes(p, n);
}

bool CBinaryMemoryStream::WriteBytes(const void* p, int n) {
    if (p == nullptr || n < 0) return false;
    return m_serializer.WriteBytes(p, n);
}

bool CBinaryMemoryStream::Serialize(CBinaryMessageObject& record) {
    m_serializer.SetMode(CBinarySerializer::MODE_SERIALIZE);
    return record.Serialize(&m_serializer);
}

bool CBinaryMemoryStream::Deserialize(CBinaryMessageObject& record) {
    m_serializer.SetMode(CBinarySerializer::MODE_DESERIALIZE);
    return record.Serialize(&m_serializer);
}
