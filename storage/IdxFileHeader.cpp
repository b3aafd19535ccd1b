#include "storage/IdxFileHeader.h"

#include "storage/IdxRecordFields_p.h"

#include <cmath>
#include <cstring>

CICD_IDX_FILE_HEADER::CICD_IDX_FILE_HEADER() : CBinaryMessageObject(false, 0, 1) { Reset(); }

void CICD_IDX_FILE_HEADER::Reset() {
    m_nFileCode = kFileCode;
    m_nVersion = kCurrentVersion;
    m_nMapType = 0;
    m_vecLevels.clear();
    m_bIsGoogleOffset = false;
    m_nSpareLength = 0;
    std::memset(m_ucSpare, 0, sizeof m_ucSpare);
    m_nBatchVersion = 0;
    m_nTileModel = 0;
    m_nShiftingType = 0;
    m_nContentType = 0;
    m_nFormatType = 0;
    m_nThemeType = 0;
    m_nEpsg = 0;
    m_nMixType = 0;
    m_dMinX = m_dMinY = m_dMaxX = m_dMaxY = 0.0;
}

bool CICD_IDX_FILE_HEADER::IsValid() const {
    return m_nFileCode == kFileCode && m_nVersion >= 201 && m_nVersion <= 204;
}

bool CICD_IDX_FILE_HEADER::operator==(const CICD_IDX_FILE_HEADER& o) const {
    auto near = [](double a, double b) { return std::fabs(a - b) <= 1e-10; };
    return m_nFileCode == o.m_nFileCode && m_nVersion == o.m_nVersion && m_nMapType == o.m_nMapType &&
           m_vecLevels == o.m_vecLevels && m_bIsGoogleOffset == o.m_bIsGoogleOffset &&
           m_nSpareLength == o.m_nSpareLength && std::memcmp(m_ucSpare, o.m_ucSpare, sizeof m_ucSpare) == 0 &&
           m_nBatchVersion == o.m_nBatchVersion && m_nTileModel == o.m_nTileModel &&
           m_nShiftingType == o.m_nShiftingType && m_nContentType == o.m_nContentType &&
           m_nFormatType == o.m_nFormatType && m_nThemeType == o.m_nThemeType && m_nEpsg == o.m_nEpsg &&
           m_nMixType == o.m_nMixType && near(m_dMinX, o.m_dMinX) && near(m_dMinY, o.m_dMinY) &&
           near(m_dMaxX, o.m_dMaxX) && near(m_dMaxY, o.m_dMaxY);
}

bool CICD_IDX_FILE_HEADER::OnPreSerialize(CBinarySerializer* s) {
    if (s->IsSerializing()) m_nSpareLength = kLevelArea - static_cast<int>(m_vecLevels.size());
    return true;
}

bool CICD_IDX_FILE_HEADER::DoSerialize(CBinarySerializer* s) {
    if (!s->SerializeInt32(m_nFileCode, 32)) return FieldFailed(s, "m_nFileCode");
    if (!s->SerializeInt32(m_nVersion, 32)) return FieldFailed(s, "m_nVersion");
    if (!s->SerializeInt32(m_nMapType, 32)) return FieldFailed(s, "m_nMapType");
    if (!VtSerializeLevels(s, m_vecLevels)) return FieldFailed(s, "m_vecLevels");
    if (!s->SerializeBool(m_bIsGoogleOffset, 8)) return FieldFailed(s, "m_bIsGoogleOffset");
    if (!VtSerializeSpareLength(s, m_nSpareLength, kLevelArea, m_vecLevels.size()))
        return FieldFailed(s, "m_nSpareLength");
    // More than 40 levels leave no room: the spare count turns negative and the write fails here.
    if (m_nSpareLength > kSpareCapacity || !s->SerializeBytes(m_ucSpare, m_nSpareLength))
        return FieldFailed(s, "m_ucSpare");
    if (!s->SerializeUInt16(m_nBatchVersion, 16)) return FieldFailed(s, "m_nBatchVersion");
    if (!s->SerializeInt32(m_nTileModel, 8)) return FieldFailed(s, "m_nTileModel");
    if (!s->SerializeInt32(m_nShiftingType, 8)) return FieldFailed(s, "m_nShiftingType");
    if (!s->SerializeInt32(m_nContentType, 8)) return FieldFailed(s, "m_nContentType");
    if (!s->SerializeInt32(m_nFormatType, 8)) return FieldFailed(s, "m_nFormatType");
    if (!s->SerializeInt32(m_nThemeType, 32)) return FieldFailed(s, "m_nThemeType");
    if (!s->SerializeInt32(m_nEpsg, 16)) return FieldFailed(s, "m_nEpsg");
    if (!s->SerializeInt32(m_nMixType, 8)) return FieldFailed(s, "m_nMixType");
    if (!s->SerializeDouble(m_dMinX)) return FieldFailed(s, "m_dMinX");
    if (!s->SerializeDouble(m_dMinY)) return FieldFailed(s, "m_dMinY");
    if (!s->SerializeDouble(m_dMaxX)) return FieldFailed(s, "m_dMaxX");
    if (!s->SerializeDouble(m_dMaxY)) return FieldFailed(s, "m_dMaxY");
    return true;
}
