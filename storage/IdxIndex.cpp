#include "storage/IdxIndex.h"

CICD_IDX_INDEX::CICD_IDX_INDEX() : CICD_IDX_INDEX(0, 0, 0) {}

CICD_IDX_INDEX::CICD_IDX_INDEX(long long mapID, long long offset, int length)
    : CBinaryMessageObject(false, 0, 1), m_nMapID(mapID), m_nOffset(offset), m_nLength(length) {}

bool CICD_IDX_INDEX::DoSerialize(CBinarySerializer* s) {
    if (!s->SerializeInt64(m_nMapID, 64)) return FieldFailed(s, "m_nMapID");
    if (!s->SerializeInt64(m_nOffset, 64)) return FieldFailed(s, "m_nOffset");
    if (!s->SerializeInt32(m_nLength, 32)) return FieldFailed(s, "m_nLength");
    return true;
}
