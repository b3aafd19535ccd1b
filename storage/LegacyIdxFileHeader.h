#pragma once

#include "core/VtCoreExport.h"
#include "storage/BinaryMessageObject.h"

#include <vector>

// The older 100-byte data-file header: the same fields as CICD_IDX_FILE_HEADER up to the spare
// area, which here runs to offset 68 (spare length 53 - N), followed by the four doubles.
// Depositories neither read nor write it; it is kept so that old files can be recognised.
class VTCORE_EXPORT CICD_IDXFILE_HEADER : public CBinaryMessageObject {
public:
    static constexpr int kLevelArea = 53;
    static constexpr int kSpareCapacity = 255;

    CICD_IDXFILE_HEADER();

    // (levels + spare length) + 47: 100 once levels and spare length agree.
    int GetSize() const override;
    bool IsValid() const override { return true; }
    std::string GetName() const override { return "CICD_IDXFILE_HEADER"; }
    void Reset() override;

    int m_nFileCode;
    int m_nVersion;
    int m_nMapType;
    std::vector<int> m_vecLevels;
    bool m_bIsGoogleOffset;
    int m_nSpareLength;  // 53 - number of levels
    unsigned char m_ucSpare[kSpareCapacity];
    double m_dMinX;
    double m_dMinY;
    double m_dMaxX;
    double m_dMaxY;

protected:
    bool OnPreSerialize(CBinarySerializer* s) override;
    bool DoSerialize(CBinarySerializer* s) override;
};
