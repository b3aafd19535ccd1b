#include "storage/LegacyIdxFileHeader.h"

#include "storage/IdxRecordFields_p.h"

#include <cstring>

CICD_IDXFILE_HEADER::CICD_IDXFILE_HEADER() : CBinaryMessageObject(false, 0, 1) { Reset(); }

void CICD_IDXFILE_HEADER::Reset() {
    m_nFileCode = 0;
    m_nVersion = 0;
    m_nMapType = 0;
    m_vecLevels.clear();
    m_bIsGoogleOffset = false;
    m_nSpareLength = 0;
    std::memset(m_ucSpare, 0, sizeof m_ucSpare);
    m_dMinX = m_dMinY = m_dMaxX = m_dMaxY = 0.0;
}

int CICD_IDXFILE_HEADER::GetSize() const { return static_cast<int>(m_vecLevels.size()) + m_nSpareLength + 47; }

bool CICD_IDXFILE_HEADER::OnPreSerialize(CBinarySerializer* s) {
    if (s->IsSerializing()) m_nSpareLength = kLevelArea - static_cast<int>(m_vecLevels.size());
    return true;
}

bool CICD_IDXFILE_HEADER::DoSerialize(CBinarySerializer* s) {
    if (!s->SerializeInt32(m_nFileCode, 32)) return FieldFailed(s, "m_nFileCode");
    if (!s->SerializeInt32(m_nVersion, 32)) return FieldFailed(s, "m_nVersion");
    if (!s->SerializeInt32(m_nMapType, 32)) return FieldFailed(s, "m_nMapType");
    if (!VtSerializeLevels(s, m_vecLevels)) return FieldFailed(s, "m_vecLevels");
    if (!s->SerializeBool(m_bIsGoogleOffset, 8)) return FieldFailed(s, "m_bIsGoogleOffset");
    if (!VtSerializeSpareLength(s, m_nSpareLength, kLevelArea, m_vecLevels.size()))
        return FieldFailed(s, "m_nSpareLength");
    if (m_nSpareLength > kSpareCapacity || !s->SerializeBytes(m_ucSpare, m_nSpareLength))
        return FieldFailed(s, "m_ucSpare");
    if (!s->SerializeDouble(m_dMinX)) return FieldFailed(s, "m_dMinX");
    if (!s->SerializeDouble(m_dMinY)) return FieldFailed(s, "m_dMinY");
    if (!s->SerializeDouble(m_dMaxX)) return FieldFailed(s, "m_dMaxX");
    if (!s->SerializeDouble(m_dMaxY)) return FieldFailed(s, "m_dMaxY");
    return true;
}
