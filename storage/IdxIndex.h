#pragma once

#include "core/VtCoreExport.h"
#include "storage/BinaryMessageObject.h"

// One 20-byte slot of a depository index file (little-endian):
//   0 map ID (8, signed) | 8 offset (8, signed) | 16 length (4, signed)
// An offset of 100 or more points at tile bytes in the data file; a smaller one is the slot's
// ENUM_BLOCK_STATE, sign-extended.
class VTCORE_EXPORT CICD_IDX_INDEX : public CBinaryMessageObject {
public:
    static constexpr int kSize = 20;
    static constexpr int kOffsetField = 8;  // byte position of the offset inside the slot

    CICD_IDX_INDEX();
    CICD_IDX_INDEX(long long mapID, long long offset, int length);

    int GetSize() const override { return kSize; }
    std::string GetName() const override { return "CICD_IDX_INDEX"; }

    bool operator==(const CICD_IDX_INDEX& o) const {
        return m_nMapID == o.m_nMapID && m_nOffset == o.m_nOffset && m_nLength == o.m_nLength;
    }
    bool operator!=(const CICD_IDX_INDEX& o) const { return !(*this == o); }

    long long m_nMapID;
    long long m_nOffset;  // data offset (>= 100) or block state
    int m_nLength;        // tile bytes; 0 until written

protected:
    bool DoSerialize(CBinarySerializer* s) override;
};
